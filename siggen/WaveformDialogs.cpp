#include "siggen/WaveformDialogs.h"

#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "res/SigGenDialogIds.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
void StoreText(char* field, std::size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}
} // namespace

BEGIN_MESSAGE_MAP(CSigGenParamDialog, CDialog)
    ON_BN_CLICKED(IDC_SIGGEN_HELP, &CSigGenParamDialog::OnHelp)
END_MESSAGE_MAP()

CSigGenParamDialog::CSigGenParamDialog(UINT templateId, CWnd* parent, int limit)
    : CDialog(templateId, parent), m_limit(limit)
{
}

BOOL CSigGenParamDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowFields();
    return TRUE;
}

std::string CSigGenParamDialog::ReadText(int id, std::size_t most) const
{
    std::string text;
    GetDlgItemText(id, text);
    if (text.size() > most)
        text.resize(most);
    return text;
}

bool CSigGenParamDialog::ReadInt(int id, const char* name, int& value)
{
    double v = 0.0;
    if (!ReadNumberField(*this, id, NumberField{name, INT32_MIN, INT32_MAX, true}, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

bool CSigGenParamDialog::ReadFloat(int id, const char* name, float& value)
{
    // Beyond this a float field would hold infinity; every range check refuses far less.
    double v = 0.0;
    if (!ReadNumberField(*this, id, NumberField{name, -1.0e30, 1.0e30}, v))
        return false;
    value = static_cast<float>(v);
    return true;
}

void CSigGenParamDialog::ShowInt(int id, long value) { SetDlgItemText(id, Format("%ld", value)); }

void CSigGenParamDialog::ShowFloat(int id, double value, const char* format) { SetDlgItemText(id, Format(format, value)); }

std::string CSigGenParamDialog::Format(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

bool CSigGenParamDialog::Refuse(const std::string& text)
{
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
    return false;
}

bool CSigGenParamDialog::Accept(std::initializer_list<Check> checks)
{
    for (const Check& c : checks)
        if (c.refused)
            return Refuse(c.message);
    return true;
}

CSigGenParamDialog::Check CSigGenParamDialog::IntRange(long long value, long long low, long long high,
                                                       const char* format)
{
    return {value < low || value > high, Format(format, static_cast<long>(low), static_cast<long>(high))};
}

CSigGenParamDialog::Check CSigGenParamDialog::FloatRange(double value, double low, double high, const char* format)
{
    return {value < low || value > high, Format(format, low, high)};
}

CSigGenParamDialog::Check CSigGenParamDialog::Frequency(double f) const
{
    return {f <= 0.0 || f > m_limit, Format("Frequency must be between 0 and %d Hz.", m_limit)};
}

int CSigGenParamDialog::CheckedCode(std::initializer_list<std::pair<int, int>> idsAndCodes, int keep) const
{
    for (const auto& [id, code] : idsAndCodes)
        if (IsDlgButtonChecked(id))
            return code;
    return keep;
}

void CSigGenParamDialog::CheckCode(std::initializer_list<std::pair<int, int>> idsAndCodes, int code)
{
    for (const auto& [id, c] : idsAndCodes)
        CheckDlgButton(id, c == code ? 1 : 0);
}

// Noise burst.
CNoiseBurst::CNoiseBurst(CWnd* parent, SigGenNoiseBurst* record)
    : TRecordDialog(IDD_SIGGEN_NOISE_BURST, parent, record, 0)
{
}

void CNoiseBurst::ShowFields()
{
    CheckCode({{IDC_NOISE_WHITE, 0}, {IDC_NOISE_PINK, 1}}, m_record->NoiseType);
    ShowInt(IDC_BURST_MSEC, m_record->BurstMsec);
    ShowInt(IDC_CYCLE_MSEC, m_record->CycleMsec);
}

void CNoiseBurst::OnOK()
{
    int burst = 0, cycle = 0;
    if (!ReadInt(IDC_BURST_MSEC, "Burst Time", burst) || !ReadInt(IDC_CYCLE_MSEC, "Cycle Time", cycle) ||
        !Accept({{burst < 1, "Burst time must be greater than 0"},
                 {cycle < 1, "Cycle time must be greater than 0"},
                 {burst >= cycle, "Burst time must be less than the cycle time."}}))
        return;
    m_record->NoiseType = IsDlgButtonChecked(IDC_NOISE_WHITE) ? 0 : 1;
    m_record->BurstMsec = burst;
    m_record->CycleMsec = cycle;
    EndDialog(IDOK);
}

// Multiple tones.
CTones::CTones(CWnd* parent, SigGenTones* record, int limit)
    : TRecordDialog(IDD_SIGGEN_TONES, parent, record, limit)
{
}

void CTones::ShowFields()
{
    for (int r = 0; r < 10; ++r) {
        const SigGenTone& t = m_record->Tone[r];
        CheckDlgButton(kToneEnableFirstId + r, t.Enabled ? 1 : 0);
        ShowFloat(kToneFreqFirstId + r, t.Frequency);
        ShowFloat(kToneLevelFirstId + r, t.LevelDb);
        ShowFloat(kTonePhaseFirstId + r, t.PhaseDeg);
    }
}

void CTones::OnOK()
{
    SigGenTones rows = *m_record;
    bool any = false;
    for (int r = 0; r < 10; ++r) {
        SigGenTone& t = rows.Tone[r];
        t.Enabled = IsDlgButtonChecked(kToneEnableFirstId + r) ? 1 : 0;
        const std::string tone = "Tone " + std::to_string(r + 1);
        if (!ReadFloat(kToneFreqFirstId + r, (tone + " Frequency").c_str(), t.Frequency) ||
            !ReadFloat(kToneLevelFirstId + r, (tone + " Relative Level").c_str(), t.LevelDb) ||
            !ReadFloat(kTonePhaseFirstId + r, (tone + " Phase").c_str(), t.PhaseDeg))
            return;
        if (!t.Enabled)
            continue;
        any = true;
        if (!Accept({Frequency(t.Frequency),
                     {t.LevelDb > 0.0f || t.LevelDb < -96.0f,
                      Format("Relative Level must be between %d and %d dB.", -96, 0)},
                     {t.PhaseDeg > 180.0f || t.PhaseDeg < -180.0f, "Phase must be between -180 and 180."}}))
            return;
    }
    if (!Accept({{!any, "At least one tone must be enabled."}}))
        return;
    for (SigGenTone& t : rows.Tone)
        t.Amplitude = static_cast<float>(std::pow(10.0, t.LevelDb / 20.0));
    *m_record = rows;
    EndDialog(IDOK);
}

// Tone burst.
CToneBurst::CToneBurst(CWnd* parent, SigGenToneBurst* record, int limit)
    : TRecordDialog(IDD_SIGGEN_TONE_BURST, parent, record, limit)
{
}

void CToneBurst::ShowFields()
{
    ShowInt(IDC_TONE_BURST_FREQ, m_record->Frequency);
    ShowInt(IDC_BURST_MSEC, m_record->BurstMsec);
    ShowInt(IDC_CYCLE_MSEC, m_record->CycleMsec);
}

void CToneBurst::OnOK()
{
    int f = 0, burst = 0, cycle = 0;
    // A negative burst would play nothing but silence; a zero one is allowed.
    if (!ReadInt(IDC_TONE_BURST_FREQ, "Frequency", f) || !ReadInt(IDC_BURST_MSEC, "Burst Time", burst) ||
        !ReadInt(IDC_CYCLE_MSEC, "Cycle Time", cycle) ||
        !Accept({Frequency(f), {burst < 0, "Burst time must not be negative."},
                 {cycle < 1, "Cycle time must be greater than 0"},
                 {burst >= cycle, "Burst time must be less than the cycle time."}}))
        return;
    *m_record = {f, burst, cycle};
    EndDialog(IDOK);
}

// IMD tones.
CIMDtones::CIMDtones(CWnd* parent, SigGenImdTones* record, int limit)
    : TRecordDialog(IDD_SIGGEN_IMD_TONES, parent, record, limit)
{
}

void CIMDtones::ShowFields()
{
    CheckCode({{IDC_IMD_SET1, 0}, {IDC_IMD_SET2, 1}, {IDC_IMD_CUSTOM, 2}}, m_record->ToneSet);
    ShowFloat(IDC_IMD_LOW, m_record->LowFreq, "%6.1f");
    ShowFloat(IDC_IMD_HIGH, m_record->HighFreq, "%6.1f");
    ShowInt(IDC_IMD_RATIO, std::lround(m_record->PowerRatio));
}

void CIMDtones::OnOK()
{
    const int set = CheckedCode({{IDC_IMD_SET1, 0}, {IDC_IMD_SET2, 1}, {IDC_IMD_CUSTOM, 2}}, m_record->ToneSet);
    float low = 0.0f, high = 0.0f, ratio = 0.0f;
    if (!ReadFloat(IDC_IMD_LOW, "Low Frequency", low) || !ReadFloat(IDC_IMD_HIGH, "High Frequency", high) ||
        !ReadFloat(IDC_IMD_RATIO, "Power Ratio", ratio))
        return;
    // Only custom tones are the user's; the sets are fixed.
    if (set == 2 &&
        !Accept({{low <= 0.0f || low >= m_limit, Format("Low Frequency must be between 0.0 and %ld", long(m_limit))},
                 {high <= 1000.0f || high >= m_limit,
                  Format("High Frequency must be between 1000.0 and %ld", long(m_limit))},
                 {low >= high, "High Frequency must be greater than the Low Frequency"},
                 {ratio < 1.0f || ratio > 10.0f, "Power Ratio must be between 1 and 10"}}))
        return;
    *m_record = {set, low, high, ratio};
    EndDialog(IDOK);
}

// Frequency sweep.
CFreqSweep::CFreqSweep(CWnd* parent, SigGenFreqSweep* record, int limit)
    : TRecordDialog(IDD_SIGGEN_FREQ_SWEEP, parent, record, limit)
{
}

void CFreqSweep::ShowFields()
{
    ShowFloat(IDC_SWEEP_START, m_record->StartFreq);
    ShowFloat(IDC_SWEEP_STOP, m_record->StopFreq);
    CheckCode({{IDC_SWEEP_LINEAR, 1}, {IDC_SWEEP_LOG, 2}}, m_record->SweepType);
    CheckCode({{IDC_SWEEP_JUMP_BACK, 0}, {IDC_SWEEP_SWEEP_BACK, 1}}, m_record->SweepBack);
    CheckDlgButton(IDC_SWEEP_SINGLE, m_record->SingleSweep ? 1 : 0);
    ShowInt(IDC_SWEEP_MSEC, m_record->SweepMsec);
}

void CFreqSweep::OnOK()
{
    float start = 0.0f, stop = 0.0f;
    int time = 0;
    if (!ReadFloat(IDC_SWEEP_START, "Start Frequency", start) || !ReadFloat(IDC_SWEEP_STOP, "Stop Frequency", stop) ||
        !ReadInt(IDC_SWEEP_MSEC, "Sweep Time", time) ||
        !Accept({FloatRange(start, 0.0, m_limit, "Start Frequency must be between %6.2f and %6.2f Hz."),
                 FloatRange(stop, 0.0, m_limit, "Stop Frequency must be between %6.2f and %6.2f Hz."),
                 IntRange(time, 1, 600000, "Sweep time must be between %ld and %ld Milliseconds.")}))
        return;
    m_record->StartFreq = start;
    m_record->StopFreq = stop;
    m_record->SweepMsec = time;
    m_record->SweepType = CheckedCode({{IDC_SWEEP_LINEAR, 1}, {IDC_SWEEP_LOG, 2}}, m_record->SweepType);
    m_record->SweepBack = static_cast<BYTE>(
        CheckedCode({{IDC_SWEEP_JUMP_BACK, 0}, {IDC_SWEEP_SWEEP_BACK, 1}}, m_record->SweepBack));
    m_record->SingleSweep = IsDlgButtonChecked(IDC_SWEEP_SINGLE) ? 1 : 0;
    EndDialog(IDOK);
}

// Level sweep.
CLevelSweep::CLevelSweep(CWnd* parent, SigGenLevelSweep* record, int limit)
    : TRecordDialog(IDD_SIGGEN_LEVEL_SWEEP, parent, record, limit)
{
}

void CLevelSweep::ShowFields()
{
    ShowFloat(IDC_LEVEL_START, m_record->StartLevelDb);
    ShowFloat(IDC_LEVEL_STOP, m_record->StopLevelDb);
    ShowFloat(IDC_LEVEL_FREQ, m_record->Frequency);
    ShowInt(IDC_SWEEP_MSEC, m_record->SweepMsec);
}

void CLevelSweep::OnOK()
{
    float start = 0.0f, stop = 0.0f, f = 0.0f;
    int time = 0;
    // The level messages name the top first.
    if (!ReadFloat(IDC_LEVEL_START, "Start Level", start) || !ReadFloat(IDC_LEVEL_STOP, "Stop Level", stop) ||
        !ReadFloat(IDC_LEVEL_FREQ, "Frequency", f) || !ReadInt(IDC_SWEEP_MSEC, "Sweep Time", time) ||
        !Accept({{start > 0.0f || start < -96.0f,
                  Format("Start Level must be between %6.2f and %6.2f dB.", 0.0, -96.0)},
                 {stop > 0.0f || stop < -96.0f, Format("Stop Level must be between %6.2f and %6.2f dB.", 0.0, -96.0)},
                 Frequency(f), IntRange(time, 1, 600000, "Sweep time must be between %ld and %ld Milliseconds.")}))
        return;
    *m_record = {start, stop, f, time};
    EndDialog(IDOK);
}

// Sawtooth, triangle and square.
CSawtooth::CSawtooth(CWnd* parent, SigGenSawtooth* record, int limit)
    : TRecordDialog(IDD_SIGGEN_SAWTOOTH, parent, record, limit)
{
}

void CSawtooth::ShowFields()
{
    ShowFloat(IDC_SAW_FREQ, m_record->Frequency);
    CheckCode({{IDC_SAW_POSITIVE, 1}, {IDC_SAW_NEGATIVE, -1}}, m_record->Slope);
}

void CSawtooth::OnOK()
{
    float f = 0.0f;
    if (!ReadFloat(IDC_SAW_FREQ, "Frequency", f) || !Accept({Frequency(f)}))
        return;
    m_record->Frequency = f;
    m_record->Slope = CheckedCode({{IDC_SAW_POSITIVE, 1}, {IDC_SAW_NEGATIVE, -1}}, m_record->Slope);
    EndDialog(IDOK);
}

CTriangular::CTriangular(CWnd* parent, SigGenTriangular* record, int limit)
    : TRecordDialog(IDD_SIGGEN_TRIANGULAR, parent, record, limit)
{
}

void CTriangular::ShowFields()
{
    ShowFloat(IDC_TRIANGLE_FREQ, m_record->Frequency);
}

void CTriangular::OnOK()
{
    float f = 0.0f;
    if (!ReadFloat(IDC_TRIANGLE_FREQ, "Frequency", f) || !Accept({Frequency(f)}))
        return;
    m_record->Frequency = f;
    EndDialog(IDOK);
}

CSquare::CSquare(CWnd* parent, SigGenSquare* record, int limit)
    : TRecordDialog(IDD_SIGGEN_SQUARE, parent, record, limit)
{
}

void CSquare::ShowFields()
{
    ShowFloat(IDC_SQUARE_FREQ, m_record->Frequency);
    ShowInt(IDC_SQUARE_DUTY, m_record->DutyPercent);
}

void CSquare::OnOK()
{
    float f = 0.0f;
    int duty = 0;
    if (!ReadFloat(IDC_SQUARE_FREQ, "Frequency", f) || !ReadInt(IDC_SQUARE_DUTY, "Duty Cycle", duty) ||
        !Accept({Frequency(f), IntRange(duty, 1, 99, "Duty cycle must be between %ld and %ld Percent.")}))
        return;
    *m_record = {f, duty};
    EndDialog(IDOK);
}

// Pulse.
CPulse::CPulse(CWnd* parent, SigGenPulse* record, int limit)
    : TRecordDialog(IDD_SIGGEN_PULSE, parent, record, limit)
{
}

void CPulse::ShowFields()
{
    ShowInt(IDC_PULSE_WIDTH, m_record->WidthUsec);
    ShowInt(IDC_PULSE_INTERVAL, m_record->IntervalUsec);
    CheckDlgButton(IDC_PULSE_SINGLE, m_record->SingleShot ? 1 : 0);
}

void CPulse::OnOK()
{
    // One sample at the output rate is the shortest pulse; the longest interval is 100 times
    // the longest pulse. Taken in 64 bits: at low rates the longest interval passes 2^31.
    long long shortest = 200, longest = 20000000;
    if (m_limit > 0) {
        shortest = 1000000LL / (2LL * m_limit);
        longest = shortest * 100000LL;
    }
    int width = 0, interval = 0;
    if (!ReadInt(IDC_PULSE_WIDTH, "Pulse Width", width) ||
        !ReadInt(IDC_PULSE_INTERVAL, "Repetition Interval", interval) ||
        !Accept({IntRange(width, shortest, longest, "Pulse Width must be between %ld and %ld Micro Seconds."),
                 IntRange(interval, shortest, longest * 100,
                          "Repetition interval must be between %ld and %ld Micro Seconds."),
                 {width >= interval, "Pulse Width must be less than the repetition interval"}}))
        return;
    m_record->WidthUsec = static_cast<INT>(width);
    m_record->IntervalUsec = static_cast<INT>(interval);
    m_record->SingleShot = IsDlgButtonChecked(IDC_PULSE_SINGLE) ? 1 : 0;
    EndDialog(IDOK);
}

// User-defined wave.
BEGIN_MESSAGE_MAP(CUserWaveDialog, CSigGenParamDialog)
    ON_BN_CLICKED(IDC_USER_PICK, &CUserWaveDialog::OnPick)
END_MESSAGE_MAP()

CUserWaveDialog::CUserWaveDialog(CWnd* parent, SigGenUserWave* record, char* waveFolder)
    : TRecordDialog(IDD_SIGGEN_USER_WAVE, parent, record, 0), m_waveFolder(waveFolder)
{
}

void CUserWaveDialog::ShowFields()
{
    SetDlgItemText(IDC_USER_PATH, std::string(m_record->Path, strnlen(m_record->Path, sizeof m_record->Path)));
    CheckDlgButton(IDC_USER_REPEAT, m_record->Repeat ? 1 : 0);
}

void CUserWaveDialog::OnPick()
{
    CFileDialog dialog(TRUE, "wav", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST,
                       "Wave Files (*.wav)|*.wav||", this);
    dialog.m_ofn.lpstrTitle = "Open Wave File";
    if (m_waveFolder)
        dialog.m_ofn.lpstrInitialDir = m_waveFolder;
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    if (m_waveFolder)
        GetFolderOfPath(path.c_str(), m_waveFolder, 260);
    StoreText(m_record->Path, sizeof m_record->Path, path);
    SetDlgItemText(IDC_USER_PATH, std::string(m_record->Path));
}

void CUserWaveDialog::OnOK()
{
    StoreText(m_record->Path, sizeof m_record->Path, ReadText(IDC_USER_PATH, sizeof m_record->Path - 1));
    m_record->Repeat = IsDlgButtonChecked(IDC_USER_REPEAT) ? 1 : 0;
    EndDialog(IDOK);
}

// DTMF.
CDTMF::CDTMF(CWnd* parent, SigGenDtmf* record) : TRecordDialog(IDD_SIGGEN_DTMF, parent, record, 0) {}

void CDTMF::ShowFields()
{
    SetDlgItemText(IDC_DTMF_KEYS, std::string(m_record->Keys, strnlen(m_record->Keys, sizeof m_record->Keys)));
    ShowInt(IDC_DTMF_WIDTH, m_record->PulseMsec);
    ShowInt(IDC_DTMF_SPACING, m_record->SpacingMsec);
    ShowFloat(IDC_DTMF_TWIST, m_record->TwistDb);
    CheckDlgButton(IDC_DTMF_REPEAT, m_record->Repeat ? 1 : 0);
}

void CDTMF::OnOK()
{
    int width = 0, spacing = 0;
    float twist = 0.0f;
    if (!ReadInt(IDC_DTMF_WIDTH, "Pulse Width", width) || !ReadInt(IDC_DTMF_SPACING, "Interpulse Spacing", spacing) ||
        !ReadFloat(IDC_DTMF_TWIST, "Twist", twist) ||
        !Accept({IntRange(width, 1, 10000, "Pulse Width must be between %ld and %ld Milliseconds."),
                 IntRange(spacing, 1, 10000, "Interpulse Spacing Width must be between %ld and %ld Milliseconds."),
                 {twist > 30.0f || twist < -30.0f, "Twist must be between -30 and +30 dB"}}))
        return;
    StoreText(m_record->Keys, sizeof m_record->Keys, ReadText(IDC_DTMF_KEYS, sizeof m_record->Keys - 1));
    m_record->PulseMsec = width;
    m_record->SpacingMsec = spacing;
    m_record->TwistDb = twist;
    m_record->Repeat = IsDlgButtonChecked(IDC_DTMF_REPEAT) ? 1 : 0;
    EndDialog(IDOK);
}

// Frequency step.
namespace {
constexpr struct {
    const char* text;
    int fraction;
} kFractions[] = {{"1/1 Octave", 1},   {"1/3 Octave", 3},   {"1/6 Octave", 6},   {"1/9 Octave", 9},
                  {"1/12 Octave", 12}, {"1/24 Octave", 24}, {"1/48 Octave", 48}, {"1/96 Octave", 96}};
}

CFreqStep::CFreqStep(CWnd* parent, SigGenFreqStep* record, int limit)
    : TRecordDialog(IDD_SIGGEN_FREQ_STEP, parent, record, limit)
{
}

void CFreqStep::ShowFields()
{
    ShowFloat(IDC_SWEEP_START, m_record->StartFreq);
    ShowFloat(IDC_SWEEP_STOP, m_record->StopFreq);
    CheckCode({{IDC_STEP_LINEAR, 1}, {IDC_STEP_OCTAVE, 2}}, m_record->StepType);
    ShowFloat(IDC_STEP_SIZE, m_record->StepFreq);
    if (auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_STEP_FRACTION))) {
        for (const auto& f : kFractions) {
            const int at = combo->AddString(f.text);
            combo->SetItemData(at, static_cast<DWORD_PTR>(f.fraction));
            if (f.fraction == m_record->OctaveFraction)
                combo->SetCurSel(at);
        }
    }
    CheckCode({{IDC_SWEEP_JUMP_BACK, 0}, {IDC_STEP_STEP_BACK, 1}}, m_record->StepBack);
    CheckDlgButton(IDC_STEP_SINGLE, m_record->SinglePass ? 1 : 0);
    ShowInt(IDC_STEP_DWELL, m_record->DwellMsec);
}

void CFreqStep::OnOK()
{
    float start = 0.0f, stop = 0.0f, step = 0.0f;
    int dwell = 0;
    if (!ReadFloat(IDC_SWEEP_START, "Start Frequency", start) || !ReadFloat(IDC_SWEEP_STOP, "Stop Frequency", stop) ||
        !ReadFloat(IDC_STEP_SIZE, "Step Size", step) || !ReadInt(IDC_STEP_DWELL, "Step Time", dwell) ||
        !Accept({FloatRange(start, 0.0, m_limit, "Start Frequency must be between %6.2f and %6.2f Hz."),
                 FloatRange(stop, 0.0, m_limit, "Stop Frequency must be between %6.2f and %6.2f Hz."),
                 {step <= 0.0f, "The Step Size must be greater than zero."},
                 IntRange(dwell, 1, 600000, "Step time must be between %ld and %ld Milliseconds.")}))
        return;
    m_record->StartFreq = start;
    m_record->StopFreq = stop;
    m_record->StepFreq = step;
    m_record->DwellMsec = dwell;
    m_record->StepType = CheckedCode({{IDC_STEP_LINEAR, 1}, {IDC_STEP_OCTAVE, 2}}, m_record->StepType);
    if (auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_STEP_FRACTION))) {
        const int sel = combo->GetCurSel();
        if (sel != CB_ERR)
            m_record->OctaveFraction = static_cast<INT>(combo->GetItemData(sel));
    }
    m_record->StepBack = static_cast<BYTE>(
        CheckedCode({{IDC_SWEEP_JUMP_BACK, 0}, {IDC_STEP_STEP_BACK, 1}}, m_record->StepBack));
    m_record->SinglePass = IsDlgButtonChecked(IDC_STEP_SINGLE) ? 1 : 0;
    EndDialog(IDOK);
}

