#pragma once

#include <string>

// The per-user store of the five settings (the toolkit's INI files), under
// organisation = company key, application = executable name. An absent or
// unreadable value reads as the given default.
namespace profile {

void SetRegistryKey(const std::string& strCompany);
void SetApplicationName(const std::string& strAppName);

int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault);
std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault);
bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue);
bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue);

} // namespace profile
