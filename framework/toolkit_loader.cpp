#include "profile_store.h"
#include "toolkit.h"
#include "toolkit_module.h"

const ToolkitServices* AfxGetToolkit()
{
    using Entry = const ToolkitServices* (*)();
    static const ToolkitServices* const s_pServices = [] {
        const auto pfnEntry =
            reinterpret_cast<Entry>(AfxToolkitModuleEntry(ToolkitModule::Windows, "mojiro_toolkit_services"));
        return pfnEntry != nullptr ? pfnEntry() : nullptr;
    }();
    return s_pServices;
}

const ProfileServices* AfxGetProfileStore()
{
    using Entry = const ProfileServices* (*)();
    static const ProfileServices* const s_pServices = [] {
        const auto pfnEntry =
            reinterpret_cast<Entry>(AfxToolkitModuleEntry(ToolkitModule::Settings, "mojiro_profile_services"));
        return pfnEntry != nullptr ? pfnEntry() : nullptr;
    }();
    return s_pServices;
}
