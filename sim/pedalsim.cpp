// The virtual pedal set: the device model behind the hidapi functions of hidapi_sim.cpp.
#include "sim/pedalsim_p.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

#ifdef __linux__
#include <pthread.h>
#endif

namespace PedalSim {

namespace {

constexpr quint8 REPORT_ID = 0x02;
constexpr quint8 STORE_MARK = 0xEF;
constexpr int REPORT_SIZE = 20;
constexpr int SLOTS = 16;
constexpr int NAME_AREA = 17; // bytes 3..19
constexpr int MAX_NAME = 16;
constexpr int VERSION_AREA = 18; // bytes 2..19
constexpr int MAX_IMAGE = 0x80000;

constexpr quint8 SETTING_PEDAL_MODE = 0x07;
constexpr quint8 SETTING_PROFILE_SELECT = 0x0F;
constexpr quint8 SETTING_CLEAR_FLASH = 0x10;

const Block FACTORY_CALIBRATION{1200, 64000, 900, 64400, 1500, 63800};
const Block FACTORY_DEADZONES{0, 65535, 0, 65535, 0, 65535};
const std::array<quint8, 5> LINEAR_CURVE{17, 33, 50, 67, 83};

quint16 u16(const quint8* p) {
    return quint16(p[0] | (p[1] << 8));
}
quint32 u32(const quint8* p) {
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
void putU16(quint8* p, quint16 v) {
    p[0] = quint8(v);
    p[1] = quint8(v >> 8);
}
void putU32(quint8* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = quint8(v >> (8 * i));
}

QByteArray nameArea(const QByteArray& name) {
    QByteArray area(NAME_AREA, '\0');
    std::memcpy(area.data(), name.constData(), std::min<int>(int(name.size()), MAX_NAME));
    return area;
}

} // namespace

State& state() {
    static State s;
    return s;
}

// ---------------------------------------------------------------- firmware model

void State::factoryResetLocked() {
    applied.clear();
    kept.clear();
    applied[SETTING_PEDAL_MODE] = kept[SETTING_PEDAL_MODE] = 1;
    applied[SETTING_PROFILE_SELECT] = kept[SETTING_PROFILE_SELECT] = 0;
    blocks[0] = keptBlocks[0] = FACTORY_CALIBRATION;
    blocks[1] = keptBlocks[1] = FACTORY_DEADZONES;
    for (int slot = 0; slot < SLOTS; ++slot) {
        profiles[slot] = ProfileSlot{};
        profiles[slot].name = QByteArray(NAME_AREA, char(0xFF));
    }
    // One DEFAULT curve per axis.
    for (int axis = 0; axis < 3; ++axis) {
        profiles[axis].name = nameArea("DEFAULT");
        profiles[axis].axisId = quint8(axis + 1);
        profiles[axis].points = LINEAR_CURVE;
    }
}

void State::resetLocked() {
    factoryResetLocked();
    plugged = true;
    refused = false;
    inputMark = InputMark::Joystick;
    versionText = QByteArray("\tMar  4 2023,09:15");
    pendingReply.fill(0);
    pendingReply[0] = REPORT_ID;
    receiving.clear();
    expectedOffset = 0;
    image.clear();
    firmwareEndCount = 0;
    firmwareChunkCount = 0;
    inputs.clear();
    delivered = 0;
    overwritten = 0;
    deepestQueue = 0;
    stream = StreamStats{};
    streamReadable.clear();
    streamRead.clear();
    motion = false;
    failSendAt = failGetAt = failInputAt = unplugAtCall = 0;
    replyLength = 0;
    delay = std::chrono::microseconds(0);
    logFeature = logInput = true;
    entries.clear();
    errors.clear();
    calls = 0;
    closedUses = 0;
    opens = 0;
    openTries = 0;
}

void State::protocolError(const QString& what, const quint8* report) {
    errors << what + QStringLiteral(": ") +
                  hex(QByteArray(reinterpret_cast<const char*>(report), REPORT_SIZE));
}

void State::answerQuery(const quint8* q) {
    const quint8 item = q[2];
    const quint8 sub = q[3];
    pendingReply.fill(0);
    pendingReply[0] = REPORT_ID;
    pendingReply[1] = item;
    pendingReply[2] = sub;
    switch (item) {
    case 0x03: // profile name
        if (sub >= SLOTS)
            return protocolError(QStringLiteral("name query of slot %1").arg(sub), q);
        std::memcpy(&pendingReply[3], profiles[sub].name.constData(), NAME_AREA);
        break;
    case 0x04: // profile curve: slot, axis id, five points
        if (sub >= SLOTS)
            return protocolError(QStringLiteral("curve query of slot %1").arg(sub), q);
        pendingReply[3] = profiles[sub].axisId;
        std::copy(profiles[sub].points.begin(), profiles[sub].points.end(), &pendingReply[4]);
        break;
    case 0x05: // a block; the reply is itself a valid WRITE_BLOCK of that block
        if (sub > 1)
            return protocolError(QStringLiteral("query of block %1").arg(sub), q);
        pendingReply[1] = 0x05;
        pendingReply[3] = 0x01;
        for (int k = 0; k < 6; ++k)
            putU16(&pendingReply[5 + 2 * k], blocks[sub][k]);
        break;
    case 0x09: // version text in bytes 2..19, terminated only when shorter
        std::memcpy(&pendingReply[2], versionText.constData(),
                    std::min<int>(int(versionText.size()), VERSION_AREA));
        break;
    case 0x0C: // a setting; the selection answers what is kept
        putU32(&pendingReply[3], sub == SETTING_PROFILE_SELECT ? kept[sub] : applied[sub]);
        break;
    default:
        protocolError(QStringLiteral("query of unknown item"), q);
    }
}

void State::receiveChunk(const quint8* r) {
    const int offset = ((r[1] & 0x7F) << 12) | (r[2] << 4);
    const int length = r[3];
    if (length < 1 || length > 16)
        return protocolError(QStringLiteral("firmware piece of length %1").arg(length), r);
    if (offset == 0) {
        receiving.clear();
        expectedOffset = 0;
    }
    if (offset != expectedOffset)
        protocolError(QStringLiteral("firmware piece at 0x%1, expected 0x%2")
                          .arg(offset, 0, 16)
                          .arg(expectedOffset, 0, 16),
                      r);
    if (offset + length > MAX_IMAGE)
        return protocolError(QStringLiteral("firmware piece beyond the flash"), r);
    if (receiving.size() < offset + length)
        receiving.resize(offset + length);
    std::memcpy(receiving.data() + offset, r + 4, length);
    expectedOffset = offset + 16;
    ++firmwareChunkCount;
}

void State::applyReport(const quint8* r) {
    if (r[0] != REPORT_ID)
        return protocolError(QStringLiteral("report id"), r);
    const quint8 command = r[1];
    if (command & 0x80)
        return receiveChunk(r);
    switch (command) {
    case 0x0B:
        return answerQuery(r);
    case 0x0C: {
        const quint8 id = r[2];
        const quint32 value = u32(&r[3]);
        if (id == SETTING_CLEAR_FLASH) {
            if (value != 0 || r[7] != 0)
                protocolError(QStringLiteral("clear flash with a value"), r);
            return factoryResetLocked();
        }
        if (id != SETTING_PEDAL_MODE && id != SETTING_PROFILE_SELECT)
            return protocolError(QStringLiteral("write of unknown setting"), r);
        applied[id] = value;
        if (r[7] == STORE_MARK)
            kept[id] = value;
        else if (r[7] != 0)
            protocolError(QStringLiteral("setting marker"), r);
        return;
    }
    case 0x05: {
        const quint8 which = r[2];
        if (which > 1 || r[3] != 0x01)
            return protocolError(QStringLiteral("block header"), r);
        for (int k = 0; k < 6; ++k)
            blocks[which][k] = u16(&r[5 + 2 * k]);
        if (r[4] == STORE_MARK)
            keptBlocks[which] = blocks[which];
        return;
    }
    case 0x03: {
        const quint8 slot = r[2];
        if (slot >= SLOTS)
            return protocolError(QStringLiteral("name of slot %1").arg(slot), r);
        const quint8* name = r + 3;
        const quint8* end = std::find(name, r + REPORT_SIZE, quint8(0));
        if (end == r + REPORT_SIZE)
            return protocolError(QStringLiteral("name without terminator"), r);
        profiles[slot].name =
            nameArea(QByteArray(reinterpret_cast<const char*>(name), int(end - name)));
        return;
    }
    case 0x04: {
        const quint8 slot = r[2];
        if (slot >= SLOTS)
            return protocolError(QStringLiteral("curve of slot %1").arg(slot), r);
        if (r[4] != STORE_MARK)
            protocolError(QStringLiteral("curve without store mark"), r);
        profiles[slot].axisId = r[3];
        std::copy(r + 5, r + 10, profiles[slot].points.begin());
        return;
    }
    case 0x10:
        image = receiving;
        ++firmwareEndCount;
        receiving.clear();
        expectedOffset = 0;
        return;
    default:
        protocolError(QStringLiteral("unknown command"), r);
    }
}

// ---------------------------------------------------------------- inputs

namespace {
// One press-and-release cycle: rest, press, hold, release; smooth at every joint.
double pedalTravel(double t, double period, double phase) {
    double x = std::fmod(t / period + phase, 1.0);
    auto ease = [](double u) {
        return 0.5 - 0.5 * std::cos(u * M_PI);
    };
    if (x < 0.25)
        return 0.0;
    if (x < 0.45)
        return ease((x - 0.25) / 0.20);
    if (x < 0.70)
        return 1.0 - 0.08 * std::sin((x - 0.45) / 0.25 * 2 * M_PI);
    if (x < 0.90)
        return 1.0 - ease((x - 0.70) / 0.20);
    return 0.0;
}

// The three raw values with the pedals at time t, within the factory calibration.
std::array<quint16, 3> pedalValues(double t) {
    const Block& cal = FACTORY_CALIBRATION;
    auto raw = [&](int axis, double travel) {
        const double low = cal[2 * axis] + 300, high = cal[2 * axis + 1] - 300;
        // A pedal does not travel past its end stop (the hold wobbles just below it).
        return quint16(low + std::clamp(travel, 0.0, 1.0) * (high - low));
    };
    return {raw(0, pedalTravel(t, 5.0, 0.55)), raw(1, pedalTravel(t, 4.0, 0.0)),
            raw(2, pedalTravel(t, 3.3, 0.4))};
}

QByteArray inputReport(const std::array<quint16, 3>& values) {
    QByteArray report(17, '\0');
    report[0] = 0x01;
    for (int a = 0; a < 3; ++a)
        putU16(reinterpret_cast<quint8*>(report.data()) + 1 + 2 * a, values[a]);
    return report;
}
} // namespace

void State::queueInput(const QByteArray& report, bool streamed) {
    if (int(inputs.size()) >= HOST_INPUT_BUFFER) {
        if (inputs.front().streamed)
            ++stream.dropped;
        inputs.pop_front();
        ++overwritten;
    }
    inputs.push_back(Input{report, std::chrono::steady_clock::now(), streamed});
    deepestQueue = std::max(deepestQueue, int(inputs.size()));
    if (streamed)
        stream.deepestQueue = std::max(stream.deepestQueue, int(inputs.size()));
}

bool State::takeInput(quint8* data, size_t length, int& result) {
    if (inputs.empty() && motion) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextMotionReport()) {
            lastMotion = now;
            queueInput(
                inputReport(pedalValues(std::chrono::duration<double>(now - motionStart).count())),
                false);
        }
    }
    if (inputs.empty())
        return false;
    const Input input = inputs.front();
    inputs.pop_front();
    const int n = std::min<int>(int(input.bytes.size()), int(length));
    std::memcpy(data, input.bytes.constData(), n);
    result = n;
    ++delivered;
    if (input.streamed) {
        ++stream.delivered;
        streamReadable.push_back(input.readableAt);
        streamRead.push_back(std::chrono::steady_clock::now());
    }
    return true;
}

