#include "dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QUrl>
#include <QWindow>

#include <cstring>
#include <new>
#include <stdexcept>

#include "app_icon.h"
#include "ddx.h"
#include "dialog_units.h"
#include "file_system.h"
#include "gui_application.h"
#include "message_box.h"
#include "win_app.h"

namespace {

QString FromUtf8(const char* psz) { return QString::fromUtf8(psz != nullptr ? psz : ""); }

std::string FileErrorText(const CFileException& e)
{
    std::string strText = "ファイル " + e.m_strFileName + " を開けませんでした。";
    if (!e.m_strReason.empty())
        strText += "\n" + e.m_strReason;
    return strText;
}

// Local paths of a drop, in order; other URLs are not files.
std::vector<std::string> LocalFiles(const QMimeData* pMime)
{
    std::vector<std::string> files;
    if (pMime == nullptr || !pMime->hasUrls())
        return files;
    for (const QUrl& url : pMime->urls()) {
        if (url.isLocalFile())
            files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return files;
}

constexpr int kIconSize = 32;

// A label whose "&" marks a mnemonic: it gets the next tab stop as buddy.
bool HasMnemonicLabel(const DialogItemTemplate& item)
{
    return item.kind == ControlKind::Label && (item.nStyle & SS_NOPREFIX) == 0 &&
           std::strchr(item.pszText != nullptr ? item.pszText : "", '&') != nullptr;
}

// The text as drawn: a mnemonic's "&" is underlining, "&&" one ampersand.
QString ShownText(const DialogItemTemplate& item)
{
    QString strText = FromUtf8(item.pszText);
    const bool bMnemonic =
        item.kind == ControlKind::Label ? HasMnemonicLabel(item) : item.kind != ControlKind::GroupBox;
    if (bMnemonic)
        strText.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
    return strText;
}

// The widest entry the template puts in a list.
int WidestEntry(const DialogTemplate& tmpl, int nID, const QFontMetrics& metrics)
{
    int nWidest = 0;
    for (const DialogInitEntry& entry : tmpl.initData) {
        if (entry.nControlID == nID)
            nWidest = std::max(nWidest, metrics.horizontalAdvance(FromUtf8(entry.pszText)));
    }
    return nWidest;
}

// The room the style keeps around a button's text: a big button less the
// part its text is drawn in.
QSize ButtonPadding(QAbstractButton* pButton, ControlKind kind)
{
    QStyleOptionButton option;
    option.initFrom(pButton);
    option.rect = QRect(0, 0, 1000, 1000);
    option.text = pButton->text();
    QStyle::SubElement element = QStyle::SE_CheckBoxContents;
    if (auto* pPush = qobject_cast<QPushButton*>(pButton)) {
        element = QStyle::SE_PushButtonContents;
        if (pPush->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (pPush->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
    } else if (kind == ControlKind::RadioButton) {
        element = QStyle::SE_RadioButtonContents;
    }
    const QRect contents = pButton->style()->subElementRect(element, &option, pButton);
    QSize padding = option.rect.size() - contents.size();
    // A push button's text keeps the style's margin from its bevel.
    if (kind == ControlKind::PushButton)
        padding.rwidth() += pButton->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, pButton);
    return padding;
}

QSize ComboPadding(QComboBox* pCombo)
{
    QStyleOptionComboBox option;
    option.initFrom(pCombo);
    option.rect = QRect(0, 0, 1000, 1000);
    option.editable = false;
    option.frame = true;
    const QRect field =
        pCombo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, pCombo);
    return QSize(option.rect.width() - field.width(), 0);
}

// The pixels a control's contents need inside its box; 0 where any size
// serves.
QSize ContentExtent(const DialogTemplate& tmpl, const DialogItemTemplate& item, QWidget* pWidget)
{
    const QFontMetrics metrics(pWidget->font());
    const int nText = metrics.horizontalAdvance(ShownText(item));
    switch (item.kind) {
    case ControlKind::GroupBox:
        // The title sits inset in the frame's top edge, clear of both corners.
        return QSize(nText + 2 * metrics.height(), 0);
    case ControlKind::Label:
        return QSize(nText, metrics.height());
    case ControlKind::Icon:
        return QSize();
    case ControlKind::Edit:
        if ((item.nStyle & ES_MULTILINE) != 0)
            return QSize();
        return QSize(0, pWidget->minimumSizeHint().height());
    case ControlKind::ComboBox: {
        auto* pCombo = static_cast<QComboBox*>(pWidget);
        return QSize(WidestEntry(tmpl, item.nID, metrics) + ComboPadding(pCombo).width(), 0);
    }
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        break;
    }
    return QSize(nText, metrics.height()) + ButtonPadding(static_cast<QAbstractButton*>(pWidget), item.kind);
}

} // namespace

struct CDialog::Control {
    const DialogItemTemplate* pItem;
    QWidget* pWidget;
};

// The toolkit window: routes the window's own events to the dialog object.
class CDialog::Window : public QDialog {
public:
    Window(CDialog* pOwner, QWidget* pParent) : QDialog(pParent), m_pOwner(pOwner) {}

