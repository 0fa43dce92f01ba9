#pragma once

// The libraries the program loads beside it (or from ../lib/mojiro/ once
// installed): the windows with the widget toolkit, and the settings store
// with the toolkit's core alone.
enum class ToolkitModule { Windows, Settings };

// Loads the module on the first request, keeps it loaded and returns the
// entry; null when the module cannot be loaded (the reason then goes to
// standard error, once) or lacks the entry.
void* AfxToolkitModuleEntry(ToolkitModule module, const char* pszName);
