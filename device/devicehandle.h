// The one process-wide handle to the open pedal set.
//
// The GUI thread, the input reader and the firmware upload all use it, and the reader
// may close it when the device goes away. Every use therefore happens under one lock,
// and a use always finds either a live handle or none, never one another thread closed.
#pragma once

#include <mutex>

struct hid_device_;
typedef struct hid_device_ hid_device;

namespace DeviceHandle {

// Opens the pedal set by vendor and product id; closes a previous handle first.
bool open();
// Closes the handle if one is open; returns whether it did.
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

} // namespace DeviceHandle
