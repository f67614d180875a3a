// Which profiles each game gets. The user keeps the rules in one INI file in the program's
// configuration folder, written and read with QSettings:
//
//   [General]
//   automatic=true
//   [games]
//   1\game=Assetto Corsa
//   1\executable=acs.exe
//   1\brake=RACE
//   2\game=DiRT Rally 2.0
//   2\app_id=690790
//   2\brake=WET
//   2\throttle=DRIFT
//   size=2
//
// A game is matched by its executable's name (a Linux program or a Windows .exe under Wine
// or Proton, in any letter case, with or without ".exe") or by its Steam app id. A profile
// left out leaves that pedal as it is.
#pragma once

#include "device/protocol.h"
#include "profiles/profilecommand.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

struct GameRule {
    QString game; // the name the user gave it
    QString executable;
    QString appId;
    std::array<QString, Protocol::AXIS_COUNT> profiles;
};

// A running process as the system shows it.
struct RunningProcess {
    QString name;          // the kernel's name for it; Linux cuts it at 15 bytes
    QStringList arguments; // its command line, the program first
    QString steamAppId;    // from its environment, where this user may read it
    bool wrapped = false;  // started by the launch wrapper, which switches for it
    // The names matching compares, worked out once (GameRules::prepare): the program's name
    // and the kernel's, lower case, without ".exe".
    QString programKey;
    QString nameKey;
    // The kernel's name, cut at 15 bytes: its start as UTF-8, without a cut character.
    QByteArray nameCut;
};

namespace GameRules {

struct File {
    QList<GameRule> rules;
    bool automatic = true; // switch by running game
    // Why the file could not be taken, naming its line; empty when it was (or is missing).
    QString error;
};

// games.ini in the user's configuration folder.
QString defaultPath();
// A missing file holds no rules. A broken one is reported, never taken as empty.
File load(const QString& path);
// Writes the rules; the error, or empty.
QString save(const QString& path, const File& file);

// The command line's work on the rules file: list it (as JSON for scripts), add or replace
// the rule of a game, remove one. A broken file is refused, never overwritten.
CommandResult list(const QString& path, bool json);
CommandResult add(const QString& path, const GameRule& rule);
CommandResult remove(const QString& path, const QString& game);

// A program's file name without its folder, a Linux or a Windows one: "Game.exe".
QString programFile(const QString& path);
// As matching compares it: lower case, without ".exe".
QString programName(const QString& path);
void prepare(RunningProcess& process);
// wanted: programName of the rule's executable, worked out once per rule.
bool matches(const QString& wanted, const QString& appId, const RunningProcess& prepared);
bool matches(const GameRule& rule, const RunningProcess& process);
// How the rule matches, for lists: "acs.exe" or "Steam app 690790".
QString matchText(const GameRule& rule);

} // namespace GameRules
