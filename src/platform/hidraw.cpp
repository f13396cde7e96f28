// Report descriptors and the sysfs lookups behind the Win32 stand-in.
#include "hidraw.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/hidraw.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const SYSFS_ROOT = "/sys";
const char* const DEV_ROOT = "/dev";

namespace {

// Item types, bits 2 and 3 of a short item's prefix byte. A long item gets
// a type of its own, which no rule below looks at.
constexpr unsigned ITEM_MAIN = 0;
constexpr unsigned ITEM_GLOBAL = 1;
constexpr unsigned ITEM_LOCAL = 2;
constexpr unsigned ITEM_LONG = 4;

// Tags, the prefix byte's top four bits, of the items that matter here.
constexpr unsigned MAIN_COLLECTION = 0xA;
constexpr unsigned MAIN_END_COLLECTION = 0xC;
constexpr unsigned GLOBAL_USAGE_PAGE = 0x0;
constexpr unsigned GLOBAL_PUSH = 0xA;
constexpr unsigned GLOBAL_POP = 0xB;
constexpr unsigned LOCAL_USAGE = 0x0;

constexpr unsigned char LONG_ITEM_PREFIX = 0xFE;
// Data bytes of a short item, by the prefix byte's size code.
constexpr unsigned SHORT_ITEM_DATA_SIZES[4] = {0, 1, 2, 4};

constexpr uint32_t COLLECTION_APPLICATION = 0x01;
constexpr uint32_t GENERIC_DESKTOP_PAGE = 0x01;
// Generic Desktop usages of the collections Windows keeps for itself:
// Mouse, Keyboard and Keypad.
constexpr uint32_t SYSTEM_INPUT_USAGES[] = {0x02, 0x06, 0x07};

// Depth of the Push/Pop stack of usage pages; deeper nesting is taken for a
// malformed descriptor.
constexpr size_t MAX_PUSHED_PAGES = 16;

struct Item {
    unsigned type;
    unsigned tag;
    unsigned size;
    uint32_t data;
};

// What the walk over a descriptor keeps: the usage page (the one global
// item that matters) with its Push/Pop stack, the first Usage since the last
// main item, and the top-level application collections seen so far.
struct DescriptorState {
    uint32_t usage_page;
    uint32_t pushed_pages[MAX_PUSHED_PAGES];
    size_t pushed_count;
    bool has_usage;
    bool usage_has_page;
    uint32_t usage;
    unsigned depth;
    unsigned applications;
    bool all_system_input;
};

// Reads the item at *at and moves past it. False when the descriptor ends
// inside the item.
bool read_item(const unsigned char* descriptor, size_t size, size_t* at, Item* item) {
    const size_t left = size - *at;
    const unsigned char prefix = descriptor[*at];
    if (prefix == LONG_ITEM_PREFIX) {
        // Prefix, data size, long tag, then data no rule here needs.
        if (left < 3 || left - 3 < descriptor[*at + 1]) return false;
        item->type = ITEM_LONG;
        *at += 3 + descriptor[*at + 1];
        return true;
    }
    const unsigned data_size = SHORT_ITEM_DATA_SIZES[prefix & 0x3];
    if (left - 1 < data_size) return false;
    item->type = (prefix >> 2) & 0x3;
    item->tag = prefix >> 4;
    item->size = data_size;
    item->data = 0;
    for (unsigned i = 0; i < data_size; ++i) {
        item->data |= static_cast<uint32_t>(descriptor[*at + 1 + i]) << (8 * i);
    }
    *at += 1 + data_size;
    return true;
}

bool is_system_input_usage(uint32_t page, uint32_t usage) {
    if (page != GENERIC_DESKTOP_PAGE) return false;
    for (uint32_t system_usage : SYSTEM_INPUT_USAGES) {
        if (usage == system_usage) return true;
    }
    return false;
}

// A collection opens: a top-level application collection is judged by its
// usage. A Usage without a page of its own takes the page in force now.
void open_collection(DescriptorState* state, uint32_t collection_type) {
    if (state->depth == 0 && collection_type == COLLECTION_APPLICATION) {
        ++state->applications;
        const uint32_t usage =
            state->usage_has_page ? state->usage : (state->usage_page << 16) | state->usage;
        if (!state->has_usage || !is_system_input_usage(usage >> 16, usage & 0xFFFF)) {
            state->all_system_input = false;
        }
    }
    ++state->depth;
}

// Applies one item. False when it makes the descriptor malformed: an End
// Collection with none open, a Pop with nothing pushed, a Push too deep.
bool apply_item(DescriptorState* state, const Item& item) {
    if (item.type == ITEM_MAIN) {
        if (item.tag == MAIN_COLLECTION) open_collection(state, item.data);
        if (item.tag == MAIN_END_COLLECTION) {
            if (state->depth == 0) return false;
            --state->depth;
        }
        // Local items describe the next main item only.
        state->has_usage = false;
    } else if (item.type == ITEM_GLOBAL) {
        if (item.tag == GLOBAL_USAGE_PAGE) state->usage_page = item.data & 0xFFFF;
        if (item.tag == GLOBAL_PUSH) {
            if (state->pushed_count == MAX_PUSHED_PAGES) return false;
            state->pushed_pages[state->pushed_count++] = state->usage_page;
        }
        if (item.tag == GLOBAL_POP) {
            if (state->pushed_count == 0) return false;
            state->usage_page = state->pushed_pages[--state->pushed_count];
        }
    } else if (item.type == ITEM_LOCAL && item.tag == LOCAL_USAGE && !state->has_usage) {
        // A four-byte Usage carries its page in the high half.
        state->has_usage = true;
        state->usage_has_page = item.size == 4;
        state->usage = item.data;
    }
    return true;
}

// Copies a file's text, without a trailing newline, NUL-terminated within
// size bytes; what does not fit is dropped.
bool read_text_file(const char* path, char* text, size_t size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t length = 0;
    while (length + 1 < size) {
        const ssize_t count = read(fd, text + length, size - 1 - length);
        if (count < 0) {
            close(fd);
            return false;
        }
        if (count == 0) break;
        length += static_cast<size_t>(count);
    }
    close(fd);
    if (length > 0 && text[length - 1] == '\n') --length;
    text[length] = '\0';
    return true;
}

// Finds the directory of the USB device that the hidraw node <major>:<minor>
// belongs to, strictly below the real path of the sysfs root.
bool find_usb_device(const char* sysfs_root, unsigned major, unsigned minor,
                     char usb_device[PATH_MAX]) {
    char root[PATH_MAX];
    char link[PATH_MAX];
    if (realpath(sysfs_root, root) == nullptr) return false;
    // dev/char/<major>:<minor> leads to the node; its "device" to the HID
    // device, whose parents are the interface, the USB device, hubs, buses.
    if (!format_path(link, sizeof link, "%s/dev/char/%u:%u/device", sysfs_root, major, minor) ||
        realpath(link, usb_device) == nullptr) {
        return false;
    }
    const size_t root_length = strcmp(root, "/") == 0 ? 0 : strlen(root);
    for (;;) {
        char* last_slash = strrchr(usb_device, '/');
        if (last_slash == nullptr) return false;
        *last_slash = '\0';
        // The root itself and anything outside it are not searched.
        if (strncmp(usb_device, root, root_length) != 0 || usb_device[root_length] != '/') {
            return false;
        }
        char id_vendor[PATH_MAX];
        if (format_path(id_vendor, sizeof id_vendor, "%s/idVendor", usb_device) &&
            access(id_vendor, F_OK) == 0) {
            return true;
        }
    }
}

}  // namespace

