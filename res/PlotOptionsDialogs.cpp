// The plot options pages (time series, spectrum, phase, spectrogram, 3-D surface) and the
// marker options dialog.
#include "platform/ui/DialogTemplate.h"
#include "res/PlotOptionsDialogIds.h"
#include "res/ResourceGroups.h"

#include <string>
#include <vector>

namespace {
using namespace dlg;

Node Number(const char* label, int edit, int spin = -1)
{
    std::vector<Node> row = {Edit(edit).Chars(12)};
    if (spin >= 0)
        row.push_back(VScrollBar(spin));
    return Row({Label(label).Chars(12), Row(std::move(row)), Stretch()});
}

Node ColourRow(int button, const char* text, int swatch)
{
    return Row({PushButton(button, text).Chars(14), Frame(swatch).Chars(4).Lines(1), Stretch()});
}

Node Interval(const char* group)
{
    return Group("Update Interval",
                 {RadioButton(IDC_PO_AS_OFTEN, "&As often as possible").InGroup(group),
                  Row({RadioButton(IDC_PO_SPECIFIC, "&Specific Interval (seconds)").InGroup(group),
                       Edit(IDC_PO_INTERVAL).Chars(8), VScrollBar(IDC_PO_INTERVAL_SPIN)})});
}

Node Buttons()
{
    return Row({PushButton(IDC_PO_HELP, "Help"), PushButton(IDC_PO_DEFAULTS, "Defaults"), Stretch(),
                PushButton(IDC_PO_COPY_ALL, "Copy these settings to all channels")});
}

Node FrequencySpan(bool spins)
{
    return Group("Frequency", {Number("Start (Hz)", IDC_PO_START_FREQ, spins ? IDC_PO_CENTER : -1),
                               Number("Stop (Hz)", IDC_PO_STOP_FREQ, spins ? IDC_PO_CENTER_SPIN : -1)});
}
} // namespace

