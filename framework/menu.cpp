#include "menu.h"

bool CMenu::AppendMenu(unsigned nFlags, unsigned nIDNewItem, const std::string& strNewItem)
{
    if ((nFlags & MF_SEPARATOR) != 0)
        m_items.push_back({MF_SEPARATOR, 0, {}});
    else
        m_items.push_back({nFlags, nIDNewItem, strNewItem});
    return true;
}
