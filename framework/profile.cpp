#include "profile.h"

#include "toolkit.h"

namespace profile {

namespace {

ProfileStore g_store;

} // namespace

void SetRegistryKey(const std::string& strCompany) { g_store.strCompany = strCompany; }
void SetApplicationName(const std::string& strAppName) { g_store.strAppName = strAppName; }

// Without the toolkit every value reads as its default and nothing is saved.
int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault)
{
    const ToolkitServices* pToolkit = AfxGetToolkit();
    return pToolkit != nullptr ? pToolkit->pfnGetProfileInt(g_store, strSection, strEntry, nDefault) : nDefault;
}

std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault)
{
    const ToolkitServices* pToolkit = AfxGetToolkit();
    return pToolkit != nullptr ? pToolkit->pfnGetProfileString(g_store, strSection, strEntry, strDefault)
                               : strDefault;
}

bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue)
{
    const ToolkitServices* pToolkit = AfxGetToolkit();
    return pToolkit != nullptr && pToolkit->pfnWriteProfileInt(g_store, strSection, strEntry, nValue);
}

bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue)
{
    const ToolkitServices* pToolkit = AfxGetToolkit();
    return pToolkit != nullptr && pToolkit->pfnWriteProfileString(g_store, strSection, strEntry, strValue);
}

} // namespace profile