BOOL fail_with(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool format_path(char* path, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int length = vsnprintf(path, size, format, arguments);
    va_end(arguments);
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool descriptor_only_keyboards_and_mice(const unsigned char* descriptor, size_t size) {
    DescriptorState state;
    memset(&state, 0, sizeof state);
    state.all_system_input = true;
    size_t at = 0;
    while (at < size) {
        Item item;
        if (!read_item(descriptor, size, &at, &item) || !apply_item(&state, item)) return false;
    }
    return state.depth == 0 && state.applications > 0 && state.all_system_input;
}

bool hidraw_only_keyboards_and_mice(int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
    // Other drivers answer the size request too (hiddev shares its number),
    // so the descriptor request has to succeed as well.
    int size = 0;
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) != 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
        return false;
    }
    struct hidraw_report_descriptor descriptor;
    memset(&descriptor, 0, sizeof descriptor);
    descriptor.size = static_cast<__u32>(size);
    if (ioctl(fd, HIDIOCGRDESC, &descriptor) != 0) return false;
    return descriptor_only_keyboards_and_mice(descriptor.value, descriptor.size);
}

bool read_usb_attribute(const char* sysfs_root, unsigned major, unsigned minor,
                        const char* attribute, char* text, size_t size) {
    char usb_device[PATH_MAX];
    char path[PATH_MAX];
    return size > 0 && find_usb_device(sysfs_root, major, minor, usb_device) &&
           format_path(path, sizeof path, "%s/%s", usb_device, attribute) &&
           read_text_file(path, text, size);
}
