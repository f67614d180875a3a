#include "app/launchwrapper.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>

#include <QScopeGuard>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace LaunchWrapper {

const QByteArray WRAPPED_VARIABLE = QByteArrayLiteral("VEXO_SETTING_WRAPPED");

namespace {
constexpr int NOT_STARTED = 127;
constexpr int SIGNALLED = 128;

QString tr(const char* text) {
    return QCoreApplication::translate("LaunchWrapper", text);
}

#ifdef Q_OS_UNIX
// The game's process while it runs; 0 before and after. A signal that comes before the
// game's process is known waits in pendingSignal; whichever side takes it sends it.
std::atomic<pid_t> gamePid{0};
std::atomic<int> pendingSignal{0};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "used in a signal handler");

// A signal sent to the wrapper (kill, a launcher stopping the game) is passed on to the game.
// One from the terminal (Ctrl+C) already reached the whole foreground group, game included.
// Either way the wrapper stays to put the profiles back when the game has ended.
void forward(int signal, siginfo_t* info, void*) {
    if (info->si_code > 0)
        return;
    const int savedErrno = errno;
    pendingSignal = signal;
    const pid_t pid = gamePid.load();
    if (pid > 0 && pendingSignal.exchange(0) != 0)
        ::kill(pid, signal);
    errno = savedErrno;
}

const int FORWARDED_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2};

class SignalForwarding {
public:
    SignalForwarding() {
        pendingSignal = 0;
        struct sigaction action = {};
        action.sa_sigaction = forward;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < int(std::size(FORWARDED_SIGNALS)); ++i)
            sigaction(FORWARDED_SIGNALS[i], &action, &earlier[i]);
    }
    ~SignalForwarding() {
        for (int i = 0; i < int(std::size(FORWARDED_SIGNALS)); ++i)
            sigaction(FORWARDED_SIGNALS[i], &earlier[i], nullptr);
    }

private:
    struct sigaction earlier[std::size(FORWARDED_SIGNALS)];
};
#endif
} // namespace

std::optional<Selection> parseListing(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    Selection selection;
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        const QJsonValue entry = document.object().value(ProfileCommands::axisName(axis));
        if (!entry.isObject())
            return std::nullopt;
        for (const QJsonValue profile : entry.toObject().value(QLatin1String("profiles")).toArray())
            if (profile.toObject().value(QLatin1String("selected")).toBool())
                selection[axis] = profile.toObject().value(QLatin1String("name")).toString();
    }
    return selection;
}

Listing list(const Execute& execute) {
    ProfileCommand command;
    command.action = ProfileCommand::Action::List;
    command.json = true;
    Listing listed{execute(command), std::nullopt};
    if (listed.result.exitCode == ExitCode::SUCCESS)
        listed.selection = parseListing(listed.result.out);
    return listed;
}

bool holds(const QString& json, int axis, const QString& name) {
    const QJsonValue entry =
        QJsonDocument::fromJson(json.toUtf8()).object().value(ProfileCommands::axisName(axis));
    for (const QJsonValue profile : entry.toObject().value(QLatin1String("profiles")).toArray())
        if (profile.toObject().value(QLatin1String("name")).toString() == name)
            return true;
    return false;
}

QList<QPair<qint32, QString>> toRestore(const QList<QPair<qint32, QString>>& chosen,
                                        const Selection& before,
                                        const std::optional<Selection>& now) {
    QList<QPair<qint32, QString>> restore;
    if (!now)
        return restore;
    for (const auto& [axis, name] : chosen) {
        const QString& earlier = before[axis];
        if (!earlier.isEmpty() && earlier != name && (*now)[axis] == name)
            restore.append({axis, earlier});
    }
    return restore;
}

int startAndWait(const QStringList& command, QTextStream& err) {
    QProcess game;
    game.setProcessChannelMode(QProcess::ForwardedChannels);
    game.setInputChannelMode(QProcess::ForwardedInputChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(WRAPPED_VARIABLE), QStringLiteral("1"));
    game.setProcessEnvironment(environment);
#ifdef Q_OS_UNIX
    SignalForwarding forwarding;
#endif
#ifdef Q_OS_WIN
    // Ctrl+C in the console reaches the game itself; the wrapper stays to put back. A
    // handler, not SetConsoleCtrlHandler(nullptr, TRUE): that one the game would inherit.
    const PHANDLER_ROUTINE stay = [](DWORD) -> BOOL {
        return TRUE;
    };
    SetConsoleCtrlHandler(stay, TRUE);
    const auto restored = qScopeGuard([&] { SetConsoleCtrlHandler(stay, FALSE); });
#endif
    game.start(command.first(), command.mid(1));
    if (!game.waitForStarted(-1)) {
        err << tr("Can not start %1: %2").arg(command.first(), game.errorString()) << '\n';
        err.flush();
        return NOT_STARTED;
    }
#ifdef Q_OS_UNIX
    gamePid = pid_t(game.processId());
    if (const int signal = pendingSignal.exchange(0))
        ::kill(gamePid, signal);
#endif
    game.waitForFinished(-1);
#ifdef Q_OS_UNIX
    gamePid = 0;
#endif
    // Qt gives the signal's number as the exit code of a crash; shells say 128 + it.
    return game.exitStatus() == QProcess::CrashExit ? SIGNALLED + game.exitCode() : game.exitCode();
}

int run(const ProfileCommand& select, const QStringList& command, const Execute& execute,
        QTextStream& err, const StartAndWait& start) {
    const auto say = [&err](const QString& line) {
        err << line << '\n';
        err.flush();
    };
    // What was selected before, then the game's choice; either failing, the game starts as
    // things are.
    const Listing listed = list(execute);
    const std::optional<Selection>& before = listed.selection;
    bool switched = false;
    if (!before) {
        say(listed.result.err.isEmpty() ? tr("The pedal set's profiles could not be read.")
                                        : listed.result.err);
    } else {
        const CommandResult selected = execute(select);
        switched = selected.exitCode == ExitCode::SUCCESS;
        if (!switched)
            say(selected.err);
    }

    const int status = start(command, err);

    if (!switched)
        return status;
    const Listing after = list(execute);
    const std::optional<Selection>& now = after.selection;
    if (!now) {
        say(tr("The profiles could not be put back: %1").arg(after.result.err));
        return status;
    }
    ProfileCommand restore;
    restore.action = ProfileCommand::Action::Select;
    restore.selections = toRestore(select.selections, *before, now);
    if (!restore.selections.isEmpty()) {
        const CommandResult restored = execute(restore);
        if (restored.exitCode != ExitCode::SUCCESS)
            say(tr("The profiles could not be put back: %1").arg(restored.err));
    }
    return status;
}

} // namespace LaunchWrapper
