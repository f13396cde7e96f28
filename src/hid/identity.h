// The identity by which the trigger device is recognised, the report that
// tells its own interface, and the narrowing of device texts to the 8 bits
// they are compared in.
#ifndef TRELKEY_HID_IDENTITY_H
#define TRELKEY_HID_IDENTITY_H

#include <stddef.h>
#include <stdint.h>

struct DeviceIdentity {
    uint16_t vendor_id;
    uint16_t product_id;
    const char* manufacturer;  // 8-bit text; null or empty: not compared
    const char* product;       // the same
};

// The feature report by which a unit's own HID interface is told from its
// others (a keyboard, media keys): the configuration report, report ID 1,
// 9 bytes with the ID byte.
constexpr uint8_t DEVICE_REPORT_ID = 1;
constexpr size_t DEVICE_REPORT_LENGTH = 9;

// Whether an identity text is compared with the device's: not when it is
// null or empty.
bool text_compared(const char* expected);

// The identity compiled into the program.
DeviceIdentity trigger_device_identity();

// Size in bytes of the buffer that receives a device's UTF-16 string on
// Windows, and of every buffer holding a device text narrowed to 8 bits.
constexpr size_t DEVICE_TEXT_SIZE = 512;

// Most UTF-16 units a narrowed text keeps: those that fill the buffer.
constexpr size_t MAX_TEXT_UNITS = DEVICE_TEXT_SIZE / 2;

// Converts the NUL-terminated UTF-16LE string at the start of a
// DEVICE_TEXT_SIZE-byte buffer, in place, to a NUL-terminated 8-bit string:
// a unit below 0x100 becomes the byte of its value, any other unit "?". The
// walk stops at the end of the buffer when there is no terminator.
void narrow_wide_string(unsigned char* buffer);

// The same narrowing for a NUL-terminated UTF-8 text, written to a
// DEVICE_TEXT_SIZE-byte buffer: a character above U+00FF becomes one "?" per
// UTF-16 unit, so one outside the Basic Multilingual Plane becomes "??".
// Each byte that does not belong to a well-formed sequence becomes "?".
void narrow_utf8_string(const char* utf8, unsigned char* text);

#endif