    void reject() override
    {
        if (m_pOwner == nullptr)
            return QDialog::reject();
        m_pOwner->RunGuarded([this] { m_pOwner->OnCancel(); });
    }

    // The dialog object lets go of the window; events then do nothing.
    void Detach() { m_pOwner = nullptr; }

    // The controls sit on a page of the dialog's fixed size. A window given
    // less than that (a screen too small for it, a window manager that
    // misreads its size hints) scrolls the page rather than hide controls.
    void SetPage(QWidget* pPage)
    {
        m_pScroll = new QScrollArea(this);
        m_pScroll->setFrameShape(QFrame::NoFrame);
        m_pScroll->setFocusPolicy(Qt::NoFocus);
        m_pScroll->setWidget(pPage);
        m_pScroll->setGeometry(rect());
    }

    bool m_bAcceptFiles = false;

protected:
    void resizeEvent(QResizeEvent* pEvent) override
    {
        QDialog::resizeEvent(pEvent);
        if (m_pScroll == nullptr)
            return;
        m_pScroll->setGeometry(rect());
        const QSize full = minimumSize();
        if (!isVisible() || m_bAskedAgain || (width() >= full.width() && height() >= full.height()))
            return;
        // Mapped smaller than its fixed size: ask once more for the whole,
        // and let the user drag it there should that be refused too.
        m_bAskedAgain = true;
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(full);
    }

    void showEvent(QShowEvent* pEvent) override
    {
        QDialog::showEvent(pEvent);
        // A window manager that counts the size in increments from the base
        // size finds none to add; unset, the base is negative when scaled.
        if (QWindow* pHandle = windowHandle())
            pHandle->setBaseSize(minimumSize());
    }

    void keyPressEvent(QKeyEvent* pEvent) override
    {
        if (m_pOwner != nullptr && pEvent->key() == Qt::Key_F1 && pEvent->modifiers() == Qt::NoModifier) {
            m_pOwner->RunGuarded([this] { m_pOwner->OnHelp(); });
            return;
        }
        QDialog::keyPressEvent(pEvent);
    }

    void contextMenuEvent(QContextMenuEvent* pEvent) override
    {
        if (m_pOwner == nullptr || m_pOwner->GetSystemMenu() == nullptr) {
            QDialog::contextMenuEvent(pEvent);
            return;
        }
        m_pOwner->ShowSystemMenu(pEvent->globalPos());
    }

    void dragEnterEvent(QDragEnterEvent* pEvent) override
    {
        if (m_bAcceptFiles && !LocalFiles(pEvent->mimeData()).empty())
            pEvent->acceptProposedAction();
    }

