#pragma once

#include <string>

// The name of one settings file: organisation and application.
struct ProfileStore {
    std::string strCompany;
    std::string strAppName;
};

// What only the widget toolkit provides: the settings store, real message
// boxes and the URL opener. The program maps the toolkit the first time it
// needs one of these, so a batch run that shows no box never loads it; the
// tests link it in.
struct ToolkitServices {
    int (*pfnGetProfileInt)(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                            int nDefault);
    std::string (*pfnGetProfileString)(const ProfileStore& store, const std::string& strSection,
                                       const std::string& strEntry, const std::string& strDefault);
    bool (*pfnWriteProfileInt)(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                               int nValue);
    bool (*pfnWriteProfileString)(const ProfileStore& store, const std::string& strSection,
                                  const std::string& strEntry, const std::string& strValue);
    // False when no box could be shown (the display accepts no connection).
    bool (*pfnShowMessageBox)(const std::string& strTitle, const std::string& strText);
    void (*pfnOpenUrl)(const std::string& strUrl);
};

// Null when the toolkit cannot be loaded; the reason has then gone to
// standard error, once.
const ToolkitServices* AfxGetToolkit();
