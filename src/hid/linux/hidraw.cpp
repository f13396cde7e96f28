// The HID interfaces on Linux: hidraw nodes, described from what sysfs tells
// about them before anything is opened; a node is used only once the open
// node has proved to be the device that sysfs described.
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

// A USB string attribute narrowed to 8 bits; empty when there is none.
void read_usb_text(unsigned node, const char* name, char* text) {
    char path[48];
    char utf8[ATTRIBUTE_SIZE];
    snprintf(path, sizeof path, "device/../../%s", name);
    if (!read_node_text(node, path, utf8, sizeof utf8)) utf8[0] = '\0';
    narrow_utf8_string(utf8, reinterpret_cast<unsigned char*>(text));
}

// Whether the node's report descriptor declares the configuration report.
bool node_carries_report(unsigned node) {
    char descriptor[HID_MAX_DESCRIPTOR_SIZE + 1];
    const ssize_t size =
        read_node_attribute(node, "device/report_descriptor", descriptor, sizeof descriptor);
    return size >= 0 && descriptor_has_feature_report(reinterpret_cast<const uint8_t*>(descriptor),
                                                      static_cast<size_t>(size), DEVICE_REPORT_ID,
                                                      DEVICE_REPORT_LENGTH);
}

// The port: the name of the USB device whose interface the node's HID
// device is ("1-1.2"), which stays with the port the unit is plugged into.
void read_node_port(unsigned node, char* port, size_t size) {
    char path[128];
    char device[PATH_MAX];
    snprintf(path, sizeof path, "%s/hidraw%u/device/../..", HIDRAW_CLASS_DIR, node);
    port[0] = '\0';
    if (realpath(path, device) != nullptr) snprintf(port, size, "%s", strrchr(device, '/') + 1);
}

// Describes a node from sysfs: its path, from the DEVNAME its uevent gives
// relative to /dev (udev may name it otherwise than hidraw<N>), its device
// number, from its dev attribute ("major:minor"), and, when its HID device
// is on USB, its port, IDs, texts and whether it carries the configuration
// report. False when the node cannot be located.
bool describe_node(unsigned node, HidInterface* hid) {
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
    snprintf(hid->node, sizeof hid->node, "/dev/%.*s", name_length, name);
    hid->node_number = makedev(major_number, minor_number);
    hid->identified = on_usb_bus(node) && read_usb_id(node, "idVendor", &hid->vendor_id) &&
                      read_usb_id(node, "idProduct", &hid->product_id);
    if (hid->identified) {
        read_node_port(node, hid->location, sizeof hid->location);
        read_usb_text(node, "manufacturer", hid->manufacturer);
        read_usb_text(node, "product", hid->product);
        hid->carries_report = node_carries_report(node);
    }
    // A node whose USB device sysfs cannot resolve, or one not on USB, is
    // reached by its node.
    if (hid->location[0] == '\0') snprintf(hid->location, sizeof hid->location, "%s", hid->node);
    return true;
}

const char* const NOT_MATCHED = "not the device that was matched";

// Why an open node is not the device its record describes, or null when it
// is: it must be the character device sysfs numbered, and hidraw must
// report it on USB with the record's IDs. The node's name may have passed to
// another device since sysfs was read.
const char* node_mismatch(int fd, const HidInterface& hid) {
    struct stat status;
    if (fstat(fd, &status) != 0) return strerror(errno);
    if (!S_ISCHR(status.st_mode) || status.st_rdev != hid.node_number) return NOT_MATCHED;
    hidraw_devinfo info = {};
    if (ioctl(fd, HIDIOCGRAWINFO, &info) < 0) return strerror(errno);
    const bool same = info.bustype == BUS_USB &&
                      static_cast<uint16_t>(info.vendor) == hid.vendor_id &&
                      static_cast<uint16_t>(info.product) == hid.product_id;
    return same ? nullptr : NOT_MATCHED;
}

// Whether a text is a decimal number.
bool is_number(const char* text, size_t length) {
    if (length == 0) return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

bool sysfs_has(const char* path) { return access(path, F_OK) == 0; }

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

bool enumerate_hid_interfaces(InterfaceVisitor visit, void* context, DeviceFailure* /*failure*/) {
    unsigned nodes[MAX_NODES];
    const size_t count = list_nodes(nodes);
    for (size_t i = 0; i < count; ++i) {
        HidInterface hid = {};
        if (describe_node(nodes[i], &hid)) visit(hid, context);
    }
    return true;
}

DeviceHandle open_hid_interface(const HidInterface& hid, DeviceFailure* failure) {
    const int fd = open(hid.node, O_RDWR | O_CLOEXEC | O_NOCTTY);
    const char* reason = fd < 0 ? strerror(errno) : node_mismatch(fd, hid);
    if (reason == nullptr) return fd;
    if (fd >= 0) close(fd);
    snprintf(failure->path, sizeof failure->path, "%s", hid.node);
    snprintf(failure->reason, sizeof failure->reason, "%s", reason);
    return NO_DEVICE;
}

// A USB port path is BUS-PORT[.PORT...]. Port N of the hub at HUB (a device
// such as "1-1", or the root hub "usbB") shows in sysfs as HUB-portN under
// the hub's interface, which a hub has one of.
PortState locate_port(const char* location) {
    char path[3 * DEVICE_PATH_SIZE];
    if (strchr(location, '/') != nullptr || location[0] == '.' || location[0] == '\0') {
        return PORT_UNKNOWN;
    }
    snprintf(path, sizeof path, "/sys/bus/usb/devices/%s", location);
    if (sysfs_has(path)) return PORT_OCCUPIED;
    const char* dash = strchr(location, '-');
    const char* dot = strrchr(location, '.');
    if (dash == nullptr || !is_number(location, static_cast<size_t>(dash - location))) {
        return PORT_UNKNOWN;
    }
    const char* port = (dot != nullptr ? dot : dash) + 1;
    if (!is_number(port, strlen(port))) return PORT_UNKNOWN;
    const int hub_length = static_cast<int>(port - 1 - location);
    if (dot == nullptr) {
        const int bus_length = static_cast<int>(dash - location);
        snprintf(path, sizeof path, "/sys/bus/usb/devices/usb%.*s/%.*s-0:1.0/usb%.*s-port%s",
                 bus_length, location, bus_length, location, bus_length, location, port);
    } else {
        snprintf(path, sizeof path, "/sys/bus/usb/devices/%.*s/%.*s:1.0/%.*s-port%s", hub_length,
                 location, hub_length, location, hub_length, location, port);
    }
    return sysfs_has(path) ? PORT_EMPTY : PORT_UNKNOWN;
}

void canonical_location(const char* location, char* canonical, size_t size) {
    char resolved[PATH_MAX];
    const bool path = strchr(location, '/') != nullptr && realpath(location, resolved) != nullptr;
    snprintf(canonical, size, "%s", path ? resolved : location);
}

bool hid_get_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure) {
    return exchange_feature(device, HIDIOCGFEATURE(length), report, length, failure);
}

bool hid_set_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure) {
    return exchange_feature(device, HIDIOCSFEATURE(length), report, length, failure);
}

void close_device(DeviceHandle device) { close(static_cast<int>(device)); }
