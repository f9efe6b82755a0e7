// Templates of the Leq and sound power option dialogs.
#include "platform/ui/DialogTemplate.h"
#include "res/ResourceGroups.h"
#include "res/UtilityDialogIds.h"

using namespace dlg;

void RegisterUtilityDialogs()
{
    RegisterDialogTemplate(
        {IDD_LEQ_OPTIONS, "Leq Analysis Options",
         Column({Row({Label("Channel"), ComboDropList(IDC_UTIL_CHANNEL).Chars(12)}),
                 Grid(3, {Label(""), Label("Averaging"), Label("Weighting"),
                          Label("Leq (T)*"), ComboDropList(IDC_LEQ_AVG_FIRST).Chars(10),
                          ComboDropList(IDC_LEQ_WEIGHT_FIRST).Chars(8),
                          Label("Leq"), ComboDropList(IDC_LEQ_AVG_FIRST + 1).Chars(10),
                          ComboDropList(IDC_LEQ_WEIGHT_FIRST + 1).Chars(8),
                          Label("Lsel"), ComboDropList(IDC_LEQ_AVG_FIRST + 2).Chars(10),
                          ComboDropList(IDC_LEQ_WEIGHT_FIRST + 2).Chars(8),
                          Label("Lpk"), Label("Not applicable"), ComboDropList(IDC_LEQ_LPK_WEIGHT).Chars(8),
                          Label("Lmax, Lmin"), ComboDropList(IDC_LEQ_AVG_FIRST + 3).Chars(10),
                          ComboDropList(IDC_LEQ_WEIGHT_FIRST + 3).Chars(8),
                          Label("L10, L50, L90"), ComboDropList(IDC_LEQ_AVG_FIRST + 4).Chars(10),
                          ComboDropList(IDC_LEQ_WEIGHT_FIRST + 4).Chars(8)}),
                 Row({Label("* Leq (T) Reference Rime Period (seconds)"), Edit(IDC_LEQ_REFTIME).Chars(8)}),
                 Row({RadioButton(IDC_LEQ_INTERVALS, "Specific Intervals (seconds)").InGroup("recalc"),
                      Edit(IDC_LEQ_INTERVAL).Chars(8)}),
                 RadioButton(IDC_LEQ_ATSTOP, "When analyzer stops").InGroup("recalc"),
                 Row({PushButton(IDC_UTIL_COPY_ALL, "Copy settings to all channels"), Stretch()}),
                 Row({PushButton(IDC_UTIL_DEFAULTS, "Defaults"), PushButton(IDC_UTIL_HELP, "Help"), Stretch(),
                      DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel")})})});

    RegisterDialogTemplate(
        {IDD_SOUNDPOWER_OPTIONS, "Sound Power options",
         Column({Row({Label("Composite Channel"), ComboDropList(IDC_UTIL_CHANNEL).Chars(12)}),
                 Label("Measurements in accordance with ISO-3744"),
                 Grid(2, {Label("Environmental Correction (dB) "), Edit(IDC_SP_ENVIRONMENT).Chars(10),
                          Label("Background Noise Correction (dB) "), Edit(IDC_SP_BACKGROUND).Chars(10),
                          Label("Measurement Surface Area (square meters) "), Edit(IDC_SP_AREA).Chars(10)}),
                 Row({PushButton(IDC_UTIL_COPY_ALL, "Copy settings to all channels"), Stretch()}),
                 Row({PushButton(IDC_UTIL_DEFAULTS, "Defaults"), PushButton(IDC_UTIL_HELP, "Help"), Stretch(),
                      DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel")})})});

    RegisterDialogTemplate(
        {IDD_LOG_FILE_OPTIONS, "File Options",
         Column({CheckBox(IDC_LOG_ENABLE, "Enable Logging"),
                 Row({Label("Filename Format"), ComboDropList(IDC_LOG_FORMAT).Chars(28)}),
                 RadioButton(IDC_LOG_OVERWRITE, "Overwrite Existing File").InGroup("mode"),
                 RadioButton(IDC_LOG_APPEND, "Append to Existing File").InGroup("mode"),
                 CheckBox(IDC_LOG_TIMESTAMP, "Include Time Stamp in first column"),
                 CheckBox(IDC_LOG_HEADER, "Include Header on first row"),
                 Row({Label("Viewer Program"), Edit(IDC_LOG_VIEWER).Chars(40)})})});

    RegisterDialogTemplate(
        {IDD_LOG_CHANNEL_OPTIONS, "Channel",
         Column({CheckBox(IDC_LOGCH_ENABLE, "Enable Logging for this channel"),
                 ReportList(IDC_LOGCH_ITEMS).CheckBoxes().Header(" ", 48),
                 RadioButton(IDC_LOGCH_ASOFTEN, "As Often As Possible").InGroup("interval"),
                 Row({RadioButton(IDC_LOGCH_INTERVALS, "Specific Intervals").InGroup("interval"),
                      Label("Interval (seconds)"), Edit(IDC_LOGCH_INTERVAL).Chars(8)}),
                 Label("Note:  It is not always possible to meet the desired interval due to the block oriented "
                       "nature of the FFT process.  The actual interval will be at least as long as the value "
                       "entered."),
                 Row({PushButton(IDC_LOGCH_COPY_ALL, "Copy these settings to all channels"),
                      PushButton(IDC_LOGCH_VIEW_FILE, "View Output File..."),
                      PushButton(IDC_LOGCH_VIEW_FOLDER, "View Data Logging Folder...")})})});
}