    void dragMoveEvent(QDragMoveEvent* pEvent) override
    {
        if (m_bAcceptFiles && !LocalFiles(pEvent->mimeData()).empty())
            pEvent->acceptProposedAction();
    }

    void dropEvent(QDropEvent* pEvent) override
    {
        if (m_pOwner == nullptr || !m_bAcceptFiles)
            return;
        std::vector<std::string> files = LocalFiles(pEvent->mimeData());
        if (files.empty())
            return;
        pEvent->acceptProposedAction();
        m_pOwner->RunGuarded([this, &files] { m_pOwner->OnDropFiles(files); });
    }

private:
    CDialog* m_pOwner;
    QScrollArea* m_pScroll = nullptr;
    bool m_bAskedAgain = false;
};

struct CDialog::Impl {
    const DialogTemplate* pTemplate = nullptr;
    // The parent window may delete it first; the pointer then reads null.
    QPointer<Window> pWindow;
    std::vector<Control> controls;
    struct Handler {
        Notify code;
        int nID;
        std::function<void()> fn;
    };
    std::vector<Handler> handlers;
    int nUpdateDepth = 0;
    int nResult = -1;
    bool bEnded = false;
    int nHandlerDepth = 0;
    CMenu systemMenu;
    bool bSystemMenuLoaded = false;
    QIcon bigIcon;
    QIcon smallIcon;
    CDialogUnits units{4, 8};
};

CDialog::CDialog(int nIDTemplate, CDialog* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_pImpl(std::make_unique<Impl>())
{
    m_pImpl->pTemplate = FindDialogTemplate(nIDTemplate);
}

CDialog::~CDialog() { DestroyWindow(); }

QDialog* CDialog::GetWindow() const { return m_pImpl->pWindow.data(); }

QWidget* CDialog::GetDlgItem(int nID) const
{
    if (nID == IDC_STATIC)
        return nullptr;
    for (const Control& control : m_pImpl->controls) {
        if (control.pItem->nID == nID)
            return control.pWidget;
    }
    return nullptr;
}

std::vector<QAbstractButton*> CDialog::GetRadioGroup(int nIDFirst) const
{
    std::vector<QAbstractButton*> group;
    const auto& controls = m_pImpl->controls;
    std::size_t i = 0;
    while (i < controls.size() && controls[i].pItem->nID != nIDFirst)
        ++i;
    for (std::size_t j = i; j < controls.size(); ++j) {
        if (j > i && (controls[j].pItem->nStyle & WS_GROUP) != 0)
            break;
        if (controls[j].pItem->kind == ControlKind::RadioButton)
            group.push_back(static_cast<QAbstractButton*>(controls[j].pWidget));
    }
    return group;
}

CMenu* CDialog::GetSystemMenu()
{
    if (m_pImpl->pTemplate == nullptr || (m_pImpl->pTemplate->nStyle & WS_SYSMENU) == 0)
        return nullptr;
    if (!m_pImpl->bSystemMenuLoaded) {
        // The window manager keeps its own window menu; this one carries the
        // stock Close so that programs append below it as usual.
        m_pImpl->systemMenu.AppendMenu(MF_STRING, SC_CLOSE, "閉じる(&C)");
        m_pImpl->bSystemMenuLoaded = true;
    }
    return &m_pImpl->systemMenu;
}

void CDialog::SetIcon(const QIcon& icon, bool bBigIcon)
{
    (bBigIcon ? m_pImpl->bigIcon : m_pImpl->smallIcon) = icon;
    if (m_pImpl->pWindow) {
        // The toolkit keeps one icon in several sizes: the big one wins.
        m_pImpl->pWindow->setWindowIcon(m_pImpl->bigIcon.isNull() ? m_pImpl->smallIcon : m_pImpl->bigIcon);
    }
}

QIcon CDialog::GetIcon(bool bBigIcon) const { return bBigIcon ? m_pImpl->bigIcon : m_pImpl->smallIcon; }

void CDialog::DragAcceptFiles(bool bAccept)
{
    Window* pWindow = m_pImpl->pWindow.data();
    if (pWindow == nullptr)
        return;
    pWindow->m_bAcceptFiles = bAccept;
    pWindow->setAcceptDrops(bAccept);
    // Edits would take a dropped file as text; the drop belongs to the dialog.
    for (const Control& control : m_pImpl->controls)
        control.pWidget->setAcceptDrops(false);
}

void CDialog::SendSysCommand(unsigned nID, long lParam)
{
    RunGuarded([this, nID, lParam] { OnSysCommand(nID, lParam); });
}

void CDialog::ShowSystemMenu(const QPoint& globalPos)
{
    CMenu* pMenu = GetSystemMenu();
    if (pMenu == nullptr || !m_pImpl->pWindow)
        return;
    QMenu menu(m_pImpl->pWindow.data());
    for (const CMenu::Item& item : pMenu->GetItems()) {
        if ((item.nFlags & MF_SEPARATOR) != 0) {
            menu.addSeparator();
            continue;
        }
        QAction* pAction = menu.addAction(QString::fromStdString(item.strText));
        pAction->setData(item.nID);
    }
    QAction* pChosen = menu.exec(globalPos);
    if (pChosen != nullptr)
        SendSysCommand(pChosen->data().toUInt());
}

void CDialog::RunGuarded(const std::function<void()>& handler)
{
    struct DepthGuard {
        int& nDepth;
        explicit DepthGuard(int& n) : nDepth(n) { ++nDepth; }
        ~DepthGuard() { --nDepth; }
    } guard(m_pImpl->nHandlerDepth);
    try {
        handler();
    } catch (const CFileException& e) {
        AfxMessageBox(FileErrorText(e));
    } catch (const std::bad_alloc&) {
        AfxMessageBox("メモリが不足しています。");
    } catch (const std::exception& e) {
        AfxMessageBox(std::string("処理を続けられませんでした。\n") + e.what());
    }
}

void CDialog::MapNotify(Notify code, int nID, std::function<void()> handler)
{
    m_pImpl->handlers.push_back({code, nID, std::move(handler)});
}

void CDialog::Dispatch(Notify code, int nID)
{
    if (m_pImpl->nUpdateDepth > 0)
        return;
    bool bHandled = false;
    // Copies: a handler may map more handlers or destroy the window.
    const auto handlers = m_pImpl->handlers;
    for (const Impl::Handler& handler : handlers) {
        if (handler.code == code && handler.nID == nID) {
            RunGuarded(handler.fn);
            bHandled = true;
        }
    }
    if (!bHandled && code == Notify::Clicked) {
        if (nID == IDOK)
            RunGuarded([this] { OnOK(); });
        else if (nID == IDCANCEL)
            RunGuarded([this] { OnCancel(); });
    }
}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    if (!m_pImpl->pWindow)
        return false;
    struct DepthGuard {
        int& nDepth;
        explicit DepthGuard(int& n) : nDepth(n) { ++nDepth; }
        ~DepthGuard() { --nDepth; }
    } guard(m_pImpl->nUpdateDepth);
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::ExecuteDlgInit()
{
    struct DepthGuard {
        int& nDepth;
        explicit DepthGuard(int& n) : nDepth(n) { ++nDepth; }
        ~DepthGuard() { --nDepth; }
    } guard(m_pImpl->nUpdateDepth);
    std::vector<QComboBox*> filled;
    for (const DialogInitEntry& entry : m_pImpl->pTemplate->initData) {
        auto* pCombo = qobject_cast<QComboBox*>(GetDlgItem(entry.nControlID));
        if (pCombo == nullptr)
            continue;
        pCombo->addItem(FromUtf8(entry.pszText));
        filled.push_back(pCombo);
    }
    // A list starts without a selection; the toolkit selects the first entry.
    for (QComboBox* pCombo : filled)
        pCombo->setCurrentIndex(-1);
}

bool CDialog::OnInitDialog()
{
    ExecuteDlgInit();
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnSysCommand(unsigned nID, long)
{
    if ((nID & 0xFFF0) == SC_CLOSE && m_pImpl->pWindow)
        m_pImpl->pWindow->reject();
}

void CDialog::OnDropFiles(const std::vector<std::string>&) {}

void CDialog::OnHelp()
{
    // The standard help command, routed through the application's command map.
    if (CWinApp* pApp = AfxGetApp())
        pApp->OnCmdMsg(ID_HELP);
}

void CDialog::EndDialog(int nResult)
{
    m_pImpl->nResult = nResult;
    m_pImpl->bEnded = true;
    if (m_pImpl->pWindow)
        m_pImpl->pWindow->done(nResult);
}

QWidget* CDialog::CreateEdit(const DialogItemTemplate& item, QWidget* pParent)
{
    const QString strText = FromUtf8(item.pszText);
    if ((item.nStyle & ES_MULTILINE) == 0) {
        auto* pEdit = new QLineEdit(strText, pParent);
        pEdit->setFrame((item.nStyle & WS_BORDER) != 0);
        pEdit->setReadOnly((item.nStyle & ES_READONLY) != 0);
        QObject::connect(pEdit, &QLineEdit::textChanged, pParent,
                         [this, nID = item.nID] { Dispatch(Notify::EditChange, nID); });
        return pEdit;
    }
    auto* pEdit = new QPlainTextEdit(pParent);
    pEdit->setReadOnly((item.nStyle & ES_READONLY) != 0);
    pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    pEdit->setVerticalScrollBarPolicy((item.nStyle & WS_VSCROLL) != 0 ? Qt::ScrollBarAlwaysOn
                                                                       : Qt::ScrollBarAsNeeded);
    pEdit->setHorizontalScrollBarPolicy((item.nStyle & WS_HSCROLL) != 0 ? Qt::ScrollBarAsNeeded
                                                                         : Qt::ScrollBarAlwaysOff);
    if ((item.nStyle & WS_BORDER) == 0)
        pEdit->setFrameShape(QFrame::NoFrame);
    pEdit->setPlainText(strText);
    QObject::connect(pEdit, &QPlainTextEdit::textChanged, pParent,
                     [this, nID = item.nID] { Dispatch(Notify::EditChange, nID); });
    return pEdit;
}

QWidget* CDialog::CreateButton(const DialogItemTemplate& item, QWidget* pParent, QButtonGroup*& pRadioGroup)
{
    const QString strText = FromUtf8(item.pszText);
    QAbstractButton* pButton = nullptr;
    if (item.kind == ControlKind::PushButton) {
        auto* pPush = new QPushButton(strText, pParent);
        pPush->setAutoDefault(true);
        pPush->setDefault((item.nStyle & BS_DEFPUSHBUTTON) != 0);
        pButton = pPush;
    } else if (item.kind == ControlKind::CheckBox) {
        pButton = new QCheckBox(strText, pParent);
    } else {
        pButton = new QRadioButton(strText, pParent);
        pButton->setAutoExclusive(false);
        if (pRadioGroup == nullptr) {
            pRadioGroup = new QButtonGroup(pParent);
            pRadioGroup->setExclusive(true);
        }
        pRadioGroup->addButton(pButton);
    }
    QObject::connect(pButton, &QAbstractButton::clicked, pParent,
                     [this, nID = item.nID] { Dispatch(Notify::Clicked, nID); });
    return pButton;
}

QWidget* CDialog::CreateControl(const DialogItemTemplate& item, QWidget* pParent, QButtonGroup*& pRadioGroup)
{
    const QString strText = FromUtf8(item.pszText);
    switch (item.kind) {
    case ControlKind::GroupBox:
        return new QGroupBox(strText, pParent);
    case ControlKind::Label: {
        auto* pLabel = new QLabel(pParent);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        pLabel->setText(strText);
        return pLabel;
    }
    case ControlKind::Icon: {
        auto* pLabel = new QLabel(pParent);
        const QIcon icon = LoadAppIcon(strText.toInt());
        // Drawn for the screen's pixels, not scaled up from 32 of them.
        if (!icon.isNull())
            pLabel->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), pParent->devicePixelRatioF()));
        return pLabel;
    }
    case ControlKind::Edit:
        return CreateEdit(item, pParent);
    case ControlKind::ComboBox: {
        auto* pCombo = new QComboBox(pParent);
        pCombo->setEditable(false);
        QObject::connect(pCombo, &QComboBox::currentIndexChanged, pParent,
                         [this, nID = item.nID] { Dispatch(Notify::SelChange, nID); });
        return pCombo;
    }
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        break;
    }
    return CreateButton(item, pParent, pRadioGroup);
}

