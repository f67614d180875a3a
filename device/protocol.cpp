#include "device/protocol.h"

#include <algorithm>

namespace Protocol {

namespace {
constexpr int COMMAND_OFFSET = 1;
constexpr int ITEM_OFFSET = 2;
constexpr int SUB_INDEX_OFFSET = 3;
constexpr int SETTING_OFFSET = 2;
constexpr int SETTING_VALUE_OFFSET = 3;
constexpr int SETTING_MARK_OFFSET = 7;
constexpr int SLOT_OFFSET = 2;
constexpr int CURVE_AXIS_OFFSET = 3;
constexpr int CURVE_MARK_OFFSET = 4;
constexpr int CURVE_POINTS_OFFSET = 5;
constexpr int RECORD_REPLY_OFFSET = 2;
constexpr int CHUNK_LENGTH_OFFSET = 3;
} // namespace

FeatureReport emptyReport() {
    FeatureReport report{};
    report[0] = REPORT_ID;
    return report;
}

FeatureReport queryReport(quint8 item, quint8 subIndex) {
    FeatureReport report = emptyReport();
    report[COMMAND_OFFSET] = QUERY;
    report[ITEM_OFFSET] = item;
    report[SUB_INDEX_OFFSET] = subIndex;
    return report;
}

FeatureReport settingWriteReport(quint8 setting, quint32 value, bool keep) {
    FeatureReport report = emptyReport();
    report[COMMAND_OFFSET] = deviceSettingWrite;
    report[SETTING_OFFSET] = setting;
    writeU32(report, SETTING_VALUE_OFFSET, value);
    report[SETTING_MARK_OFFSET] = keep ? STORE_MARK : 0x00;
    return report;
}

FeatureReport deadzoneBlockReport(const BlockValues& values) {
    FeatureReport report = emptyReport();
    report[COMMAND_OFFSET] = WRITE_BLOCK;
    report[2] = DEADZONE_BLOCK;
    report[3] = 0x01;
    report[BLOCK_MARK_OFFSET] = STORE_MARK;
    for (int k = 0; k < BLOCK_VALUES; ++k)
        setBlockValue(report, k, values[k]);
    return report;
}

quint16 readU16(const FeatureReport& report, int offset) {
    return quint16(report[offset] | (report[offset + 1] << 8));
}

void writeU16(FeatureReport& report, int offset, quint16 value) {
    report[offset] = quint8(value & 0xFF);
    report[offset + 1] = quint8(value >> 8);
}

quint32 readU32(const FeatureReport& report, int offset) {
    return quint32(report[offset]) | (quint32(report[offset + 1]) << 8) |
           (quint32(report[offset + 2]) << 16) | (quint32(report[offset + 3]) << 24);
}

void writeU32(FeatureReport& report, int offset, quint32 value) {
    for (int i = 0; i < 4; ++i)
        report[offset + i] = quint8(value >> (8 * i));
}

quint16 blockValue(const FeatureReport& report, int k) {
    return readU16(report, BLOCK_VALUES_OFFSET + 2 * k);
}

void setBlockValue(FeatureReport& report, int k, quint16 value) {
    writeU16(report, BLOCK_VALUES_OFFSET + 2 * k, value);
}

BlockValues blockValues(const FeatureReport& report) {
    BlockValues values{};
    for (int k = 0; k < BLOCK_VALUES; ++k)
        values[k] = blockValue(report, k);
    return values;
}

quint32 settingValue(const FeatureReport& reply) {
    return readU32(reply, SETTING_VALUE_OFFSET);
}

QByteArray encodeProfileName(const QString& name) {
    QByteArray bytes = name.toUtf8();
    if (bytes.size() <= MAX_PROFILE_NAME_BYTES)
        return bytes;
    // Drop continuation bytes so no character is cut in half.
    int end = MAX_PROFILE_NAME_BYTES;
    while (end > 0 && (quint8(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}

bool profileNameFits(const QString& name) {
    return name.toUtf8().size() <= MAX_PROFILE_NAME_BYTES;
}

QByteArray rawProfileName(const FeatureReport& reply) {
    const auto begin = reply.begin() + PROFILE_NAME_OFFSET;
    const auto end = std::find(begin, reply.end(), quint8(0));
    return QByteArray(reinterpret_cast<const char*>(&*begin), int(end - begin));
}

QString decodeProfileName(const FeatureReport& reply) {
    return QString::fromUtf8(rawProfileName(reply));
}

bool isFreeSlot(const FeatureReport& nameReply) {
    return nameReply[PROFILE_NAME_OFFSET] == 0 || nameReply[PROFILE_NAME_OFFSET] == ERASED_FLASH;
}

QByteArray profileRecord(const FeatureReport& curveReply) {
    return QByteArray(reinterpret_cast<const char*>(curveReply.data() + RECORD_REPLY_OFFSET),
                      PROFILE_RECORD_SIZE);
}

QByteArray makeProfileRecord(quint8 slot, quint8 axisId, const QByteArray& points) {
    QByteArray record(PROFILE_RECORD_SIZE, '\0');
    record[0] = char(slot);
    record[1] = char(axisId);
    for (int i = 0; i < CURVE_POINTS && i < points.size(); ++i)
        record[2 + i] = points[i];
    return record;
}

quint8 recordSlot(const QByteArray& record) {
    return record.isEmpty() ? 0 : quint8(record[0]);
}

quint8 recordAxisId(const QByteArray& record) {
    return record.size() < 2 ? 0 : quint8(record[1]);
}

QByteArray recordPoints(const QByteArray& record) {
    return record.mid(2, CURVE_POINTS);
}

bool isAxisId(int axisId) {
    return axisId >= 1 && axisId <= AXIS_COUNT;
}

bool isUnwrittenCurve(const QByteArray& record) {
    const quint8 axisId = recordAxisId(record);
    return axisId == 0 || axisId == ERASED_FLASH;
}

bool isStorableRecord(const QByteArray& record) {
    return record.size() >= PROFILE_RECORD_SIZE && recordSlot(record) < PROFILE_SLOTS &&
           isAxisId(recordAxisId(record));
}

void fillProfileNameReport(FeatureReport& buffer, quint8 slot, const QByteArray& nameBytes) {
    const int length = std::min<int>(int(nameBytes.size()), MAX_PROFILE_NAME_BYTES);
    buffer[0] = REPORT_ID;
    buffer[COMMAND_OFFSET] = WRITE_PROFILE_NAME;
    buffer[SLOT_OFFSET] = slot;
    std::copy_n(reinterpret_cast<const quint8*>(nameBytes.constData()), length,
                buffer.begin() + PROFILE_NAME_OFFSET);
    buffer[PROFILE_NAME_OFFSET + length] = 0;
}

void fillProfileCurveReport(FeatureReport& buffer, const QByteArray& record) {
    auto recordByte = [&](int i) {
        return i < record.size() ? quint8(record[i]) : quint8(0);
    };
    buffer[COMMAND_OFFSET] = WRITE_PROFILE_CURVE;
    buffer[CURVE_AXIS_OFFSET] = recordByte(1);
    buffer[CURVE_MARK_OFFSET] = STORE_MARK;
    for (int i = 0; i < CURVE_POINTS; ++i)
        buffer[CURVE_POINTS_OFFSET + i] = recordByte(2 + i);
}

QString decodeVersionText(const FeatureReport& reply) {
    const auto begin = reply.begin() + VERSION_OFFSET;
    const auto end = std::find(begin, reply.end(), quint8(0));
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(&*begin), int(end - begin));
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

int deadzoneLowToPercent(quint16 low) {
    return int(low * 100.0 / FULL_SCALE + 0.5);
}

int deadzoneHighToPercent(quint16 high) {
    return int(100.0 - high * 100.0 / FULL_SCALE + 0.5);
}

quint16 percentToDeadzoneLow(int percent) {
    const int v = std::clamp(percent, 0, 100);
    return quint16(v * int(FULL_SCALE) / 100.0 + 0.5);
}

quint16 percentToDeadzoneHigh(int percent) {
    const int v = std::clamp(percent, 0, 100);
    return quint16((100 - v) * int(FULL_SCALE) / 100.0 + 0.5);
}

quint32 packSelection(quint8 clutchSlot, quint8 brakeSlot, quint8 throttleSlot, bool marked) {
    quint32 value = quint32(clutchSlot) | (quint32(brakeSlot) << 8) | (quint32(throttleSlot) << 16);
    if (marked)
        value |= quint32(STORE_MARK) << 24;
    return value;
}

bool selectionIsStored(quint32 selection) {
    return (selection >> 24) == STORE_MARK;
}

quint8 selectionSlot(quint32 selection, int axisIndex) {
    return quint8(selection >> (8 * axisIndex));
}

QByteArray inputSample(const quint8* inputReport) {
    return QByteArray(reinterpret_cast<const char*>(inputReport + INPUT_SAMPLE_OFFSET),
                      INPUT_SAMPLE_SIZE);
}

AxisValues decodeInputSample(const QByteArray& sample) {
    AxisValues values{};
    for (int axis = 0; axis < AXIS_COUNT && 2 * axis + 1 < sample.size(); ++axis)
        values[axis] = quint16(quint8(sample[2 * axis]) | (quint8(sample[2 * axis + 1]) << 8));
    return values;
}

void fillFirmwareChunkHeader(FeatureReport& buffer, int offset, int length) {
    buffer[COMMAND_OFFSET] = quint8((offset >> 12) | FIRMWARE_CHUNK);
    buffer[2] = quint8(offset >> 4);
    buffer[CHUNK_LENGTH_OFFSET] = quint8(length);
}

int firmwareChunkOffset(const FeatureReport& report) {
    return ((report[COMMAND_OFFSET] & 0x7F) << 12) | (report[2] << 4);
}

int fillFirmwareChunk(FeatureReport& buffer, const QByteArray& image, int offset) {
    const int length = std::clamp(int(image.size()) - offset, 0, FIRMWARE_PIECE);
    fillFirmwareChunkHeader(buffer, offset, length);
    if (length > 0)
        std::copy_n(image.constData() + offset, length, buffer.begin() + FIRMWARE_DATA_OFFSET);
    return length;
}

void markFirmwareEnd(FeatureReport& buffer) {
    buffer[COMMAND_OFFSET] = FIRMWARE_END;
}

int firmwareProgress(int offset, int size) {
    return size > 0 ? offset * FIRMWARE_PROGRESS_STEPS / size : 0;
}

} // namespace Protocol