// Signal length.
CSaveSignalLengthDlg::CSaveSignalLengthDlg(CWnd* parent, double signalSeconds, DWORD* multiplier)
    : CDialog(IDD_SIGGEN_SAVE_LENGTH, parent), m_seconds(signalSeconds), m_multiplier(multiplier)
{
}

BOOL CSaveSignalLengthDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[64];
    std::snprintf(text, sizeof text, "%6.2f", m_seconds);
    SetDlgItemText(IDC_SAVE_DEFAULT_LENGTH, text);
    const DWORD multiplier = std::clamp<DWORD>(*m_multiplier, 1, 20);
    if (auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_SAVE_MULTIPLIER))) {
        for (int i = 1; i <= 20; ++i)
            combo->AddString(std::to_string(i).c_str());
        combo->SetCurSel(static_cast<int>(multiplier) - 1);
    }
    std::snprintf(text, sizeof text, "%6.2f", multiplier * m_seconds);
    SetDlgItemText(IDC_SAVE_TOTAL_LENGTH, text);
    return TRUE;
}

void CSaveSignalLengthDlg::OnOK()
{
    if (auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_SAVE_MULTIPLIER))) {
        const int sel = combo->GetCurSel();
        if (sel != CB_ERR)
            *m_multiplier = static_cast<DWORD>(sel + 1);
    }
    EndDialog(IDOK);
}
