#include "profile.h"

#include "profile_store.h"

namespace profile {

namespace {

ProfileStore g_store;

} // namespace

void SetRegistryKey(const std::string& strCompany) { g_store.strCompany = strCompany; }
void SetApplicationName(const std::string& strAppName) { g_store.strAppName = strAppName; }

// Without the store every value reads as its default and nothing is saved.
int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault)
{
    const ProfileServices* pStore = AfxGetProfileStore();
    return pStore != nullptr ? pStore->pfnGetProfileInt(g_store, strSection, strEntry, nDefault) : nDefault;
}

std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault)
{
    const ProfileServices* pStore = AfxGetProfileStore();
    return pStore != nullptr ? pStore->pfnGetProfileString(g_store, strSection, strEntry, strDefault)
                               : strDefault;
}

bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue)
{
    const ProfileServices* pStore = AfxGetProfileStore();
    return pStore != nullptr && pStore->pfnWriteProfileInt(g_store, strSection, strEntry, nValue);
}

bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue)
{
    const ProfileServices* pStore = AfxGetProfileStore();
    return pStore != nullptr && pStore->pfnWriteProfileString(g_store, strSection, strEntry, strValue);
}

} // namespace profile
