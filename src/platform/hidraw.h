// The Linux side of the Win32 stand-in: hidraw nodes found through sysfs,
// report descriptors, and the helpers the stand-in functions share. The
// sysfs and /dev roots are parameters so that the lookups can run against a
// directory tree built for the purpose.
#ifndef TRELKEY_PLATFORM_HIDRAW_H
#define TRELKEY_PLATFORM_HIDRAW_H

#include <setupapi.h>
#include <stddef.h>

// Where the running system keeps sysfs and its device nodes.
extern const char* const SYSFS_ROOT;
extern const char* const DEV_ROOT;

// The handle that stands for a file descriptor, and back. handle_fd gives -1
// for INVALID_HANDLE_VALUE, NULL (descriptor 0 is never handed out) and
// values that cannot be a descriptor.
HANDLE fd_handle(int fd);
int handle_fd(HANDLE handle);

// Sets the thread's last error to the Win32 code closest to an errno value.
void set_last_error_from_errno(int error_number);

// Sets the thread's last error and gives FALSE, the way a failing Win32
// function ends.
BOOL fail_with(DWORD error);

// snprintf into a path buffer; false when the result does not fit.
bool format_path(char* path, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Whether a report descriptor describes nothing but keyboards and mice: it
// parses to the end with balanced collections, has at least one top-level
// application collection, and every one of them is Generic Desktop Mouse,
// Keyboard or Keypad. Windows reserves such devices to itself and refuses to
// open them for reading or writing.
bool descriptor_only_keyboards_and_mice(const unsigned char* descriptor, size_t size);

// Whether an open file is a hidraw node whose report descriptor is keyboards
// and mice only. False for anything that is not a hidraw node.
bool hidraw_only_keyboards_and_mice(int fd);

// Reads an attribute (such as "manufacturer") of the USB device a hidraw
// node belongs to. The node is the character device <major>:<minor>; its HID
// device's parents are searched, below the sysfs root only, for the first
// one with an idVendor file. The text loses its trailing newline and is
// NUL-terminated within size bytes. False when the node is not in sysfs, no
// USB device is among the parents (Bluetooth or uhid devices) or it lacks
// the attribute.
bool read_usb_attribute(const char* sysfs_root, unsigned major, unsigned minor,
                        const char* attribute, char* text, size_t size);

// Converts NUL-terminated UTF-8 to NUL-terminated UTF-16LE in a buffer of
// buffer_length bytes, as the HidD_ string functions return it. Malformed
// sequences become U+FFFD; a string that does not fit is cut before the
// first code point that does not fit whole. False (nothing written) when the
// buffer cannot hold even the terminator.
bool utf8_to_utf16le(const char* text, unsigned char* buffer, size_t buffer_length);

// A device information set of the hidraw nodes listed in
// <sysfs_root>/class/hidraw, with device paths under dev_root; what
// SetupDiGetClassDevsA returns for the HID interface class. Freed with
// SetupDiDestroyDeviceInfoList. INVALID_HANDLE_VALUE when out of memory.
HDEVINFO open_hidraw_device_set(const char* sysfs_root, const char* dev_root);

#endif
