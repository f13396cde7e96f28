// Fuzzes device discovery over the Win32 test double. The input describes
// the search (identity, which texts are compared, library and enumeration
// faults, which heap allocation fails) and a bus of up to 511 interfaces:
// one record applied to every interface, then records that replace single
// interfaces, so a short input can still describe a long bus.
//
// The result is checked against a model of the search that follows the
// double's behaviour step by step, and every resource the double saw must
// have been released.
#include <setupapi.h>
#include <stddef.h>

#include <string>
#include <vector>

#include "double/win32_double.h"
#include "fuzz_support.h"
#include "hid/discovery.h"
#include "hid/hid_library.h"

namespace {

constexpr size_t MAX_BUS_SIZE = 511;
// The search looks at interface indices 0 to 254 only. Stated here rather
// than taken from discovery.h, so that a change to the limit is caught.
constexpr unsigned EXAMINED_INTERFACES = 255;

// How an interface's manufacturer or product text is made.
enum TextShape {
    TEXT_EXPECTED = 0,      // the text searched for
    TEXT_OVERLONG = 1,      // the text searched for, then 300 more units
    TEXT_FROM_INPUT = 2,    // a unit count byte, then that many 16-bit units
    TEXT_FILLS_BUFFER = 3,  // the text searched for, padded to exactly 256 units
};

struct InterfaceRecord {
    uint8_t flags;      // faults, and IDs of its own, one bit each
    uint8_t shape;      // bits 0-1 manufacturer, bits 2-3 product, bits 4-7 detail size
    USHORT vendor_id;   // with OWN_VENDOR_ID; else the one searched for
    USHORT product_id;  // with OWN_PRODUCT_ID
    std::u16string manufacturer_units;  // for TEXT_FROM_INPUT
    std::u16string product_units;
    uint8_t path_padding;
};

constexpr uint8_t ENUM_FAILS = 0x01;
constexpr uint8_t OPEN_FAILS = 0x02;
constexpr uint8_t ATTRIBUTES_FAIL = 0x04;
constexpr uint8_t MANUFACTURER_FAILS = 0x08;
constexpr uint8_t PRODUCT_FAILS = 0x10;
constexpr uint8_t DETAIL_FAILS = 0x20;
constexpr uint8_t OWN_VENDOR_ID = 0x40;
constexpr uint8_t OWN_PRODUCT_ID = 0x80;

struct Search {
    USHORT vendor_id;
    USHORT product_id;
    std::string manufacturer;
    std::string product;
    bool manufacturer_given;
    bool product_given;
};

std::u16string take_units(FuzzInput* input) {
    std::u16string units(take_byte(input), u'\0');
    for (char16_t& unit : units) unit = take_u16(input);
    return units;
}

// Flags, shape and path padding; then the record's own IDs, when its flags
// say so; then the units of each text made from the input.
InterfaceRecord take_record(FuzzInput* input, const Search& search) {
    InterfaceRecord record;
    record.flags = take_byte(input);
    record.shape = take_byte(input);
    record.path_padding = take_byte(input);
    record.vendor_id = (record.flags & OWN_VENDOR_ID) ? take_u16(input) : search.vendor_id;
    record.product_id = (record.flags & OWN_PRODUCT_ID) ? take_u16(input) : search.product_id;
    if ((record.shape & 3) == TEXT_FROM_INPUT) record.manufacturer_units = take_units(input);
    if (((record.shape >> 2) & 3) == TEXT_FROM_INPUT) record.product_units = take_units(input);
    return record;
}

// A text of 1 to 40 bytes, none of them NUL.
std::string take_text(FuzzInput* input) {
    std::string text(take_byte(input) % 40 + 1, '\0');
    for (char& c : text) {
        const uint8_t byte = take_byte(input);
        c = static_cast<char>(byte == 0 ? '0' : byte);
    }
    return text;
}

std::u16string shaped_text(int shape, const std::string& expected, const std::u16string& units) {
    std::u16string text = fake_wide_text(expected.c_str());
    switch (shape) {
        case TEXT_OVERLONG: return text + std::u16string(300, u'x');
        case TEXT_FROM_INPUT: return units;
        case TEXT_FILLS_BUFFER: text.resize(STRING_BUFFER_SIZE / 2, u'y'); return text;
        default: return text;
    }
}

// What the detail query reports for a path needing `needed` bytes;
// -1 lets the double report `needed` itself.
long detail_size_for(int mode, long needed) {
    switch (mode) {
        case 1: return 0;
        case 2: return 1;
        case 3: return sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) - 1;
        case 4: return sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        case 5: return needed - 1;
        case 6: return needed + 1;
        case 7: return needed + 4096;
        default: return -1;
    }
}

