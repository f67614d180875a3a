// The pedal set's feature-report protocol: every byte layout and value encoding
// as small pure functions, so the workflows never poke at raw offsets.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

namespace Protocol {

constexpr quint16 VENDOR_ID = 0xC872;
constexpr quint16 PRODUCT_ID = 0x2020;

// Every feature report is 20 bytes, report id 2 first.
constexpr int REPORT_SIZE = 20;
constexpr quint8 REPORT_ID = 0x02;
using FeatureReport = std::array<quint8, REPORT_SIZE>;

// Marks a write that ends an edit: the device keeps it in flash.
constexpr quint8 STORE_MARK = 0xEF;

// Byte 1: the command.
enum Command : quint8 {
    WRITE_PROFILE_NAME = 0x03,
    WRITE_PROFILE_CURVE = 0x04,
    WRITE_BLOCK = 0x05,
    QUERY = 0x0B,
    deviceSettingWrite = 0x0C,
    FIRMWARE_END = 0x10,
    FIRMWARE_CHUNK = 0x80, // flag bit; the rest of byte 1 carries offset bits 12..18
};

// Byte 2 of a QUERY: which data is wanted.
enum Item : quint8 {
    ITEM_PROFILE_NAME = 0x03,
    ITEM_PROFILE_CURVE = 0x04,
    ITEM_BLOCK = 0x05,
    ITEM_FIRMWARE_VERSION = 0x09,
    deviceSettingRead = 0x0C,
};

// Sub-index of an ITEM_BLOCK query, byte 2 of a WRITE_BLOCK.
enum Block : quint8 {
    CALIBRATION_BLOCK = 0,
    DEADZONE_BLOCK = 1,
};

// 32-bit device settings.
enum Setting : quint8 {
    VEXIE_PEDAL_MODE = 0x07,
    VEXIE_PROFILE_SELECT = 0x0F,
    VEXIE_CLEAR_FLASH = 0x10,
};

constexpr int AXIS_COUNT = 3;   // 0 clutch, 1 brake, 2 throttle
constexpr int BLOCK_VALUES = 6; // low, high per axis
constexpr int BLOCK_VALUES_OFFSET = 5;
constexpr int BLOCK_MARK_OFFSET = 4;
constexpr int PROFILE_SLOTS = 16;
constexpr int PROFILE_NAME_OFFSET = 3;
constexpr int MAX_PROFILE_NAME_BYTES = 16; // plus the terminator, bytes 3..19
constexpr int PROFILE_RECORD_SIZE = 7;     // slot, axis id, five curve points
constexpr int CURVE_POINTS = 5;
constexpr int VERSION_OFFSET = 2;
constexpr quint8 ERASED_FLASH = 0xFF;

// Raw axis values, calibration limits and deadzones run from 0 to this.
constexpr quint16 FULL_SCALE = 65535;

constexpr int INPUT_REPORT_SIZE = 17;
constexpr int INPUT_SAMPLE_OFFSET = 1; // after the report number
constexpr int INPUT_SAMPLE_SIZE = 6;

constexpr int FIRMWARE_PIECE = 16;
constexpr int FIRMWARE_DATA_OFFSET = 4;
constexpr qint64 MAX_FIRMWARE_SIZE = 0x38000; // 229,376 bytes
constexpr int FIRMWARE_PROGRESS_STEPS = 96;

using BlockValues = std::array<quint16, BLOCK_VALUES>;
using AxisValues = std::array<quint16, AXIS_COUNT>;

// 20 zero bytes with the report id.
FeatureReport emptyReport();
FeatureReport queryReport(quint8 item, quint8 subIndex);
FeatureReport settingWriteReport(quint8 setting, quint32 value, bool keep);
// The deadzone block write: 02 05 01 01 EF and six u16 values.
FeatureReport deadzoneBlockReport(const BlockValues& values);

quint16 readU16(const FeatureReport& report, int offset);
void writeU16(FeatureReport& report, int offset, quint16 value);
quint32 readU32(const FeatureReport& report, int offset);
void writeU32(FeatureReport& report, int offset, quint32 value);

// Value k (0..5) of a block report, at bytes 5 + 2k.
quint16 blockValue(const FeatureReport& report, int k);
void setBlockValue(FeatureReport& report, int k, quint16 value);
BlockValues blockValues(const FeatureReport& report);

// Bytes 3..6 of a setting reply.
quint32 settingValue(const FeatureReport& reply);

// Profile names travel as UTF-8, at most 16 bytes. Cuts at a character boundary.
QByteArray encodeProfileName(const QString& name);
bool profileNameFits(const QString& name);
// Name reply: bytes 3.. up to the first zero, never past byte 19.
QByteArray rawProfileName(const FeatureReport& reply);
QString decodeProfileName(const FeatureReport& reply);
// Empty name, or erased flash (0xFF) in its first byte.
bool isFreeSlot(const FeatureReport& nameReply);
// Curve reply bytes 2..8: slot, axis id, five points.
QByteArray profileRecord(const FeatureReport& curveReply);

// A profile record: slot, axis id (1 clutch, 2 brake, 3 throttle), five curve points.
QByteArray makeProfileRecord(quint8 slot, quint8 axisId, const QByteArray& points);
// The parts of a record; 0 (or no points) where a short record lacks them.
quint8 recordSlot(const QByteArray& record);
quint8 recordAxisId(const QByteArray& record);
QByteArray recordPoints(const QByteArray& record);
bool isAxisId(int axisId);
// A curve that was never written (erased flash) or was cleared: the slot holds no profile,
// whatever its name says. A save cut off between its two reports leaves such a slot.
bool isUnwrittenCurve(const QByteArray& record);
// A whole record for a slot the device has and an axis it knows.
bool isStorableRecord(const QByteArray& record);

// Fills buffer as WRITE_PROFILE_NAME: 02 03 slot name 00.
void fillProfileNameReport(FeatureReport& buffer, quint8 slot, const QByteArray& nameBytes);
// Turns the same buffer into WRITE_PROFILE_CURVE: 02 04 slot id EF p1..p5.
void fillProfileCurveReport(FeatureReport& buffer, const QByteArray& record);

// Version reply: bytes 2.. up to the first zero (an 18-byte text has none), UTF-8,
// one trailing ':' dropped.
QString decodeVersionText(const FeatureReport& reply);

// Deadzone percent <-> device u16. Lower tags count from 0, upper tags from the top.
int deadzoneLowToPercent(quint16 low);
int deadzoneHighToPercent(quint16 high);
quint16 percentToDeadzoneLow(int percent);
quint16 percentToDeadzoneHigh(int percent);

// Profile selection: slots of axis ids 1..3 in bytes 0..2, STORE_MARK or 0 in byte 3.
quint32 packSelection(quint8 clutchSlot, quint8 brakeSlot, quint8 throttleSlot, bool marked);
bool selectionIsStored(quint32 selection);
quint8 selectionSlot(quint32 selection, int axisIndex);

// Input report bytes 1..6 as the 6-byte sample; sample -> three raw values.
QByteArray inputSample(const quint8* inputReport);
AxisValues decodeInputSample(const QByteArray& sample);

// Bytes 1..3 of a firmware data report for the piece at offset.
void fillFirmwareChunkHeader(FeatureReport& buffer, int offset, int length);
int firmwareChunkOffset(const FeatureReport& report);
// The data report of the piece of image at offset: header, then the piece's bytes (at
// most 16). Bytes after the piece keep what the buffer held. Returns the piece's length.
int fillFirmwareChunk(FeatureReport& buffer, const QByteArray& image, int offset);
// Turns the last data report into the closing report (02 10, bytes 2..19 kept): the
// device writes the received image into its flash.
void markFirmwareEnd(FeatureReport& buffer);
// Share of the image sent, in 96ths.
int firmwareProgress(int offset, int size);

} // namespace Protocol
