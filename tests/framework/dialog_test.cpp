#include "framework/dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <stdexcept>
#include <optional>
#include <thread>

#include "../ui/support/gui_test_env.h"
#include "tests/support/xvfb_server.h"
#include "framework/ddx.h"
#include "framework/dialog_units.h"
#include "framework/file_system.h"
#include "framework/win_app.h"
#include "res/dialog_templates.h"

namespace {

class CHelpCountingApp : public CWinApp {
public:
    void WinHelp(std::uintptr_t, unsigned) override { ++m_nHelp; }
    int m_nHelp = 0;
};
CHelpCountingApp theApp;

// The main dialog's template with a recorder for what the framework calls.
class CProbeDlg : public CDialog {
public:
    CProbeDlg() : CDialog(IDD_CONVERT_DIALOG)
    {
        MapNotify(Notify::EditChange, IDC_INPUT_FILENAME, [this] { m_events.push_back("change"); });
        MapNotify(Notify::SelChange, IDC_OUTPUT_CHARSET, [this] { m_events.push_back("selchange"); });
        MapNotify(Notify::Clicked, IDC_BROWSE_INPUT, [this] {
            m_events.push_back("browse");
            if (m_pThrow)
                m_pThrow();
            m_events.push_back("after throw");
        });
    }

    std::function<void()> m_pThrow;
    std::vector<std::string> m_events;
    std::string m_strInput = "preset";
    int m_nOutput = 2;
    std::vector<std::string> m_dropped;
    bool m_bEndInInit = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        auto* pList = qobject_cast<QComboBox*>(GetDlgItem(IDC_OUTPUT_CHARSET));
        m_events.push_back(std::string(pDX->m_bSaveAndValidate ? "save" : "load") + " lists=" +
                           std::to_string(pList->count()));
        DDX_Text(pDX, IDC_INPUT_FILENAME, m_strInput);
        DDX_CBIndex(pDX, IDC_OUTPUT_CHARSET, m_nOutput);
    }

    bool OnInitDialog() override
    {
        m_events.push_back("init begins");
        CDialog::OnInitDialog();
        DragAcceptFiles(true);
        m_events.push_back("init ends");
        if (m_bEndInInit)
            EndDialog(IDOK);
        return true;
    }

    void OnDropFiles(const std::vector<std::string>& files) override { m_dropped = files; }
};

TEST(Dialog, StartFillsTheListsThenShowsTheFieldsThenRunsOnInitDialog)
{
    CProbeDlg dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.m_events, (std::vector<std::string>{"init begins", "load lists=5", "init ends"}));
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_INPUT_FILENAME))->text(), QStringLiteral("preset"));
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_OUTPUT_CHARSET))->currentIndex(), 2);
    // A list without an exchange starts without a selection.
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_INPUT_CHARSET))->currentIndex(), -1);
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_INPUT_CHARSET))->itemText(2), QStringLiteral("ISO-2022-JP"));
    // Focus goes to the first tab stop.
    EXPECT_EQ(dlg.GetWindow()->focusWidget(), dlg.GetDlgItem(IDC_INPUT_FILENAME));
}

TEST(Dialog, ChangesMadeByUpdateDataReachNoHandler)
{
    CProbeDlg dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.m_events.clear();
    dlg.m_strInput = "written by the program";
    dlg.m_nOutput = 4;
    dlg.UpdateData(false);
    EXPECT_EQ(dlg.m_events, std::vector<std::string>{"load lists=5"});

    dlg.m_events.clear();
    qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_INPUT_FILENAME))->setText(QStringLiteral("typed"));
    qobject_cast<QComboBox*>(dlg.GetDlgItem(IDC_OUTPUT_CHARSET))->setCurrentIndex(1);
    EXPECT_EQ(dlg.m_events, (std::vector<std::string>{"change", "selchange"}));
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.m_strInput, "typed");
    EXPECT_EQ(dlg.m_nOutput, 1);
}

