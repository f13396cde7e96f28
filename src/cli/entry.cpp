#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "cli/command_line.h"
#include "config/commands.h"
#include "hid/hid_device.h"
#include "hid/own_window.h"
#include "hid/unit_search.h"

namespace {

// Carries out the command; the exit status as run_trelkey() gives it.
int run_command(int argc, const char* const* argv) {
    // A failed binding is reported by the search, which then cannot look.
    bind_hid_library();
    clear_assignment_list();

    switch (parse_command_line(argc, argv)) {
        case COMMAND_READ:
            return read_configuration(unit_selection) ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
        case COMMAND_SET:
            return set_configuration(assignment_list, unit_selection) ? EXIT_STATUS_OK
                                                                      : EXIT_STATUS_FAILED;
        case COMMAND_LIST: return list_units(unit_selection) ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
        case COMMAND_VERSION: print_version(); return EXIT_STATUS_OK;
        case COMMAND_USAGE: break;
    }
    print_usage();
    // Started from Explorer without arguments, the window stays open to be read.
    if (argc < 2) keep_own_window_open();
    // Why, after the usage text, so that it is the last line a terminal shows;
    // the argument as one line of text, whatever it holds.
    if (command_line_refusal.problem[0] != '\0') {
        char argument[256];
        char problem[sizeof command_line_refusal.problem];
        escape_controls(command_line_refusal.argument, argument, sizeof argument);
        escape_controls(command_line_refusal.problem, problem, sizeof problem);
        fflush(stdout);
        fprintf(stderr, "trelkey: '%s': %s\n", argument, problem);
    }
    return EXIT_STATUS_USAGE;
}

}  // namespace

int run_trelkey(int argc, const char* const* argv) {
    const int status = run_command(argc, argv);
    // What went to standard output must have reached it: a full disk or a
    // closed stream is not success.
    if (fflush(stdout) == 0 && !ferror(stdout)) return status;
    fprintf(stderr, "trelkey: write error: %s\n", strerror(errno));
    return status == EXIT_STATUS_OK ? EXIT_STATUS_FAILED : status;
}
