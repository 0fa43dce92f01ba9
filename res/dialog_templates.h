#pragma once

// Dialog templates 100 (About box), 102 (main dialog) and 132 (Options).
// Text is UTF-8; boxes are in dialog units.

#include "../framework/dialog_template.h"
#include "../framework/message_box.h"

#define IDD_ABOUTBOX 100
#define IDD_CONVERT_DIALOG 102
#define IDD_OPTION_DIALOG 132
#define IDR_MAINFRAME 128

#define IDC_RELEASE_NOTE 1000
#define IDC_FILE_DESCRIPTION 1064
#define IDC_LEGAL_COPYRIGHT 1065

#define IDC_CONVERT 200
#define IDC_OPTION 201
#define IDC_HOWTOUSE 202
#define IDC_BROWSE_INPUT 204
#define IDC_BROWSE_OUTPUT 205
#define IDC_INPUT_FILENAME 1001
#define IDC_INPUT_CHARSET 1002
#define IDC_OUTPUT_FILENAME 1003
#define IDC_OUTPUT_CHARSET 1004
#define IDC_NLCODE 1006

#define IDC_OUTPUT_NONE 1003
#define IDC_AUTO_DETERMINE_CHARSET 1006
#define IDC_AUTO_NLCODE 1007
#define IDC_UNMAPPABLE_DEFAULT_CHAR 1008
#define IDC_CLEAR_FILENAME 1009
#define IDC_OUTPUT_SUFFIX 1011
#define IDC_OUTPUT_OVERWRITE 1012

#define IDM_ABOUTBOX 0x0010

