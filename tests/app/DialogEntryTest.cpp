// The small parameter dialogs of the edit commands, driven as a user drives them: what they
// show on opening, which entries they refuse with which message, and what they store.
#include "DialogFixture.h"

#include "app/CAskZeroPadDlg.h"
#include "app/CDynamicDCOffsetDlg.h"
#include "app/CEnterDCOffsetDlg.h"
#include "app/CEnterGainAdjustDlg.h"
#include "app/CFilterDialog.h"
#include "app/CSetFilePositionDlg.h"
#include "res/FileDialogIds.h"

#include <cstring>

using namespace filestest;

namespace {

class EntryDialogs : public DialogFixture {};

// Types the text into the edit and presses OK. A refusal shows a box the test's responder
// expects; an acceptance ends the dialog with IDOK.
void EnterAndOk(CWnd& d, int id, const std::string& text)
{
    SetText(d, id, text);
    Click(d, IDOK);
}

} // namespace

TEST_F(EntryDialogs, GainIsTruncatedToWholeDecibelsAndLimitedToSixty)
{
    float gain = 0.0f;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Gain must be between -60 and +60 dB");
    user.ExpectBox(IDOK, "Enter Gain Adjustment: \"6dB\" is not a number.");
    user.ExpectBox(IDOK, "Enter Gain Adjustment: \"\" is not a number.");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_GAIN_DB), "  0.00");
        EnterAndOk(d, IDC_GAIN_DB, "61");
        EnterAndOk(d, IDC_GAIN_DB, "6dB"); // once read as 6
        EnterAndOk(d, IDC_GAIN_DB, "");    // once read as 0
        EnterAndOk(d, IDC_GAIN_DB, "2.9");
    });
    CEnterGainAdjustDlg dlg(nullptr, &gain);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(gain, 2.0f);

    // -0.5 dB becomes 0 dB; Cancel keeps the value.
    CDialog::ScriptModal([](CWnd& d) { EnterAndOk(d, IDC_GAIN_DB, "-0.5"); });
    CEnterGainAdjustDlg again(nullptr, &gain);
    EXPECT_EQ(again.DoModal(), IDOK);
    EXPECT_EQ(gain, 0.0f);
    CDialog::ScriptModal([](CWnd& d) {
        SetText(d, IDC_GAIN_DB, "-60");
        Click(d, IDCANCEL);
    });
    CEnterGainAdjustDlg cancelled(nullptr, &gain);
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(gain, 0.0f);
}

TEST_F(EntryDialogs, DcOffsetPromptFollowsTheCalibrationAndZeroIsRefused)
{
    ChannelCalibration cal;
    std::memset(static_cast<void*>(&cal), 0, sizeof cal);
    TPcmFormat format;
    float offset = 1.5f;
    ScriptedUser user;
    user.ExpectBox(IDOK, "DC Offset cannot be zero");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_DC_OFFSET_PROMPT), "Enter offset value in \"Percent Full Scale\"");
        EXPECT_EQ(Text(d, IDC_DC_OFFSET_VALUE), " 1.500");
        EnterAndOk(d, IDC_DC_OFFSET_VALUE, "0");
        EnterAndOk(d, IDC_DC_OFFSET_VALUE, "-10");
    });
    CEnterDCOffsetDlg dlg(nullptr, cal, format, &offset);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(offset, -10.0f);

    cal.IsEnabled = 1;
    cal.RefUnits = 1;
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_DC_OFFSET_PROMPT), "Enter DC offset value in \"Millivolts\"");
        Click(d, IDCANCEL);
    });
    CEnterDCOffsetDlg mv(nullptr, cal, format, &offset);
    EXPECT_EQ(mv.DoModal(), IDCANCEL);
}

TEST_F(EntryDialogs, DynamicOffsetChecksCutoffThenIntervalAndStoresBothOnlyTogether)
{
    float cutoff = 10.0f;
    std::int32_t interval = 1;
    ScriptedUser user;
    user.ExpectBox(IDOK, "The Cutoff Frequency must be greater than 0.1 Hz and less than 500 Hz.");
    user.ExpectBox(IDOK, "The Recalculation Interval must be greater than 0 and less than 1000");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_DYNAMIC_CUTOFF), " 10.00");
        EXPECT_EQ(Text(d, IDC_DYNAMIC_INTERVAL), "1");
        SetText(d, IDC_DYNAMIC_INTERVAL, "1000");
        EnterAndOk(d, IDC_DYNAMIC_CUTOFF, "500.5");
        SetText(d, IDC_DYNAMIC_INTERVAL, "1001");
        EnterAndOk(d, IDC_DYNAMIC_CUTOFF, "500");
        SetText(d, IDC_DYNAMIC_INTERVAL, "1000");
        EnterAndOk(d, IDC_DYNAMIC_CUTOFF, "0.1");
    });
    CDynamicDCOffsetDlg dlg(nullptr, &cutoff, &interval);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FLOAT_EQ(cutoff, 0.1f);
    EXPECT_EQ(interval, 1000);
}

