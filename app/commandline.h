// The program's options. Without any it opens the window; with --list, --select, --export,
// --import or --check it runs without a display, prints its result and exits with one of ExitCode's
// values. While the window runs, the window carries the command out.
#pragma once

#include "profiles/gamerules.h"
#include "profiles/profilecommand.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace CommandLine {

// Sets the version that --version prints.
void describeApplication();

// Whether the arguments (the program's name first) ask for a command rather than the
// window: any option that is not one of Qt's own window options (-platform, --style, ...),
// which a command ignores.
bool isCommand(const QStringList& arguments);

struct Parsed {
    // Check: whether games see the pedal set; it needs no profiles and no running window.
    // Games: the rules per game, listed, added (rule) or removed (rule.game).
    enum class Kind { Run, Check, Games, Help, Version, Usage };
    enum class GameAction { List, Add, Remove };
    Kind kind = Kind::Usage;
    ProfileCommand command;
    // With --select: the game to start after "--", its arguments following.
    QStringList program;
    GameAction gameAction = GameAction::List;
    GameRule rule;
    bool json = false; // the rules as JSON
    QString text;      // the help, the version line or the usage error
};
// Relative file names are taken from the current directory.
Parsed parse(const QStringList& arguments);

// Carries a command out on the pedal set: by the running window listening on serverName, or
// else on the pedal set itself, waiting up to lockWaitMs for another command that holds it.
CommandResult carryOut(const ProfileCommand& command, const QString& serverName,
                       int lockWaitMs = 5000);

// Parses and carries out the command: by the running window listening on serverName, or
// else on the pedal set itself, waiting up to lockWaitMs for another command that holds
// it. Returns the exit code.
int run(const QStringList& arguments, const QString& serverName, QTextStream& out, QTextStream& err,
        int lockWaitMs = 5000);

} // namespace CommandLine
