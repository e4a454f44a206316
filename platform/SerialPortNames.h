#pragma once
// Which device a Windows port name means. "COMn" is, in this order: the symbolic link COMn in
// the device folder ($XDG_CONFIG_HOME/DQS/devices/, a user's own choice), the n-th entry by
// name of /dev/serial/by-id/ (so the one USB writer of a typical user is COM1), or
// /dev/ttyS<n-1>. A name that is already a path is taken as it is.
#include <string>

namespace platform {

struct SerialDeviceRoots {
    std::string byIdFolder = "/dev/serial/by-id";
    std::string devFolder = "/dev";
};

// $XDG_CONFIG_HOME/DQS/devices (XDG_CONFIG_HOME defaulting to $HOME/.config).
std::string SerialDeviceFolder();
// Creates that folder with its parents, so that a user can put a COMn link into it at once;
// false (with a line on standard error) when it cannot be made.
bool EnsureSerialDeviceFolder();

// Tests point the two system folders elsewhere; null restores them.
void OverrideSerialDeviceRoots(const SerialDeviceRoots* roots);
// The folders in force (to put them back after a test's own).
SerialDeviceRoots CurrentSerialDeviceRoots();

// A leading "\\.\" is dropped. COM0 and other names are looked up as links in the device
// folder, else taken as names under the dev folder; the path returned may not exist.
std::string ResolveSerialDevice(const std::string& name, const std::string& deviceFolder,
                                const SerialDeviceRoots& roots);
// The same with the device folder and the roots in force.
std::string ResolveSerialDevice(const std::string& name);

}  // namespace platform
