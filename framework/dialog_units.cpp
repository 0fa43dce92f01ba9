#include "dialog_units.h"

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

// Rounded like the windowing system's own dialog-unit conversion.
int MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    const long long product = static_cast<long long>(nNumber) * nNumerator;
    const long long half = nDenominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / nDenominator : (product - half) / nDenominator);
}

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
    const QFontMetrics metrics(font);
    const int nWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_cxChar = (nWidth / 26 + 1) / 2;
    m_cyChar = metrics.height();
    if (m_cxChar <= 0)
        m_cxChar = 1;
    if (m_cyChar <= 0)
        m_cyChar = 1;
}

int CDialogUnits::ToPixelsX(int nUnits) const { return MulDiv(nUnits, m_cxChar, 4); }

int CDialogUnits::ToPixelsY(int nUnits) const { return MulDiv(nUnits, m_cyChar, 8); }

QRect CDialogUnits::MapDialogRect(const DialogUnitBox& box) const
{
    const int nLeft = ToPixelsX(box.x);
    const int nTop = ToPixelsY(box.y);
    // Edges are mapped, not sizes, so adjacent boxes stay adjacent.
    return QRect(nLeft, nTop, ToPixelsX(box.x + box.cx) - nLeft, ToPixelsY(box.y + box.cy) - nTop);
}
