// Shared by the firmware tests: images, files, the exact transfer reports, the page at rest.
#pragma once

#include "tests/firmwarefiles.h"
#include "tests/windowfixture.h"

#include <QDir>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

inline QString success() {
    return "Notify|Firmware updated successfully." + keptNote();
}
inline QString uploadQuestion(const QString& name, int size) {
    return QStringLiteral("Notify|Send the firmware file %1 (%2) to the pedal set?\nKeep the "
                          "pedal set plugged in until the update has finished. The profiles are "
                          "backed up first.")
        .arg(name, QLocale().formattedDataSize(size));
}

inline QPushButton* button(QWidget& w, const char* name) {
    return widget<QPushButton>(w, name);
}

inline bool pageAtRest(QWidget& w) {
    auto* check = button(w, "pbAutoUpgrade");
    return check->isEnabled() && check->text() == QStringLiteral("CHECK UPDATE") &&
           widget(w, "pgUpgrade")->isHidden() && widget(w, "lbUpgrade")->isHidden() &&
           widget<QProgressBar>(w, "pgUpgrade")->value() == 0 &&
           widget<QLabel>(w, "lbCurVersion")->text().isEmpty() && widget(w, "lbCurMd5")->isHidden();
}

inline std::unique_ptr<MainWindow> openDevicePage(const WindowOptions& options = testOptions()) {
    auto w = openWindow(options);
    button(*w, "pbS4")->click();
    PedalSim::clearLog();
    return w;
}
