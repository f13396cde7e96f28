// Key names, the command line, the configuration report and its listing, and
// the narrowing of device texts: what every platform's program shares. Each
// table row is named in a failure by SCOPED_TRACE.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "config/config_report.h"
#include "hid/identity.h"
#include "hid/unit_search.h"
#include "keys/key_names.h"

namespace {

TEST(Keys, TokensGiveCodes) {
    const struct {
        const char* token;
        bool modifier;
        int code;
    } cases[] = {
        {"KEY_0", false, 0x27},
        {"key_f5", false, 0x3E},
        {"Key_F12", false, 0x45},
        {"KEY_F25", false, 0xFF},
        {"KEY_F5 ", false, 0xFF},
        {"LEY_A", false, 0xFF},
        {"KEY_", false, 0xFF},
        {"", false, 0xFF},
        {"CTRL_LEFT", false, 0xFF},
        {"KEY_A", true, 0xFF},
        {"ctrl_left", true, 0x01},
        {"SHIFT_LEFT", true, 0x02},
        {"ALT_LEFT", true, 0x04},
        {"CTRL_RIGHT", true, 0x10},
        {"shift_right", true, 0x20},
        {"ALT_RIGHT", true, 0x40},
        {"0x3e", false, 0x3E},
        {"0xAb", true, 0xAB},
        {"0x9F", false, 0x9F},
        {"0x00", false, 0x00},
        {"0xfe", false, 0xFE},
        {"0x7", false, 0xFF},
        {"0x3E0", false, 0xFF},
        {"0x3G", false, 0xFF},
        {"0x:0", false, 0xFF},
        {"0X3E", false, 0xFF},
        {"0xff", true, 0xFF},
        {"key_enter", false, 0x28},
        {"KEY_KP_0", false, 0x62},
        {"KEY_F24", false, 0x73},
        {"KEY_PRINT_SCREEN", false, 0x46},
        {"GUI_LEFT", true, 0x08},
        {"gui_right", true, 0x80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.modifier ? "modifier '" : "key '") + c.token + "'");
        EXPECT_EQ(c.code,
                  parse_code_token(c.token, c.modifier ? modifier_name_table : key_name_table));
    }
}

// Key names give the HID keyboard usage IDs of their keys.
TEST(Keys, NamesGiveUsageIds) {
    const auto expect_code = [](int code, const std::string& name) {
        SCOPED_TRACE(name);
        EXPECT_EQ(code, parse_code_token(name.c_str(), key_name_table));
    };
    for (int i = 0; i < 26; ++i)
        expect_code(0x04 + i, "KEY_" + std::string(1, static_cast<char>('A' + i)));
    for (int i = 1; i <= 9; ++i) expect_code(0x1D + i, "KEY_" + std::to_string(i));
    for (int i = 1; i <= 12; ++i) expect_code(0x39 + i, "KEY_F" + std::to_string(i));
}

