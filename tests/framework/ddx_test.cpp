#include "framework/ddx.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <stdexcept>

#include "../ui/support/gui_test_env.h"
#include "framework/dialog.h"
#include "res/dialog_templates.h"

namespace {

// The Options template holds a check box, a radio group and an edit; the
// main dialog's the lists; the About box a static text and a multi-line edit.
class CExchangeDlg : public CDialog {
public:
    explicit CExchangeDlg(int nIDTemplate, std::function<void(CDataExchange*)> exchange)
        : CDialog(nIDTemplate), m_exchange(std::move(exchange))
    {
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        if (m_exchange)
            m_exchange(pDX);
    }

private:
    std::function<void(CDataExchange*)> m_exchange;
};

TEST(DDX, ListIndexOutOfRangeShowsNoSelectionAndNoSelectionReadsMinusOne)
{
    const struct {
        int nWritten;
        int nShown;
    } cases[] = {{0, 0}, {4, 4}, {2, 2}, {5, -1}, {99, -1}, {-1, -1}, {-7, -1}};
    for (const auto& c : cases) {
        int nValue = c.nWritten;
        CExchangeDlg dlg(IDD_CONVERT_DIALOG, [&nValue](CDataExchange* pDX) { DDX_CBIndex(pDX, IDC_INPUT_CHARSET, nValue); });
        ASSERT_TRUE(dlg.Create());
        EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_INPUT_CHARSET))->currentIndex(), c.nShown) << c.nWritten;
        nValue = 1234;
        dlg.UpdateData(true);
        EXPECT_EQ(nValue, c.nShown) << c.nWritten;
    }
}

TEST(DDX, RadioGroupIndexNoneCheckedReadsMinusOne)
{
    const struct {
        int nWritten;
        int nChecked; // index of the checked button, -1 none
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, -1}, {5, -1}, {-1, -1}};
    for (const auto& c : cases) {
        int nValue = 1; // start from a checked button, so that "none" must clear it
        CExchangeDlg dlg(IDD_OPTION_DIALOG, [&nValue](CDataExchange* pDX) { DDX_Radio(pDX, IDC_OUTPUT_NONE, nValue); });
        ASSERT_TRUE(dlg.Create());
        nValue = c.nWritten;
        dlg.UpdateData(false);
        const std::vector<QAbstractButton*> group = dlg.GetRadioGroup(IDC_OUTPUT_NONE);
        ASSERT_EQ(group.size(), 3u); // the group box and the label after it are not in it
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(group[static_cast<std::size_t>(i)]->isChecked(), i == c.nChecked) << c.nWritten << "/" << i;
        nValue = 1234;
        dlg.UpdateData(true);
        EXPECT_EQ(nValue, c.nChecked) << c.nWritten;
        // The group stays exclusive after being cleared.
        group[0]->click();
        group[2]->click();
        EXPECT_FALSE(group[0]->isChecked());
    }
}

TEST(DDX, CheckBoxReadsZeroOrOneAndShowsAnyNonZeroAsChecked)
{
    const struct {
        int nWritten;
        int nRead;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {-1, 1}, {99, 1}};
    for (const auto& c : cases) {
        int nValue = c.nWritten;
        CExchangeDlg dlg(IDD_OPTION_DIALOG,
                         [&nValue](CDataExchange* pDX) { DDX_Check(pDX, IDC_AUTO_DETERMINE_CHARSET, nValue); });
        ASSERT_TRUE(dlg.Create());
        dlg.UpdateData(true);
        EXPECT_EQ(nValue, c.nRead) << c.nWritten;
    }
}

TEST(DDX, TextTravelsWholeThroughEditsAndStaticText)
{
    const std::string strLong(5000, 'x');
    const struct {
        int nTemplate;
        int nControl;
        std::string strText;
    } cases[] = {
        {IDD_OPTION_DIALOG, IDC_UNMAPPABLE_DEFAULT_CHAR, ""},
        {IDD_OPTION_DIALOG, IDC_UNMAPPABLE_DEFAULT_CHAR, "〓 longer than one"},
        {IDD_CONVERT_DIALOG, IDC_INPUT_FILENAME, "/home/user/文書/a b.txt"},
        {IDD_CONVERT_DIALOG, IDC_INPUT_FILENAME, strLong},
        {IDD_ABOUTBOX, IDC_FILE_DESCRIPTION, "Mojiro & Co"},
        {IDD_ABOUTBOX, IDC_RELEASE_NOTE, "line 1\nline 2\n\tindented"},
    };
    for (const auto& c : cases) {
        std::string strValue = c.strText;
        CExchangeDlg dlg(c.nTemplate, [&](CDataExchange* pDX) { DDX_Text(pDX, c.nControl, strValue); });
        ASSERT_TRUE(dlg.Create());
        strValue = "overwritten";
        dlg.UpdateData(true);
        EXPECT_EQ(strValue, c.strText) << c.nControl;
    }
}

TEST(DDX, WritingTheSameTextLeavesTheCaretAlone)
{
    std::string strValue = "abcdef";
    CExchangeDlg dlg(IDD_CONVERT_DIALOG, [&](CDataExchange* pDX) { DDX_Text(pDX, IDC_INPUT_FILENAME, strValue); });
    ASSERT_TRUE(dlg.Create());
    auto* pEdit = qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_INPUT_FILENAME));
    pEdit->setCursorPosition(2);
    dlg.UpdateData(false);
    EXPECT_EQ(pEdit->cursorPosition(), 2);
    strValue = "changed";
    dlg.UpdateData(false);
    EXPECT_EQ(pEdit->text(), QStringLiteral("changed"));
}

TEST(DDX, AControlTheTemplateLacksIsAnError)
{
    int nValue = 0;
    CExchangeDlg dlg(IDD_ABOUTBOX, [&](CDataExchange* pDX) { DDX_CBIndex(pDX, 4242, nValue); });
    guitest::MessageRecorder messages;
    ASSERT_TRUE(dlg.Create()); // the start-up exchange fails under the guard
    EXPECT_EQ(messages.Messages().size(), 1u);
    EXPECT_THROW(dlg.UpdateData(true), std::logic_error);
}

} // namespace
