// Templates of the dialogs of the wave-file commands: file groups, gain and offsets, file
// position, import, export, the FIR filter and the zero-padding question.
#include "platform/ui/DialogTemplate.h"
#include "res/FileDialogIds.h"
#include "res/ResourceGroups.h"

namespace {

using namespace dlg;

void RegisterFileSelect()
{
    RegisterDialogTemplate(
        {IDD_FILE_SELECT, "File Operations",
         Column({
             Grid(2, {Label("Filename"), Edit(IDC_GROUP_FILENAME).ReadOnly().Chars(48), Label("Name"),
                      Edit(IDC_GROUP_TEST_NAME).Limit(259), Label("Technician"), Edit(IDC_GROUP_TECHNICIAN).Limit(259),
                      Label("Comments"), Edit(IDC_GROUP_COMMENTS).Limit(259), Label("Date"), DateTime(IDC_GROUP_DATE)}),
             Row({PushButton(IDC_GROUP_SAVE, "Save File..."), PushButton(IDC_GROUP_OPEN, "Open File..."),
                  PushButton(IDC_GROUP_CLOSE, "Close File..."),
                  PushButton(IDC_GROUP_COMPOSITE, "Create Composite File...")}),
             Progress(IDC_PROCESS_PROGRESS).Hidden(),
             Row({PushButton(IDC_HELP_BUTTON, "Help"), Stretch(), DefPushButton(IDCANCEL, "Done")}),
         })});
}

void RegisterGainAndOffsets()
{
    RegisterDialogTemplate({IDD_GAIN_ADJUST, "Enter Gain Adjustment",
                            Column({Row({Label("Gain (dB)"), Edit(IDC_GAIN_DB).Chars(10)}), OkCancel()})});
    RegisterDialogTemplate({IDD_DC_OFFSET, "Enter DC Offset value",
                            Column({Label("Enter offset value in \"Percent Full Scale\"", IDC_DC_OFFSET_PROMPT).Chars(40),
                                    Edit(IDC_DC_OFFSET_VALUE).Chars(12), OkCancel()})});
    RegisterDialogTemplate(
        {IDD_DYNAMIC_DC_OFFSET, "Dynamic DC Offset",
         Column({Label("This applies an algorithm that dynamically removes any DC offset by calculating the average "
                       "offset and subtracting it from the time series.  Lower cutoff frequencies require longer "
                       "calculation times.")
                     .Multiline()
                     .Chars(50)
                     .Lines(4),
                 Grid(2, {Label("Low Frequency Cutoff (Hz)"), Edit(IDC_DYNAMIC_CUTOFF).Chars(10),
                          Label("Recalculation Interval (samples)"), Edit(IDC_DYNAMIC_INTERVAL).Chars(10)}),
                 OkCancel()})});
}

void RegisterFilePosition()
{
    RegisterDialogTemplate(
        {IDD_SET_FILE_POSITION, "Set Current File Position",
         Column({Grid(2, {RadioButton(IDC_POSITION_BY_SECONDS, "File Position in Seconds").InGroup("mode"),
                          Edit(IDC_POSITION_SECONDS).Chars(12),
                          RadioButton(IDC_POSITION_BY_SAMPLES, "File Position in Samples").InGroup("mode"),
                          Edit(IDC_POSITION_SAMPLES).Chars(12)}),
                 CheckBox(IDC_POSITION_ALL_FILES, "Apply to all open wave files"), OkCancel()})});
}

void RegisterImportExport()
{
    RegisterDialogTemplate(
        {IDD_FILE_IMPORT, "File Import Options",
         Column({
             Grid(2, {Label("Source file data type"), ComboDropList(IDC_IMPORT_TYPE).Chars(24), Label("Sampling Rate (Hz)"),
                      Edit(IDC_IMPORT_RATE).Chars(10), Label("Sampling Precision (bits)"),
                      ComboDropList(IDC_IMPORT_PRECISION).Chars(10)}),
             Group("Header", {RadioButton(IDC_IMPORT_NO_HEADER, "There is no header in the file").InGroup("header"),
                              Row({RadioButton(IDC_IMPORT_HAS_HEADER, "Header size is").InGroup("header"),
                                   Edit(IDC_IMPORT_HEADER_SIZE).Chars(8), Label("Lines (ASCII file)", IDC_IMPORT_HEADER_UNIT).Chars(18)})}),
             Row({Label("Column to Import (tab delimited):"), Edit(IDC_IMPORT_COLUMN).Chars(6),
                  Label("(Enter 1 if file contains a single column)")}),
             Group("Scaling",
                   {RadioButton(IDC_IMPORT_RESCALE, "Automatically rescale data values to match sampling precision").InGroup("scale"),
                    RadioButton(IDC_IMPORT_TRUNCATE, "Truncate data values to fit sampling precision").InGroup("scale"),
                    RadioButton(IDC_IMPORT_DEFINE, "Define actual data values and units:").InGroup("scale"),
                    Grid(2, {Label("A data value of"), Edit(IDC_IMPORT_DATA_VALUE).Chars(10), Label("equals"),
                             Edit(IDC_IMPORT_EQUALS).Chars(10), Label("Units"), ComboDropList(IDC_IMPORT_UNITS).Chars(20),
                             Label("Amplitude Axis Label (Linear)"), Edit(IDC_IMPORT_LABEL_LINEAR).Limit(59).Chars(24),
                             Label("Amplitude Axis Label (Logarithmic)"), Edit(IDC_IMPORT_LABEL_LOG).Limit(59).Chars(24)})}),
             Row({PushButton(IDC_HELP_BUTTON, "Help"), Stretch(), DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel")}),
         })});
    RegisterDialogTemplate({IDD_FILE_PROCESS_STATUS, "Status",
                            Column({Label("", IDC_PROCESS_STATUS).Chars(36), Progress(IDC_PROCESS_PROGRESS).Smooth(),
                                    Row({Stretch(), PushButton(IDCANCEL, "Cancel")})})});
    RegisterDialogTemplate(
        {IDD_FILE_EXPORT, "File Export Options",
         Column({Grid(2, {Label("Data Format"), ComboDropList(IDC_EXPORT_TYPE).Chars(24), Label("Channel to Export"),
                          ComboDropList(IDC_EXPORT_CHANNEL).Chars(24)}),
                 Row({PushButton(IDC_HELP_BUTTON, "Help..."), Stretch(), DefPushButton(IDOK, "OK"),
                      PushButton(IDCANCEL, "Cancel")})})});
}

void RegisterFilter()
{
    RegisterDialogTemplate(
        {IDD_FILTER, "Digital Filtering (FIR)",
         Column({
             Row({Group("Filter Type", {RadioButton(IDC_FILTER_LOWPASS, "Low Pass"), RadioButton(IDC_FILTER_HIGHPASS, "High Pass"),
                                        RadioButton(IDC_FILTER_BANDPASS, "Band Pass"), RadioButton(IDC_FILTER_NOTCH, "Notch"),
                                        RadioButton(IDC_FILTER_CUSTOM, "Custom")}),
                  Group("Filter Parameters",
                        {Grid(2, {Label("Cutoff Freq (Hz)"), Edit(IDC_FILTER_LOW_CUTOFF).Chars(10), Label("Cutoff Freq (Hz)"),
                                  Edit(IDC_FILTER_HIGH_CUTOFF).Chars(10), Label("Center Freq (Hz)"),
                                  Edit(IDC_FILTER_BAND_CENTER).Chars(10), Label("Width (Hz)"), Edit(IDC_FILTER_BAND_WIDTH).Chars(10),
                                  Label("Center Freq (Hz)"), Edit(IDC_FILTER_NOTCH_CENTER).Chars(10), Label("Width (Hz)"),
                                  Edit(IDC_FILTER_NOTCH_WIDTH).Chars(10), Label("Filter Response"),
                                  Edit(IDC_FILTER_RESPONSE_FILE).Limit(259).Chars(32)}),
                         Row({Stretch(), PushButton(IDC_FILTER_SELECT_FILE, "Select File..."),
                              PushButton(IDC_FILTER_EDIT_FILE, "Edit File...")})})}),
             Group("Filter Sharpness",
                   {Row({Label("Number of Filter Taps"), Edit(IDC_FILTER_TAPS).Chars(8)}),
                    Label("The number of filter taps controls the sharpness of the filter's response.  More taps will "
                          "produce a sharper filter response but require more processing time.  This value must be "
                          "between 39 and 999.")
                        .Multiline()
                        .Chars(60)
                        .Lines(3)}),
             Group("Filter Gain", {Row({Label("Overall filter gain - raise or lower the overall level (dB)"),
                                        Edit(IDC_FILTER_GAIN).Chars(10)})}),
             Row({PushButton(IDC_DEFAULTS_BUTTON, "Defaults"), PushButton(IDC_HELP_BUTTON, "Help"), Stretch(),
                  DefPushButton(IDOK, "Start..."), PushButton(IDCANCEL, "Cancel")}),
         })});
}

void RegisterZeroPad()
{
    RegisterDialogTemplate(
        {IDD_ASK_ZERO_PAD, "Zero Padding Option",
         Column({Label("The FFT Size is longer than the selected time segment.  What do you want to do?").Chars(60),
                 PushButton(IDC_ZERO_PAD, "Zero Pad the data samples on either side of the selected time segment (this "
                                          "will not affect the wave file)."),
                 PushButton(IDC_INCLUDE_SAMPLES, "Include the samples on either side of the selected time segment."),
                 PushButton(IDCANCEL, "Cancel the operation")})});
}

} // namespace

void RegisterFileDialogs()
{
    RegisterFileSelect();
    RegisterGainAndOffsets();
    RegisterFilePosition();
    RegisterImportExport();
    RegisterFilter();
    RegisterZeroPad();
}
