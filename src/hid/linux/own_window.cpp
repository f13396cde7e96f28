// On Linux a program started from a file manager gets no console of its own
// to keep open.
#include "hid/own_window.h"

void keep_own_window_open() {}
