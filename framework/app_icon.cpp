#include "app_icon.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

#include "app_icon_resource.h"

QIcon LoadAppIcon(int nIDResource)
{
    const char* pszImage = FindAppIconImage(nIDResource);
    if (pszImage == nullptr)
        return {};
    const QString strPath = QString::fromUtf8(pszImage);
    const QByteArray format = QFileInfo(strPath).suffix().toLower().toUtf8();
    if (!QFile::exists(strPath) || !QImageReader::supportedImageFormats().contains(format))
        return {};
    QIcon icon(strPath);
    // The file is there but may not draw: keep the icon only if it does.
    if (icon.pixmap(32, 32).isNull())
        return {};
    return icon;
}