// ---------------------------------------------------------------- stream

namespace {

std::thread streamer;
std::atomic<bool> streamStop{false};

void streamLoop(int rate) {
    using Clock = std::chrono::steady_clock;
#ifdef __linux__
    pthread_setname_np(pthread_self(), "PedalStream"); // told apart in profiles
#endif
    State& s = state();
    const Clock::time_point start = Clock::now();
    long long index = 0;
    auto due = [&](long long i) {
        return start + std::chrono::nanoseconds(i * 1000000000LL / rate);
    };
    while (!streamStop.load()) {
        std::this_thread::sleep_until(due(index));
        const Clock::time_point now = Clock::now();
        std::unique_lock<std::mutex> guard(s.mutex);
        const long long first = index;
        // Reports fall due on the bus whether or not this thread woke in time.
        for (; due(index) <= now; ++index) {
            if (!s.plugged)
                continue;
            const QByteArray report = streamReport(index, rate);
            for (int a = 0; a < 3; ++a) {
                const quint16 v =
                    quint16(quint8(report[1 + 2 * a]) | (quint8(report[2 + 2 * a]) << 8));
                s.stream.extremes[2 * a] = std::min(s.stream.extremes[2 * a], v);
                s.stream.extremes[2 * a + 1] = std::max(s.stream.extremes[2 * a + 1], v);
            }
            ++s.stream.produced;
            s.queueInput(report, true);
        }
        s.stream.largestBurst = std::max(s.stream.largestBurst, int(index - first));
        // Woken with the lock still held, the reader would only wait again for it.
        guard.unlock();
        s.inputArrived.notify_all();
    }
}

} // namespace

