// Dialog templates: what a dialog or property page holds (caption, controls by id, kind and
// label, in tab order) and how its controls are arranged, as rows, columns, grids and group
// boxes that Qt layouts resolve. There are no pixel coordinates, so a dialog fits its font and
// scales on HiDPI screens; controls the code places itself are created at run time instead.
//
// Header-only and free of Qt, so that res/ (which links only the platform core) can describe
// and register every dialog; CDialog and CPropertyPage find them by id or name.
//
// Writing a template:
//
//     using namespace dlg;
//     RegisterDialogTemplate({159, "Set Paths",
//         Column({
//             Grid(2, {Label("Wave Files:"), Edit(1983).Chars(40),
//                      Label("Temp Files:"), Edit(1984).Chars(40)}),
//             Row({PushButton(1994, "Defaults"), Stretch(), DefPushButton(IDOK, "OK"),
//                  PushButton(IDCANCEL, "Cancel")}),
//         })});
//
// Tab order is declaration order. Auto radio buttons form groups as on Windows: a group runs
// from one group-style control (one marked Group(), a group box, a static text) to the next,
// so an edit or combo between two radios stays inside their group; radios given the same
// InGroup(name) form a group wherever they stand, for grids whose radio columns are
// interleaved with other controls. Tables of
// controls are easiest built in a loop into a std::vector<dlg::Node> handed to Grid().
//
// A static the code addresses gets an id: Label("Plot Range", 1865). Group boxes are drawn
// behind their controls, which stay the dialog's own children (as on Windows). Hidden controls
// keep their place. Area(w, h) keeps room for a control the code creates and places itself.
// A property page's template is written the same way; its caption is the tab's text.
#pragma once

#include "platform/core/MessageBox.h"
#include "platform/core/WinTypes.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dlg {

// Control kinds, named after what they are rather than after their window class.
enum class Ctl {
    PushButton,
    DefPushButton,
    CheckBox,        // toggles itself when clicked (auto check box) unless Manual()
    RadioButton,     // checks itself and clears its group when clicked (auto radio) unless Manual()
    OwnerDrawButton, // painted by its owner's DrawItem
    GroupBox,
    Label,           // static text
    Frame,           // static rectangle, e.g. a colour swatch the owner paints
    Image,           // static bitmap from the resources
    Edit,
    ComboDropDown,   // editable combo box
    ComboDropList,   // list-only combo box
    ListBox,
    HScrollBar,
    VScrollBar,
    Spin,            // up-down arrows
    Progress,
    DateTime,
    ReportList,      // multi-column list with a header, optionally with check boxes
};

enum class Align { Left, Center, Right };

// One control of a template. Sizes are hints in font units (average character widths and
// line heights) so they follow the font; 0 lets the layout choose.
struct ControlSpec {
    Ctl kind = Ctl::Label;
    int id = -1; // -1: a static that the code never addresses
    std::string text;

    bool hidden = false;
    bool disabled = false;
    bool group = false;    // starts a new tab group and radio group
    int tabStop = -1;      // -1: the kind's usual choice
    std::string radioGroup; // explicit radio group name
    Align align = Align::Left;

    // Buttons.
    bool manual = false;   // check boxes and radios that the code toggles itself
    bool flat = false;
    bool multilineText = false;
    // Edits.
    bool multiline = false;
    bool readOnly = false;
    bool password = false;
    bool number = false;
    bool wantReturn = false;
    bool autoHScroll = true;
    bool vscroll = false;
    bool hscroll = false;
    int limit = 0; // maximum characters, 0 for the control's default
    // Statics.
    bool sunken = false;
    bool notify = false;
    std::string image; // bitmap resource name of an Image
    // Lists and combos.
    bool sort = false;
    bool multiSelect = false;
    int dropLines = 0; // visible lines of a combo's drop-down
    // Progress bars.
    bool smooth = false;
    // Report lists.
    bool checkBoxes = false;
    std::vector<std::pair<std::string, int>> columns; // heading and width in characters

    int widthChars = 0;
    int heightLines = 0;
};

enum class NodeKind { Control, Row, Column, Grid, Group, Stretch, Space };

// A node of the layout tree: a control, or a container of nodes.
struct Node {
    NodeKind kind = NodeKind::Column;
    ControlSpec ctl;           // NodeKind::Control and the group box of NodeKind::Group
    std::vector<Node> children;
    int columns = 1;           // NodeKind::Grid
    int span = 1;              // columns taken in a grid
    int size = 0;              // NodeKind::Space: pixels; NodeKind::Stretch: factor
    int height = -1;           // NodeKind::Space made by Area(): the height in pixels

