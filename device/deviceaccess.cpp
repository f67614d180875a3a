#include "device/deviceaccess.h"

#include <QCoreApplication>

namespace DeviceAccess {

const QString RULE_FILE_NAME = QStringLiteral("70-vexo-px7.rules");
const QString HWDB_FILE_NAME = QStringLiteral("70-vexo-px7.hwdb");

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

QStringList installArguments(const QString& ruleText, const QString& hwdbText, bool applyMark) {
    // Each text is printed as it stands, under a new name, and moved into place, so udev
    // never reads half a file. Only that and rebuilding the hardware database can fail the
    // install: udev finds a new rule by itself, and the trigger is only a hastener. The
    // database is rebuilt where the system keeps it: Debian and Ubuntu in /lib/udev (--usr),
    // and a copy in /etc would hide every later update of theirs. Only the pedal set's nodes
    // are triggered again: a hidraw node's HID parent names its bus (USB), vendor and
    // product, as does an input device (or the parent of an event or js node). The settle
    // lets the caller see the result at once.
    static const QString script = QStringLiteral(
        "set -e; umask 022; "
        "put() { mkdir -p \"$2\"; printf '%s\\n' \"$1\" > \"$2/$3.new\"; "
        "chmod 0644 \"$2/$3.new\"; mv -f \"$2/$3.new\" \"$2/$3\"; }; "
        "if [ -n \"$1\" ]; then put \"$1\" /etc/udev/rules.d %1; fi; "
        "if [ -n \"$2\" ]; then put \"$2\" /etc/udev/hwdb.d %2; fi; "
        "if [ -n \"$2\" ] || [ \"$3\" = apply ]; then if [ -e /etc/udev/hwdb.bin ]; then "
        "systemd-hwdb update; else systemd-hwdb --usr update; fi; fi; "
        "set +e; udevadm control --reload-rules; "
        "for node in /sys/class/hidraw/*; do "
        "if grep -qsx 'HID_ID=0003:0000C872:00002020' \"$node/device/uevent\"; then "
        "udevadm trigger --action=change \"$node\"; fi; done; "
        "for node in /sys/class/input/*; do "
        "if grep -qs '^PRODUCT=3/c872/2020/' \"$node/uevent\" \"$node/device/uevent\"; then "
        "udevadm trigger --action=change \"$node\"; fi; done; "
        "udevadm settle --timeout=10; exit 0");
    return {QStringLiteral("/bin/sh"),
            QStringLiteral("-c"),
            script.arg(RULE_FILE_NAME, HWDB_FILE_NAME),
            QStringLiteral("sh"),
            ruleText,
            hwdbText,
            applyMark ? QStringLiteral("apply") : QString()};
}

} // namespace DeviceAccess
