#pragma once

#include <string>
#include <vector>

constexpr unsigned MF_STRING = 0x0000;
constexpr unsigned MF_SEPARATOR = 0x0800;

// System commands a dialog handles by default.
constexpr unsigned SC_CLOSE = 0xF060;

// A window's command menu as data; the dialog turns it into a pop-up.
class CMenu {
public:
    struct Item {
        unsigned nFlags;
        unsigned nID;
        std::string strText;
    };

    bool AppendMenu(unsigned nFlags, unsigned nIDNewItem = 0, const std::string& strNewItem = {});
    int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
    const std::vector<Item>& GetItems() const { return m_items; }

private:
    std::vector<Item> m_items;
};
