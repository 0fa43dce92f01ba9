#include "url_opener.h"

#include <cstdlib>

#include <QProcess>
#include <QString>
#include <QStringList>

void OpenUrl(const std::string& strUrl)
{
    const char* pszOpener = std::getenv("MOJIRO_URL_OPENER");
    const QString strProgram = QString::fromUtf8(pszOpener != nullptr && *pszOpener != '\0' ? pszOpener : "xdg-open");
    // Detached: the opener outlives neither a wait nor a zombie of ours, and
    // the address travels as one argument, never through a shell.
    QProcess::startDetached(strProgram, QStringList{QString::fromUtf8(strUrl.data(), static_cast<qsizetype>(strUrl.size()))});
}
