// The template of the reverberation options dialog.
#include "platform/ui/DialogTemplate.h"
#include "res/ReverbDialogIds.h"
#include "res/ResourceGroups.h"

void RegisterReverbDialogs()
{
    using namespace dlg;
    RegisterDialogTemplate(
        {IDD_REVERB_OPTIONS, "Reverberation Options",
         Column({
             Row({
                 Column({
                     Group("Display",
                           {Grid(2, {Label("Plot Top"), Label("Plot Range"), Edit(IDC_REVERB_PLOT_TOP).Chars(8),
                                     Edit(IDC_REVERB_PLOT_RANGE).Chars(8)}),
                            Grid(2, {PushButton(IDC_REVERB_BACKGROUND, "&Background..."), Frame(IDC_REVERB_SWATCH_BACKGROUND).Chars(4),
                                     PushButton(IDC_REVERB_BAR, "&Bar..."), Frame(IDC_REVERB_SWATCH_BAR).Chars(4),
                                     PushButton(IDC_REVERB_DECAY, "&Decay..."), Frame(IDC_REVERB_SWATCH_DECAY).Chars(4),
                                     PushButton(IDC_REVERB_GRID, "&Grid..."), Frame(IDC_REVERB_SWATCH_GRID).Chars(4),
                                     PushButton(IDC_REVERB_SURFACE, "Surface..."), Frame(IDC_REVERB_SWATCH_SURFACE).Chars(4)})}),
                     Group("Reverberation time extrapolation method",
                           {Row({RadioButton(IDC_REVERB_RT10, "RT-10"), RadioButton(IDC_REVERB_RT20, "RT-20"),
                                 RadioButton(IDC_REVERB_RT30, "RT-30")})}),
                     Group("Smoothing Method",
                           {Row({RadioButton(IDC_REVERB_SMOOTH_NONE, "None").Group(),
                                 RadioButton(IDC_REVERB_SMOOTH_AVERAGE, "Average"),
                                 RadioButton(IDC_REVERB_SMOOTH_SCHROEDER, "Schroeder")})}),
                 }),
                 Column({
                     Group("Measurement Control",
                           {Row({Label("Maximum Decay Time (sec)"), Edit(IDC_REVERB_MAX_DECAY).Chars(8)}),
                            Label("This defines the duration of the pink noise signal and also the maximum decay "
                                  "time that can be measured.")
                                .Multiline()
                                .Chars(40),
                            Row({Label("Input Channel"), ComboDropList(IDC_REVERB_CHANNEL).Chars(14).DropLines(8)}),
                            Row({Label("Decay Start Time Offset (msec)"), Edit(IDC_REVERB_OFFSET).Chars(8)}),
                            Label("This allows a small adjustment to the start point of the decay calculation. It "
                                  "can also be set or cleared by right clicking on the decay curve.")
                                .Multiline()
                                .Chars(40),
                            CheckBox(IDC_REVERB_CLEAR_OFFSET, "Clear start offset when new test is run"),
                            CheckBox(IDC_REVERB_PROMPT_SAVE, "Prompt to save file before starting a new test"),
                            Row({PushButton(IDC_REVERB_ADJUST_INPUT, "Adjust Input Settings..."),
                                 PushButton(IDC_REVERB_ADJUST_OUTPUT, "Adjust Output Settings...")})}),
                     Label("To use a ballon burst or gunshot: \r\r1) Use the Recorder mode to \rcapture the "
                           "signal.\r\r2) Using the Time Series plot \rgraphically select the signal\rand the "
                           "decay. \r\r")
                         .Multiline(),
                 }),
             }),
             Row({PushButton(IDC_REVERB_DEFAULTS, "Defaults"), PushButton(IDC_REVERB_HELP, "Help"), Stretch(),
                  DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel")}),
         })});
}
