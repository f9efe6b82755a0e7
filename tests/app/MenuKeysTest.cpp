// The keys the main menu names beside its items: each runs the item it stands beside, and an
// item that does nothing names no key.
#include "FrameFixture.h"

#include "res/resource.h"

#include <map>
#include <string>

using namespace frametest;

namespace {
using MenuKeys = FrameFixture;

// Every item of the menu tree below `menu` that names a key after a tab: key -> command.
void CollectNamedKeys(CMenu* menu, std::multimap<std::string, UINT>& out)
{
    for (UINT i = 0; i < menu->GetMenuItemCount(); ++i) {
        if (CMenu* sub = menu->GetSubMenu(static_cast<int>(i))) {
            CollectNamedKeys(sub, out);
            continue;
        }
        const std::string text = menu->GetMenuString(i, MF_BYPOSITION);
        const auto tab = text.find('\t');
        if (tab != std::string::npos)
            out.emplace(text.substr(tab + 1), menu->GetMenuItemID(static_cast<int>(i)));
    }
}
} // namespace

TEST_F(MenuKeys, EveryKeyAMenuItemNamesRunsThatItem)
{
    ASSERT_NE(Start(), nullptr);
    std::multimap<std::string, UINT> named;
    CollectNamedKeys(frame->GetMenu(), named);
    ASSERT_GE(named.size(), 8u);
    std::map<std::string, UINT> bound;
    for (const AccelEntry& e : GetAcceleratorEntries(frame->m_hAccelTable))
        bound[e.keys] = e.id;
    for (const auto& [key, id] : named) {
        ASSERT_TRUE(bound.count(key)) << key << " is named by item " << id << " but bound to nothing";
        EXPECT_EQ(bound[key], id) << key << " is named by item " << id << " but runs " << bound[key];
    }
    // F1 shows the About box, and its menu item says so; Help's Contents (which does nothing) does not.
    ASSERT_EQ(named.count("F1"), 1u);
    EXPECT_EQ(named.find("F1")->second, static_cast<UINT>(ID_HELP_ABOUT));
}
