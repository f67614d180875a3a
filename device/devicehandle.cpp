#include "device/devicehandle.h"

#include "device/protocol.h"

#include <hidapi.h>

namespace DeviceHandle {

namespace {
hid_device* handle = nullptr;

bool closeLocked() {
    if (!handle)
        return false;
    hid_close(handle);
    handle = nullptr;
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
    std::lock_guard<std::mutex> guard(lock());
    closeLocked();
    handle = hid_open(Protocol::VENDOR_ID, Protocol::PRODUCT_ID, nullptr);
    return handle != nullptr;
}

bool close() {
    std::lock_guard<std::mutex> guard(lock());
    return closeLocked();
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

} // namespace DeviceHandle
