#include "platform/Memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

void AdviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHuge = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace platform
