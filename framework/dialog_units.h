#pragma once

#include <span>

#include <QFont>
#include <QRect>
#include <QSize>

#include "dialog_template.h"

// The dialog font: the face a template names when it is installed, otherwise
// an installed Japanese Gothic face of the same kind (proportional or fixed).
QFont CreateDialogFont(const char* pszFaceName, int nPointSize);

// What a control's contents take, in pixels, inside the box of its template.
struct ControlExtent {
    DialogUnitBox box;
    QSize needed;
};

// Dialog units: the pixels of one horizontal and one vertical unit. A font's
// own units follow the text it draws, which is Japanese: 8 vertical units
// are its line height and 4 horizontal ones half a full-width character,
// the width of the half-width forms beside it.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    // 4 horizontal units are cxChar pixels, 8 vertical ones cyChar.
    CDialogUnits(int cxChar, int cyChar);

    // These units grown, each axis on its own, until every box holds what
    // its control needs: the widest text of a column sets the width of all.
    CDialogUnits FittedTo(std::span<const ControlExtent> extents) const;

    int ToPixelsX(int nUnits) const;
    int ToPixelsY(int nUnits) const;
    QRect MapDialogRect(const DialogUnitBox& box) const;

private:
    CDialogUnits(double dUnitX, double dUnitY) : m_dUnitX(dUnitX), m_dUnitY(dUnitY) {}

    double m_dUnitX;
    double m_dUnitY;
};
