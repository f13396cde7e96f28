// Prints, as hex bytes, the report that `trelkey -s VALUE...` sends, so that
// the page's test compares its own with it: report_of -s VALUE...
#include <stdio.h>

#include "cli/command_line.h"
#include "config/config_report.h"

int main(int argc, char** argv) {
    clear_assignment_list();
    if (parse_command_line(argc, argv) != COMMAND_SET) return 1;
    const ConfigReport report = build_config_report(assignment_list);
    for (int i = 0; i < CONFIG_REPORT_LENGTH; ++i)
        printf(i == 0 ? "%02x" : " %02x", report.bytes[i]);
    printf("\n");
}