// The command, the unit's location and IDs and, for a set command, the report
// built from the assignment list it filled, over a unit that holds
// 01 a1 a2 b1 b2 c1 c2 d1 d2; for a refused one, the argument and why.
TEST(CommandLine, GivesTheCommandAndTheReport) {
    const struct {
        std::vector<const char*> arguments;
        Command command;
        const char* outcome;  // the report in hex, or "'argument': problem"
        const char* location = nullptr;
        long ids = -1;  // -i's VID and PID, 0xVVVVPPPP
    } cases[] = {
        {{}, COMMAND_USAGE, ""},
        {{"--help"}, COMMAND_USAGE, ""},
        {{"-r", "XYZ"}, COMMAND_READ, ""},
        {{"-read"}, COMMAND_USAGE, "'-read': unknown option: give -r, -s, -l or --version"},
        {{"-s"}, COMMAND_USAGE, "'-s': no value after it"},
        {{"-s", "KEY_R,CTRL_LEFT"}, COMMAND_SET, "010115ffffffffffff"},
        {{"-s", "KEY_L,SHIFT_LEFT", "KEY_R,SHIFT_LEFT,", "KEY_F5,", "KEY_F6"},
         COMMAND_SET,
         "01020f0215003e003f"},
        {{"-s", ",KEY_A,,ctrl_left,SHIFT_LEFT,0x08,", "KEY_ENTER,GUI_RIGHT", "0x00,0xfe"},
         COMMAND_SET,
         "010b048028fe00ffff"},
        {{"-s", "KEY_A", "KEY_B", "KEY_C", "KEY_D", "XYZ"},
         COMMAND_USAGE,
         "'XYZ': more than four values: a unit has four channels at most"},
        {{"-s", "", "KEY_F5"}, COMMAND_USAGE, "'': an empty value: give KEY or KEY,MODIFIER"},
        {{"-s", ",,"}, COMMAND_USAGE, "',,': an empty value: give KEY or KEY,MODIFIER"},
        {{"-s", "KEY_A", "XYZ"}, COMMAND_USAGE, "'XYZ': XYZ is not a key name"},
        {{"-s", "KEY_A,CTRL_LEFT,XYZ"},
         COMMAND_USAGE,
         "'KEY_A,CTRL_LEFT,XYZ': XYZ is not a modifier name"},
        {{"-s", "KEY_A, CTRL_LEFT"},
         COMMAND_USAGE,
         "'KEY_A, CTRL_LEFT':  CTRL_LEFT is not a modifier name"},
        {{"-s", ",CTRL_LEFT"}, COMMAND_USAGE, "',CTRL_LEFT': CTRL_LEFT is not a key name"},
        {{"-s", "0xff"},
         COMMAND_USAGE,
         "'0xff': 0xff: a code is 0x and two hex digits, from 0x00 to 0xfe"},
        {{"-s", "KEY_A,0x7"},
         COMMAND_USAGE,
         "'KEY_A,0x7': 0x7: a code is 0x and two hex digits, from 0x00 to 0xfe"},
        {{"-s", "KEY_A,0xfe,0x01"},
         COMMAND_USAGE,
         "'KEY_A,0xfe,0x01': all eight modifiers at once: 0xff marks an unassigned channel"},
        {{"-s", "KEEP", "KEY_F6", "keep"}, COMMAND_SET, "01a1a2003fc1c2ffff"},
        {{"-s", "KEEP,CTRL_LEFT"},
         COMMAND_USAGE,
         "'KEEP,CTRL_LEFT': KEEP takes no modifier: a kept channel keeps its modifiers"},
        {{"-s", "KEEP", "KEEP", "KEEP", "KEEP", "KEEP"},
         COMMAND_USAGE,
         "'KEEP': more than four values: a unit has four channels at most"},
        {{"-l"}, COMMAND_LIST, ""},
        {{"--version"}, COMMAND_VERSION, ""},
        {{"-l", "-r"}, COMMAND_USAGE, "'-l': takes no other argument"},
        {{"-d", "1-1.2", "-l"}, COMMAND_USAGE, "'-l': takes no other argument"},
        {{"-d", "1-1.2", "-r"}, COMMAND_READ, "", "1-1.2"},
        {{"-r", "junk", "-d", "/dev/hidraw3"}, COMMAND_READ, "", "/dev/hidraw3"},
        {{"-d", "x", "-s", "KEY_F5"}, COMMAND_SET, "01003effffffffffff", "x"},
        {{"-s", "KEY_A", "-d", "x", "KEY_B"}, COMMAND_SET, "0100040005ffffffff", "x"},
        {{"-s", "KEY_A", "KEY_B", "KEY_C", "KEY_D", "-d", "x"},
         COMMAND_SET,
         "010004000500060007",
         "x"},
        {{"-r", "-d"}, COMMAND_USAGE, "'-d': no location after it (trelkey -l lists them)"},
        {{"-d", "-r"}, COMMAND_USAGE, "'-d': no location after it (trelkey -l lists them)"},
        {{"-d", "", "-r"}, COMMAND_USAGE, "'-d': no location after it (trelkey -l lists them)"},
        {{"-d", "x", "-r", "-d", "x"},
         COMMAND_USAGE,
         "'-d': given twice: a command acts on one unit"},
        {{"-d", "x"}, COMMAND_USAGE, "'-d': needs -r or -s"},
        {{"-r", "-i", "1a96:e026"}, COMMAND_READ, "", nullptr, 0x1a96e026},
        {{"-s", "KEY_A", "-i", "000A:ffFF"}, COMMAND_SET, "010004ffffffffffff", nullptr, 0xaffff},
        {{"-i", "1a86:e0g6", "-r"},
         COMMAND_USAGE,
         "'1a86:e0g6': not a VID:PID: four hex digits each, such as 1209:4b53"},
        {{"-r", "-i"},
         COMMAND_USAGE,
         "'-i': no VID:PID after it, such as 1209:4b53 (lsusb shows them)"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"trelkey"};
        std::string name = "trelkey";
        for (const char* argument : c.arguments) {
            argv.push_back(argument);
            name.append(" '").append(argument).append("'");
        }
        SCOPED_TRACE(name);
        for (ChannelAssignment& entry : assignment_list) entry = {0, 0, true};
        clear_assignment_list();
        const int argc = static_cast<int>(argv.size());
        argv.push_back(nullptr);  // as main() gets it
        EXPECT_EQ(c.command, parse_command_line(argc, argv.data()));
        if (c.command == COMMAND_USAGE) {
            const CommandLineRefusal& refusal = command_line_refusal;
            EXPECT_EQ(c.outcome, refusal.problem[0]
                                     ? "'" + std::string(refusal.argument) + "': " + refusal.problem
                                     : "");
        }
        if (c.command != COMMAND_USAGE) {
            EXPECT_STREQ(c.location, unit_selection.location);
            const UnitSelection& ids = unit_selection;
            EXPECT_EQ(c.ids, ids.by_ids ? ids.vendor_id * 0x10000L + ids.product_id : -1);
        }
        if (c.command != COMMAND_SET) continue;
        const ConfigReport held = {{1, 0xA1, 0xA2, 0xB1, 0xB2, 0xC1, 0xC2, 0xD1, 0xD2}};
        const ConfigReport report = build_config_report(assignment_list, held);
        char hex[19] = {};
        for (int i = 0; i < 9; ++i) snprintf(hex + 2 * i, 3, "%02x", report.bytes[i]);
        EXPECT_STREQ(c.outcome, hex);
    }
}

