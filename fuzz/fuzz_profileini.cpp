// Profile INI files as a user might hand them to the import: any bytes. Reading must not
// crash, and a file the check accepts must hold only what the device can store.
#include "device/protocol.h"
#include "profiles/profilefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

#include <cstdlib>

using namespace Protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // QSettings caches by path: a fresh path for every input.
    static int run = 0;
    const QString path =
        QDir::tempPath() +
        QStringLiteral("/vexo-fuzz-%1-%2.ini").arg(QCoreApplication::applicationPid()).arg(run++);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    {
        const QSettings file(path, QSettings::IniFormat);
        const QStringList keys = file.allKeys();
        if (ProfileFile::isValidProfileFile(file, keys)) {
            if (!selectionIsStored(ProfileFile::indexValue(file)))
                std::abort();
            for (const QString& key : keys) {
                if (key == ProfileFile::INDEX_KEY)
                    continue;
                const QByteArray record = file.value(key).toByteArray();
                if (record.size() < PROFILE_RECORD_SIZE || recordSlot(record) >= PROFILE_SLOTS ||
                    !isAxisId(recordAxisId(record)))
                    std::abort();
                // The device gets the name exactly as the file has it, never cut.
                const QString name = ProfileFile::profileKeyName(key);
                if (encodeProfileName(name) != name.toUtf8())
                    std::abort();
            }
        }
    }
    QFile::remove(path);
    return 0;
}
