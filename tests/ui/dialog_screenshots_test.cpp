// Pictures of the three dialogs for a person to look at, and a check that
// no text is cut off by its box, in the Japanese face and in a Latin one.

#include <QTest>
#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "res/dialog_templates.h"
#include "support/gui_test_env.h"
#include "ui/about_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/option_dlg.h"

namespace {

namespace fs = std::filesystem;

QString WithoutMnemonic(QString strText)
{
    strText.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    strText.remove(u'&');
    strText.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return strText;
}

// The part of a button the style draws its text in.
QRect ButtonTextRect(QAbstractButton* pButton)
{
    QStyleOptionButton option;
    option.initFrom(pButton);
    QStyle::SubElement element = QStyle::SE_CheckBoxContents;
    if (auto* pPush = qobject_cast<QPushButton*>(pButton)) {
        element = QStyle::SE_PushButtonContents;
        if (pPush->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
    } else if (qobject_cast<QRadioButton*>(pButton) != nullptr) {
        element = QStyle::SE_RadioButtonContents;
    }
    return pButton->style()->subElementRect(element, &option, pButton);
}

// Every text-bearing control whose text needs more room than the part of it
// that draws text, or that reaches outside the window.
std::vector<std::string> ClippedTexts(QWidget* pWindow)
{
    std::vector<std::string> clipped;
    for (QWidget* pWidget : pWindow->findChildren<QWidget*>()) {
        QString strText;
        QRect textRect;
        if (auto* pLabel = qobject_cast<QLabel*>(pWidget); pLabel != nullptr && !pLabel->text().isEmpty()) {
            // A label with a buddy shows its mnemonic underlined, not as "&".
            strText = pLabel->buddy() != nullptr ? WithoutMnemonic(pLabel->text()) : pLabel->text();
            textRect = pLabel->contentsRect();
        } else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
            strText = WithoutMnemonic(pButton->text());
            textRect = ButtonTextRect(pButton);
        } else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget)) {
            strText = pGroup->title();
            textRect = pGroup->rect();
        } else {
            continue;
        }
        const QFontMetrics metrics = pWidget->fontMetrics();
        const QSize needed(metrics.horizontalAdvance(strText), metrics.height());
        const QRect inWindow(pWidget->mapTo(pWindow, QPoint(0, 0)), pWidget->size());
        if (needed.width() > textRect.width() || needed.height() > textRect.height() ||
            !pWindow->rect().contains(inWindow))
            clipped.push_back(strText.toStdString() + " needs " + std::to_string(needed.width()) + "x" +
                              std::to_string(needed.height()) + " of " + std::to_string(textRect.width()) + "x" +
                              std::to_string(textRect.height()));
    }
    return clipped;
}

// The program's templates, each drawn in pszFace when given: the Japanese
// face the templates ask for, or a Latin one whose kana come from fallback.
class TemplateFace {
public:
    explicit TemplateFace(const char* pszFace)
    {
        for (DialogTemplate tmpl : res::kDialogTemplates) {
            if (pszFace != nullptr)
                tmpl.pszFaceName = pszFace;
            m_templates.push_back(tmpl);
        }
        SetDialogTemplates(m_templates);
    }
    ~TemplateFace() { SetDialogTemplates(res::kDialogTemplates); }
    TemplateFace(const TemplateFace&) = delete;
    TemplateFace& operator=(const TemplateFace&) = delete;

private:
    std::vector<DialogTemplate> m_templates;
};

struct Face {
    const char* pszFace; // null: the template's own
    const char* pszSuffix;
    const char* pszFamilyPrefix;
};

constexpr Face kFaces[] = {{nullptr, "", "IPA"}, {"DejaVu Sans", "-latin", "DejaVu"}};

void Capture(CDialog& dlg, const Face& face, const char* pszName)
{
    ASSERT_TRUE(dlg.Create());
    QDialog* pWindow = dlg.GetWindow();
    pWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pWindow));
    QTest::qWait(50);
    const std::string strFile = std::string(pszName) + face.pszSuffix + "-x" +
                                std::to_string(static_cast<int>(pWindow->devicePixelRatioF())) + ".png";
    EXPECT_EQ(ClippedTexts(pWindow), std::vector<std::string>{}) << strFile;
    EXPECT_TRUE(QFontInfo(pWindow->font()).family().startsWith(QString::fromUtf8(face.pszFamilyPrefix))) << strFile;

    const char* pszDir = std::getenv("MOJIRO_SCREENSHOT_DIR");
    const fs::path dir = pszDir != nullptr && *pszDir != '\0' ? fs::path(pszDir) : fs::path(MOJIRO_SCREENSHOT_DIR);
    fs::create_directories(dir);
    const QPixmap picture = pWindow->grab();
    EXPECT_TRUE(picture.save(QString::fromStdString((dir / strFile).string()), "PNG")) << strFile;
    dlg.DestroyWindow();
}

// Run at scale 1 and, as its ".scale2" twin, at scale 2.
TEST(DialogScreenshots, MainDialog)
{
    guitest::ClearSettings();
    for (const Face& face : kFaces) {
        const TemplateFace faces(face.pszFace);
        CConvertDlg dlg;
        dlg.m_strInputFilename = "/home/user/文書/メモ.txt";
        dlg.m_strOutputFilename = "/home/user/文書/メモ.txt.euc";
        dlg.m_nOutputCharset = 1;
        dlg.m_nNLCode = 1;
        Capture(dlg, face, "main_dialog");
    }
}

TEST(DialogScreenshots, OptionsDialog)
{
    for (const Face& face : kFaces) {
        const TemplateFace faces(face.pszFace);
        COptionDlg dlg;
        dlg.m_bAutoDetermineCharset = 1;
        dlg.m_bAutoNLCode = 1;
        dlg.m_bClearFilename = 0;
        dlg.m_nOutputFilename = 1;
        dlg.m_strUnmappableDefaultChar = std::string(1, '_');
        Capture(dlg, face, "options_dialog");
    }
}

TEST(DialogScreenshots, AboutBox)
{
    const fs::path previous = fs::current_path();
    const fs::path folder = guitest::MakeTestFolder();
    guitest::WriteFile(folder / "release.txt",
                       "Mojiro 1.01u リリースノート\r\n\r\n- ISO-2022-JP のエスケープ処理を修正\r\n"
                       "- UTF-8 入出力に対応\r\n- 改行コードの自動設定を追加\r\n");
    for (const Face& face : kFaces) {
        const TemplateFace faces(face.pszFace);
        fs::current_path(folder);
        CAboutDlg dlg;
        fs::current_path(previous);
        Capture(dlg, face, "about_box");
    }
}

} // namespace
