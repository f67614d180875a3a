// The PROFILES page: one list and one curve per axis, saving and removing profiles, and
// profile files. The lists show what the profile store holds.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/autostart.h"

#include <QDir>
#include <QSignalBlocker>

using namespace Protocol;

void MainWindow::showProfiles() {
    QComboBox* const lists[] = {ui->cbPro0, ui->cbPro1, ui->cbPro2};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        // The store has already done what a change of the current entry does.
        const QSignalBlocker quiet(lists[axis]);
        lists[axis]->clear();
        for (const ProfileStore::Entry& entry : profiles.entries(axis))
            lists[axis]->addItem(entry.name, entry.record);
        lists[axis]->setCurrentIndex(profiles.current(axis));
    }
}

void MainWindow::onProfileChanged(int axis) {
    // A preview sends the selection; while the pedal set is busy the list goes back.
    const PedalSession::Job job(pedalSet, PedalSession::Work::Saving);
    if (!job) {
        showProfiles();
        refuseWhileBusy();
        return;
    }
    const QComboBox* const lists[] = {ui->cbPro0, ui->cbPro1, ui->cbPro2};
    profiles.choose(axis, lists[axis]->currentIndex(), lists[axis]->currentText());
}

void MainWindow::onProfileSave(int column) {
    PedalSession::Job job(pedalSet, PedalSession::Work::Saving);
    if (!job) {
        refuseWhileBusy();
        return;
    }
    QComboBox* const lists[] = {ui->cbPro0, ui->cbPro1, ui->cbPro2};
    const VexoAxis* const curves[] = {ui->ctAdc0, ui->ctAdc1, ui->ctAdc2};
    const ProfileStore::SaveResult result =
        profiles.save(column, lists[column]->currentText(), curves[column]->points());
    job.release();
    switch (result) {
    case ProfileStore::SaveResult::Saved:
        showProfiles();
        notify(tr("Profile is saved"));
        break;
    case ProfileStore::SaveResult::Protected:
        notify(tr("Can not save to DEFAULT, please use a different name."));
        break;
    case ProfileStore::SaveResult::EmptyName:
        notify(tr("Please enter a profile name."));
        break;
    case ProfileStore::SaveResult::NameTooLong:
        notify(tr("Profile name is too long, please use a shorter name."));
        break;
    case ProfileStore::SaveResult::Full:
        notify(tr("Profile is full"));
        break;
    case ProfileStore::SaveResult::LinkFailed:
        showProfiles();
        linkFailed();
        break;
    }
}

void MainWindow::onProfileRemove(int column) {
    PedalSession::Job job(pedalSet, PedalSession::Work::Saving);
    if (!job) {
        refuseWhileBusy();
        return;
    }
    QComboBox* const lists[] = {ui->cbPro0, ui->cbPro1, ui->cbPro2};
    const ProfileStore::RemoveResult result = profiles.remove(column, lists[column]->currentText());
    job.release();
    // A refused removal leaves the lists, and what the user typed, as they are.
    if (result == ProfileStore::RemoveResult::Protected)
        notify(tr("DEFAULT can not be removed."));
    if (result == ProfileStore::RemoveResult::Removed ||
        result == ProfileStore::RemoveResult::LinkFailed)
        showProfiles();
    if (result == ProfileStore::RemoveResult::LinkFailed)
        linkFailed();
}

void MainWindow::onProfileExport() {
    const QString path = dialogs->saveFileName();
    if (path.isEmpty())
        return;
    if (!profiles.exportFile(path))
        notify(tr("INI file can not be written."));
}

