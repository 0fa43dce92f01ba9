#include "about_dlg.h"

#include <new>

#include "../app/conversion_job.h"
#include "../convert/text_converter.h"
#include "../framework/ddx.h"
#include "../framework/file_system.h"
#include "../framework/version_info.h"
#include "../res/dialog_templates.h"

namespace {

constexpr const char* kReleaseNotePath = "./release.txt";
constexpr const char* kQueryFileDescription = "\\StringFileInfo\\041104b0\\FileDescription";
constexpr const char* kQueryLegalCopyright = "\\StringFileInfo\\041104b0\\LegalCopyright";

// The notes in the encoding the dialog would detect for them as a picked
// input, as UTF-8 text up to the first zero character; line endings stay as
// they are.
std::string ReadReleaseNote()
{
    IFileSystem& fileSystem = RealFileSystem();
    CharsetId nCharset = Charset::None;
    std::string strContents;
    CByteBuffer text;
    try {
        if (!CConversionJob(fileSystem).Detect(kReleaseNotePath, &nCharset) ||
            !fileSystem.TryReadText(kReleaseNotePath, &strContents))
            return {};
        if (!Charset::IsValid(nCharset))
            nCharset = Charset::ShiftJis; // what the program takes when detection cannot tell
        const auto* pContents = reinterpret_cast<const std::uint8_t*>(strContents.data());
        const auto nContents = static_cast<std::int64_t>(strContents.size());
        const std::int64_t nMark = Charset::InputMarkLength(nCharset, Charset::Utf8, pContents, nContents);
        // The table's stage alone: the line-ending pass would rewrite them.
        CTextConverter converter;
        ConversionTable[nCharset * Charset::Count + Charset::Utf8](pContents + nMark, nContents - nMark, &text,
                                                                   &converter);
    } catch (const std::bad_alloc&) {
        return {}; // notes too large to hold: the box opens without them
    }
    const char* pText = reinterpret_cast<const char*>(text.Data());
    const std::size_t nLength = static_cast<std::size_t>(text.Size());
    const void* pZero = nLength > 0 ? std::memchr(pText, 0, nLength) : nullptr;
    return std::string(pText, pZero != nullptr ? static_cast<const char*>(pZero) : pText + nLength);
}

} // namespace

CAboutDlg::CAboutDlg() : CDialog(IDD)
{
    m_strReleaseNote = ReadReleaseNote();

    std::string strBlock;
    if (version::GetFileVersionInfo(version::GetModuleFileName(), &strBlock)) {
        m_strFileDescription = version::VerQueryValue(strBlock, kQueryFileDescription);
        m_strLegalCopyright = version::VerQueryValue(strBlock, kQueryLegalCopyright);
    }
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_LEGAL_COPYRIGHT, m_strLegalCopyright);
    DDX_Text(pDX, IDC_RELEASE_NOTE, m_strReleaseNote);
    DDX_Text(pDX, IDC_FILE_DESCRIPTION, m_strFileDescription);
}
