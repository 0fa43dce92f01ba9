#pragma once

#include <string>

// The version block lives in a section of the executable file of its own;
// these read it back from a file on disk, the running one included.
namespace version {

// Full path of the running executable.
std::string GetModuleFileName();

// The whole version block of the file, or false when it has none or cannot
// be read.
bool GetFileVersionInfo(const std::string& strPath, std::string* pBlock);

// Looks up a query path such as "\\StringFileInfo\\041104b0\\FileDescription";
// empty when not found.
std::string VerQueryValue(const std::string& strBlock, const std::string& strQuery);

} // namespace version
