// What a device controls: its report descriptor and its texts, as UTF-8 from
// sysfs and as UTF-16 from hid.dll. The first input byte chooses which.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "hid/identity.h"
#include "hid/linux/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::vector<uint8_t> bytes(data + 1, data + size);  // exactly sized, for ASan
    unsigned char text[DEVICE_TEXT_SIZE];
    switch (data[0] % 3) {
        case 0: descriptor_only_keyboards_and_mice(bytes.data(), bytes.size()); break;
        case 1: {
            const std::string utf8(bytes.begin(), bytes.end());
            narrow_utf8_string(utf8.c_str(), text);
            // Never longer than the UTF-8 bytes, nor than 256 units.
            const size_t limit = std::min<size_t>(strlen(utf8.c_str()), 256);
            if (strlen(reinterpret_cast<char*>(text)) > limit) abort();
            break;
        }
        default:
            memset(text, 'x', sizeof text);
            if (!bytes.empty()) memcpy(text, bytes.data(), std::min(bytes.size(), sizeof text));
            narrow_wide_string(text);
            if (strnlen(reinterpret_cast<char*>(text), sizeof text) > 256) abort();
    }
    return 0;
}
