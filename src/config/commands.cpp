#include "config/commands.h"

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <thread>

#include "config/config_report.h"
#include "hid/hid_device.h"
#include "hid/identity.h"

// The search tells the unit by the report the commands exchange.
static_assert(CONFIG_REPORT_ID == DEVICE_REPORT_ID && CONFIG_REPORT_LENGTH == DEVICE_REPORT_LENGTH,
              "the unit is found by its configuration report");

namespace {

// How long firmware may take to store a report before it answers with it.
constexpr std::chrono::milliseconds STORE_TIME(100);

// A line of UTF-8 text being put together: room for a path and two identity
// texts of up to 255 Latin-1 characters, each two bytes in UTF-8, and the
// words around them, or for a location, a node and a reason. Built by hand
// and written at once: a run without a device is mostly start-up, and
// formatted output costs more than the rest.
struct Line {
    char text[sizeof DeviceFailure::path + 1100];
    size_t length;
};

// Appends 8-bit text, in UTF-8 when latin1 (as terminals show text), cut to
// fit.
void append(Line* line, const char* text, bool latin1 = false) {
    for (const auto* at = reinterpret_cast<const unsigned char*>(text);
         *at != '\0' && line->length + 3 < sizeof line->text; ++at) {
        if (latin1 && *at >= 0x80) {
            line->text[line->length++] = static_cast<char>(0xC0 | (*at >> 6));
            line->text[line->length++] = static_cast<char>(0x80 | (*at & 0x3F));
        } else {
            line->text[line->length++] = static_cast<char>(*at);
        }
    }
    line->text[line->length] = '\0';
}

// Appends a 16-bit ID as four lower-case hex digits, as lsusb shows it.
void append_id(Line* line, uint16_t id) {
    char digits[5];
    for (int i = 0; i < 4; ++i) digits[i] = "0123456789abcdef"[(id >> (12 - 4 * i)) & 0xF];
    digits[4] = '\0';
    append(line, digits);
}

// Appends 'WHAT "TEXT"', or "any WHAT" for a text that is not compared.
void append_identity_text(Line* line, const char* what, const char* text) {
    if (!text_compared(text)) {
        append(line, "any ");
        append(line, what);
        return;
    }
    append(line, what);
    append(line, " \"");
    append(line, text, true);
    append(line, "\"");
}

// Appends what the search looks for: the IDs, then the texts.
void append_identity(Line* line) {
    const DeviceIdentity wanted = trigger_device_identity();
    append(line, "ID ");
    append_id(line, wanted.vendor_id);
    append(line, ":");
    append_id(line, wanted.product_id);
    append(line, ", ");
    append_identity_text(line, "manufacturer", wanted.manufacturer);
    append(line, ", ");
    append_identity_text(line, "product", wanted.product);
}

// Reports a failed step on standard error: its fixed line, then, when the
// platform gave a reason, a line naming the device and the reason, so that
// for example a permission problem is told from a missing device.
void report_device_error(const char* first, const DeviceFailure& failure) {
    write_text_line(stderr, first);
    if (failure.reason[0] == '\0') return;
    Line line = {"trelkey: ", 9};
    append(&line, failure.path);
    append(&line, ": ");
    append(&line, failure.reason);
    write_text_line(stderr, line.text);
}

// The open's error line, and a second one: the platform's reason, what a
// named location holds instead of a unit, or, when nothing matched, what was
// searched for, so that a unit with other IDs is seen at once.
void report_open_error(const DeviceFailure& failure) {
    report_device_error("Device open error. ", failure);
    if (failure.reason[0] != '\0') return;
    Line line = {"trelkey: ", 9};
    if (failure.at_location == LOCATION_USED) {
        append(&line, "no unit found with ");
        append_identity(&line);
    } else {
        append(&line, failure.path);
        if (failure.at_location == LOCATION_EMPTY) {
            append(&line, ": nothing is plugged in there");
        } else {
            append(&line, ": not a unit with ");
            append_identity(&line);
        }
    }
    write_text_line(stderr, line.text);
}

DeviceHandle open_device_or_report(const char* location, DeviceFailure* failure) {
    const DeviceHandle device = open_trigger_device(location, failure);
    if (device == NO_DEVICE) report_open_error(*failure);
    return device;
}

// Fetches the report the unit holds into report, whose every byte is defined
// before the request: the report ID, then every channel unassigned.
bool fetch_report(DeviceHandle device, ConfigReport* report, DeviceFailure* failure) {
    *report = empty_config_report();
    return hid_get_feature(device, report->bytes, CONFIG_REPORT_LENGTH, failure);
}

bool same_report(const ConfigReport& a, const ConfigReport& b) {
    return memcmp(a.bytes, b.bytes, CONFIG_REPORT_LENGTH) == 0;
}

// Appends a report's bytes in hex, each after a blank but the first.
void append_report(Line* line, const ConfigReport& report) {
    for (int i = 0; i < CONFIG_REPORT_LENGTH; ++i) {
        char byte[4];
        snprintf(byte, sizeof byte, i == 0 ? "%02x" : " %02x", report.bytes[i]);
        append(line, byte);
    }
}

void print_unit(const UnitEntry& unit, void* /*context*/) {
    Line line = {"", 0};
    append(&line, unit.location);
    if (unit.node[0] != '\0') {
        append(&line, " ");
        append(&line, unit.node);
    }
    if (unit.reason[0] != '\0') {
        append(&line, " (");
        append(&line, unit.reason);
        append(&line, ")");
    }
    write_text_line(stdout, line.text);
}

}  // namespace