    // Modifiers, chainable on builders: Edit(1001).Chars(10).ReadOnly().
    Node& Hidden() { ctl.hidden = true; return *this; }
    Node& Disabled() { ctl.disabled = true; return *this; }
    Node& Group() { ctl.group = true; return *this; }
    Node& InGroup(std::string name) { ctl.radioGroup = std::move(name); return *this; }
    Node& TabStop(bool on = true) { ctl.tabStop = on ? 1 : 0; return *this; }
    Node& Center() { ctl.align = Align::Center; return *this; }
    Node& Right() { ctl.align = Align::Right; return *this; }
    Node& Manual() { ctl.manual = true; return *this; }
    Node& Flat() { ctl.flat = true; return *this; }
    Node& Multiline() { ctl.multiline = true; ctl.multilineText = true; return *this; }
    Node& ReadOnly() { ctl.readOnly = true; return *this; }
    Node& Password() { ctl.password = true; return *this; }
    Node& Number() { ctl.number = true; return *this; }
    Node& WantReturn() { ctl.wantReturn = true; return *this; }
    Node& NoAutoHScroll() { ctl.autoHScroll = false; return *this; }
    Node& VScroll() { ctl.vscroll = true; return *this; }
    Node& HScroll() { ctl.hscroll = true; return *this; }
    Node& Limit(int characters) { ctl.limit = characters; return *this; }
    Node& Sunken() { ctl.sunken = true; return *this; }
    Node& Notify() { ctl.notify = true; return *this; }
    Node& Sort() { ctl.sort = true; return *this; }
    Node& MultiSelect() { ctl.multiSelect = true; return *this; }
    Node& DropLines(int lines) { ctl.dropLines = lines; return *this; }
    Node& Smooth() { ctl.smooth = true; return *this; }
    Node& CheckBoxes() { ctl.checkBoxes = true; return *this; }
    Node& Header(std::string heading, int widthChars) { ctl.columns.emplace_back(std::move(heading), widthChars); return *this; }
    Node& Chars(int n) { ctl.widthChars = n; return *this; }
    Node& Lines(int n) { ctl.heightLines = n; return *this; }
    Node& Span(int n) { span = n; return *this; }
};

inline Node Control(Ctl kind, int id, std::string text = {})
{
    Node n;
    n.kind = NodeKind::Control;
    n.ctl.kind = kind;
    n.ctl.id = id;
    n.ctl.text = std::move(text);
    return n;
}

// Controls.
inline Node PushButton(int id, std::string text) { return Control(Ctl::PushButton, id, std::move(text)); }
inline Node DefPushButton(int id, std::string text) { return Control(Ctl::DefPushButton, id, std::move(text)); }
inline Node CheckBox(int id, std::string text) { return Control(Ctl::CheckBox, id, std::move(text)); }
inline Node RadioButton(int id, std::string text) { return Control(Ctl::RadioButton, id, std::move(text)); }
inline Node OwnerDrawButton(int id, std::string text = {}) { return Control(Ctl::OwnerDrawButton, id, std::move(text)); }
inline Node Label(std::string text, int id = -1) { return Control(Ctl::Label, id, std::move(text)); }
inline Node Frame(int id) { return Control(Ctl::Frame, id); }
inline Node Image(int id, std::string bitmapName)
{
    Node n = Control(Ctl::Image, id);
    n.ctl.image = std::move(bitmapName);
    return n;
}
inline Node Edit(int id) { return Control(Ctl::Edit, id); }
inline Node ComboDropDown(int id) { return Control(Ctl::ComboDropDown, id); }
inline Node ComboDropList(int id) { return Control(Ctl::ComboDropList, id); }
inline Node ListBox(int id) { return Control(Ctl::ListBox, id); }
inline Node HScrollBar(int id) { return Control(Ctl::HScrollBar, id); }
inline Node VScrollBar(int id) { return Control(Ctl::VScrollBar, id); }
inline Node Spin(int id) { return Control(Ctl::Spin, id); }
inline Node Progress(int id) { return Control(Ctl::Progress, id); }
inline Node DateTime(int id) { return Control(Ctl::DateTime, id); }
inline Node ReportList(int id) { return Control(Ctl::ReportList, id); }

