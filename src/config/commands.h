// The read and set commands: one feature-report exchange with the device each.
#ifndef TRELKEY_CONFIG_COMMANDS_H
#define TRELKEY_CONFIG_COMMANDS_H

#include "cli/command_line.h"

// Fetches the configuration report and prints its listing. False, with an
// error line on standard error and nothing on standard output, when the
// device could not be opened or refused the request; a second line names the
// device and the reason when the platform gave one.
bool read_configuration();

// Sends the report built from the assignment list and prints a confirmation.
// False, with an error line on standard error (and the second line as above),
// when the device could not be opened or refused the request.
bool set_configuration(const ChannelAssignment* assignments);

#endif
