#include "settings.h"

#include "../framework/profile.h"

CSettings CSettings::Load()
{
    CSettings settings;
    settings.bAutoDetermineCharset = profile::GetProfileInt(kSection, kAutoDetermineCharset, kDefaultAutoDetermineCharset);
    settings.bAutoNLCode = profile::GetProfileInt(kSection, kAutoNLCode, kDefaultAutoNLCode);
    settings.bClearFilename = profile::GetProfileInt(kSection, kClearFilename, kDefaultClearFilename);
    settings.nOutputFilename = profile::GetProfileInt(kSection, kOutputFilename, kDefaultOutputFilename);
    settings.strUnmappableDefaultChar = ReadUnmappableDefaultChar();
    return settings;
}

void CSettings::Save() const
{
    profile::WriteProfileInt(kSection, kAutoDetermineCharset, bAutoDetermineCharset);
    profile::WriteProfileInt(kSection, kAutoNLCode, bAutoNLCode);
    profile::WriteProfileInt(kSection, kClearFilename, bClearFilename);
    profile::WriteProfileInt(kSection, kOutputFilename, nOutputFilename);
    profile::WriteProfileString(kSection, kUnmappableDefaultChar, strUnmappableDefaultChar);
}

std::string CSettings::ReadUnmappableDefaultChar()
{
    return profile::GetProfileString(kSection, kUnmappableDefaultChar, kDefaultUnmappableDefaultChar);
}
