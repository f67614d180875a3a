#include "app/gamewatcher.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
// windows.h first
#include <tlhelp32.h>
#endif

namespace {
// Enough for any program path or environment a game is recognised by.
constexpr qsizetype MAX_PROGRAM = 4 * 1024;
constexpr qsizetype MAX_ENVIRONMENT = 256 * 1024;
constexpr qsizetype MAX_NAME = 64;
const QByteArray STEAM_APP_ID = QByteArrayLiteral("SteamAppId=");
const QByteArray WRAPPED = LaunchWrapper::WRAPPED_VARIABLE + '=';
// A known process's name is read again every this many scans (10 s at one per 2 s).
constexpr long NAME_CHECK_EVERY = 5;

#ifdef Q_OS_UNIX
// A small file of the proc folder, whole up to max bytes; plain calls, as 500 processes are
// read every two seconds.
QByteArray readSmall(int folder, const QByteArray& path, qsizetype max) {
    QByteArray content;
    const int fd = ::openat(folder, path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[4096];
    ssize_t got;
    while (content.size() < max && (got = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, qMin<qsizetype>(got, max - content.size()));
    ::close(fd);
    return content;
}

// Only the program is kept: a command line of thousands of arguments costs nothing then.
QStringList firstArgument(const QByteArray& raw) {
    const QByteArray program = raw.left(raw.indexOf('\0'));
    return program.isEmpty() ? QStringList() : QStringList{QString::fromLocal8Bit(program)};
}

QString variable(const QByteArray& environment, const QByteArray& prefix) {
    for (const QByteArray& line : environment.split('\0'))
        if (line.startsWith(prefix))
            return QString::fromLatin1(line.mid(prefix.size()));
    return QString();
}
#endif

// "brake RACE, throttle DRIFT"
QString describe(const QList<QPair<qint32, QString>>& selections) {
    QStringList parts;
    for (const auto& [axis, name] : selections)
        parts << ProfileCommands::axisName(axis) + QLatin1Char(' ') + name;
    return parts.join(QStringLiteral(", "));
}
} // namespace

ProcessTable::ProcessTable(const QString& procRoot)
    : root(QFile::encodeName(procRoot)) {}

QList<RunningProcess> ProcessTable::scan() {
    QList<RunningProcess> running;
#ifdef Q_OS_UNIX
    DIR* folder = ::opendir(root.constData());
    if (!folder)
        return running;
    const int folderFd = ::dirfd(folder);
    ++scans;
    std::unordered_set<long> seen;
    while (const dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        const QByteArray base = QByteArray(entry->d_name) + '/';
        auto found = known.find(pid);
        // A new process is read whole. A known one's name is read again every few scans
        // (each read costs system calls), which shows a program it ran since (exec).
        if (found == known.end() || (pid + scans) % NAME_CHECK_EVERY == 0) {
            QByteArray name = readSmall(folderFd, base + "comm", MAX_NAME);
            if (name.isEmpty())
                continue; // ended meanwhile
            if (name.endsWith('\n'))
                name.chop(1);
            if (found == known.end() || found->second.name != name) {
                Known process;
                process.name = name;
                // Another user's process is no game of this user's: it could only be named
                // like one to switch this user's pedals.
                struct stat owner;
                process.ours = ::fstatat(folderFd, entry->d_name, &owner, 0) == 0 &&
                               owner.st_uid == ::getuid();
                if (process.ours) {
                    process.process.name = QString::fromLocal8Bit(name);
                    process.process.arguments =
                        firstArgument(readSmall(folderFd, base + "cmdline", MAX_PROGRAM));
                    const QByteArray environment =
                        readSmall(folderFd, base + "environ", MAX_ENVIRONMENT);
                    process.process.steamAppId = variable(environment, STEAM_APP_ID);
                    process.process.wrapped = !variable(environment, WRAPPED).isEmpty();
                    GameRules::prepare(process.process);
                }
                found = known.insert_or_assign(pid, process).first;
            }
        }
        seen.insert(pid);
        if (found->second.ours)
            running << found->second.process;
    }
    ::closedir(folder);
    for (auto it = known.begin(); it != known.end();)
        it = seen.count(it->first) ? std::next(it) : known.erase(it);
#elif defined(Q_OS_WIN)
    // The executables' names of all processes (untried on real Windows); no Steam app id:
    // another process's environment is not at hand there.
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return running;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    QHash<DWORD, QString> names;
    QList<DWORD> parents;
    for (bool more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        RunningProcess process;
        process.name = QString::fromWCharArray(entry.szExeFile);
        process.arguments = QStringList{process.name};
        GameRules::prepare(process);
        names.insert(entry.th32ProcessID, process.name);
        parents << entry.th32ParentProcessID;
        running << process;
    }
    CloseHandle(snapshot);
    // A game the launch wrapper started (its parent is this program) is left to it.
    for (int i = 0; i < running.size(); ++i)
        running[i].wrapped =
            names.value(parents[i]).startsWith(QLatin1String("vexo-setting"), Qt::CaseInsensitive);
#endif
    return running;
}

GameWatcher::GameWatcher(const LaunchWrapper::Execute& execute, const Options& options,
                         QObject* parent)
    : QObject(parent)
    , execute(execute)
    , processes(options.procRoot) {
    timer.setInterval(options.intervalMs);
    connect(&timer, &QTimer::timeout, this, &GameWatcher::scan);
}

void GameWatcher::setRules(const QList<GameRule>& newRules) {
    // A game under way keeps its place while its rule stays (by name); one whose rule went
    // is ended here, its profiles put back.
    for (int i = int(active.size()) - 1; i >= 0; --i)
        if (std::none_of(newRules.cbegin(), newRules.cend(), [&](const GameRule& rule) {
                return rule.game == rules[active[i].rule].game;
            }))
            end(i);
    QList<Active> kept; // one whose profiles could not be put back goes with its rule
    for (Active& entry : active)
        for (int i = 0; i < newRules.size(); ++i)
            if (newRules[i].game == rules[entry.rule].game) {
                entry.rule = i;
                kept << entry;
                break;
            }
    active = kept;
    rules = newRules;
    postponed.clear();
    wanted.clear();
    for (const GameRule& rule : std::as_const(rules))
        wanted << GameRules::programName(rule.executable);
}

void GameWatcher::start() {
    scan();
    timer.start();
}

void GameWatcher::stop() {
    timer.stop();
}

void GameWatcher::scan() {
    std::vector<bool> running(rules.size(), false);
    // A game started by the launch wrapper has its profiles from the wrapper, which puts
    // them back itself.
    for (const RunningProcess& process : processes.scan())
        for (int i = 0; i < rules.size() && !process.wrapped; ++i)
            running[i] = running[i] || GameRules::matches(wanted[i], rules[i].appId, process);
    // Those that ended, the latest first, then those that started.
    for (int i = int(active.size()) - 1; i >= 0; --i)
        if (!running[active[i].rule])
            end(i);
    for (int i = 0; i < rules.size(); ++i)
        if (!running[i])
            postponed.remove(i);
    for (int i = 0; i < rules.size(); ++i)
        if (running[i] && std::none_of(active.cbegin(), active.cend(),
                                       [i](const Active& entry) { return entry.rule == i; }))
            begin(i);
}

QStringList GameWatcher::activeGames() const {
    QStringList games;
    for (const Active& entry : active)
        games << rules[entry.rule].game + QStringLiteral(": ") + describe(entry.chosen);
    return games;
}

void GameWatcher::begin(int rule) {
    const GameRule& game = rules[rule];
    Active entry{rule, {}, {}, {}};
    ProfileCommand select;
    select.action = ProfileCommand::Action::Select;
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
        if (!game.profiles[axis].isEmpty())
            select.selections.append({axis, game.profiles[axis]});
    if (select.selections.isEmpty()) {
        active.append(entry);
        return;
    }
    const LaunchWrapper::Listing listed = LaunchWrapper::list(execute);
    const std::optional<LaunchWrapper::Selection>& before = listed.selection;
    // No pedal set, no access, the pedal set busy: tried again at the next scan.
    if (!before) {
        postpone(rule, listed.result.err);
        return;
    }
    // A profile the pedal set does not hold: said once, and the game counts as started.
    for (const auto& [axis, name] : std::as_const(select.selections))
        if (!LaunchWrapper::holds(listed.result.out, axis, name)) {
            entry.chosen = select.selections; // shown, not switched
            active.append(entry);
            emit switched(
                tr("%1 started: %2").arg(game.game, ProfileCommands::noSuchProfile(axis, name)));
            return;
        }
    const CommandResult selected = execute(select);
    if (selected.exitCode != ExitCode::SUCCESS) {
        postpone(rule, selected.err);
        return;
    }
    postponed.remove(rule);
    entry.chosen = select.selections;
    for (const auto& [axis, name] : std::as_const(select.selections))
        entry.before[axis] = (*before)[axis];
    active.append(entry);
    emit switched(tr("%1 started: %2").arg(game.game, describe(select.selections)));
}

void GameWatcher::postpone(int rule, const QString& why) {
    // Said once, not at every scan the game runs.
    if (postponed.value(rule) == why)
        return;
    postponed.insert(rule, why);
    emit switched(tr("%1 started: %2").arg(rules[rule].game, why));
}

void GameWatcher::end(int index) {
    Active gone = active.takeAt(index);
    const GameRule& game = rules[gone.rule];
    // What the game was given, not what its rule says now: the rule may have changed.
    QList<QPair<qint32, QString>> chosen;
    LaunchWrapper::Selection before;
    for (const auto& [axis, name] : std::as_const(gone.chosen)) {
        if (gone.before[axis].isEmpty())
            continue;
        // A game started later switched this pedal too: it puts back what this one found.
        const auto later =
            std::find_if(active.begin() + index, active.end(),
                         [axis = axis](const Active& e) { return !e.before[axis].isEmpty(); });
        if (later != active.end()) {
            later->before[axis] = gone.before[axis];
            gone.before[axis].clear(); // once: a retry must not hand it over again
            continue;
        }
        chosen.append({axis, name});
        before[axis] = gone.before[axis];
    }
    if (chosen.isEmpty())
        return;
    const LaunchWrapper::Listing listed = LaunchWrapper::list(execute);
    ProfileCommand restore;
    restore.action = ProfileCommand::Action::Select;
    restore.selections = LaunchWrapper::toRestore(chosen, before, listed.selection);
    const CommandResult restored =
        !listed.selection || restore.selections.isEmpty() ? listed.result : execute(restore);
    // Not put back (the pedal set absent or busy): said once, tried again at the next scan.
    if (restored.exitCode != ExitCode::SUCCESS) {
        if (gone.failure != restored.err)
            emit switched(tr("%1 ended: %2").arg(game.game, restored.err));
        gone.failure = restored.err;
        active.insert(index, gone);
        return;
    }
    if (!restore.selections.isEmpty())
        emit switched(tr("%1 ended: %2").arg(game.game, describe(restore.selections)));
}
