// Costs of the two pieces of work a trelkey run does besides starting up:
// the device search over a full bus and the parse of a set command line.
// Each case checks its result, so a benchmark that measured the wrong work
// reports an error instead of a figure.
#include <benchmark/benchmark.h>
#include <stdint.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "double/win32_double.h"
#include "hid/device_identity.h"
#include "hid/discovery.h"
#include "hid/hid_library.h"

namespace {

// The search stops at the first index the bus does not enumerate, so one
// interface fewer than the search limit makes it examine every index it may
// and end at the limit.
constexpr int BUS_INTERFACE_COUNT = static_cast<int>(MAX_INTERFACES) - 1;

// How the interfaces on the bus differ from the wanted device. Each costs the
// search a different amount of work before it moves on.
enum Mismatch {
    MISMATCH_OPEN_REFUSED,  // open fails, as for a keyboard or mouse on Windows
    MISMATCH_VENDOR_ID,     // opened, attributes read, vendor ID differs
    MISMATCH_PRODUCT_TEXT,  // IDs and manufacturer match, product text differs last
};

struct SearchCase {
    const char* name;
    Mismatch mismatch;
    int opens_per_search;  // interfaces the search opens successfully
};

const SearchCase SEARCH_CASES[] = {
    {"find_hid_device/254_open_refused", MISMATCH_OPEN_REFUSED, 0},
    {"find_hid_device/254_other_vendor", MISMATCH_VENDOR_ID, BUS_INTERFACE_COUNT},
    {"find_hid_device/254_other_product", MISMATCH_PRODUCT_TEXT, BUS_INTERFACE_COUNT},
};

void build_bus(Mismatch mismatch) {
    reset_fake_win32();
    // The product text differs from the wanted one only in its last byte, so
    // the comparison reads all of it.
    std::string other_product = DEVICE_PRODUCT;
    if (other_product.empty()) other_product = "?";
    other_product.back() = other_product.back() == 'x' ? 'y' : 'x';
    for (int i = 0; i < BUS_INTERFACE_COUNT; ++i) {
        FakeInterface& fake = add_fake_device(DEVICE_VENDOR_ID, DEVICE_MANUFACTURER,
                                              DEVICE_PRODUCT_ID, other_product.c_str());
        if (mismatch == MISMATCH_OPEN_REFUSED) fake.open_fails = true;
        if (mismatch == MISMATCH_VENDOR_ID) ++fake.vendor_id;
    }
}

void bench_search(benchmark::State& state, const SearchCase* search) {
    build_bus(search->mismatch);
    if (!bind_hid_library()) {
        state.SkipWithError("the test double's hid.dll did not bind");
        return;
    }
    bool found = false;
    for (auto _ : state) {
        HANDLE device = find_hid_device(DEVICE_VENDOR_ID, DEVICE_MANUFACTURER, DEVICE_PRODUCT_ID,
                                        DEVICE_PRODUCT);
        found = found || device != INVALID_HANDLE_VALUE;
        benchmark::DoNotOptimize(device);
    }
    const FakeWin32& fake = fake_win32();
    const long searches = static_cast<long>(state.iterations());
    if (found) {
        state.SkipWithError("a non-matching interface was taken for the device");
    } else if (fake.highest_enum_index != BUS_INTERFACE_COUNT) {
        state.SkipWithError("the search did not run to the end of the bus");
    } else if (fake.handles_opened != searches * search->opens_per_search) {
        state.SkipWithError("the search opened another number of interfaces than expected");
    } else if (!fake_win32_problems().empty()) {
        state.SkipWithError(fake_win32_problems().c_str());
    }
    state.counters["interfaces"] = BUS_INTERFACE_COUNT;
    reset_fake_win32();
}

// The parser stops at the fourth value, so arguments after it are never read
// (the "trailing" case shows they cost nothing), and within a value nothing
// after the modifier field is read. Leading commas and comma-only arguments
// are skipped, so padding can make a valid line arbitrarily long; the cases
// below are the longest without padding: four values whose names are the
// longest, or the ones the name lookup reaches last (KEY_F12 is the last key
// row and two other rows of its length are compared first; ALT_RIGHT is the
// last modifier row), written in lower case so every byte is case-folded.
struct ParseCase {
    const char* name;
    const char* value;   // given for each of the four channels
    int trailing_count;  // ignored arguments after the fourth value
    uint8_t key;         // expected in every assignment
    uint8_t modifier;
};

const ParseCase PARSE_CASES[] = {
    {"parse_command_line/longest_names", "KEY_F10,SHIFT_RIGHT", 0, 0x43, 0x20},
    {"parse_command_line/last_rows_lower_case", "key_f12,alt_right", 0, 0x45, 0x40},
    {"parse_command_line/last_rows_1000_trailing", "key_f12,alt_right", 1000, 0x45, 0x40},
};

bool assignments_are(const ParseCase& parse) {
    return std::all_of(std::begin(assignment_list), std::end(assignment_list),
                       [&parse](const ChannelAssignment& assignment) {
                           return assignment.key == parse.key &&
                                  assignment.modifier == parse.modifier;
                       });
}

void bench_parse(benchmark::State& state, const ParseCase* parse) {
    std::vector<const char*> argv = {"trelkey", "-s"};
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) argv.push_back(parse->value);
    for (int i = 0; i < parse->trailing_count; ++i) argv.push_back("KEY_NOT_A_NAME,0xff");
    const int argc = static_cast<int>(argv.size());

    Command command = COMMAND_SET;
    for (auto _ : state) {
        clear_assignment_list();
        command = parse_command_line(argc, argv.data());
        benchmark::DoNotOptimize(command);
        benchmark::ClobberMemory();
    }
    if (command != COMMAND_SET || !assignments_are(*parse)) {
        state.SkipWithError("the line was not parsed into four equal assignments");
    }
    state.counters["arguments"] = argc;
}

}  // namespace

int main(int argc, char** argv) {
    for (const SearchCase& search : SEARCH_CASES) {
        benchmark::RegisterBenchmark(search.name, bench_search, &search);
    }
    for (const ParseCase& parse : PARSE_CASES) {
        benchmark::RegisterBenchmark(parse.name, bench_parse, &parse);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
