#include "app/accessruleinstaller.h"

#include "device/deviceaccess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {
const QString PKEXEC = QStringLiteral("pkexec");
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

void AccessRuleInstaller::start(Fixes fixes) {
    if (process)
        return;
    // The copies built into the program go to root as arguments, never as files.
    const auto builtIn = [](const QString& fileName) {
        QFile source(QStringLiteral(":/udev/") + fileName);
        return source.open(QIODevice::ReadOnly) ? QString::fromUtf8(source.readAll()).trimmed()
                                                : QString();
    };
    const QString rule = fixes & Rule ? builtIn(DeviceAccess::RULE_FILE_NAME) : QString();
    const QString mark = fixes & JoystickMark ? builtIn(DeviceAccess::HWDB_FILE_NAME) : QString();
    if (rule.isEmpty() == bool(fixes & Rule) || mark.isEmpty() == bool(fixes & JoystickMark)) {
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
    process->start(PKEXEC, DeviceAccess::installArguments(rule, mark, fixes & ApplyMark));
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