bool read_configuration(const char* location) {
    DeviceFailure failure = {};
    const DeviceHandle device = open_device_or_report(location, &failure);
    if (device == NO_DEVICE) return false;
    ConfigReport report;
    const bool fetched = fetch_report(device, &report, &failure);
    close_device(device);
    if (!fetched) {
        report_device_error("Device read error. ", failure);
        return false;
    }
    print_config_listing(report, stdout);
    return true;
}

bool set_configuration(const ChannelAssignment* assignments, const char* location) {
    DeviceFailure failure = {};
    const DeviceHandle device = open_device_or_report(location, &failure);
    if (device == NO_DEVICE) return false;
    // A kept channel's bytes come from the report the unit holds, read in
    // the same open.
    ConfigReport held = empty_config_report();
    if (keeps_a_channel(assignments) && !fetch_report(device, &held, &failure)) {
        close_device(device);
        report_device_error("Device read error. ", failure);
        return false;
    }
    const ConfigReport wanted = build_config_report(assignments, held);
    ConfigReport report = wanted;  // the platforms' call takes it as writable
    // The write is done when the unit holds what was sent. Firmware may
    // store it before it answers: a report that differs is read once more
    // after a while.
    bool done = hid_set_feature(device, report.bytes, CONFIG_REPORT_LENGTH, &failure) &&
                fetch_report(device, &held, &failure);
    if (done && !same_report(held, wanted)) {
        std::this_thread::sleep_for(STORE_TIME);
        done = fetch_report(device, &held, &failure);
    }
    close_device(device);
    if (!done) {
        report_device_error("Device write error. ", failure);
        return false;
    }
    if (!same_report(held, wanted)) {
        write_text_line(stderr, "Device write error. ");
        Line line = {"trelkey: ", 9};
        append(&line, failure.path);
        append(&line, ": the unit holds ");
        append_report(&line, held);
        append(&line, " after the write, not ");
        append_report(&line, wanted);
        write_text_line(stderr, line.text);
        return false;
    }
    printf("Success to setup configuration.\n");
    return true;
}

bool list_units() {
    if (list_trigger_devices(print_unit, nullptr) > 0) return true;
    const DeviceFailure nothing = {};
    report_open_error(nothing);
    return false;
}
