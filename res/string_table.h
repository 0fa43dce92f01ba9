#pragma once

#include "../framework/afx_string.h"

// String table (UTF-8).
#define IDS_ABOUTBOX 101
#define IDS_CONVERT_SUCCEEDED 102
#define IDS_CONVERT_FAILED 103
#define IDS_FILE_FILTER 104
#define IDS_COMPANY_NAME 105
#define IDS_DETECT_FAILED 106
// Why Shift_JIS was taken when detection could not tell.
#define IDS_DETECT_EMPTY 107
#define IDS_DETECT_ASCII 108
// The framework's AFX_IDS_APP_TITLE: the caption of message boxes.
#define IDS_APP_TITLE 0xE000

inline constexpr afx::StringTableEntry kStringTable[] = {
    {IDS_ABOUTBOX, "Mojiro のバージョン情報(&A)..."},
    {IDS_CONVERT_SUCCEEDED, "正常に変換しました"},
    {IDS_CONVERT_FAILED, "変換に失敗しました"},
    {IDS_FILE_FILTER, "テキストファイル (*.txt)|*.txt|HTMLファイル (*.html *.htm)|*.html;*.htm|全てのファイル (*.*)|*.*||"},
    {IDS_COMPANY_NAME, "Tarnwell Software"},
    {IDS_DETECT_FAILED, "文字コードの自動判別に失敗しました。"},
    {IDS_DETECT_EMPTY, "ファイルが空のため、Shift_JIS として扱います。"},
    {IDS_DETECT_ASCII, "日本語の文字が見つからないため、Shift_JIS として扱います。"},
    {IDS_APP_TITLE, "Mojiro"},
};
