#include "app/commandline.h"

#include "app/launchwrapper.h"
#include "app/pedalsession.h"
#include "app/singleinstance.h"
#include "device/devicehandle.h"
#include "device/gameinput.h"
#include "profiles/gamerules.h"

#include <hidapi.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

namespace CommandLine {

namespace {
const QString LIST = QStringLiteral("list");
const QString JSON = QStringLiteral("json");
const QString SELECT = QStringLiteral("select");
const QString EXPORT = QStringLiteral("export");
const QString IMPORT = QStringLiteral("import");
const QString CHECK = QStringLiteral("check");
const QString GAMES = QStringLiteral("games");
const QString ADD_GAME = QStringLiteral("add-game");
const QString REMOVE_GAME = QStringLiteral("remove-game");
const QString EXECUTABLE = QStringLiteral("executable");
const QString APP_ID = QStringLiteral("app-id");
const QString WATCH = QStringLiteral("watch");

// The options QGuiApplication and QApplication take for themselves (X11's included), which
// open the window as without them. Each takes the next word as its value; only a few take
// it after '=' instead.
const QStringList QT_OPTIONS_WITH_VALUE = {QStringLiteral("platform"),
                                           QStringLiteral("platformpluginpath"),
                                           QStringLiteral("platformtheme"),
                                           QStringLiteral("plugin"),
                                           QStringLiteral("qwindowgeometry"),
                                           QStringLiteral("qwindowicon"),
                                           QStringLiteral("qwindowtitle"),
                                           QStringLiteral("session"),
                                           QStringLiteral("display"),
                                           QStringLiteral("geometry"),
                                           QStringLiteral("title"),
                                           QStringLiteral("name"),
                                           QStringLiteral("icon"),
                                           QStringLiteral("visual"),
                                           QStringLiteral("style"),
                                           QStringLiteral("stylesheet"),
                                           QStringLiteral("qmljsdebugger")};
const QStringList QT_OPTIONS_WITH_EQUALS = {QStringLiteral("style"), QStringLiteral("stylesheet"),
                                            QStringLiteral("qmljsdebugger")};
const QStringList QT_FLAGS = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                              QStringLiteral("nograb"),  QStringLiteral("dograb"),
                              QStringLiteral("sync"),    QStringLiteral("testability")};

QString tr(const char* text) {
    return QCoreApplication::translate("CommandLine", text);
}

QString epilog() {
    return tr("Examples:\n"
              "  Switch the brake profile while a game runs (in the game's launch options):\n"
              "    vexo-setting --select brake=RACE -- %command%\n"
              "  Print the profiles as JSON for a script:\n"
              "    vexo-setting --list --json\n"
              "\n"
              "Exit codes:\n"
              "  0  done\n"
              "  1  the running window did not answer\n"
              "  2  the options were not understood\n"
              "  3  no pedal set found\n"
              "  4  the pedal set stopped answering\n"
              "  5  the file, the profile name or the moment was refused\n"
              "  6  the pedal set is plugged in, but this user may not open it\n"
              "  7  --check: games may not see the pedals\n"
              "  With --select and -- COMMAND: the command's own (127: it could not be started)\n");
}

// Text from outside (the running window, profile names from the pedal set) fit to print on
// a terminal: no escape sequences, no carriage returns that overwrite a line.
QString printable(QString text) {
    text.removeIf([](QChar c) {
        // Format characters turn text around or hide it.
        return (c.category() == QChar::Other_Control && c != QLatin1Char('\n') &&
                c != QLatin1Char('\t')) ||
               c.category() == QChar::Other_Format;
    });
    return text;
}

// The arguments (the program's name first) without Qt's own window options and their
// values, which a command ignores.
QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList rest = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // What follows is the game's command line, passed on as it stands.
        if (argument == QLatin1String("--")) {
            rest << arguments.mid(i);
            break;
        }
        // Qt takes its options with one dash or two.
        const QString option = argument.startsWith(QLatin1Char('-'))
                                   ? argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1)
                                   : QString();
        const QString name = option.section(QLatin1Char('='), 0, 0);
        if (option.contains(QLatin1Char('=')) ? QT_OPTIONS_WITH_EQUALS.contains(name)
                                              : QT_FLAGS.contains(option))
            continue;
        if (QT_OPTIONS_WITH_VALUE.contains(option))
            ++i;
        else
            rest << argument;
    }
    return rest;
}

// What --check prints and exits with. It opens the pedal set only to see whether it may,
// and sends nothing: a running window may keep it.
int check(QTextStream& out) {
    hid_init();
    DeviceAccess::Attempt configuration = DeviceAccess::Attempt::Absent;
    if (DeviceHandle::open()) {
        configuration = DeviceAccess::Attempt::Opened;
        DeviceHandle::close();
    } else if (DeviceHandle::isListed()) {
        configuration = DeviceAccess::Attempt::Refused;
    }
    const GameInput::Diagnosis games = GameInput::check();
    out << printable(GameInput::report(configuration, games));
    out.flush();
    switch (games.verdict) {
    case GameInput::Verdict::Usable:
        return ExitCode::SUCCESS;
    case GameInput::Verdict::NotApplicable:
        return configuration == DeviceAccess::Attempt::Absent ? ExitCode::NO_PEDAL_SET
                                                              : ExitCode::SUCCESS;
    case GameInput::Verdict::Missing:
        return configuration == DeviceAccess::Attempt::Absent ? ExitCode::NO_PEDAL_SET
                                                              : ExitCode::GAMES_MAY_NOT_SEE;
    default:
        return ExitCode::GAMES_MAY_NOT_SEE;
    }
}

