// hidapi's C functions, answered by the virtual pedal set.
#include "sim/pedalsim_p.h"

#include <QThread>

#include <hidapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

using PedalSim::Kind;
using PedalSim::LogEntry;
using PedalSim::State;
using PedalSim::state;

namespace {

constexpr int REPORT_SIZE = 20;
std::atomic<const wchar_t*> lastError{L"Success"};

// Counts a countdown armed by a test; true when this call is the one to fail.
bool countdownHits(int& counter) {
    if (counter <= 0)
        return false;
    return --counter == 0;
}

// Checks a handle under the model's lock; -1 for a closed or stale handle.
bool usable(State& s, hid_device* dev) {
    if (!dev) {
        lastError = L"No device";
        return false;
    }
    if (dev->closed) {
        ++s.closedUses;
        lastError = L"Handle used after close";
        return false;
    }
    if (dev->stale || !s.plugged) {
        lastError = L"Device disconnected";
        return false;
    }
    return true;
}

void record(State& s, Kind kind, const unsigned char* data, int length, int result) {
    const bool wanted = kind == Kind::InputRead ? s.logInput : s.logFeature;
    if (!wanted)
        return;
    s.entries.push_back(
        LogEntry{kind,
                 result > 0 ? QByteArray(reinterpret_cast<const char*>(data), std::max(0, length))
                            : QByteArray(),
                 QThread::currentThread(), result});
}

// A feature call: the optional unplug fault, then the per-report delay outside the lock.
void featureCallPrologue(State& s, std::unique_lock<std::mutex>& guard) {
    ++s.calls;
    if (countdownHits(s.unplugAtCall))
        s.unplugLocked();
    if (s.delay.count() > 0) {
        const auto delay = s.delay;
        guard.unlock();
        std::this_thread::sleep_for(delay);
        guard.lock();
    }
}

hid_device_info* makeInfo() {
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    static char path[] = "sim:vexo-px7";
    static wchar_t serial[] = L"SIM0001";
    static wchar_t maker[] = L"VEXO";
    static wchar_t product[] = L"VEXO PX7";
    info->path = path;
    info->vendor_id = 0xC872;
    info->product_id = 0x2020;
    info->serial_number = serial;
    info->release_number = 0x0100;
    info->manufacturer_string = maker;
    info->product_string = product;
    info->usage_page = 0x01;
    info->usage = 0x04;
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    return info;
}

int copyString(const wchar_t* text, wchar_t* out, size_t maxlen) {
    if (!out || maxlen == 0)
        return -1;
    std::wcsncpy(out, text, maxlen);
    out[maxlen - 1] = L'\0';
    return 0;
}

} // namespace

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) {
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void) {
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                  unsigned short product_id) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    const bool matches =
        (vendor_id == 0 || vendor_id == 0xC872) && (product_id == 0 || product_id == 0x2020);
    return s.plugged && matches ? makeInfo() : nullptr;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
    while (devs) {
        hid_device_info* next = devs->next;
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t* /*serial_number*/) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    ++s.openTries;
    if (!s.plugged || vendor_id != 0xC872 || product_id != 0x2020) {
        lastError = L"No such device";
        return nullptr;
    }
    if (s.refused) {
        lastError = L"Permission denied";
        return nullptr;
    }
    s.handles.push_back(std::make_unique<hid_device_>());
    ++s.opens;
    return s.handles.back().get();
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
    if (!path || std::strcmp(path, "sim:vexo-px7") != 0)
        return nullptr;
    return hid_open(0xC872, 0x2020, nullptr);
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char*, size_t length) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    // The pedal set has no output reports; accept and drop them.
    return usable(s, dev) ? int(length) : -1;
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data,
                                                 size_t length, int milliseconds) {
    State& s = state();
    std::unique_lock<std::mutex> guard(s.mutex);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (!usable(s, dev))
            return -1;
        if (countdownHits(s.failInputAt)) {
            lastError = L"Input read failed";
            return -1;
        }
        int result = 0;
        if (s.takeInput(data, length, result)) {
            record(s, Kind::InputRead, data, result, result);
            return result;
        }
        if (milliseconds == 0)
            return 0;
        const auto now = std::chrono::steady_clock::now();
        if (milliseconds > 0 && now >= deadline)
            return 0;
        // Like poll(): asleep until a report is queued, the device goes, the time is up or
        // the pedals' own motion makes its next report.
        auto wakeAt = milliseconds > 0 ? deadline : std::chrono::steady_clock::time_point::max();
        if (s.motion)
            wakeAt = std::min(wakeAt, s.nextMotionReport());
        ++s.readersWaiting;
        if (wakeAt == std::chrono::steady_clock::time_point::max())
            s.inputArrived.wait(guard);
        else
            s.inputArrived.wait_until(guard, wakeAt);
        --s.readersWaiting;
    }
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length) {
    bool nonblocking = false;
    {
        std::lock_guard<std::mutex> guard(state().mutex);
        nonblocking = dev && !dev->closed && dev->nonblocking;
    }
    return hid_read_timeout(dev, data, length, nonblocking ? 0 : -1);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int nonblock) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!usable(s, dev))
        return -1;
    dev->nonblocking = nonblock != 0;
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char* data,
                                                        size_t length) {
    State& s = state();
    std::unique_lock<std::mutex> guard(s.mutex);
    featureCallPrologue(s, guard);
    int result = -1;
    if (!usable(s, dev) || !data || length != REPORT_SIZE) {
        if (dev && !dev->closed && length != REPORT_SIZE)
            lastError = L"Feature reports are 20 bytes";
    } else if (countdownHits(s.failSendAt)) {
        lastError = L"Send failed";
    } else {
        s.applyReport(data);
        result = int(length);
    }
    record(s, Kind::FeatureSend, data, int(length), result);
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char* data,
                                                       size_t length) {
    State& s = state();
    std::unique_lock<std::mutex> guard(s.mutex);
    featureCallPrologue(s, guard);
    int result = -1;
    if (!usable(s, dev) || !data || length < 1) {
    } else if (countdownHits(s.failGetAt)) {
        lastError = L"Get failed";
    } else if (data[0] != 0x02) {
        lastError = L"Unknown report id";
    } else {
        const int n = std::min<int>(int(length), s.replyLength > 0 ? s.replyLength : REPORT_SIZE);
        std::memcpy(data, s.pendingReply.data(), n);
        result = n;
    }
    record(s, Kind::FeatureGet, data, result, result);
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device* dev, unsigned char* data,
                                                     size_t length) {
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!usable(s, dev) || length < 1)
        return -1;
    std::memset(data, 0, length);
    return int(std::min<size_t>(length, 17));
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
    if (!dev)
        return;
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (dev->closed) {
        ++s.closedUses; // closed twice
        return;
    }
    dev->closed = true;
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device* dev, wchar_t* string,
                                                    size_t maxlen) {
    return dev ? copyString(L"VEXO", string, maxlen) : -1;
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    return dev ? copyString(L"VEXO PX7", string, maxlen) : -1;
}

int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device* dev, wchar_t* string,
                                                     size_t maxlen) {
    return dev ? copyString(L"SIM0001", string, maxlen) : -1;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_get_device_info(hid_device* dev) {
    static hid_device_info* info = makeInfo();
    return dev ? info : nullptr;
}

int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device*, int, wchar_t*, size_t) {
    return -1;
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device*) {
    return lastError;
}

HID_API_EXPORT const struct hid_api_version* HID_API_CALL hid_version(void) {
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR,
                                         HID_API_VERSION_PATCH};
    return &version;
}

HID_API_EXPORT const char* HID_API_CALL hid_version_str(void) {
    return HID_API_VERSION_STR;
}

} // extern "C"
