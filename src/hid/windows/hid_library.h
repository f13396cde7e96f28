// Run-time binding of the HID class library (hid.dll).
#ifndef TRELKEY_HID_WINDOWS_HID_LIBRARY_H
#define TRELKEY_HID_WINDOWS_HID_LIBRARY_H

#include <stddef.h>

#include "hid/windows/hid_dll.h"

// The twelve hid.dll entry points, in lookup order, numbered from 1. A slot
// stays null until bound; binding stops at the first name the library does
// not export. Three are never called: the serial number string (slot 5) and
// the last two.
struct HidEntryPoints {
    PHidD_GetHidGuid get_hid_guid;
    PHidD_GetAttributes get_attributes;
    PHidD_GetString get_manufacturer_string;
    PHidD_GetString get_product_string;
    PHidD_GetString get_serial_number_string;
    PHidD_GetFeature get_feature;
    PHidD_SetFeature set_feature;
    PHidD_GetPreparsedData get_preparsed_data;
    PHidD_FreePreparsedData free_preparsed_data;
    PHidP_InitializeReportForID initialize_report_for_id;
    PHidD_GetNumInputBuffers get_num_input_buffers;
    PHidD_SetNumInputBuffers set_num_input_buffers;
};

// Process-wide slots, filled by bind_hid_library().
extern HidEntryPoints hid_entry_points;

// Why bind_hid_library() could not fill the slots, in Windows' words, in
// UTF-8: the library did not load, or an export is missing; empty when all
// were filled.
extern char hid_binding_failure[512];

// The system's message for a Win32 error code in UTF-8, in the user's
// language, without the line break and blanks it ends in, cut to fit size
// bytes; "Windows error N" when Windows has no message for it.
void windows_error_text(DWORD error, char* text, size_t size);

// bind_hid_library() (hid/hid_device.h) loads hid.dll from the system
// directory and fills the slots in order. True when all twelve were found.
// Every slot is emptied first, so a failed binding never leaves slots from an
// earlier one. hid_get_feature() and hid_set_feature() call slots 6 and 7
// (get_feature, set_feature); an empty slot counts as a refused request, with
// no reason given.

#endif
