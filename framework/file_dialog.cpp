#include "file_dialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QStringList>

#include "dialog.h"
#include "gui_application.h"
#include "message_box.h"

namespace {

FileDialogHook& Hook()
{
    static FileDialogHook hook;
    return hook;
}

QString Trimmed(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed(); }

// The name takes what the other columns leave, and they take what their
// texts need, so that at the picker's own size no column is cut.
void FitColumns(QFileDialog& dialog)
{
    dialog.setViewMode(QFileDialog::Detail);
    auto* pView = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (pView == nullptr)
        return;
    QHeaderView* pHeader = pView->header();
    pHeader->setStretchLastSection(false);
    pHeader->setSectionResizeMode(QHeaderView::ResizeToContents);
    pHeader->setSectionResizeMode(0, QHeaderView::Stretch);
}

} // namespace

void SetFileDialogHook(FileDialogHook hook) { Hook() = std::move(hook); }

QString ConvertFilterToQt(std::string_view strFilter)
{
    QStringList fields = QString::fromUtf8(strFilter.data(), static_cast<qsizetype>(strFilter.size())).split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const QString strName = fields[i].trimmed();
        if (strName.isEmpty())
            break; // "||" ends the list
        QStringList patterns;
        for (const QString& strPattern : fields[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString strClean = strPattern.trimmed();
            if (strClean.isEmpty())
                continue;
            patterns << (strClean == QStringLiteral("*.*") ? QStringLiteral("*") : strClean);
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        entries << strName + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

QString NormalizeDefaultExtension(std::string_view strDefExt)
{
    QString strExt = Trimmed(strDefExt);
    while (strExt.startsWith(u'*') || strExt.startsWith(u'.'))
        strExt.remove(0, 1);
    return strExt;
}

CFileDialog::CFileDialog(bool bOpenFileDialog, const char* lpszDefExt, const char* lpszFileName, unsigned dwFlags,
                         const char* lpszFilter, CDialog* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_strDefExt(lpszDefExt != nullptr ? lpszDefExt : ""),
      m_strFileName(lpszFileName != nullptr ? lpszFileName : ""), m_dwFlags(dwFlags),
      m_strFilter(lpszFilter != nullptr ? lpszFilter : ""), m_pParentWnd(pParentWnd)
{
}

int CFileDialog::DoModal()
{
    QWidget* pParent = m_pParentWnd != nullptr ? static_cast<QWidget*>(m_pParentWnd->GetWindow()) : nullptr;
    if (pParent == nullptr)
        pParent = QApplication::activeModalWidget();
    QFileDialog dialog(pParent);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (m_dwFlags & OFN_OVERWRITEPROMPT) == 0);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setSizeGripEnabled((m_dwFlags & OFN_ENABLESIZING) != 0);
    const QString strFilter = ConvertFilterToQt(m_strFilter);
    if (!strFilter.isEmpty())
        dialog.setNameFilters(strFilter.split(QStringLiteral(";;")));
    const QString strDefExt = NormalizeDefaultExtension(m_strDefExt);
    if (!strDefExt.isEmpty())
        dialog.setDefaultSuffix(strDefExt);
    if (!m_strFileName.empty())
        dialog.selectFile(QFile::decodeName(m_strFileName.c_str()));

    FitColumns(dialog);

    const int nResult = Hook() ? Hook()(dialog) : dialog.exec();
    AfxReturnFocus(pParent);
    if (nResult != QDialog::Accepted)
        return IDCANCEL;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return IDCANCEL;
    m_strPathName = QFile::encodeName(files.first()).toStdString();
    return IDOK;
}
