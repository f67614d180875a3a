// Commands on the pedal set's profiles from outside the window: list them, select one per
// axis, export and import a profile file. Sim racers switch profiles per game this way, from
// a game's launch options or a script. A command runs on a loaded ProfileStore: the running
// window's own, or one loaded from the pedal set opened for it alone.
#pragma once

#include "profiles/profilebackups.h"
#include "profiles/profilestore.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// What the command line exits with; scripts rely on these values.
namespace ExitCode {
constexpr int SUCCESS = 0;
constexpr int NO_REPLY = 1; // a running window took the command but did not answer
constexpr int USAGE = 2;
constexpr int NO_PEDAL_SET = 3;
constexpr int PEDAL_SET_SILENT = 4;  // a report went unanswered on the way
constexpr int REFUSED = 5;           // a file, a profile name or the moment was refused
constexpr int NO_ACCESS = 6;         // the pedal set is plugged in but may not be opened
constexpr int GAMES_MAY_NOT_SEE = 7; // --check: the pedals are no joystick games may open
} // namespace ExitCode

struct ProfileCommand {
    // Raise asks a running window to come to the front; it touches no profile.
    enum class Action : qint32 { Raise, List, Select, Export, Import };
    Action action = Action::Raise;
    bool json = false;
    // Axis index (0 clutch, 1 brake, 2 throttle) and profile name, in the order given.
    QList<QPair<qint32, QString>> selections;
    // Absolute: a command forwarded to the window is carried out in another directory.
    QString file;
};

struct CommandResult {
    int exitCode = ExitCode::SUCCESS;
    QString out; // for standard output; every line ends in a line break
    QString err; // one line for standard error, without its line break
};

namespace ProfileCommands {

// The command line's name of an axis; empty for an index that is none.
QString axisName(int axis);
// The axis index of a name given on the command line, in any letter case; -1 if none.
int axisIndex(const QString& name);

// Carries out the command on a store loaded from the connected pedal set; firmwareVersion
// is the version text the device sent. An import backs the profiles up first.
CommandResult run(const ProfileCommand& command, ProfileStore& store,
                  const QString& firmwareVersion, const ProfileBackups& backups);
CommandResult noPedalSet();
// The pedal set is listed but could not be opened: what stands in the way and the fix.
CommandResult noAccess();
CommandResult refused(const QString& text);
// What a name the pedal set does not hold for the axis is told.
QString noSuchProfile(int axis, const QString& name);
// A report went unanswered on the way.
CommandResult silent();
// Another process holds the pedal set.
CommandResult inUse(const QString& program, qint64 pid);
// An INI file to import that is missing or unreadable, told before the pedal set is opened.
std::optional<CommandResult> unreadable(const ProfileCommand& command);

} // namespace ProfileCommands
