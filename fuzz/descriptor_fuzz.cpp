// The one structured input a device controls: its report descriptor, read
// item by item with lengths and nesting the device chooses. Crashes and
// out-of-bounds reads are what this looks for (the fuzz preset builds with
// AddressSanitizer and UndefinedBehaviorSanitizer).
#include <stdint.h>

#include <vector>

#include "hid/linux/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> descriptor(data, data + size);  // exactly sized, for ASan
    descriptor_has_feature_report(descriptor.data(), descriptor.size(), 1, 9);
    return 0;
}
