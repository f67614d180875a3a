#include "profiles/profilecommand.h"

#include "device/deviceaccess.h"
#include "profiles/profilefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

using namespace Protocol;

namespace ProfileCommands {

namespace {
const char* const AXIS_NAMES[AXIS_COUNT] = {"clutch", "brake", "throttle"};
constexpr int NAME_COLUMN_WIDTH = 16;

QString tr(const char* text) {
    return QCoreApplication::translate("ProfileCommands", text);
}

CommandResult failure(int exitCode, const QString& text) {
    return CommandResult{exitCode, QString(), text};
}

// A stored profile of an axis as the listings show it.
struct Listed {
    int slot;
    QString name;
    QByteArray points;
    bool chosen;
};

// The axis's stored profiles in list order; names only typed in the window are left out.
QList<Listed> storedProfiles(const ProfileStore& store, int axis) {
    QList<Listed> listed;
    const QList<ProfileStore::Entry>& entries = store.entries(axis);
    for (int i = 0; i < entries.size(); ++i)
        if (!entries[i].record.isEmpty())
            listed.append({recordSlot(entries[i].record), entries[i].name,
                           recordPoints(entries[i].record), i == store.current(axis)});
    return listed;
}

// The device pads its build time with a leading tab.
QString versionText(const QString& firmwareVersion) {
    return QString(firmwareVersion).replace(QLatin1Char('\t'), QLatin1Char(' ')).trimmed();
}

QString listText(const ProfileStore& store, const QString& firmwareVersion) {
    QString text = tr("Firmware Version:") + QLatin1Char(' ') + versionText(firmwareVersion) +
                   QLatin1Char('\n');
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        text += axisName(axis) + QLatin1String(":\n");
        for (const Listed& profile : storedProfiles(store, axis)) {
            text += QStringLiteral("  %1 %2  %3")
                        .arg(profile.chosen ? QLatin1Char('*') : QLatin1Char(' '))
                        .arg(profile.slot, 2)
                        .arg(profile.name.leftJustified(NAME_COLUMN_WIDTH));
            for (char point : profile.points)
                text += QStringLiteral(" %1").arg(quint8(point), 3);
            text += QLatin1Char('\n');
        }
    }
    return text;
}

QString listJson(const ProfileStore& store, const QString& firmwareVersion) {
    QJsonObject root{{QStringLiteral("firmware"), versionText(firmwareVersion)}};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        QJsonArray profiles;
        QJsonValue selected; // null when none is
        for (const Listed& profile : storedProfiles(store, axis)) {
            QJsonArray curve;
            for (char point : profile.points)
                curve.append(quint8(point));
            if (profile.chosen)
                selected = profile.slot;
            profiles.append(QJsonObject{{QStringLiteral("slot"), profile.slot},
                                        {QStringLiteral("name"), profile.name},
                                        {QStringLiteral("curve"), curve},
                                        {QStringLiteral("selected"), profile.chosen}});
        }
        root.insert(axisName(axis), QJsonObject{{QStringLiteral("selected"), selected},
                                                {QStringLiteral("profiles"), profiles}});
    }
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

CommandResult select(const ProfileCommand& command, ProfileStore& store) {
    // A listing cut short by a slot of no known axis: the choice would fall back to the
    // lists' first entries, which the pedal set did not choose.
    if (!store.isComplete())
        return refused(tr("The pedal set's profiles could not all be read; the selection is "
                          "left as it is."));
    // Every name is checked before the first is chosen: a refused command changes nothing.
    for (const auto& [axis, name] : command.selections)
        if (store.findStored(axis, name) < 0)
            return refused(noSuchProfile(axis, name));
    CommandResult result;
    for (const auto& [axis, name] : command.selections) {
        store.select(axis, name);
        result.out += QStringLiteral("%1: %2\n").arg(axisName(axis), name);
    }
    // As the window does at close: read, then write only a choice that differs.
    return store.commitSelection() ? result : silent();
}

CommandResult exportFile(const ProfileCommand& command, const ProfileStore& store) {
    QString path = command.file;
    if (!path.endsWith(ProfileFile::EXTENSION))
        path += ProfileFile::EXTENSION;
    if (!store.exportFile(path))
        return refused(tr("INI file can not be written."));
    return CommandResult{ExitCode::SUCCESS, tr("Profiles exported to %1").arg(path) + '\n', {}};
}

CommandResult importFile(const ProfileCommand& command, ProfileStore& store,
                         const ProfileBackups& backups) {
    // Nobody can be asked whether to go on without a backup: the import is not made.
    QString backup;
    switch (store.importFile(command.file, [&] {
        backup = backups.write(store, command.file);
        return !backup.isEmpty();
    })) {
    case ProfileStore::ImportResult::Cancelled:
        return refused(tr("The profiles could not be backed up to %1; nothing was imported.")
                           .arg(QDir::toNativeSeparators(backups.folder())));
    case ProfileStore::ImportResult::NotIni:
        return refused(tr("Please choose INI file"));
    case ProfileStore::ImportResult::Invalid:
        return refused(tr("INI file is not valid."));
    case ProfileStore::ImportResult::LinkFailed:
        // The backup was written; the user finds it named on standard output.
        return CommandResult{ExitCode::PEDAL_SET_SILENT,
                             tr("Profiles backed up to %1").arg(QDir::toNativeSeparators(backup)) +
                                 '\n',
                             tr("The pedal set stopped answering.")};
    case ProfileStore::ImportResult::Imported:
        break;
    }
    return CommandResult{
        ExitCode::SUCCESS,
        tr("Profiles backed up to %1").arg(QDir::toNativeSeparators(backup)) + '\n' +
            tr("Profiles imported from %1").arg(QDir::toNativeSeparators(command.file)) + '\n',
        {}};
}
} // namespace

