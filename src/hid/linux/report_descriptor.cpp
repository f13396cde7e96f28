#include "hid/linux/report_descriptor.h"

namespace {

// Item types, bits 2 and 3 of a short item's prefix byte.
constexpr unsigned ITEM_MAIN = 0;
constexpr unsigned ITEM_GLOBAL = 1;
constexpr unsigned ITEM_LOCAL = 2;

// Tags, the prefix byte's top four bits, of the items that matter here.
constexpr unsigned MAIN_COLLECTION = 0xA;
constexpr unsigned MAIN_END_COLLECTION = 0xC;
constexpr unsigned GLOBAL_USAGE_PAGE = 0x0;
constexpr unsigned GLOBAL_PUSH = 0xA;
constexpr unsigned GLOBAL_POP = 0xB;
constexpr unsigned LOCAL_USAGE = 0x0;

// A long item: this prefix, a data size byte, a tag byte, then the data.
constexpr uint8_t LONG_ITEM_PREFIX = 0xFE;
constexpr uint32_t COLLECTION_APPLICATION = 0x01;

// Full usages (page in the high half) of the collections Windows keeps for
// itself: Generic Desktop Mouse, Keyboard and Keypad.
constexpr uint32_t SYSTEM_INPUT_USAGES[] = {0x00010002, 0x00010006, 0x00010007};

// Depth of the Push/Pop stack of usage pages; deeper is taken as malformed.
constexpr unsigned MAX_PUSHED_PAGES = 8;

bool is_system_input(uint32_t usage) {
    for (uint32_t system_usage : SYSTEM_INPUT_USAGES) {
        if (usage == system_usage) return true;
    }
    return false;
}

}  // namespace

bool descriptor_only_keyboards_and_mice(const uint8_t* descriptor, size_t size) {
    uint32_t page = 0;
    uint32_t pushed[MAX_PUSHED_PAGES];
    unsigned pushed_count = 0;
    // The first Usage since the last main item; a four-byte one carries its
    // page, a shorter one takes the page in force at the main item.
    uint32_t usage = 0;
    bool has_usage = false;
    bool usage_has_page = false;
    unsigned depth = 0;
    unsigned applications = 0;
    bool all_system_input = true;

    size_t at = 0;
    while (at < size) {
        const uint8_t prefix = descriptor[at];
        const size_t left = size - at - 1;
        if (prefix == LONG_ITEM_PREFIX) {
            if (left < 2 || left - 2 < descriptor[at + 1]) return false;
            at += 3 + descriptor[at + 1];
            continue;
        }
        const unsigned data_size = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (left < data_size) return false;
        uint32_t data = 0;
        for (unsigned i = 0; i < data_size; ++i) {
            data |= static_cast<uint32_t>(descriptor[at + 1 + i]) << (8 * i);
        }
        at += 1 + data_size;
        const unsigned type = (prefix >> 2) & 3;
        const unsigned tag = prefix >> 4;

        if (type == ITEM_MAIN) {
            if (tag == MAIN_COLLECTION) {
                if (depth == 0 && data == COLLECTION_APPLICATION) {
                    ++applications;
                    const uint32_t full_usage = usage_has_page ? usage : (page << 16) | usage;
                    if (!has_usage || !is_system_input(full_usage)) all_system_input = false;
                }
                ++depth;
            } else if (tag == MAIN_END_COLLECTION) {
                if (depth == 0) return false;
                --depth;
            }
            // Local items describe the next main item only.
            has_usage = false;
        } else if (type == ITEM_GLOBAL) {
            if (tag == GLOBAL_USAGE_PAGE) page = data & 0xFFFF;
            if (tag == GLOBAL_PUSH) {
                if (pushed_count == MAX_PUSHED_PAGES) return false;
                pushed[pushed_count++] = page;
            }
            if (tag == GLOBAL_POP) {
                if (pushed_count == 0) return false;
                page = pushed[--pushed_count];
            }
        } else if (type == ITEM_LOCAL && tag == LOCAL_USAGE && !has_usage) {
            has_usage = true;
            usage_has_page = data_size == 4;
            usage = data;
        }
    }
    return depth == 0 && applications > 0 && all_system_input;
}
