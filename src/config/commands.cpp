#include "config/commands.h"

#include <stdio.h>

#include "config/config_report.h"
#include "hid/hid_device.h"

namespace {

// Reports a failed step on standard error: its fixed line, then, when the
// platform gave a reason, a line naming the device and the reason, so that
// for example a permission problem is told from a missing device.
void report_device_error(const char* line, const DeviceFailure& failure) {
    fprintf(stderr, "%s\n", line);
    if (failure.reason[0] != '\0') {
        fprintf(stderr, "trelkey: %s: %s\n", failure.path, failure.reason);
    }
}

DeviceHandle open_device_or_report(DeviceFailure* failure) {
    const DeviceHandle device = open_trigger_device(failure);
    if (device == NO_DEVICE) report_device_error("Device open error. ", *failure);
    return device;
}

}  // namespace

bool read_configuration() {
    DeviceFailure failure = {};
    const DeviceHandle device = open_device_or_report(&failure);
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

bool set_configuration(const ChannelAssignment* assignments) {
    ConfigReport report = build_config_report(assignments);
    DeviceFailure failure = {};
    const DeviceHandle device = open_device_or_report(&failure);
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
