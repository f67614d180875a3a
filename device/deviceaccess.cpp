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

QStringList installArguments(const QString& ruleText) {
    // The text goes in as $1 and is printed as it stands. It is written under a new name and
    // moved into place, so udev never reads half a rule. Only that can fail the install: udev
    // also finds a new rule by itself. Only the pedal set's hidraw nodes are triggered
    // again: their HID parent names its bus (USB), vendor and product.
    static const QString script =
        QStringLiteral("set -e; umask 022; rule=/etc/udev/rules.d/%1; "
                       "printf '%s\\n' \"$1\" > \"$rule.new\"; chmod 0644 \"$rule.new\"; "
                       "mv -f \"$rule.new\" \"$rule\"; set +e; udevadm control --reload-rules; "
                       "for node in /sys/class/hidraw/*; do "
                       "if grep -qsx 'HID_ID=0003:0000C872:00002020' \"$node/device/uevent\"; then "
                       "udevadm trigger --action=change \"$node\"; fi; done; exit 0");
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script.arg(RULE_FILE_NAME),
            QStringLiteral("sh"), ruleText};
}

} // namespace DeviceAccess
