#include "device/deviceaccess.h"

#include <QCoreApplication>

namespace DeviceAccess {

const QString RULE_FILE_NAME = QStringLiteral("70-vexo-px7.rules");

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("DeviceAccess", text);
}
} // namespace

QString hint(Platform platform, bool canInstall) {
    if (platform != Platform::Linux)
        return tr("The pedal set is plugged in, but it could not be opened. Another program "
                  "may be holding it: close other pedal or game configuration programs, then "
                  "plug the pedal set in again.");
    QString text = tr("The pedal set is plugged in, but this user may not open it: Linux lets "
                      "only root open it until a udev rule gives access.\n\n"
                      "Install the rule from the source folder with these two commands:\n"
                      "sudo cp packaging/linux/%1 /etc/udev/rules.d/\n"
                      "sudo udevadm control --reload-rules && sudo udevadm trigger\n\n"
                      "The program connects by itself once it may.")
                       .arg(RULE_FILE_NAME);
    if (canInstall)
        text += QStringLiteral("\n\n") + tr("Install the rule now? You will be asked for an "
                                            "administrator's password.");
    return text;
}

QStringList installArguments(const QString& ruleFile) {
    // The file goes in as $1: its path needs no quoting inside the script.
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
            QStringLiteral("install -m 0644 \"$1\" /etc/udev/rules.d/%1 && "
                           "udevadm control --reload-rules && udevadm trigger")
                .arg(RULE_FILE_NAME),
            QStringLiteral("sh"), ruleFile};
}

} // namespace DeviceAccess
