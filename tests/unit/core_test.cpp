// Key names, the command line, the configuration report and its listing, and
// the narrowing of device texts: what every platform's program shares.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "config/config_report.h"
#include "hid/identity.h"
#include "keys/key_names.h"

namespace {

TEST(Keys, TokensGiveCodes) {
    struct Case {
        const char* token;
        bool modifier;
        int code;
    };
    const Case cases[] = {
        // The names of all keys: NamesGiveUsageIds.
        {"KEY_0", false, 0x27},     {"key_f5", false, 0x3E},     {"Key_F12", false, 0x45},
        {"KEY_F13", false, 0xFF},   {"KEY_F5 ", false, 0xFF},    {"KEY_", false, 0xFF},
        {"", false, 0xFF},          {"CTRL_LEFT", false, 0xFF},  {"KEY_A", true, 0xFF},
        {"ctrl_left", true, 0x01},  {"SHIFT_LEFT", true, 0x02},  {"ALT_LEFT", true, 0x04},
        {"CTRL_RIGHT", true, 0x10}, {"shift_right", true, 0x20}, {"ALT_RIGHT", true, 0x40},
        {"0x3e", false, 0x3E},      {"0xAb", true, 0xAB},        {"0x9F", false, 0x9F},
        {"0x00", false, 0x00},      {"0xfe", false, 0xFE},       {"0x7", false, 0xFF},
        {"0x3E0", false, 0xFF},     {"0x3G", false, 0xFF},       {"0x:0", false, 0xFF},
        {"0X3E", false, 0xFF},      {"0xff", true, 0xFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code,
                  parse_code_token(c.token, c.modifier ? modifier_name_table : key_name_table))
            << '"' << c.token << '"';
    }
}

// Key names give the HID keyboard usage IDs of their keys.
TEST(Keys, NamesGiveUsageIds) {
    const auto code = [](const std::string& name) {
        return parse_code_token(name.c_str(), key_name_table);
    };
    for (int i = 0; i < 26; ++i) EXPECT_EQ(0x04 + i, code("KEY_" + std::string(1, 'A' + i)));
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(0x1D + i, code("KEY_" + std::to_string(i)));
    for (int i = 1; i <= 12; ++i) EXPECT_EQ(0x39 + i, code("KEY_F" + std::to_string(i)));
}

TEST(CommandLine, GivesTheCommandAndTheAssignments) {
    struct Case {
        std::vector<const char*> arguments;
        Command command;
        std::vector<uint8_t> list;  // key, modifier per filled channel
    };
    const Case cases[] = {
        {{}, COMMAND_USAGE, {}},
        {{"-r", "XYZ"}, COMMAND_READ, {}},
        {{"-read"}, COMMAND_USAGE, {}},
        {{"-s"}, COMMAND_USAGE, {}},
        {{"-s", "KEY_R,CTRL_LEFT"}, COMMAND_SET, {0x15, 0x01}},
        {{"-s", "KEY_L,SHIFT_LEFT", "KEY_R,SHIFT_LEFT,", "KEY_F5,", "KEY_F6", "XYZ"},
         COMMAND_SET,
         {0x0F, 0x02, 0x15, 0x02, 0x3E, 0, 0x3F, 0}},
        {{"-s", "KEY_A,,0x03,XYZ"}, COMMAND_SET, {0x04, 0x03}},
        {{"-s", ",", "", "KEY_A", "KEY_A"}, COMMAND_SET, {0x04, 0, 0x04, 0}},
        {{"-s", ",,"}, COMMAND_USAGE, {}},
        {{"-s", "KEY_A", "XYZ"}, COMMAND_USAGE, {}},
        {{"-s", "KEY_A,XYZ"}, COMMAND_USAGE, {}},
        {{"-s", "KEY_A, CTRL_LEFT"}, COMMAND_USAGE, {}},
        {{"-s", ",CTRL_LEFT"}, COMMAND_USAGE, {}},
        {{"-s", "0xff"}, COMMAND_USAGE, {}},
        // A field of 63 characters is kept (and names no key), one of 64 refused.
        {{"-s", "KEY_Aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
         COMMAND_USAGE,
         {}},
        {{"-s", "KEY_Aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
         COMMAND_USAGE,
         {}},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"trelkey"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        memset(assignment_list, 0, sizeof assignment_list);
        clear_assignment_list();
        EXPECT_EQ(c.command, parse_command_line(static_cast<int>(argv.size()), argv.data()))
            << argv.size() << " arguments, the last " << argv.back();
        if (c.command != COMMAND_SET) continue;
        std::vector<uint8_t> expected = c.list;
        expected.resize(8, 0xFF);
        const auto* list = reinterpret_cast<const uint8_t*>(assignment_list);
        EXPECT_EQ(expected, std::vector<uint8_t>(list, list + 8)) << argv.back();
    }
}

TEST(ConfigReport, BuiltModifierFirstUpToTheFirstUnassignedChannel) {
    const ChannelAssignment list[4] = {{0x15, 0x01}, {0x3E, 0x00}, {0xFF, 0x02}, {0x04, 0x00}};
    const ConfigReport report = build_config_report(list);
    EXPECT_EQ(std::vector<uint8_t>({1, 0x01, 0x15, 0x00, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF}),
              std::vector<uint8_t>(report.bytes, report.bytes + 9));
    const ChannelAssignment full[4] = {{4, 1}, {5, 2}, {6, 4}, {7, 0x10}};
    EXPECT_EQ(0x10, build_config_report(full).bytes[7]);
    EXPECT_EQ(7, build_config_report(full).bytes[8]);
    const ChannelAssignment none[4] = {{0xFF, 0}, {4, 1}, {5, 2}, {6, 4}};
    const ConfigReport empty = build_config_report(none);
    EXPECT_EQ(std::vector<uint8_t>(8, 0xFF),
              std::vector<uint8_t>(empty.bytes + 1, empty.bytes + 9));
}

TEST(ConfigReport, ListingShowsChannelsUpToTheFirstUnassignedKey) {
    const std::string rule = std::string(52, '-') + "\n";
    const std::string head =
        "Current Configuration \n" + rule + "  Ch    Key            Modified Key\n";
    const struct {
        ConfigReport report;
        std::string rows;
    } cases[] = {
        {{{1, 0x00, 0x3E, 0x01, 0x15, 0xFF, 0xFF, 0x40, 0x04}},
         " Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n"},
        {{{7, 0x03, 0x28, 0xFF, 0x00, 0x04, 0xC8, 0x80, 0x45}},
         " Ch-1   (40)           (3)\n Ch-2   (0)            \n Ch-3   (-56)          ALT_LEFT\n"
         " Ch-4   KEY_F12        (-128)\n"},
        {{{1, 0x00, 0xFF, 0x00, 0x04, 0x00, 0x04, 0x00, 0x04}}, ""},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        print_config_listing(c.report);
        std::string expected = head;
        expected.append(rule).append(c.rows).append(rule).append("\n");
        EXPECT_EQ(expected, testing::internal::GetCapturedStdout());
    }
}

TEST(DeviceText, NarrowedToOneByteOrQuestionMarkPerUtf16Unit) {
    const struct {
        const char* utf8;
        const char* narrowed;
    } cases[] = {
        // Latin-1, BMP and other characters in device texts: the emulated-device test.
        {"\xC3(\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", "?(????????"},  // malformed
        {"\xE2\x82", "??"},
        {"\xC3\xBF\xC4\x80", "\xFF?"},
        {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\x80???????"},
        {"\xF5\x80\x80\x80\xF0\x8F\xBF\xBF\xE0\x9F\xBF", "???????????"},
    };
    for (const auto& c : cases) {
        unsigned char text[DEVICE_TEXT_SIZE];
        narrow_utf8_string(c.utf8, text);
        EXPECT_STREQ(c.narrowed, reinterpret_cast<const char*>(text)) << c.utf8;
    }
    const std::string long_text(300, 'k');
    unsigned char text[DEVICE_TEXT_SIZE];
    narrow_utf8_string(long_text.c_str(), text);
    EXPECT_EQ(256u, strlen(reinterpret_cast<const char*>(text)));

    unsigned char wide[DEVICE_TEXT_SIZE] = {0x00, 0x01, 'M', 0, 0xFF, 0, 0x3D, 0xD8, 0, 0, 'x', 0};
    narrow_wide_string(wide);
    EXPECT_STREQ("?M\xFF?", reinterpret_cast<const char*>(wide));
    for (size_t i = 0; i < sizeof wide; ++i) wide[i] = i % 2 ? 0 : 'w';
    narrow_wide_string(wide);
    EXPECT_EQ(std::string(256, 'w'), std::string(reinterpret_cast<const char*>(wide)));
}

}  // namespace
