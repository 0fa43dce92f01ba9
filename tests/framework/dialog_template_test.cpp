#include "framework/dialog_template.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "convert/charset.h"
#include "res/dialog_templates.h"
#include "res/resources.h"

namespace {

// The templates are data typed by hand: these catch the slips a table
// invites (a duplicated identifier, a box off the window, a list entry for
// a control that is not a list).
TEST(DialogTemplates, EveryTemplateIsConsistent)
{
    for (int nID : {IDD_ABOUTBOX, IDD_CONVERT_DIALOG, IDD_OPTION_DIALOG}) {
        const DialogTemplate* pTemplate = FindDialogTemplate(nID);
        ASSERT_NE(pTemplate, nullptr) << nID;
        EXPECT_EQ(pTemplate->nID, nID);
        std::set<int> ids;
        for (const DialogItemTemplate& item : pTemplate->items) {
            if (item.nID != IDC_STATIC) {
                EXPECT_TRUE(ids.insert(item.nID).second) << "template " << nID << " repeats " << item.nID;
            }
            EXPECT_GE(item.box.x, 0);
            EXPECT_GE(item.box.y, 0);
            EXPECT_LE(item.box.x + item.box.cx, pTemplate->cx) << "template " << nID << " control " << item.pszText;
            if (item.kind != ControlKind::ComboBox) { // a list's box is its open drop-down
                EXPECT_LE(item.box.y + item.box.cy, pTemplate->cy) << "template " << nID << " control " << item.pszText;
            }
        }
        for (const DialogInitEntry& entry : pTemplate->initData) {
            bool bIsList = false;
            for (const DialogItemTemplate& item : pTemplate->items)
                bIsList |= item.nID == entry.nControlID && item.kind == ControlKind::ComboBox;
            EXPECT_TRUE(bIsList) << "template " << nID << " fills " << entry.nControlID;
        }
    }
    EXPECT_EQ(FindDialogTemplate(101), nullptr);
}

TEST(DialogTemplates, MainDialogListsMatchTheEncodingsAndLineEndings)
{
    const DialogTemplate* pTemplate = FindDialogTemplate(IDD_CONVERT_DIALOG);
    ASSERT_NE(pTemplate, nullptr);
    std::vector<std::string> input, output, nl;
    for (const DialogInitEntry& entry : pTemplate->initData) {
        if (entry.nControlID == IDC_INPUT_CHARSET)
            input.push_back(entry.pszText);
        else if (entry.nControlID == IDC_OUTPUT_CHARSET)
            output.push_back(entry.pszText);
        else if (entry.nControlID == IDC_NLCODE)
            nl.push_back(entry.pszText);
    }
    const std::vector<std::string> charsets(std::begin(Charset::kNames), std::end(Charset::kNames));
    EXPECT_EQ(input, charsets);
    EXPECT_EQ(output, charsets);
    EXPECT_EQ(nl, (std::vector<std::string>(std::begin(NewLine::kNames), std::end(NewLine::kNames))));
}

// Lookups answer from whatever templates were registered last, and find none
// when nothing is.
TEST(DialogTemplates, FindReadsTheRegisteredTemplates)
{
    struct Reregister {
        ~Reregister() { RegisterResources(); }
    } reregister;
    static constexpr DialogTemplate kTemplates[] = {
        {7, "seven", "", 9, 10, 10, 0, 0, {}, {}},
        {IDD_ABOUTBOX, "other", "", 9, 10, 10, 0, 0, {}, {}},
    };
    SetDialogTemplates(kTemplates);
    EXPECT_EQ(FindDialogTemplate(7), &kTemplates[0]);
    EXPECT_EQ(FindDialogTemplate(IDD_ABOUTBOX), &kTemplates[1]);
    EXPECT_EQ(FindDialogTemplate(IDD_CONVERT_DIALOG), nullptr);
    SetDialogTemplates({});
    for (int nID : {7, IDD_ABOUTBOX, IDD_CONVERT_DIALOG})
        EXPECT_EQ(FindDialogTemplate(nID), nullptr) << nID;
}

} // namespace
