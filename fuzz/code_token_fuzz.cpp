// Fuzzes token parsing against the key table and the modifier table. The
// input, up to its first NUL, is the token, in a heap block of its own size.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "keys/key_names.h"

namespace {

const NameTable* const TABLES[] = {&key_name_table, &modifier_name_table};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* token = static_cast<char*>(malloc(size + 1));
    memcpy(token, data, size);
    token[size] = '\0';
    for (const NameTable* table : TABLES) {
        const uint8_t code = parse_code_token(token, *table);
        // Both directions: an acceptable token gives its code, and anything
        // else gives CODE_NONE.
        fuzz_require(code == expected_token_code(token, *table),
                     "token parsed to other than its name's or hex value");
        if (code == CODE_NONE) continue;
        const DisplayText display = code_display_text(code, *table);
        fuzz_require(memchr(display.text, '\0', sizeof display.text) != nullptr,
                     "display text not terminated");
        fuzz_require(expected_display_text(code, *table) == display.text,
                     "display text is neither the row's name nor the signed code");
    }
    free(token);
    return 0;
}
