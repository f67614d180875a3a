// The rules per game, edited as a table: a row per game with how it is recognised and the
// profile each pedal gets, chosen from the pedal set's lists. A profile the pedal set no
// longer holds is shown as missing and kept, never dropped.
#pragma once

#include "profiles/gamerules.h"

#include <QDialog>

#include <array>

namespace Ui {
class GamesDialog;
}

class GamesDialog : public QDialog {
    Q_OBJECT
public:
    // profiles: the names the pedal set holds per axis; running: programs to add from.
    GamesDialog(const GameRules::File& file,
                const std::array<QStringList, Protocol::AXIS_COUNT>& profiles,
                const QStringList& running, QWidget* parent = nullptr);
    ~GamesDialog() override;

    GameRules::File rules() const;
    // Whether the background watcher starts with the desktop.
    bool autostart() const;
    void setAutostart(bool on);
    // A row for a program, named after it (Add's choice).
    void addGame(const QString& executable);
    void removeSelected();
    // OK only with every row recognisable: a game's name and an executable or an app id.
    void accept() override;

private:
    void addRow(const GameRule& rule);

    Ui::GamesDialog* ui;
    std::array<QStringList, Protocol::AXIS_COUNT> profiles;
    QStringList running;
};
