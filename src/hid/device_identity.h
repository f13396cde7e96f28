// The identity by which the trigger device is found. The values are set when
// the build is configured and compiled into a small library of their own, so
// one build can produce programs for differently branded units.
#ifndef TRELKEY_HID_DEVICE_IDENTITY_H
#define TRELKEY_HID_DEVICE_IDENTITY_H

extern const unsigned short DEVICE_VENDOR_ID;
extern const unsigned short DEVICE_PRODUCT_ID;
extern const char* const DEVICE_MANUFACTURER;
extern const char* const DEVICE_PRODUCT;

#endif
