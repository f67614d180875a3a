// Switches the pedal set's profiles by running game: when a game of the rules starts, its
// profiles are selected; when it ends, the earlier ones come back. With two games, the one
// started later wins, and ending it returns to the earlier one's. A choice changed while a
// game ran (in the window or by a command) is kept, as the launch wrapper keeps it.
#pragma once

#include "app/launchwrapper.h"
#include "profiles/gamerules.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <unordered_map>

// The processes of the system, read from a proc folder (/proc, or a test's fixture). A
// process is read whole once; later its name only, now and then, which an exec changes.
class ProcessTable {
public:
    explicit ProcessTable(const QString& root = QStringLiteral("/proc"));
    // This user's processes: another user's could only be named like a game.
    QList<RunningProcess> scan();

private:
    struct Known {
        QByteArray name;
        RunningProcess process;
        bool ours = false;
    };
    QByteArray root;
    std::unordered_map<long, Known> known;
    long scans = 0;
};

class GameWatcher : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString procRoot = QStringLiteral("/proc");
        int intervalMs = 2000;
    };

    explicit GameWatcher(const LaunchWrapper::Execute& execute, const Options& options,
                         QObject* parent = nullptr);

    void setRules(const QList<GameRule>& rules);
    // Scans every interval while running; a stop forgets nothing of the games under way.
    void start();
    void stop();
    bool isRunning() const { return timer.isActive(); }
    // One scan now.
    void scan();
    // The games running now with their profiles, the latest last.
    QStringList activeGames() const;

signals:
    // A game's profiles were selected, or the earlier ones came back: one line to show.
    void switched(const QString& text);

private:
    struct Active {
        int rule;
        // What each axis the game switched held before; empty for one it left alone.
        LaunchWrapper::Selection before;
        // The profiles it was given, whatever its rule says later.
        QList<QPair<qint32, QString>> chosen;
        // Why its profiles could not be put back yet, once told.
        QString failure;
    };
    // Selects the game's profiles; a game whose switch failed is tried again at each scan.
    void begin(int rule);
    void postpone(int rule, const QString& why);
    void end(int index);

    LaunchWrapper::Execute execute;
    ProcessTable processes;
    QList<GameRule> rules;
    QStringList wanted;            // each rule's executable as matching compares it
    QList<Active> active;          // in the order the games started
    QHash<int, QString> postponed; // rules whose game runs but could not switch yet, and why
    QTimer timer;
};
