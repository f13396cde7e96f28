// What a HID report descriptor says about the device's reports.
#ifndef TRELKEY_HID_LINUX_REPORT_DESCRIPTOR_H
#define TRELKEY_HID_LINUX_REPORT_DESCRIPTOR_H

#include <stddef.h>
#include <stdint.h>

// Whether a report descriptor declares the feature report report_id of
// length bytes, its ID byte included: it parses to the end with balanced
// collections, and the Feature items under that Report ID add up to
// (length - 1) * 8 bits (Report Size times Report Count each). The unit's
// own interface has the configuration report; its keyboard or media-key
// interface has none, and is never opened. A malformed descriptor gives
// false.
bool descriptor_has_feature_report(const uint8_t* descriptor, size_t size, uint8_t report_id,
                                   size_t length);

#endif