void CDialog::BuildControls(QWidget* pContent)
{
    const DialogTemplate& tmpl = *m_pImpl->pTemplate;
    QButtonGroup* pRadioGroup = nullptr;
    std::vector<ControlExtent> extents;
    for (const DialogItemTemplate& item : tmpl.items) {
        if ((item.nStyle & WS_GROUP) != 0)
            pRadioGroup = nullptr;
        QWidget* pWidget = CreateControl(item, pContent, pRadioGroup);
        if (item.nID != IDC_STATIC)
            pWidget->setObjectName(QStringLiteral("IDC_%1").arg(item.nID));
        pWidget->setEnabled((item.nStyle & WS_DISABLED) == 0);
        const bool bFocusable = item.kind != ControlKind::GroupBox && item.kind != ControlKind::Label &&
                                item.kind != ControlKind::Icon;
        if (!bFocusable)
            pWidget->setFocusPolicy(Qt::NoFocus);
        else if ((item.nStyle & WS_TABSTOP) == 0)
            pWidget->setFocusPolicy(Qt::ClickFocus);
        else
            pWidget->setFocusPolicy(Qt::StrongFocus);
        m_pImpl->controls.push_back({&item, pWidget});
        extents.push_back({item.box, ContentExtent(tmpl, item, pWidget)});
    }
    m_pImpl->units = CDialogUnits(pContent->font()).FittedTo(extents);
    for (const Control& control : m_pImpl->controls)
        control.pWidget->setGeometry(ControlRect(*control.pItem, control.pWidget));
    LinkTabOrder();
}

