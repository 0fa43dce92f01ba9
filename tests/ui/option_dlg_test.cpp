#include "ui/option_dlg.h"

#include <QTest>
#include <QAbstractButton>
#include <QLineEdit>

#include "res/dialog_templates.h"
#include "support/gui_test_env.h"

namespace {

QAbstractButton* ButtonOf(QWidget* pWindow, int nID)
{
    return qobject_cast<QAbstractButton*>(pWindow->findChild<QWidget*>(QStringLiteral("IDC_%1").arg(nID)));
}

struct Shown {
    bool bDetect;
    bool bNL;
    bool bClear;
    int nRadio; // index of the checked radio button, -1 for none
    std::string strSubstitute;
};

Shown ReadControls(QWidget* pWindow)
{
    Shown shown{ButtonOf(pWindow, IDC_AUTO_DETERMINE_CHARSET)->isChecked(), ButtonOf(pWindow, IDC_AUTO_NLCODE)->isChecked(),
                ButtonOf(pWindow, IDC_CLEAR_FILENAME)->isChecked(), -1,
                pWindow->findChild<QLineEdit*>(QStringLiteral("IDC_1008"))->text().toStdString()};
    const int radios[] = {IDC_OUTPUT_NONE, IDC_OUTPUT_SUFFIX, IDC_OUTPUT_OVERWRITE};
    for (int i = 0; i < 3; ++i) {
        if (ButtonOf(pWindow, radios[i])->isChecked())
            shown.nRadio = shown.nRadio == -1 ? i : -2; // -2: more than one
    }
    return shown;
}

struct RoundTripCase {
    const char* pszName;
    int bDetect;
    int bNL;
    int bClear;
    int nOutputFilename;
    std::string strSubstitute;
    Shown expectedShown;
    int nExpectedOutputFilename; // read back by OK without changes
};

class OptionRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(OptionRoundTrip, ShowsTheFieldsAndOkReadsThemBack)
{
    const RoundTripCase& c = GetParam();
    COptionDlg dlg;
    dlg.m_bAutoDetermineCharset = c.bDetect;
    dlg.m_bAutoNLCode = c.bNL;
    dlg.m_bClearFilename = c.bClear;
    dlg.m_nOutputFilename = c.nOutputFilename;
    dlg.m_strUnmappableDefaultChar = c.strSubstitute;
    Shown shown{};
    guitest::WhenModalShown([&shown](QWidget* pWindow) {
        shown = ReadControls(pWindow);
        ButtonOf(pWindow, IDOK)->click();
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(shown.bDetect, c.expectedShown.bDetect);
    EXPECT_EQ(shown.bNL, c.expectedShown.bNL);
    EXPECT_EQ(shown.bClear, c.expectedShown.bClear);
    EXPECT_EQ(shown.nRadio, c.expectedShown.nRadio);
    EXPECT_EQ(shown.strSubstitute, c.strSubstitute);
    EXPECT_EQ(dlg.m_bAutoDetermineCharset, c.expectedShown.bDetect ? 1 : 0);
    EXPECT_EQ(dlg.m_bAutoNLCode, c.expectedShown.bNL ? 1 : 0);
    EXPECT_EQ(dlg.m_bClearFilename, c.expectedShown.bClear ? 1 : 0);
    EXPECT_EQ(dlg.m_nOutputFilename, c.nExpectedOutputFilename);
    EXPECT_EQ(dlg.m_strUnmappableDefaultChar, c.strSubstitute);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OptionRoundTrip,
    ::testing::Values(RoundTripCase{"Defaults", 1, 1, 1, 0, "_", {true, true, true, 0, ""}, 0},
                      RoundTripCase{"AllOff", 0, 0, 0, 2, "?", {false, false, false, 2, ""}, 2},
                      RoundTripCase{"Suffix", 1, 0, 1, 1, "_", {true, false, true, 1, ""}, 1},
                      // Any non-zero flag shows checked and reads back as 1.
                      RoundTripCase{"NonZeroFlags", 5, -1, 2, 0, "_", {true, true, true, 0, ""}, 0},
                      // No such button: none checked, and OK reads -1.
                      RoundTripCase{"OutOfRangeFive", 1, 1, 1, 5, "_", {true, true, true, -1, ""}, -1},
                      RoundTripCase{"OutOfRangeNegative", 1, 1, 1, -1, "_", {true, true, true, -1, ""}, -1},
                      RoundTripCase{"EmptySubstitute", 1, 1, 1, 0, "", {true, true, true, 0, ""}, 0},
                      RoundTripCase{"LongSubstitute", 1, 1, 1, 0, "〓〓 and more", {true, true, true, 0, ""}, 0}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(OptionDlg, CancelLeavesTheFieldsAsTheyWere)
{
    for (const char* pszHow : {"button", "escape", "close"}) {
        COptionDlg dlg;
        dlg.m_bAutoDetermineCharset = 1;
        dlg.m_bAutoNLCode = 0;
        dlg.m_bClearFilename = 1;
        dlg.m_nOutputFilename = 2;
        dlg.m_strUnmappableDefaultChar = "_";
        guitest::WhenModalShown([pszHow](QWidget* pWindow) {
            ButtonOf(pWindow, IDC_AUTO_DETERMINE_CHARSET)->click();
            ButtonOf(pWindow, IDC_AUTO_NLCODE)->click();
            ButtonOf(pWindow, IDC_OUTPUT_NONE)->click();
            pWindow->findChild<QLineEdit*>()->setText(QStringLiteral("x"));
            if (std::string(pszHow) == "button")
                ButtonOf(pWindow, IDCANCEL)->click();
            else if (std::string(pszHow) == "escape")
                QTest::keyClick(pWindow, Qt::Key_Escape);
            else
                pWindow->close();
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << pszHow;
        EXPECT_EQ(dlg.m_bAutoDetermineCharset, 1) << pszHow;
        EXPECT_EQ(dlg.m_bAutoNLCode, 0) << pszHow;
        EXPECT_EQ(dlg.m_nOutputFilename, 2) << pszHow;
        EXPECT_EQ(dlg.m_strUnmappableDefaultChar, "_") << pszHow;
    }
}

TEST(OptionDlg, RadioButtonsAreExclusiveAndEnterMeansOk)
{
    COptionDlg dlg;
    dlg.m_nOutputFilename = 0;
    int nChecked = 0;
    guitest::WhenModalShown([&nChecked](QWidget* pWindow) {
        ButtonOf(pWindow, IDC_OUTPUT_OVERWRITE)->click();
        ButtonOf(pWindow, IDC_OUTPUT_SUFFIX)->click();
        nChecked = ReadControls(pWindow).nRadio;
        pWindow->findChild<QLineEdit*>()->setFocus();
        QTest::keyClick(pWindow->findChild<QLineEdit*>(), Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(nChecked, 1);
    EXPECT_EQ(dlg.m_nOutputFilename, 1);
}

} // namespace