QByteArray streamReport(long long index, int reportsPerSecond) {
    std::array<quint16, 3> values = pedalValues(double(index) / std::max(1, reportsPerSecond));
    // Sensor noise of a few counts, the same for every run.
    quint32 noise = quint32(index) * 2654435761u;
    for (quint16& v : values) {
        noise = noise * 1103515245u + 12345u;
        v = quint16(int(v) + int((noise >> 16) % 17) - 8);
    }
    return inputReport(values);
}

void startStream(int reportsPerSecond) {
    stopStream();
    {
        State& s = state();
        std::lock_guard<std::mutex> guard(s.mutex);
        s.stream = StreamStats{};
        s.streamReadable.clear();
        s.streamRead.clear();
    }
    streamStop = false;
    streamer = std::thread(streamLoop, std::max(1, reportsPerSecond));
}

void stopStream() {
    if (!streamer.joinable())
        return;
    streamStop = true;
    streamer.join();
}

StreamStats streamStats() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().stream;
}

std::vector<std::chrono::steady_clock::time_point> streamReadableTimes() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().streamReadable;
}

std::vector<std::chrono::steady_clock::time_point> streamReadTimes() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().streamRead;
}

// ---------------------------------------------------------------- public API

void reset() {
    stopStream();
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    // Handles opened before stay known (the program may still hold one) but go stale.
    for (auto& h : s.handles)
        h->stale = true;
    s.resetLocked();
    s.inputArrived.notify_all();
}

