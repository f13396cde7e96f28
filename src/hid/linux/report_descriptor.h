// What a HID report descriptor says about the device's purpose.
#ifndef TRELKEY_HID_LINUX_REPORT_DESCRIPTOR_H
#define TRELKEY_HID_LINUX_REPORT_DESCRIPTOR_H

#include <stddef.h>
#include <stdint.h>

// Whether a report descriptor describes nothing but keyboards and mice: it
// parses to the end with balanced collections, has at least one top-level
// application collection, and every one of them is Generic Desktop Mouse,
// Keyboard or Keypad. Windows keeps such interfaces to itself, so they are
// never opened on Linux either. A malformed descriptor gives false.
bool descriptor_only_keyboards_and_mice(const uint8_t* descriptor, size_t size);

#endif
