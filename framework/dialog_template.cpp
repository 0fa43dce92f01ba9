#include "dialog_template.h"

namespace {

constinit std::span<const DialogTemplate> g_dialogTemplates;

} // namespace

void SetDialogTemplates(std::span<const DialogTemplate> templates) { g_dialogTemplates = templates; }

const DialogTemplate* FindDialogTemplate(int nIDTemplate)
{
    for (const DialogTemplate& dialogTemplate : g_dialogTemplates) {
        if (dialogTemplate.nID == nIDTemplate)
            return &dialogTemplate;
    }
    return nullptr;
}
