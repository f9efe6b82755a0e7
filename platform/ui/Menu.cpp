#include "platform/ui/Menu.h"

#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/qt/QtAccess.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include <cstring>
#include <map>
#include <memory>
#include <sstream>

struct MenuNode {
    UINT id = 0;
    UINT flags = 0;
    std::string text;
    HMENU sub = nullptr;
};

struct HMENU__ {
    std::vector<MenuNode> items;
    bool popup = false;
    std::unique_ptr<CMenu> wrapper; // what FromHandle returns
};

struct HACCEL__ {
    std::vector<AccelEntry> entries;
};

namespace {
std::map<HMENU, std::unique_ptr<HMENU__>>& Menus()
{
    static std::map<HMENU, std::unique_ptr<HMENU__>> m;
    return m;
}

HMENU__* Valid(HMENU h)
{
    if (!h)
        return nullptr;
    return Menus().count(h) ? h : nullptr;
}

HMENU NewMenu(bool popup)
{
    auto node = std::make_unique<HMENU__>();
    node->popup = popup;
    HMENU h = node.get();
    Menus()[h] = std::move(node);
    return h;
}

void DestroyTree(HMENU h)
{
    HMENU__* m = Valid(h);
    if (!m)
        return;
    for (auto& it : m->items)
        if (it.sub)
            DestroyTree(it.sub);
    Menus().erase(h);
}

// Locates an item by command (recursively) or by position.
bool Locate(HMENU h, UINT nItem, UINT nFlags, HMENU* owner, int* pos)
{
    HMENU__* m = Valid(h);
    if (!m)
        return false;
    if (nFlags & MF_BYPOSITION) {
        if (nItem >= m->items.size())
            return false;
        *owner = h;
        *pos = static_cast<int>(nItem);
        return true;
    }
    return FindMenuItem(h, nItem, owner, pos);
}

// The located item itself, or null; owner (when asked) gets the menu holding it.
MenuNode* LocateNode(HMENU h, UINT nItem, UINT nFlags, HMENU* owner = nullptr)
{
    HMENU o = nullptr;
    int pos = 0;
    if (!Locate(h, nItem, nFlags, &o, &pos))
        return nullptr;
    if (owner)
        *owner = o;
    return &Valid(o)->items[size_t(pos)];
}

// Sets the item's flag bits in mask as value has them; returns the bits it had.
UINT SwapFlags(MenuNode& n, UINT mask, UINT value)
{
    const UINT prev = n.flags & mask;
    n.flags = (n.flags & ~mask) | (value & mask);
    return prev;
}

// A change to a menu bar's own items shows at once, as Windows shows it (pop-ups are rebuilt
// whenever they open anyway).
void Changed(HMENU owner)
{
    if (HMENU__* m = Valid(owner); m && !m->popup)
        NotifyMenuBarChanged(owner);
}

// Takes an item out of its menu, destroying its submenu too when destroySub.
bool EraseItem(HMENU h, UINT nItem, UINT nFlags, bool destroySub)
{
    HMENU owner = nullptr;
    int pos = 0;
    if (!Locate(h, nItem, nFlags, &owner, &pos))
        return false;
    auto& items = Valid(owner)->items;
    const HMENU sub = items[size_t(pos)].sub;
    items.erase(items.begin() + pos);
    if (destroySub && sub)
        DestroyTree(sub);
    Changed(owner);
    return true;
}

CMenu::PopupChooser& Chooser()
{
    static CMenu::PopupChooser c;
    return c;
}
} // namespace

bool FindMenuItem(HMENU root, UINT nID, HMENU* owner, int* pos)
{
    HMENU__* m = Valid(root);
    if (!m)
        return false;
    for (size_t i = 0; i < m->items.size(); ++i) {
        const MenuNode& n = m->items[i];
        if (!(n.flags & (MF_POPUP | MF_SEPARATOR)) && n.id == nID) {
            *owner = root;
            *pos = static_cast<int>(i);
            return true;
        }
        if (n.sub && FindMenuItem(n.sub, nID, owner, pos))
            return true;
    }
    return false;
}

std::vector<MenuItemInfo> GetMenuItems(HMENU h)
{
    std::vector<MenuItemInfo> out;
    if (HMENU__* m = Valid(h))
        for (const MenuNode& n : m->items)
            out.push_back(MenuItemInfo{n.id, n.flags, n.text, n.sub});
    return out;
}

// ---- Resource text ---------------------------------------------------------------------------

