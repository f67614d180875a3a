#include "profiles/gamerules.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace GameRules {

namespace {
const QString GAMES = QStringLiteral("games");
const QString GAME = QStringLiteral("game");
const QString EXECUTABLE = QStringLiteral("executable");
const QString APP_ID = QStringLiteral("app_id");
const QString AUTOMATIC = QStringLiteral("automatic");
const QString EXE_SUFFIX = QStringLiteral(".exe");
// Linux keeps a process's name in 15 bytes and a terminator.
constexpr int KERNEL_NAME_LENGTH = 15;

QString tr(const char* text) {
    return QCoreApplication::translate("GameRules", text);
}

// Each key's line, as "section/key" ("games/1/game"); what QSettings would not tell. A line
// that is neither a section, a key, a comment nor blank is an error.
struct Lines {
    QHash<QString, int> ofKey;
    int broken = 0; // the first line that is none of those
    QString brokenText;
};

// A backslash that starts none of QSettings' escapes: "C:\Games" typed by hand.
bool hasStrayBackslash(const QString& value) {
    static const QString escapes = QStringLiteral("\\\"tnr0abfvx");
    for (qsizetype i = 0; i < value.size(); ++i)
        if (value[i] == QLatin1Char('\\') && (++i == value.size() || !escapes.contains(value[i])))
            return true;
    return false;
}

Lines scanLines(const QByteArray& content) {
    Lines lines;
    QString section = QStringLiteral("General");
    const QList<QByteArray> raw = content.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        const QString line = QString::fromUtf8(raw[i]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
        } else if (line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('='))) {
            // QSettings would read more into a value than a name: "@..." as a stored type, a
            // comma as a list, a backslash that starts none of its escapes ("C:\Games") as
            // nothing. Quoted, a value is taken as it is; QSettings writes what it needs.
            const QString value = line.section(QLatin1Char('='), 1).trimmed();
            if (!value.startsWith(QLatin1Char('"')) &&
                ((value.startsWith(QLatin1Char('@')) && !value.startsWith(QLatin1String("@@"))) ||
                 value.contains(QLatin1Char(',')) || hasStrayBackslash(value))) {
                if (lines.broken == 0) {
                    lines.broken = i + 1;
                    lines.brokenText = line;
                }
                continue;
            }
            QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
            key.replace(QLatin1Char('\\'), QLatin1Char('/'));
            lines.ofKey.insert(section + QLatin1Char('/') + key, i + 1);
        } else if (lines.broken == 0) {
            lines.broken = i + 1;
            lines.brokenText = line;
        }
    }
    return lines;
}

} // namespace

QString defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/games.ini");
}

File load(const QString& path) {
    File file;
    QFile source(path);
    if (!source.exists())
        return file;
    const QString shown = QDir::toNativeSeparators(path);
    if (!source.open(QIODevice::ReadOnly)) {
        file.error = tr("%1 can not be read: %2").arg(shown, source.errorString());
        return file;
    }
    const Lines lines = scanLines(source.readAll());
    if (lines.broken > 0) {
        file.error = tr("Line %1 of %2 is not understood: %3")
                         .arg(lines.broken)
                         .arg(shown, lines.brokenText);
        return file;
    }
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        file.error = tr("%1 can not be read.").arg(shown);
        return file;
    }
    file.automatic = settings.value(AUTOMATIC, true).toBool();
    const int count = settings.beginReadArray(GAMES);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        GameRule rule;
        rule.game = settings.value(GAME).toString().trimmed();
        rule.executable = settings.value(EXECUTABLE).toString().trimmed();
        rule.appId = settings.value(APP_ID).toString().trimmed();
        for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
            rule.profiles[axis] = settings.value(ProfileCommands::axisName(axis)).toString();
        const QString entry = QStringLiteral("%1/%2/").arg(GAMES).arg(i + 1);
        const int line = lines.ofKey.value(entry + GAME, lines.ofKey.value(GAMES + "/size"));
        if (rule.game.isEmpty() || (rule.executable.isEmpty() && rule.appId.isEmpty())) {
            file.error = tr("Line %1 of %2: game %3 needs a name and an executable or an app_id.")
                             .arg(line)
                             .arg(shown)
                             .arg(i + 1);
            file.rules.clear();
            return file;
        }
        file.rules << rule;
    }
    settings.endArray();
    return file;
}

QString save(const QString& path, const File& file) {
    // QSettings writes a scratch file, which then replaces the rules whole: a crash or a
    // full disk leaves them as they were.
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return tr("%1 can not be written.").arg(QDir::toNativeSeparators(path));
    // A name of this process's own: two writers at once do not take each other's.
    const QString scratch =
        path + QStringLiteral(".%1.new").arg(QCoreApplication::applicationPid());
    QFile::remove(scratch);
    {
        QSettings settings(scratch, QSettings::IniFormat);
        settings.setValue(AUTOMATIC, file.automatic);
        settings.beginWriteArray(GAMES, int(file.rules.size()));
        for (int i = 0; i < file.rules.size(); ++i) {
            const GameRule& rule = file.rules[i];
            settings.setArrayIndex(i);
            settings.setValue(GAME, rule.game);
            if (!rule.executable.isEmpty())
                settings.setValue(EXECUTABLE, rule.executable);
            if (!rule.appId.isEmpty())
                settings.setValue(APP_ID, rule.appId);
            for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
                if (!rule.profiles[axis].isEmpty())
                    settings.setValue(ProfileCommands::axisName(axis), rule.profiles[axis]);
        }
        settings.endArray();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return tr("%1 can not be written.").arg(QDir::toNativeSeparators(path));
    }
    QFile written(scratch);
    QSaveFile target(path);
    const bool saved = written.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly) &&
                       target.write(written.readAll()) >= 0 && target.commit();
    written.remove();
    return saved ? QString() : tr("%1 can not be written.").arg(QDir::toNativeSeparators(path));
}

