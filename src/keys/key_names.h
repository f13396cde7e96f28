// Key and modifier names, their 8-bit codes, and the conversions between
// command-line tokens, codes and display texts.
#ifndef TRELKEY_KEYS_KEY_NAMES_H
#define TRELKEY_KEYS_KEY_NAMES_H

#include <stddef.h>
#include <stdint.h>

// Result of every failed conversion; on the device side, an unassigned channel.
constexpr uint8_t CODE_NONE = 0xFF;

struct NamedCode {
    const char* name;
    uint8_t code;
};

struct NameTable {
    const NamedCode* rows;
    size_t row_count;
    bool bit_mask;  // a code may combine the codes of several rows
};

// The two tables are constants but predate the UPPER_CASE rule; renaming
// them touches every user across the tree, so it is a change of its own.
// NOLINTBEGIN(readability-identifier-naming)
// Key names with their USB HID keyboard usage IDs (usage page 0x07).
extern const NameTable key_name_table;
// Modifier names with their bits in the HID boot-keyboard modifier byte.
extern const NameTable modifier_name_table;
// NOLINTEND(readability-identifier-naming)

// Text shown for a code: its name; for a bit mask whose set bits all have
// names, those names in bit order joined by commas; otherwise "(%d)" of the
// code taken as signed.
struct DisplayText {
    char text[96];
};

// The value of a hexadecimal digit, 0-9, A-F or a-f; -1 for any other
// character.
int hex_digit_value(char c);

// A token in the form 0xHH (lower-case x, two hex digits) gives its value;
// any other token is looked up by name. CODE_NONE when not acceptable.
uint8_t parse_code_token(const char* token, const NameTable& table);

DisplayText code_display_text(uint8_t code, const NameTable& table);

#endif
