#include "platform/Folder.h"

#include <sys/stat.h>

namespace platform {

bool MakeFolder(const std::string& path) { return !path.empty() && mkdir(path.c_str(), 0777) == 0; }

}  // namespace platform
