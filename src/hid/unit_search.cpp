#include "hid/unit_search.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// A line of UTF-8 text being put together: room for a location, two device
// texts of up to 255 Latin-1 characters, each two bytes in UTF-8, a command
// and the words around them. What does not fit is cut.
struct Line {
    char text[DEVICE_PATH_SIZE + 4 * DEVICE_TEXT_SIZE];
    size_t length;
};

void add(Line* line, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int added =
        vsnprintf(line->text + line->length, sizeof line->text - line->length, format, arguments);
    va_end(arguments);
    if (added > 0) line->length += static_cast<size_t>(added);
    if (line->length >= sizeof line->text) line->length = sizeof line->text - 1;
}

// An 8-bit text, each byte a Latin-1 character, in UTF-8, as terminals show
// text.
struct Utf8Text {
    char text[2 * DEVICE_TEXT_SIZE];
};

Utf8Text latin1_to_utf8(const char* latin1) {
    Utf8Text utf8 = {};
    size_t length = 0;
    for (const auto* at = reinterpret_cast<const unsigned char*>(latin1);
         *at != '\0' && length + 2 < sizeof utf8.text; ++at) {
        if (*at >= 0x80) {
            utf8.text[length++] = static_cast<char>(0xC0 | (*at >> 6));
            utf8.text[length++] = static_cast<char>(0x80 | (*at & 0x3F));
        } else {
            utf8.text[length++] = static_cast<char>(*at);
        }
    }
    return utf8;
}

// Adds 'WHAT "TEXT"', or "any WHAT" for an identity text that is not
// compared.
void add_text(Line* line, const char* what, const char* text, bool compared) {
    if (!compared) {
        add(line, "any %s", what);
        return;
    }
    add(line, "%s \"%s\"", what, latin1_to_utf8(text).text);
}

// Adds the IDs as lsusb shows them, then the texts: those of a device, or
// those of the identity searched for, where an empty one is not compared.
void add_identity(Line* line, uint16_t vendor_id, uint16_t product_id, const char* manufacturer,
                  const char* product, bool searched) {
    add(line, "ID %04x:%04x, ", unsigned{vendor_id}, unsigned{product_id});
    add_text(line, "manufacturer", manufacturer, !searched || text_compared(manufacturer));
    add(line, ", ");
    add_text(line, "product", product, !searched || text_compared(product));
}

// Adds an interface's location and what it reports.
void add_interface(Line* line, const HidInterface& hid) {
    char location[DEVICE_PATH_SIZE];
    escape_controls(hid.location, location, sizeof location);
    add(line, "trelkey: %s: ", location);
    add_identity(line, hid.vendor_id, hid.product_id, hid.manufacturer, hid.product, false);
}

// Whether two texts are equal when ASCII letters are compared without regard
// to case, as Windows compares device paths; the program keeps the C locale,
// where toupper changes ASCII letters only.
bool same_name(const char* a, const char* b) {
    while (*a != '\0' &&
           toupper(static_cast<unsigned char>(*a)) == toupper(static_cast<unsigned char>(*b))) {
        ++a;
        ++b;
    }
    return *a == *b;
}

bool text_matches(const char* text, const char* wanted) {
    return !text_compared(wanted) || strcmp(text, wanted) == 0;
}

// Whether an interface has the identity: the IDs, and each text that is
// compared, byte for byte, case counting.
bool has_identity(const HidInterface& hid, const DeviceIdentity& wanted) {
    return hid.identified && hid.vendor_id == wanted.vendor_id &&
           hid.product_id == wanted.product_id &&
           text_matches(hid.manufacturer, wanted.manufacturer) &&
           text_matches(hid.product, wanted.product);
}

bool is_unit(const HidInterface& hid, const DeviceIdentity& wanted) {
    return has_identity(hid, wanted) && hid.carries_report;
}

// Whether an interface is at the location a command named: its location,
// its node, or the node's name (hidraw3 for /dev/hidraw3).
bool at_location(const HidInterface& hid, const char* canonical) {
    if (canonical == nullptr) return true;
    const char* slash = strrchr(hid.node, '/');
    return same_name(canonical, hid.location) || same_name(canonical, hid.node) ||
           (slash != nullptr && same_name(canonical, slash + 1));
}

void say(const UnitSearch& search, const Line& line) { search.say(line.text, search.context); }

