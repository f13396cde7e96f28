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

struct Item {
    unsigned type;
    unsigned tag;
    unsigned size;
    uint32_t data;
};

// What the walk keeps: the usage page with its Push/Pop stack, the first
// Usage since the last main item (a four-byte one carries its page, a
// shorter one takes the page in force at the main item), the collection
// depth, and what the top-level application collections were.
struct Walk {
    uint32_t page;
    uint32_t pushed[MAX_PUSHED_PAGES];
    unsigned pushed_count;
    uint32_t usage;
    bool has_usage;
    bool usage_has_page;
    unsigned depth;
    unsigned applications;
    bool all_system_input;
};

bool is_system_input(uint32_t usage) {
    for (uint32_t system_usage : SYSTEM_INPUT_USAGES) {
        if (usage == system_usage) return true;
    }
    return false;
}

// Reads the short item at *at, or steps over a long one (type 3, which no
// rule here looks at). False when the descriptor ends inside the item.
bool read_item(const uint8_t* descriptor, size_t size, size_t* at, Item* item) {
    const size_t left = size - *at - 1;
    const uint8_t prefix = descriptor[*at];
    if (prefix == LONG_ITEM_PREFIX) {
        if (left < 2 || left - 2 < descriptor[*at + 1]) return false;
        *at += 3 + descriptor[*at + 1];
        *item = {3, 0, 0, 0};
        return true;
    }
    const unsigned data_size = (prefix & 3) == 3 ? 4 : prefix & 3;
    if (left < data_size) return false;
    *item = {(prefix >> 2) & 3u, prefix >> 4u & 0xFu, data_size, 0};
    for (unsigned i = 0; i < data_size; ++i) {
        item->data |= static_cast<uint32_t>(descriptor[*at + 1 + i]) << (8 * i);
    }
    *at += 1 + data_size;
    return true;
}

// Applies a main item. False for an End Collection with none open.
bool apply_main(Walk* walk, const Item& item) {
    if (item.tag == MAIN_COLLECTION) {
        if (walk->depth == 0 && item.data == COLLECTION_APPLICATION) {
            ++walk->applications;
            const uint32_t usage =
                walk->usage_has_page ? walk->usage : walk->page << 16 | walk->usage;
            if (!walk->has_usage || !is_system_input(usage)) walk->all_system_input = false;
        }
        ++walk->depth;
    } else if (item.tag == MAIN_END_COLLECTION) {
        if (walk->depth == 0) return false;
        --walk->depth;
    }
    // Local items describe the next main item only.
    walk->has_usage = false;
    return true;
}

// Applies a global item. False for a Push too deep or a Pop with nothing
// pushed.
bool apply_global(Walk* walk, const Item& item) {
    if (item.tag == GLOBAL_USAGE_PAGE) walk->page = item.data & 0xFFFF;
    if (item.tag == GLOBAL_PUSH) {
        if (walk->pushed_count == MAX_PUSHED_PAGES) return false;
        walk->pushed[walk->pushed_count++] = walk->page;
    }
    if (item.tag == GLOBAL_POP) {
        if (walk->pushed_count == 0) return false;
        walk->page = walk->pushed[--walk->pushed_count];
    }
    return true;
}

}  // namespace

bool descriptor_only_keyboards_and_mice(const uint8_t* descriptor, size_t size) {
    Walk walk = {};
    walk.all_system_input = true;
    size_t at = 0;
    while (at < size) {
        Item item;
        if (!read_item(descriptor, size, &at, &item)) return false;
        if (item.type == ITEM_MAIN && !apply_main(&walk, item)) return false;
        if (item.type == ITEM_GLOBAL && !apply_global(&walk, item)) return false;
        if (item.type == ITEM_LOCAL && item.tag == LOCAL_USAGE && !walk.has_usage) {
            walk.has_usage = true;
            walk.usage_has_page = item.size == 4;
            walk.usage = item.data;
        }
    }
    return walk.depth == 0 && walk.applications > 0 && walk.all_system_input;
}
