#include "hid/linux/report_descriptor.h"

namespace {

// Item types, bits 2 and 3 of a short item's prefix byte.
constexpr unsigned ITEM_MAIN = 0;
constexpr unsigned ITEM_GLOBAL = 1;

// Tags, the prefix byte's top four bits, of the items that matter here.
constexpr unsigned MAIN_FEATURE = 0xB;
constexpr unsigned MAIN_COLLECTION = 0xA;
constexpr unsigned MAIN_END_COLLECTION = 0xC;
constexpr unsigned GLOBAL_REPORT_SIZE = 0x7;
constexpr unsigned GLOBAL_REPORT_ID = 0x8;
constexpr unsigned GLOBAL_REPORT_COUNT = 0x9;
constexpr unsigned GLOBAL_PUSH = 0xA;
constexpr unsigned GLOBAL_POP = 0xB;

// A long item: this prefix, a data size byte, a tag byte, then the data.
constexpr uint8_t LONG_ITEM_PREFIX = 0xFE;

// Depth of the Push/Pop stack; deeper is taken as malformed.
constexpr unsigned MAX_PUSHED = 8;

// More bits than any report the walk looks for; sums stop there, so they
// cannot overflow.
constexpr uint64_t MANY_BITS = 1u << 20;

struct Item {
    unsigned type;
    unsigned tag;
    uint32_t data;
};

// The global items that size a report; Push and Pop save and restore them.
struct Globals {
    uint32_t report_id;
    uint32_t report_size;
    uint32_t report_count;
};

// What the walk keeps: the globals in force with their Push/Pop stack, the
// collection depth, and the bits of the wanted report's Feature items.
struct Walk {
    Globals globals;
    Globals pushed[MAX_PUSHED];
    unsigned pushed_count;
    unsigned depth;
    uint64_t feature_bits;
};

// Reads the short item at *at, or steps over a long one (type 3, which no
// rule here looks at). False when the descriptor ends inside the item.
bool read_item(const uint8_t* descriptor, size_t size, size_t* at, Item* item) {
    const size_t left = size - *at - 1;
    const uint8_t prefix = descriptor[*at];
    if (prefix == LONG_ITEM_PREFIX) {
        if (left < 2 || left - 2 < descriptor[*at + 1]) return false;
        *at += 3 + descriptor[*at + 1];
        *item = {3, 0, 0};
        return true;
    }
    const unsigned data_size = (prefix & 3) == 3 ? 4 : prefix & 3;
    if (left < data_size) return false;
    *item = {(prefix >> 2) & 3u, prefix >> 4u & 0xFu, 0};
    for (unsigned i = 0; i < data_size; ++i) {
        item->data |= static_cast<uint32_t>(descriptor[*at + 1 + i]) << (8 * i);
    }
    *at += 1 + data_size;
    return true;
}

// Applies a main item. False for an End Collection with none open.
bool apply_main(Walk* walk, const Item& item, uint8_t report_id) {
    if (item.tag == MAIN_FEATURE && walk->globals.report_id == report_id) {
        const uint64_t bits = uint64_t{walk->globals.report_size} * walk->globals.report_count;
        walk->feature_bits += bits < MANY_BITS ? bits : MANY_BITS;
        if (walk->feature_bits > MANY_BITS) walk->feature_bits = MANY_BITS;
    } else if (item.tag == MAIN_COLLECTION) {
        ++walk->depth;
    } else if (item.tag == MAIN_END_COLLECTION) {
        if (walk->depth == 0) return false;
        --walk->depth;
    }
    return true;
}

// Applies a global item. False for a Push too deep or a Pop with nothing
// pushed.
bool apply_global(Walk* walk, const Item& item) {
    Globals& globals = walk->globals;
    if (item.tag == GLOBAL_REPORT_ID) globals.report_id = item.data;
    if (item.tag == GLOBAL_REPORT_SIZE) globals.report_size = item.data;
    if (item.tag == GLOBAL_REPORT_COUNT) globals.report_count = item.data;
    if (item.tag == GLOBAL_PUSH) {
        if (walk->pushed_count == MAX_PUSHED) return false;
        walk->pushed[walk->pushed_count++] = globals;
    }
    if (item.tag == GLOBAL_POP) {
        if (walk->pushed_count == 0) return false;
        globals = walk->pushed[--walk->pushed_count];
    }
    return true;
}

}  // namespace

bool descriptor_has_feature_report(const uint8_t* descriptor, size_t size, uint8_t report_id,
                                   size_t length) {
    Walk walk = {};
    size_t at = 0;
    while (at < size) {
        Item item;
        if (!read_item(descriptor, size, &at, &item)) return false;
        if (item.type == ITEM_MAIN && !apply_main(&walk, item, report_id)) return false;
        if (item.type == ITEM_GLOBAL && !apply_global(&walk, item)) return false;
    }
    return walk.depth == 0 && length > 0 && walk.feature_bits == (length - 1) * 8;
}
