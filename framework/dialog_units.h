#pragma once

#include <QFont>
#include <QRect>

#include "dialog_template.h"

// The dialog font: the face a template names when it is installed, otherwise
// an installed Japanese Gothic face of the same kind (proportional or fixed).
QFont CreateDialogFont(const char* pszFaceName, int nPointSize);

// Dialog units of one font: 4 horizontal units are its average character
// width, 8 vertical units its character height.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int cxChar, int cyChar) : m_cxChar(cxChar), m_cyChar(cyChar) {}

    int ToPixelsX(int nUnits) const;
    int ToPixelsY(int nUnits) const;
    QRect MapDialogRect(const DialogUnitBox& box) const;

    int CharWidth() const { return m_cxChar; }
    int CharHeight() const { return m_cyChar; }

private:
    int m_cxChar;
    int m_cyChar;
};
