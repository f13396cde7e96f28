#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

void fuzz_require(bool holds, const char* what) {
    if (holds) return;
    fprintf(stderr, "fuzz oracle violated: %s\n", what);
    abort();
}

uint8_t take_byte(FuzzInput* input) {
    if (input->size == 0) return 0;
    const uint8_t byte = input->data[0];
    ++input->data;
    --input->size;
    return byte;
}

uint16_t take_u16(FuzzInput* input) {
    const uint16_t low = take_byte(input);
    return static_cast<uint16_t>(low | (take_byte(input) << 8));
}

namespace {

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

uint8_t expected_token_code(const char* token, const NameTable& table) {
    if (strlen(token) == 4 && token[0] == '0' && token[1] == 'x' && is_hex_digit(token[2]) &&
        is_hex_digit(token[3])) {
        // strtoul reads the "0x" prefix itself; "0xff" is refused.
        const unsigned long value = strtoul(token, nullptr, 16);
        return value == 0xFF ? CODE_NONE : static_cast<uint8_t>(value);
    }
    for (size_t row = 0; row < table.row_count; ++row) {
        if (strcasecmp(token, table.rows[row].name) == 0) return table.rows[row].code;
    }
    return CODE_NONE;
}

std::string expected_display_text(uint8_t code, const NameTable& table) {
    for (size_t row = 0; row < table.row_count; ++row) {
        if (table.rows[row].code == code) return table.rows[row].name;
    }
    const int signed_code = code < 0x80 ? code : code - 0x100;
    return "(" + std::to_string(signed_code) + ")";
}
