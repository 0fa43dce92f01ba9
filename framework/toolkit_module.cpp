#include "toolkit_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

std::string ExecutableDir()
{
    char szPath[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", szPath, sizeof szPath - 1);
    if (n <= 0)
        return ".";
    std::string strPath(szPath, static_cast<std::size_t>(n));
    const std::size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? std::string(".") : strPath.substr(0, nSlash);
}

void* LoadModule(const char* pszModule)
{
    const std::string strDir = ExecutableDir();
    std::string strError;
    // Beside the executable in the build tree; under lib/ once installed.
    for (const std::string& strPath : {strDir + "/" + pszModule, strDir + "/../lib/mojiro/" + pszModule}) {
        // Now, not lazily: a missing symbol is a failed load here, not a
        // crash in the middle of a window.
        if (void* pHandle = ::dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL))
            return pHandle;
        if (strError.empty())
            strError = ::dlerror();
    }
    std::fprintf(stderr, "mojiro: cannot load %s: %s\n", pszModule, strError.c_str());
    return nullptr;
}

void* ModuleHandle(ToolkitModule module)
{
    if (module == ToolkitModule::Settings) {
        static void* const s_pSettings = LoadModule("mojiro-settings.so");
        return s_pSettings;
    }
    static void* const s_pWindows = LoadModule("mojiro-windows.so");
    return s_pWindows;
}

} // namespace

void* AfxToolkitModuleEntry(ToolkitModule module, const char* pszName)
{
    void* const pHandle = ModuleHandle(module);
    return pHandle != nullptr ? ::dlsym(pHandle, pszName) : nullptr;
}
