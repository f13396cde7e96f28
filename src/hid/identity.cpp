#include "hid/identity.h"

#include "hid/device_identity.h"

namespace {

// The length of the UTF-8 sequence a byte starts and the smallest code point
// that sequence may carry (anything below is an overlong form); 0 for a byte
// that starts none.
struct Utf8Form {
    unsigned length;
    unsigned long minimum;
};

Utf8Form utf8_form(unsigned char lead) {
    if (lead < 0x80) return {1, 0};
    if (lead >= 0xC0 && lead < 0xE0) return {2, 0x80};
    if (lead >= 0xE0 && lead < 0xF0) return {3, 0x800};
    if (lead >= 0xF0 && lead < 0xF5) return {4, 0x10000};
    return {0, 0};
}

// Decodes the well-formed sequence at text, or gives 0 for its length.
unsigned decode_utf8(const unsigned char* text, unsigned long* code_point) {
    const Utf8Form form = utf8_form(text[0]);
    if (form.length <= 1) {
        *code_point = text[0];
        return form.length;
    }
    unsigned long value = text[0] & (0x7Fu >> form.length);
    for (unsigned i = 1; i < form.length; ++i) {
        // A NUL is no continuation byte, so the walk never passes the end.
        if ((text[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (text[i] & 0x3Fu);
    }
    if (value < form.minimum || value > 0x10FFFF) return 0;
    *code_point = value;
    return form.length;
}

}  // namespace

bool text_compared(const char* expected) { return expected != nullptr && expected[0] != '\0'; }

DeviceIdentity trigger_device_identity() {
    return {DEVICE_VENDOR_ID, DEVICE_PRODUCT_ID, DEVICE_MANUFACTURER, DEVICE_PRODUCT};
}

void narrow_wide_string(unsigned char* buffer) {
    size_t i = 0;
    for (; i < MAX_TEXT_UNITS; ++i) {
        const unsigned unit = buffer[2 * i] | (buffer[2 * i + 1] << 8);
        if (unit == 0) break;
        // Byte i lies at or before the unit just read, so nothing unread is
        // overwritten.
        buffer[i] = unit < 0x100 ? static_cast<unsigned char>(unit) : '?';
    }
    buffer[i] = '\0';
}

void narrow_utf8_string(const char* utf8, unsigned char* text) {
    const auto* at = reinterpret_cast<const unsigned char*>(utf8);
    size_t units = 0;
    while (*at != '\0' && units < MAX_TEXT_UNITS) {
        unsigned long code_point = 0;
        const unsigned length = decode_utf8(at, &code_point);
        if (length == 0) {
            text[units++] = '?';
            ++at;
            continue;
        }
        at += length;
        if (code_point < 0x100) {
            text[units++] = static_cast<unsigned char>(code_point);
            continue;
        }
        text[units++] = '?';
        // Outside the Basic Multilingual Plane: a surrogate pair, two units.
        if (code_point > 0xFFFF && units < MAX_TEXT_UNITS) text[units++] = '?';
    }
    text[units] = '\0';
}
