#include "app/gamesdialog.h"
#include "ui_gamesdialog.h"

#include <QComboBox>
#include <QInputDialog>
#include <QMessageBox>

namespace {
enum Column { GAME, EXECUTABLE, APP_ID, FIRST_PROFILE };
} // namespace

GamesDialog::GamesDialog(const GameRules::File& file,
                         const std::array<QStringList, Protocol::AXIS_COUNT>& profiles,
                         const QStringList& running, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::GamesDialog)
    , profiles(profiles)
    , running(running) {
    ui->setupUi(this);
    ui->cbAutomatic->setChecked(file.automatic);
    for (const GameRule& rule : file.rules)
        addRow(rule);
    ui->twGames->resizeColumnsToContents();
    connect(ui->pbRemoveGame, &QPushButton::clicked, this, &GamesDialog::removeSelected);
    connect(ui->pbAddGame, &QPushButton::clicked, this, [this] {
        bool chosen = false;
        const QString program = QInputDialog::getItem(
            this, tr("Add a game"), tr("A running program, or the name of a game's executable:"),
            this->running, 0, true, &chosen);
        if (chosen && !program.trimmed().isEmpty())
            addGame(program.trimmed());
    });
}

GamesDialog::~GamesDialog() {
    delete ui;
}

void GamesDialog::addRow(const GameRule& rule) {
    const int row = ui->twGames->rowCount();
    ui->twGames->insertRow(row);
    ui->twGames->setItem(row, GAME, new QTableWidgetItem(rule.game));
    ui->twGames->setItem(row, EXECUTABLE, new QTableWidgetItem(rule.executable));
    ui->twGames->setItem(row, APP_ID, new QTableWidgetItem(rule.appId));
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        auto* choice = new QComboBox(ui->twGames);
        choice->addItem(tr("(as it is)"), QString());
        for (const QString& name : profiles[axis])
            choice->addItem(name, name);
        const QString& wanted = rule.profiles[axis];
        if (!wanted.isEmpty() && !profiles[axis].contains(wanted))
            choice->addItem(tr("%1 (missing)").arg(wanted), wanted);
        choice->setCurrentIndex(choice->findData(wanted));
        ui->twGames->setCellWidget(row, FIRST_PROFILE + axis, choice);
    }
}

void GamesDialog::addGame(const QString& executable) {
    QString game = GameRules::programFile(executable);
    if (game.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        game.chop(4);
    addRow(GameRule{game, executable, QString(), {}});
    ui->twGames->selectRow(ui->twGames->rowCount() - 1);
}

bool GamesDialog::autostart() const {
    return ui->cbAutostart->isChecked();
}

void GamesDialog::setAutostart(bool on) {
    ui->cbAutostart->setChecked(on);
}

void GamesDialog::removeSelected() {
    const int row = ui->twGames->currentRow();
    if (row >= 0)
        ui->twGames->removeRow(row);
}

void GamesDialog::accept() {
    const GameRules::File file = rules();
    for (int row = 0; row < file.rules.size(); ++row) {
        const GameRule& rule = file.rules[row];
        if (rule.game.isEmpty() || (rule.executable.isEmpty() && rule.appId.isEmpty())) {
            QMessageBox::warning(this, windowTitle(),
                                 tr("Row %1 needs a game's name and an executable or a Steam "
                                    "app id.")
                                     .arg(row + 1));
            return;
        }
    }
    QDialog::accept();
}

GameRules::File GamesDialog::rules() const {
    GameRules::File file;
    file.automatic = ui->cbAutomatic->isChecked();
    const auto text = [this](int row, int column) {
        const QTableWidgetItem* item = ui->twGames->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    for (int row = 0; row < ui->twGames->rowCount(); ++row) {
        GameRule rule{text(row, GAME), text(row, EXECUTABLE), text(row, APP_ID), {}};
        for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
            rule.profiles[axis] =
                static_cast<QComboBox*>(ui->twGames->cellWidget(row, FIRST_PROFILE + axis))
                    ->currentData()
                    .toString();
        file.rules << rule;
    }
    return file;
}