Parsed usage(const QString& text) {
    Parsed parsed;
    parsed.text = text;
    return parsed;
}
} // namespace

void describeApplication() {
    QCoreApplication::setApplicationVersion(QStringLiteral(VEXO_VERSION));
}

bool isCommand(const QStringList& arguments) {
    // A stray word is not: the window's start reports it.
    const QStringList rest = withoutQtOptions(arguments);
    return std::any_of(rest.begin() + 1, rest.end(),
                       [](const QString& argument) { return argument.startsWith('-'); });
}

Parsed parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Configuration tool for the VEXO PX7 pedal set. Without options it opens its "
           "window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({
        {LIST, tr("Print the profiles of each axis, the selected ones marked with *, and the "
                  "firmware version.")},
        {JSON, tr("With --list: print JSON, for scripts.")},
        {SELECT,
         tr("Make NAME the selected profile of AXIS (clutch, brake or throttle) and keep it in "
            "the pedal set. Give it once for each axis to switch. Followed by -- and a command, "
            "start that command (a game) and put the earlier profiles back when it ends."),
         tr("AXIS=NAME")},
        {EXPORT, tr("Write the profiles and the selection to the INI file FILE."), tr("FILE")},
        {IMPORT, tr("Replace every profile in the pedal set with those of the INI file FILE."),
         tr("FILE")},
        {CHECK, tr("Check whether games see the pedal set: access to its configuration "
                   "interface, its joystick mark and its input device. Exits 0 when games can "
                   "use the pedals.")},
        {GAMES, tr("Print the rules that give each game its profiles (with --json: as JSON).")},
        {ADD_GAME,
         tr("Add a rule for GAME, or replace its rule: the game is recognised by --executable or "
            "--app-id and gets the profiles given with --select."),
         tr("GAME")},
        {EXECUTABLE, tr("With --add-game: the game's executable (Linux or .exe)."), tr("NAME")},
        {APP_ID, tr("With --add-game: the game's Steam app id."), tr("ID")},
        {REMOVE_GAME, tr("Remove the rule for GAME."), tr("GAME")},
        {WATCH, tr("Switch profiles by running game in the background, with a tray icon (given "
                   "alone).")},
    });
    if (!parser.parse(withoutQtOptions(arguments)))
        return usage(parser.errorText());

    Parsed parsed;
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        parsed.kind = Parsed::Kind::Help;
        parsed.text = parser.helpText() + QLatin1Char('\n') + epilog();
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.kind = Parsed::Kind::Version;
        parsed.text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                      QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return parsed;
    }
    // Only "--" starts a game's command line; a stray word before it is an error.
    const QStringList cleaned = withoutQtOptions(arguments);
    const qsizetype gameStart = cleaned.indexOf(QStringLiteral("--"));
    parsed.program = gameStart < 0 ? QStringList() : cleaned.mid(gameStart + 1);
    if (parser.positionalArguments().size() > parsed.program.size())
        return usage(tr("Unexpected argument: %1").arg(parser.positionalArguments().first()));
    if (gameStart >= 0 && parsed.program.isEmpty())
        return usage(tr("Give the command to start after --."));
    // The background watcher needs the widgets for its tray: the program starts it itself.
    if (parser.isSet(WATCH))
        return usage(tr("--watch goes alone."));
    const bool addGame = parser.isSet(ADD_GAME);
    if (!parsed.program.isEmpty() && (!parser.isSet(SELECT) || addGame))
        return usage(tr("Only --select starts a command given after --."));
    int actions = addGame;
    // With --add-game, --select names the game's profiles.
    for (const QString& action : {LIST, SELECT, EXPORT, IMPORT, CHECK, GAMES, REMOVE_GAME})
        actions += parser.isSet(action) && !(action == SELECT && addGame);
    if (actions == 0)
        return usage(tr("Nothing to do: give --list, --select, --export, --import, --check, "
                        "--games, --add-game or --remove-game."));
    if (actions > 1)
        return usage(tr("Give only one of --list, --select, --export, --import, --check, "
                        "--games, --add-game and --remove-game."));
    if (parser.isSet(JSON) && !parser.isSet(LIST) && !parser.isSet(GAMES))
        return usage(tr("--json goes with --list or --games."));
    if ((parser.isSet(EXECUTABLE) || parser.isSet(APP_ID)) && !addGame)
        return usage(tr("--executable and --app-id go with --add-game."));
    if (addGame && parser.value(EXECUTABLE).isEmpty() && parser.value(APP_ID).isEmpty())
        return usage(tr("--add-game needs --executable or --app-id."));
    const QString appId = parser.value(APP_ID);
    if (parser.isSet(APP_ID) &&
        (appId.isEmpty() ||
         !std::all_of(appId.cbegin(), appId.cend(), [](QChar c) { return c >= '0' && c <= '9'; })))
        return usage(tr("--app-id takes the game's Steam app id, a number."));
    if (addGame && !parser.isSet(SELECT))
        return usage(tr("--add-game needs the game's profiles, given with --select AXIS=NAME."));
    for (const QString& option : {ADD_GAME, REMOVE_GAME})
        if (parser.isSet(option) && parser.value(option).trimmed().isEmpty())
            return usage(tr("--%1 takes the game's name.").arg(option));
    if (parser.isSet(GAMES) || parser.isSet(REMOVE_GAME)) {
        parsed.kind = Parsed::Kind::Games;
        parsed.gameAction =
            parser.isSet(GAMES) ? Parsed::GameAction::List : Parsed::GameAction::Remove;
        parsed.json = parser.isSet(JSON);
        parsed.rule.game = parser.value(REMOVE_GAME).trimmed();
        return parsed;
    }

    if (parser.isSet(CHECK)) {
        parsed.kind = Parsed::Kind::Check;
        return parsed;
    }

    ProfileCommand& command = parsed.command;
    command.json = parser.isSet(JSON);
    if (parser.isSet(LIST))
        command.action = ProfileCommand::Action::List;
    for (const QString& value : parser.values(SELECT)) {
        // The name is everything after the first '=': a name may hold one too.
        const int axis = ProfileCommands::axisIndex(value.section(QLatin1Char('='), 0, 0));
        if (!value.contains(QLatin1Char('=')) || axis < 0)
            return usage(tr("Invalid --select value \"%1\": give AXIS=NAME, with AXIS clutch, "
                            "brake or throttle.")
                             .arg(value));
        for (const auto& earlier : std::as_const(command.selections))
            if (earlier.first == axis)
                return usage(
                    tr("--select names the %1 twice.").arg(ProfileCommands::axisName(axis)));
        command.action = ProfileCommand::Action::Select;
        command.selections.append({axis, value.section(QLatin1Char('='), 1)});
    }
    if (addGame) {
        parsed.kind = Parsed::Kind::Games;
        parsed.gameAction = Parsed::GameAction::Add;
        parsed.rule = {
            parser.value(ADD_GAME).trimmed(), parser.value(EXECUTABLE), parser.value(APP_ID), {}};
        for (const auto& [axis, name] : std::as_const(command.selections))
            parsed.rule.profiles[axis] = name;
        command = ProfileCommand();
        return parsed;
    }
    for (const QString& option : {EXPORT, IMPORT}) {
        const QStringList files = parser.values(option);
        if (files.isEmpty())
            continue;
        if (files.size() > 1 || files.first().isEmpty())
            return usage(tr("--%1 takes one file name.").arg(option));
        command.action =
            option == EXPORT ? ProfileCommand::Action::Export : ProfileCommand::Action::Import;
        command.file = QFileInfo(files.first()).absoluteFilePath();
    }
    parsed.kind = Parsed::Kind::Run;
    return parsed;
}

