#include "device/gameinput.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef VEXO_HAVE_LIBUDEV
#include <libudev.h>
#include <unistd.h>
#endif

namespace GameInput {

namespace {
const QString TRUE_VALUE = QStringLiteral("1");
const QString ID_INPUT = QStringLiteral("ID_INPUT");
const QString JOYSTICK = QStringLiteral("ID_INPUT_JOYSTICK");
const QString ACCELEROMETER = QStringLiteral("ID_INPUT_ACCELEROMETER");

Source installedSource;
// Where udev reads its hardware database files: the administrator's, then the packages'.
QStringList markFolders = {QStringLiteral("/etc/udev/hwdb.d"), QStringLiteral("/lib/udev/hwdb.d"),
                           QStringLiteral("/usr/lib/udev/hwdb.d")};

QString tr(const char* text) {
    return QCoreApplication::translate("GameInput", text);
}

bool isSet(const Node& node, const QString& property) {
    return node.properties.value(property) == TRUE_VALUE;
}

Verdict verdictOf(const Node& node) {
    if (!node.properties.contains(ID_INPUT))
        return Verdict::Unclassified;
    // SDL takes an accelerometer for a sensor even when it is also called a joystick.
    if (!isSet(node, JOYSTICK) || isSet(node, ACCELEROMETER))
        return Verdict::NotJoystick;
    return node.openError == 0 ? Verdict::Usable : Verdict::NoAccess;
}

// How udev classified the node, with what it stored: "marked as an accelerometer
// (ID_INPUT=1, ID_INPUT_ACCELEROMETER=1)".
QString classification(const Node& node) {
    QStringList read;
    for (auto it = node.properties.cbegin(); it != node.properties.cend(); ++it)
        read << it.key() + QLatin1Char('=') + it.value();
    const QString marks = read.join(QStringLiteral(", "));
    if (node.properties.isEmpty())
        return tr("udev left no marks on it");
    if (isSet(node, ACCELEROMETER))
        return tr("marked as an accelerometer (%1)").arg(marks);
    if (!isSet(node, JOYSTICK))
        return tr("not marked as a joystick (%1)").arg(marks);
    return tr("marked as a joystick (%1)").arg(marks);
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifdef VEXO_HAVE_LIBUDEV
// The pedal set's input device: USB, its vendor and product, as the kernel names them.
bool isPedalSet(udev_device* input) {
    const auto attribute = [input](const char* name) {
        return QByteArray(udev_device_get_sysattr_value(input, name));
    };
    return attribute("id/bustype") == "0003" && attribute("id/vendor") == "c872" &&
           attribute("id/product") == "2020";
}

} // namespace

QList<Node> systemNodes(const OpenProbe& probe) {
    QList<Node> nodes;
    udev* context = udev_new();
    if (!context)
        return nodes;
    udev_enumerate* devices = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(devices, "input");
    udev_enumerate_scan_devices(devices);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(devices)) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (!device)
            continue;
        // eventN and jsN hang below the inputN that carries the ids; inputN has no node.
        const char* devnode = udev_device_get_devnode(device);
        udev_device* input =
            udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr);
        if (devnode && input && isPedalSet(input)) {
            Node node;
            node.devnode = QString::fromLocal8Bit(devnode);
            udev_list_entry* property;
            udev_list_entry_foreach(property, udev_device_get_properties_list_entry(device)) {
                const QString name = QString::fromLatin1(udev_list_entry_get_name(property));
                if (name == ID_INPUT || name.startsWith(ID_INPUT + QLatin1Char('_')))
                    node.properties.insert(
                        name, QString::fromLocal8Bit(udev_list_entry_get_value(property)));
            }
            node.openError = probe(node.devnode);
            nodes << node;
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(devices);
    udev_unref(context);
    return nodes;
}
#else
} // namespace

QList<Node> systemNodes(const OpenProbe&) {
    return {};
}
#endif

int userMayOpen(const QString& devnode) {
#ifdef VEXO_HAVE_LIBUDEV
    // Games read the node; the mode and udev's access list for the user at the seat decide.
    return ::access(QFile::encodeName(devnode).constData(), R_OK) == 0 ? 0 : errno;
#else
    Q_UNUSED(devnode);
    return 0;
#endif
}

void setSource(const Source& source) {
    installedSource = source;
}

void setMarkFolders(const QStringList& folders) {
    markFolders = folders;
}

