// Fuzzes the narrowing of a device's UTF-16LE string. The first input byte
// chooses what fills the buffer after the input: zero bytes (a terminator
// follows the text) or that byte (no terminator unless the text has one).
// The buffer is a heap block of exactly STRING_BUFFER_SIZE bytes, so any
// access past it is caught.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "hid/discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input = {data, size};
    const uint8_t mode = take_byte(&input);
    const uint8_t filler = (mode & 1) ? mode : 0;
    const size_t copied = input.size < STRING_BUFFER_SIZE ? input.size : STRING_BUFFER_SIZE;

    unsigned char original[STRING_BUFFER_SIZE];
    memset(original, filler, sizeof original);
    memcpy(original, input.data, copied);
    auto* buffer = static_cast<unsigned char*>(malloc(STRING_BUFFER_SIZE));
    memcpy(buffer, original, STRING_BUFFER_SIZE);

    narrow_wide_string(buffer);

    // The text ends at the first zero unit, or after all 256 units.
    const size_t unit_count = STRING_BUFFER_SIZE / 2;
    size_t length = 0;
    while (length < unit_count && (original[2 * length] | original[2 * length + 1]) != 0) {
        ++length;
    }
    fuzz_require(length <= 256, "narrowed text longer than 256 bytes");
    fuzz_require(buffer[length] == '\0', "narrowed text not terminated after its units");
    for (size_t i = 0; i < length; ++i) {
        const unsigned char expected = original[2 * i + 1] == 0 ? original[2 * i] : '?';
        fuzz_require(buffer[i] == expected, "narrowed byte is neither the unit nor '?'");
    }
    free(buffer);
    return 0;
}