// Says what was seen when no unit of the selection was there to open: a
// device with the identity but without the configuration report; otherwise
// what the location holds, or what was searched for, and each device with
// other IDs or texts that carries the report.
void explain_no_unit(const UnitSearch& search) {
    const HidInterface* unidentified = nullptr;
    bool occupied = false;
    for (size_t i = 0; i < search.count; ++i) {
        const HidInterface& hid = search.interfaces[i];
        if (!at_location(hid, search.canonical)) continue;
        occupied = true;
        if (!hid.identified && unidentified == nullptr) unidentified = &hid;
        if (!has_identity(hid, search.wanted)) continue;
        Line line = {};
        add_interface(&line, hid);
        add(&line, ", without the configuration report (feature report %u, %u bytes)",
            unsigned{DEVICE_REPORT_ID}, static_cast<unsigned>(DEVICE_REPORT_LENGTH));
        say(search, line);
        return;
    }
    Line line = {};
    const DeviceIdentity& wanted = search.wanted;
    if (search.location == nullptr) {
        add(&line, "trelkey: no unit found with ");
    } else {
        char location[DEVICE_PATH_SIZE];
        escape_controls(search.location, location, sizeof location);
        add(&line, "trelkey: %s: ", location);
        if (unidentified != nullptr && unidentified->reason[0] != '\0') {
            add(&line, "%s", unidentified->reason);
            say(search, line);
            return;
        }
        const PortState port = occupied ? PORT_OCCUPIED : search.port;
        if (port != PORT_OCCUPIED) {
            add(&line, "%s",
                port == PORT_EMPTY ? "nothing is plugged in there"
                                   : "no USB port or device node of that name");
            say(search, line);
            return;
        }
        add(&line, "not a unit with ");
    }
    add_identity(&line, wanted.vendor_id, wanted.product_id, wanted.manufacturer, wanted.product,
                 true);
    say(search, line);
    for (size_t i = 0; i < search.count; ++i) {
        const HidInterface& hid = search.interfaces[i];
        if (!at_location(hid, search.canonical) || !hid.identified || !hid.carries_report) continue;
        Line other = {};
        add_interface(&other, hid);
        add(&other, ", carries the configuration report: trelkey -i %04x:%04x uses it",
            unsigned{hid.vendor_id}, unsigned{hid.product_id});
        say(search, other);
    }
}

// The interfaces a command may see, from the backend, in a heap array that
// grows as they come.
struct InterfaceList {
    HidInterface* interfaces;
    size_t count;
    size_t room;
    bool out_of_memory;
};

void keep_interface(const HidInterface& hid, void* context) {
    auto* list = static_cast<InterfaceList*>(context);
    if (list->count == list->room) {
        const size_t room = list->room == 0 ? 16 : 2 * list->room;
        auto* grown =
            static_cast<HidInterface*>(realloc(list->interfaces, room * sizeof(HidInterface)));
        if (grown == nullptr) {
            list->out_of_memory = true;
            return;
        }
        list->interfaces = grown;
        list->room = room;
    }
    list->interfaces[list->count++] = hid;
}

void say_on_stderr(const char* line, void* /*context*/) { write_text_line(stderr, line); }

const char* const OPEN_ERROR = "Device open error. ";

// Enumerates the interfaces and sets up the search of the selection over
// them. False, after the open's error lines, when the platform could not
// enumerate.
bool start_search(const UnitSelection& selection, InterfaceList* list, char* canonical,
                  UnitSearch* search) {
    *list = {};
    DeviceFailure failure = {};
    if (!enumerate_hid_interfaces(keep_interface, list, &failure) || list->out_of_memory) {
        write_text_line(stderr, OPEN_ERROR);
        Line line = {};
        if (list->out_of_memory) {
            add(&line, "trelkey: out of memory");
        } else {
            add(&line, "trelkey: %s: %s", failure.path, failure.reason);
        }
        write_text_line(stderr, line.text);
        free(list->interfaces);
        return false;
    }
    const DeviceIdentity wanted =
        selection.by_ids
            ? DeviceIdentity{selection.vendor_id, selection.product_id, nullptr, nullptr}
            : trigger_device_identity();
    PortState port = PORT_UNKNOWN;
    if (selection.location != nullptr) {
        canonical_location(selection.location, canonical, DEVICE_PATH_SIZE);
        port = locate_port(canonical);
    }
    *search = {list->interfaces,
               list->count,
               wanted,
               selection.location,
               selection.location != nullptr ? canonical : nullptr,
               port,
               open_hid_interface,
               say_on_stderr,
               nullptr};
    return true;
}

}  // namespace

