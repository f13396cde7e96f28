// Finding and opening the trigger device among the HID interfaces that
// SetupAPI lists.
#ifndef TRELKEY_HID_WINDOWS_DISCOVERY_H
#define TRELKEY_HID_WINDOWS_DISCOVERY_H

#include <windows.h>

// The search examines interface indices 0 to MAX_INTERFACES - 1.
constexpr unsigned MAX_INTERFACES = 255;

// Opens the first interface whose vendor ID, product ID, manufacturer string
// and product string equal the given ones (the strings are compared only when
// both are given). The caller closes the returned handle. INVALID_HANDLE_VALUE
// when none matched, none could be opened, or the HID library is not bound.
HANDLE find_hid_device(USHORT vendor_id, const char* manufacturer, USHORT product_id,
                       const char* product);

#endif
