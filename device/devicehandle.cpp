#include "device/devicehandle.h"

#include "device/protocol.h"

#include <hidapi.h>

#include <algorithm>
#include <condition_variable>
#include <thread>

namespace DeviceHandle {

namespace {
// After a failed report, reads look under the lock and pause this long between looks.
constexpr int FAILED_POLL_INTERVAL_MS = 5;
constexpr bool READ_ERRORS_SHARED = HID_API_VERSION < HID_API_MAKE_VERSION(0, 15, 0);

hid_device* handle = nullptr;
// A read waits without the lock; the handle may not be closed under it.
bool reading = false;
int closersWaiting = 0;
std::condition_variable readReturned;
bool failed = false;

bool closeLocked(std::unique_lock<std::mutex>& guard) {
    if (!handle)
        return false;
    ++closersWaiting;
    readReturned.wait(guard, [] { return !reading; });
    --closersWaiting;
    // Another closer may have come first.
    if (!handle)
        return false;
    hid_close(handle);
    handle = nullptr;
    failed = false;
    return true;
}
} // namespace

std::mutex& lock() {
    static std::mutex mutex;
    return mutex;
}

hid_device* current() {
    return handle;
}

bool open() {
    std::unique_lock<std::mutex> guard(lock());
    closeLocked(guard);
    handle = hid_open(Protocol::VENDOR_ID, Protocol::PRODUCT_ID, nullptr);
    return handle != nullptr;
}

bool close() {
    std::unique_lock<std::mutex> guard(lock());
    return closeLocked(guard);
}

bool isOpen() {
    std::lock_guard<std::mutex> guard(lock());
    return handle != nullptr;
}

bool isListed() {
    hid_device_info* found = hid_enumerate(Protocol::VENDOR_ID, Protocol::PRODUCT_ID);
    hid_free_enumeration(found);
    return found != nullptr;
}

void noteFailureLocked() {
    failed = true;
}

int readInput(unsigned char* buffer, std::size_t length, int timeoutMs) {
    std::unique_lock<std::mutex> guard(lock());
    if (!handle)
        return NO_DEVICE;
    // A close waiting for the last read goes first.
    if (closersWaiting > 0)
        return 0;
    if (failed && READ_ERRORS_SHARED) {
        // A look under the lock, then a pause without it: the other threads are not kept
        // waiting, and the reconnection that follows a failure soon ends this.
        const int n = hid_read_timeout(handle, buffer, length, 0);
        if (n != 0)
            return n;
        guard.unlock();
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min(timeoutMs, FAILED_POLL_INTERVAL_MS)));
        return 0;
    }
    hid_device* const reader = handle;
    reading = true;
    guard.unlock();
    const int n = hid_read_timeout(reader, buffer, length, timeoutMs);
    guard.lock();
    reading = false;
    readReturned.notify_all();
    return n;
}

} // namespace DeviceHandle
