// Menus and accelerator tables.
//
// A menu is a tree of items kept by the layer (HMENU); the frame shows its menu bar from it and
// pop-ups are built from it when they open, after the update-UI handlers have run. Changes
// (removal by position, check marks, enabling) apply to the tree and show the next time the
// menu opens (DrawMenuBar for the bar).
//
// Menu resources are text (see res/Menus.cpp):
//   POPUP "&File"
//       MENUITEM "&Open...\tCtrl+O", 57776
//       MENUITEM SEPARATOR
//       POPUP "Recent" ... END
//   END
// Accelerator resources are text lines "<key sequence> <command id>", e.g. "Ctrl+O 57776",
// "Alt+R 57765", "Shift+Delete 57793", "F1 57784".
#pragma once

#include "platform/ui/Wnd.h"

#include <functional>
#include <string>
#include <vector>

// Menu flags
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MFT_RADIOCHECK = 0x0200;
// TrackPopupMenu flags
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

class CMenu : public CObject {
public:
    CMenu() = default;
    ~CMenu() override; // destroys the menu it owns (not one merely attached)
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }
    // The CMenu standing for a handle (one per handle, owned by the layer), or null.
    static CMenu* FromHandle(HMENU hMenu);

    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    // Loads a menu resource; FALSE when there is none or it does not parse.
    BOOL LoadMenu(UINT nIDResource);
    BOOL DestroyMenu();
    BOOL Attach(HMENU hMenu);
    HMENU Detach();

    UINT GetMenuItemCount() const;
    // Command id at a position: -1 (as UINT) for a pop-up, 0 for a separator.
    UINT GetMenuItemID(int nPos) const;
    CMenu* GetSubMenu(int nPos) const;
    UINT GetMenuState(UINT nIDItem, UINT nFlags) const; // 0xFFFFFFFF when missing
    int GetMenuString(UINT nIDItem, LPSTR lpString, int nMaxCount, UINT nFlags) const;
    std::string GetMenuString(UINT nIDItem, UINT nFlags) const;

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    // RemoveMenu keeps a removed pop-up alive (its handle stays valid); DeleteMenu destroys it.
    BOOL RemoveMenu(UINT nPosition, UINT nFlags);
    BOOL DeleteMenu(UINT nPosition, UINT nFlags);
    // Both return the previous state (MF_CHECKED / MF_GRAYED...), or 0xFFFFFFFF when missing.
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    BOOL CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags);

    // Shows the menu as a pop-up at screen point (x, y). pWnd's update handlers (a frame's, or
    // WM_INITMENUPOPUP) run first. The chosen command is posted to pWnd as WM_COMMAND, or with
    // TPM_RETURNCMD returned (0 when nothing was chosen).
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);

    // Tests answer pop-ups with this instead of a user: given the menu, return the command id
    // to choose (0 for none). Returns the previous chooser.
    using PopupChooser = std::function<UINT(CMenu& menu)>;
    static PopupChooser SetPopupChooser(PopupChooser chooser);

private:
    bool owns_ = false;
};

// Menu tree access for the layer (frames build Qt menus from it).
struct MenuItemInfo {
    UINT id = 0;
    UINT flags = 0; // MF_SEPARATOR, MF_POPUP, MF_CHECKED, MF_GRAYED, MFT_RADIOCHECK
    std::string text;
    HMENU sub = nullptr;
};
std::vector<MenuItemInfo> GetMenuItems(HMENU hMenu);
// Finds the menu and position holding command nID (searching pop-ups too).
bool FindMenuItem(HMENU root, UINT nID, HMENU* owner, int* pos);
// Called when the items of a menu bar (a menu that is not a pop-up) change; frames showing it
// rebuild their bar.
void NotifyMenuBarChanged(HMENU root);
// Parses menu resource text; null on a syntax error.
HMENU ParseMenuText(std::string_view text);

// Accelerators.
struct AccelEntry {
    std::string keys; // Qt's portable key-sequence text ("Ctrl+O", "Shift+Delete", "F1")
    UINT id = 0;
};
HACCEL LoadAccelerators(HINSTANCE hInstance, UINT nIDResource);
std::vector<AccelEntry> GetAcceleratorEntries(HACCEL hAccel);
// Parses accelerator resource text; null on a malformed line. The caller owns the table
// (DestroyAcceleratorTable); LoadAccelerators' tables belong to the layer.
HACCEL ParseAcceleratorText(std::string_view text);
void DestroyAcceleratorTable(HACCEL hAccel);
