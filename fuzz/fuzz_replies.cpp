// Decoding of whatever the pedal set answers: names, records, blocks, settings, the
// version text and input reports. Nothing may read past the report or crash, and what
// the program would write back must fit the device.
#include "device/protocol.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace Protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FeatureReport reply{};
    std::memcpy(reply.data(), data, std::min(size, reply.size()));

    const QByteArray raw = rawProfileName(reply);
    if (raw.size() > REPORT_SIZE - PROFILE_NAME_OFFSET || raw.contains('\0'))
        std::abort();
    const QString name = decodeProfileName(reply);
    // A name read back and saved again never exceeds the device's field nor splits a character.
    const QByteArray encoded = encodeProfileName(name);
    if (encoded.size() > MAX_PROFILE_NAME_BYTES || !name.startsWith(QString::fromUtf8(encoded)))
        std::abort();
    if (isFreeSlot(reply) !=
        (reply[PROFILE_NAME_OFFSET] == 0 || reply[PROFILE_NAME_OFFSET] == 0xFF))
        std::abort();

    if (profileRecord(reply).size() != PROFILE_RECORD_SIZE)
        std::abort();
    FeatureReport buffer = reply;
    fillProfileNameReport(buffer, reply[2], encoded);
    fillProfileCurveReport(buffer, profileRecord(reply));
    if (buffer[0] != REPORT_ID || buffer[4] != STORE_MARK)
        std::abort();

    const QString version = decodeVersionText(reply);
    // Each byte decodes to at most one UTF-16 unit (a bad one to a replacement character).
    if (version.size() > REPORT_SIZE - VERSION_OFFSET)
        std::abort();

    for (int k = 0; k < BLOCK_VALUES; ++k) {
        const quint16 v = blockValue(reply, k);
        const int low = deadzoneLowToPercent(v);
        const int high = deadzoneHighToPercent(v);
        if (low < 0 || low > 100 || high < 0 || high > 100)
            std::abort();
        if (deadzoneLowToPercent(percentToDeadzoneLow(low)) != low)
            std::abort();
    }
    const quint32 selection = settingValue(reply);
    if (packSelection(selectionSlot(selection, 0), selectionSlot(selection, 1),
                      selectionSlot(selection, 2), selectionIsStored(selection)) != selection &&
        selectionIsStored(selection))
        std::abort();

    const QByteArray sample = inputSample(reply.data());
    if (sample.size() != INPUT_SAMPLE_SIZE)
        std::abort();
    decodeInputSample(
        QByteArray(reinterpret_cast<const char*>(data), int(std::min<size_t>(size, 64))));
    return 0;
}
