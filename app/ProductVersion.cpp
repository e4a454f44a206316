#include "app/ProductVersion.h"

#ifndef DQ_PRODUCT_VERSION
#define DQ_PRODUCT_VERSION ""
#endif

bool GetProductNameAndVersion(std::string& name, std::string& version) {
    const std::string built = DQ_PRODUCT_VERSION;
    if (built.empty()) return false;
    name = "Dictionary Quillfast";
    version = built;
    return true;
}
