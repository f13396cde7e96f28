// A programmable stand-in for the Win32 calls of the Windows device backend:
// a bus of HID interfaces with the faults to inject, and counters of what the
// backend used, so that tests can check it gives back all it takes.
#ifndef TRELKEY_TESTS_DOUBLE_WIN32_DOUBLE_H
#define TRELKEY_TESTS_DOUBLE_WIN32_DOUBLE_H

#include <windows.h>

#include <string>
#include <vector>

// Where an interface fails: enumeration stops, the detail size query gives
// no size, the detail call fails, the open fails, the attributes call fails
// (after writing the right IDs), a string call fails.
enum Fault {
    FAULT_NONE,
    FAULT_ENUMERATION,
    FAULT_DETAIL_SIZE,
    FAULT_DETAIL,
    FAULT_OPEN,
    FAULT_ATTRIBUTES,
    FAULT_MANUFACTURER,
    FAULT_PRODUCT,
};

struct FakeInterface {
    USHORT vendor_id;
    USHORT product_id;
    std::u16string manufacturer;
    std::u16string product;
    Fault fault;
};

struct FakeWin32 {
    std::vector<FakeInterface> interfaces;
    int missing_export = -1;           // first slot hid.dll lacks; 9 and up: no hid.dll
    bool search_flag_refused = false;  // LoadLibraryExA refuses LOAD_LIBRARY_SEARCH_SYSTEM32
    bool heap_fails = false;
    bool feature_refused = false;

    std::string loads;                   // every load: "<name> <flags hex>;"
    int lookups = 0;                     // GetProcAddress calls
    std::vector<int> opened;             // interface indices CreateFileA opened, in order
    int live_handles = 0;                // opened minus closed
    int live_sets = 0;                   // device sets not destroyed
    int live_blocks = 0;                 // heap blocks not freed
    long highest_index = -1;             // highest interface index enumerated
    int feature_interface = -1;          // where the last feature call went
    std::vector<unsigned char> feature;  // the buffer it got, as it got it
};

// The double's state; assign FakeWin32() to start afresh.
FakeWin32& fake();

#endif
