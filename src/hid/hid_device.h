// What each platform's backend does, and nothing more: enumerate the HID
// interfaces it can see as plain records, open one of them, exchange a
// feature report and close it. Each platform has its own implementation of
// these functions, chosen by the build; which interface is the unit, and what
// the user is told, is the unit search's (hid/unit_search.h).
#ifndef TRELKEY_HID_HID_DEVICE_H
#define TRELKEY_HID_HID_DEVICE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "hid/identity.h"

// An open device: a file descriptor on Linux, a file handle on Windows.
typedef intptr_t DeviceHandle;

// No device; the value of Windows' INVALID_HANDLE_VALUE and of a failed open().
constexpr DeviceHandle NO_DEVICE = -1;

// Room for a location, a node or a Windows device path.
constexpr size_t DEVICE_PATH_SIZE = 260;
// Room for a reason in the platform's words, in UTF-8.
constexpr size_t DEVICE_REASON_SIZE = 512;

// What went wrong with a device: path, the device or library concerned, and
// reason, why the call failed, in the platform's words, in UTF-8; empty when
// the platform gave no reason. Both are cut to fit.
struct DeviceFailure {
    char path[DEVICE_PATH_SIZE];
    char reason[DEVICE_REASON_SIZE];
};

// One HID interface, as the platform sees it before opening it for reading
// and writing.
//   location  where it is plugged in, as -d takes it and -l shows it: on
//             Linux the USB port path sysfs names its USB device by
//             ("1-1.2"), or its node when it is not on USB; on Windows the
//             interface's device path.
//   node      what opens it: the /dev node on Linux, the device path on
//             Windows.
//   node_number  Linux: the node's device number, which the open checks the
//             opened node against; 0 on Windows.
//   identified   its USB IDs could be read; only then are the IDs, the
//             texts and carries_report meaningful.
//   manufacturer, product  the device's texts narrowed to 8 bits; empty
//             when it has none or they cannot be read.
//   carries_report  its report descriptor declares the configuration
//             report (feature report DEVICE_REPORT_ID of DEVICE_REPORT_LENGTH
//             bytes).
//   reason    why it could not be identified, in the platform's words;
//             empty when it was.
struct HidInterface {
    char location[DEVICE_PATH_SIZE];
    char node[DEVICE_PATH_SIZE];
    uint64_t node_number;
    bool identified;
    uint16_t vendor_id;
    uint16_t product_id;
    char manufacturer[DEVICE_TEXT_SIZE];
    char product[DEVICE_TEXT_SIZE];
    bool carries_report;
    char reason[DEVICE_REASON_SIZE];
};

typedef void (*InterfaceVisitor)(const HidInterface& hid, void* context);

// Makes the platform's HID access ready: on Windows it loads hid.dll and
// looks up its functions, and keeps the reason when that fails. False when
// it failed.
bool bind_hid_library();

// Calls visit for every HID interface the platform lists, in its order
// (Linux: hidraw node number; Windows: SetupAPI's), at most 255. False, with
// what failed and why, when the platform's HID access is not ready (Windows:
// hid.dll not loaded, or SetupAPI gave no list).
bool enumerate_hid_interfaces(InterfaceVisitor visit, void* context, DeviceFailure* failure);

// Opens an enumerated interface for reading and writing; NO_DEVICE, with the
// reason, when it does not open or (Linux) the node no longer is the device
// the record describes.
DeviceHandle open_hid_interface(const HidInterface& hid, DeviceFailure* failure);

// What a location that names no enumerated interface is.
enum PortState {
    PORT_UNKNOWN,   // no USB port or device node of that name
    PORT_EMPTY,     // a USB port with nothing plugged in
    PORT_OCCUPIED,  // a USB port with a device that has no HID interface
};

// Linux: what sysfs says of a USB port path. Windows, where a location is an
// interface path: PORT_EMPTY.
PortState locate_port(const char* location);

// The form in which a location the user typed names an enumerated
// interface: on Linux a path is resolved (a udev symlink to the node gives
// the node); on Windows, and for any other name, the text as it is.
void canonical_location(const char* location, char* canonical, size_t size);

// Fetch or send the feature report whose ID is in report[0], and set
// failure->reason when the request fails. Linux: true only when the device
// took or gave all length bytes. Windows: true when hid.dll's call succeeds;
// Windows reports no length. The platforms' calls take the buffer of a
// report they send as writable, so it is passed as such.
bool hid_get_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure);
bool hid_set_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure);

void close_device(DeviceHandle device);

// Writes a line of UTF-8 text to stdout or stderr so that the user reads it
// in the console's language. Linux writes it as it is. Windows writes it to a
// console as UTF-16; to a file or a pipe in the console's code page, or the
// ANSI code page when there is no console, as Windows' own console programs
// do.
void write_text_line(FILE* stream, const char* text);

#endif