CommandResult carryOut(const ProfileCommand& command, const QString& serverName, int lockWaitMs) {
    // By the running window, else on the pedal set itself.
    CommandResult result;
    if (!SingleInstance::send(serverName, command, &result))
        result = PedalSession::runOnce(
            command, ProfileBackups(),
            SingleInstance::lockPath(serverName, QStringLiteral(".pedalset.lock")), lockWaitMs);
    result.err = printable(result.err);
    return result;
}

int run(const QStringList& arguments, const QString& serverName, QTextStream& out, QTextStream& err,
        int lockWaitMs) {
    const Parsed parsed = parse(arguments);
    switch (parsed.kind) {
    case Parsed::Kind::Help:
    case Parsed::Kind::Version:
        out << parsed.text;
        out.flush();
        return ExitCode::SUCCESS;
    case Parsed::Kind::Usage:
        err << parsed.text << '\n';
        err.flush();
        return ExitCode::USAGE;
    case Parsed::Kind::Check:
        return check(out);
    case Parsed::Kind::Games:
    case Parsed::Kind::Run:
        break;
    }
    const auto execute = [&](const ProfileCommand& command) {
        return carryOut(command, serverName, lockWaitMs);
    };
    if (!parsed.program.isEmpty())
        return LaunchWrapper::run(parsed.command, parsed.program, execute, err);
    // The rules per game are the user's file: no pedal set and no window take part.
    const QString rules = GameRules::defaultPath();
    const CommandResult result = parsed.kind == Parsed::Kind::Run ? execute(parsed.command)
                                 : parsed.gameAction == Parsed::GameAction::List
                                     ? GameRules::list(rules, parsed.json)
                                 : parsed.gameAction == Parsed::GameAction::Remove
                                     ? GameRules::remove(rules, parsed.rule.game)
                                     : GameRules::add(rules, parsed.rule);
    out << printable(result.out);
    out.flush();
    if (!result.err.isEmpty())
        err << printable(result.err) << '\n';
    err.flush();
    return result.exitCode;
}

} // namespace CommandLine
