#pragma once

#include <string>

// The name of one settings file: organisation and application.
struct ProfileStore {
    std::string strCompany;
    std::string strAppName;
};

// The settings store. It needs only the toolkit's core library, which loads
// in a fraction of the time the widget library takes, so a batch run that
// reads one setting stays quick.
struct ProfileServices {
    int (*pfnGetProfileInt)(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                            int nDefault);
    std::string (*pfnGetProfileString)(const ProfileStore& store, const std::string& strSection,
                                       const std::string& strEntry, const std::string& strDefault);
    bool (*pfnWriteProfileInt)(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                               int nValue);
    bool (*pfnWriteProfileString)(const ProfileStore& store, const std::string& strSection,
                                  const std::string& strEntry, const std::string& strValue);
};

// Null when the store cannot be loaded; the reason has then gone to
// standard error, once.
const ProfileServices* AfxGetProfileStore();