void apply_record(const InterfaceRecord& record, const Search& search, FakeInterface* fake) {
    fake->enum_fails = record.flags & ENUM_FAILS;
    fake->open_fails = record.flags & OPEN_FAILS;
    fake->attributes_fail = record.flags & ATTRIBUTES_FAIL;
    fake->manufacturer_fails = record.flags & MANUFACTURER_FAILS;
    fake->product_fails = record.flags & PRODUCT_FAILS;
    fake->detail_fails = record.flags & DETAIL_FAILS;
    fake->vendor_id = record.vendor_id;
    fake->product_id = record.product_id;
    fake->manufacturer =
        shaped_text(record.shape & 3, search.manufacturer, record.manufacturer_units);
    fake->product = shaped_text((record.shape >> 2) & 3, search.product, record.product_units);
    fake->path += std::string(record.path_padding, 'x');
    const long needed = static_cast<long>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                          fake->path.size() + 1);
    fake->detail_size = detail_size_for(record.shape >> 4, needed);
}

// A device string as the program sees it: at most the buffer's 256 units, up
// to the first zero unit, each unit above 0xFF as '?'.
std::string seen_text(const std::u16string& units) {
    std::string text;
    for (size_t i = 0; i < units.size() && i < STRING_BUFFER_SIZE / 2 && units[i] != 0; ++i) {
        text += units[i] < 0x100 ? static_cast<char>(units[i]) : '?';
    }
    return text;
}

bool identity_matches(const FakeInterface& fake, const Search& search) {
    if (fake.attributes_fail || fake.vendor_id != search.vendor_id ||
        fake.product_id != search.product_id) {
        return false;
    }
    if (!search.manufacturer_given || !search.product_given) return true;
    return !fake.manufacturer_fails && seen_text(fake.manufacturer) == search.manufacturer &&
           !fake.product_fails && seen_text(fake.product) == search.product;
}

struct ModelResult {
    int found_index;
    std::vector<int> open_counts;
    int allocations;  // HeapAlloc calls, the failing one included
};

