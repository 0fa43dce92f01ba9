#include "ddx.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <stdexcept>

#include "dialog.h"

// Text is written only when it differs, so that a handler's write-back does
// not move the caret of the edit the user is typing in.

QWidget* CDataExchange::PrepareCtrl(int nIDC) const
{
    QWidget* pWidget = m_pDlgWnd != nullptr ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
    if (pWidget == nullptr)
        throw std::logic_error("dialog " + std::to_string(m_pDlgWnd != nullptr ? m_pDlgWnd->GetTemplateID() : 0) +
                               " has no control " + std::to_string(nIDC));
    return pWidget;
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    QWidget* pWidget = pDX->PrepareCtrl(nIDC);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
        if (pDX->m_bSaveAndValidate)
            value = pEdit->text().toStdString();
        else if (pEdit->text() != QString::fromStdString(value))
            pEdit->setText(QString::fromStdString(value));
    } else if (auto* pText = qobject_cast<QPlainTextEdit*>(pWidget)) {
        if (pDX->m_bSaveAndValidate)
            value = pText->toPlainText().toStdString();
        else if (pText->toPlainText() != QString::fromStdString(value))
            pText->setPlainText(QString::fromStdString(value));
    } else if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
        if (pDX->m_bSaveAndValidate)
            value = pLabel->text().toStdString();
        else
            pLabel->setText(QString::fromStdString(value));
    } else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
        if (pDX->m_bSaveAndValidate)
            value = pButton->text().toStdString();
        else
            pButton->setText(QString::fromStdString(value));
    } else {
        throw std::logic_error("control " + std::to_string(nIDC) + " holds no text");
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    auto* pCombo = qobject_cast<QComboBox*>(pDX->PrepareCtrl(nIDC));
    if (pCombo == nullptr)
        throw std::logic_error("control " + std::to_string(nIDC) + " is not a list");
    if (pDX->m_bSaveAndValidate)
        index = pCombo->currentIndex();
    else
        pCombo->setCurrentIndex(index >= 0 && index < pCombo->count() ? index : -1);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    auto* pButton = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(nIDC));
    if (pButton == nullptr || !pButton->isCheckable())
        throw std::logic_error("control " + std::to_string(nIDC) + " is not a check box");
    if (pDX->m_bSaveAndValidate)
        value = pButton->isChecked() ? 1 : 0;
    else
        pButton->setChecked(value != 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    pDX->PrepareCtrl(nIDC);
    const std::vector<QAbstractButton*> group = pDX->m_pDlgWnd->GetRadioGroup(nIDC);
    if (group.empty())
        throw std::logic_error("control " + std::to_string(nIDC) + " starts no radio group");
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (group[i]->isChecked()) {
                value = static_cast<int>(i);
                break;
            }
        }
        return;
    }
    // An exclusive group keeps one button checked; clearing them all needs
    // the exclusivity lifted for a moment.
    QButtonGroup* pGroup = group.front()->group();
    const bool bExclusive = pGroup != nullptr && pGroup->exclusive();
    if (pGroup != nullptr)
        pGroup->setExclusive(false);
    for (std::size_t i = 0; i < group.size(); ++i)
        group[i]->setChecked(static_cast<int>(i) == value);
    if (pGroup != nullptr)
        pGroup->setExclusive(bExclusive);
}
