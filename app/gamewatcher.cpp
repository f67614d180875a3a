#include "app/gamewatcher.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// Enough for any command line or environment a game is recognised by.
constexpr qsizetype MAX_COMMAND_LINE = 64 * 1024;
constexpr qsizetype MAX_ENVIRONMENT = 256 * 1024;
constexpr qsizetype MAX_NAME = 64;
const QByteArray STEAM_APP_ID = QByteArrayLiteral("SteamAppId=");
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

QStringList commandLine(const QByteArray& raw) {
    QStringList arguments;
    for (const QByteArray& argument : raw.split('\0'))
        if (!argument.isEmpty())
            arguments << QString::fromLocal8Bit(argument);
    return arguments;
}

QString steamAppId(const QByteArray& environment) {
    for (const QByteArray& variable : environment.split('\0'))
        if (variable.startsWith(STEAM_APP_ID))
            return QString::fromLatin1(variable.mid(STEAM_APP_ID.size()));
    return QString();
}
#endif

ProfileCommand listing() {
    ProfileCommand command;
    command.action = ProfileCommand::Action::List;
    command.json = true;
    return command;
}

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

QList<RunningProcess> ProcessTable::scan(bool withEnvironment) {
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
                process.process.name = QString::fromLocal8Bit(name);
                process.process.arguments =
                    commandLine(readSmall(folderFd, base + "cmdline", MAX_COMMAND_LINE));
                GameRules::prepare(process.process);
                found = known.insert_or_assign(pid, process).first;
            }
        }
        seen.insert(pid);
        // The environment of another user's process can not be read; asked once either way.
        if (withEnvironment && !found->second.environmentRead) {
            found->second.process.steamAppId =
                steamAppId(readSmall(folderFd, base + "environ", MAX_ENVIRONMENT));
            found->second.environmentRead = true;
        }
        running << found->second.process;
    }
    ::closedir(folder);
    for (auto it = known.begin(); it != known.end();)
        it = seen.count(it->first) ? std::next(it) : known.erase(it);
#else
    Q_UNUSED(withEnvironment);
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
    // Games under way keep their place when their rule stays, by name.
    QList<Active> kept;
    for (const Active& entry : std::as_const(active))
        for (int i = 0; i < newRules.size(); ++i)
            if (newRules[i].game == rules[entry.rule].game)
                kept.append({i, entry.before});
    rules = newRules;
    active = kept;
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
    const bool byAppId = std::any_of(rules.cbegin(), rules.cend(),
                                     [](const GameRule& r) { return !r.appId.isEmpty(); });
    std::vector<bool> running(rules.size(), false);
    for (const RunningProcess& process : processes.scan(byAppId))
        for (int i = 0; i < rules.size(); ++i)
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
    for (const Active& entry : active) {
        QList<QPair<qint32, QString>> chosen;
        for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
            if (!rules[entry.rule].profiles[axis].isEmpty())
                chosen.append({axis, rules[entry.rule].profiles[axis]});
        games << rules[entry.rule].game + QStringLiteral(": ") + describe(chosen);
    }
    return games;
}

void GameWatcher::begin(int rule) {
    const GameRule& game = rules[rule];
    Active entry{rule, {}};
    ProfileCommand select;
    select.action = ProfileCommand::Action::Select;
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
        if (!game.profiles[axis].isEmpty())
            select.selections.append({axis, game.profiles[axis]});
    if (select.selections.isEmpty()) {
        active.append(entry);
        return;
    }
    const CommandResult listed = execute(listing());
    const std::optional<LaunchWrapper::Selection> before =
        listed.exitCode == ExitCode::SUCCESS ? LaunchWrapper::parseListing(listed.out)
                                             : std::nullopt;
    // No pedal set, no access, the pedal set busy: tried again at the next scan.
    if (!before) {
        postpone(rule, listed.err);
        return;
    }
    // A profile the pedal set does not hold: said once, and the game counts as started.
    for (const auto& [axis, name] : std::as_const(select.selections))
        if (!LaunchWrapper::holds(listed.out, axis, name)) {
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
    const Active gone = active.takeAt(index);
    const GameRule& game = rules[gone.rule];
    QList<QPair<qint32, QString>> chosen;
    LaunchWrapper::Selection before;
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        if (gone.before[axis].isEmpty())
            continue;
        // A game started later switched this pedal too: it puts back what this one found.
        const auto later =
            std::find_if(active.begin() + index, active.end(),
                         [axis](const Active& e) { return !e.before[axis].isEmpty(); });
        if (later != active.end()) {
            later->before[axis] = gone.before[axis];
            continue;
        }
        chosen.append({axis, game.profiles[axis]});
        before[axis] = gone.before[axis];
    }
    if (chosen.isEmpty())
        return;
    const CommandResult listed = execute(listing());
    ProfileCommand restore;
    restore.action = ProfileCommand::Action::Select;
    restore.selections = LaunchWrapper::toRestore(chosen, before,
                                                  listed.exitCode == ExitCode::SUCCESS
                                                      ? LaunchWrapper::parseListing(listed.out)
                                                      : std::nullopt);
    if (restore.selections.isEmpty())
        return;
    const CommandResult restored = execute(restore);
    emit switched(tr("%1 ended: %2")
                      .arg(game.game, restored.exitCode == ExitCode::SUCCESS
                                          ? describe(restore.selections)
                                          : restored.err));
}
