// The channel and composite plot selection dialogs, the composite measurement settings, and
// the data-source question of the spectrum traces.
#include "platform/ui/DialogTemplate.h"
#include "res/PlotSelectionDialogIds.h"
#include "res/ResourceGroups.h"

#include <string>
#include <vector>

void RegisterPlotSelectionDialogs()
{
    using namespace dlg;
    {
        const char* const rows[8] = {"Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base", ""};
        std::vector<Node> cells = {Empty(), Label("Time Series"), Label("Spectrum"), Label("Phase"),
                                   Label("Spectrogram"), Label("3-D Surface")};
        for (int r = 0; r < 8; ++r) {
            cells.push_back(Label(rows[r]));
            cells.push_back(CheckBox(kSingleViewSeriesIds[r], ""));
            cells.push_back(CheckBox(kSingleViewSpectrumIds[r], ""));
            cells.push_back(CheckBox(kSingleViewPhaseIds[r], ""));
            cells.push_back(CheckBox(kSingleViewSpectrogramIds[r], ""));
            cells.push_back(CheckBox(kSingleViewSurfaceIds[r], ""));
        }
        RegisterDialogTemplate({IDD_SELECT_SINGLE_VIEW, "Single Channel Plot Selection",
                                Column({Grid(6, std::move(cells)), OkCancel()})});
    }
    {
        std::vector<Node> cells = {Empty(),         Label("Enable"), Label("Operation - click to configure"),
                                   Label("Channel Name - edit as needed"), Label("Spectrum"), Label("Phase"),
                                   Label("Spectrogram"), Label("3-D Surface")};
        for (int c = 0; c < 16; ++c) {
            cells.push_back(Label(std::string(1, static_cast<char>('A' + c))));
            cells.push_back(CheckBox(kCompositeEnableIds[c], ""));
            cells.push_back(PushButton(kCompositeOperationIds[c], "TBD"));
            cells.push_back(Edit(kCompositeNameFirstId + c).Chars(24));
            for (int k = 0; k < 4; ++k)
                cells.push_back(CheckBox(kCompositePlotFirstId + 4 * c + k, ""));
        }
        RegisterDialogTemplate({IDD_SELECT_COMPOSITE_VIEW, "Composite Channel and Plot Settings",
                                Column({Grid(8, std::move(cells)), OkCancel()})});
    }
    RegisterDialogTemplate({IDD_OVERLAY_SOURCE, "Select Data Source",
                            Column({RadioButton(IDC_SOURCE_PEAK_HOLD, "Peak Hold Data"),
                                    RadioButton(IDC_SOURCE_SPECTRAL, "Spectral Data"), OkCancel()})});
    {
        const char* const rows[8] = {"Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base", "7"};
        std::vector<Node> test, reference, include;
        for (int ch = 0; ch < 8; ++ch) {
            test.push_back(RadioButton(kCompositeTestFirstId + ch, rows[ch]).InGroup("test"));
            reference.push_back(RadioButton(kCompositeReferenceFirstId + ch, rows[ch]).InGroup("reference"));
            include.push_back(CheckBox(kCompositeIncludeIds[ch], rows[ch]));
        }
        RegisterDialogTemplate(
            {IDD_COMPOSITE_SETTINGS, "Composite Measurement Settings",
             Column({Row({Label("Measurement Type"), ComboDropList(IDC_COMPOSITE_TYPE).Chars(36)}),
                     Row({Group("Test Channel", std::move(test)), Group("Reference Channel", std::move(reference)),
                          Group("Channels to include in Average or Sum", std::move(include))}),
                     Grid(2, {Label("Linear Scaling Label"), Edit(IDC_COMPOSITE_LABEL_LINEAR).Chars(40),
                              Label("Log Scaling Label"), Edit(IDC_COMPOSITE_LABEL_LOG).Chars(40)}),
                     OkCancel()})});
    }
}
