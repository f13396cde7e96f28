#include "keys/key_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TokenCase {
    const char* token;
    bool modifier_table;
    int expected;  // code, or CODE_NONE
};

const TokenCase TOKEN_CASES[] = {
    // Names, compared without regard to case; the full name only.
    {"KEY_F5", false, 0x3E},
    {"key_f5", false, 0x3E},
    {"Key_F5", false, 0x3E},
    {"KEY_F5 ", false, CODE_NONE},
    {" KEY_F5", false, CODE_NONE},
    {"KEY_F", false, 0x09},
    {"KEY_F1", false, 0x3A},
    {"KEY_F12", false, 0x45},
    {"KEY_F13", false, CODE_NONE},
    {"KEY_", false, CODE_NONE},
    {"", false, CODE_NONE},
    {"", true, CODE_NONE},
    // The two vocabularies are separate.
    {"CTRL_LEFT", false, CODE_NONE},
    {"KEY_A", true, CODE_NONE},
    {"ctrl_left", true, 0x01},
    {"ALT_RIGHT", true, 0x40},
    {"GUI_LEFT", true, CODE_NONE},
    // Hexadecimal form: "0x" and exactly two digits, for either table.
    {"0x3E", false, 0x3E},
    {"0x3e", false, 0x3E},
    {"0xAb", false, 0xAB},
    {"0x00", false, 0x00},
    {"0x03", true, 0x03},
    {"0xfe", true, 0xFE},
    {"0x7", false, CODE_NONE},
    {"0x3E0", false, CODE_NONE},
    {"0x", false, CODE_NONE},
    {"0x3G", false, CODE_NONE},
    {"0xG3", false, CODE_NONE},
    {"0X3E", false, CODE_NONE},
    {"0xFF", false, CODE_NONE},
    {"0xff", true, CODE_NONE},
    {"0x 3", false, CODE_NONE},
};

TEST(ParseCodeToken, AcceptsNamesAndHexadecimalCodesOnly) {
    for (const TokenCase& c : TOKEN_CASES) {
        const NameTable& table = c.modifier_table ? modifier_name_table : key_name_table;
        EXPECT_EQ(parse_code_token(c.token, table), c.expected)
            << "token \"" << c.token << "\" in the " << (c.modifier_table ? "modifier" : "key")
            << " table";
    }
}

// Every key from KEY_A to KEY_F12 maps to its HID keyboard usage ID.
TEST(KeyNameTable, CodesAreHidKeyboardUsages) {
    ASSERT_EQ(key_name_table.row_count, 48u);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string name = std::string("KEY_") + letter;
        EXPECT_EQ(lookup_code_by_name(name.c_str(), key_name_table), letter - 'A' + 0x04) << name;
    }
    for (int digit = 1; digit <= 9; ++digit) {
        const std::string name = "KEY_" + std::to_string(digit);
        EXPECT_EQ(lookup_code_by_name(name.c_str(), key_name_table), digit + 0x1D) << name;
    }
    EXPECT_EQ(lookup_code_by_name("KEY_0", key_name_table), 0x27);
    for (int f = 1; f <= 12; ++f) {
        const std::string name = "KEY_F" + std::to_string(f);
        EXPECT_EQ(lookup_code_by_name(name.c_str(), key_name_table), f + 0x39) << name;
    }
}

TEST(NameTables, NamesAndCodesAreUniqueAndNeverCodeNone) {
    for (const NameTable* table : {&key_name_table, &modifier_name_table}) {
        for (size_t i = 0; i < table->row_count; ++i) {
            EXPECT_NE(table->rows[i].code, CODE_NONE) << table->rows[i].name;
            EXPECT_EQ(lookup_code_by_name(table->rows[i].name, *table), table->rows[i].code);
            EXPECT_STREQ(lookup_name_by_code(table->rows[i].code, *table), table->rows[i].name);
        }
    }
}

struct DisplayCase {
    uint8_t code;
    bool modifier_table;
    const char* expected;
};

const DisplayCase DISPLAY_CASES[] = {
    {0x01, true, "CTRL_LEFT"}, {0x04, false, "KEY_A"}, {0x04, true, "ALT_LEFT"},
    {0x45, false, "KEY_F12"},  {0x27, false, "KEY_0"}, {0x00, false, "(0)"},
    {0x28, false, "(40)"},     {0x03, true, "(3)"},    {0x08, true, "(8)"},
    {0x80, true, "(-128)"},    {0xC8, false, "(-56)"}, {0xFE, false, "(-2)"},
    {0x7F, false, "(127)"},    {0xFF, false, "(-1)"},
};

TEST(CodeDisplayText, NamesOrSignedDecimal) {
    for (const DisplayCase& c : DISPLAY_CASES) {
        const NameTable& table = c.modifier_table ? modifier_name_table : key_name_table;
        EXPECT_STREQ(code_display_text(c.code, table).text, c.expected) << "code " << int(c.code);
    }
}

}  // namespace
