// SDK record text fields: any record bytes read as bounded texts, no fault.
#include "camera/TextFields.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sdk::DeviceRecord device;
    sdk::ImageSizeRecord sizeRecord;
    std::memcpy(device.bytes, data, std::min(size, sizeof device.bytes));
    std::memcpy(sizeRecord.bytes, data, std::min(size, sizeof sizeRecord.bytes));
    const std::string name = camera::DeviceName(device);
    if (name.size() >= sdk::DeviceRecord::kNameCapacity + 1) std::abort();
    if (camera::SizeLabel(sizeRecord).size() > sdk::ImageSizeRecord::kLabelCapacity) std::abort();
    if (camera::LastWord(name).size() > name.size()) std::abort();
    camera::BoundedText(data, size);
    if (size >= 4) camera::LittleEndianWord(data);
    return 0;
}
