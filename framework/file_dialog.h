#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QString>

class CDialog;
class QFileDialog;

constexpr unsigned OFN_OVERWRITEPROMPT = 0x00000002;
constexpr unsigned OFN_HIDEREADONLY = 0x00000004;
constexpr unsigned OFN_ENABLESIZING = 0x00800000;

// Open and save pickers on the toolkit's own (non-native) file dialog.
class CFileDialog {
public:
    // lpszDefExt: added to a name typed without extension ("txt" or "*.txt").
    // lpszFilter: "description|patterns|...||", patterns separated by ";".
    CFileDialog(bool bOpenFileDialog, const char* lpszDefExt = nullptr, const char* lpszFileName = nullptr,
                unsigned dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* lpszFilter = nullptr,
                CDialog* pParentWnd = nullptr);

    // IDOK when a file was confirmed, IDCANCEL otherwise.
    int DoModal();
    // The full path of the confirmed file.
    std::string GetPathName() const { return m_strPathName; }

private:
    bool m_bOpenFileDialog;
    std::string m_strDefExt;
    std::string m_strFileName;
    unsigned m_dwFlags;
    std::string m_strFilter;
    CDialog* m_pParentWnd;
    std::string m_strPathName;
};

// "テキストファイル (*.txt)|*.txt|...||" as the toolkit's "name (patterns);;...".
// The toolkit reads the patterns from the last parentheses of each entry, so
// each entry keeps its own description and gets its patterns appended in a
// second pair, which the dialog hides; "*.*" becomes "*" (every file).
QString ConvertFilterToQt(std::string_view strFilter);

// "*.txt", ".txt" and "txt" all name the extension "txt".
QString NormalizeDefaultExtension(std::string_view strDefExt);

// Tests run pickers without a modal loop: the hook gets the configured
// dialog in place of its exec() and returns what exec() would. An empty
// function restores the real modal run.
using FileDialogHook = std::function<int(QFileDialog& dialog)>;
void SetFileDialogHook(FileDialogHook hook);