void RegisterPlotOptionsDialogs()
{
    RegisterDialogTemplate(
        {IDD_PLOTOPTS_SERIES, "Time Series",
         Column({Row({Column({Group("Amplitude Scale",
                                    {RadioButton(IDC_PO_LINEAR, "Amplitude (Linear)").InGroup("scale"),
                                     RadioButton(IDC_PO_LOG, "Energy (Logarithmic)").InGroup("scale")}),
                              Group("Amplitude", {Number("Plot Top", IDC_PO_TOP, IDC_PO_TOP_SPIN),
                                                  Number("Plot Range", IDC_PO_RANGE, IDC_PO_RANGE_SPIN),
                                                  Number("Plot Center", IDC_PO_CENTER, IDC_PO_CENTER_SPIN)}),
                              Group("Time", {Number("Start (Sec)", IDC_PO_START_TIME), Number("Stop (Sec)", IDC_PO_STOP_TIME)})}),
                      Column({Group("Colors", {ColourRow(IDC_PO_LINE_COLOR, "&Line...", IDC_PO_LINE_SWATCH),
                                               ColourRow(IDC_PO_BACK_COLOR, "&Background...", IDC_PO_BACK_SWATCH),
                                               ColourRow(IDC_PO_GRID_COLOR, "&Grid...", IDC_PO_GRID_SWATCH)}),
                              CheckBox(IDC_PO_GRID_X, "Show &Vertical Gridlines"),
                              CheckBox(IDC_PO_GRID_Y, "Show &Horizontal Gridlines"), CheckBox(IDC_PO_TOOLBAR, "Show Toolbar"),
                              CheckBox(IDC_PO_PULL_CURSOR, "Pull Cursor to Trace"), Interval("interval"), Stretch()})}),
                 Buttons()})});

    RegisterDialogTemplate(
        {IDD_PLOTOPTS_SPECTRUM, "Spectrum",
         Column({Row({Column({Group("Graph Style", {RadioButton(IDC_PO_LINE_GRAPH, "&Line Graph").InGroup("style"),
                                                    RadioButton(IDC_PO_BAR_GRAPH, "&Bar Graph").InGroup("style"),
                                                    RadioButton(IDC_PO_STEP_GRAPH, "S&tepped Bar Graph").InGroup("style")}),
                              Group("Amplitude", {Number("Plot Top", IDC_PO_TOP, IDC_PO_TOP_SPIN),
                                                  Row({Label("Plot Range", IDC_PO_RANGE_LABEL).Chars(12),
                                                       Row({Edit(IDC_PO_RANGE).Chars(12), VScrollBar(IDC_PO_RANGE_SPIN)}),
                                                       Stretch()})}),
                              FrequencySpan(false),
                              Row({Label("Peak Hold"), ComboDropList(IDC_PO_PEAK_HOLD).Chars(10), Stretch()})}),
                      Column({Group("Colors", {ColourRow(IDC_PO_LINE_COLOR, "&Line/Bar...", IDC_PO_LINE_SWATCH),
                                               ColourRow(IDC_PO_PEAK_COLOR, "Peak Hold...", IDC_PO_PEAK_SWATCH),
                                               ColourRow(IDC_PO_BACK_COLOR, "&Background...", IDC_PO_BACK_SWATCH),
                                               ColourRow(IDC_PO_MARKER_COLOR, "Markers...", IDC_PO_MARKER_SWATCH),
                                               ColourRow(IDC_PO_GRID_COLOR, "&Grid...", IDC_PO_GRID_SWATCH)}),
                              CheckBox(IDC_PO_GRID_X, "Show &Vertical Gridlines"),
                              CheckBox(IDC_PO_GRID_Y, "Show &Horizontal Gridlines"), CheckBox(IDC_PO_TOOLBAR, "Show Toolbar"),
                              CheckBox(IDC_PO_OVERLAY_CONTROLS, "Show Overlay Controls"),
                              CheckBox(IDC_PO_PULL_CURSOR, "Pull Cursor to Trace"), Interval("interval"),
                              PushButton(IDC_PO_MARKER_OPTIONS, "Marker Options..."), Stretch()})}),
                 CheckBox(IDC_PO_POWER_METER, "Show Wideband Power Meter (vertical bar to right of plot)"),
                 CheckBox(IDC_PO_RMS_LEVEL, "Show Zoomed Power Level (numeric readout on upper left of plot)"),
                 Buttons()})});

    RegisterDialogTemplate(
        {IDD_PLOTOPTS_PHASE, "Phase",
         Column({Row({Column({Group("Phase (degrees)", {Number("Plot Top", IDC_PO_TOP, IDC_PO_TOP_SPIN),
                                                        Number("Plot Range", IDC_PO_RANGE, IDC_PO_RANGE_SPIN)}),
                              FrequencySpan(false)}),
                      Column({Group("Colors", {ColourRow(IDC_PO_LINE_COLOR, "&Line/Bar...", IDC_PO_LINE_SWATCH),
                                               ColourRow(IDC_PO_BACK_COLOR, "&Background...", IDC_PO_BACK_SWATCH),
                                               ColourRow(IDC_PO_GRID_COLOR, "&Grid...", IDC_PO_GRID_SWATCH)}),
                              CheckBox(IDC_PO_GRID_X, "Show &Vertical Gridlines"),
                              CheckBox(IDC_PO_GRID_Y, "Show &Horizontal Gridlines"), CheckBox(IDC_PO_TOOLBAR, "Show Toolbar"),
                              CheckBox(IDC_PO_PULL_CURSOR, "Pull Cursor to Trace"), Interval("interval"), Stretch()})}),
                 Buttons()})});

    auto span = [] {
        return Group("Frequency Span", {RadioButton(IDC_PO_FULL_SPAN, "Full Span").InGroup("span"),
                                        RadioButton(IDC_PO_CUSTOM_SPAN, "Custom").InGroup("span"), FrequencySpan(true)});
    };
    RegisterDialogTemplate(
        {IDD_PLOTOPTS_SPECTROGRAM, "Spectrogram",
         Column({Row({Column({span(),
                              Group("Amplitude", {Number("Plot Top", IDC_PO_TOP, IDC_PO_TOP_SPIN),
                                                  Row({Label("Plot Range", IDC_PO_RANGE_LABEL).Chars(12),
                                                       Row({Edit(IDC_PO_RANGE).Chars(12), VScrollBar(IDC_PO_RANGE_SPIN)}),
                                                       Stretch()})}),
                              Group("Scroll Direction", {Row({RadioButton(IDC_PO_DIR_LEFT, "Left").InGroup("direction"),
                                                              RadioButton(IDC_PO_DIR_RIGHT, "Right").InGroup("direction"),
                                                              RadioButton(IDC_PO_DIR_UP, "Up").InGroup("direction"),
                                                              RadioButton(IDC_PO_DIR_DOWN, "Down").InGroup("direction")})})}),
                      Column({Group("Color Mode", {RadioButton(IDC_PO_FULL_COLOR, "Full Color").InGroup("colour"),
                                                   RadioButton(IDC_PO_GRAY_SCALE, "Gray Scale").InGroup("colour"),
                                                   RadioButton(IDC_PO_CUSTOM_COLOR, "Custom Color").InGroup("colour"),
                                                   ColourRow(IDC_PO_MAX_COLOR, "Max Custom Color", IDC_PO_MAX_SWATCH),
                                                   ColourRow(IDC_PO_MIN_COLOR, "Min Custom Color", IDC_PO_MIN_SWATCH)}),
                              Group("Scrolling", {RadioButton(IDC_PO_SMOOTH_SCROLL, "Smooth Continuous Scrolling").InGroup("scroll"),
                                                  RadioButton(IDC_PO_OVERLAP_SCROLL, "Overlapped Scrolling").InGroup("scroll")}),
                              CheckBox(IDC_PO_TOOLBAR, "Show Toolbar"), Interval("interval"), Stretch()})}),
                 Buttons()})});

    RegisterDialogTemplate(
        {IDD_PLOTOPTS_SURFACE, "3-D Surface",
         Column({Row({Column({span(), Group("Amplitude", {Number("Plot Top", IDC_PO_TOP, IDC_PO_TOP_SPIN),
                                                          Number("Plot Range", IDC_PO_RANGE, IDC_PO_RANGE_SPIN)})}),
                      Column({Group("Color Mode", {RadioButton(IDC_PO_FULL_COLOR, "Full Color").InGroup("colour"),
                                                   RadioButton(IDC_PO_SOLID_COLOR, "Solid Color").InGroup("colour"),
                                                   RadioButton(IDC_PO_CUSTOM_COLOR, "Custom Color").InGroup("colour"),
                                                   RadioButton(IDC_PO_GRAY_SCALE, "Gray Scale").InGroup("colour"),
                                                   ColourRow(IDC_PO_SURF_BACK_COLOR, "Background Color", IDC_PO_SURF_BACK_SWATCH),
                                                   ColourRow(IDC_PO_LINE_COLOR, "Solid Line Color", IDC_PO_LINE_SWATCH),
                                                   ColourRow(IDC_PO_MAX_COLOR, "Max Custom Color", IDC_PO_MAX_SWATCH),
                                                   ColourRow(IDC_PO_MIN_COLOR, "Min Custom Color", IDC_PO_MIN_SWATCH)}),
                              CheckBox(IDC_PO_TOOLBAR, "Show Toolbar"), Interval("interval"), Stretch()})}),
                 Buttons()})});

    std::vector<Node> cells = {Empty(), Label("Frequency (Hz)"), Label("Label Type"), Label("Custom Label")};
    for (int i = 0; i < 8; ++i) {
        cells.push_back(CheckBox(kMarkerEnabledFirstId + i, "Marker " + std::to_string(i + 1)));
        cells.push_back(Edit(kMarkerFreqFirstId + i).Chars(10));
        cells.push_back(ComboDropList(kMarkerLabelFirstId + i).Chars(20));
        cells.push_back(Edit(kMarkerCustomFirstId + i).Chars(20).Limit(29));
    }
    RegisterDialogTemplate({IDD_MARKER_OPTIONS, "Marker Options",
                            Column({Grid(4, std::move(cells)),
                                    CheckBox(IDC_MARKER_PEAK_HOLD, "Mark Peak Hold Trace if Available"), OkCancel()})});
}
