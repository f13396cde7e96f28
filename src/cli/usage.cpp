#include <stdio.h>

#include "cli/command_line.h"

namespace {

// The usage text, line by line, leading and trailing blanks included.
const char* const USAGE_LINES[] = {
    "Usage : trelkey <OPTION> <VALUE1> <VALUE2> <VALUE3> <VALUE4> ",
    "   <OPTION> -r Read current configuration. ",
    "               The parameter of <VALUE1> to <VALUE4> are ignored.",
    "            -s Set configuration as <VALUE1> to <VALUE4>. ",
    "",
    "   <VALUE?>    <VALUE?> is specified in the following format.",
    "                    KeyName,ModifiedKey ",
    "",
    "               The KeyName must be selected from the following list.",
    "",
    "               KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, ",
    "               KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, ",
    "               KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z, ",
    "               KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9,",
    "               KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5, KEY_F6, ",
    "               KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12 ",
    "",
    "               The ModifiedKey must be selected from the followin list. ",
    "",
    "               CTRL_LEFT, SHIFT_LEFT, ALT_LEFT, CTRL_RIGHT, SHIFT_RIGHT, ALT_RIGHT",
    "",
    "               Note: <VALUE2> to <VALUE4> are for the 4Ch version.",
    "                     These are ignored in the 1Ch version.",
    "",
    "   Ex. ",
    "      1) Read current configuration. ",
    "            ./trelkey -r ",
    "      2) Set trigger event of F5 Key when trigger 1 is input.",
    "            ./trelkey -s KEY_F5 ",
    "      3) Set trigger event of R key + CTRL key when trigger 1 is input ",
    "            ./trelkey -s KEY_R,CTRL_LEFT ",
    "      4) Assign the key from Trigger1 to Trigger4 ",
    "            ./trelkey -s KEY_L,SHIFT_LEFT KEY_R,SHIFT_LEFT, KEY_F5, KEY_F6 ",
    "",
    "   More names, such as KEY_ENTER and GUI_LEFT: see man trelkey (README.txt on Windows).",
    // Several units of one model: each is named by where it is plugged in.
    "   -l             List the attached units, each line starting with its <LOCATION>.",
    "   -d <LOCATION>  With -r or -s: act on the unit at <LOCATION> only.",
    "   -i <VID:PID>   With -r, -s or -l: act on units with these USB IDs, as lsusb shows them.",
    "   --version      Print the version.",
};

}  // namespace

void print_version() { printf("trelkey %s\n", TRELKEY_VERSION); }

void print_usage() {
    for (const char* line : USAGE_LINES) {
        fputs(line, stdout);
        fputc('\n', stdout);
    }
}
