// Shared by the fuzz targets: the abort-on-violation check, a reader that
// takes bytes from the fuzz input one field at a time, and an independent
// statement of which command-line tokens are acceptable, the oracle the
// parsers are held to.
#ifndef TRELKEY_FUZZ_FUZZ_SUPPORT_H
#define TRELKEY_FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "keys/key_names.h"

// Prints what was violated and aborts, which libFuzzer records as a crash
// together with the input that caused it.
void fuzz_require(bool holds, const char* what);

// The fuzz input, consumed from the front.
struct FuzzInput {
    const uint8_t* data;
    size_t size;
};

// Next byte of the input; 0 once it is used up, so every input decodes.
uint8_t take_byte(FuzzInput* input);

// Next two bytes, little-endian.
uint16_t take_u16(FuzzInput* input);

// The code a token stands for in a table, decided without the program's
// parser: exactly "0x" and two hexadecimal digits giving a value other than
// 0xff, or a row name equal to the token with ASCII case ignored. CODE_NONE
// for any other token.
uint8_t expected_token_code(const char* token, const NameTable& table);

// The text a listing shows for a code: the name of the first row with that
// code, else the code taken as a signed byte, in parentheses.
std::string expected_display_text(uint8_t code, const NameTable& table);

#endif
