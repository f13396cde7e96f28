#include "config/commands.h"

#include <stdio.h>
#include <string.h>

#include "config/config_report.h"
#include "hid/hid_device.h"

namespace {

void print_error_line(const char* text) { fprintf(stderr, "%s\n", text); }

// Opens the device, or reports on standard error why it could not. When a
// matching device was there but could not be opened, a second line names it
// and the reason, so that a permission problem is told from a missing device.
DeviceHandle open_device_or_report() {
    OpenFailure failure = {};
    const DeviceHandle device = open_trigger_device(&failure);
    if (device == NO_DEVICE) {
        print_error_line("Device open error. ");
        if (failure.error != 0) {
            fprintf(stderr, "trelkey: %s: %s\n", failure.path, strerror(failure.error));
        }
    }
    return device;
}

}  // namespace

bool read_configuration() {
    const DeviceHandle device = open_device_or_report();
    if (device == NO_DEVICE) return false;
    // The whole buffer is defined before the request: report ID, then every
    // channel unassigned.
    ConfigReport report = empty_config_report();
    const bool fetched = hid_get_feature(device, report.bytes, CONFIG_REPORT_LENGTH);
    close_device(device);
    if (!fetched) {
        print_error_line("Device read error. ");
        return false;
    }
    print_config_listing(report, stdout);
    return true;
}

bool set_configuration(const ChannelAssignment* assignments) {
    ConfigReport report = build_config_report(assignments);
    const DeviceHandle device = open_device_or_report();
    if (device == NO_DEVICE) return false;
    const bool sent = hid_set_feature(device, report.bytes, CONFIG_REPORT_LENGTH);
    close_device(device);
    if (!sent) {
        print_error_line("Device write error. ");
        return false;
    }
    printf("Success to setup configuration.\n");
    return true;
}
