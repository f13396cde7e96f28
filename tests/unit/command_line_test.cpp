#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "keys/key_names.h"

namespace {

struct Channel {
    int key;
    int modifier;
};

struct CommandLineCase {
    std::vector<const char*> arguments;  // after the program name
    Command expected;
    std::vector<Channel> channels;  // filled entries for a set command
};

const CommandLineCase COMMAND_LINE_CASES[] = {
    {{}, COMMAND_USAGE, {}},
    {{"-r"}, COMMAND_READ, {}},
    {{"-r", "KEY_A", "whatever", ",,"}, COMMAND_READ, {}},
    {{"-R"}, COMMAND_USAGE, {}},
    {{"--r"}, COMMAND_USAGE, {}},
    {{"/r"}, COMMAND_USAGE, {}},
    {{"-read"}, COMMAND_USAGE, {}},
    {{"-s"}, COMMAND_USAGE, {}},
    {{"-S", "KEY_A"}, COMMAND_USAGE, {}},
    {{"KEY_A"}, COMMAND_USAGE, {}},
    {{"-s", "KEY_F5"}, COMMAND_SET, {{0x3E, 0}}},
    {{"-s", "KEY_R,CTRL_LEFT"}, COMMAND_SET, {{0x15, 0x01}}},
    {{"-s", "KEY_L,SHIFT_LEFT", "KEY_R,SHIFT_LEFT,", "KEY_F5,", "KEY_F6"},
     COMMAND_SET,
     {{0x0F, 0x02}, {0x15, 0x02}, {0x3E, 0}, {0x3F, 0}}},
    {{"-s", "KEY_A,CTRL_LEFT,XYZ"}, COMMAND_SET, {{0x04, 0x01}}},
    {{"-s", "KEY_A", "KEY_B", "KEY_C", "KEY_D", "XYZ"},
     COMMAND_SET,
     {{0x04, 0}, {0x05, 0}, {0x06, 0}, {0x07, 0}}},
    {{"-s", "XYZ", "KEY_A"}, COMMAND_USAGE, {}},
    {{"-s", "KEY_A", "XYZ"}, COMMAND_USAGE, {}},
    {{"-s", "KEY_A,XYZ"}, COMMAND_USAGE, {}},
    {{"-s", ",", "KEY_A"}, COMMAND_SET, {{0x04, 0}}},
    {{"-s", "", "KEY_B"}, COMMAND_SET, {{0x05, 0}}},
    {{"-s", ","}, COMMAND_USAGE, {}},
    {{"-s", ",,,", ""}, COMMAND_USAGE, {}},
    {{"-s", "KEY_A, CTRL_LEFT"}, COMMAND_USAGE, {}},
    {{"-s", "KEY_A,0x03"}, COMMAND_SET, {{0x04, 0x03}}},
    {{"-s", "0x28,0x80"}, COMMAND_SET, {{0x28, 0x80}}},
    {{"-s", "0xFF"}, COMMAND_USAGE, {}},
    {{"-s", "KEY_A,,CTRL_LEFT"}, COMMAND_SET, {{0x04, 0x01}}},
    {{"-s", ",CTRL_LEFT"}, COMMAND_USAGE, {}},
    {{"-s", "KEY_A", "KEY_A"}, COMMAND_SET, {{0x04, 0}, {0x04, 0}}},
    {{"-s", "key_f5,alt_right"}, COMMAND_SET, {{0x3E, 0x40}}},
    // A field far longer than any token is refused, not cut short.
    {{"-s", "KEY_Aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
     COMMAND_USAGE,
     {}},
};

TEST(ParseCommandLine, CommandAndAssignmentList) {
    for (const CommandLineCase& c : COMMAND_LINE_CASES) {
        std::vector<const char*> argv = {"trelkey"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        std::string shown;
        for (const char* a : argv) shown += std::string(" [") + a + "]";

        clear_assignment_list();
        EXPECT_EQ(parse_command_line(static_cast<int>(argv.size()), argv.data()), c.expected)
            << shown;
        if (c.expected != COMMAND_SET) continue;
        for (int i = 0; i < CHANNEL_COUNT; ++i) {
            const bool filled = i < static_cast<int>(c.channels.size());
            EXPECT_EQ(assignment_list[i].key, filled ? c.channels[i].key : CODE_NONE)
                << shown << " channel " << i + 1;
            EXPECT_EQ(assignment_list[i].modifier, filled ? c.channels[i].modifier : CODE_NONE)
                << shown << " channel " << i + 1;
        }
    }
}

TEST(ClearAssignmentList, EveryByteIsCodeNone) {
    memset(assignment_list, 0, sizeof assignment_list);
    clear_assignment_list();
    const auto* bytes = reinterpret_cast<const unsigned char*>(assignment_list);
    for (size_t i = 0; i < sizeof assignment_list; ++i) EXPECT_EQ(bytes[i], 0xFF) << i;
}

}  // namespace