QRect CDialog::ControlRect(const DialogItemTemplate& item, QWidget* pWidget) const
{
    QRect rect = m_pImpl->units.MapDialogRect(item.box);
    if (item.kind == ControlKind::Icon) {
        // Icon controls take the icon's size, not the box's.
        rect.setSize(QSize(kIconSize, kIconSize));
    } else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
        // The box's height is the open list's; the closed box is the
        // toolkit's own height for the font.
        const int nClosedHeight = pCombo->sizeHint().height();
        const int nItemHeight = pCombo->fontMetrics().height() + 2;
        pCombo->setMaxVisibleItems(std::max(1, (rect.height() - nClosedHeight) / std::max(1, nItemHeight)));
        rect.setHeight(nClosedHeight);
    }
    return rect;
}

void CDialog::LinkTabOrder()
{
    // Tab order is creation order; a label's mnemonic moves to the next tab stop.
    QWidget* pPrevious = nullptr;
    auto& controls = m_pImpl->controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        QWidget* pWidget = controls[i].pWidget;
        if ((pWidget->focusPolicy() & Qt::TabFocus) != 0) {
            if (pPrevious != nullptr)
                QWidget::setTabOrder(pPrevious, pWidget);
            pPrevious = pWidget;
        }
        if (!HasMnemonicLabel(*controls[i].pItem))
            continue;
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            if ((controls[j].pWidget->focusPolicy() & Qt::TabFocus) != 0) {
                static_cast<QLabel*>(pWidget)->setBuddy(controls[j].pWidget);
                break;
            }
        }
    }
}