TEST_F(EntryDialogs, FilePositionModesEnableTheirEditAndRefuseNegativeValues)
{
    FilePositionValues v;
    ScriptedUser user;
    user.ExpectBox(IDOK, "The file position must be greater or equal to zero");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_TRUE(Checked(d, IDC_POSITION_BY_SECONDS));
        EXPECT_TRUE(Enabled(d, IDC_POSITION_SECONDS));
        EXPECT_FALSE(Enabled(d, IDC_POSITION_SAMPLES));
        EXPECT_TRUE(Checked(d, IDC_POSITION_ALL_FILES));
        EXPECT_EQ(Text(d, IDC_POSITION_SECONDS), "  0.00");
        EnterAndOk(d, IDC_POSITION_SECONDS, "-1");
        Click(d, IDC_POSITION_BY_SAMPLES);
        EXPECT_FALSE(Enabled(d, IDC_POSITION_SECONDS));
        EXPECT_TRUE(Enabled(d, IDC_POSITION_SAMPLES));
        // The seconds edit of the other mode is not read.
        SetText(d, IDC_POSITION_SECONDS, "-5");
        Click(d, IDC_POSITION_ALL_FILES);
        EnterAndOk(d, IDC_POSITION_SAMPLES, "0");
    });
    CSetFilePositionDlg dlg(nullptr, &v.Seconds, &v.Samples, &v.Mode, &v.ApplyToAll);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(v.Mode, 1u);
    EXPECT_EQ(v.Samples, 0);
    EXPECT_EQ(v.Seconds, 0.0f);
    EXPECT_EQ(v.ApplyToAll, 0);

    // It opens in the remembered mode.
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_TRUE(Checked(d, IDC_POSITION_BY_SAMPLES));
        EXPECT_FALSE(Enabled(d, IDC_POSITION_SECONDS));
        Click(d, IDCANCEL);
    });
    CSetFilePositionDlg again(nullptr, &v.Seconds, &v.Samples, &v.Mode, &v.ApplyToAll);
    EXPECT_EQ(again.DoModal(), IDCANCEL);
}

TEST_F(EntryDialogs, ZeroPaddingChoiceIsWrittenForEachButton)
{
    for (int button : {IDC_ZERO_PAD, IDC_INCLUDE_SAMPLES, IDCANCEL}) {
        int choice = 2;
        CDialog::ScriptModal([button](CWnd& d) { Click(d, button); });
        CAskZeroPadDlg dlg(nullptr, &choice);
        const INT_PTR result = dlg.DoModal();
        EXPECT_EQ(choice, button);
        EXPECT_EQ(result, button == IDCANCEL ? IDCANCEL : IDOK);
    }
}

TEST_F(EntryDialogs, FilterOpensWithTheRecordAndEnablesTheEditsOfItsType)
{
    FilterSettings s;
    s.FilterType = FILTER_NOTCH;
    s.NotchCenter = 60;
    s.NotchWidth = 4;
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_TRUE(Checked(d, IDC_FILTER_NOTCH));
        EXPECT_FALSE(Checked(d, IDC_FILTER_LOWPASS));
        EXPECT_EQ(Text(d, IDC_FILTER_NOTCH_CENTER), "60");
        EXPECT_EQ(Text(d, IDC_FILTER_TAPS), "200");
        EXPECT_EQ(Text(d, IDC_FILTER_GAIN), " 0.000");
        EXPECT_TRUE(Enabled(d, IDC_FILTER_NOTCH_CENTER));
        EXPECT_TRUE(Enabled(d, IDC_FILTER_NOTCH_WIDTH));
        EXPECT_FALSE(Enabled(d, IDC_FILTER_LOW_CUTOFF));
        EXPECT_FALSE(Enabled(d, IDC_FILTER_SELECT_FILE));
        EXPECT_TRUE(Enabled(d, IDC_FILTER_TAPS));
        Click(d, IDC_FILTER_CUSTOM);
        EXPECT_FALSE(Enabled(d, IDC_FILTER_NOTCH_CENTER));
        EXPECT_TRUE(Enabled(d, IDC_FILTER_RESPONSE_FILE));
        EXPECT_TRUE(Enabled(d, IDC_FILTER_SELECT_FILE));
        EXPECT_TRUE(Enabled(d, IDC_FILTER_EDIT_FILE));
        Click(d, IDC_FILTER_BANDPASS);
        EXPECT_TRUE(Enabled(d, IDC_FILTER_BAND_CENTER));
        EXPECT_TRUE(Enabled(d, IDC_FILTER_BAND_WIDTH));
        EXPECT_FALSE(Enabled(d, IDC_FILTER_RESPONSE_FILE));
        Click(d, IDCANCEL);
    });
    CFilterDialog dlg(nullptr, 44100, &s);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(s.FilterType, DWORD(FILTER_NOTCH));
}