void plug() {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.plugged = true;
}

void refuseAccess(bool refuse) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.refused = refuse;
}

void setInputMark(InputMark mark) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.inputMark = mark;
}

QList<GameInput::Node> inputNodes() {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.plugged)
        return {};
    QMap<QString, QString> marks;
    if (s.inputMark != InputMark::Unclassified)
        marks.insert(QStringLiteral("ID_INPUT"), QStringLiteral("1"));
    if (s.inputMark == InputMark::Accelerometer)
        marks.insert(QStringLiteral("ID_INPUT_ACCELEROMETER"), QStringLiteral("1"));
    else if (s.inputMark != InputMark::Unclassified)
        marks.insert(QStringLiteral("ID_INPUT_JOYSTICK"), QStringLiteral("1"));
    // Without the joystick mark the user at the seat is not given the nodes either.
    const int openError = s.inputMark == InputMark::Joystick ? 0 : EACCES;
    return {{QStringLiteral("/dev/input/event7"), marks, openError},
            {QStringLiteral("/dev/input/js0"), marks, openError}};
}

void unplug() {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.unplugLocked();
}

void State::unplugLocked() {
    plugged = false;
    for (auto& h : handles)
        h->stale = true;
    inputArrived.notify_all();
}

bool isPlugged() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().plugged;
}

