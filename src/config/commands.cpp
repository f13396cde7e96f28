#include "config/commands.h"

#include <stdio.h>

#include "config/config_report.h"
#include "hid/hid_device.h"
#include "hid/identity.h"

// The search tells the unit by the report the commands exchange.
static_assert(CONFIG_REPORT_ID == DEVICE_REPORT_ID && CONFIG_REPORT_LENGTH == DEVICE_REPORT_LENGTH,
              "the unit is found by its configuration report");

namespace {

// Reports a refused request on standard error: its fixed line, then, when
// the platform gave a reason, a line naming the device and the reason, so
// that for example an unplugged unit is told from one that stalls.
void report_device_error(const char* first, const DeviceFailure& failure) {
    write_text_line(stderr, first);
    if (failure.reason[0] == '\0') return;
    char line[sizeof failure.path + sizeof failure.reason + 16];
    snprintf(line, sizeof line, "trelkey: %s: %s", failure.path, failure.reason);
    write_text_line(stderr, line);
}

}  // namespace

bool read_configuration(const UnitSelection& selection) {
    OpenedUnit unit;
    if (!open_unit(selection, &unit)) return false;
    const DeviceHandle device = unit.device;
    DeviceFailure failure = {};
    snprintf(failure.path, sizeof failure.path, "%s", unit.node);
    // The whole buffer is defined before the request: report ID, then every
    // channel unassigned.
    ConfigReport report = empty_config_report();
    const bool fetched = hid_get_feature(device, report.bytes, CONFIG_REPORT_LENGTH, &failure);
    close_device(device);
    if (fetched) {
        print_config_listing(report, stdout);
    } else {
        report_device_error("Device read error. ", failure);
    }
    note_unit_choice(unit);
    return fetched;
}

bool set_configuration(const ChannelAssignment* assignments, const UnitSelection& selection) {
    ConfigReport report = build_config_report(assignments);
    OpenedUnit unit;
    if (!open_unit(selection, &unit)) return false;
    const DeviceHandle device = unit.device;
    DeviceFailure failure = {};
    snprintf(failure.path, sizeof failure.path, "%s", unit.node);
    const bool sent = hid_set_feature(device, report.bytes, CONFIG_REPORT_LENGTH, &failure);
    close_device(device);
    if (sent) {
        printf("Success to setup configuration.\n");
    } else {
        report_device_error("Device write error. ", failure);
    }
    note_unit_choice(unit);
    return sent;
}
