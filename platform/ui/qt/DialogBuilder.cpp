#include "platform/ui/qt/DialogBuilder.h"

#include "platform/ui/Controls.h"
#include "platform/ui/qt/ControlsQt.h"
#include "platform/ui/qt/QtAccess.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QWidget>

#include <algorithm>
#include <map>

namespace {

// What a node became: a widget, a layout, or room.
struct Item {
    QWidget* widget = nullptr;
    QLayout* layout = nullptr;
    int stretch = -1; // a stretch factor
    int space = -1;   // fixed room in pixels
    int spaceH = -1;  // with a height: an area of space x spaceH pixels
};

struct Context {
    QWidget* host;
    BuiltControls* out;
    // Controls in declaration order, for radio groups.
    std::vector<std::pair<const dlg::ControlSpec*, QWidget*>> made;
};

Item Build(const dlg::Node& n, Context& cx);

void AddToBox(QBoxLayout* box, const Item& it)
{
    if (it.widget)
        box->addWidget(it.widget);
    else if (it.layout)
        box->addLayout(it.layout);
    else if (it.stretch >= 0)
        box->addStretch(it.stretch);
    else if (it.spaceH >= 0)
        box->addItem(new QSpacerItem(it.space, it.spaceH, QSizePolicy::Fixed, QSizePolicy::Fixed));
    else if (it.space >= 0)
        box->addSpacing(it.space);
}

void AddToGrid(QGridLayout* grid, const Item& it, int row, int col, int span)
{
    if (it.widget)
        grid->addWidget(it.widget, row, col, 1, span);
    else if (it.layout)
        grid->addLayout(it.layout, row, col, 1, span);
    else if (it.stretch >= 0)
        grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), row, col, 1, span);
    else if (it.space > 0 || it.spaceH > 0)
        grid->addItem(new QSpacerItem(std::max(0, it.space), it.spaceH >= 0 ? it.spaceH : it.space, QSizePolicy::Fixed,
                                      QSizePolicy::Fixed),
                      row, col, 1, span);
}

QWidget* MakeControl(const dlg::ControlSpec& desc, Context& cx)
{
    QWidget* w = CreateControlWidget(desc, cx.host);
    if (w)
        cx.made.emplace_back(&desc, w);
    return w;
}

Item Build(const dlg::Node& n, Context& cx)
{
    Item it;
    switch (n.kind) {
    case dlg::NodeKind::Control:
        it.widget = MakeControl(n.ctl, cx);
        break;
    case dlg::NodeKind::Row:
    case dlg::NodeKind::Column: {
        auto* box = new QBoxLayout(n.kind == dlg::NodeKind::Row ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
        for (const dlg::Node& c : n.children)
            AddToBox(box, Build(c, cx));
        it.layout = box;
        break;
    }
    case dlg::NodeKind::Grid: {
        auto* grid = new QGridLayout;
        int row = 0, col = 0;
        for (const dlg::Node& c : n.children) {
            const int span = std::clamp(c.span, 1, n.columns);
            if (col + span > n.columns) {
                ++row;
                col = 0;
            }
            AddToGrid(grid, Build(c, cx), row, col, span);
            col += span;
            if (col >= n.columns) {
                ++row;
                col = 0;
            }
        }
        it.layout = grid;
        break;
    }
    case dlg::NodeKind::Group: {
        // The frame is a sibling drawn behind the controls: a grid cell holds both.
        QWidget* frame = MakeControl(n.ctl, cx);
        auto* cell = new QGridLayout;
        cell->setContentsMargins(0, 0, 0, 0);
        auto* inner = new QBoxLayout(QBoxLayout::TopToBottom);
        const int title = frame ? frame->fontMetrics().height() : 12;
        inner->setContentsMargins(10, title + 6, 10, 8);
        if (frame) {
            frame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
            cell->addWidget(frame, 0, 0);
        }
        for (const dlg::Node& c : n.children)
            AddToBox(inner, Build(c, cx));
        cell->addLayout(inner, 0, 0);
        it.layout = cell;
        break;
    }
    case dlg::NodeKind::Stretch:
        it.stretch = std::max(0, n.size);
        break;
    case dlg::NodeKind::Space:
        it.space = std::max(0, n.size);
        if (n.height >= 0)
            it.spaceH = n.height;
        break;
    }
    return it;
}

// Auto radio buttons that clear each other. As on Windows, a group runs from one group-style
// control to the next: a control marked Group(), a group box, or a static text (which carries
// the group style by default in Windows' templates). Edits, combos and check boxes between
// radios do not end it ("Linear [step] Octave [fraction]" is one group). Radios of the same
// explicit group name form a group wherever they stand.
void GroupRadios(Context& cx)
{
    using Members = std::shared_ptr<std::vector<QPointer<ctlqt::RadioButton>>>;
    std::map<std::string, Members> named;
    Members run;
    for (auto& [desc, w] : cx.made) {
        const bool groupStyle = desc->group || desc->kind == dlg::Ctl::GroupBox || desc->kind == dlg::Ctl::Label;
        if (groupStyle)
            run.reset();
        auto* radio = dynamic_cast<ctlqt::RadioButton*>(w);
        if (!radio)
            continue;
        Members* target = nullptr;
        if (!desc->radioGroup.empty()) {
            target = &named[desc->radioGroup];
        } else {
            target = &run;
        }
        if (!*target)
            *target = std::make_shared<std::vector<QPointer<ctlqt::RadioButton>>>();
        (*target)->push_back(radio);
        radio->group = *target;
    }
}

} // namespace

BuiltControls BuildTemplateControls(const DialogTemplate& t, QWidget* host)
{
    BuiltControls out;
    if (!host)
        return out;
    Context cx{host, &out, {}};
    auto* top = new QVBoxLayout;
    top->setContentsMargins(11, 11, 11, 11);
    AddToBox(top, Build(t.body, cx));
    delete host->layout();
    host->setLayout(top);
    GroupRadios(cx);
    for (auto& [desc, w] : cx.made) {
        if (desc->kind == dlg::Ctl::DefPushButton && out.defaultId == 0 && desc->id > 0)
            out.defaultId = static_cast<UINT>(desc->id);
        if (desc->id < 0 || desc->id == 0xFFFF)
            continue;
        std::unique_ptr<CWnd> wrapper = CControlWnd::NewWrapper(desc->kind);
        if (QtAttach(wrapper.get(), w, static_cast<UINT>(desc->id)))
            out.wrappers.push_back(std::move(wrapper));
    }
    return out;
}
