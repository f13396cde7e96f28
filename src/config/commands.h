// The read and set commands, and the list of units.
#ifndef TRELKEY_CONFIG_COMMANDS_H
#define TRELKEY_CONFIG_COMMANDS_H

#include "cli/command_line.h"

// Fetches the configuration report of the unit at location (null: the first
// unit found) and prints its listing. False, with an error line on standard
// error and nothing on standard output, when the device could not be opened
// or refused the request; a second line names the device and the reason
// when the platform gave one, or says what was searched for.
bool read_configuration(const char* location);

// Sends the report built from the assignment list to the unit at location,
// reads it back and prints a confirmation; with a kept channel, the report
// the unit holds is read first, in the same open. False, with an error line
// on standard error (and the second line as above), when the device could
// not be opened or refused a request, or holds another report after the
// write; the second line then gives both reports in hex.
bool set_configuration(const ChannelAssignment* assignments, const char* location);

// Lists the attached units, one line each: the location, on Linux the node,
// and, in parentheses, why a unit cannot be opened. False, with the open's
// error lines, when there is none.
bool list_units();

#endif
