#pragma once

// The toolkit and the windows live in a module beside the executable
// ("mojiro-windows.so", or ../lib/mojiro/ once installed). It is loaded on
// the first request and stays loaded; null when it cannot be (the reason
// then goes to standard error, once) or lacks the entry.
void* AfxToolkitModuleEntry(const char* pszName);
