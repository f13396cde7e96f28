// The read and set commands: one feature-report exchange with the device each.
#ifndef TRELKEY_CONFIG_COMMANDS_H
#define TRELKEY_CONFIG_COMMANDS_H

#include "cli/command_line.h"
#include "hid/unit_search.h"

// Fetches the configuration report of the unit the selection names and
// prints its listing. False, with an error line on standard error and
// nothing on standard output, when no unit could be opened (the search says
// why) or the unit refused the request (a second line names it and the
// reason when the platform gave one).
bool read_configuration(const UnitSelection& selection);

// Sends the report built from the assignment list to the unit the selection
// names and prints a confirmation. False, with the error lines as above,
// when no unit could be opened or it refused the request.
bool set_configuration(const ChannelAssignment* assignments, const UnitSelection& selection);

#endif
