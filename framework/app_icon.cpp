#include "app_icon.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>

#include "../res/dialog_templates.h"

QIcon LoadAppIcon(int nIDResource)
{
    if (nIDResource != IDR_MAINFRAME)
        return {};
    const QString strPath = QStringLiteral(":/mojiro/mojiro.svg");
    if (!QFile::exists(strPath) || !QImageReader::supportedImageFormats().contains("svg"))
        return {};
    QIcon icon(strPath);
    // The file is there but may not draw: keep the icon only if it does.
    if (icon.pixmap(32, 32).isNull())
        return {};
    return icon;
}
