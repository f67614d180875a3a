// Shared helpers for the tests of the DEVICE page: images, files, the exact transfer
// reports, and the page's rest state.
#pragma once

#include "tests/windowfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>

constexpr int MAX_IMAGE = 229376;
const QString BUSY =
    QStringLiteral("Notify|A firmware update is in progress. Please wait until it has finished.");
const QString SUCCESS = QStringLiteral("Notify|Firmware updated successfully.");
const QString NOT_VALID = QStringLiteral("Error|Not a valid firmware.");
const QString UPLOAD_NO_DEVICE =
    QStringLiteral("Error|No device is connected. The firmware was not sent.");

// Bytes that differ from piece to piece, so a report carrying stale or shifted data shows.
inline QByteArray imageBytes(int size, int seed = 1) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 37 + (i >> 8) * 11 + seed * 101 + 1) & 0xFF);
    return image;
}

inline void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

// What the device must receive for an image: one report per 16-byte piece in one reused
// buffer, then the closing report.
inline QStringList transferReports(const QByteArray& image) {
    QByteArray buffer(20, '\0');
    buffer[0] = 0x02;
    QStringList reports;
    for (int offset = 0; offset < image.size(); offset += 16) {
        const int n = std::min(16, int(image.size()) - offset);
        buffer[1] = char(((offset >> 12) | 0x80) & 0xFF);
        buffer[2] = char((offset >> 4) & 0xFF);
        buffer[3] = char(n);
        buffer.replace(4, n, image.mid(offset, n));
        reports << PedalSim::hex(buffer);
    }
    buffer[1] = 0x10;
    return reports << PedalSim::hex(buffer);
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

// Gives the program a temporary folder of its own, inside dir, so that tests running at
// the same time never share the downloaded copy.
// The device's four writing steps at their real second each, for tests of what happens
// while it writes.
inline WindowOptions realWritingTime() {
    WindowOptions options = testOptions();
    options.firmwareWritingStepMs = 1000;
    return options;
}

inline QString useTemporaryFolder(const QString& dir) {
    QDir().mkpath(dir + "/tmp");
    qputenv("TMPDIR", QFile::encodeName(dir + "/tmp"));
    return QDir::tempPath() + "/vexo.firmware.bin";
}
