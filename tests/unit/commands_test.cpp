#include "config/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "double/win32_double.h"
#include "hid/device_identity.h"
#include "program_run.h"

namespace {

typedef std::vector<uint8_t> Bytes;

const Bytes EMPTY_REPORT = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Bytes ONE_CHANNEL = {0x01, 0x00, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Bytes TWO_CHANNELS = {0x01, 0x00, 0x3E, 0x01, 0x15, 0xFF, 0xFF, 0xFF, 0xFF};
const char* const OPEN_ERROR = "Device open error. \n";
const char* const SUCCESS = "Success to setup configuration.\n";

FakeInterface& add_trigger_device() {
    return add_fake_device(DEVICE_VENDOR_ID, DEVICE_MANUFACTURER, DEVICE_PRODUCT_ID,
                           DEVICE_PRODUCT);
}

std::string listing(const char* rows) {
    const std::string rule(52, '-');
    return "Current Configuration \n" + rule + "\n  Ch    Key            Modified Key\n" + rule +
           "\n" + rows + rule + "\n\n";
}

std::string usage_text() {
    testing::internal::CaptureStdout();
    print_usage();
    return testing::internal::GetCapturedStdout();
}

struct CommandCase {
    const char* name;
    std::vector<const char*> args;  // after the program name
    void (*arrange)();
    int status;
    std::string out;
    std::string err;
    Bytes requested;  // buffer the device's get received; empty when no get was made
    Bytes sent;       // report the device's set received; empty when no set was made
    int opens;
};

TEST(Commands, RunEndToEnd) {
    const auto device = [] { add_trigger_device(); };
    const auto configured = [] { add_trigger_device().feature_report = ONE_CHANNEL; };
    const std::string usage = usage_text();
    const CommandCase cases[] = {
        {"set one key", {"-s", "KEY_F5"}, device, EXIT_STATUS_OK, SUCCESS, "", {}, ONE_CHANNEL, 1},
        {"set four channels",
         {"-s", "KEY_L,SHIFT_LEFT", "KEY_R,SHIFT_LEFT,", "KEY_F5,", "KEY_F6"},
         device,
         EXIT_STATUS_OK,
         SUCCESS,
         "",
         {},
         {0x01, 0x02, 0x0F, 0x02, 0x15, 0x00, 0x3E, 0x00, 0x3F},
         1},
        {"read one channel",
         {"-r"},
         configured,
         EXIT_STATUS_OK,
         listing(" Ch-1   KEY_F5         \n"),
         "",
         EMPTY_REPORT,
         {},
         1},
        {"read two channels",
         {"-r"},
         [] { add_trigger_device().feature_report = TWO_CHANNELS; },
         EXIT_STATUS_OK,
         listing(" Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n"),
         "",
         EMPTY_REPORT,
         {},
         1},
        {"read with no device", {"-r"}, [] {}, EXIT_STATUS_FAILED, "", OPEN_ERROR, {}, {}, 0},
        {"set with no device",
         {"-s", "KEY_F5"},
         [] {},
         EXIT_STATUS_FAILED,
         "",
         OPEN_ERROR,
         {},
         {},
         0},
        // Library, discovery and device faults: fault_injection_test.cpp.
        {"no option", {}, device, EXIT_STATUS_USAGE, usage, "", {}, {}, 0},
        {"unknown option", {"-x"}, device, EXIT_STATUS_USAGE, usage, "", {}, {}, 0},
        {"set without keys", {"-s"}, device, EXIT_STATUS_USAGE, usage, "", {}, {}, 0},
        {"set with an unknown key",
         {"-s", "KEY_F5", "KEY_NONE"},
         device,
         EXIT_STATUS_USAGE,
         usage,
         "",
         {},
         {},
         0},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_win32();
        c.arrange();
        std::vector<const char*> argv = {"trelkey"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());

        const ProgramRun run = run_program(argv);
        EXPECT_EQ(c.status, run.status);
        EXPECT_EQ(c.out, run.out);
        EXPECT_EQ(c.err, run.err);
        const FakeWin32& fake = fake_win32();
        if (!fake.interfaces.empty()) {
            EXPECT_EQ(c.requested, fake.interfaces[0].last_get_request);
            EXPECT_EQ(c.sent, fake.interfaces[0].last_set_report);
        }
        EXPECT_EQ(c.opens, fake.handles_opened);
        if (c.status == EXIT_STATUS_USAGE) {
            EXPECT_EQ(0, fake.sets_created);
        }
        EXPECT_EQ("", fake_win32_problems());
    }
}

// An accepted set is what the device then reports.
TEST(Commands, ReadShowsWhatASetStored) {
    reset_fake_win32();
    add_trigger_device();
    const char* const set_argv[] = {"trelkey", "-s", "KEY_F5", "KEY_R,CTRL_LEFT"};
    const char* const read_argv[] = {"trelkey", "-r"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(EXIT_STATUS_OK, run_trelkey(4, set_argv));
    EXPECT_EQ(EXIT_STATUS_OK, run_trelkey(2, read_argv));
    EXPECT_EQ(SUCCESS + listing(" Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n"),
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(TWO_CHANNELS, fake_win32().interfaces[0].feature_report);
    EXPECT_EQ("", fake_win32_problems());
}

}  // namespace
