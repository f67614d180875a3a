// Firmware images and files for the tests of the upload, with or without the window.
#pragma once

#include "tests/simfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

constexpr int MAX_IMAGE = 229376;
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

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the device must receive for an image: one report per 16-byte piece in one reused
// buffer (a short last piece leaves the tail of the one before), then the closing report.
inline QStringList transferReports(const QByteArray& image) {
    QByteArray buffer(20, '\0');
    QStringList reports;
    for (int offset = 0; offset < image.size(); offset += 16) {
        const QByteArray piece = image.mid(offset, 16);
        const char header[] = {2, char(0x80 | offset >> 12), char(offset >> 4), char(piece.size())};
        reports << PedalSim::hex(
            buffer.replace(0, 4 + piece.size(), QByteArray(header, 4) + piece));
    }
    return reports << PedalSim::hex(buffer.replace(0, 2, "\x02\x10"));
}

// A temporary folder of the program's own inside dir, so that tests running at the same
// time never share the downloaded copy; returns where that copy goes.
inline QString useTemporaryFolder(const QString& dir) {
    QDir().mkpath(dir + "/tmp");
    qputenv("TMPDIR", QFile::encodeName(dir + "/tmp"));
    return QDir::tempPath() + "/vexo.firmware.bin";
}
