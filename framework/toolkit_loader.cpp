#include "toolkit.h"
#include "toolkit_module.h"

const ToolkitServices* AfxGetToolkit()
{
    using Entry = const ToolkitServices* (*)();
    static const ToolkitServices* const s_pServices = [] {
        const auto pfnEntry = reinterpret_cast<Entry>(AfxToolkitModuleEntry("mojiro_toolkit_services"));
        return pfnEntry != nullptr ? pfnEntry() : nullptr;
    }();
    return s_pServices;
}