namespace res {

inline constexpr std::uint32_t kPopupDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
inline constexpr std::uint32_t kFileEdit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
inline constexpr std::uint32_t kDropList = WS_VSCROLL | WS_TABSTOP;

inline constexpr DialogItemTemplate kAboutItems[] = {
    {IDC_STATIC, ControlKind::Icon, "128", {11, 11, 20, 20}, 0},
    {IDC_FILE_DESCRIPTION, ControlKind::Label, "Mojiro Version 1.01u", {40, 10, 129, 8}, SS_NOPREFIX},
    {IDC_LEGAL_COPYRIGHT, ControlKind::Label, "Copyright (C) 2001 Tarnwell Software", {40, 25, 180, 8}, 0},
    {IDOK, ControlKind::PushButton, "OK", {178, 7, 50, 14}, WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDC_RELEASE_NOTE, ControlKind::Edit, "", {7, 41, 221, 101},
     ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP},
};

inline constexpr DialogItemTemplate kConvertItems[] = {
    {IDC_STATIC, ControlKind::GroupBox, "入力ファイル", {7, 7, 249, 53}, 0},
    {IDC_STATIC, ControlKind::Label, "ファイル名(&I):", {15, 22, 41, 8}, 0},
    {IDC_INPUT_FILENAME, ControlKind::Edit, "", {60, 20, 135, 14}, kFileEdit},
    {IDC_BROWSE_INPUT, ControlKind::PushButton, "参照(&R)...", {200, 20, 50, 14}, WS_TABSTOP},
    {IDC_STATIC, ControlKind::Label, "文字セット(&S):", {15, 40, 41, 8}, 0},
    {IDC_INPUT_CHARSET, ControlKind::ComboBox, "", {60, 38, 74, 67}, kDropList},
    {IDC_STATIC, ControlKind::GroupBox, "出力ファイル", {7, 67, 249, 73}, 0},
    {IDC_STATIC, ControlKind::Label, "ファイル名(&F):", {15, 82, 42, 8}, 0},
    {IDC_OUTPUT_FILENAME, ControlKind::Edit, "", {60, 80, 135, 14}, kFileEdit},
    {IDC_BROWSE_OUTPUT, ControlKind::PushButton, "参照(&E)...", {200, 80, 50, 14}, WS_TABSTOP},
    {IDC_STATIC, ControlKind::Label, "文字セット(&O):", {15, 100, 40, 8}, 0},
    {IDC_OUTPUT_CHARSET, ControlKind::ComboBox, "", {60, 99, 74, 76}, kDropList},
    {IDC_STATIC, ControlKind::Label, "改行コード(&N):", {15, 119, 42, 8}, 0},
    {IDC_NLCODE, ControlKind::ComboBox, "", {60, 118, 74, 77}, kDropList},
    {IDC_CONVERT, ControlKind::PushButton, "変換(&V)", {265, 10, 50, 14},
     BS_DEFPUSHBUTTON | WS_DISABLED | WS_TABSTOP},
    {IDC_OPTION, ControlKind::PushButton, "オプション(&P)...", {265, 28, 50, 14}, WS_TABSTOP},
    {IDC_HOWTOUSE, ControlKind::PushButton, "使い方(&H)...", {265, 46, 50, 14}, WS_TABSTOP},
};

inline constexpr DialogInitEntry kConvertInit[] = {
    {IDC_INPUT_CHARSET, "Shift_JIS"},   {IDC_INPUT_CHARSET, "EUC-JP"},  {IDC_INPUT_CHARSET, "ISO-2022-JP"},
    {IDC_INPUT_CHARSET, "Unicode"},     {IDC_INPUT_CHARSET, "UTF-8"},   {IDC_OUTPUT_CHARSET, "Shift_JIS"},
    {IDC_OUTPUT_CHARSET, "EUC-JP"},     {IDC_OUTPUT_CHARSET, "ISO-2022-JP"}, {IDC_OUTPUT_CHARSET, "Unicode"},
    {IDC_OUTPUT_CHARSET, "UTF-8"},      {IDC_NLCODE, "CRLF"},           {IDC_NLCODE, "LF"},
    {IDC_NLCODE, "CR"},
};

inline constexpr DialogItemTemplate kOptionItems[] = {
    {IDC_STATIC, ControlKind::GroupBox, "インターフェイス", {10, 10, 155, 65}, 0},
    {IDC_AUTO_DETERMINE_CHARSET, ControlKind::CheckBox, "文字セットの自動判別(&D)", {25, 25, 131, 10}, WS_TABSTOP},
    {IDC_AUTO_NLCODE, ControlKind::CheckBox, "改行コードの自動設定(&N)", {25, 40, 125, 10}, WS_TABSTOP},
    {IDC_CLEAR_FILENAME, ControlKind::CheckBox, "変換後、ファイル名をクリア(&C)", {25, 55, 125, 10}, WS_TABSTOP},
    {IDC_STATIC, ControlKind::GroupBox, "出力ファイル名", {10, 80, 155, 65}, 0},
    {IDC_OUTPUT_NONE, ControlKind::RadioButton, "自動入力なし", {25, 95, 113, 10}, WS_GROUP | WS_TABSTOP},
    {IDC_OUTPUT_SUFFIX, ControlKind::RadioButton, "入力ファイル名 + サフィックス", {25, 110, 117, 10}, 0},
    {IDC_OUTPUT_OVERWRITE, ControlKind::RadioButton, "入力ファイル名と同名(上書き)", {25, 125, 120, 10}, 0},
    {IDC_STATIC, ControlKind::GroupBox, "変換", {10, 150, 155, 35}, 0},
    {IDC_STATIC, ControlKind::Label, "変換できない文字の代替文字(&U):", {25, 165, 105, 8}, WS_GROUP},
    {IDC_UNMAPPABLE_DEFAULT_CHAR, ControlKind::Edit, "", {130, 162, 20, 14}, kFileEdit},
    {IDOK, ControlKind::PushButton, "OK", {170, 15, 50, 14}, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {IDCANCEL, ControlKind::PushButton, "キャンセル", {170, 35, 50, 14}, WS_TABSTOP},
};

inline constexpr DialogTemplate kDialogTemplates[] = {
    {IDD_ABOUTBOX, "Mojiroのバージョン情報", "ＭＳ Ｐゴシック", 9, 235, 149, kPopupDialog, 0, kAboutItems, {}},
    {IDD_CONVERT_DIALOG, "Mojiro", "MS UI Gothic", 9, 322, 147, kPopupDialog, WS_EX_APPWINDOW, kConvertItems,
     kConvertInit},
    {IDD_OPTION_DIALOG, "オプション", "MS UI Gothic", 9, 229, 195, kPopupDialog, 0, kOptionItems, {}},
};

} // namespace res
