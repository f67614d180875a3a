#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "app/translations.h"
#include "app/traywatcher.h"

#ifdef VEXO_VIRTUAL_PEDAL_SET
#include "sim/pedalsim.h"
#endif

#include <QApplication>
#include <QLocale>
#include <QLockFile>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
// Coming to the front takes no time; a window that does not answer is not waited for.
constexpr int RAISE_TIMEOUT_MS = 3000;

#ifdef VEXO_VIRTUAL_PEDAL_SET
// The virtual pedal set needs no udev rule or database entry: installing one lifts the
// refusal, or marks its input device a joystick, at once.
class VirtualRuleInstaller : public AccessRuleInstaller {
public:
    bool isAvailable() const override { return true; }
    void start(Fixes fixes) override {
        if (fixes & Rule)
            PedalSim::refuseAccess(false);
        if (fixes & JoystickMark)
            PedalSim::setInputMark(PedalSim::InputMark::Joystick);
        emit finished(true, QString());
    }
};
#endif

#ifdef Q_OS_WIN
// The program is a GUI program: started from cmd or PowerShell it has no console, and what a
// command prints would go nowhere. It writes to the console it was started from; output
// redirected to a file or a pipe already has its handle and stays where it goes.
void useParentConsole() {
    const auto missing = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE ||
               GetFileType(handle) == FILE_TYPE_UNKNOWN;
    };
    const bool out = missing(STD_OUTPUT_HANDLE);
    const bool err = missing(STD_ERROR_HANDLE);
    if ((!out && !err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (out)
        std::freopen("CONOUT$", "w", stdout);
    if (err)
        std::freopen("CONOUT$", "w", stderr);
    // The texts are written as UTF-8 (German ones, paths with umlauts).
    SetConsoleOutputCP(CP_UTF8);
}
#endif

// --watch: profiles per game with no window, one watcher per user.
int watchInBackground(QApplication& app) {
    app.setQuitOnLastWindowClosed(false);
    const QString name = SingleInstance::defaultName();
    QLockFile oneWatcher(SingleInstance::lockPath(name, QStringLiteral(".watch.lock")));
    oneWatcher.setStaleLockTime(0);
    QTextStream err(stderr);
    if (!oneWatcher.tryLock(0)) {
        qint64 pid = 0;
        QString host, program;
        oneWatcher.getLockInfo(&pid, &host, &program);
        err << TrayWatcher::alreadyRunning(pid) << '\n';
        return ExitCode::REFUSED;
    }
    TrayWatcher watcher(name, GameRules::defaultPath());
    QObject::connect(&watcher, &TrayWatcher::told, [&err](const QString& text) {
        err << text << '\n';
        err.flush();
    });
    watcher.reload();
    return app.exec();
}

int runCommand(const QStringList& arguments) {
#ifdef Q_OS_WIN
    useParentConsole();
#endif
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CommandLine::run(arguments, SingleInstance::defaultName(), out, err);
}
} // namespace

int main(int argc, char* argv[]) {
#if defined(VEXO_VIRTUAL_PEDAL_SET) && defined(Q_OS_LINUX)
    // The virtual pedal set's input device, as udev would describe it to games.
    GameInput::setSource([](const GameInput::OpenProbe&) { return PedalSim::inputNodes(); });
#endif
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // A command needs no display: it runs without the widgets. The background watcher
    // needs them for its tray icon.
    const bool watch = arguments.mid(1) == QStringList{QStringLiteral("--watch")};
    if (!watch && CommandLine::isCommand(arguments)) {
        QCoreApplication app(argc, argv);
        CommandLine::describeApplication();
        Translations::install(QLocale());
        return runCommand(app.arguments());
    }

    QApplication app(argc, argv);
    CommandLine::describeApplication();
    Translations::install(QLocale());
    if (watch)
        return watchInBackground(app);
    // Qt took its own options; anything left is not ours either.
    if (app.arguments().size() > 1)
        return runCommand(app.arguments());

    const QString instanceName = SingleInstance::defaultName();
    SingleInstance instance(instanceName);
    if (instance.listen() == SingleInstance::Listen::OtherInstance) {
        CommandResult raised;
        if (SingleInstance::send(instanceName, ProfileCommand(), &raised, RAISE_TIMEOUT_MS))
            return ExitCode::SUCCESS;
        instance.listen(); // that window closed in the meantime
    }
    WindowOptions options;
#ifdef VEXO_VIRTUAL_PEDAL_SET
    VirtualRuleInstaller ruleInstaller;
    options.ruleInstaller = &ruleInstaller;
#endif
    options.lockPath = SingleInstance::lockPath(instanceName, QStringLiteral(".pedalset.lock"));
    MainWindow window(options);
    instance.setHandler(
        [&window](const ProfileCommand& command) { return window.runCommand(command); });
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.show();
    return app.exec();
}