TEST(ConfigReport, ListingShowsEveryAssignedChannelWithItsNumber) {
    const std::string rule = std::string(52, '-') + "\n";
    const std::string head =
        "Current Configuration \n" + rule + "  Ch    Key            Modified Key\n" + rule;
    const struct {
        const char* name;
        ConfigReport report;
        std::string rows;
    } cases[] = {
        {"names, an empty modifier, channel 3 unassigned",
         {{1, 0x00, 0x3E, 0x01, 0x15, 0xFF, 0xFF, 0x40, 0x04}},
         " Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n"
         " Ch-4   KEY_A          ALT_RIGHT\n"},
        {"combined modifiers, codes without names, a long name, report ID not looked at",
         {{7, 0x03, 0x28, 0xFF, 0x00, 0x80, 0xC8, 0xFE, 0x46}},
         " Ch-1   KEY_ENTER      CTRL_LEFT,SHIFT_LEFT\n Ch-2   (0)            \n"
         " Ch-3   (-56)          GUI_RIGHT\n Ch-4   KEY_PRINT_SCREEN SHIFT_LEFT,ALT_LEFT,GUI_LEFT,"
         "CTRL_RIGHT,SHIFT_RIGHT,ALT_RIGHT,GUI_RIGHT\n"},
        {"channels 1 and 4 unassigned",
         {{1, 0xFF, 0xFF, 0x00, 0x05, 0x00, 0x06, 0x00, 0xFF}},
         " Ch-2   KEY_B          \n Ch-3   KEY_C          \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FILE* out = tmpfile();
        ASSERT_NE(nullptr, out);
        print_config_listing(c.report, out);
        std::string listing(static_cast<size_t>(ftell(out)), '\0');
        rewind(out);
        EXPECT_EQ(listing.size(), fread(listing.data(), 1, listing.size(), out));
        fclose(out);
        EXPECT_EQ(std::string(head).append(c.rows).append(rule).append("\n"), listing);
    }
}

// The interfaces of a search, a letter each: u a unit, b a unit that will
// not open, k its keyboard (no configuration report), o and t devices of
// other IDs or texts that carry the report. Interface
// i is at port 1-1.i, behind a hub, with the node /dev/hidrawi (b:
// /dev/busyi).
std::vector<HidInterface> interfaces(const char* letters) {
    std::vector<HidInterface> bus(strlen(letters));
    for (size_t i = 0; i < bus.size(); ++i) {
        HidInterface& hid = bus[i];
        const char kind = letters[i];
        snprintf(hid.location, sizeof hid.location, "1-1.%zu", i);
        snprintf(hid.node, sizeof hid.node, kind == 'b' ? "/dev/busy%zu" : "/dev/hidraw%zu", i);
        snprintf(hid.manufacturer, sizeof hid.manufacturer, kind == 't' ? "kestavo" : "Kestavo");
        snprintf(hid.product, sizeof hid.product, kind == 'o' ? "Pedal\xe9" : "Kestavo");
        hid.identified = true;
        hid.vendor_id = kind == 'o' ? 0x1a86 : 0x1209;
        hid.product_id = kind == 'o' ? 0xe026 : 0x4b53;
        hid.carries_report = kind != 'k';
    }
    return bus;
}

// Which unit the search opens, among how many, and what it says when there
// is none: the identity (texts compared unless empty), the configuration
// report, -d (a port behind a hub, a node, a node's name), -i, the first
// that opens.
TEST(UnitSearch, OpensTheFirstUnitOrSaysWhatWasSeen) {
    const DeviceIdentity kestavo = {0x1209, 0x4b53, "Kestavo", "Kestavo"};
    const DeviceIdentity e026 = {0x1a86, 0xe026, nullptr, nullptr};
    const DeviceIdentity e027 = {0x1a86, 0xe027, nullptr, nullptr};
    const std::string error = "Device open error. \ntrelkey: ";
    const std::string wanted = "ID 1209:4b53, manufacturer \"Kestavo\", product \"Kestavo\"";
    const std::string none = error + "no unit found with " + wanted + "\n";
    const std::string other = "ID 1a86:e026, manufacturer \"Kestavo\", product \"Pedal\xc3\xa9\"";
    const std::string carries = ", carries the configuration report: trelkey -i ";
    const std::string without = ", without the configuration report (feature report 1, 9 bytes)\n";
    const struct {
        const char* letters;
        DeviceIdentity wanted;
        const char* location;
        PortState port;
        int chosen;
        size_t units;
        std::string lines;
    } cases[] = {
        {"kbuu", kestavo, nullptr, PORT_UNKNOWN, 2, 3, ""},
        {"uu", kestavo, "1-1.1", PORT_OCCUPIED, 1, 1, ""},
        {"uu", kestavo, "HIDRAW1", PORT_UNKNOWN, 1, 1, ""},
        {"ub", kestavo, "1-1.1", PORT_OCCUPIED, -1, 1, error + "/dev/busy1: Busy.\n"},
        {"ok", kestavo, nullptr, PORT_UNKNOWN, -1, 0, error + "1-1.1: " + wanted + without},
        {"ot", kestavo, nullptr, PORT_UNKNOWN, -1, 0,
         none + "trelkey: 1-1.0: " + other + carries + "1a86:e026 uses it\ntrelkey: 1-1.1: ID " +
             "1209:4b53, manufacturer \"kestavo\", product \"Kestavo\"" + carries +
             "1209:4b53 uses it\n"},
        {"ot", {0x1209, 0x4b53, "", "Kestavo"}, nullptr, PORT_UNKNOWN, 1, 1, ""},
        {"uo", e026, nullptr, PORT_UNKNOWN, 1, 1, ""},
        {"u", e027, nullptr, PORT_UNKNOWN, -1, 0,
         error + "no unit found with ID 1a86:e027, any manufacturer, any product\ntrelkey: " +
             "1-1.0: " + wanted + carries + "1209:4b53 uses it\n"},
        {"u", kestavo, "1-1.4", PORT_EMPTY, -1, 0, error + "1-1.4: nothing is plugged in there\n"},
        {"u", kestavo, "\n\x1b\xc2\x80\xc2\x9f\xc2\xa0", PORT_UNKNOWN, -1, 0,
         error + "\\n\\x1b\\xc2\\x80\\xc2\\x9f\xc2\xa0: no USB port or device node of that name\n"},
        {"uo", kestavo, "1-1.1", PORT_EMPTY, -1, 0,
         error + "1-1.1: not a unit with " + wanted + "\ntrelkey: 1-1.1: " + other + carries +
             "1a86:e026 uses it\n"},
    };
    // Opens an interface as the handle of its node's digit, but /dev/busyN.
    const InterfaceOpener open = [](const HidInterface& hid, DeviceFailure* failure) {
        snprintf(failure->reason, sizeof failure->reason, "Busy.");
        return hid.node[5] == 'h' ? DeviceHandle{hid.node[11]} : NO_DEVICE;
    };
    const LineWriter say = [](const char* line, void* to) {
        static_cast<std::string*>(to)->append(line) += "\n";
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.letters) + " " + (c.location ? c.location : "(any)"));
        const std::vector<HidInterface> bus = interfaces(c.letters);
        std::string lines;
        const UnitSearch search = {bus.data(), bus.size(), c.wanted, c.location, c.location,
                                   c.port,     open,       say,      &lines};
        DeviceHandle device = NO_DEVICE;
        size_t units = 0;
        const size_t chosen = search_unit(search, &device, &units);
        EXPECT_EQ(c.chosen < 0 ? bus.size() : size_t(c.chosen), chosen);
        EXPECT_EQ(c.chosen < 0 ? NO_DEVICE : '0' + c.chosen, device);
        EXPECT_EQ(c.units, units);
        EXPECT_EQ(c.lines, lines);
    }
}

