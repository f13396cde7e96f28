// The command line: its grammar, the usage text, and the list of channel
// assignments that a set command carries.
#ifndef TRELKEY_CLI_COMMAND_LINE_H
#define TRELKEY_CLI_COMMAND_LINE_H

#include <stdint.h>

#include "hid/unit_search.h"

enum Command {
    COMMAND_USAGE = 0,
    COMMAND_READ = 1,
    COMMAND_SET = 2,
    COMMAND_LIST = 3,     // -l: the attached units, one line each
    COMMAND_VERSION = 4,  // --version
};

// Trigger channels a set command can assign.
constexpr int CHANNEL_COUNT = 4;

struct ChannelAssignment {
    uint8_t key;       // HID keyboard usage ID; CODE_NONE ends the list
    uint8_t modifier;  // modifier bit mask; 0 when none was given
};

// The process's assignment list. Entry n is trigger channel n + 1; entries are
// filled from the first without gaps.
extern ChannelAssignment assignment_list[CHANNEL_COUNT];

// The units a read, set or list command may act on: -d LOCATION (a USB port
// path, a /dev node or its name on Linux, an interface path on Windows; null
// without -d: the first unit the search finds) and -i VID:PID (units with
// those USB IDs, whatever their texts).
extern UnitSelection unit_selection;

// Why the command line was refused: the argument at fault and what is wrong
// with it. problem is empty when there is nothing to say: no arguments, or
// --help.
struct CommandLineRefusal {
    const char* argument;
    char problem[160];
};

extern CommandLineRefusal command_line_refusal;

// Sets every byte of the assignment list to CODE_NONE.
void clear_assignment_list();

// Parses argv[1..]. Fills assignment_list for a set command, and sets
// unit_selection; the list must have been cleared first. -d LOCATION and
// -i VID:PID may stand anywhere after the program's name; the rest is parsed
// without them. A value
// is KEY[,MODIFIER...]: every field after the key is a modifier, and they
// combine. COMMAND_USAGE sets command_line_refusal.
Command parse_command_line(int argc, const char* const* argv);

// Writes the usage text to standard output.
void print_usage();

// Writes "trelkey X.Y.Z" to standard output.
void print_version();

// The program: binds the HID library, parses the command line and carries out
// the command. Returns the exit status: 0 when the command did its job, 1
// after the usage text, 2 when a read or set could not be carried out or
// what it printed on standard output was lost.
int run_trelkey(int argc, const char* const* argv);

constexpr int EXIT_STATUS_OK = 0;
constexpr int EXIT_STATUS_USAGE = 1;
constexpr int EXIT_STATUS_FAILED = 2;

#endif