QString installedMark() {
    for (const QString& folder : std::as_const(markFolders)) {
        const QString path = folder + QLatin1Char('/') + DeviceAccess::HWDB_FILE_NAME;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

Diagnosis check(const OpenProbe& probe) {
    if (!isApplicable())
        return {Verdict::NotApplicable, {}, {}};
    Diagnosis diagnosis = diagnose(findNodes(probe));
    diagnosis.installedMark = installedMark();
    return diagnosis;
}

bool isApplicable() {
#ifdef VEXO_HAVE_LIBUDEV
    return true;
#else
    return bool(installedSource);
#endif
}

QList<Node> findNodes(const OpenProbe& probe) {
    return installedSource ? installedSource(probe) : systemNodes(probe);
}

Diagnosis diagnose(const QList<Node>& nodes) {
    Diagnosis result;
    // Games read the event node (SDL and Wine; the js node is the old interface). With more
    // than one, the one that games can use least decides.
    for (const Node& node : nodes) {
        if (!QFileInfo(node.devnode).fileName().startsWith(QLatin1String("event")))
            continue;
        const Verdict verdict = verdictOf(node);
        if (result.verdict == Verdict::Missing || verdict < result.verdict)
            result = {verdict, node, {}};
    }
    return result;
}

QString line(const Diagnosis& diagnosis) {
    switch (diagnosis.verdict) {
    case Verdict::NotApplicable:
        return QString();
    case Verdict::Usable:
        return tr("Games see the pedals: yes");
    case Verdict::Missing:
        return tr("Games may not see the pedals: no input device found");
    case Verdict::Unclassified:
        return tr("Games may not see the pedals: not classified by udev");
    case Verdict::NotJoystick:
        return isSet(diagnosis.event, ACCELEROMETER)
                   ? tr("Games may not see the pedals: marked as an accelerometer")
                   : tr("Games may not see the pedals: not marked as a joystick");
    case Verdict::NoAccess:
        return tr("Games may not see the pedals: this user may not open them");
    }
    return QString();
}

bool fixMayHelp(const Diagnosis& diagnosis) {
    // Without udev no database is read; without a device there is nothing to mark; a
    // joystick is given to the user at the seat, and no mark changes who that is.
    return diagnosis.verdict == Verdict::NotJoystick;
}

QString explanation(const Diagnosis& diagnosis, bool canFix) {
    const QString node = diagnosis.event.devnode;
    QString text;
    switch (diagnosis.verdict) {
    case Verdict::NotApplicable:
        return QString();
    case Verdict::Usable:
        return tr("The pedal set's input device %1 is marked as a joystick and this user may "
                  "open it: games see the pedals.\n\nTo check by hand: udevadm info %1")
            .arg(node);
    case Verdict::Missing:
        return tr("The system shows no input device of the pedal set, so games can not see "
                  "the pedals. Plug the pedal set in again; if that does not help, the "
                  "kernel's HID input driver (usbhid) may be missing.");
    case Verdict::Unclassified:
        return tr("udev left no marks on the pedal set's input device %1: udev may not be "
                  "running on this system. Games that look for joysticks through udev will "
                  "not find the pedals.")
            .arg(node);
    case Verdict::NotJoystick:
        text = tr("Games look for joysticks among the input devices udev marked as such. The "
                  "pedal set's input device %1 is %2, so SDL, Steam, Proton and Wine games "
                  "skip it, and the user at the seat is not given it.")
                   .arg(node, classification(diagnosis.event));
        break;
    case Verdict::NoAccess:
        return tr("The pedal set's input device %1 is marked as a joystick, but this user may "
                  "not open it (%2). udev gives a joystick to the user whose session is active "
                  "at the seat; a remote login or a session in the background gets none.")
            .arg(node, errorText(diagnosis.event.openError));
    }
    if (!diagnosis.installedMark.isEmpty()) {
        // The package's trigger rebuilt the database, but a device plugged in before keeps
        // what udev said when it came.
        text += QStringLiteral("\n\n") +
                tr("The entry that marks the pedal set as a joystick is installed (%1), but not "
                   "yet applied to it: plug the pedal set in again.")
                    .arg(diagnosis.installedMark);
        if (canFix)
            text += QStringLiteral("\n\n") + tr("Apply it now? You will be asked for an "
                                                "administrator's password.");
        return text;
    }
    text += QStringLiteral("\n\n") +
            tr("The fix is a hardware database entry that marks the pedal set as a joystick. "
               "From the source folder:\n"
               "sudo cp packaging/linux/%1 /etc/udev/hwdb.d/\n"
               "sudo systemd-hwdb $(test -e /etc/udev/hwdb.bin || echo --usr) update\n"
               "sudo udevadm trigger %2")
                .arg(DeviceAccess::HWDB_FILE_NAME, node);
    if (canFix)
        text += QStringLiteral("\n\n") + tr("Install the entry now? You will be asked for an "
                                            "administrator's password.");
    return text;
}

QString report(DeviceAccess::Attempt configuration, const Diagnosis& diagnosis) {
    QStringList lines;
    switch (configuration) {
    case DeviceAccess::Attempt::Opened:
        lines << tr("Configuration interface: yes");
        break;
    case DeviceAccess::Attempt::Refused:
        lines << tr("Configuration interface: no, this user may not open it");
        break;
    case DeviceAccess::Attempt::Absent:
        lines << tr("Configuration interface: no pedal set found");
        break;
    }
    const Node& node = diagnosis.event;
    switch (diagnosis.verdict) {
    case Verdict::NotApplicable:
        lines << tr("Joystick mark: not applicable on this system");
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    case Verdict::Missing:
        lines << tr("Input device: none found");
        break;
    default:
        lines << tr("Input device: %1").arg(node.devnode)
              << (verdictOf(node) >= Verdict::NoAccess
                      ? tr("Joystick mark: yes")
                      : tr("Joystick mark: no, %1").arg(classification(node)))
              << (node.openError == 0
                      ? tr("Event node access: yes")
                      : tr("Event node access: no (%1)").arg(errorText(node.openError)));
    }
    lines << line(diagnosis);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace GameInput
