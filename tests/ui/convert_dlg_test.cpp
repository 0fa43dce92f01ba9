#include "ui/convert_dlg.h"

#include <QTest>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDropEvent>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "app/batch_run.h"
#include "app/convert_command_line_info.h"
#include "framework/profile.h"
#include "framework/progress_window.h"
#include "framework/url_opener.h"
#include "framework/win_app.h"
#include "res/dialog_templates.h"
#include "res/string_table.h"
#include "support/fault_file_system.h"
#include "support/gui_test_env.h"

namespace {

using guitest::ReadFile;
using guitest::WriteFile;
namespace fs = std::filesystem;

const std::string kDetectFailed = "文字コードの自動判別に失敗しました。";
const std::string kTakenForEmpty = kDetectFailed + "\nファイルが空のため、Shift_JIS として扱います。";
const std::string kTakenForAscii = kDetectFailed + "\n日本語の文字が見つからないため、Shift_JIS として扱います。";
const std::string kSucceeded = "正常に変換しました";
const std::string kFailed = "変換に失敗しました";

// "あいう" CRLF "漢字" LF in Shift_JIS.
const std::string kShiftJisText = "\x82\xa0\x82\xa2\x82\xa4\r\n\x8a\xbf\x8e\x9a\n";

// Counts the help requests that reach the application.
class CHelpCountingApp : public CWinApp {
public:
    void WinHelp(std::uintptr_t, unsigned) override { ++m_nHelp; }
    int m_nHelp = 0;
};
CHelpCountingApp theApp;

class ConvertDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        guitest::ClearSettings();
        m_folder = guitest::MakeTestFolder();
    }

    void TearDown() override
    {
        if (m_pDlg)
            m_pDlg->DestroyWindow();
    }

    static void SetSetting(const char* pszKey, int nValue) { profile::WriteProfileInt("Settings", pszKey, nValue); }

    // Constructs the dialog (which reads the settings), lets seed set fields,
    // then builds and shows the window as the modal run would.
    CConvertDlg& Open(const std::function<void(CConvertDlg&)>& seed = {})
    {
        m_pDlg = std::make_unique<CConvertDlg>(nullptr, m_fileSystem);
        if (seed)
            seed(*m_pDlg);
        EXPECT_TRUE(m_pDlg->Create());
        m_pDlg->GetWindow()->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_pDlg->GetWindow()));
        return *m_pDlg;
    }

    QLineEdit* Edit(int nID) const { return qobject_cast<QLineEdit*>(m_pDlg->GetDlgItem(nID)); }
    QComboBox* Combo(int nID) const { return qobject_cast<QComboBox*>(m_pDlg->GetDlgItem(nID)); }
    QPushButton* Button(int nID) const { return qobject_cast<QPushButton*>(m_pDlg->GetDlgItem(nID)); }

    std::string InputText() const { return Edit(IDC_INPUT_FILENAME)->text().toStdString(); }
    std::string OutputText() const { return Edit(IDC_OUTPUT_FILENAME)->text().toStdString(); }
    bool ConvertEnabled() const { return Button(IDC_CONVERT)->isEnabled(); }

    // Typing: every change of the text is one change notification.
    void TypeInput(const std::string& strText) { Edit(IDC_INPUT_FILENAME)->setText(QString::fromStdString(strText)); }
    void TypeOutput(const std::string& strText) { Edit(IDC_OUTPUT_FILENAME)->setText(QString::fromStdString(strText)); }
    void SelectOutputCharset(int nIndex) { Combo(IDC_OUTPUT_CHARSET)->setCurrentIndex(nIndex); }
    void Click(int nID) { QTest::mouseClick(Button(nID), Qt::LeftButton); }

    // What the batch run writes for the Shift_JIS input of the folder.
    bool BatchConvert(const char* pszInput, int nTarget, int nNL, const char* pszOutput)
    {
        CConvertCommandLineInfo cmdInfo;
        cmdInfo.m_bAuto = true;
        cmdInfo.m_nInputCharset = 0;
        cmdInfo.m_nOutputCharset = nTarget;
        cmdInfo.m_nNLCode = nNL;
        cmdInfo.m_strOutputPattern = Path(pszOutput);
        cmdInfo.m_listFiles.push_back(Path(pszInput));
        CBatchRun batch(RealFileSystem(), [] { return std::string("_"); });
        batch.Run(cmdInfo);
        return batch.AllWritten();
    }

    void Drop(const QList<QUrl>& urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        // The toolkit delivers a drop to the widget that accepted its entry.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_pDlg->GetWindow(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_pDlg->GetWindow(), &drop);
    }

    void PickInput(const fs::path& path)
    {
        m_picker.Answer(path.string());
        Click(IDC_BROWSE_INPUT);
    }

    std::string Path(const std::string& strName) const { return (m_folder / strName).string(); }

    fs::path m_folder;
    CFaultFileSystem m_fileSystem;
    std::unique_ptr<CConvertDlg> m_pDlg;
    guitest::MessageRecorder m_messages;
    guitest::PickerScript m_picker;
};

