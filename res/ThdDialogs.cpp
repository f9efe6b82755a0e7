// The template of the THD+N-versus-frequency options dialog.
#include "platform/ui/DialogTemplate.h"
#include "res/ResourceGroups.h"
#include "res/ThdDialogIds.h"

void RegisterThdDialogs()
{
    using namespace dlg;
    RegisterDialogTemplate(
        {IDD_THDFREQ_OPTIONS, "THD+N vs Frequency Options",
         Column({
             Row({
                 Column({
                     Group("Test Frequencies",
                           {Grid(2, {Label("Start Frequency (Hz)"), Edit(IDC_THD_START).Chars(10),
                                     Label("Stop Frequency (Hz)"), Edit(IDC_THD_STOP).Chars(10)}),
                            Grid(2, {RadioButton(IDC_THD_LINEAR, "Linear (Hz)").Group(), Edit(IDC_THD_STEP).Chars(10),
                                     RadioButton(IDC_THD_OCTAVE, "Octave"),
                                     ComboDropList(IDC_THD_FRACTION).Chars(12).DropLines(8)})}),
                     Group("Inputs",
                           {Grid(2, {Label("Input Channel A"), ComboDropList(IDC_THD_CHANNEL_A).Chars(12).DropLines(9),
                                     Label("Input Channel B"), ComboDropList(IDC_THD_CHANNEL_B).Chars(12).DropLines(9),
                                     Label("Spectral Weighting"), ComboDropList(IDC_THD_WEIGHTING).Chars(12).DropLines(4)}),
                            Row({PushButton(IDC_THD_INPUT_SETTINGS, "Input Settings..."),
                                 PushButton(IDC_THD_OUTPUT_SETTINGS, "Output Settings...")})}),
                 }),
                 Column({
                     Group("Display",
                           {Grid(2, {Label("Plot Top (%)"), Edit(IDC_THD_PLOT_TOP).Chars(10),
                                     Label("Plot Bottom (%)"), Edit(IDC_THD_PLOT_BOTTOM).Chars(10),
                                     Label("Amplitude Scaling"), ComboDropList(IDC_THD_AMPLITUDE_SCALE).Chars(12).DropLines(2),
                                     Label("Frequency Scaling"), ComboDropList(IDC_THD_FREQUENCY_SCALE).Chars(12).DropLines(2)}),
                            Grid(2, {PushButton(IDC_THD_LINE_COLOR, "&Line..."), Frame(IDC_THD_SWATCH_LINE).Chars(4),
                                     PushButton(IDC_THD_BACKGROUND_COLOR, "&Background..."),
                                     Frame(IDC_THD_SWATCH_BACKGROUND).Chars(4),
                                     PushButton(IDC_THD_GRID_COLOR, "&Grid..."), Frame(IDC_THD_SWATCH_GRID).Chars(4),
                                     PushButton(IDC_THD_LIMIT_COLOR, "Limit Line..."), Frame(IDC_THD_SWATCH_LIMIT).Chars(4)})}),
                 }),
             }),
             Group("Test Limits",
                   {Row({CheckBox(IDC_THD_LIMIT_A, "Channel A"), Edit(IDC_THD_LIMIT_A_FILE).Chars(36),
                         PushButton(IDC_THD_LIMIT_A_SELECT, "Select File..."),
                         PushButton(IDC_THD_LIMIT_A_EDIT, "Edit File...")}),
                    Row({CheckBox(IDC_THD_LIMIT_B, "Channel B"), Edit(IDC_THD_LIMIT_B_FILE).Chars(36),
                         PushButton(IDC_THD_LIMIT_B_SELECT, "Select File..."),
                         PushButton(IDC_THD_LIMIT_B_EDIT, "Edit File...")})}),
             CheckBox(IDC_THD_PROMPT_SAVE, "Prompt to save file before starting a new test"),
             Row({PushButton(IDC_THD_DEFAULTS, "Defaults"), PushButton(IDC_THD_HELP, "Help"), Stretch(),
                  DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel")}),
         })});
}
