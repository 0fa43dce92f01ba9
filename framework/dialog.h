#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QIcon>
#include <QRect>

#include "dialog_template.h"
#include "menu.h"

class QAbstractButton;
class QButtonGroup;
class QDialog;
class QWidget;
class CDataExchange;

// A dialog built from one of the registered templates. Its window exists from
// Create (DoModal calls it) until DestroyWindow; the object and its fields
// outlive the window, so a dialog can be seeded before and read after its
// modal run.
class CDialog {
public:
    explicit CDialog(int nIDTemplate, CDialog* pParentWnd = nullptr);
    virtual ~CDialog();

    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window, runs the start-up sequence (lists, UpdateData(false),
    // OnInitDialog), runs it modally and destroys it. Returns the value given
    // to EndDialog (IDOK, IDCANCEL), or -1 when the template does not exist.
    virtual int DoModal();

    // The start-up sequence of DoModal without the modal run: the window is
    // built but not shown. Returns false when the template does not exist.
    bool Create();
    void DestroyWindow();

    // true: controls to fields; false: fields to controls. Notifications the
    // controls raise meanwhile are not delivered to handlers.
    bool UpdateData(bool bSaveAndValidate = true);

    // Ends the modal run with nResult (the window is hidden, not destroyed).
    void EndDialog(int nResult);

    QDialog* GetWindow() const;
    QWidget* GetDlgItem(int nID) const;
    int GetTemplateID() const { return m_nIDTemplate; }
    // A box of the template in this window's pixels.
    QRect MapDialogRect(const DialogUnitBox& box) const;

    // The radio buttons of the group that starts at nIDFirst, in order: up to
    // the next control that starts a group; other kinds in between are skipped.
    std::vector<QAbstractButton*> GetRadioGroup(int nIDFirst) const;

    // Null when the template has no system menu.
    CMenu* GetSystemMenu();
    void SetIcon(const QIcon& icon, bool bBigIcon);
    QIcon GetIcon(bool bBigIcon) const;

    // Files dropped on the window reach OnDropFiles.
    void DragAcceptFiles(bool bAccept = true);

    // Delivers a command of the system menu as choosing it does.
    void SendSysCommand(unsigned nID, long lParam = 0);

    // Runs a handler under the guard: an exception that escapes it is
    // reported in a message box and the handler is abandoned.
    void RunGuarded(const std::function<void()>& handler);

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnSysCommand(unsigned nID, long lParam);
    // Local paths of the dropped files, in drop order.
    virtual void OnDropFiles(const std::vector<std::string>& files);
    // F1; by default the application's help.
    virtual void OnHelp();

    enum class Notify { Clicked, EditChange, SelChange };
    void MapNotify(Notify code, int nID, std::function<void()> handler);
    template <class T>
    void OnClicked(int nID, void (T::*pfn)())
    {
        MapNotify(Notify::Clicked, nID, [this, pfn] { (static_cast<T*>(this)->*pfn)(); });
    }
    template <class T>
    void OnEditChange(int nID, void (T::*pfn)())
    {
        MapNotify(Notify::EditChange, nID, [this, pfn] { (static_cast<T*>(this)->*pfn)(); });
    }
    template <class T>
    void OnSelChange(int nID, void (T::*pfn)())
    {
        MapNotify(Notify::SelChange, nID, [this, pfn] { (static_cast<T*>(this)->*pfn)(); });
    }

    CDialog* GetParent() const { return m_pParentWnd; }

private:
    class Window;
    struct Control;
    struct Impl;

    void Dispatch(Notify code, int nID);
    // Creates the template's controls on pContent and sets the dialog units
    // by which they are placed: the font's, grown to fit every text.
    void BuildControls(QWidget* pContent);
    QWidget* CreateControl(const DialogItemTemplate& item, QWidget* pParent, QButtonGroup*& pRadioGroup);
    QWidget* CreateEdit(const DialogItemTemplate& item, QWidget* pParent);
    QWidget* CreateButton(const DialogItemTemplate& item, QWidget* pParent, QButtonGroup*& pRadioGroup);
    QRect ControlRect(const DialogItemTemplate& item, QWidget* pWidget) const;
    void LinkTabOrder();
    void ExecuteDlgInit();
    void ShowSystemMenu(const QPoint& globalPos);

    int m_nIDTemplate;
    CDialog* m_pParentWnd;
    std::unique_ptr<Impl> m_pImpl;
};