// The search as the double lets it run: interfaces in index order until
// enumeration refuses one or 255 were examined; each one's detail record
// allocated when the reported size can hold the record, its path fetched when
// the buffer holds it, then opened and compared.
ModelResult model_search(const FakeWin32& fake, const Search& search) {
    ModelResult result = {-1, std::vector<int>(fake.interfaces.size(), 0), 0};
    const size_t count = fake.interfaces.size();
    for (size_t i = 0; i < count && i < EXAMINED_INTERFACES; ++i) {
        const FakeInterface& device = fake.interfaces[i];
        if (device.enum_fails) break;
        const size_t needed =
            offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + device.path.size() + 1;
        const size_t reported =
            device.detail_size < 0 ? needed : static_cast<size_t>(device.detail_size);
        if (reported < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
        const bool allocated = result.allocations++ != fake.heap_alloc_fails_at;
        if (!allocated || device.detail_fails || reported < needed || device.open_fails) continue;
        result.open_counts[i] = 1;
        if (identity_matches(device, search)) {
            result.found_index = static_cast<int>(i);
            break;
        }
    }
    return result;
}

// Whether find_hid_device gets as far as enumerating: hid.dll bound up to
// the slots the search calls.
bool search_runs(const FakeWin32& fake, const Search& search) {
    const bool compare_texts = search.manufacturer_given && search.product_given;
    const int slots_needed = compare_texts ? 4 : 2;
    return !fake.library_missing &&
           (fake.missing_export < 0 || fake.missing_export >= slots_needed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input = {data, size};
    reset_fake_win32();
    FakeWin32& fake = fake_win32();

    const uint8_t fault = take_byte(&input);
    if (fault >= 0xC0) {
        const int which = (fault - 0xC0) % 12;
        if (which < HID_ENTRY_POINT_COUNT) fake.missing_export = which;
        fake.library_missing = which == 9;
        fake.class_devs_fails = which == 10;
    }
    const uint8_t alloc_fault = take_byte(&input);
    fake.heap_alloc_fails_at = alloc_fault >= 0x80 ? alloc_fault - 0x80 : -1;
    const uint8_t texts_given = take_byte(&input) % 4;
    Search search;
    search.manufacturer_given = texts_given == 0 || texts_given == 2;
    search.product_given = texts_given == 0 || texts_given == 3;
    search.vendor_id = take_u16(&input);
    search.product_id = take_u16(&input);
    search.manufacturer = take_text(&input);
    search.product = take_text(&input);
    // Short buses unless the top bit asks for one of up to MAX_BUS_SIZE, which
    // keeps most runs fast.
    const uint16_t bus_code = take_u16(&input);
    const size_t bus_size = (bus_code & 0x8000) ? bus_code % (MAX_BUS_SIZE + 1) : bus_code % 16;
    std::vector<InterfaceRecord> records(bus_size, take_record(&input, search));
    while (input.size > 0 && bus_size > 0) {
        const size_t index = take_u16(&input) % bus_size;
        records[index] = take_record(&input, search);
    }
    for (const InterfaceRecord& record : records) {
        apply_record(record, search, &add_fake_device(0, "", 0, ""));
    }

    bind_hid_library();
    const HANDLE found = find_hid_device(
        search.vendor_id, search.manufacturer_given ? search.manufacturer.c_str() : nullptr,
        search.product_id, search.product_given ? search.product.c_str() : nullptr);
    const int found_index = fake_handle_interface(found);
    fuzz_require(found == INVALID_HANDLE_VALUE || found_index >= 0,
                 "returned handle is not one the double opened");

    const bool runs = search_runs(fake, search);
    const bool enumerates = runs && !fake.class_devs_fails;
    ModelResult model = {-1, std::vector<int>(fake.interfaces.size(), 0), 0};
    if (enumerates) model = model_search(fake, search);

    if (found_index >= 0) {
        const FakeInterface& device = fake.interfaces[static_cast<size_t>(found_index)];
        fuzz_require(found_index < static_cast<int>(EXAMINED_INTERFACES),
                     "device found past the examined interfaces");
        fuzz_require(identity_matches(device, search), "returned device does not match");
        for (size_t i = static_cast<size_t>(found_index) + 1; i < fake.interfaces.size(); ++i) {
            fuzz_require(fake.interfaces[i].open_count == 0, "interface after the match opened");
        }
    }
    fuzz_require(found_index == model.found_index, "found other than the first match");
    for (size_t i = 0; i < fake.interfaces.size(); ++i) {
        fuzz_require(fake.interfaces[i].open_count == model.open_counts[i],
                     "interface opened other than once when reached");
    }
    fuzz_require(fake.highest_enum_index < static_cast<long>(EXAMINED_INTERFACES),
                 "enumerated past the examined interfaces");
    fuzz_require(fake.heap_allocs == model.allocations, "detail records allocated differ");
    fuzz_require(fake.sets_created == (enumerates ? 1 : 0), "device set created other than once");

    // Only the returned handle may still be open, and nothing else live.
    fuzz_require(fake.live_handles.size() == (found_index >= 0 ? 1U : 0U),
                 "handle left open besides the returned one");
    fuzz_require(fake.live_sets.empty() && fake.live_blocks.empty(),
                 "device set or detail record left live");
    if (found != INVALID_HANDLE_VALUE) CloseHandle(found);
    fuzz_require(fake_win32_problems().empty(), "handle, set or heap block left, or misused");
    fuzz_require(fake.handles_opened == fake.handles_closed, "handles opened and closed differ");
    fuzz_require(fake.sets_created == fake.sets_destroyed, "device set not destroyed");
    const bool alloc_failed =
        fake.heap_alloc_fails_at >= 0 && fake.heap_alloc_fails_at < fake.heap_allocs;
    fuzz_require(fake.heap_frees == fake.heap_allocs - (alloc_failed ? 1 : 0),
                 "detail record not freed");
    reset_fake_win32();
    return 0;
}
