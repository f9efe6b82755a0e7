// The signal generator's parameter dialogs and the signal length question.
#include "platform/ui/DialogTemplate.h"
#include "res/ResourceGroups.h"
#include "res/SigGenDialogIds.h"

#include <string>
#include <vector>

namespace {
using namespace dlg;

Node Buttons()
{
    return Row({Stretch(), DefPushButton(IDOK, "OK"), PushButton(IDCANCEL, "Cancel"),
                PushButton(IDC_SIGGEN_HELP, "Help")});
}

Node Field(const char* label, int id, int chars = 10) { return Row({Label(label), Stretch(), Edit(id).Chars(chars)}); }

void Register(UINT id, const char* caption, std::vector<Node> body)
{
    body.push_back(Buttons());
    RegisterDialogTemplate({id, caption, Column(std::move(body))});
}
} // namespace

void RegisterSigGenDialogs()
{
    Register(IDD_SIGGEN_NOISE_BURST, "Noise Burst Settings",
             {Group("Noise Type", {RadioButton(IDC_NOISE_WHITE, "White Noise").InGroup("noise"), RadioButton(IDC_NOISE_PINK, "Pink Noise").InGroup("noise")}),
              Field("Burst Time (msec)", IDC_BURST_MSEC), Field("Cycle Time (msec)", IDC_CYCLE_MSEC)});
    {
        std::vector<Node> cells = {Label("Enable"), Label("Frequency (Hz)"), Label("Relative Level (dB)"),
                                   Label("Phase (deg)")};
        for (int r = 0; r < 10; ++r) {
            cells.push_back(CheckBox(kToneEnableFirstId + r, "Tone " + std::to_string(r + 1)));
            cells.push_back(Edit(kToneFreqFirstId + r).Chars(10));
            cells.push_back(Edit(kToneLevelFirstId + r).Chars(8));
            cells.push_back(Edit(kTonePhaseFirstId + r).Chars(8));
        }
        Register(IDD_SIGGEN_TONES, "Tone Settings", {Grid(4, std::move(cells))});
    }
    Register(IDD_SIGGEN_TONE_BURST, "Tone Burst Settings",
             {Field("Frequency (Hz)", IDC_TONE_BURST_FREQ), Field("Burst Time (msec)", IDC_BURST_MSEC),
              Field("Cycle Time (msec)", IDC_CYCLE_MSEC)});
    Register(IDD_SIGGEN_IMD_TONES, "IMD Tone Settings",
             {RadioButton(IDC_IMD_SET1, "Standard Tone Set 1").InGroup("set"), RadioButton(IDC_IMD_SET2, "Standard Tone Set 2").InGroup("set"),
              RadioButton(IDC_IMD_CUSTOM, "Custom Tone Set").InGroup("set"), Field("Low Frequency (Hz)", IDC_IMD_LOW),
              Field("High Frequency (Hz)", IDC_IMD_HIGH),
              Row({Label("Power Ratio"), Stretch(), Edit(IDC_IMD_RATIO).Chars(6), Label(":1")})});
    Register(IDD_SIGGEN_FREQ_SWEEP, "Frequency Sweep Settings",
             {Field("Start Frequency (Hz)", IDC_SWEEP_START), Field("Stop Frequency (Hz)", IDC_SWEEP_STOP),
              Group("Sweep Type", {RadioButton(IDC_SWEEP_LINEAR, "Linear").InGroup("type"), RadioButton(IDC_SWEEP_LOG, "Logarithmic").InGroup("type")}),
              Group("At the End", {RadioButton(IDC_SWEEP_JUMP_BACK, "Jump back to start frequency").InGroup("end"),
                                   RadioButton(IDC_SWEEP_SWEEP_BACK, "Sweep back to start frequency").InGroup("end")}),
              CheckBox(IDC_SWEEP_SINGLE, "Stop after a single sweep"), Field("Sweep Time (msec)", IDC_SWEEP_MSEC)});
    Register(IDD_SIGGEN_LEVEL_SWEEP, "Level Sweep Settings",
             {Field("Start Level (dB)", IDC_LEVEL_START), Field("Stop Level (dB)", IDC_LEVEL_STOP),
              Field("Frequency (Hz)", IDC_LEVEL_FREQ), Field("Sweep Time (msec)", IDC_SWEEP_MSEC)});
    Register(IDD_SIGGEN_SAWTOOTH, "Sawtooth Settings",
             {Field("Frequency (Hz)", IDC_SAW_FREQ),
              Group("Slope", {RadioButton(IDC_SAW_POSITIVE, "Positive").InGroup("slope"), RadioButton(IDC_SAW_NEGATIVE, "Negative").InGroup("slope")})});
    Register(IDD_SIGGEN_TRIANGULAR, "Triangular Signal Settings", {Field("Frequency (Hz)", IDC_TRIANGLE_FREQ)});
    Register(IDD_SIGGEN_PULSE, "Pulse Settings",
             {Field("Pulse Width (usec)", IDC_PULSE_WIDTH), Field("Repetition Interval (usec)", IDC_PULSE_INTERVAL),
              CheckBox(IDC_PULSE_SINGLE, "Single Shot Pulse")});
    Register(IDD_SIGGEN_SQUARE, "Squarewave Settings",
             {Field("Frequency (Hz)", IDC_SQUARE_FREQ), Field("Duty Cycle (%)", IDC_SQUARE_DUTY)});
    Register(IDD_SIGGEN_USER_WAVE, "User Defined Signal",
             {Row({Label("Wave File"), Edit(IDC_USER_PATH).Chars(40), PushButton(IDC_USER_PICK, "Pick...")}),
              CheckBox(IDC_USER_REPEAT, "Repeat waveform continuously")});
    Register(IDD_SIGGEN_DTMF, "DTMF Signal settings",
             {Field("Key String", IDC_DTMF_KEYS, 24), Field("Pulse Width (msec)", IDC_DTMF_WIDTH),
              Field("Interpulse Spacing (msec)", IDC_DTMF_SPACING), Field("Twist (dB)", IDC_DTMF_TWIST),
              CheckBox(IDC_DTMF_REPEAT, "Repeat Key String Continuously")});
    Register(IDD_SIGGEN_FREQ_STEP, "Frequency Step Settings",
             {Field("Start Frequency (Hz)", IDC_SWEEP_START), Field("Stop Frequency (Hz)", IDC_SWEEP_STOP),
              Group("Step Type", {RadioButton(IDC_STEP_LINEAR, "Linear").InGroup("type"), Field("Step Size (Hz)", IDC_STEP_SIZE),
                                  RadioButton(IDC_STEP_OCTAVE, "Octave").InGroup("type"),
                                  Row({Label("Octave Fraction"), Stretch(), ComboDropList(IDC_STEP_FRACTION).Chars(14)})}),
              Group("At the End", {RadioButton(IDC_SWEEP_JUMP_BACK, "Jump back to start frequency").InGroup("end"),
                                   RadioButton(IDC_STEP_STEP_BACK, "Step back to start frequency").InGroup("end")}),
              CheckBox(IDC_STEP_SINGLE, "Stop after a single pass"), Field("Step Time (msec)", IDC_STEP_DWELL)});
    RegisterDialogTemplate({IDD_SIGGEN_SAVE_LENGTH, "Signal Length Options",
                            Column({Grid(2, {Label("Default Length for this Signal (seconds)"),
                                             Label("", IDC_SAVE_DEFAULT_LENGTH).Right(),
                                             Label("Signal Length Mulitplier"),
                                             ComboDropList(IDC_SAVE_MULTIPLIER).Chars(6),
                                             Label("Total Wave File Length (seconds)"),
                                             Label("", IDC_SAVE_TOTAL_LENGTH).Right()}),
                                    OkCancel()})});
}