namespace {
struct Lexer {
    std::string_view s;
    size_t i = 0;
    void Skip()
    {
        while (i < s.size()) {
            if (isspace(static_cast<unsigned char>(s[i])) || s[i] == ',')
                ++i;
            else if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '/') {
                while (i < s.size() && s[i] != '\n')
                    ++i;
            } else
                break;
        }
    }
    bool AtEnd()
    {
        Skip();
        return i >= s.size();
    }
    std::string Word()
    {
        Skip();
        size_t b = i;
        while (i < s.size() && !isspace(static_cast<unsigned char>(s[i])) && s[i] != ',' && s[i] != '"')
            ++i;
        return std::string(s.substr(b, i - b));
    }
    bool Quoted(std::string& out)
    {
        Skip();
        if (i >= s.size() || s[i] != '"')
            return false;
        ++i;
        out.clear();
        while (i < s.size() && s[i] != '"') {
            if (s[i] == '\\' && i + 1 < s.size()) {
                ++i;
                out += s[i] == 't' ? '\t' : s[i];
            } else
                out += s[i];
            ++i;
        }
        if (i >= s.size())
            return false;
        ++i;
        return true;
    }
};

bool ParseItems(Lexer& lx, HMENU into, bool topLevel)
{
    while (!lx.AtEnd()) {
        const std::string w = lx.Word();
        if (w == "END")
            return !topLevel;
        if (w == "POPUP") {
            MenuNode n;
            n.flags = MF_POPUP;
            if (!lx.Quoted(n.text))
                return false;
            n.sub = NewMenu(true);
            n.id = static_cast<UINT>(-1);
            Valid(into)->items.push_back(n);
            if (!ParseItems(lx, n.sub, false))
                return false;
        } else if (w == "MENUITEM") {
            MenuNode n;
            lx.Skip();
            if (lx.i < lx.s.size() && lx.s[lx.i] == '"') {
                if (!lx.Quoted(n.text))
                    return false;
                const std::string id = lx.Word();
                char* end = nullptr;
                n.id = static_cast<UINT>(std::strtoul(id.c_str(), &end, 0));
                if (id.empty() || *end)
                    return false;
                // Optional attributes.
                for (;;) {
                    const size_t save = lx.i;
                    const std::string attr = lx.Word();
                    if (attr == "CHECKED")
                        n.flags |= MF_CHECKED;
                    else if (attr == "GRAYED")
                        n.flags |= MF_GRAYED;
                    else if (attr == "INACTIVE")
                        n.flags |= MF_DISABLED;
                    else {
                        lx.i = save;
                        break;
                    }
                }
            } else {
                if (lx.Word() != "SEPARATOR")
                    return false;
                n.flags = MF_SEPARATOR;
            }
            Valid(into)->items.push_back(n);
        } else {
            return false;
        }
    }
    return topLevel;
}
} // namespace

HMENU ParseMenuText(std::string_view text)
{
    HMENU root = NewMenu(false);
    Lexer lx{text};
    if (!ParseItems(lx, root, true)) {
        DestroyTree(root);
        return nullptr;
    }
    return root;
}

HACCEL ParseAcceleratorText(std::string_view text)
{
    auto table = std::make_unique<HACCEL__>();
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find("//");
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream ls(line);
        std::string keys, id;
        if (!(ls >> keys))
            continue;
        if (!(ls >> id))
            return nullptr;
        char* end = nullptr;
        const unsigned long v = std::strtoul(id.c_str(), &end, 0);
        if (*end || v == 0 || v > 0xFFFF)
            return nullptr;
        table->entries.push_back(AccelEntry{keys, static_cast<UINT>(v)});
    }
    return table.release();
}

HACCEL LoadAccelerators(HINSTANCE, UINT nIDResource)
{
    // Loaded tables live as long as the process, as loaded resources do.
    static std::map<UINT, std::unique_ptr<HACCEL__>> cache;
    auto it = cache.find(nIDResource);
    if (it != cache.end())
        return it->second.get();
    const auto bytes = FindResourceBytes(ResType::Accelerator, nIDResource);
    if (bytes.empty())
        return nullptr;
    HACCEL h = ParseAcceleratorText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (h)
        cache[nIDResource].reset(h);
    return h;
}

void DestroyAcceleratorTable(HACCEL h) { delete h; }

std::vector<AccelEntry> GetAcceleratorEntries(HACCEL h) { return h ? h->entries : std::vector<AccelEntry>{}; }

// ---- CMenu -----------------------------------------------------------------------------------

CMenu::~CMenu()
{
    if (owns_)
        DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU h)
{
    HMENU__* m = Valid(h);
    if (!m)
        return nullptr;
    if (!m->wrapper) {
        m->wrapper = std::make_unique<CMenu>();
        m->wrapper->m_hMenu = h;
    }
    return m->wrapper.get();
}