// --- Automatic output name ---------------------------------------------------

struct OutputNameCase {
    const char* pszName;
    int nMode;                 // stored nOutputFilename
    std::vector<int> charsets; // output encodings selected after typing
    const char* pszExpected;   // output name at the end ("memo.txt" is typed)
};

class AutomaticOutputName : public ConvertDlgTest, public ::testing::WithParamInterface<OutputNameCase> {};

TEST_P(AutomaticOutputName, FollowsInputAndEncoding)
{
    const OutputNameCase& c = GetParam();
    SetSetting("nOutputFilename", c.nMode);
    Open();
    TypeOutput("kept.out");
    TypeInput("C:\\data\\memo.txt");
    for (int nCharset : c.charsets)
        SelectOutputCharset(nCharset);
    EXPECT_EQ(OutputText(), c.pszExpected);
    EXPECT_EQ(m_pDlg->m_strOutputFilename, c.pszExpected);
    EXPECT_TRUE(ConvertEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AutomaticOutputName,
    ::testing::Values(OutputNameCase{"SuffixOfDefaultTarget", 1, {}, "C:\\data\\memo.txt.sjis"},
                      OutputNameCase{"SuffixFollowsEucThenUtf8", 1, {1, 4}, "C:\\data\\memo.txt.utf8"},
                      OutputNameCase{"SuffixOfUnicode", 1, {3}, "C:\\data\\memo.txt.uni"},
                      OutputNameCase{"SuffixOfJis", 1, {2}, "C:\\data\\memo.txt.jis"},
                      OutputNameCase{"SameName", 2, {1}, "C:\\data\\memo.txt"},
                      OutputNameCase{"NoneNeverTouches", 0, {1, 4}, "kept.out"},
                      OutputNameCase{"StoredFiveActsAsNone", 5, {1}, "kept.out"},
                      OutputNameCase{"NegativeActsAsNone", -1, {2}, "kept.out"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(ConvertDlgTest, EmptyingTheInputKeepsTheOutputAndDisablesConvert)
{
    SetSetting("nOutputFilename", 1);
    Open();
    TypeInput("memo.txt");
    ASSERT_EQ(OutputText(), "memo.txt.sjis");
    ASSERT_TRUE(ConvertEnabled());
    TypeInput("");
    EXPECT_EQ(OutputText(), "memo.txt.sjis");
    EXPECT_FALSE(ConvertEnabled());
}

TEST_F(ConvertDlgTest, TypingKeepsTheCaretWhereTheUserTypes)
{
    SetSetting("nOutputFilename", 1);
    Open();
    QLineEdit* pEdit = Edit(IDC_INPUT_FILENAME);
    pEdit->setFocus();
    QTest::keyClicks(pEdit, "mmo.txt");
    pEdit->setCursorPosition(1);
    QTest::keyClick(pEdit, Qt::Key_E);
    EXPECT_EQ(InputText(), "memo.txt");
    EXPECT_EQ(OutputText(), "memo.txt.sjis");
    EXPECT_EQ(pEdit->cursorPosition(), 2);
}

// --- Automatic line ending ----------------------------------------------------

TEST_F(ConvertDlgTest, LineEndingFollowsTheTargetOverridingAManualChoice)
{
    Open();
    const struct {
        int nCharset;
        int nExpectedNL;
    } steps[] = {{1, 1}, {0, 0}, {1, 1}, {2, 0}, {3, 0}, {4, 0}};
    for (const auto& step : steps) {
        Combo(IDC_NLCODE)->setCurrentIndex(2); // CR chosen by hand
        SelectOutputCharset(step.nCharset);
        EXPECT_EQ(Combo(IDC_NLCODE)->currentIndex(), step.nExpectedNL) << "target " << step.nCharset;
        EXPECT_EQ(m_pDlg->m_nNLCode, step.nExpectedNL);
    }
}

TEST_F(ConvertDlgTest, LineEndingStaysWhenAutomaticLineEndingIsOff)
{
    SetSetting("bAutoNLCode", 0);
    Open();
    Combo(IDC_NLCODE)->setCurrentIndex(2);
    for (int nCharset : {1, 0, 4, 1})
        SelectOutputCharset(nCharset);
    EXPECT_EQ(Combo(IDC_NLCODE)->currentIndex(), 2);
}

// --- Detection after a pick or a drop -------------------------------------------

struct DetectionCase {
    const char* pszName;
    std::string strBytes;
    int nExpected;
    bool bMessage;
    // Why Shift_JIS was taken, when the box says so.
    const std::string* pstrMessage = &kTakenForAscii;
};

class Detection : public ConvertDlgTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(Detection, PickedFile)
{
    const DetectionCase& c = GetParam();
    WriteFile(m_folder / "in.txt", c.strBytes);
    Open([](CConvertDlg& dlg) {
        dlg.m_nInputCharset = 4;
        dlg.m_nOutputCharset = 2;
        dlg.m_nNLCode = 2;
    });
    PickInput(m_folder / "in.txt");
    EXPECT_EQ(InputText(), Path("in.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), c.nExpected);
    EXPECT_EQ(m_messages.Messages(), c.bMessage ? std::vector<std::string>{*c.pstrMessage} : std::vector<std::string>{});
    // Only the source changes.
    EXPECT_EQ(Combo(IDC_OUTPUT_CHARSET)->currentIndex(), 2);
    EXPECT_EQ(Combo(IDC_NLCODE)->currentIndex(), 2);
}

TEST_P(Detection, DroppedFile)
{
    const DetectionCase& c = GetParam();
    WriteFile(m_folder / "in.txt", c.strBytes);
    Open([](CConvertDlg& dlg) { dlg.m_nInputCharset = 4; });
    Drop({QUrl::fromLocalFile(QString::fromStdString(Path("in.txt")))});
    EXPECT_EQ(InputText(), Path("in.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), c.nExpected);
    EXPECT_EQ(m_messages.Messages().size(), c.bMessage ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, Detection,
    ::testing::Values(DetectionCase{"Empty", "", 0, true, &kTakenForEmpty}, DetectionCase{"Ascii", "plain text\r\n", 0, true},
                      DetectionCase{"ShiftJis", kShiftJisText, 0, false},
                      DetectionCase{"EucJp", "\xa4\xa2\xa4\xa4", 1, false},
                      DetectionCase{"Jis", "\x1b$B$\"\x1b(B", 2, false},
                      DetectionCase{"ByteOrderMark", std::string("\xff\xfe" "A\0", 4), 3, false},
                      DetectionCase{"ByteOrderMarkOnly", "\xff\xfe", 3, false},
                      DetectionCase{"Utf8", "A\xe3\x81\x82", 4, false},
                      DetectionCase{"Utf8CutOffAtTheEnd", "A\xe3\x81\x82\xe3\x81", 4, false},
                      DetectionCase{"HalfWidthKatakanaFirst", "\xb6\xc5 \x82\xa0", 0, false},
                      DetectionCase{"Utf8Mark", "\xef\xbb\xbf", 4, false},
                      // One byte cannot hold the mark, and the scan ends undecided.
                      DetectionCase{"LoneFF", "\xff", 0, true}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(ConvertDlgTest, DetectionOffLeavesTheSourceAndShowsNothing)
{
    SetSetting("bAutoDetermineCharset", 0);
    WriteFile(m_folder / "in.txt", "");
    Open([](CConvertDlg& dlg) { dlg.m_nInputCharset = 2; });
    PickInput(m_folder / "in.txt");
    EXPECT_EQ(InputText(), Path("in.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), 2);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ConvertDlgTest, DropOfAMissingFileTakesTheNameAndDetectsNothing)
{
    Open([](CConvertDlg& dlg) { dlg.m_nInputCharset = 1; });
    Drop({QUrl::fromLocalFile(QString::fromStdString(Path("missing.txt")))});
    EXPECT_EQ(InputText(), Path("missing.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), 1);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ConvertDlgTest, DetectionOfAFileTooLargeForMemoryGivesUpSilently)
{
    WriteFile(m_folder / "huge.txt", "x");
    m_fileSystem.m_tooLarge.insert(Path("huge.txt"));
    Open([](CConvertDlg& dlg) { dlg.m_nInputCharset = 2; });
    PickInput(m_folder / "huge.txt");
    EXPECT_EQ(InputText(), Path("huge.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), 2);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ConvertDlgTest, TypingTheNameOfAnExistingFileDetectsNothing)
{
    WriteFile(m_folder / "in.txt", "\xa4\xa2");
    Open();
    TypeInput(Path("in.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), 0);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ConvertDlgTest, ThreeDroppedFilesTakeTheFirstLocalOne)
{
    WriteFile(m_folder / "a.txt", "\xa4\xa2");
    WriteFile(m_folder / "b.txt", "\x82\xa0");
    WriteFile(m_folder / "c.txt", "\x82\xa0");
    SetSetting("nOutputFilename", 1);
    Open();
    Drop({QUrl(QStringLiteral("https://example.org/not-a-file.txt")),
          QUrl::fromLocalFile(QString::fromStdString(Path("a.txt"))),
          QUrl::fromLocalFile(QString::fromStdString(Path("b.txt"))),
          QUrl::fromLocalFile(QString::fromStdString(Path("c.txt")))});
    EXPECT_EQ(InputText(), Path("a.txt"));
    EXPECT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), 1);
    EXPECT_EQ(OutputText(), Path("a.txt") + ".sjis");
    EXPECT_TRUE(ConvertEnabled());
}

TEST_F(ConvertDlgTest, CancelledPickersChangeNothing)
{
    Open([](CConvertDlg& dlg) {
        dlg.m_strInputFilename = "in.txt";
        dlg.m_strOutputFilename = "out.txt";
    });
    m_picker.Cancel();
    Click(IDC_BROWSE_INPUT);
    m_picker.Cancel();
    Click(IDC_BROWSE_OUTPUT);
    EXPECT_EQ(InputText(), "in.txt");
    EXPECT_EQ(OutputText(), "out.txt");
    ASSERT_EQ(m_picker.AcceptModes().size(), 2u);
    EXPECT_EQ(m_picker.AcceptModes()[0], QFileDialog::AcceptOpen);
    EXPECT_EQ(m_picker.AcceptModes()[1], QFileDialog::AcceptSave);
    EXPECT_EQ(m_picker.NameFilters()[0].size(), 3);
}

TEST_F(ConvertDlgTest, PickedOutputGetsTheDefaultExtensionAndEnablesConvert)
{
    Open();
    TypeInput("in.txt");
    m_picker.Answer(Path("result"));
    Click(IDC_BROWSE_OUTPUT);
    EXPECT_EQ(OutputText(), Path("result.txt"));
    EXPECT_TRUE(ConvertEnabled());
    EXPECT_EQ(Combo(IDC_NLCODE)->currentIndex(), 0);
}

// --- Convert state -----------------------------------------------------------------

TEST_F(ConvertDlgTest, ConvertStartsDisabledEvenWithAPresetInput)
{
    SetSetting("nOutputFilename", 1);
    Open([](CConvertDlg& dlg) { dlg.m_strInputFilename = "preset.txt"; });
    EXPECT_EQ(InputText(), "preset.txt");
    EXPECT_EQ(OutputText(), ""); // the preset name ran no automatic name
    EXPECT_FALSE(ConvertEnabled());
    EXPECT_TRUE(Button(IDC_CONVERT)->isDefault());
}

TEST_F(ConvertDlgTest, ConvertIsEnabledExactlyWhenBothNamesAreGiven)
{
    Open();
    const struct {
        const char* pszInput;
        const char* pszOutput;
        bool bEnabled;
    } steps[] = {{"a", "", false}, {"a", "b", true}, {"", "b", false}, {"a", "b", true}, {"a", "", false}};
    for (const auto& step : steps) {
        TypeInput(step.pszInput);
        TypeOutput(step.pszOutput);
        EXPECT_EQ(ConvertEnabled(), step.bEnabled) << step.pszInput << "|" << step.pszOutput;
    }
}

// --- Convert -------------------------------------------------------------------------

struct ConvertCase {
    const char* pszName;
    std::string strInput;
    int nSource;
    int nTarget;
    int nNL;
    std::string strExpected;
};

class Conversion : public ConvertDlgTest, public ::testing::WithParamInterface<ConvertCase> {};

TEST_P(Conversion, WritesTheFileAndReportsSuccess)
{
    const ConvertCase& c = GetParam();
    WriteFile(m_folder / "in", c.strInput);
    Open([&](CConvertDlg& dlg) {
        dlg.m_strInputFilename = Path("in");
        dlg.m_nInputCharset = c.nSource;
        dlg.m_nOutputCharset = c.nTarget;
        dlg.m_nNLCode = c.nNL;
    });
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kSucceeded});
    EXPECT_EQ(ReadFile(m_folder / "out"), c.strExpected);
    EXPECT_EQ(ReadFile(m_folder / "in"), c.strInput);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Conversion,
    ::testing::Values(
        ConvertCase{"ShiftJisToEucLf", kShiftJisText, 0, 1, 1, "\xa4\xa2\xa4\xa4\xa4\xa6\n\xb4\xc1\xbb\xfa\n"},
        ConvertCase{"UnicodeDropsTheMark", std::string("\xff\xfe" "A\0\r\0\n\0", 8), 3, 0, 0, "A\r\n"},
        ConvertCase{"UnicodeToUnicodeWritesOneMark", std::string("\xff\xfe" "A\0", 4), 3, 3, 0,
                    std::string("\xff\xfe" "A\0", 4)},
        ConvertCase{"MarkOnlyGivesAnEmptyText", "\xff\xfe", 3, 4, 0, ""},
        ConvertCase{"MarkPassedWholeWhenShiftJisIsSelected", "\xff\xfe" "A", 0, 0, 0, "\xff\xfe" "A"},
        ConvertCase{"EmptyToUnicodeIsJustTheMark", "", 0, 3, 0, "\xff\xfe"},
        ConvertCase{"LineEndingOnlyToCr", "a\r\nb\n", 4, 4, 2, "a\rb\r"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(ConvertDlgTest, ConvertedFileIsByteIdenticalToTheBatchRun)
{
    WriteFile(m_folder / "in.txt", kShiftJisText + "\x83\x65\x83\x4c\x83\x58\x83\x67\r\n");
    for (int nTarget = 0; nTarget < 5; ++nTarget) {
        for (int nNL = 0; nNL < 3; ++nNL) {
            ASSERT_TRUE(BatchConvert("in.txt", nTarget, nNL, "batch.out"));

            Open([&](CConvertDlg& dlg) {
                dlg.m_strInputFilename = Path("in.txt");
                dlg.m_nOutputCharset = nTarget;
                dlg.m_nNLCode = nNL;
            });
            TypeOutput(Path("dialog.out"));
            Click(IDC_CONVERT);
            EXPECT_EQ(ReadFile(m_folder / "dialog.out"), ReadFile(m_folder / "batch.out"))
                << "target " << nTarget << " line ending " << nNL;
            m_pDlg->DestroyWindow();
        }
    }
}

// A file large enough for the threads goes through the pipeline from the
// window too: the batch run's bytes, and a cancel part-way leaves nothing.
TEST_F(ConvertDlgTest, ALargeFileOnThreadsGivesTheBatchBytesAndCancelsCleanly)
{
    ::setenv("MOJIRO_THREADS", "3", 1);
    const struct CUnset {
        ~CUnset() { ::unsetenv("MOJIRO_THREADS"); }
    } unset;
    std::string strText;
    for (int k = 0; strText.size() < (20u << 20); ++k)
        strText += kShiftJisText + std::to_string(k) + "\x83\x65\x83\x4c\r\n";
    WriteFile(m_folder / "in.txt", strText);
    ASSERT_TRUE(BatchConvert("in.txt", 4, 1, "batch.out"));
    Open([&](CConvertDlg& dlg) {
        dlg.m_strInputFilename = Path("in.txt");
        dlg.m_nOutputCharset = 4;
        dlg.m_nNLCode = 1;
    });
    TypeOutput(Path("dialog.out"));
    Click(IDC_CONVERT);
    const std::string strDialog = ReadFile(m_folder / "dialog.out");
    const std::string strBatch = ReadFile(m_folder / "batch.out");
    EXPECT_GT(strBatch.size(), 20u << 20);
    EXPECT_TRUE(strDialog == strBatch) << strDialog.size() << " bytes against " << strBatch.size();
    m_pDlg->DestroyWindow();
    m_pDlg.reset();

    int nCalls = 0;
    SetProgressHook([&](std::int64_t, std::int64_t) { return ++nCalls < 3; });
    m_messages.Clear();
    Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("in.txt"); });
    TypeOutput(Path("cancelled.out"));
    Click(IDC_CONVERT);
    SetProgressHook({});
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_NE(m_messages.Messages()[0].find("取り消しました"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_folder / "cancelled.out"));
}

TEST_F(ConvertDlgTest, SubstituteComesFromTheSetting)
{
    profile::WriteProfileString("Settings", "strUnmappableDefaultChar", "?");
    WriteFile(m_folder / "in", "a\xe2\x82\xac" "b"); // a, the euro sign, b in UTF-8
    Open([&](CConvertDlg& dlg) {
        dlg.m_strInputFilename = Path("in");
        dlg.m_nInputCharset = 4;
        dlg.m_nOutputCharset = 0;
    });
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    EXPECT_EQ(ReadFile(m_folder / "out"), "a?b");
    // The success box says what was replaced, and where.
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{kSucceeded + "\nShift_JIS で表せない文字 1 個を \"?\" に置き換えました（最初は 1 行 "
                                                    "2 文字目の U+20AC）。"});
}

TEST_F(ConvertDlgTest, ClearingAfterConvertEmptiesBothNamesAndDisablesConvert)
{
    WriteFile(m_folder / "in", "x");
    Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("in"); });
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    EXPECT_EQ(InputText(), "");
    EXPECT_EQ(OutputText(), "");
    EXPECT_TRUE(m_pDlg->m_strInputFilename.empty());
    EXPECT_FALSE(ConvertEnabled());
}

TEST_F(ConvertDlgTest, WithoutClearingNamesAndButtonStay)
{
    SetSetting("bClearFilename", 0);
    WriteFile(m_folder / "in", "x");
    Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("in"); });
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    EXPECT_EQ(InputText(), Path("in"));
    EXPECT_EQ(OutputText(), Path("out"));
    EXPECT_TRUE(ConvertEnabled());
}

TEST_F(ConvertDlgTest, SameNameModeReplacesTheInputWithItsConversion)
{
    SetSetting("nOutputFilename", 2);
    WriteFile(m_folder / "memo.txt", kShiftJisText);
    Open();
    TypeInput(Path("memo.txt"));
    SelectOutputCharset(1);
    ASSERT_EQ(OutputText(), Path("memo.txt"));
    Click(IDC_CONVERT);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kSucceeded});
    EXPECT_EQ(ReadFile(m_folder / "memo.txt"), "\xa4\xa2\xa4\xa4\xa4\xa6\n\xb4\xc1\xbb\xfa\n");
}

TEST_F(ConvertDlgTest, InputThatCannotBeOpenedIsReportedAndTheDialogCarriesOn)
{
    Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("missing.txt"); });
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_NE(m_messages.Messages()[0].find(Path("missing.txt")), std::string::npos);
    EXPECT_FALSE(fs::exists(m_folder / "out"));
    // Nothing past the open ran: the names stay.
    EXPECT_EQ(InputText(), Path("missing.txt"));
    EXPECT_EQ(OutputText(), Path("out"));
    EXPECT_TRUE(m_pDlg->GetWindow()->isVisible());

    WriteFile(m_folder / "missing.txt", "now here");
    Click(IDC_CONVERT);
    EXPECT_EQ(ReadFile(m_folder / "out"), "now here");
}

TEST_F(ConvertDlgTest, NoSourceSelectedRefusesWithoutConverting)
{
    WriteFile(m_folder / "in", "x");
    Open([&](CConvertDlg& dlg) {
        dlg.m_strInputFilename = Path("in");
        dlg.m_nInputCharset = -1;
    });
    ASSERT_EQ(Combo(IDC_INPUT_CHARSET)->currentIndex(), -1);
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_NE(m_messages.Messages()[0].find("文字セット"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_folder / "out"));
    EXPECT_EQ(InputText(), Path("in")); // a refusal is not a conversion: no clearing
}

TEST_F(ConvertDlgTest, OutputThatCannotBeCreatedIsReportedAndTheInputKept)
{
    WriteFile(m_folder / "in", "x");
    Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("in"); });
    TypeOutput(Path("no-such-folder/out"));
    Click(IDC_CONVERT);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_NE(m_messages.Messages()[0].find("作成できませんでした"), std::string::npos);
    EXPECT_NE(m_messages.Messages()[0].find(Path("no-such-folder/out")), std::string::npos);
    EXPECT_EQ(ReadFile(m_folder / "in"), "x");
    EXPECT_EQ(InputText(), ""); // clearing still follows a conversion
}

// Cancel in the progress window leaves the output as it was, new or old.
TEST_F(ConvertDlgTest, CancelLeavesTheOutputAsItWas)
{
    WriteFile(m_folder / "in", kShiftJisText);
    WriteFile(m_folder / "old", "old");
    SetProgressHook([](std::int64_t, std::int64_t) { return false; });
    for (const char* pszOutput : {"old", "new"}) {
        SCOPED_TRACE(pszOutput);
        m_messages.Clear();
        Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("in"); });
        TypeOutput(Path(pszOutput));
        Click(IDC_CONVERT);
        ASSERT_EQ(m_messages.Messages().size(), 1u);
        EXPECT_NE(m_messages.Messages()[0].find("取り消しました"), std::string::npos);
        EXPECT_EQ(InputText(), Path("in")); // nothing was converted: nothing is cleared
        m_pDlg->DestroyWindow();
        m_pDlg.reset();
    }
    SetProgressHook({});
    EXPECT_EQ(ReadFile(m_folder / "old"), "old");
    EXPECT_FALSE(fs::exists(m_folder / "new"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"in", "old"})) << "no temporary file is left";
}

TEST_F(ConvertDlgTest, FileTooLargeForMemoryFailsTheConversionAndWritesNothing)
{
    WriteFile(m_folder / "in", "x");
    m_fileSystem.m_tooLarge.insert(Path("in"));
    Open([&](CConvertDlg& dlg) { dlg.m_strInputFilename = Path("in"); });
    TypeOutput(Path("out"));
    Click(IDC_CONVERT);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kFailed});
    EXPECT_EQ(m_fileSystem.m_nWrites, 0);
    EXPECT_FALSE(fs::exists(m_folder / "out"));
}

// --- Options -----------------------------------------------------------------------

TEST_F(ConvertDlgTest, OptionsCancelWritesNothingEvenAfterChangingEveryControl)
{
    Open();
    guitest::WhenModalShown(
        [](QWidget* pOptions) {
            for (QAbstractButton* pButton : pOptions->findChildren<QAbstractButton*>()) {
                if (pButton->isCheckable())
                    pButton->click();
            }
            pOptions->findChild<QLineEdit*>()->setText(QStringLiteral("#"));
            QTest::keyClick(pOptions, Qt::Key_Escape);
        },
        m_pDlg->GetWindow());
    Click(IDC_OPTION);
    EXPECT_FALSE(fs::exists(guitest::SettingsFile()));
    EXPECT_EQ(m_pDlg->m_bAutoDetermineCharset, 1);
    EXPECT_EQ(m_pDlg->m_nOutputFilename, 0);
    EXPECT_EQ(m_pDlg->m_strUnmappableDefaultChar, "_");
}

TEST_F(ConvertDlgTest, OptionsOkWritesAllFiveAndTakesEffectAtTheNextEvent)
{
    profile::WriteProfileString("Settings", "strUnmappableDefaultChar", "*");
    Open();
    TypeInput("memo.txt");
    std::string strTitle;
    guitest::WhenModalShown(
        [&strTitle](QWidget* pOptions) {
            strTitle = guitest::WindowTitle(pOptions);
            qobject_cast<QAbstractButton*>(pOptions->findChild<QWidget*>(QStringLiteral("IDC_1011")))->click();
            qobject_cast<QAbstractButton*>(pOptions->findChild<QWidget*>(QStringLiteral("IDC_1007")))->click();
            qobject_cast<QAbstractButton*>(pOptions->findChild<QWidget*>(QStringLiteral("IDC_1")))->click();
        },
        m_pDlg->GetWindow());
    Click(IDC_OPTION);
    EXPECT_EQ(strTitle, "オプション");
    EXPECT_EQ(profile::GetProfileInt("Settings", "bAutoDetermineCharset", -7), 1);
    EXPECT_EQ(profile::GetProfileInt("Settings", "bAutoNLCode", -7), 0);
    EXPECT_EQ(profile::GetProfileInt("Settings", "bClearFilename", -7), 1);
    EXPECT_EQ(profile::GetProfileInt("Settings", "nOutputFilename", -7), 1);
    EXPECT_EQ(profile::GetProfileString("Settings", "strUnmappableDefaultChar", "absent"), "*");
    EXPECT_EQ(m_pDlg->m_nOutputFilename, 1);
    EXPECT_EQ(m_pDlg->m_bAutoNLCode, 0);
    // Not at once: the next change of the input or the target fills it.
    EXPECT_EQ(OutputText(), "");
    SelectOutputCharset(1);
    EXPECT_EQ(OutputText(), "memo.txt.euc");
    EXPECT_EQ(Combo(IDC_NLCODE)->currentIndex(), 0); // automatic line ending now off
}

// A stored mode that names no button (7, behind the dialog's back) shows as
// no automatic name, which is what the dialog makes of it, and OK stores
// that: never -1.
TEST_F(ConvertDlgTest, OptionsShowTheStoredValuesNotTheDialogsCopies)
{
    SetSetting("nOutputFilename", 2);
    Open();
    profile::WriteProfileInt("Settings", "nOutputFilename", 7); // changed behind the dialog
    std::vector<bool> checked;
    guitest::WhenModalShown(
        [&checked](QWidget* pOptions) {
            for (const char* pszName : {"IDC_1003", "IDC_1011", "IDC_1012"})
                checked.push_back(qobject_cast<QAbstractButton*>(pOptions->findChild<QWidget*>(pszName))->isChecked());
            qobject_cast<QAbstractButton*>(pOptions->findChild<QWidget*>(QStringLiteral("IDC_1")))->click();
        },
        m_pDlg->GetWindow());
    Click(IDC_OPTION);
    EXPECT_EQ(checked, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(profile::GetProfileInt("Settings", "nOutputFilename", -7), 0);
    EXPECT_EQ(m_pDlg->m_nOutputFilename, 0);
}

// --- About, help, icon -------------------------------------------------------------

TEST_F(ConvertDlgTest, SystemCommandsSixteenToThirtyOneOpenTheAboutBox)
{
    Open();
    for (unsigned nID : {16u, 17u, 31u}) {
        std::string strTitle;
        guitest::WhenModalShown(
            [&strTitle](QWidget* pAbout) {
                strTitle = guitest::WindowTitle(pAbout);
                QTest::keyClick(pAbout, Qt::Key_Escape);
            },
            m_pDlg->GetWindow());
        m_pDlg->SendSysCommand(nID);
        EXPECT_EQ(strTitle, "Mojiroのバージョン情報") << nID;
    }
    EXPECT_TRUE(m_pDlg->GetWindow()->isVisible());
    m_pDlg->SendSysCommand(32);
    EXPECT_TRUE(m_pDlg->GetWindow()->isVisible());
}

TEST_F(ConvertDlgTest, ContextMenuCarriesTheAboutItemAndClose)
{
    Open();
    CMenu* pMenu = m_pDlg->GetSystemMenu();
    ASSERT_NE(pMenu, nullptr);
    const auto& items = pMenu->GetItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].nID, SC_CLOSE);
    EXPECT_EQ(items[1].nFlags, MF_SEPARATOR);
    EXPECT_EQ(items[2].nID, 16u);
    EXPECT_EQ(items[2].strText, "Mojiro のバージョン情報(&A)...");

    // A right-click on the dialog shows them; choosing the item opens the box.
    std::string strTitle;
    QStringList menuTexts;
    QTimer::singleShot(0, [&] {
        auto* pPopup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(pPopup, nullptr);
        for (QAction* pAction : pPopup->actions())
            menuTexts << pAction->text();
        guitest::WhenModalShown(
            [&strTitle](QWidget* pAbout) {
                strTitle = guitest::WindowTitle(pAbout);
                QTest::keyClick(pAbout, Qt::Key_Escape);
            },
            m_pDlg->GetWindow());
        QTest::keyClick(pPopup, Qt::Key_A); // the item's mnemonic
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), m_pDlg->GetWindow()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_pDlg->GetWindow(), &event);
    EXPECT_EQ(menuTexts.size(), 3);
    EXPECT_EQ(menuTexts.value(2).toStdString(), "Mojiro のバージョン情報(&A)...");
    EXPECT_EQ(strTitle, "Mojiroのバージョン情報");
}

TEST_F(ConvertDlgTest, CloseFromTheSystemMenuEndsTheDialog)
{
    Open();
    m_pDlg->SendSysCommand(SC_CLOSE);
    EXPECT_FALSE(m_pDlg->GetWindow()->isVisible());
}

TEST_F(ConvertDlgTest, HelpKeyReachesTheApplicationsHelp)
{
    Open();
    const int nBefore = theApp.m_nHelp;
    QTest::keyClick(m_pDlg->GetWindow(), Qt::Key_F1);
    EXPECT_EQ(theApp.m_nHelp, nBefore + 1);
}

TEST_F(ConvertDlgTest, HowToUseOpensTheProductPage)
{
    const fs::path opener = m_folder / "opener.sh";
    const fs::path record = m_folder / "opened";
    WriteFile(opener, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.string() + ".part' && mv '" + record.string() +
                          ".part' '" + record.string() + "'\n");
    fs::permissions(opener, fs::perms::owner_all);
    ::setenv("MOJIRO_URL_OPENER", opener.c_str(), 1);
    guitest::MessageRecorder messages;
    Open();
    Click(IDC_HOWTOUSE);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(record); }, 10000));
    EXPECT_EQ(messages.Messages(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(record), kProductUrl);
    EXPECT_NE(std::string(kProductUrl).find("http://"), std::string::npos);
    EXPECT_NE(std::string(kProductUrl).find("/products/Mojiro/"), std::string::npos);
    ::unsetenv("MOJIRO_URL_OPENER");
}

// No browser, or no opener at all: the user learns it and gets the address.
TEST_F(ConvertDlgTest, HowToUseSaysSoWhenThePageCannotBeOpened)
{
    for (const char* pszOpener : {"false", "/no/such/opener"}) {
        ::setenv("MOJIRO_URL_OPENER", pszOpener, 1);
        guitest::MessageRecorder messages;
        Open();
        Click(IDC_HOWTOUSE);
        ASSERT_EQ(messages.Messages().size(), 1u) << pszOpener;
        EXPECT_NE(messages.Messages()[0].find(kProductUrl), std::string::npos) << messages.Messages()[0];
        EXPECT_NE(messages.Messages()[0].find("開けません"), std::string::npos) << messages.Messages()[0];
        m_pDlg->DestroyWindow();
    }
    ::unsetenv("MOJIRO_URL_OPENER");
}

TEST_F(ConvertDlgTest, WindowIsTitledAndCarriesTheApplicationIcon)
{
    Open();
    EXPECT_EQ(guitest::WindowTitle(m_pDlg->GetWindow()), "Mojiro");
    EXPECT_FALSE(m_pDlg->GetWindow()->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(m_pDlg->GetWindow()->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    if (QImageReader::supportedImageFormats().contains("svg")) {
        EXPECT_FALSE(m_pDlg->m_hIcon.isNull());
        EXPECT_FALSE(m_pDlg->GetWindow()->windowIcon().isNull());
    }
}

TEST_F(ConvertDlgTest, CloseBoxAndEscapeEndTheModalRun)
{
    for (bool bEscape : {true, false}) {
        CConvertDlg dlg(nullptr, m_fileSystem);
        guitest::WhenModalShown([bEscape](QWidget* pWindow) {
            if (bEscape)
                QTest::keyClick(pWindow, Qt::Key_Escape);
            else
                pWindow->close();
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
}

} // namespace
