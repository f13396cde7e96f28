#include "keys/key_names.h"

#include <stdio.h>
#include <string.h>

namespace {

// Named keys: letters, digits and F1-F12, as USB HID keyboard usage IDs.
const NamedCode KEY_ROWS[] = {
    {"KEY_A", 0x04},   {"KEY_B", 0x05},   {"KEY_C", 0x06},   {"KEY_D", 0x07},  {"KEY_E", 0x08},
    {"KEY_F", 0x09},   {"KEY_G", 0x0A},   {"KEY_H", 0x0B},   {"KEY_I", 0x0C},  {"KEY_J", 0x0D},
    {"KEY_K", 0x0E},   {"KEY_L", 0x0F},   {"KEY_M", 0x10},   {"KEY_N", 0x11},  {"KEY_O", 0x12},
    {"KEY_P", 0x13},   {"KEY_Q", 0x14},   {"KEY_R", 0x15},   {"KEY_S", 0x16},  {"KEY_T", 0x17},
    {"KEY_U", 0x18},   {"KEY_V", 0x19},   {"KEY_W", 0x1A},   {"KEY_X", 0x1B},  {"KEY_Y", 0x1C},
    {"KEY_Z", 0x1D},   {"KEY_1", 0x1E},   {"KEY_2", 0x1F},   {"KEY_3", 0x20},  {"KEY_4", 0x21},
    {"KEY_5", 0x22},   {"KEY_6", 0x23},   {"KEY_7", 0x24},   {"KEY_8", 0x25},  {"KEY_9", 0x26},
    {"KEY_0", 0x27},   {"KEY_F1", 0x3A},  {"KEY_F2", 0x3B},  {"KEY_F3", 0x3C}, {"KEY_F4", 0x3D},
    {"KEY_F5", 0x3E},  {"KEY_F6", 0x3F},  {"KEY_F7", 0x40},  {"KEY_F8", 0x41}, {"KEY_F9", 0x42},
    {"KEY_F10", 0x43}, {"KEY_F11", 0x44}, {"KEY_F12", 0x45},
};

// Named modifiers: single bits of the boot-keyboard modifier byte. The GUI
// bits (0x08, 0x80) and combinations have no name.
const NamedCode MODIFIER_ROWS[] = {
    {"CTRL_LEFT", 0x01},  {"SHIFT_LEFT", 0x02},  {"ALT_LEFT", 0x04},
    {"CTRL_RIGHT", 0x10}, {"SHIFT_RIGHT", 0x20}, {"ALT_RIGHT", 0x40},
};

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Value of a hexadecimal digit, or -1.
int hex_digit_value(char c) {
    const char upper = ascii_upper(c);
    if (upper >= '0' && upper <= '9') return upper - '0';
    if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
    return -1;
}

// Code of the row whose name equals the token, ASCII case ignored; CODE_NONE
// when there is none.
uint8_t lookup_code_by_name(const char* token, const NameTable& table) {
    const size_t length = strlen(token);
    for (size_t row = 0; row < table.row_count; ++row) {
        const char* name = table.rows[row].name;
        if (strlen(name) != length) continue;
        size_t i = 0;
        while (i < length && ascii_upper(token[i]) == name[i]) ++i;
        if (i == length) return table.rows[row].code;
    }
    return CODE_NONE;
}

// Name of the first row with this code, or null.
const char* lookup_name_by_code(uint8_t code, const NameTable& table) {
    for (size_t row = 0; row < table.row_count; ++row) {
        if (table.rows[row].code == code) return table.rows[row].name;
    }
    return nullptr;
}

}  // namespace

const NameTable key_name_table = {KEY_ROWS, sizeof KEY_ROWS / sizeof KEY_ROWS[0]};
const NameTable modifier_name_table = {MODIFIER_ROWS,
                                       sizeof MODIFIER_ROWS / sizeof MODIFIER_ROWS[0]};

uint8_t parse_code_token(const char* token, const NameTable& table) {
    if (token[0] == '0' && token[1] == 'x') {
        if (strlen(token) != 4) return CODE_NONE;
        const int high = hex_digit_value(token[2]);
        const int low = hex_digit_value(token[3]);
        if (high < 0 || low < 0) return CODE_NONE;
        // 0xFF itself comes out as CODE_NONE and is refused like a bad token.
        return static_cast<uint8_t>(high * 16 + low);
    }
    return lookup_code_by_name(token, table);
}

DisplayText code_display_text(uint8_t code, const NameTable& table) {
    DisplayText display = {};
    const char* name = lookup_name_by_code(code, table);
    if (name != nullptr) {
        snprintf(display.text, sizeof display.text, "%s", name);
    } else {
        snprintf(display.text, sizeof display.text, "(%d)",
                 static_cast<int>(static_cast<int8_t>(code)));
    }
    return display;
}
