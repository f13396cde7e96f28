// A console window made for the program alone: Windows opens one when the
// program is started from Explorer, and closes it as the program ends.
#ifndef TRELKEY_HID_OWN_WINDOW_H
#define TRELKEY_HID_OWN_WINDOW_H

// In such a window, points to the configuration page and waits for Enter,
// so that what was written can be read; elsewhere (a console shared with a
// shell, or no console, or Linux) does nothing.
void keep_own_window_open();

#endif
