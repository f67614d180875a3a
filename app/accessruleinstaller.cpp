#include "app/accessruleinstaller.h"

#include "device/deviceaccess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {
const QString PKEXEC = QStringLiteral("pkexec");
const QString RULE_RESOURCE = QStringLiteral(":/udev/") + DeviceAccess::RULE_FILE_NAME;
} // namespace

AccessRuleInstaller::~AccessRuleInstaller() {
    // Closing the window ends a password prompt still up.
    if (process)
        process->disconnect(this);
}

bool AccessRuleInstaller::isAvailable() const {
    return DeviceAccess::THIS_PLATFORM == DeviceAccess::Platform::Linux &&
           !QStandardPaths::findExecutable(PKEXEC).isEmpty();
}

void AccessRuleInstaller::start() {
    if (process)
        return;
    // The copy built into the program goes to root as an argument, never as a file.
    QFile source(RULE_RESOURCE);
    if (!source.open(QIODevice::ReadOnly)) {
        emit finished(false, tr("The rule could not be prepared."));
        return;
    }
    const QString rule = QString::fromUtf8(source.readAll()).trimmed();
    process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::finished, this, &AccessRuleInstaller::processEnded);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processEnded();
    });
    process->start(PKEXEC, DeviceAccess::installArguments(rule));
}

void AccessRuleInstaller::processEnded() {
    const bool installed = process->exitStatus() == QProcess::NormalExit &&
                           process->exitCode() == 0 && process->error() != QProcess::FailedToStart;
    QString reason;
    if (!installed) {
        reason = QString::fromLocal8Bit(process->readAll()).trimmed();
        if (reason.isEmpty())
            reason = process->error() == QProcess::FailedToStart
                         ? process->errorString()
                         : tr("pkexec ended with code %1.").arg(process->exitCode());
    }
    process->deleteLater();
    process = nullptr;
    emit finished(installed, reason);
}