TEST(Dialog, AnExceptionEscapingAHandlerIsReportedAndTheDialogCarriesOn)
{
    const struct {
        const char* pszName;
        std::function<void()> fn;
        const char* pszInMessage;
    } cases[] = {
        {"file", [] { throw CFileException("/no/such/file.txt", "No such file or directory"); }, "/no/such/file.txt"},
        {"memory", [] { throw std::bad_alloc(); }, "メモリ"},
        {"other", [] { throw std::runtime_error("broken"); }, "broken"},
    };
    for (const auto& c : cases) {
        guitest::MessageRecorder messages;
        CProbeDlg dlg;
        ASSERT_TRUE(dlg.Create());
        dlg.GetWindow()->show();
        dlg.m_pThrow = c.fn;
        qobject_cast<QPushButton*>(dlg.GetDlgItem(IDC_BROWSE_INPUT))->click();
        ASSERT_EQ(messages.Messages().size(), 1u) << c.pszName;
        EXPECT_NE(messages.Messages()[0].find(c.pszInMessage), std::string::npos) << messages.Messages()[0];
        EXPECT_EQ(dlg.m_events.back(), "browse") << "the rest of the handler ran: " << c.pszName;
        EXPECT_TRUE(dlg.GetWindow()->isVisible());
        dlg.m_pThrow = nullptr;
        qobject_cast<QPushButton*>(dlg.GetDlgItem(IDC_BROWSE_INPUT))->click();
        EXPECT_EQ(dlg.m_events.back(), "after throw");
    }
}

TEST(Dialog, ControlsSitWhereTheirDialogUnitsSay)
{
    for (int nID : {IDD_ABOUTBOX, IDD_CONVERT_DIALOG, IDD_OPTION_DIALOG}) {
        CDialog dlg(nID);
        ASSERT_TRUE(dlg.Create());
        const DialogTemplate* pTemplate = FindDialogTemplate(nID);
        const QRect whole = dlg.MapDialogRect({0, 0, pTemplate->cx, pTemplate->cy});
        EXPECT_EQ(dlg.GetWindow()->size(), whole.size());
        EXPECT_EQ(dlg.GetWindow()->windowTitle().toStdString(), pTemplate->pszCaption);
        for (const DialogItemTemplate& item : pTemplate->items) {
            QWidget* pWidget = dlg.GetDlgItem(item.nID);
            if (pWidget == nullptr)
                continue;
            const QRect box = dlg.MapDialogRect(item.box);
            EXPECT_EQ(pWidget->pos(), box.topLeft()) << nID << "/" << item.nID;
            if (item.kind == ControlKind::ComboBox) {
                EXPECT_EQ(pWidget->width(), box.width());
            } else if (item.kind != ControlKind::Icon) {
                EXPECT_EQ(pWidget->size(), box.size()) << nID << "/" << item.nID;
            }
        }
    }
}

TEST(Dialog, TabOrderMnemonicsAndDefaultButtonFollowTheTemplate)
{
    CDialog dlg(IDD_CONVERT_DIALOG);
    ASSERT_TRUE(dlg.Create());
    const int order[] = {IDC_INPUT_FILENAME, IDC_BROWSE_INPUT, IDC_INPUT_CHARSET, IDC_OUTPUT_FILENAME, IDC_BROWSE_OUTPUT,
                         IDC_OUTPUT_CHARSET, IDC_NLCODE, IDC_CONVERT, IDC_OPTION, IDC_HOWTOUSE};
    QWidget* pWidget = dlg.GetDlgItem(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        do
            pWidget = pWidget->nextInFocusChain();
        while ((pWidget->focusPolicy() & Qt::TabFocus) == 0);
        EXPECT_EQ(pWidget, dlg.GetDlgItem(order[i])) << "after " << order[i - 1];
    }
    // A label's mnemonic leads to the control after it.
    const std::map<std::string, int> buddies = {{"ファイル名(&I):", IDC_INPUT_FILENAME},
                                                {"文字セット(&S):", IDC_INPUT_CHARSET},
                                                {"ファイル名(&F):", IDC_OUTPUT_FILENAME},
                                                {"文字セット(&O):", IDC_OUTPUT_CHARSET},
                                                {"改行コード(&N):", IDC_NLCODE}};
    int nLabels = 0;
    for (QLabel* pLabel : dlg.GetWindow()->findChildren<QLabel*>()) {
        const auto it = buddies.find(pLabel->text().toStdString());
        ASSERT_NE(it, buddies.end()) << pLabel->text().toStdString();
        EXPECT_EQ(pLabel->buddy(), dlg.GetDlgItem(it->second)) << it->first;
        ++nLabels;
    }
    EXPECT_EQ(nLabels, 5);
    auto* pConvert = qobject_cast<QPushButton*>(dlg.GetDlgItem(IDC_CONVERT));
    EXPECT_TRUE(pConvert->isDefault());
    EXPECT_FALSE(pConvert->isEnabled());
    EXPECT_EQ(pConvert->text(), QStringLiteral("変換(&V)"));
}

