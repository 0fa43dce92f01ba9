#include "resources.h"

#include "../framework/afx_string.h"
#include "../framework/app_icon_resource.h"
#include "../framework/dialog_template.h"
#include "dialog_templates.h"
#include "string_table.h"

void RegisterResources()
{
    afx::SetStringTable(kStringTable);
    SetDialogTemplates(res::kDialogTemplates);
    // Compiled in as a Qt resource by the window library (and the tests).
    SetAppIconResource(IDR_MAINFRAME, ":/mojiro/mojiro.svg");
}
