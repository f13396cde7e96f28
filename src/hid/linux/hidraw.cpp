// The trigger device on Linux: a hidraw node, chosen from what sysfs tells
// about it before anything is opened, opened only when it matches, and used
// only once the open node has proved to be the device that sysfs described.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "hid/hid_device.h"
#include "hid/identity.h"
#include "hid/linux/report_descriptor.h"

namespace {

const char* const HIDRAW_CLASS_DIR = "/sys/class/hidraw";
constexpr char NODE_PREFIX[] = "hidraw";

// Nodes examined, the lowest-numbered first; the Windows search stops at
// 255 interfaces.
constexpr size_t MAX_NODES = 255;
// Node numbers are minor numbers, which have 20 bits.
constexpr unsigned long MAX_NODE_NUMBER = (1ul << 20) - 1;

// Room for a USB string attribute: 126 UTF-16 units of up to 3 UTF-8 bytes,
// and for the uevent of a HID device.
constexpr size_t ATTRIBUTE_SIZE = 1024;

// The number in a name hidraw<digits>; false for any other name.
bool parse_node_name(const char* name, unsigned* number) {
    const size_t prefix_length = sizeof NODE_PREFIX - 1;
    if (strncmp(name, NODE_PREFIX, prefix_length) != 0 || name[prefix_length] == '\0') {
        return false;
    }
    unsigned long value = 0;
    for (const char* digit = name + prefix_length; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') return false;
        value = value * 10 + static_cast<unsigned long>(*digit - '0');
        if (value > MAX_NODE_NUMBER) return false;
    }
    *number = static_cast<unsigned>(value);
    return true;
}

// The numbers of the hidraw nodes, ascending (hidraw2 before hidraw10); the
// lowest MAX_NODES of them when there are more.
size_t list_nodes(unsigned nodes[MAX_NODES]) {
    DIR* directory = opendir(HIDRAW_CLASS_DIR);
    if (directory == nullptr) return 0;
    size_t count = 0;
    // readdir on a stream of the program's own is thread-safe; readdir_r is
    // deprecated in glibc.
    // cppcheck-suppress readdirCalled
    for (const dirent* entry = readdir(directory); entry != nullptr; entry = readdir(directory)) {
        unsigned number = 0;
        if (!parse_node_name(entry->d_name, &number)) continue;
        size_t at = count;
        while (at > 0 && nodes[at - 1] > number) --at;
        if (at == MAX_NODES) continue;
        if (count < MAX_NODES) ++count;
        memmove(nodes + at + 1, nodes + at, (count - 1 - at) * sizeof *nodes);
        nodes[at] = number;
    }
    closedir(directory);
    return count;
}

// Reads a sysfs attribute of a node's devices: "device/x" is the node's HID
// device, "device/../../x" the USB device whose interface that HID device is
// (the kernel's fixed structure). At most size - 1 bytes are read and a NUL
// is put after them. The number of bytes read, or -1.
ssize_t read_node_attribute(unsigned node, const char* name, char* buffer, size_t size) {
    char path[128];
    snprintf(path, sizeof path, "%s/hidraw%u/%s", HIDRAW_CLASS_DIR, node, name);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    size_t length = 0;
    ssize_t count = 0;
    while (length + 1 < size && (count = read(fd, buffer + length, size - 1 - length)) > 0) {
        length += static_cast<size_t>(count);
    }
    close(fd);
    if (count < 0) return -1;
    buffer[length] = '\0';
    return static_cast<ssize_t>(length);
}

// A one-line text attribute without its newline.
bool read_node_text(unsigned node, const char* name, char* text, size_t size) {
    const ssize_t length = read_node_attribute(node, name, text, size);
    if (length < 0) return false;
    if (length > 0 && text[length - 1] == '\n') text[length - 1] = '\0';
    return true;
}

// Whether the node's HID device is on the USB bus, by the bus number that
// starts HID_ID=<bus>:<vendor>:<product> in its uevent. A Bluetooth device
// behind a USB adapter, or a uhid device, is not.
bool on_usb_bus(unsigned node) {
    char uevent[ATTRIBUTE_SIZE];
    if (!read_node_text(node, "device/uevent", uevent, sizeof uevent)) return false;
    const char* line = uevent;
    while (strncmp(line, "HID_ID=", 7) != 0) {
        line = strchr(line, '\n');
        if (line == nullptr) return false;
        ++line;
    }
    char* end = nullptr;
    const unsigned long bus = strtoul(line + 7, &end, 16);
    return *end == ':' && bus == BUS_USB;
}

// A USB ID attribute, four hex digits.
bool read_usb_id(unsigned node, const char* name, uint16_t* id) {
    char path[32];
    char text[16];
    snprintf(path, sizeof path, "device/../../%s", name);
    if (!read_node_text(node, path, text, sizeof text) || text[0] == '\0') return false;
    char* end = nullptr;
    const unsigned long value = strtoul(text, &end, 16);
    if (*end != '\0' || value > 0xFFFF) return false;
    *id = static_cast<uint16_t>(value);
    return true;
}

bool read_usb_text(void* node, DeviceText which, unsigned char* text) {
    const char* name =
        which == DEVICE_TEXT_MANUFACTURER ? "device/../../manufacturer" : "device/../../product";
    char utf8[ATTRIBUTE_SIZE];
    if (!read_node_text(*static_cast<unsigned*>(node), name, utf8, sizeof utf8)) return false;
    narrow_utf8_string(utf8, text);
    return true;
}

// Whether the node belongs to the wanted device, from sysfs alone: its
// identity, and the configuration report in its report descriptor.
bool node_matches(unsigned node, const DeviceIdentity& wanted) {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    if (!on_usb_bus(node) || !read_usb_id(node, "idVendor", &vendor_id) ||
        !read_usb_id(node, "idProduct", &product_id) ||
        !device_matches(wanted, vendor_id, product_id, read_usb_text, &node)) {
        return false;
    }
    char descriptor[HID_MAX_DESCRIPTOR_SIZE + 1];
    const ssize_t size =
        read_node_attribute(node, "device/report_descriptor", descriptor, sizeof descriptor);
    return size >= 0 && descriptor_has_feature_report(reinterpret_cast<const uint8_t*>(descriptor),
                                                      static_cast<size_t>(size), DEVICE_REPORT_ID,
                                                      DEVICE_REPORT_LENGTH);
}

// Where a node's device is: its path, from the DEVNAME its uevent gives
// relative to /dev (udev may name it otherwise than hidraw<N>), its device
// number, from its dev attribute ("major:minor"), and the USB port path
// that sysfs names the USB device by ("1-1.2"), which stays with the port
// the unit is plugged into (empty when the node is not on USB).
struct NodeLocation {
    char path[sizeof DeviceFailure::path];
    dev_t number;
    char port[sizeof UnitEntry::location];
};

// The port: the name of the USB device whose interface the node's HID
// device is.
void read_node_port(unsigned node, char* port, size_t size) {
    char path[128];
    char device[PATH_MAX];
    snprintf(path, sizeof path, "%s/hidraw%u/device/../..", HIDRAW_CLASS_DIR, node);
    port[0] = '\0';
    if (realpath(path, device) != nullptr) snprintf(port, size, "%s", strrchr(device, '/') + 1);
}

bool locate_node(unsigned node, NodeLocation* location) {
    char uevent[ATTRIBUTE_SIZE];
    char number[32];
    if (!read_node_text(node, "uevent", uevent, sizeof uevent) ||
        !read_node_text(node, "dev", number, sizeof number)) {
        return false;
    }
    const char* name = strstr(uevent, "DEVNAME=");
    if (name == nullptr || (name != uevent && name[-1] != '\n')) return false;
    name += 8;
    const int name_length = static_cast<int>(strcspn(name, "\n"));
    char* end = nullptr;
    const unsigned long major_number = strtoul(number, &end, 10);
    if (name_length == 0 || end == number || *end != ':') return false;
    const char* minor_text = end + 1;
    const unsigned long minor_number = strtoul(minor_text, &end, 10);
    if (end == minor_text || *end != '\0') return false;
    snprintf(location->path, sizeof location->path, "/dev/%.*s", name_length, name);
    location->number = makedev(major_number, minor_number);
    read_node_port(node, location->port, sizeof location->port);
    return true;
}

// The nodes a search tries: every node, those of the USB device at a port,
// or the node with the device number of a /dev path.
struct Selection {
    const char* location;  // null: every node
    bool by_number;
    dev_t number;
};

// Whether a USB device has this port path: a plain name under
// /sys/bus/usb/devices, never a path that leads elsewhere.
bool usb_device_exists(const char* port) {
    if (strchr(port, '/') != nullptr || port[0] == '.' || port[0] == '\0') return false;
    char path[sizeof UnitEntry::location + 32];
    snprintf(path, sizeof path, "/sys/bus/usb/devices/%s", port);
    return access(path, F_OK) == 0;
}

bool selected(const NodeLocation& node, const Selection& selection) {
    if (selection.location == nullptr) return true;
    return selection.by_number ? node.number == selection.number
                               : strcmp(node.port, selection.location) == 0;
}

const char* const NOT_MATCHED = "not the device that was matched";

// Why an open node is not the device matched, or null when it is: it must be
// the character device sysfs numbered, and hidraw must report it on USB with
// the wanted IDs. The node's name may have passed to another device since
// sysfs was read.
const char* node_mismatch(int fd, dev_t number, const DeviceIdentity& wanted) {
    struct stat status;
    if (fstat(fd, &status) != 0) return strerror(errno);
    if (!S_ISCHR(status.st_mode) || status.st_rdev != number) return NOT_MATCHED;
    hidraw_devinfo info = {};
    if (ioctl(fd, HIDIOCGRAWINFO, &info) < 0) return strerror(errno);
    const bool same = info.bustype == BUS_USB &&
                      static_cast<uint16_t>(info.vendor) == wanted.vendor_id &&
                      static_cast<uint16_t>(info.product) == wanted.product_id;
    return same ? nullptr : NOT_MATCHED;
}

// Opens a matching node for reading and writing: its descriptor, or -1 with
// the reason in *reason.
int open_node(const NodeLocation& node, const DeviceIdentity& wanted, const char** reason) {
    const int fd = open(node.path, O_RDWR | O_CLOEXEC | O_NOCTTY);
    *reason = fd < 0 ? strerror(errno) : node_mismatch(fd, node.number, wanted);
    if (*reason == nullptr) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

// A feature request of one whole report; the ioctl gives the bytes moved.
bool exchange_feature(DeviceHandle device, unsigned long request, uint8_t* report, size_t length,
                      DeviceFailure* failure) {
    if (length == 0 || length > _IOC_SIZEMASK) {
        snprintf(failure->reason, sizeof failure->reason, "%s", strerror(EINVAL));
        return false;
    }
    const int moved = ioctl(static_cast<int>(device), request, report);
    if (moved == static_cast<int>(length)) return true;
    if (moved < 0) {
        snprintf(failure->reason, sizeof failure->reason, "%s", strerror(errno));
    } else {
        snprintf(failure->reason, sizeof failure->reason, "short feature report (%d of %zu bytes)",
                 moved, length);
    }
    return false;
}

}  // namespace

// hidraw is reached through the kernel directly; there is nothing to bind.
bool bind_hid_library() { return true; }

DeviceHandle open_trigger_device(const char* location, DeviceFailure* failure) {
    const DeviceIdentity wanted = trigger_device_identity();
    Selection selection = {location, location != nullptr && location[0] == '/', 0};
    struct stat status;
    if (selection.by_number) {
        if (stat(location, &status) != 0) {
            snprintf(failure->path, sizeof failure->path, "%s", location);
            snprintf(failure->reason, sizeof failure->reason, "%s", strerror(errno));
            return NO_DEVICE;
        }
        // Any other file matches no node's number.
        selection.number = S_ISCHR(status.st_mode) ? status.st_rdev : 0;
    }
    bool occupied = false;
    unsigned nodes[MAX_NODES];
    const size_t count = list_nodes(nodes);
    for (size_t i = 0; i < count; ++i) {
        NodeLocation node;
        if (!locate_node(nodes[i], &node) || !selected(node, selection)) continue;
        occupied = true;
        if (!node_matches(nodes[i], wanted)) continue;
        const char* reason = nullptr;
        const int fd = open_node(node, wanted, &reason);
        if (fd >= 0) {
            snprintf(failure->path, sizeof failure->path, "%s", node.path);
            failure->reason[0] = '\0';
            return fd;
        }
        if (failure->reason[0] == '\0') {
            snprintf(failure->path, sizeof failure->path, "%s", node.path);
            snprintf(failure->reason, sizeof failure->reason, "%s", reason);
        }
    }
    if (location != nullptr && failure->reason[0] == '\0') {
        snprintf(failure->path, sizeof failure->path, "%s", location);
        failure->at_location = occupied || selection.by_number || usb_device_exists(location)
                                   ? LOCATION_NOT_A_UNIT
                                   : LOCATION_EMPTY;
    }
    return NO_DEVICE;
}

size_t list_trigger_devices(UnitVisitor visit, void* context) {
    const DeviceIdentity wanted = trigger_device_identity();
    unsigned nodes[MAX_NODES];
    const size_t count = list_nodes(nodes);
    size_t listed = 0;
    for (size_t i = 0; i < count; ++i) {
        NodeLocation node;
        if (!locate_node(nodes[i], &node) || !node_matches(nodes[i], wanted)) continue;
        UnitEntry unit = {};
        // A USB device whose path sysfs cannot resolve is still reached by its node.
        snprintf(unit.location, sizeof unit.location, "%s", node.port[0] ? node.port : node.path);
        snprintf(unit.node, sizeof unit.node, "%s", node.path);
        const char* reason = nullptr;
        const int fd = open_node(node, wanted, &reason);
        if (fd >= 0) close(fd);
        if (reason != nullptr) snprintf(unit.reason, sizeof unit.reason, "%s", reason);
        visit(unit, context);
        ++listed;
    }
    return listed;
}

bool hid_get_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure) {
    return exchange_feature(device, HIDIOCGFEATURE(length), report, length, failure);
}

bool hid_set_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure) {
    return exchange_feature(device, HIDIOCSFEATURE(length), report, length, failure);
}

void close_device(DeviceHandle device) { close(static_cast<int>(device)); }
