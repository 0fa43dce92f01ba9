#include "dialog_units.h"

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace {

// Proportional faces ("UI" Gothic, "P" Gothic in either width) map to the
// proportional IPA face, fixed-pitch ones to the fixed face.
bool IsProportionalFace(const QString& strFace)
{
    return strFace.contains(QStringLiteral("UI")) || strFace.contains(QChar(u'P')) ||
           strFace.contains(QChar(u'Ｐ'));
}

bool IsInstalled(const QString& strFamily)
{
    return QFontDatabase::families().contains(strFamily, Qt::CaseInsensitive);
}

// Rounded half away from zero, like the windowing system's conversion.
int RoundEdge(double dPixels) { return static_cast<int>(std::lround(dPixels)); }

} // namespace

QFont CreateDialogFont(const char* pszFaceName, int nPointSize)
{
    const QString strFace = QString::fromUtf8(pszFaceName != nullptr ? pszFaceName : "");
    QString strFamily = strFace;
    if (strFamily.isEmpty() || !IsInstalled(strFamily)) {
        const QString strProportional = QStringLiteral("IPAPGothic");
        const QString strFixed = QStringLiteral("IPAGothic");
        const bool bProportional = IsProportionalFace(strFace);
        const QString& strFirst = bProportional ? strProportional : strFixed;
        const QString& strSecond = bProportional ? strFixed : strProportional;
        strFamily = IsInstalled(strFirst) ? strFirst : (IsInstalled(strSecond) ? strSecond : QString());
    }
    QFont font = strFamily.isEmpty() ? QFont() : QFont(strFamily);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(nPointSize > 0 ? nPointSize : 9);
    return font;
}

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    // The ideograph stands for every full-width form; a Latin face without
    // one measures it in the fallback face that then draws the text.
    const double dFullWidth = metrics.horizontalAdvance(QChar(u'\u6F22'));
    m_dUnitX = std::max(dFullWidth, 1.0) / 8.0;
    m_dUnitY = std::max(metrics.height(), 1.0) / 8.0;
}

CDialogUnits::CDialogUnits(int cxChar, int cyChar)
    : m_dUnitX(std::max(cxChar, 1) / 4.0), m_dUnitY(std::max(cyChar, 1) / 8.0)
{
}

CDialogUnits CDialogUnits::FittedTo(std::span<const ControlExtent> extents) const
{
    double dUnitX = m_dUnitX;
    double dUnitY = m_dUnitY;
    for (const ControlExtent& extent : extents) {
        // One pixel more: rounding the edges may take one off a box.
        if (extent.box.cx > 0 && extent.needed.width() > 0)
            dUnitX = std::max(dUnitX, (extent.needed.width() + 1.0) / extent.box.cx);
        if (extent.box.cy > 0 && extent.needed.height() > 0)
            dUnitY = std::max(dUnitY, (extent.needed.height() + 1.0) / extent.box.cy);
    }
    return CDialogUnits(dUnitX, dUnitY);
}

int CDialogUnits::ToPixelsX(int nUnits) const { return RoundEdge(nUnits * m_dUnitX); }

int CDialogUnits::ToPixelsY(int nUnits) const { return RoundEdge(nUnits * m_dUnitY); }

QRect CDialogUnits::MapDialogRect(const DialogUnitBox& box) const
{
    const int nLeft = ToPixelsX(box.x);
    const int nTop = ToPixelsY(box.y);
    // Edges are mapped, not sizes, so adjacent boxes stay adjacent.
    return QRect(nLeft, nTop, ToPixelsX(box.x + box.cx) - nLeft, ToPixelsY(box.y + box.cy) - nTop);
}
