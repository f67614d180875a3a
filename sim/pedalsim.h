// The virtual pedal set.
//
// Linked in place of hidapi, it answers the program's hidapi calls with a model of the
// pedal set's firmware: settings, calibration and deadzone blocks, 16 profile slots, the
// profile selection, a version text, the firmware receiver and a stream of input reports.
// Tests, benchmarks and the demo build drive and inspect it through this API.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "device/gameinput.h"

#include <array>
#include <chrono>
#include <vector>

class QThread;

namespace PedalSim {

enum class Kind {
    FeatureSend, // host -> device, hid_send_feature_report
    FeatureGet,  // device -> host, hid_get_feature_report (the reply delivered)
    InputRead,   // device -> host, hid_read
};

struct LogEntry {
    Kind kind;
    QByteArray bytes; // what crossed the wire (empty when the call failed)
    QThread* thread;  // the thread that made the call
    int result;       // what the hidapi call returned
};

struct ProfileSlot {
    QByteArray name; // bytes 3..19 of the name reply as stored (17 bytes)
    quint8 axisId = 0xFF;
    std::array<quint8, 5> points{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
};

using Block = std::array<quint16, 6>;

// Factory state, plugged in, no faults, empty log and input queue, no delay.
void reset();

// Device presence. Unplugging makes every open handle fail all calls; open fails.
void plug();
void unplug();
bool isPlugged();
// Plugged in and listed, but every open fails, as when the user may not open the device
// (no udev rule). Handles already open stay usable.
void refuseAccess(bool refuse);
// The input device the kernel makes of the pedal set, as udev describes it to games: marked
// a joystick (as with the hardware database entry), an accelerometer (udev's guess without
// it), a joystick this user may not open, or not classified at all (no udev).
enum class InputMark { Joystick, Accelerometer, NoAccess, Unclassified };
void setInputMark(InputMark mark);
// The pedal set's input nodes, an event and a js node, as the system would list them;
// none while unplugged.
QList<GameInput::Node> inputNodes();
int openHandles();
int openCount();    // successful hid_open calls
int openAttempts(); // all hid_open calls
// Calls made on a handle after hid_close (a use of a closed handle); must stay 0.
int closedHandleUses();

// Reports the device could not make sense of (bad header, bad slot, overlong name ...).
QStringList protocolErrors();

// --- The firmware's state. "Applied" is what the device uses now, "kept" what is in flash.
void setVersionText(const QByteArray& text); // in bytes 2..19 of the reply, cut at 18 bytes
QByteArray versionText();
quint32 setting(quint8 id);
quint32 keptSetting(quint8 id);
void setSetting(quint8 id, quint32 value); // applied and kept
// The kept profile selection (0 when none is kept).
quint32 keptSelection();
Block block(int which);
Block keptBlock(int which);
void setBlock(int which, const Block& values); // applied and kept
ProfileSlot profile(int slot);
QString profileName(int slot);
// Stores a profile as if written by the host; an empty name leaves a cleared slot.
void setProfile(int slot, const QByteArray& name, quint8 axisId, std::array<quint8, 5> points);
// Erased flash: the slot answers 0xFF.
void eraseProfile(int slot);
// What clear flash does.
void factoryReset();

// --- Firmware receiver.
QByteArray firmwareImage(); // the image completed by the last FIRMWARE_END
int firmwareEnds();         // FIRMWARE_END reports received
int firmwareChunks();       // data reports received

// --- Input reports.
// Queues one report: byteNumber 0 = reportNumber, 1..6 the three values; length 1..17.
void pushInput(quint16 clutch, quint16 brake, quint16 throttle, int length = 17,
               quint8 reportNumber = 0x01);
void pushRawInput(const QByteArray& report);
int pendingInputs();
// Reports taken by hid_read so far.
long long inputsDelivered();
// Pedals pressing and releasing by themselves, at the given report rate.
void setMotion(bool on, int reportsPerSecond = 250);
// Reports the host's buffer holds between reads. As in the operating system's HID
// driver, a report that arrives when it is full pushes out the oldest one.
constexpr int HOST_INPUT_BUFFER = 64;
// Reports pushed out of the full host buffer since the last reset.
long long inputsOverwritten();

// --- Streaming: a thread of the model sends input reports at a fixed rate, as the pedal
// set does on the bus (1,000/s at full speed, up to 8,000/s at high speed), with the
// pedals moving and a little sensor noise. For benchmarks of the input path.
struct StreamStats {
    long long produced = 0;  // reports sent while plugged
    long long delivered = 0; // streamed reports taken by hid_read
    long long dropped = 0;   // streamed reports pushed out of the full host buffer
    int deepestQueue = 0;    // most reports readable at once while streaming
    // The sending thread may itself wake late and then sends every report that fell due
    // at once: the most it sent in one go. Such a burst is readable all at once.
    int largestBurst = 0;
    // Lowest and highest value sent per axis: low0, high0, low1, high1, low2, high2.
    std::array<quint16, 6> extremes{65535, 0, 65535, 0, 65535, 0};
};
// Starts sending (restarting the counters); stopStream returns once the sender is done.
void startStream(int reportsPerSecond);
void stopStream();
StreamStats streamStats();
// For each streamed report hid_read has taken, in that order: when it became readable
// and when it was read.
std::vector<std::chrono::steady_clock::time_point> streamReadableTimes();
std::vector<std::chrono::steady_clock::time_point> streamReadTimes();
// The report the stream sends as its index-th at the given rate (report number 0x01).
QByteArray streamReport(long long index, int reportsPerSecond);

// --- Faults and timing. Counts start at the call: n = 1 is the next such call.
void failSend(int n);
void failGet(int n);
void failInputRead(int n);
// Reads asleep in hid_read_timeout, waiting for a report.
int readersWaiting();
// The k-th feature report from now (send or get) finds the device unplugged.
void unplugAtFeatureReport(int k);
// hid_get_feature_report delivers only this many bytes (0: all 20).
void setReplyLength(int length);
// Time each feature report takes, like a USB control transfer.
void setReportDelay(std::chrono::microseconds delay);

// --- Log of every report in both directions.
void setLogging(bool featureReports, bool inputReports);
std::vector<LogEntry> log();
void clearLog();
// Bytes of the feature reports the host sent successfully, in order.
std::vector<QByteArray> sentReports();
// Number of feature report calls (send and get), successful or not.
long long featureCalls();

// Hex text of bytes ("02 0B 09 00 ..."), for test messages.
QString hex(const QByteArray& bytes);

} // namespace PedalSim
