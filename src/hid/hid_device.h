// The trigger device as the read and set commands use it: find and open it,
// exchange a feature report, close it. Each platform has its own
// implementation of these functions, chosen by the build.
#ifndef TRELKEY_HID_HID_DEVICE_H
#define TRELKEY_HID_HID_DEVICE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// An open device: a file descriptor on Linux, a file handle on Windows.
typedef intptr_t DeviceHandle;

// No device; the value of Windows' INVALID_HANDLE_VALUE and of a failed open().
constexpr DeviceHandle NO_DEVICE = -1;

// What the commands tell the user about the device, filled by the open and
// by the feature requests of one command. path: the device opened (a
// /dev node on Linux, the interface's device path on Windows), or, when none
// opened, the first match that could not be opened, or the location a
// command named; empty when nothing matched. reason: why the last call
// failed, in the platform's words, in UTF-8; empty when it succeeded or the
// platform gave no reason. Both are cut to fit. at_location: what was found
// at the location a command named when no unit could be used there.
enum LocationProblem {
    LOCATION_USED,        // a unit is there, or no location was named
    LOCATION_EMPTY,       // nothing is plugged in there
    LOCATION_NOT_A_UNIT,  // something is, but not a unit with the identity
};

struct DeviceFailure {
    char path[260];
    char reason[512];
    LocationProblem at_location;
};

// One attached unit. location: where it is plugged in, as -d takes it (Linux:
// the USB port path sysfs names its USB device by, such as "1-1.2"; Windows:
// the interface's device path). node: the /dev node it is reached by (Linux;
// empty on Windows). reason: why it cannot be opened for reading and
// writing, in the platform's words, in UTF-8; empty when it can.
struct UnitEntry {
    char location[260];
    char node[260];
    char reason[sizeof DeviceFailure::reason];
};

typedef void (*UnitVisitor)(const UnitEntry& unit, void* context);

// Makes the platform's HID access ready: on Windows it loads hid.dll and
// looks up its functions. False when that failed; the commands then find no
// device.
bool bind_hid_library();

// Finds the device with the identity compiled into the program and opens it
// for reading and writing; NO_DEVICE when there is none it could open.
// location: null for the first unit the search finds, or where the unit is
// plugged in, as a UnitEntry's location gives it (Linux also takes the unit's
// /dev node); only a unit there is opened.
// A unit matches by its identity and by carrying the configuration report.
// Linux: the first matching hidraw node, by number, that opens and proves to
// be the device matched; a match that does not is named with its reason.
// Windows: the first matching interface, in SetupAPI's order, that opens for
// reading and writing; each is identified through a handle without access
// first, and a match that does not open is named with Windows' reason.
DeviceHandle open_trigger_device(const char* location, DeviceFailure* failure);

// Calls visit for every attached unit with the compiled-in identity, in the
// order in which open_trigger_device tries them, and gives their number.
size_t list_trigger_devices(UnitVisitor visit, void* context);

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
