// Finding and opening the trigger device among the attached HID interfaces.
#ifndef TRELKEY_HID_DISCOVERY_H
#define TRELKEY_HID_DISCOVERY_H

#include <windows.h>

// The search examines interface indices 0 to MAX_INTERFACES - 1.
constexpr unsigned MAX_INTERFACES = 255;

// Size in bytes of the buffer that receives a device's UTF-16 strings.
constexpr unsigned STRING_BUFFER_SIZE = 512;

// Opens the first interface whose vendor ID, product ID, manufacturer string
// and product string equal the given ones (the strings are compared only when
// both are given). The caller closes the returned handle. INVALID_HANDLE_VALUE
// when none matched, none could be opened, or the HID library is not bound.
HANDLE find_hid_device(USHORT vendor_id, const char* manufacturer, USHORT product_id,
                       const char* product);

// find_hid_device() with the identity compiled into the program.
HANDLE open_trigger_device();

// Converts the NUL-terminated UTF-16LE string at the start of a
// STRING_BUFFER_SIZE-byte buffer, in place, to a NUL-terminated 8-bit string:
// units below 0x100 keep their value, others become '?'. The walk stops at
// the end of the buffer when there is no terminator.
void narrow_wide_string(unsigned char* buffer);

#endif