TEST(Dialog, StaticTextWithoutPrefixShowsItsAmpersand)
{
    CDialog dlg(IDD_ABOUTBOX);
    ASSERT_TRUE(dlg.Create());
    auto* pDescription = qobject_cast<QLabel*>(dlg.GetDlgItem(IDC_FILE_DESCRIPTION));
    EXPECT_EQ(pDescription->buddy(), nullptr);
    EXPECT_EQ(pDescription->textFormat(), Qt::PlainText);
}

TEST(Dialog, ModalRunEndsWithOkCancelEscapeOrTheCloseBox)
{
    const struct {
        const char* pszHow;
        std::function<void(QWidget*)> act;
        int nExpected;
    } cases[] = {
        {"ok", [](QWidget* p) { p->findChild<QPushButton*>(QStringLiteral("IDC_1"))->click(); }, IDOK},
        {"cancel", [](QWidget* p) { p->findChild<QPushButton*>(QStringLiteral("IDC_2"))->click(); }, IDCANCEL},
        {"escape", [](QWidget* p) { guitest::SendKey(p, Qt::Key_Escape); }, IDCANCEL},
        {"close box", [](QWidget* p) { p->close(); }, IDCANCEL},
    };
    for (const auto& c : cases) {
        CDialog dlg(IDD_OPTION_DIALOG);
        guitest::WhenModalShown(c.act);
        EXPECT_EQ(dlg.DoModal(), c.nExpected) << c.pszHow;
        EXPECT_EQ(dlg.GetWindow(), nullptr) << "window left after " << c.pszHow;
    }
    EXPECT_EQ(CDialog(999).DoModal(), -1);
}

