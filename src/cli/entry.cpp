#include "cli/command_line.h"
#include "config/commands.h"
#include "hid/hid_device.h"

int run_trelkey(int argc, const char* const* argv) {
    // A failed binding is not fatal here: the commands find the empty slots
    // and report that they could not reach the device.
    bind_hid_library();
    clear_assignment_list();

    switch (parse_command_line(argc, argv)) {
        case COMMAND_READ: return read_configuration() ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
        case COMMAND_SET:
            return set_configuration(assignment_list) ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
        case COMMAND_USAGE: break;
    }
    print_usage();
    return EXIT_STATUS_USAGE;
}
