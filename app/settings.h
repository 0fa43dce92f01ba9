#pragma once

#include <string>

#include "../convert/text_constants.h"

// The five preferences: section, key names and the defaults every reader
// passes. Reads go through the profile each time, so they see the store as
// it is at that moment.
class CSettings {
public:
    static constexpr const char* kSection = "Settings";
    static constexpr const char* kAutoDetermineCharset = "bAutoDetermineCharset";
    static constexpr const char* kAutoNLCode = "bAutoNLCode";
    static constexpr const char* kClearFilename = "bClearFilename";
    static constexpr const char* kOutputFilename = "nOutputFilename";
    static constexpr const char* kUnmappableDefaultChar = "strUnmappableDefaultChar";

    static constexpr int kDefaultAutoDetermineCharset = 1;
    static constexpr int kDefaultAutoNLCode = 1;
    static constexpr int kDefaultClearFilename = 1;
    static constexpr int kDefaultOutputFilename = 0;
    static constexpr const char* kDefaultUnmappableDefaultChar = kDefaultSubstitute;

    // All five, in the order above.
    static CSettings Load();
    void Save() const;

    static std::string ReadUnmappableDefaultChar();

    int bAutoDetermineCharset = kDefaultAutoDetermineCharset;
    int bAutoNLCode = kDefaultAutoNLCode;
    int bClearFilename = kDefaultClearFilename;
    int nOutputFilename = kDefaultOutputFilename;
    std::string strUnmappableDefaultChar = kDefaultUnmappableDefaultChar;
};
