// Starts a game with its own profiles and puts the earlier ones back when it ends:
//
//   vexo-setting --select brake=WET -- %command%
//
// The profiles live in the pedal set, so one selection write switches them; the game must
// never be kept from starting by it (no pedal set, no access, a name the pedal set does not
// hold: one line, and the game starts). The game gets the wrapper's arguments, environment,
// standard streams and working folder, and the signals sent to the wrapper; the wrapper
// exits with the game's status. A choice changed while the game ran (in the window or by
// another command) is kept, not put back.
#pragma once

#include "profiles/profilecommand.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QTextStream;

namespace LaunchWrapper {

// Set in the game's environment: the game watcher leaves such a game to the wrapper.
extern const QByteArray WRAPPED_VARIABLE;

// Each axis's selected profile name; empty where none is selected.
using Selection = std::array<QString, Protocol::AXIS_COUNT>;
// The selection of a --list --json output; none when the text is no such listing.
std::optional<Selection> parseListing(const QString& json);
// The pedal set's listing as JSON (through execute) and its selection, none when it could
// not be read.
struct Listing {
    CommandResult result;
    std::optional<Selection> selection;
};

// Whether that listing holds a profile of that name for the axis.
bool holds(const QString& json, int axis, const QString& name);

// The choices to put back once the game has ended: an axis the wrapper switched that still
// holds the wrapper's choice goes back to what it had before. now is none when the pedal set
// could not be read then.
QList<QPair<qint32, QString>> toRestore(const QList<QPair<qint32, QString>>& chosen,
                                        const Selection& before,
                                        const std::optional<Selection>& now);

// Carries a command out: by the running window, or on the pedal set itself.
using Execute = std::function<CommandResult(const ProfileCommand&)>;
Listing list(const Execute& execute);
// Starts the command and waits for its end: its exit status (128 + the signal's number when
// a signal ended it, 127 when it could not be started, after a line on err).
using StartAndWait = std::function<int(const QStringList& command, QTextStream& err)>;
int startAndWait(const QStringList& command, QTextStream& err);

// Selects, runs the game, puts back; returns the game's exit status. Its own lines go to
// err, never to the game's standard output.
int run(const ProfileCommand& select, const QStringList& command, const Execute& execute,
        QTextStream& err, const StartAndWait& start = startAndWait);

} // namespace LaunchWrapper
