#include "app_icon_resource.h"

namespace {

constinit int g_nIDAppIcon = 0;
constinit const char* g_pszAppIconImage = nullptr;

} // namespace

void SetAppIconResource(int nIDResource, const char* pszImagePath)
{
    g_nIDAppIcon = nIDResource;
    g_pszAppIconImage = pszImagePath;
}

const char* FindAppIconImage(int nIDResource)
{
    return nIDResource == g_nIDAppIcon ? g_pszAppIconImage : nullptr;
}
