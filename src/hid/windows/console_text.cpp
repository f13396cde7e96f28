// Text for the user on Windows. The program's texts are UTF-8 inside; a
// console takes UTF-16, and a file or a pipe gets the bytes of the console's
// output code page (850 in Western Europe, 866 in Russia), which is what a
// command reading them expects.
#include <windows.h>
//
#include "hid/hid_device.h"

namespace {

// Most UTF-16 units of a line, well above the longest the program writes.
constexpr int MAX_LINE_UNITS = 2048;

}  // namespace

void write_text_line(FILE* stream, const char* text) {
    wchar_t line[MAX_LINE_UNITS + 1];
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, line, MAX_LINE_UNITS);
    const HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (units > 0 && GetConsoleMode(handle, &mode)) {
        // What the C stream holds goes first.
        fflush(stream);
        line[units - 1] = L'\r';
        line[units] = L'\n';
        DWORD written = 0;
        WriteConsoleW(handle, line, static_cast<DWORD>(units) + 1, &written, nullptr);
        return;
    }
    // Without a console GetConsoleOutputCP gives 0, which is CP_ACP, the ANSI
    // code page. At most four bytes per unit in any code page; text that
    // does not convert is written as it is.
    char bytes[4 * MAX_LINE_UNITS];
    const bool converted =
        units > 0 && WideCharToMultiByte(GetConsoleOutputCP(), 0, line, -1, bytes, sizeof bytes,
                                         nullptr, nullptr) > 0;
    fputs(converted ? bytes : text, stream);
    fputc('\n', stream);
}
