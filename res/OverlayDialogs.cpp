// The templates of the overlay options and composite overlay setup dialogs.
#include "platform/ui/DialogTemplate.h"
#include "res/OverlayDialogIds.h"
#include "res/ResourceGroups.h"

#include <string>
#include <vector>

void RegisterOverlayDialogs()
{
    using namespace dlg;
    {
        std::vector<Node> cells = {Empty(),        Label("Legend"), Label("Offset (dB)"), Empty(), Empty(),
                                   Empty(),        Empty(),         Label("Color")};
        for (int k = 0; k < 7; ++k) {
            const int base = IDC_OVERLAY_NAME + kOverlaySlotIdStride * k;
            cells.push_back(Label(k == 6 ? "C" : std::string(1, static_cast<char>('1' + k)) + "."));
            cells.push_back(Edit(base).Chars(24));
            cells.push_back(Edit(base + 1).Chars(8));
            cells.push_back(VScrollBar(base + 2));
            cells.push_back(PushButton(base + 3, "Save..."));
            cells.push_back(PushButton(base + 4, "Load..."));
            cells.push_back(PushButton(base + 5, "Change..."));
            cells.push_back(Frame(base + 6).Chars(4));
        }
        RegisterDialogTemplate(
            {IDD_OVERLAY_OPTIONS, "Overlay Options",
             Column({Grid(8, std::move(cells)),
                     Row({Label("Legend Display Size (characters)"), Edit(IDC_OVERLAY_LEGEND_SIZE).Chars(6), Stretch()}),
                     Row({PushButton(IDC_OVERLAY_DEFAULTS, "Defaults"), PushButton(IDC_OVERLAY_HELP, "Help"), Stretch(),
                          DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel")})})});
    }
    {
        std::vector<Node> include, from, minus;
        for (int i = 0; i < 6; ++i) {
            const std::string n(1, static_cast<char>('1' + i));
            include.push_back(CheckBox(IDC_COMPOSITE_INCLUDE_1 + i, n));
            from.push_back(RadioButton(kCompositeFromIds[i], n).InGroup("from"));
            minus.push_back(RadioButton(kCompositeMinusIds[i], n).InGroup("minus"));
        }
        RegisterDialogTemplate(
            {IDD_COMPOSITE_OVERLAY, "Composite Overlay Setup",
             Column({Row({RadioButton(IDC_COMPOSITE_AVERAGE, "Average:").InGroup("operation"), Row(std::move(include))}),
                     Row({RadioButton(IDC_COMPOSITE_SUBTRACT, "Subtract:").InGroup("operation"), Row(std::move(from)),
                          Label("from"), Row(std::move(minus))}),
                     Row({PushButton(IDC_COMPOSITE_HELP, "Help"), Stretch(), DefPushButton(IDOK, "OK"),
                          PushButton(IDCANCEL, "Cancel")})})});
    }
}
