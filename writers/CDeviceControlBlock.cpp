#include "writers/CDeviceControlBlock.h"

CDeviceControlBlock::CDeviceControlBlock() {
    DCBlength = sizeof(platform::LineSettings);
    fBinary = true;
}

CDeviceControlBlock& CDeviceControlBlock::operator=(const platform::LineSettings& other) {
    platform::LineSettings::operator=(other);
    return *this;
}

CDeviceControlBlock& CDeviceControlBlock::operator=(const platform::LineSettings* other) {
    if (other)
        platform::LineSettings::operator=(*other);
    else
        platform::LineSettings::operator=(CDeviceControlBlock());
    return *this;
}