TEST(DeviceText, NarrowedToOneByteOrQuestionMarkPerUtf16Unit) {
    const struct {
        const char* name;
        std::string utf8;
        std::string narrowed;
    } cases[] = {
        {"malformed", "\xC3(\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", "?(????????"},
        {"cut short", "\xE2\x82", "??"},
        {"U+00FF, U+0100", "\xC3\xBF\xC4\x80", "\xFF?"},
        {"first and last of each length",
         "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\x80???????"},
        {"past U+10FFFF, overlong", "\xF5\x80\x80\x80\xF0\x8F\xBF\xBF\xE0\x9F\xBF", "???????????"},
        {"longer than the buffer", std::string(300, 'k'), std::string(256, 'k')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned char text[DEVICE_TEXT_SIZE];
        narrow_utf8_string(c.utf8.c_str(), text);
        EXPECT_EQ(c.narrowed, reinterpret_cast<const char*>(text));
    }
    unsigned char wide[DEVICE_TEXT_SIZE] = {0x00, 0x01, 'M', 0, 0xFF, 0, 0x3D, 0xD8, 0, 0, 'x', 0};
    narrow_wide_string(wide);
    EXPECT_STREQ("?M\xFF?", reinterpret_cast<const char*>(wide));
    for (size_t i = 0; i < sizeof wide; ++i) wide[i] = i % 2 ? 0 : 'w';
    narrow_wide_string(wide);
    EXPECT_EQ(std::string(256, 'w'), std::string(reinterpret_cast<const char*>(wide)));
}

}  // namespace