TEST_F(EntryDialogs, FilterRefusesTapsGainAndFrequenciesOutsideTheirRanges)
{
    FilterSettings s;
    ScriptedUser user;
    user.ExpectBox(IDOK, "The number of filter taps must be between 39 and 999");
    user.ExpectBox(IDOK, "The number of filter taps must be between 39 and 999");
    user.ExpectBox(IDOK, "The number of filter taps: \"abc\" is not a number.");
    user.ExpectBox(IDOK, "The number of filter taps must be a whole number.");
    user.ExpectBox(IDOK, "The filter gain must be between -90 and + 90 dB");
    user.ExpectBox(IDOK, "The filter gain: \"3 dB\" is not a number.");
    user.ExpectBox(IDOK, "Cutoff Frequency must be between 0 and 22050 Hz");
    user.ExpectBox(IDOK, "Cutoff Frequency: \"1k\" is not a number.");
    user.ExpectBox(IDOK, "Center Frequency must be between 0 and 22050 Hz");
    user.ExpectBox(IDOK, "Frequency Width must be between 0 and 22050 Hz");
    CDialog::ScriptModal([](CWnd& d) {
        EnterAndOk(d, IDC_FILTER_TAPS, "38");
        EnterAndOk(d, IDC_FILTER_TAPS, "1000");
        EnterAndOk(d, IDC_FILTER_TAPS, "abc");
        EnterAndOk(d, IDC_FILTER_TAPS, "39.5");
        SetText(d, IDC_FILTER_TAPS, "39");
        EnterAndOk(d, IDC_FILTER_GAIN, "90.5");
        EnterAndOk(d, IDC_FILTER_GAIN, "3 dB");
        SetText(d, IDC_FILTER_GAIN, "90");
        EnterAndOk(d, IDC_FILTER_LOW_CUTOFF, "22051");
        EnterAndOk(d, IDC_FILTER_LOW_CUTOFF, "1k");
        Click(d, IDC_FILTER_BANDPASS);
        SetText(d, IDC_FILTER_BAND_WIDTH, "10");
        EnterAndOk(d, IDC_FILTER_BAND_CENTER, "-1");
        SetText(d, IDC_FILTER_BAND_CENTER, "1000");
        EnterAndOk(d, IDC_FILTER_BAND_WIDTH, "30000");
        // Custom checks no frequency at all.
        Click(d, IDC_FILTER_CUSTOM);
        SetText(d, IDC_FILTER_LOW_CUTOFF, "99999");
        EnterAndOk(d, IDC_FILTER_RESPONSE_FILE, "/tmp/response.flt");
    });
    CFilterDialog dlg(nullptr, 44100, &s);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(s.NumTaps, 39);
    EXPECT_EQ(s.FilterGain, 90.0f);
    EXPECT_EQ(s.FilterType, DWORD(FILTER_CUSTOM));
    EXPECT_STREQ(s.ResponseFile, "/tmp/response.flt");
    // A refused OK stores nothing: the refused cutoff and band values never reach the record.
    const FilterSettings fresh;
    EXPECT_EQ(s.LowPassCutoff, fresh.LowPassCutoff);
    EXPECT_EQ(s.BandPassCenter, fresh.BandPassCenter);
    EXPECT_EQ(s.BandPassWidth, fresh.BandPassWidth);
}

TEST_F(EntryDialogs, FilterNyquistLimitItselfIsAcceptedAndDefaultsChangeOnlyTheControls)
{
    FilterSettings s;
    CDialog::ScriptModal([](CWnd& d) { EnterAndOk(d, IDC_FILTER_LOW_CUTOFF, "22050"); });
    CFilterDialog dlg(nullptr, 44100, &s);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(s.LowPassCutoff, 22050);

    s.FilterType = FILTER_HIGHPASS;
    s.NumTaps = 501;
    const FilterSettings before = s;
    CDialog::ScriptModal([](CWnd& d) {
        Click(d, IDC_DEFAULTS_BUTTON);
        EXPECT_TRUE(Checked(d, IDC_FILTER_LOWPASS));
        EXPECT_FALSE(Checked(d, IDC_FILTER_HIGHPASS));
        EXPECT_EQ(Text(d, IDC_FILTER_TAPS), "200");
        EXPECT_EQ(Text(d, IDC_FILTER_NOTCH_WIDTH), "500");
        EXPECT_TRUE(Enabled(d, IDC_FILTER_LOW_CUTOFF));
        Click(d, IDCANCEL);
    });
    CFilterDialog again(nullptr, 44100, &s);
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0);
}

TEST_F(EntryDialogs, FilterResponseFileIsChosenThroughTheFileDialogAndItsFolderRemembered)
{
    FilterSettings s;
    s.FilterType = FILTER_CUSTOM;
    char folder[260] = "/start/folder";
    const std::string chosen = Path("room.flt");
    { std::ofstream(chosen) << "100 0.0\n"; }
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, chosen);
    CDialog::ScriptModal([&](CWnd& d) {
        Click(d, IDC_FILTER_SELECT_FILE);
        EXPECT_EQ(Text(d, IDC_FILTER_RESPONSE_FILE), chosen);
        Click(d, IDOK);
    });
    CFilterDialog dlg(nullptr, 8000, &s);
    dlg.SetFilterFolder(folder);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::string(s.ResponseFile), chosen);
    EXPECT_EQ(std::string(folder), dir.string());
    const auto shown = user.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Select Filter Response File");
    EXPECT_NE(shown[0].initial.find("/start/folder"), std::string::npos);
}
