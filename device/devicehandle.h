// The one process-wide handle to the open pedal set.
//
// The GUI thread, the input reader and the firmware upload all use it, and the reader
// may close it when the device goes away. Feature reports happen under one lock, and a use
// always finds either a live handle or none, never one another thread closed. The reader
// waits for input without that lock, beside the others, as hidapi allows for one reading
// thread; a close waits until its read has returned.
#pragma once

#include <cstddef>
#include <mutex>

struct hid_device_;
typedef struct hid_device_ hid_device;

namespace DeviceHandle {

// What readInput returns when no device is open.
constexpr int NO_DEVICE = -2;

// Opens the pedal set by vendor and product id; closes a previous handle first.
bool open();
// Closes the handle if one is open, once no read is under way; returns whether it did.
bool close();
bool isOpen();
// Whether the system lists the pedal set, open or not: listed but not opened means this
// user may not open it.
bool isListed();

std::mutex& lock();
// Only with lock() held.
hid_device* current();

// Runs f(handle) with the lock held; handle is nullptr when no device is open.
template <typename F> auto use(F&& f) {
    std::lock_guard<std::mutex> guard(lock());
    return f(current());
}

// Waits up to timeoutMs for one input report and copies it into buffer: its length, 0 when
// none came (or a close is waiting), -1 on a read error, NO_DEVICE when no device is open.
// One thread reads.
int readInput(unsigned char* buffer, std::size_t length, int timeoutMs);

// Only with lock() held: a report on the open handle failed. hidapi before 0.15 keeps one
// error text per device for reads and feature reports alike, which two threads replacing it
// at once would free twice; until the handle closes, reads therefore take the lock too.
void noteFailureLocked();

} // namespace DeviceHandle
