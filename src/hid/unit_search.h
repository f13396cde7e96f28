// The unit search, one for every platform and every command: which of the
// HID interfaces the backend enumerates is the unit a command acts on, and
// what the user is told when none can be used.
#ifndef TRELKEY_HID_UNIT_SEARCH_H
#define TRELKEY_HID_UNIT_SEARCH_H

#include <stddef.h>
#include <stdint.h>

#include "hid/hid_device.h"
#include "hid/identity.h"

// Which units a command may act on, as -d and -i name them.
//   location  -d: only the unit there (its location, its node, or the
//             node's name); null: any.
//   by_ids    -i: units with these USB IDs, whatever their texts; otherwise
//             the identity compiled into the program.
struct UnitSelection {
    const char* location;
    bool by_ids;
    uint16_t vendor_id;
    uint16_t product_id;
};

// The unit a command opened: its handle, the node its error lines name, its
// location, and how many units there were to choose from (0 when the command
// named a location).
struct OpenedUnit {
    DeviceHandle device;
    char node[DEVICE_PATH_SIZE];
    char location[DEVICE_PATH_SIZE];
    size_t units;
};

// Opens the first unit of the selection that opens for reading and writing.
// False when there is none, after writing "Device open error. " and the
// lines that say why on standard error.
bool open_unit(const UnitSelection& selection, OpenedUnit* unit);

// After a command that used a unit chosen among two or more without -d: a
// line on standard error naming the one used.
void note_unit_choice(const OpenedUnit& unit);

// -l: a line on standard output for each unit of the selection, in the order
// open_unit tries them: its location, its node when that differs, and, in
// parentheses, why it does not open. With none, what open_unit writes when
// it finds none. False when there is none.
bool list_units(const UnitSelection& selection);

// The search over enumerated interfaces, as open_unit runs it.
//   wanted     the identity a unit has (texts not compared when empty)
//   location   the location as the user gave it, for the messages; null: any
//   canonical  the same in the form canonical_location() gives
//   port       what locate_port() says of it
//   open       opens an interface (open_hid_interface)
//   say        receives each line for standard error
typedef DeviceHandle (*InterfaceOpener)(const HidInterface& hid, DeviceFailure* failure);
typedef void (*LineWriter)(const char* line, void* context);

struct UnitSearch {
    const HidInterface* interfaces;
    size_t count;
    DeviceIdentity wanted;
    const char* location;
    const char* canonical;
    PortState port;
    InterfaceOpener open;
    LineWriter say;
    void* context;
};

// Tries the units in order and returns the index of the first that opens,
// with its handle in *device; count when none could be used, after saying
// why. *units: how many units the selection holds.
size_t search_unit(const UnitSearch& search, DeviceHandle* device, size_t* units);

// A text the user typed, fit to be quoted on one line: a control character
// becomes \n, \r, \t or \xHH (a C1 control in UTF-8 too), anything else stays
// as it is. Cut to fit size bytes.
void escape_controls(const char* text, char* shown, size_t size);

#endif
