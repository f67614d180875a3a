// Internals shared by the device model and the hidapi entry points of the virtual pedal set.
#pragma once

#include "sim/pedalsim.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

// hidapi's opaque device type. Handles are never freed while the process runs, so a
// use after hid_close is detected and counted instead of touching freed memory.
struct hid_device_ {
    bool closed = false;
    bool stale = false; // the device was unplugged (or reset) since this handle was opened
    bool nonblocking = false;
};

namespace PedalSim {

struct State {
    std::mutex mutex;
    std::condition_variable inputArrived;

    // Firmware model.
    bool plugged = true;
    // Listed but not opened, as a hidraw node the user has no permission for.
    bool refused = false;
    InputMark inputMark = InputMark::Joystick;
    std::map<quint8, quint32> applied, kept;
    std::array<Block, 2> blocks{}, keptBlocks{};
    std::array<ProfileSlot, 16> profiles{};
    QByteArray versionText;
    std::array<quint8, 20> pendingReply{};
    QByteArray receiving, image;
    int expectedOffset = 0;
    int firmwareEndCount = 0;
    int firmwareChunkCount = 0;

    // Input reports readable by the host, oldest first. The host's buffer holds
    // HOST_INPUT_BUFFER of them; a report arriving at a full buffer pushes out the oldest.
    struct Input {
        QByteArray bytes;
        std::chrono::steady_clock::time_point readableAt;
        bool streamed = false;
    };
    std::deque<Input> inputs;
    long long delivered = 0;
    long long overwritten = 0;
    int deepestQueue = 0;
    bool motion = false;
    int motionRate = 250;
    std::chrono::steady_clock::time_point motionStart, lastMotion;
    std::chrono::steady_clock::time_point nextMotionReport() const {
        return lastMotion + std::chrono::microseconds(1000000 / std::max(1, motionRate));
    }
    // Reads asleep in hid_read_timeout now.
    int readersWaiting = 0;

    // The stream's counters; readable/read times of each streamed report taken, in order.
    StreamStats stream;
    std::vector<std::chrono::steady_clock::time_point> streamReadable, streamRead;

    // Faults, timing, bookkeeping.
    int failSendAt = 0, failGetAt = 0, failInputAt = 0, unplugAtCall = 0;
    int replyLength = 0;
    std::chrono::microseconds delay{0};
    bool logFeature = true, logInput = true;
    std::vector<LogEntry> entries;
    QStringList errors;
    long long calls = 0;
    int closedUses = 0;
    int opens = 0;
    int openTries = 0;
    std::vector<std::unique_ptr<hid_device_>> handles;

    State() { resetLocked(); }
    void resetLocked();
    void factoryResetLocked();
    void unplugLocked();
    void applyReport(const quint8* report);
    void answerQuery(const quint8* query);
    void receiveChunk(const quint8* report);
    void protocolError(const QString& what, const quint8* report);
    bool takeInput(quint8* data, size_t length, int& result);
    // Readers waiting in hid_read_timeout are woken by the caller, once it has let go of
    // the lock.
    void queueInput(const QByteArray& report, bool streamed);
};

State& state();

} // namespace PedalSim
