// Text for the user on Linux: terminals, files and pipes take the program's
// UTF-8 as it is.
#include "hid/hid_device.h"

void write_text_line(FILE* stream, const char* text) {
    fputs(text, stream);
    fputc('\n', stream);
}