BOOL CMenu::CreateMenu()
{
    if (m_hMenu)
        return FALSE;
    m_hMenu = NewMenu(false);
    owns_ = true;
    return TRUE;
}

BOOL CMenu::CreatePopupMenu()
{
    if (m_hMenu)
        return FALSE;
    m_hMenu = NewMenu(true);
    owns_ = true;
    return TRUE;
}

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    if (m_hMenu)
        return FALSE;
    const auto bytes = FindResourceBytes(ResType::Menu, nIDResource);
    if (bytes.empty())
        return FALSE;
    m_hMenu = ParseMenuText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    owns_ = m_hMenu != nullptr;
    return m_hMenu != nullptr;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    HMENU h = m_hMenu;
    m_hMenu = nullptr;
    owns_ = false;
    HMENU__* m = Valid(h);
    if (!m)
        return FALSE;
    // The handle's own wrapper (FromHandle) must not destroy it again.
    std::unique_ptr<CMenu> wrapper = std::move(m->wrapper);
    if (wrapper.get() != this && wrapper)
        wrapper->m_hMenu = nullptr;
    if (wrapper.get() == this)
        wrapper.release(); // we are being destroyed by whoever owns us
    DestroyTree(h);
    return TRUE;
}

BOOL CMenu::Attach(HMENU h)
{
    if (m_hMenu || !Valid(h))
        return FALSE;
    m_hMenu = h;
    owns_ = true;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU h = m_hMenu;
    m_hMenu = nullptr;
    owns_ = false;
    return h;
}

UINT CMenu::GetMenuItemCount() const
{
    HMENU__* m = Valid(m_hMenu);
    return m ? static_cast<UINT>(m->items.size()) : static_cast<UINT>(-1);
}

UINT CMenu::GetMenuItemID(int nPos) const
{
    HMENU__* m = Valid(m_hMenu);
    if (!m || nPos < 0 || nPos >= static_cast<int>(m->items.size()))
        return static_cast<UINT>(-1);
    const MenuNode& n = m->items[size_t(nPos)];
    if (n.flags & MF_POPUP)
        return static_cast<UINT>(-1);
    if (n.flags & MF_SEPARATOR)
        return 0;
    return n.id;
}

CMenu* CMenu::GetSubMenu(int nPos) const
{
    HMENU__* m = Valid(m_hMenu);
    if (!m || nPos < 0 || nPos >= static_cast<int>(m->items.size()))
        return nullptr;
    return FromHandle(m->items[size_t(nPos)].sub);
}

UINT CMenu::GetMenuState(UINT nIDItem, UINT nFlags) const
{
    const MenuNode* found = LocateNode(m_hMenu, nIDItem, nFlags);
    if (!found)
        return static_cast<UINT>(-1);
    const MenuNode& n = *found;
    UINT state = n.flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_POPUP);
    if (n.sub)
        state |= (static_cast<UINT>(Valid(n.sub)->items.size()) << 8);
    return state;
}

std::string CMenu::GetMenuString(UINT nIDItem, UINT nFlags) const
{
    const MenuNode* n = LocateNode(m_hMenu, nIDItem, nFlags);
    return n ? n->text : std::string();
}

int CMenu::GetMenuString(UINT nIDItem, LPSTR buf, int nMaxCount, UINT nFlags) const
{
    const std::string s = GetMenuString(nIDItem, nFlags);
    if (!buf || nMaxCount <= 0)
        return static_cast<int>(s.size());
    const int n = std::min<int>(static_cast<int>(s.size()), nMaxCount - 1);
    std::memcpy(buf, s.data(), size_t(n));
    buf[n] = '\0';
    return n;
}