int openHandles() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return int(std::count_if(state().handles.begin(), state().handles.end(),
                             [](const auto& h) { return !h->closed; }));
}

int openCount() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().opens;
}

int openAttempts() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().openTries;
}

int closedHandleUses() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().closedUses;
}

QStringList protocolErrors() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().errors;
}

void setVersionText(const QByteArray& text) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().versionText = text.left(VERSION_AREA);
}

QByteArray versionText() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().versionText;
}

quint32 setting(quint8 id) {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().applied[id];
}

quint32 keptSetting(quint8 id) {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().kept[id];
}

void setSetting(quint8 id, quint32 value) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().applied[id] = state().kept[id] = value;
}

quint32 keptSelection() {
    return keptSetting(SETTING_PROFILE_SELECT);
}

Block block(int which) {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().blocks[which & 1];
}

Block keptBlock(int which) {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().keptBlocks[which & 1];
}

void setBlock(int which, const Block& values) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().blocks[which & 1] = state().keptBlocks[which & 1] = values;
}

ProfileSlot profile(int slot) {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().profiles[slot & 15];
}

QString profileName(int slot) {
    const QByteArray area = profile(slot).name;
    return QString::fromUtf8(
        area.left(int(area.indexOf('\0') < 0 ? area.size() : area.indexOf('\0'))));
}

void setProfile(int slot, const QByteArray& name, quint8 axisId, std::array<quint8, 5> points) {
    std::lock_guard<std::mutex> guard(state().mutex);
    ProfileSlot& p = state().profiles[slot & 15];
    p.name = nameArea(name);
    p.axisId = axisId;
    p.points = points;
}

void eraseProfile(int slot) {
    std::lock_guard<std::mutex> guard(state().mutex);
    ProfileSlot& p = state().profiles[slot & 15];
    p = ProfileSlot{};
    p.name = QByteArray(NAME_AREA, char(0xFF));
}

void factoryReset() {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().factoryResetLocked();
}

QByteArray firmwareImage() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().image;
}

int firmwareEnds() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().firmwareEndCount;
}

int firmwareChunks() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().firmwareChunkCount;
}

void pushInput(quint16 clutch, quint16 brake, quint16 throttle, int length, quint8 reportNumber) {
    QByteArray report(17, '\0');
    report[0] = char(reportNumber);
    auto* p = reinterpret_cast<quint8*>(report.data());
    putU16(p + 1, clutch);
    putU16(p + 3, brake);
    putU16(p + 5, throttle);
    pushRawInput(report.left(std::clamp(length, 1, 17)));
}

void pushRawInput(const QByteArray& report) {
    State& s = state();
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        s.queueInput(report, false);
    }
    s.inputArrived.notify_all();
}

int pendingInputs() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return int(state().inputs.size());
}

long long inputsDelivered() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().delivered;
}

long long inputsOverwritten() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().overwritten;
}

void setMotion(bool on, int reportsPerSecond) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.motion = on;
    s.motionRate = reportsPerSecond;
    s.motionStart = s.lastMotion = std::chrono::steady_clock::now();
}

void failSend(int n) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().failSendAt = n;
}

void failGet(int n) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().failGetAt = n;
}

void failInputRead(int n) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().failInputAt = n;
    // A waiting read fails now, as a read error ends a waiting poll().
    state().inputArrived.notify_all();
}

int readersWaiting() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().readersWaiting;
}

void unplugAtFeatureReport(int k) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().unplugAtCall = k;
}

void setReplyLength(int length) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().replyLength = std::clamp(length, 0, REPORT_SIZE);
}

void setReportDelay(std::chrono::microseconds delay) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().delay = delay;
}

void setLogging(bool featureReports, bool inputReports) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().logFeature = featureReports;
    state().logInput = inputReports;
}

std::vector<LogEntry> log() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().entries;
}

void clearLog() {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().entries.clear();
}

std::vector<QByteArray> sentReports() {
    std::vector<QByteArray> sent;
    for (const LogEntry& e : log())
        if (e.kind == Kind::FeatureSend && e.result >= 0)
            sent.push_back(e.bytes);
    return sent;
}

long long featureCalls() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().calls;
}

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}

} // namespace PedalSim
