// Whether games see the pedal set. Besides the hidraw node this tool talks to, the kernel
// makes an input device of the pedal set, with an event node (and a js node) that games
// read. On Linux, games (SDL, Steam, Proton, Wine) take it for a joystick only when udev
// marked it so (ID_INPUT_JOYSTICK), and udev gives the user at the seat only a joystick's
// node. udev's input_id takes three axes without buttons for an accelerometer: without the
// hardware database entry that marks the pedal set a joystick, games do not find it. Other
// systems have no such step.
#pragma once

#include "device/deviceaccess.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace GameInput {

// One device node of the pedal set's input device, as udev describes it.
struct Node {
    QString devnode; // /dev/input/event7, /dev/input/js0
    // The ID_INPUT properties udev stored for it.
    QMap<QString, QString> properties;
    // 0 when this user may open the node for reading, else the error (an errno value).
    int openError = 0;
};

enum class Verdict {
    NotApplicable, // not Linux: games find the HID device without udev
    Missing,       // no input device of the pedal set
    Unclassified,  // udev left no ID_INPUT properties: udev is not running
    NotJoystick,   // classified as something else (an accelerometer, most likely)
    NoAccess,      // a joystick, but this user may not open its event node
    Usable,
};

struct Diagnosis {
    Verdict verdict = Verdict::Missing;
    Node event; // the event node judged; empty when missing or not applicable
    // The joystick mark's file where udev reads it; empty when not installed.
    QString installedMark;
};

// Whether a node may be opened: 0 or the errno value. The check runs it for each node.
using OpenProbe = std::function<int(const QString& devnode)>;
int userMayOpen(const QString& devnode);

// Where the nodes come from: the system's udev, or a stand-in (the virtual pedal set).
using Source = std::function<QList<Node>(const OpenProbe& probe)>;
void setSource(const Source& source);

// Whether the check applies here: Linux (or a stand-in source).
bool isApplicable();
// The pedal set's input nodes (event and js) from the installed source, else the system's.
QList<Node> findNodes(const OpenProbe& probe = userMayOpen);
// The system's: read through libudev; none without it.
QList<Node> systemNodes(const OpenProbe& probe);

// The folders searched for the joystick mark's file (tests point them elsewhere).
void setMarkFolders(const QStringList& folders);
QString installedMark();

// What games get from these nodes.
Diagnosis diagnose(const QList<Node>& nodes);
// What games get here and now, and whether the mark is installed.
Diagnosis check(const OpenProbe& probe = userMayOpen);

// One line for the window: "Games see the pedals: yes", or what keeps them from it.
QString line(const Diagnosis& diagnosis);
// What a click on the line explains; with canFix, it ends in the question whether to
// install the mark now.
QString explanation(const Diagnosis& diagnosis, bool canFix);
// Whether installing the mark (and applying it to the device) may help.
bool fixMayHelp(const Diagnosis& diagnosis);
// The command line's diagnosis, a line per finding: access to the configuration interface
// (the hidraw node), the joystick mark, the event node's access, and the line.
QString report(DeviceAccess::Attempt configuration, const Diagnosis& diagnosis);

} // namespace GameInput
