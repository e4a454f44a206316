#pragma once

namespace platform::detail {
extern const char16_t kCp1252ToUnicode[256];
extern const char16_t kCp1255ToUnicode[256];
}  // namespace platform::detail
