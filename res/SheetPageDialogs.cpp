// The processing-settings sheet's device input, triggering, run control and output pages.
#include "platform/ui/DialogTemplate.h"
#include "res/ResourceGroups.h"
#include "res/SheetPageDialogIds.h"

#include <vector>

namespace {
const char* const kRows[8] = {"Crown", "Brow", "Throat", "Heart", "Solar", "Sacral", "Base", ""};
}

void RegisterSheetPageDialogs()
{
    using namespace dlg;
    {
        std::vector<Node> cells = {Label("Channel"), Label("Enable"),       Label("Range"),
                                   Label("Coupling"), Label("IEPE Source"), Label("Low Pass Filter")};
        for (int r = 0; r < 8; ++r) {
            cells.push_back(Label(kRows[r]));
            cells.push_back(CheckBox(kInputEnableFirstId + r, ""));
            cells.push_back(ComboDropList(kInputRangeFirstId + r).Chars(10));
            cells.push_back(ComboDropList(kInputCouplingFirstId + r).Chars(6));
            cells.push_back(ComboDropList(kInputIepeFirstId + r).Chars(16));
            cells.push_back(ComboDropList(kInputFilterFirstId + r).Chars(12));
        }
        RegisterDialogTemplate(
            {IDD_DEVICE_INPUT_PAGE, "Device Input Options",
             Column({Grid(6, std::move(cells)),
                     Grid(2, {Label("Sampling Rate (Hz)"), Edit(IDC_INPUT_RATE).Chars(10).Limit(12),
                              Label("Sample Size (bits)"), ComboDropList(IDC_INPUT_BITS).Chars(6),
                              Label("Sampling"), Label("", IDC_INPUT_SAMPLING).Chars(14)}),
                     Stretch()})});
    }
    RegisterDialogTemplate(
        {IDD_TRIGGERING_PAGE, "Triggering Options",
         Column({CheckBox(IDC_TRIG_ENABLE, "Enable Triggering"),
                 Grid(2, {Label("Trigger Source"), ComboDropList(IDC_TRIG_SOURCE).Chars(22), Label("Trigger Channel"),
                          ComboDropList(IDC_TRIG_CHANNEL).Chars(12)}),
                 Row({Group("Trigger Type", {RadioButton(IDC_TRIG_LEVEL, "Level Trigger").InGroup("type"),
                                             RadioButton(IDC_TRIG_EDGE, "Edge Trigger").InGroup("type")}),
                      Group("Slope", {RadioButton(IDC_TRIG_POSITIVE, "Positive").InGroup("slope"),
                                      RadioButton(IDC_TRIG_NEGATIVE, "Negative").InGroup("slope")}),
                      Group("Delay", {RadioButton(IDC_TRIG_PRE, "Pre Trigger Delay").InGroup("delay"),
                                      RadioButton(IDC_TRIG_POST, "Post Trigger Delay").InGroup("delay")})}),
                 Grid(2, {Label("Threshold (Volts)"), Edit(IDC_TRIG_THRESHOLD).Chars(10).Limit(20),
                          Label("Delay (msec)"), Edit(IDC_TRIG_DELAY).Chars(10).Limit(20)}),
                 CheckBox(IDC_TRIG_PROMPT, "Prompt to accept each trigger event"), Stretch()})});
    RegisterDialogTemplate(
        {IDD_RUN_CONTROL_PAGE, "Run Control Options",
         Column({Group("Run Limit",
                       {RadioButton(IDC_RUN_UNTIL_STOP, "Run until Stop").InGroup("limit"),
                        Row({RadioButton(IDC_RUN_FFTS, "Run for a number of FFTs").InGroup("limit"),
                             Edit(IDC_RUN_FFT_LIMIT).Chars(10).Limit(12), Label("FFTs"), Stretch()}),
                        Row({RadioButton(IDC_RUN_SECONDS, "Run for a number of seconds").InGroup("limit"),
                             Edit(IDC_RUN_TIME_LIMIT).Chars(10).Limit(20), Label("seconds"), Stretch()})}),
                 Row({CheckBox(IDC_RUN_START_DELAY, "Start Delay"), Edit(IDC_RUN_START_DELAY_SECS).Chars(10).Limit(20),
                      Label("seconds"), Stretch()}),
                 Row({CheckBox(IDC_RUN_INTERVAL, "Post Process Update Interval"),
                      Edit(IDC_RUN_INTERVAL_MSEC).Chars(10).Limit(12), Label("milliseconds"), Stretch()}),
                 Stretch()})});
    RegisterDialogTemplate(
        {IDD_OUTPUT_PAGE, "Output",
         Column({Label("The Output Device is used both for wave file playback and for Signal Generation.  Since not "
                       "all KDR-5200 devices support D/A operations you have the option of using standard multimedia "
                       "sound cards.")
                     .Chars(60)
                     .Lines(3),
                 Group("Output Device",
                       {RadioButton(IDC_OUT_DEVICE, "Durnex KDR-5200 Device").InGroup("device"),
                        ComboDropList(IDC_OUT_DEVICE_LIST).Chars(40),
                        Label("", IDC_OUT_DEVICE_NOTE).Chars(60).Lines(3),
                        RadioButton(IDC_OUT_SOUND, "Multimedia Sound Card Device").InGroup("device"),
                        ComboDropList(IDC_OUT_SOUND_LIST).Chars(40),
                        Label("", IDC_OUT_SOUND_NOTE).Chars(60).Lines(2)}),
                 Grid(2, {Label("Sampling Rate"), Edit(IDC_OUT_RATE).Chars(10).Limit(12), Label("Channels"),
                          ComboDropList(IDC_OUT_CHANNELS).Chars(4), Label("Bits per sample"),
                          ComboDropList(IDC_OUT_BITS).Chars(4), Label("Channel 0 Level", IDC_OUT_LEVEL1_LABEL).Chars(20),
                          Edit(IDC_OUT_LEVEL1).Chars(10).Limit(20),
                          Label("Channel 1 Level", IDC_OUT_LEVEL2_LABEL).Chars(20),
                          Edit(IDC_OUT_LEVEL2).Chars(10).Limit(20), Label("Output Units"),
                          ComboDropList(IDC_OUT_UNITS).Chars(20)})})});
}
