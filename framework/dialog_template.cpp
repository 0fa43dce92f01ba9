#include "dialog_template.h"

#include "../res/dialog_templates.h"

const DialogTemplate* FindDialogTemplate(int nIDTemplate)
{
    for (const DialogTemplate& dialogTemplate : res::kDialogTemplates) {
        if (dialogTemplate.nID == nIDTemplate)
            return &dialogTemplate;
    }
    return nullptr;
}
