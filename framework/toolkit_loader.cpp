#include "profile_store.h"
#include "toolkit.h"
#include "toolkit_module.h"

namespace {

// The services a loaded library hands out through its entry; null when the
// library or the entry is missing.
template <class Services>
const Services* LoadServices(ToolkitModule module, const char* pszEntry)
{
    using Entry = const Services* (*)();
    const auto pfnEntry = reinterpret_cast<Entry>(AfxToolkitModuleEntry(module, pszEntry));
    return pfnEntry != nullptr ? pfnEntry() : nullptr;
}

} // namespace

const ToolkitServices* AfxGetToolkit()
{
    static const ToolkitServices* const s_pServices =
        LoadServices<ToolkitServices>(ToolkitModule::Windows, "mojiro_toolkit_services");
    return s_pServices;
}

const ProfileServices* AfxGetProfileStore()
{
    static const ProfileServices* const s_pServices =
        LoadServices<ProfileServices>(ToolkitModule::Settings, "mojiro_profile_services");
    return s_pServices;
}
