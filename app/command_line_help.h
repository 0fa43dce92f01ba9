#pragma once

#include <string>

// What --help and --version print: plain text for a terminal, no toolkit.
class CCommandLineHelp {
public:
    // strAppName names the settings file, as the profile does.
    static std::string UsageText(const std::string& strAppName);
    static std::string VersionText();
};
