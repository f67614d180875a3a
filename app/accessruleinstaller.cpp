#include "app/accessruleinstaller.h"

#include "device/deviceaccess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

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
    // Root copies it from a file of ours, written from the copy built into the program.
    QFile source(RULE_RESOURCE);
    rule = new QTemporaryFile(this);
    if (!source.open(QIODevice::ReadOnly) || !rule->open() ||
        rule->write(source.readAll()) != source.size() || !rule->flush()) {
        delete rule;
        rule = nullptr;
        emit finished(false, tr("The rule could not be prepared."));
        return;
    }
    process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::finished, this, &AccessRuleInstaller::processEnded);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processEnded();
    });
    process->start(PKEXEC, DeviceAccess::installArguments(rule->fileName()));
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
    rule->deleteLater();
    rule = nullptr;
    emit finished(installed, reason);
}