void MainWindow::onProfileImport() {
    // Profile reports between the firmware's pieces would reach a device busy with its flash.
    if (pedalSet.busyWith() != PedalSession::Work::None) {
        refuseWhileBusy();
        return;
    }
    const QString path = dialogs->openFileName(QString());
    if (path.isEmpty())
        return;
    // From the backup question on, nothing else reaches the pedal set.
    PedalSession::Job job(pedalSet, PedalSession::Work::Import);
    if (!job) {
        refuseWhileBusy();
        return;
    }
    const ProfileStore::ImportResult result =
        profiles.importFile(path, [this, path] { return backUpProfiles(path); });
    job.release();
    switch (result) {
    case ProfileStore::ImportResult::Cancelled:
        break;
    case ProfileStore::ImportResult::NotIni:
        notify(tr("Please choose INI file"));
        break;
    case ProfileStore::ImportResult::Invalid:
        notify(tr("INI file is not valid."));
        break;
    case ProfileStore::ImportResult::LinkFailed:
        showProfiles();
        linkFailed();
        // Slots may already be cleared: the user needs the way back.
        notify(lastBackup.isEmpty()
                   ? tr("The import stopped before all profiles were written.")
                   : tr("The import stopped before all profiles were written. The profiles as "
                        "they were are in %1.")
                         .arg(QDir::toNativeSeparators(lastBackup)));
        break;
    case ProfileStore::ImportResult::Imported:
        showProfiles();
        notify(tr("Profiles imported.") + backupNote(lastBackup));
        break;
    }
}

CommandResult MainWindow::runCommand(const ProfileCommand& command) {
    if (command.action == ProfileCommand::Action::Raise) {
        showNormal();
        raise();
        activateWindow();
        return CommandResult();
    }
    // Never between a question and what it asks about, nor inside an upload.
    if (pedalSet.busyWith() != PedalSession::Work::None)
        return ProfileCommands::refused(busyText());
    // Waiting for the device, or about to connect to it again after a failed report.
    if (!pedalSet.isConnected())
        return pedalSet.isRefused() ? ProfileCommands::noAccess() : ProfileCommands::noPedalSet();
    const CommandResult result = pedalSet.runCommand(command, backups);
    showProfiles();
    return result;
}

bool MainWindow::backUpProfiles(const QString& spare) {
    lastBackup.clear();
    // Without a pedal set nothing is erased; the operation itself says so.
    if (!pedalSet.isOpen())
        return true;
    lastBackup = backups.write(profiles, spare);
    if (!lastBackup.isEmpty())
        return true;
    return dialogs->ask(this, tr("Notify"),
                        tr("The profiles could not be backed up to %1.\nGo on without a backup?")
                            .arg(QDir::toNativeSeparators(backups.folder())),
                        true);
}

QString MainWindow::gameRulesPath() const {
    return options.gameRulesPath.isEmpty() ? GameRules::defaultPath() : options.gameRulesPath;
}

void MainWindow::followGameRules(const GameRules::File& file) {
    gameWatcher.setRules(file.rules);
    if (file.automatic && !file.rules.isEmpty())
        gameWatcher.start();
    else
        gameWatcher.stop();
}

void MainWindow::onGamesRules() {
    GameRules::File file = GameRules::load(gameRulesPath());
    // A broken file is shown, never replaced by an empty table.
    if (!file.error.isEmpty()) {
        showError(file.error);
        return;
    }
    std::array<QStringList, AXIS_COUNT> stored;
    for (int axis = 0; axis < AXIS_COUNT; ++axis)
        for (const ProfileStore::Entry& entry : profiles.entries(axis))
            if (!entry.record.isEmpty())
                stored[axis] << entry.name;
    QStringList running;
    // The program's whole name: the kernel's may be cut.
    for (const RunningProcess& process : ProcessTable().scan())
        if (!process.arguments.isEmpty())
            running << GameRules::programFile(process.arguments.first());
    running.removeDuplicates();
    running.sort(Qt::CaseInsensitive);
    const bool autostartWas = Autostart::isEnabled();
    bool autostart = autostartWas;
    if (!dialogs->editGames(this, file, stored, running, autostart))
        return;
    QString error = GameRules::save(gameRulesPath(), file);
    if (error.isEmpty() && autostart != autostartWas)
        error = Autostart::setEnabled(autostart);
    const GameRules::File saved = GameRules::load(gameRulesPath());
    if (error.isEmpty())
        error = saved.error;
    if (!error.isEmpty())
        showError(error);
    if (saved.error.isEmpty())
        followGameRules(saved);
}
