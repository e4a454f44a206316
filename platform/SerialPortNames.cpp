#include "platform/SerialPortNames.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {
namespace {

std::mutex gRootsLock;
std::optional<SerialDeviceRoots> gRoots;

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;  // a dangling link counts: its open names the target
}

// The entries of a folder, sorted by name without regard to case (the order users see).
std::vector<std::string> SortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

// n from "COMn" (any case, decimal digits only); 0 when the name is no such port name.
unsigned long ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12 || strncasecmp(name.c_str(), "COM", 3) != 0) return 0;
    unsigned long n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + unsigned(name[i] - '0');
    }
    return n;
}

}  // namespace

std::string SerialDeviceFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "") + "/.config";
    }
    return base + "/DQS/devices";
}

bool EnsureSerialDeviceFolder() {
    const std::string folder = SerialDeviceFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error) return true;
    std::fprintf(stderr, "Dictionary Quillfast: cannot create the device folder %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return false;
}

void OverrideSerialDeviceRoots(const SerialDeviceRoots* roots) {
    std::lock_guard<std::mutex> lock(gRootsLock);
    if (roots)
        gRoots = *roots;
    else
        gRoots.reset();
}

std::string ResolveSerialDevice(const std::string& rawName, const std::string& deviceFolder,
                                const SerialDeviceRoots& roots) {
    std::string name = rawName;
    if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
    if (name.empty() || name.find('/') != std::string::npos) return name;

    const unsigned long n = ComNumber(name);
    const std::string link = deviceFolder + "/" + (n ? "COM" + std::to_string(n) : name);
    if (Exists(link)) return link;
    if (n == 0) return roots.devFolder + "/" + name;

    std::vector<std::string> byId = SortedEntries(roots.byIdFolder);
    if (n <= byId.size()) return roots.byIdFolder + "/" + byId[n - 1];
    return roots.devFolder + "/ttyS" + std::to_string(n - 1);
}

SerialDeviceRoots CurrentSerialDeviceRoots() {
    std::lock_guard<std::mutex> lock(gRootsLock);
    return gRoots ? *gRoots : SerialDeviceRoots{};
}

std::string ResolveSerialDevice(const std::string& name) {
    return ResolveSerialDevice(name, SerialDeviceFolder(), CurrentSerialDeviceRoots());
}

}  // namespace platform