QString axisName(int axis) {
    return axis >= 0 && axis < AXIS_COUNT ? QLatin1String(AXIS_NAMES[axis]) : QString();
}

int axisIndex(const QString& name) {
    for (int axis = 0; axis < AXIS_COUNT; ++axis)
        if (name.compare(QLatin1String(AXIS_NAMES[axis]), Qt::CaseInsensitive) == 0)
            return axis;
    return -1;
}

CommandResult noPedalSet() {
    return failure(ExitCode::NO_PEDAL_SET, tr("No pedal set found."));
}

CommandResult noAccess() {
    if (DeviceAccess::THIS_PLATFORM != DeviceAccess::Platform::Linux)
        return failure(ExitCode::NO_ACCESS, DeviceAccess::hint(DeviceAccess::THIS_PLATFORM, false));
    return failure(ExitCode::NO_ACCESS,
                   tr("The pedal set is plugged in, but this user may not open it. Give access "
                      "from the source folder with: sudo cp packaging/linux/%1 "
                      "/etc/udev/rules.d/ && sudo udevadm control --reload-rules && sudo "
                      "udevadm trigger")
                       .arg(DeviceAccess::RULE_FILE_NAME));
}

QString noSuchProfile(int axis, const QString& name) {
    return tr("The pedal set has no %1 profile named \"%2\".").arg(axisName(axis), name);
}

CommandResult refused(const QString& text) {
    return failure(ExitCode::REFUSED, text);
}

CommandResult silent() {
    return failure(ExitCode::PEDAL_SET_SILENT, tr("The pedal set stopped answering."));
}

CommandResult inUse(const QString& program, qint64 pid) {
    return refused(tr("The pedal set is in use by %1 (process %2); try again when it has "
                      "finished.")
                       .arg(program)
                       .arg(pid));
}

std::optional<CommandResult> unreadable(const ProfileCommand& command) {
    const QFileInfo file(command.file);
    if (command.action != ProfileCommand::Action::Import ||
        !command.file.endsWith(ProfileFile::EXTENSION) || (file.isFile() && file.isReadable()))
        return std::nullopt;
    return refused(tr("The file %1 can not be read.").arg(QDir::toNativeSeparators(command.file)));
}

CommandResult run(const ProfileCommand& command, ProfileStore& store,
                  const QString& firmwareVersion, const ProfileBackups& backups) {
    switch (command.action) {
    case ProfileCommand::Action::Raise:
        break;
    case ProfileCommand::Action::List:
        return CommandResult{ExitCode::SUCCESS,
                             command.json ? listJson(store, firmwareVersion)
                                          : listText(store, firmwareVersion),
                             {}};
    case ProfileCommand::Action::Select:
        return select(command, store);
    case ProfileCommand::Action::Export:
        return exportFile(command, store);
    case ProfileCommand::Action::Import:
        if (const std::optional<CommandResult> refusal = unreadable(command))
            return *refusal;
        return importFile(command, store, backups);
    }
    return CommandResult();
}

} // namespace ProfileCommands
