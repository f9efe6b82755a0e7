// The processing-settings pages (FFT, Scaling, Calibration), the copy dialog and the
// calibration details dialog.
#include "platform/ui/DialogTemplate.h"
#include "res/ProcessingDialogIds.h"
#include "res/ResourceGroups.h"

#include <string>
#include <vector>

namespace {
const char* const kRows[8] = {"Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base", ""};
}

void RegisterProcessingDialogs()
{
    using namespace dlg;
    {
        // The two headings stand over their own columns: "Smoothing" over the window, the
        // averaging bracket over mode, type and size.
        std::vector<Node> cells = {Empty(), Empty(), Label("Smoothing"),
                                   Label("| ------------------------------ Spectral Averaging ------------------------------ |")
                                       .Center()
                                       .Span(3),
                                   Empty(), Empty(),
                                   Label("Channel"), Label("FFT Size"), Label("Window"), Label("Mode"), Label("Type"),
                                   Label("Size"), Label("Post Process\nOverlap (%)"), Empty()};
        for (int r = 0; r < 8; ++r) {
            cells.push_back(Label(kRows[r]));
            cells.push_back(ComboDropList(kFftSizeIds[r]).Chars(9));
            cells.push_back(ComboDropList(kFftWindowIds[r]).Chars(12));
            cells.push_back(ComboDropList(kFftModeIds[r]).Chars(18));
            cells.push_back(ComboDropList(kFftTypeIds[r]).Chars(12));
            cells.push_back(ComboDropList(kFftCountIds[r]).Chars(9));
            cells.push_back(Edit(kFftOverlapIds[r]).Chars(5));
            cells.push_back(Edit(kFftDecimationIds[r]).Chars(4).Hidden());
        }
        RegisterDialogTemplate(
            {IDD_FFT_SETTINGS_PAGE, "FFT Settings", Column({Grid(8, std::move(cells)), Stretch()})});
    }
    {
        std::vector<Node> cells = {Empty(), Empty(), Empty(), Label("| ------ Weighting ------ |").Center().Span(2),
                                   Empty(), Empty(),
                                   Label("Channel"), Label("Frequency Scale"), Label("Amplitude Scale"),
                                   Label("Spectrum"), Label("Wideband"), Label("Power Spectral Density"),
                                   Label("Transducer Compensation File")};
        for (int r = 0; r < 8; ++r) {
            cells.push_back(Label(kRows[r]));
            cells.push_back(ComboDropList(kFreqScaleIds[r]).Chars(12));
            cells.push_back(ComboDropList(kAmpScaleIds[r]).Chars(12));
            cells.push_back(ComboDropList(kSpectrumWeightingIds[r]).Chars(6));
            cells.push_back(ComboDropList(kWidebandWeightingIds[r]).Chars(6));
            cells.push_back(ComboDropList(kDensityIds[r]).Chars(14));
            cells.push_back(ComboDropList(kCompensationIds[r]).Chars(20));
        }
        RegisterDialogTemplate({IDD_SCALING_PAGE, "Scaling",
                                Column({Grid(7, std::move(cells)), Stretch()})});
    }
    {
        std::vector<Node> cells = {Label("Channel"), Label("Enable"), Label("Calibration File"),
                                   Label("File Operations").Span(2), Label("Channel Name - edit as needed")};
        for (int r = 0; r < 8; ++r) {
            cells.push_back(Label(kRows[r]));
            cells.push_back(CheckBox(kCalEnableFirstId + r, ""));
            cells.push_back(ComboDropList(kCalComboFirstId + r).Chars(20));
            cells.push_back(PushButton(kCalEditFirstId + r, "Edit..."));
            cells.push_back(PushButton(kCalNewFirstId + r, "New..."));
            cells.push_back(Edit(kCalNameFirstId + r).Chars(24).Limit(39));
        }
        RegisterDialogTemplate({IDD_CALIBRATION_PAGE, "Calibration", Column({Grid(6, std::move(cells)), Stretch()})});
    }
    {
        const char* const names[8] = {"Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base", "Ch 7"};
        std::vector<Node> sources, destinations;
        for (int ch = 0; ch < 8; ++ch) {
            sources.push_back(RadioButton(kCopySourceFirstId + ch, names[ch]).InGroup("source"));
            destinations.push_back(CheckBox(kCopyDestinationFirstId + ch, names[ch]));
        }
        destinations.push_back(Row({PushButton(IDC_COPY_SELECT_ALL, "Seelct All"), PushButton(IDC_COPY_CLEAR_ALL, "Clear All")}));
        RegisterDialogTemplate({IDD_COPY_PROCESSING, "Copy Processing Settings",
                                Column({Label("", IDC_COPY_DESCRIPTION).Chars(50),
                                        Row({Group("Source", std::move(sources)), Group("Destination", std::move(destinations))}),
                                        OkCancel()})});
    }
    RegisterDialogTemplate(
        {IDD_CALIBRATION_DETAILS, "Calibration Parameters",
         Column({
             RadioButton(IDC_CAL_METHOD_SENSITIVITY, "Directly Specify Transducer Sensitivity").InGroup("method"),
             Grid(2, {Label("Transducer Type"), ComboDropList(IDC_CAL_TRANSDUCER).Chars(20),
                      Label("Custom Transducer Sensitivity (mV/Unit)", IDC_CAL_SENSITIVITY_LABEL).Chars(36),
                      Row({Edit(IDC_CAL_SENSITIVITY).Chars(12), ComboDropList(IDC_CAL_SENSITIVITY_TYPE).Chars(12)}),
                      Label("Proximity Offset (mil)", IDC_CAL_OFFSET_LABEL), Edit(IDC_CAL_OFFSET).Chars(12)}),
             RadioButton(IDC_CAL_METHOD_EXTERNAL, "Calibrate to an External Signal Source").InGroup("method"),
             Grid(2, {Label("External Signal Units"), ComboDropList(IDC_CAL_EXTERNAL_UNITS).Chars(20),
                      Label("External Signal Level"),
                      Row({Edit(IDC_CAL_EXTERNAL_LEVEL).Chars(14), ComboDropList(IDC_CAL_EXTERNAL_TYPE).Chars(12)}),
                      PushButton(IDC_CAL_MEASURE, "Measure External Signal -->"),
                      Row({Edit(IDC_CAL_MEASURED_VOLTAGE).Chars(14), Label("Measured Input (mV rms)")}),
                      Empty(), Label("", IDC_CAL_STATUS).Chars(36)}),
             Label("Please wait for the voltage and frequency to stabilize. IEPE sensors may take 20 seconds or more...",
                   IDC_CAL_HINT)
                 .Hidden(),
             RadioButton(IDC_CAL_METHOD_WAVE,
                         "Calibrate to a Wave File containing Calibration Signal (for Post Processing only)")
                 .InGroup("method"),
             Grid(2, {Label("Calibration Signal Units"), ComboDropList(IDC_CAL_WAVE_UNITS).Chars(20),
                      Label("Calibration Signal Level"),
                      Row({Edit(IDC_CAL_WAVE_LEVEL).Chars(14), ComboDropList(IDC_CAL_WAVE_TYPE).Chars(12)}),
                      PushButton(IDC_CAL_MEASURE_WAVE, "Measure From Wave File ->"),
                      Row({Edit(IDC_CAL_DETECTED_LEVEL).Chars(14), Label("Percent Full Scale")})}),
             Grid(2, {Label("Convert Acceleration to"), ComboDropList(IDC_CAL_CONVERSION).Chars(24),
                      Label("Display Spectral Data as"), ComboDropList(IDC_CAL_DISPLAY_TYPE).Chars(12),
                      Label("Linear Scaling Label"), Edit(IDC_CAL_LABEL_LINEAR).Chars(36).Limit(59),
                      Label("Logarithmic Scaling Label"), Edit(IDC_CAL_LABEL_LOG).Chars(36).Limit(59)}),
             Row({Stretch(), DefPushButton(IDC_CAL_SAVE, "Save..."), PushButton(IDC_CAL_SAVE_AS, "Save As..."),
                  PushButton(IDC_CAL_CANCEL, "Cancel")}),
         })});
}