CommandResult list(const QString& path, bool json) {
    const File file = load(path);
    if (!file.error.isEmpty())
        return ProfileCommands::refused(file.error);
    if (json) {
        QJsonArray games;
        for (const GameRule& rule : file.rules) {
            QJsonObject game{{GAME, rule.game}};
            if (!rule.executable.isEmpty())
                game.insert(EXECUTABLE, rule.executable);
            if (!rule.appId.isEmpty())
                game.insert(APP_ID, rule.appId);
            for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
                if (!rule.profiles[axis].isEmpty())
                    game.insert(ProfileCommands::axisName(axis), rule.profiles[axis]);
            games.append(game);
        }
        const QJsonObject root{{AUTOMATIC, file.automatic}, {GAMES, games}};
        return {ExitCode::SUCCESS, QString::fromUtf8(QJsonDocument(root).toJson()), {}};
    }
    QString text =
        (file.automatic ? tr("Automatic switching: on") : tr("Automatic switching: off")) +
        QLatin1Char('\n');
    for (const GameRule& rule : file.rules) {
        QStringList profiles;
        for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
            if (!rule.profiles[axis].isEmpty())
                profiles << ProfileCommands::axisName(axis) + QLatin1Char(' ') +
                                rule.profiles[axis];
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(rule.game, -20)
                    .arg(matchText(rule), -20)
                    .arg(profiles.join(QStringLiteral(", ")));
    }
    return {ExitCode::SUCCESS, text, {}};
}

CommandResult add(const QString& path, const GameRule& rule) {
    File file = load(path);
    if (!file.error.isEmpty())
        return ProfileCommands::refused(file.error);
    const auto same = std::find_if(file.rules.begin(), file.rules.end(),
                                   [&](const GameRule& r) { return r.game == rule.game; });
    if (same != file.rules.end())
        *same = rule;
    else
        file.rules << rule;
    const QString error = save(path, file);
    return error.isEmpty() ? CommandResult{ExitCode::SUCCESS,
                                           tr("%1: %2").arg(rule.game, matchText(rule)) + '\n',
                                           {}}
                           : ProfileCommands::refused(error);
}

CommandResult remove(const QString& path, const QString& game) {
    File file = load(path);
    if (!file.error.isEmpty())
        return ProfileCommands::refused(file.error);
    if (!file.rules.removeIf([&](const GameRule& r) { return r.game == game; }))
        return ProfileCommands::refused(tr("There is no game named \"%1\".").arg(game));
    const QString error = save(path, file);
    return error.isEmpty()
               ? CommandResult{ExitCode::SUCCESS, tr("%1 removed.").arg(game) + '\n', {}}
               : ProfileCommands::refused(error);
}

QString programFile(const QString& path) {
    return path.mid(
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

QString programName(const QString& path) {
    QString name = programFile(path).toLower();
    if (name.endsWith(EXE_SUFFIX))
        name.chop(EXE_SUFFIX.size());
    return name;
}

void prepare(RunningProcess& process) {
    process.programKey =
        process.arguments.isEmpty() ? QString() : programName(process.arguments.first());
    process.nameKey = process.name.toLower();
    process.nameCut.clear();
    QByteArray bytes = process.nameKey.toUtf8();
    if (bytes.size() >= KERNEL_NAME_LENGTH) {
        // A character cut in two was read as U+FFFD.
        static const QByteArray replaced = QString(QChar::ReplacementCharacter).toUtf8();
        while (bytes.endsWith(replaced))
            bytes.chop(replaced.size());
        process.nameCut = bytes;
    }
}

bool matches(const QString& wanted, const QString& appId, const RunningProcess& process) {
    if (!appId.isEmpty() && process.steamAppId == appId)
        return true;
    if (wanted.isEmpty())
        return false;
    if (process.programKey == wanted)
        return true;
    // Wine names a process after its .exe, cut like any other name (at 15 bytes).
    if (process.nameCut.isEmpty())
        return process.nameKey == wanted || process.nameKey == wanted + EXE_SUFFIX;
    return (wanted + EXE_SUFFIX).toUtf8().startsWith(process.nameCut);
}

bool matches(const GameRule& rule, const RunningProcess& process) {
    RunningProcess prepared = process;
    prepare(prepared);
    return matches(programName(rule.executable), rule.appId, prepared);
}

QString matchText(const GameRule& rule) {
    return rule.executable.isEmpty() ? tr("Steam app %1").arg(rule.appId) : rule.executable;
}

} // namespace GameRules