size_t search_unit(const UnitSearch& search, DeviceHandle* device, size_t* units) {
    size_t chosen = search.count;
    DeviceFailure first_failure = {};
    *units = 0;
    *device = NO_DEVICE;
    for (size_t i = 0; i < search.count; ++i) {
        const HidInterface& hid = search.interfaces[i];
        if (!at_location(hid, search.canonical) || !is_unit(hid, search.wanted)) continue;
        ++*units;
        if (chosen < search.count) continue;
        DeviceFailure failure = {};
        *device = search.open(hid, &failure);
        if (*device != NO_DEVICE) {
            chosen = i;
        } else if (first_failure.path[0] == '\0') {
            snprintf(first_failure.path, sizeof first_failure.path, "%s", hid.node);
            snprintf(first_failure.reason, sizeof first_failure.reason, "%s", failure.reason);
        }
    }
    if (chosen < search.count) return chosen;
    Line line = {};
    add(&line, "%s", OPEN_ERROR);
    say(search, line);
    if (*units == 0) {
        explain_no_unit(search);
        return chosen;
    }
    line = {};
    add(&line, "trelkey: %s: %s", first_failure.path, first_failure.reason);
    say(search, line);
    return chosen;
}

bool open_unit(const UnitSelection& selection, OpenedUnit* unit) {
    InterfaceList list;
    char canonical[DEVICE_PATH_SIZE];
    UnitSearch search;
    if (!start_search(selection, &list, canonical, &search)) return false;
    size_t units = 0;
    const size_t chosen = search_unit(search, &unit->device, &units);
    if (chosen < list.count) {
        snprintf(unit->node, sizeof unit->node, "%s", list.interfaces[chosen].node);
        snprintf(unit->location, sizeof unit->location, "%s", list.interfaces[chosen].location);
        unit->units = selection.location == nullptr ? units : 0;
    }
    free(list.interfaces);
    return chosen < list.count;
}

void note_unit_choice(const OpenedUnit& unit) {
    if (unit.units < 2) return;
    char location[DEVICE_PATH_SIZE];
    escape_controls(unit.location, location, sizeof location);
    Line line = {};
    add(&line,
        "trelkey: %lu units attached; this was the one at %s (trelkey -l lists them, "
        "-d LOCATION chooses)",
        static_cast<unsigned long>(unit.units), location);
    write_text_line(stderr, line.text);
}

bool list_units(const UnitSelection& selection) {
    InterfaceList list;
    char canonical[DEVICE_PATH_SIZE];
    UnitSearch search;
    if (!start_search(selection, &list, canonical, &search)) return false;
    size_t listed = 0;
    for (size_t i = 0; i < list.count; ++i) {
        const HidInterface& hid = list.interfaces[i];
        if (!at_location(hid, search.canonical) || !is_unit(hid, search.wanted)) continue;
        DeviceFailure failure = {};
        const DeviceHandle device = open_hid_interface(hid, &failure);
        if (device != NO_DEVICE) close_device(device);
        Line line = {};
        add(&line, "%s", hid.location);
        if (strcmp(hid.node, hid.location) != 0) add(&line, " %s", hid.node);
        if (device == NO_DEVICE) add(&line, " (%s)", failure.reason);
        write_text_line(stdout, line.text);
        ++listed;
    }
    if (listed == 0) {
        write_text_line(stderr, OPEN_ERROR);
        explain_no_unit(search);
    }
    free(list.interfaces);
    return listed > 0;
}

void escape_controls(const char* text, char* shown, size_t size) {
    size_t length = 0;
    for (const auto* at = reinterpret_cast<const unsigned char*>(text); *at != '\0'; ++at) {
        char escaped[9] = {static_cast<char>(*at), '\0'};
        const bool c1 = at[0] == 0xC2 && at[1] >= 0x80 && at[1] <= 0x9F;
        if (*at == '\n' || *at == '\r' || *at == '\t') {
            snprintf(escaped, sizeof escaped, "\\%c", *at == '\n' ? 'n' : *at == '\r' ? 'r' : 't');
        } else if (*at < 0x20 || *at == 0x7F) {
            snprintf(escaped, sizeof escaped, "\\x%02x", *at);
        } else if (c1) {
            snprintf(escaped, sizeof escaped, "\\xc2\\x%02x", at[1]);
            ++at;
        }
        const size_t added = strlen(escaped);
        if (length + added >= size) break;
        memcpy(shown + length, escaped, added);
        length += added;
    }
    shown[length] = '\0';
}