QRect CDialog::MapDialogRect(const DialogUnitBox& box) const { return m_pImpl->units.MapDialogRect(box); }

bool CDialog::Create()
{
    if (m_pImpl->pTemplate == nullptr)
        return false;
    DestroyWindow();
    const DialogTemplate& tmpl = *m_pImpl->pTemplate;
    // Each window gets its own menu.
    m_pImpl->systemMenu = CMenu();
    m_pImpl->bSystemMenuLoaded = false;

    // Without a parent the dialog is owned by the window the user is working in.
    QWidget* pParent = m_pParentWnd != nullptr ? m_pParentWnd->GetWindow() : nullptr;
    if (pParent == nullptr)
        pParent = QApplication::activeModalWidget();
    m_pImpl->pWindow = new Window(this, pParent);
    Window* pWindow = m_pImpl->pWindow.data();
    m_pImpl->nResult = -1;
    m_pImpl->bEnded = false;

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((tmpl.nStyle & WS_CAPTION) != 0)
        flags |= Qt::WindowTitleHint;
    if ((tmpl.nStyle & WS_SYSMENU) != 0)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((tmpl.nStyle & WS_MINIMIZEBOX) != 0)
        flags |= Qt::WindowMinimizeButtonHint;
    if ((tmpl.nStyle & WS_MAXIMIZEBOX) != 0)
        flags |= Qt::WindowMaximizeButtonHint;
    pWindow->setWindowFlags(flags);
    pWindow->setWindowTitle(FromUtf8(tmpl.pszCaption));

    pWindow->setFont(CreateDialogFont(tmpl.pszFaceName, tmpl.nPointSize));
    auto* pContent = new QWidget();
    pWindow->SetPage(pContent);
    BuildControls(pContent);
    const QSize size(m_pImpl->units.ToPixelsX(tmpl.cx), m_pImpl->units.ToPixelsY(tmpl.cy));
    pContent->setFixedSize(size);
    pWindow->setFixedSize(size);
    if (!m_pImpl->bigIcon.isNull() || !m_pImpl->smallIcon.isNull())
        pWindow->setWindowIcon(m_pImpl->bigIcon.isNull() ? m_pImpl->smallIcon : m_pImpl->bigIcon);

    bool bSetFocus = false;
    RunGuarded([this, &bSetFocus] { bSetFocus = OnInitDialog(); });
    if (bSetFocus && m_pImpl->pWindow) {
        for (const Control& control : m_pImpl->controls) {
            if ((control.pWidget->focusPolicy() & Qt::TabFocus) != 0 && control.pWidget->isEnabled()) {
                control.pWidget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    return true;
}

void CDialog::DestroyWindow()
{
    Window* pWindow = m_pImpl->pWindow.data();
    m_pImpl->pWindow.clear();
    if (pWindow == nullptr) {
        m_pImpl->controls.clear();
        return;
    }
    for (const Control& control : m_pImpl->controls)
        QObject::disconnect(control.pWidget, nullptr, pWindow, nullptr);
    m_pImpl->controls.clear();
    pWindow->Detach();
    pWindow->hide();
    // Inside one of this dialog's handlers the window is still on the stack.
    if (m_pImpl->nHandlerDepth > 0)
        pWindow->deleteLater();
    else
        delete pWindow;
}

int CDialog::DoModal()
{
    if (!Create())
        return -1;
    const QPointer<QWidget> pBelow = m_pImpl->pWindow->parentWidget();
    if (!m_pImpl->bEnded) {
        const int nExec = m_pImpl->pWindow->exec();
        if (!m_pImpl->bEnded)
            m_pImpl->nResult = nExec == QDialog::Accepted ? IDOK : IDCANCEL;
    }
    const int nResult = m_pImpl->nResult;
    DestroyWindow();
    AfxReturnFocus(pBelow.data());
    return nResult;
}
