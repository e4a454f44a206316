#pragma once
// The line-settings record that the serial port reads from the device, changes and applies.
#include "platform/SerialDevice.h"

class CDeviceControlBlock : public platform::LineSettings {
public:
    // Every field cleared, the length set, binary mode on.
    CDeviceControlBlock();
    virtual ~CDeviceControlBlock() = default;
    CDeviceControlBlock(const CDeviceControlBlock&) = default;
    CDeviceControlBlock& operator=(const CDeviceControlBlock&) = default;

    // Copies every field.
    virtual CDeviceControlBlock& operator=(const platform::LineSettings& other);
    // A null record resets to the constructed state; otherwise copies it.
    virtual CDeviceControlBlock& operator=(const platform::LineSettings* other);
};