// Containers.
inline Node Container(NodeKind kind, std::vector<Node> children)
{
    Node n;
    n.kind = kind;
    n.children = std::move(children);
    return n;
}
inline Node Row(std::vector<Node> children) { return Container(NodeKind::Row, std::move(children)); }
inline Node Column(std::vector<Node> children) { return Container(NodeKind::Column, std::move(children)); }
// Cells fill the grid row by row; a cell's Span() takes several columns; Empty() skips one.
inline Node Grid(int columns, std::vector<Node> cells)
{
    Node n = Container(NodeKind::Grid, std::move(cells));
    n.columns = std::max(1, columns);
    return n;
}
// A group box (with an id when the code addresses it) holding its children in a column.
inline Node Group(std::string title, std::vector<Node> children, int id = -1)
{
    Node n = Container(NodeKind::Group, std::move(children));
    n.ctl.kind = Ctl::GroupBox;
    n.ctl.id = id;
    n.ctl.text = std::move(title);
    return n;
}
inline Node Stretch(int factor = 1)
{
    Node n;
    n.kind = NodeKind::Stretch;
    n.size = factor;
    return n;
}
inline Node Space(int pixels)
{
    Node n;
    n.kind = NodeKind::Space;
    n.size = pixels;
    return n;
}
inline Node Empty() { return Space(0); }
// Room of a fixed size, for a control the code creates and places itself (a logo, a grid).
inline Node Area(int width, int height)
{
    Node n = Space(width);
    n.height = height;
    return n;
}

// The usual button row at the bottom right.
inline Node OkCancel(std::string ok = "OK", std::string cancel = "Cancel")
{
    return Row({Stretch(), DefPushButton(IDOK, std::move(ok)), PushButton(IDCANCEL, std::move(cancel))});
}

} // namespace dlg

// A dialog or property page template. A page's caption is its tab text.
struct DialogTemplate {
    DialogTemplate() = default;
    DialogTemplate(UINT id_, std::string caption_, dlg::Node body_)
        : id(id_), caption(std::move(caption_)), body(std::move(body_))
    {
    }
    // A template the code names by string rather than by number.
    DialogTemplate(std::string name_, std::string caption_, dlg::Node body_)
        : caption(std::move(caption_)), body(std::move(body_)), name(std::move(name_))
    {
    }

    UINT id = 0;           // numeric resource id; 0 when the template goes by name only
    std::string caption;
    dlg::Node body;
    std::string name;      // resource name, for templates the code names by string
    std::string fontFace;  // empty: the dialog font of the desktop
    int fontPoints = 0;

    // Every control in declaration (tab) order, group boxes included.
    std::vector<const dlg::ControlSpec*> Controls() const
    {
        std::vector<const dlg::ControlSpec*> out;
        std::function<void(const dlg::Node&)> walk = [&](const dlg::Node& n) {
            if (n.kind == dlg::NodeKind::Control || n.kind == dlg::NodeKind::Group)
                out.push_back(&n.ctl);
            for (const dlg::Node& c : n.children)
                walk(c);
        };
        walk(body);
        return out;
    }

    // The control with the id, or null.
    const dlg::ControlSpec* Find(int controlId) const
    {
        for (const dlg::ControlSpec* c : Controls())
            if (c->id == controlId)
                return c;
        return nullptr;
    }
};

namespace dlg::detail {
struct TemplateRegistry {
    std::mutex mutex;
    std::map<UINT, DialogTemplate> byId;
    std::map<std::string, DialogTemplate> byName; // upper-cased names
};
inline TemplateRegistry& Templates()
{
    static TemplateRegistry registry;
    return registry;
}
inline std::string UpperName(std::string_view name)
{
    std::string s(name);
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
} // namespace dlg::detail

// Registers a template under its id, or under its name when the id is 0 (a later one with the
// same key replaces it). Templates live as long as the program; the pointers Find returns stay
// valid unless the same key is registered again.
inline void RegisterDialogTemplate(DialogTemplate t)
{
    auto& r = dlg::detail::Templates();
    std::lock_guard lock(r.mutex);
    if (t.id != 0)
        r.byId[t.id] = std::move(t);
    else
        r.byName[dlg::detail::UpperName(t.name)] = std::move(t);
}

inline const DialogTemplate* FindDialogTemplate(UINT id)
{
    auto& r = dlg::detail::Templates();
    std::lock_guard lock(r.mutex);
    auto it = r.byId.find(id);
    return it == r.byId.end() ? nullptr : &it->second;
}

// Names compare without regard to case, as resource names do.
inline const DialogTemplate* FindDialogTemplate(std::string_view name)
{
    auto& r = dlg::detail::Templates();
    std::lock_guard lock(r.mutex);
    auto it = r.byName.find(dlg::detail::UpperName(name));
    return it == r.byName.end() ? nullptr : &it->second;
}
