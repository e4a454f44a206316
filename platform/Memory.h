#pragma once
// Hints for large buffers about to be filled.
#include <cstddef>

namespace platform {

// Asks the kernel to back the untouched whole 2 MB extents of [data, data + bytes) with huge
// pages where it can: a result of tens of megabytes is then faulted in a few dozen steps
// instead of thousands. Only a hint; nothing changes where the kernel declines.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace platform
