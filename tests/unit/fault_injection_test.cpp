// Every point at which a read or a set can fail, injected through the Win32
// test double and run end to end through run_trelkey: the exact output and
// exit status, and every resource the double handed out given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "double/win32_double.h"
#include "hid/device_identity.h"
#include "hid/windows/discovery.h"
#include "hid/identity.h"
#include "program_run.h"

namespace {

const char* const OPEN_ERROR = "Device open error. \n";
const char* const READ_ERROR = "Device read error. \n";
const char* const WRITE_ERROR = "Device write error. \n";
const char* const SUCCESS = "Success to setup configuration.\n";

// The listing of the report every trigger device below holds: KEY_F5 on
// channel 1.
const char* const LISTING =
    "Current Configuration \n"
    "----------------------------------------------------\n"
    "  Ch    Key            Modified Key\n"
    "----------------------------------------------------\n"
    " Ch-1   KEY_F5         \n"
    "----------------------------------------------------\n"
    "\n";

FakeInterface& add_trigger_device() {
    FakeInterface& device =
        add_fake_device(DEVICE_VENDOR_ID, DEVICE_MANUFACTURER, DEVICE_PRODUCT_ID, DEVICE_PRODUCT);
    device.feature_report = {0x01, 0x00, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return device;
}

// hid.dll without the export at this slot index; binding stops there, so the
// slots after it stay empty too.
template <int Slot>
void without_export() {
    fake_win32().missing_export = Slot;
    add_trigger_device();
}

struct Outcome {
    int status;
    const char* out;
    const char* err;
};

struct FaultCase {
    const char* name;
    void (*arrange)();
    Outcome read;  // of "trelkey -r"
    Outcome set;   // of "trelkey -s KEY_F5"
    int opens;     // handles the search opened
    int records;   // detail records allocated
    int sets;      // device sets created
};

const Outcome READ_OK = {EXIT_STATUS_OK, LISTING, ""};
const Outcome SET_OK = {EXIT_STATUS_OK, SUCCESS, ""};
const Outcome NOT_OPENED = {EXIT_STATUS_FAILED, "", OPEN_ERROR};
const Outcome NOT_READ = {EXIT_STATUS_FAILED, "", READ_ERROR};
const Outcome NOT_WRITTEN = {EXIT_STATUS_FAILED, "", WRITE_ERROR};

const FaultCase FAULT_CASES[] = {
    {"no fault", [] { add_trigger_device(); }, READ_OK, SET_OK, 1, 1, 1},
    {"hid.dll missing",
     [] {
         fake_win32().library_missing = true;
         add_trigger_device();
     },
     NOT_OPENED, NOT_OPENED, 0, 0, 0},
    {"without HidD_GetHidGuid", without_export<0>, NOT_OPENED, NOT_OPENED, 0, 0, 0},
    {"without HidD_GetAttributes", without_export<1>, NOT_OPENED, NOT_OPENED, 0, 0, 0},
    {"without HidD_GetManufacturerString", without_export<2>, NOT_OPENED, NOT_OPENED, 0, 0, 0},
    {"without HidD_GetProductString", without_export<3>, NOT_OPENED, NOT_OPENED, 0, 0, 0},
    {"without HidD_GetSerialNumberString", without_export<4>, NOT_READ, NOT_WRITTEN, 1, 1, 1},
    {"without HidD_GetFeature", without_export<5>, NOT_READ, NOT_WRITTEN, 1, 1, 1},
    {"without HidD_SetFeature", without_export<6>, READ_OK, NOT_WRITTEN, 1, 1, 1},
    {"without HidD_GetNumInputBuffers", without_export<7>, READ_OK, SET_OK, 1, 1, 1},
    {"without HidD_SetNumInputBuffers", without_export<8>, READ_OK, SET_OK, 1, 1, 1},
    {"device set unavailable",
     [] {
         fake_win32().class_devs_fails = true;
         add_trigger_device();
     },
     NOT_OPENED, NOT_OPENED, 0, 0, 0},
    // The second device would match: enumeration must stop, not skip.
    {"first enumeration call fails",
     [] {
         add_trigger_device().enum_fails = true;
         add_trigger_device();
     },
     NOT_OPENED, NOT_OPENED, 0, 0, 1},
    {"detail size query gives 0", [] { add_trigger_device().detail_size = 0; }, NOT_OPENED,
     NOT_OPENED, 0, 0, 1},
    {"detail record allocation fails",
     [] {
         fake_win32().heap_alloc_fails_at = 0;
         add_trigger_device();
     },
     NOT_OPENED, NOT_OPENED, 0, 0, 1},
    {"open fails", [] { add_trigger_device().open_fails = true; }, NOT_OPENED, NOT_OPENED, 0, 1, 1},
    {"attributes fail", [] { add_trigger_device().attributes_fail = true; }, NOT_OPENED, NOT_OPENED,
     1, 1, 1},
    {"manufacturer string fails", [] { add_trigger_device().manufacturer_fails = true; },
     NOT_OPENED, NOT_OPENED, 1, 1, 1},
    {"product string fails", [] { add_trigger_device().product_fails = true; }, NOT_OPENED,
     NOT_OPENED, 1, 1, 1},
    {"get refused", [] { add_trigger_device().get_refused = true; }, NOT_READ, SET_OK, 1, 1, 1},
    {"set refused", [] { add_trigger_device().set_refused = true; }, READ_OK, NOT_WRITTEN, 1, 1, 1},
    // The right text, then padding to all 256 units: no terminator reaches
    // the program, and the narrowed text is longer than the one searched for.
    {"manufacturer fills the buffer unterminated",
     [] {
         std::u16string text = fake_wide_text(DEVICE_MANUFACTURER);
         text.resize(DEVICE_TEXT_SIZE / 2, u'x');
         add_trigger_device().manufacturer = text;
     },
     NOT_OPENED, NOT_OPENED, 1, 1, 1},
    // Only indices 0 to 254 are searched; the 255 devices there differ in
    // product ID, so each is opened, rejected and closed.
    {"device at index 255",
     [] {
         for (int i = 0; i < 255; ++i) ++add_trigger_device().product_id;
         add_trigger_device();
     },
     NOT_OPENED, NOT_OPENED, 255, 255, 1},
};

struct CommandRun {
    const char* command;
    std::vector<const char*> argv;
    bool is_set;
};

TEST(FaultInjection, EveryFailurePointOfReadAndSet) {
    const CommandRun runs[] = {
        {"read", {"trelkey", "-r"}, false},
        {"set", {"trelkey", "-s", "KEY_F5"}, true},
    };
    for (const FaultCase& c : FAULT_CASES) {
        for (const CommandRun& run : runs) {
            SCOPED_TRACE(std::string(c.name) + ", " + run.command);
            const Outcome& expected = run.is_set ? c.set : c.read;
            reset_fake_win32();
            c.arrange();

            const ProgramRun result = run_program(run.argv);
            EXPECT_EQ(expected.status, result.status);
            EXPECT_EQ(expected.out, result.out);
            EXPECT_EQ(expected.err, result.err);

            const FakeWin32& fake = fake_win32();
            EXPECT_EQ(c.opens, fake.handles_opened);
            EXPECT_EQ(fake.handles_opened, fake.handles_closed);
            EXPECT_EQ(c.records, fake.heap_frees);
            // A failed allocation is counted as a call but gives nothing to free.
            EXPECT_EQ(c.records + (fake.heap_alloc_fails_at >= 0 ? 1 : 0), fake.heap_allocs);
            EXPECT_EQ(c.sets, fake.sets_created);
            EXPECT_EQ(fake.sets_created, fake.sets_destroyed);
            EXPECT_LT(fake.highest_enum_index, static_cast<long>(MAX_INTERFACES));
            EXPECT_EQ("", fake_win32_problems());
        }
    }
}

}  // namespace