TEST(Dialog, EndDialogDuringStartUpSkipsTheModalRun)
{
    CProbeDlg dlg;
    dlg.m_bEndInInit = true;
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST(Dialog, DropsDeliverTheLocalFilesInOrder)
{
    CProbeDlg dlg;
    ASSERT_TRUE(dlg.Create());
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("https://example.org/a.txt")), QUrl::fromLocalFile(QStringLiteral("/tmp/b c.txt")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/日本語.txt"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.GetWindow(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.GetWindow(), &drop);
    EXPECT_EQ(dlg.m_dropped, (std::vector<std::string>{"/tmp/b c.txt", "/tmp/日本語.txt"}));
    // The edits leave dropped files to the dialog.
    EXPECT_FALSE(dlg.GetDlgItem(IDC_INPUT_FILENAME)->acceptDrops());

    QMimeData webOnly;
    webOnly.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &webOnly, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QApplication::sendEvent(dlg.GetWindow(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST(Dialog, SystemMenuStartsWithCloseAndCloseEndsTheDialog)
{
    CDialog dlg(IDD_OPTION_DIALOG);
    ASSERT_TRUE(dlg.Create());
    dlg.GetWindow()->show();
    CMenu* pMenu = dlg.GetSystemMenu();
    ASSERT_NE(pMenu, nullptr);
    ASSERT_EQ(pMenu->GetMenuItemCount(), 1);
    EXPECT_EQ(pMenu->GetItems()[0].nID, SC_CLOSE);
    dlg.SendSysCommand(SC_CLOSE);
    EXPECT_FALSE(dlg.GetWindow()->isVisible());
    // A new window gets a new menu.
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetSystemMenu()->GetMenuItemCount(), 1);
}

TEST(Dialog, HelpKeyIsTheApplicationsHelpCommand)
{
    CDialog dlg(IDD_OPTION_DIALOG);
    ASSERT_TRUE(dlg.Create());
    const int nBefore = theApp.m_nHelp;
    guitest::SendKey(dlg.GetWindow(), Qt::Key_F1);
    EXPECT_EQ(theApp.m_nHelp, nBefore + 1);
}

// The built program on the server's display, ended with the object.
xtest::RunningProgram StartProgram(const xtest::XvfbServer& server, const std::string& strEnv)
{
    const char* pszDir = std::getenv("MOJIRO_BINARY_DIR");
    return xtest::RunningProgram(server, "env QT_QPA_PLATFORM=xcb " + strEnv + " " +
                                             (pszDir != nullptr ? pszDir : ".") + "/app/mojiro");
}

bool CanRunOnADisplay()
{
    const char* pszDir = std::getenv("MOJIRO_BINARY_DIR");
    return xtest::ProgramsExist({"Xvfb", "xdotool"}) && pszDir != nullptr &&
           ::access((std::string(pszDir) + "/app/mojiro").c_str(), X_OK) == 0;
}

// Japanese text is what the window is sized for: a Japanese locale, which
// draws Latin text narrower, must not make it smaller, and twice the scale
// is twice the size on screen.
TEST(DialogOnADisplay, JapaneseLocaleNoNarrowerAndTwiceTheScaleTwiceTheSize)
{
    if (!CanRunOnADisplay())
        GTEST_SKIP() << "needs Xvfb, xdotool and the program";
    const xtest::XvfbServer server("2800x1800x24");
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    std::optional<xtest::RunningProgram> manager;
    if (xtest::ProgramsExist({"openbox"})) {
        manager.emplace(server, "openbox");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const char* const envs[] = {"LANG=C.UTF-8 QT_SCALE_FACTOR=1", "LANG=ja_JP.UTF-8 QT_SCALE_FACTOR=1",
                                "LANG=ja_JP.UTF-8 QT_SCALE_FACTOR=2"};
    std::vector<std::pair<int, int>> sizes;
    for (const char* pszEnv : envs) {
        const xtest::RunningProgram program = StartProgram(server, pszEnv);
        const unsigned long nWindow = server.WaitForWindow("^Mojiro$", std::chrono::seconds(30));
        ASSERT_NE(nWindow, 0u) << pszEnv;
        sizes.push_back(server.SettledWindowSize(nWindow));
        ASSERT_GT(sizes.back().first, 0) << pszEnv;
    }
    EXPECT_GE(sizes[1].first, sizes[0].first);
    EXPECT_GE(sizes[1].second, sizes[0].second);
    EXPECT_EQ(sizes[2], std::make_pair(sizes[1].first * 2, sizes[1].second * 2))
        << (manager ? "with" : "without") << " a window manager";
}

// The size is fixed, but a screen or window manager may still map it
// smaller: the window asks again for its whole size.
TEST(DialogOnADisplay, AWindowMadeSmallerThanItsSizeGetsItBack)
{
    if (!CanRunOnADisplay())
        GTEST_SKIP() << "needs Xvfb, xdotool and the program";
    const xtest::XvfbServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    const xtest::RunningProgram program = StartProgram(server, "LANG=ja_JP.UTF-8 QT_SCALE_FACTOR=2");
    const unsigned long nWindow = server.WaitForWindow("^Mojiro$", std::chrono::seconds(30));
    ASSERT_NE(nWindow, 0u);
    const std::pair<int, int> full = server.SettledWindowSize(nWindow);
    ASSERT_GT(full.first, 0);
    // Without a window manager the request of another client is carried out.
    server.Run("xdotool windowsize " + std::to_string(nWindow) + " " + std::to_string(full.first / 2) + " " +
               std::to_string(full.second / 2));
    EXPECT_EQ(server.SettledWindowSize(nWindow), full);
}

// Without a window manager nothing moves the focus when a window closes:
// once a picker, the Options dialog or a message box is gone, the dialog's
// mnemonics must work again, typed wherever the focus now is.
TEST(DialogOnADisplay, FocusReturnsToTheWindowBelowWhenAModalWindowCloses)
{
    if (!CanRunOnADisplay())
        GTEST_SKIP() << "needs Xvfb, xdotool and the program";
    const xtest::XvfbServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    // The help link fails at once and says so in a box.
    const xtest::RunningProgram program = StartProgram(server, "MOJIRO_URL_OPENER=false");
    const unsigned long nMain = server.WaitForWindow("^Mojiro$", std::chrono::seconds(30));
    ASSERT_NE(nMain, 0u);
    const struct {
        const char* pszOpen;
        const char* pszClose;
    } cases[] = {{"alt+r", "Escape"}, {"alt+e", "Escape"}, {"alt+p", "Escape"}, {"alt+h", "Return"}};
    for (const auto& c : cases) {
        server.Type(nMain, c.pszOpen);
        const std::vector<unsigned long> windows = server.WaitForWindows(2, std::chrono::seconds(20));
        ASSERT_EQ(windows.size(), 2u) << c.pszOpen;
        server.Type(windows.back(), c.pszClose);
        ASSERT_EQ(server.WaitForWindows(1, std::chrono::seconds(20)).size(), 1u) << c.pszOpen;
        server.Run("xdotool key alt+p");
        const std::vector<unsigned long> options = server.WaitForWindows(2, std::chrono::seconds(10));
        EXPECT_EQ(options.size(), 2u) << "after " << c.pszOpen;
        if (options.size() != 2)
            return;
        server.Type(options.back(), "Escape");
        ASSERT_EQ(server.WaitForWindows(1, std::chrono::seconds(20)).size(), 1u);
    }
}

} // namespace
