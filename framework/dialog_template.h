#pragma once

#include <cstdint>
#include <span>

// A dialog described as data: the window, its controls in creation (and tab)
// order, and the initial entries of its lists. Boxes are in dialog units.

constexpr int IDC_STATIC = -1;

enum class ControlKind : std::uint8_t {
    GroupBox,
    Label,
    Icon,        // shows the icon resource named by the item's text
    Edit,
    PushButton,
    ComboBox,    // drop-down list; the box height is that of the open list
    CheckBox,
    RadioButton,
};

// Window styles.
constexpr std::uint32_t WS_POPUP = 0x80000000u;
constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;
constexpr std::uint32_t DS_MODALFRAME = 0x00000080u;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;

// Control styles (the low word's meaning depends on the kind).
constexpr std::uint32_t WS_DISABLED = 0x08000000u;
constexpr std::uint32_t WS_BORDER = 0x00800000u;
constexpr std::uint32_t WS_VSCROLL = 0x00200000u;
constexpr std::uint32_t WS_HSCROLL = 0x00100000u;
constexpr std::uint32_t WS_GROUP = 0x00020000u;
constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001u;
constexpr std::uint32_t ES_MULTILINE = 0x0004u;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080u;
constexpr std::uint32_t ES_READONLY = 0x0800u;
constexpr std::uint32_t SS_NOPREFIX = 0x0080u;

struct DialogUnitBox {
    int x;
    int y;
    int cx;
    int cy;
};

struct DialogItemTemplate {
    int nID;
    ControlKind kind;
    const char* pszText;
    DialogUnitBox box;
    std::uint32_t nStyle;
};

// One entry of a list, appended in table order when the dialog starts.
struct DialogInitEntry {
    int nControlID;
    const char* pszText;
};

struct DialogTemplate {
    int nID;
    const char* pszCaption;
    const char* pszFaceName;
    int nPointSize;
    int cx;
    int cy;
    std::uint32_t nStyle;
    std::uint32_t nExStyle;
    std::span<const DialogItemTemplate> items;
    std::span<const DialogInitEntry> initData;
};

// The program's templates, registered once at start; they must outlive every
// dialog. Until then no template is found.
void SetDialogTemplates(std::span<const DialogTemplate> templates);

// The registered template with this identifier, or null.
const DialogTemplate* FindDialogTemplate(int nIDTemplate);
