// A console window of the program's own, on Windows.
#include <windows.h>
//
#include <stdio.h>

#include "hid/hid_device.h"
#include "hid/own_window.h"

void keep_own_window_open() {
    // A console that Windows made for this program lists this process
    // alone; a Command Prompt's or PowerShell's lists the shell too, and
    // without a console the list is empty.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1) return;
    write_text_line(stdout, "");
    write_text_line(stdout,
                    "To configure the unit in a window, open trelkey.html, beside trelkey.exe, "
                    "in Chrome, Edge or Opera.");
    write_text_line(stdout, "Press Enter to close this window.");
    fflush(stdout);
    for (int c = getchar(); c != '\n' && c != EOF; c = getchar()) {
    }
}
