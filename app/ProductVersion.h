#pragma once
// The product's name and version, as the main dialog's version label and the about box show
// them. The version is the build's project version.
#include <string>

// Sets both and returns true; false (both unchanged) when the build carries no version.
bool GetProductNameAndVersion(std::string& name, std::string& version);
