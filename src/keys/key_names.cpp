#include "keys/key_names.h"

#include <stdio.h>
#include <string.h>

namespace {

// KEY_ROWS and MODIFIER_ROWS, made by the build from src/keys/names.txt.
#include "keys/name_tables.inc"

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

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

int hex_digit_value(char c) {
    const char upper = ascii_upper(c);
    if (upper >= '0' && upper <= '9') return upper - '0';
    if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
    return -1;
}

const NameTable key_name_table = {KEY_ROWS, sizeof KEY_ROWS / sizeof KEY_ROWS[0], false};
const NameTable modifier_name_table = {MODIFIER_ROWS,
                                       sizeof MODIFIER_ROWS / sizeof MODIFIER_ROWS[0], true};

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
        return display;
    }
    // A bit mask whose set bits all have names: the names, in bit order,
    // joined by commas, as a value after the key gives them.
    unsigned unnamed = code;
    size_t length = 0;
    for (unsigned bit = 1; table.bit_mask && bit <= 0x80; bit <<= 1) {
        const char* bit_name = lookup_name_by_code(static_cast<uint8_t>(bit), table);
        if ((code & bit) == 0 || bit_name == nullptr) continue;
        length += static_cast<size_t>(snprintf(display.text + length, sizeof display.text - length,
                                               "%s%s", length > 0 ? "," : "", bit_name));
        unnamed &= ~bit;
    }
    if (unnamed != 0 || length == 0) {
        snprintf(display.text, sizeof display.text, "(%d)",
                 static_cast<int>(static_cast<int8_t>(code)));
    }
    return display;
}
