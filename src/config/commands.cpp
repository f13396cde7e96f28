#include "config/commands.h"

#include <stdio.h>

#include "config/config_report.h"
#include "hid/hid_device.h"
#include "hid/identity.h"

namespace {

// Writes an 8-bit (Latin-1) identity text in UTF-8, as terminals show text.
void print_latin1_as_utf8(const char* text, FILE* out) {
    for (const auto* at = reinterpret_cast<const unsigned char*>(text); *at != '\0'; ++at) {
        if (*at < 0x80) {
            fputc(*at, out);
        } else {
            fputc(0xC0 | (*at >> 6), out);
            fputc(0x80 | (*at & 0x3F), out);
        }
    }
}

void print_identity_text(const char* what, const char* text, FILE* out) {
    if (!text_compared(text)) {
        fprintf(out, "any %s", what);
        return;
    }
    fprintf(out, "%s \"", what);
    print_latin1_as_utf8(text, out);
    fputc('"', out);
}

// What the search looks for: the IDs as lsusb shows them, then the texts,
// or "any ..." for a text that is not compared.
void print_identity(FILE* out) {
    const DeviceIdentity wanted = trigger_device_identity();
    fprintf(out, "ID %04x:%04x, ", wanted.vendor_id, wanted.product_id);
    print_identity_text("manufacturer", wanted.manufacturer, out);
    fputs(", ", out);
    print_identity_text("product", wanted.product, out);
}

// Reports a failed step on standard error: its fixed line, then, when the
// platform gave a reason, a line naming the device and the reason, so that
// for example a permission problem is told from a missing device.
void report_device_error(const char* line, const DeviceFailure& failure) {
    fprintf(stderr, "%s\n", line);
    if (failure.reason[0] != '\0') {
        fprintf(stderr, "trelkey: %s: %s\n", failure.path, failure.reason);
    }
}

// The open's error line, and a second one: the platform's reason, what a
// named location holds instead of a unit, or, when nothing matched, what was
// searched for, so that a unit with other IDs is seen at once.
void report_open_error(const DeviceFailure& failure) {
    report_device_error("Device open error. ", failure);
    if (failure.reason[0] != '\0') return;
    if (failure.at_location == LOCATION_EMPTY) {
        fprintf(stderr, "trelkey: %s: nothing is plugged in there\n", failure.path);
        return;
    }
    if (failure.at_location == LOCATION_NOT_A_UNIT) {
        fprintf(stderr, "trelkey: %s: not a unit with ", failure.path);
    } else {
        fputs("trelkey: no unit found with ", stderr);
    }
    print_identity(stderr);
    fputc('\n', stderr);
}

DeviceHandle open_device_or_report(const char* location, DeviceFailure* failure) {
    const DeviceHandle device = open_trigger_device(location, failure);
    if (device == NO_DEVICE) report_open_error(*failure);
    return device;
}

void print_unit(const UnitEntry& unit, void* /*context*/) {
    fputs(unit.location, stdout);
    if (unit.node[0] != '\0') printf(" %s", unit.node);
    if (unit.reason[0] != '\0') printf(" (%s)", unit.reason);
    fputc('\n', stdout);
}

}  // namespace

bool read_configuration(const char* location) {
    DeviceFailure failure = {};
    const DeviceHandle device = open_device_or_report(location, &failure);
    if (device == NO_DEVICE) return false;
    // The whole buffer is defined before the request: report ID, then every
    // channel unassigned.
    ConfigReport report = empty_config_report();
    const bool fetched = hid_get_feature(device, report.bytes, CONFIG_REPORT_LENGTH, &failure);
    close_device(device);
    if (!fetched) {
        report_device_error("Device read error. ", failure);
        return false;
    }
    print_config_listing(report, stdout);
    return true;
}

bool set_configuration(const ChannelAssignment* assignments, const char* location) {
    ConfigReport report = build_config_report(assignments);
    DeviceFailure failure = {};
    const DeviceHandle device = open_device_or_report(location, &failure);
    if (device == NO_DEVICE) return false;
    const bool sent = hid_set_feature(device, report.bytes, CONFIG_REPORT_LENGTH, &failure);
    close_device(device);
    if (!sent) {
        report_device_error("Device write error. ", failure);
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
