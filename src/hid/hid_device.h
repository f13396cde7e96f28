// The trigger device as the read and set commands use it: find and open it,
// exchange a feature report, close it. Each platform has its own
// implementation of these functions, chosen by the build.
#ifndef TRELKEY_HID_HID_DEVICE_H
#define TRELKEY_HID_HID_DEVICE_H

#include <stddef.h>
#include <stdint.h>

// An open device: a file descriptor on Linux, a file handle on Windows.
typedef intptr_t DeviceHandle;

// No device; the value of Windows' INVALID_HANDLE_VALUE and of a failed open().
constexpr DeviceHandle NO_DEVICE = -1;

// Why a search ended without a device although one matched: the first
// matching device node that could not be opened, and the errno of the open.
// error stays 0 when nothing matched, and on Windows, which reports no reason.
struct OpenFailure {
    char path[64];
    int error;
};

// Makes the platform's HID access ready: on Windows it loads hid.dll and
// looks up its functions. False when that failed; the commands then find no
// device.
bool bind_hid_library();

// Finds the device with the identity compiled into the program and opens it
// for reading and writing. NO_DEVICE when there is none it could open;
// failure, when given, then tells about a match that could not be opened.
DeviceHandle open_trigger_device(OpenFailure* failure);

// Fetch or send the feature report whose ID is in report[0]. True only when
// the device took or gave the whole report. The platforms' calls take the
// buffer of a report they send as writable, so it is passed as such.
bool hid_get_feature(DeviceHandle device, uint8_t* report, size_t length);
bool hid_set_feature(DeviceHandle device, uint8_t* report, size_t length);

void close_device(DeviceHandle device);

#endif