namespace {
MenuNode MakeNode(UINT nFlags, UINT_PTR nID, LPCSTR text)
{
    MenuNode n;
    n.flags = nFlags & (MF_SEPARATOR | MF_POPUP | MF_CHECKED | MF_GRAYED | MF_DISABLED | MFT_RADIOCHECK);
    if (nFlags & MF_POPUP) {
        n.sub = reinterpret_cast<HMENU>(nID);
        n.id = static_cast<UINT>(-1);
    } else {
        n.id = static_cast<UINT>(nID);
    }
    if (text && !(nFlags & MF_SEPARATOR))
        n.text = text;
    return n;
}
} // namespace

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    HMENU__* m = Valid(m_hMenu);
    if (!m)
        return FALSE;
    if ((nFlags & MF_POPUP) && !Valid(reinterpret_cast<HMENU>(nIDNewItem)))
        return FALSE;
    m->items.push_back(MakeNode(nFlags, nIDNewItem, lpszNewItem));
    Changed(m_hMenu);
    return TRUE;
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    HMENU__* m = Valid(m_hMenu);
    if (!m)
        return FALSE;
    HMENU owner = m_hMenu;
    int pos = 0;
    if (nFlags & MF_BYPOSITION) {
        pos = nPosition >= m->items.size() ? static_cast<int>(m->items.size()) : static_cast<int>(nPosition);
    } else if (!FindMenuItem(m_hMenu, nPosition, &owner, &pos)) {
        return FALSE;
    }
    auto& items = Valid(owner)->items;
    items.insert(items.begin() + pos, MakeNode(nFlags & ~MF_BYPOSITION, nIDNewItem, lpszNewItem));
    Changed(owner);
    return TRUE;
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    HMENU owner = nullptr;
    MenuNode* found = LocateNode(m_hMenu, nPosition, nFlags, &owner);
    if (!found)
        return FALSE;
    MenuNode& n = *found;
    const HMENU oldSub = n.sub;
    n = MakeNode(nFlags & ~MF_BYPOSITION, nIDNewItem, lpszNewItem);
    if (oldSub && oldSub != n.sub)
        DestroyTree(oldSub);
    Changed(owner);
    return TRUE;
}

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags) { return EraseItem(m_hMenu, nPosition, nFlags, false) ? TRUE : FALSE; }

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags) { return EraseItem(m_hMenu, nPosition, nFlags, true) ? TRUE : FALSE; }

UINT CMenu::CheckMenuItem(UINT nID, UINT nCheck)
{
    MenuNode* n = LocateNode(m_hMenu, nID, nCheck);
    return n ? SwapFlags(*n, MF_CHECKED, nCheck) : static_cast<UINT>(-1);
}

UINT CMenu::EnableMenuItem(UINT nID, UINT nEnable)
{
    MenuNode* n = LocateNode(m_hMenu, nID, nEnable);
    return n ? SwapFlags(*n, MF_GRAYED | MF_DISABLED, nEnable) : static_cast<UINT>(-1);
}

BOOL CMenu::CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags)
{
    HMENU__* m = Valid(m_hMenu);
    if (!m)
        return FALSE;
    bool found = false;
    if (nFlags & MF_BYPOSITION) {
        for (UINT p = nIDFirst; p <= nIDLast && p < m->items.size(); ++p) {
            MenuNode& n = m->items[p];
            n.flags = (n.flags & ~MF_CHECKED) | (p == nIDItem ? (MF_CHECKED | MFT_RADIOCHECK) : 0);
            found |= p == nIDItem;
        }
        return found;
    }
    for (UINT id = nIDFirst; id <= nIDLast; ++id) {
        HMENU owner = nullptr;
        int pos = 0;
        if (!FindMenuItem(m_hMenu, id, &owner, &pos))
            continue;
        MenuNode& n = Valid(owner)->items[size_t(pos)];
        n.flags = (n.flags & ~MF_CHECKED) | (id == nIDItem ? (MF_CHECKED | MFT_RADIOCHECK) : 0);
        found |= id == nIDItem;
    }
    return found;
}

CMenu::PopupChooser CMenu::SetPopupChooser(PopupChooser chooser)
{
    PopupChooser old = std::move(Chooser());
    Chooser() = std::move(chooser);
    return old;
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT)
{
    if (!Valid(m_hMenu))
        return FALSE;
    const HWND target = pWnd ? pWnd->GetSafeHwnd() : nullptr;
    if (pWnd && !(nFlags & TPM_NONOTIFY)) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(pWnd))
            frame->UpdateMenuUI(this);
        else
            pWnd->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(this), 0);
    }
    UINT chosen = 0;
    if (Chooser()) {
        chosen = Chooser()(*this);
        // Only enabled commands of this menu can be chosen.
        HMENU owner = nullptr;
        int pos = 0;
        if (chosen && (!FindMenuItem(m_hMenu, chosen, &owner, &pos) ||
                       (Valid(owner)->items[size_t(pos)].flags & (MF_GRAYED | MF_DISABLED))))
            chosen = 0;
    } else {
        QMenu menu;
        FillQMenu(&menu, m_hMenu, nullptr);
        QPoint at(x, y);
        if (nFlags & TPM_RIGHTALIGN)
            at.rx() -= menu.sizeHint().width();
        else if (nFlags & TPM_CENTERALIGN)
            at.rx() -= menu.sizeHint().width() / 2;
        if (QAction* a = menu.exec(at))
            chosen = a->data().toUInt();
    }
    if (nFlags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    if (chosen && target)
        ::PostMessage(target, WM_COMMAND, MAKEWPARAM(WORD(chosen), 0), 0);
    return TRUE;
}
