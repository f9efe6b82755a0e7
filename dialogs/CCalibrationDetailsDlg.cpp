#include "dialogs/CCalibrationDetailsDlg.h"

#include "acquisition/TUsbDevice.h"
#include "dialogs/PageHelpers.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "platform/core/SysTime.h"
#include "platform/ui/CommonDialogs.h"
#include "res/ProcessingDialogIds.h"
#include "siggen/CSigGen.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

namespace {
constexpr UINT_PTR kMeasureTimer = 201;
constexpr const char* kCaption = "Calibration Details";

struct Item {
    const char* text;
    DWORD code;
};
constexpr Item kTransducers[] = {{"Microphone", 2}, {"Hydrophone", 10}, {"Accelerometer", 3}, {"Velocity", 14},
                                 {"Force", 12},     {"Proximity", 15},  {"Temperature", 16},  {"Custom", 4}};
constexpr Item kSignalUnits[] = {{"SPL dB (in air)", 2},    {"SPL dB (in water)", 10}, {"Pascals (in air)", 8},
                                 {"Pascals (in water)", 11}, {"Acceleration (G)", 3},   {"Velocity (in/sec)", 14},
                                 {"Force (N)", 12},          {"Pressure (psi)", 9},     {"Custom", 4}};
constexpr Item kLevelTypes[] = {{"RMS", 1}, {"Peak", 0}, {"Peak to Peak", 2}};
constexpr Item kConversions[] = {{"None", 0},
                                 {"Velocity (ft/sec)", 1},
                                 {"Velocity (in/sec)", 2},
                                 {"Velocity (mils/sec)", 7},
                                 {"Velocity (micro inch/sec)", 9},
                                 {"Velocity (mm/sec)", 3},
                                 {"Displacement (ft)", 4},
                                 {"Displacement (in)", 5},
                                 {"Displacement (mils)", 8},
                                 {"Displacement (micro inch)", 10},
                                 {"Displacement (mm)", 6}};

template <std::size_t N>
void FillCombo(CWnd& dialog, int id, const Item (&items)[N])
{
    if (CComboBox* c = sheet::Combo(dialog, id)) {
        c->ResetContent();
        for (const Item& item : items)
            c->SetItemData(c->AddString(item.text), item.code);
    }
}

void SelectOr(CWnd& dialog, int id, DWORD code, DWORD fallback)
{
    if (!sheet::SelectData(dialog, id, code))
        sheet::SelectData(dialog, id, fallback);
}

// Sized to the text: the messages that use it are longer than any fixed row would be.
std::string Format(const char* format, double value)
{
    const int n = std::snprintf(nullptr, 0, format, value);
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, value);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

const char* SensitivityLabel(DWORD code)
{
    switch (code) {
    case 2: return "Microphone Sensitivity (mV/PA)";
    case 10: return "Hydrophone Sensitivity (dB re V/uPA)";
    case 3: return "Accelerometer Sensitivity (mV/G)";
    case 14: return "Velocity Sensitivity (mV/in/sec)";
    case 12: return "Force transducer Sensitivity (mV/N)";
    case 15: return "Proximity Probe Sensitivity (mV/mil)";
    case 16: return "Temperature Probe Sensitivity (mV/deg)";
    default: return "Custom Transducer Sensitivity (mV/Unit)";
    }
}

// Units whose reference level is a plain magnitude, never negative.
bool LevelMustBePositive(DWORD units)
{
    switch (units) {
    case 0: case 1: case 3: case 4: case 8: case 9: case 11: case 12: case 14:
        return true;
    default:
        return false;
    }
}

// The channel's newest `count` samples as fractions of full scale (24-bit values); false
// until the ring holds that many.
bool ReadLatestSamples(TUsbDevice& device, int channel, int count, std::vector<float>& out)
{
    out.clear();
    if (count <= 0 || device.GetRingFill() < count)
        return false;
    std::vector<int> raw;
    try {
        raw.resize(static_cast<std::size_t>(count));
        out.resize(raw.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!device.ReadRingBlock(channel, count, raw.data(), TUsbDevice::Now()))
        return false;
    for (std::size_t i = 0; i < raw.size(); ++i)
        out[i] = static_cast<float>(raw[i] / 8388607.0);
    return true;
}

bool IsReservedName(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name == "volts" || name == "millivolts" || name == "rpm";
}
} // namespace

BEGIN_MESSAGE_MAP(CCalibrationDetailsDlg, CDialog)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_CAL_METHOD_SENSITIVITY, IDC_CAL_METHOD_EXTERNAL, &CCalibrationDetailsDlg::OnMethod)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_CAL_METHOD_WAVE, IDC_CAL_METHOD_WAVE, &CCalibrationDetailsDlg::OnMethod)
    ON_CBN_SELCHANGE(IDC_CAL_TRANSDUCER, &CCalibrationDetailsDlg::OnTransducer)
    ON_CBN_SELCHANGE(IDC_CAL_EXTERNAL_UNITS, &CCalibrationDetailsDlg::OnExternalUnits)
    ON_CBN_SELCHANGE(IDC_CAL_WAVE_UNITS, &CCalibrationDetailsDlg::OnWaveUnits)
    ON_CBN_SELCHANGE(IDC_CAL_CONVERSION, &CCalibrationDetailsDlg::OnConversion)
    ON_BN_CLICKED(IDC_CAL_MEASURE, &CCalibrationDetailsDlg::OnMeasure)
    ON_BN_CLICKED(IDC_CAL_MEASURE_WAVE, &CCalibrationDetailsDlg::OnMeasureWave)
    ON_BN_CLICKED(IDC_CAL_SAVE, &CCalibrationDetailsDlg::OnSave)
    ON_BN_CLICKED(IDC_CAL_SAVE_AS, &CCalibrationDetailsDlg::OnSaveAs)
    ON_BN_CLICKED(IDC_CAL_CANCEL, &CCalibrationDetailsDlg::OnCancelButton)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CCalibrationDetailsDlg::CCalibrationDetailsDlg(CWnd* parent, ChannelCalibration* record, int channel,
                                               UsbDeviceSettings device, INT inputDeviceIndex, bool askName,
                                               bool automatic, float presetLevel)
    : CDialog(IDD_CALIBRATION_DETAILS, parent), m_record(record), m_channel(std::clamp(channel, 0, 7)),
      m_device(device), m_inputDeviceIndex(inputDeviceIndex), m_askName(askName), m_automatic(automatic),
      m_presetLevel(presetLevel)
{
    if (m_record) {
        m_opened = *m_record;
        if (m_automatic)
            m_record->RefLevel = presetLevel;
    }
}

void CCalibrationDetailsDlg::UnitLabels(DWORD units, DWORD conversion, std::string& linear, std::string& log)
{
    auto set = [&](const char* a, const char* b) {
        linear = a;
        log = b;
    };
    switch (units) {
    case 0: case 5: set("Volts", "dBV"); break;
    case 1: case 6: set("Millivolts", "dBmV"); break;
    case 2: case 8: set("Pascals (PA)", "SPL (dB re 20uPA)"); break;
    case 4: set("Custom", "Custom"); break;
    case 7: set("Volts", "dBu"); break;
    case 9: set("Pressure (psi)", "Pressure (psi dB)"); break;
    case 10: case 11: set("Pascals (PA)", "SPL (dB re 1uPA)"); break;
    case 12: set("Force (N)", "Force (dBN)"); break;
    case 14: set("Velocity in/sec", "Velocity (in/sec dB)"); break;
    case 15: set("Proximity mils", "Proximity (mils dB)"); break;
    case 16: set("Temperature deg", "Temerature (deg dB)"); break;
    case 3:
        switch (conversion) {
        case 1: set("Velocity (ft/sec)", "Velocity (ft/sec dB)"); break;
        case 2: set("Velocity (in/sec)", "Velocity (in/sec dB)"); break;
        case 7: set("Velocity (mils/sec)", "Velocity (mils/sec dB)"); break;
        case 9: set("Velocity (micro inch/sec)", "Velocity (micro inch/sec dB)"); break;
        case 3: set("Velocity (mm/sec)", "Velocity (mm/sec dB)"); break;
        case 4: set("Displacement (ft)", "Displacement (ft dB)"); break;
        case 5: set("Displacement (in)", "Displacement (in dB)"); break;
        case 8: set("Displacement (mils)", "Displacement (mils dB)"); break;
        case 10: set("Displacement (micro inch)", "Displacement (micro inch dB)"); break;
        case 6: set("Displacement (mm)", "Displacement (mm dB)"); break;
        default: set("Acceleration (G)", "Acceleration (G dB)"); break;
        }
        break;
    default: set("Undefined", "dB"); break;
    }
}

BOOL CCalibrationDetailsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!m_record)
        return TRUE;
    const ChannelCalibration& r = *m_record;
    m_filling = true;
    FillCombo(*this, IDC_CAL_TRANSDUCER, kTransducers);
    FillCombo(*this, IDC_CAL_EXTERNAL_UNITS, kSignalUnits);
    FillCombo(*this, IDC_CAL_WAVE_UNITS, kSignalUnits);
    for (int id : {IDC_CAL_EXTERNAL_TYPE, IDC_CAL_WAVE_TYPE, IDC_CAL_SENSITIVITY_TYPE, IDC_CAL_DISPLAY_TYPE})
        FillCombo(*this, id, kLevelTypes);
    FillCombo(*this, IDC_CAL_CONVERSION, kConversions);
    for (int id : {IDC_CAL_TRANSDUCER, IDC_CAL_EXTERNAL_UNITS, IDC_CAL_WAVE_UNITS})
        SelectOr(*this, id, r.RefUnits, 2);
    for (int id : {IDC_CAL_EXTERNAL_TYPE, IDC_CAL_WAVE_TYPE, IDC_CAL_SENSITIVITY_TYPE})
        SelectOr(*this, id, r.RefType, 1);
    SelectOr(*this, IDC_CAL_DISPLAY_TYPE, r.LabelType, 1);
    SelectOr(*this, IDC_CAL_CONVERSION, r.ConversionType, 0);

    const double volts = r.TransducerSensitivityVolts;
    std::string sensitivity = "1.0";
    if (r.RefUnits == 10) {
        if (volts > 0.0)
            sensitivity = Format("%6.3f", 20.0 * std::log10(volts));
    } else if (volts > 0.0) {
        sensitivity = Format(r.RefUnits == 2 ? "%6.3f" : "%6.5f", volts * 1000.0);
    }
    SetDlgItemText(IDC_CAL_SENSITIVITY, sensitivity);
    SetDlgItemText(IDC_CAL_OFFSET, Format("%6.5f", r.RefOffset));
    SetDlgItemText(IDC_CAL_EXTERNAL_LEVEL, Format("%6.8f", r.RefLevel));
    SetDlgItemText(IDC_CAL_MEASURED_VOLTAGE, Format("%6.5f", static_cast<double>(r.MeasuredInputVoltage) * 1000.0));
    SetDlgItemText(IDC_CAL_WAVE_LEVEL, Format("%6.6f", r.RefLevel));
    SetDlgItemText(IDC_CAL_DETECTED_LEVEL, Format("%6.6f", static_cast<double>(r.PctFullScale) * 100.0));
    SetDlgItemText(IDC_CAL_LABEL_LINEAR, sheet::Field(r.LabelLinear, sizeof r.LabelLinear));
    SetDlgItemText(IDC_CAL_LABEL_LOG, sheet::Field(r.LabelLog, sizeof r.LabelLog));
    const int method = r.CalCreateMode == 2 ? IDC_CAL_METHOD_EXTERNAL
                       : r.CalCreateMode == 3 ? IDC_CAL_METHOD_WAVE
                                              : IDC_CAL_METHOD_SENSITIVITY;
    CheckDlgButton(method, 1);
    UpdateEnabling();
    sheet::Show(*this, IDC_CAL_STATUS, false);
    sheet::Show(*this, IDC_CAL_HINT, false);
    m_filling = false;

    // "Changed" at Cancel means changed by the user: the baseline is what the untouched
    // dialog makes of the record (a new record gains its method's defaults that way).
    const ChannelCalibration given = *m_record;
    m_quiet = true;
    if (ApplyToRecord())
        m_opened = *m_record;
    m_quiet = false;
    *m_record = given;

    if (m_automatic) {
        if (r.CalCreateMode != 2)
            EndDialog(IDOK);
        else
            StartMeasurement();
    }
    return TRUE;
}

int CCalibrationDetailsDlg::Method() const
{
    if (IsDlgButtonChecked(IDC_CAL_METHOD_EXTERNAL))
        return 2;
    if (IsDlgButtonChecked(IDC_CAL_METHOD_WAVE))
        return 3;
    return 1;
}

void CCalibrationDetailsDlg::UpdateEnabling()
{
    const int method = Method();
    const DWORD transducer = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_TRANSDUCER, 2));
    for (int id : {IDC_CAL_TRANSDUCER, IDC_CAL_SENSITIVITY, IDC_CAL_OFFSET})
        sheet::Enable(*this, id, method == 1);
    sheet::Show(*this, IDC_CAL_SENSITIVITY_TYPE, method == 1 && transducer == 4);
    sheet::Enable(*this, IDC_CAL_SENSITIVITY_TYPE, method == 1 && transducer == 4);
    SetDlgItemText(IDC_CAL_SENSITIVITY_LABEL, SensitivityLabel(transducer));
    const bool offset = transducer == 15 || transducer == 16;
    sheet::Show(*this, IDC_CAL_OFFSET_LABEL, offset);
    sheet::Show(*this, IDC_CAL_OFFSET, offset);
    if (offset)
        SetDlgItemText(IDC_CAL_OFFSET_LABEL, transducer == 15 ? "Proximity Offset (mil)" : "Temperature Offset (deg)");
    for (int id : {IDC_CAL_EXTERNAL_UNITS, IDC_CAL_EXTERNAL_LEVEL, IDC_CAL_EXTERNAL_TYPE, IDC_CAL_MEASURED_VOLTAGE,
                   IDC_CAL_MEASURE})
        sheet::Enable(*this, id, method == 2);
    for (int id : {IDC_CAL_WAVE_UNITS, IDC_CAL_WAVE_LEVEL, IDC_CAL_WAVE_TYPE, IDC_CAL_MEASURE_WAVE, IDC_CAL_DETECTED_LEVEL})
        sheet::Enable(*this, id, method == 3);
    const DWORD units = method == 1   ? transducer
                        : method == 2 ? static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_EXTERNAL_UNITS, 2))
                                      : static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_WAVE_UNITS, 2));
    sheet::Enable(*this, IDC_CAL_CONVERSION, units == 3);
}

void CCalibrationDetailsDlg::WriteLabels(DWORD units)
{
    if (m_filling)
        return;
    if (units != 3)
        sheet::SelectData(*this, IDC_CAL_CONVERSION, 0);
    std::string linear, log;
    UnitLabels(units, static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_CONVERSION, 0)), linear, log);
    SetDlgItemText(IDC_CAL_LABEL_LINEAR, linear);
    SetDlgItemText(IDC_CAL_LABEL_LOG, log);
    UpdateEnabling();
}

void CCalibrationDetailsDlg::OnMethod(UINT) { UpdateEnabling(); }
void CCalibrationDetailsDlg::OnTransducer() { WriteLabels(static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_TRANSDUCER, 2))); }
void CCalibrationDetailsDlg::OnExternalUnits() { WriteLabels(static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_EXTERNAL_UNITS, 2))); }
void CCalibrationDetailsDlg::OnWaveUnits() { WriteLabels(static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_WAVE_UNITS, 2))); }
void CCalibrationDetailsDlg::OnConversion() { WriteLabels(3); }

void CCalibrationDetailsDlg::Refuse(const std::string& text, const char* caption)
{
    if (!m_automatic && !m_quiet)
        MessageBoxA(this, text, caption, MB_OK | MB_ICONSTOP);
}

bool CCalibrationDetailsDlg::CheckLevel(int id, DWORD units, const char* which, double& value)
{
    const std::string name = std::string("The ") + which + " Signal Level ";
    // Text that is no number would have been a level of nothing.
    if (!sheet::ReadNumber(*this, id, value)) {
        Refuse(name + "must be a number", "QLM436");
        return false;
    }
    if (value < 0.0 && LevelMustBePositive(units)) {
        Refuse(name + "cannot be less than zero", "QLM436");
        return false;
    }
    // A magnitude of nothing makes every calibrated value zero (the dB units' 0 dB is a level).
    if (value == 0.0 && LevelMustBePositive(units) && units != kUnitPsi) {
        Refuse(name + "must be greater than zero", "QLM436");
        return false;
    }
    return true;
}

bool CCalibrationDetailsDlg::ApplyToRecord()
{
    if (!m_record)
        return false;
    ChannelCalibration r = *m_record;
    const int method = Method();
    double value = 0.0;
    if (method == 1) {
        const DWORD transducer = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_TRANSDUCER, 2));
        r.CalCreateMode = 1;
        r.RefUnits = transducer;
        r.RefType = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_SENSITIVITY_TYPE, r.RefType));
        const bool typed = sheet::ReadNumber(*this, IDC_CAL_SENSITIVITY, value);
        double volts = transducer == 10 ? std::pow(10.0, value / 20.0) : value / 1000.0;
        if (transducer != 10 && !(typed && volts > 0.0)) {
            Refuse("Transducer Sensitivity must be greater than zero.");
            return false;
        }
        if (transducer == 10 && !(typed && volts > 0.0 && std::isfinite(volts))) {
            // A dB figure too large to be a sensitivity.
            Refuse("Transducer Sensitivity must be greater than zero.");
            return false;
        }
        r.TransducerSensitivityVolts = static_cast<float>(volts);
        if (transducer == 2) {
            r.MeasuredInputVoltage = r.TransducerSensitivityVolts;
            r.RefLevel = 94.0f;
        } else if (transducer == 10) {
            r.MeasuredInputVoltage = r.TransducerSensitivityVolts;
            r.RefLevel = 120.0f;
        } else if (transducer == 3 || transducer == 14 || transducer == 12) {
            r.MeasuredInputVoltage = r.TransducerSensitivityVolts;
            r.RefLevel = 1.0f;
        }
    } else if (method == 2) {
        r.CalCreateMode = 2;
        r.RefUnits = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_EXTERNAL_UNITS, 2));
        if (!CheckLevel(IDC_CAL_EXTERNAL_LEVEL, r.RefUnits, "Reference", value))
            return false;
        r.RefLevel = static_cast<float>(value);
        if (!sheet::ReadNumber(*this, IDC_CAL_MEASURED_VOLTAGE, value) || !(value / 1000.0 > 0.0)) {
            Refuse("The measured input voltage must be greater than zero.");
            return false;
        }
        r.MeasuredInputVoltage = static_cast<float>(value / 1000.0);
        r.RefType = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_EXTERNAL_TYPE, r.RefType));
    } else {
        r.CalCreateMode = 3;
        r.RefUnits = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_WAVE_UNITS, 2));
        if (!CheckLevel(IDC_CAL_WAVE_LEVEL, r.RefUnits, "Calibration", value))
            return false;
        r.RefLevel = static_cast<float>(value);
        if (!sheet::ReadNumber(*this, IDC_CAL_DETECTED_LEVEL, value) || !(value / 100.0 > 0.000001)) {
            Refuse("The detected signal level must be greater than zero.");
            return false;
        }
        r.PctFullScale = static_cast<float>(value / 100.0);
        r.RefType = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_WAVE_TYPE, r.RefType));
    }
    r.ConversionType = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_CONVERSION, 0));
    r.LabelType = static_cast<DWORD>(sheet::SelectedData(*this, IDC_CAL_DISPLAY_TYPE, r.LabelType));
    r.RefOffset = 0.0f;
    if (r.RefUnits == 15 || r.RefUnits == 16) {
        std::string typed;
        GetDlgItemText(IDC_CAL_OFFSET, typed);
        // An offset that is no number would quietly have been none.
        const std::string refusal = CheckTypedNumber(typed, NumberField{"The offset", -3.0e38, 3.0e38}, value);
        if (!refusal.empty()) {
            Refuse(refusal);
            return false;
        }
        r.RefOffset = static_cast<float>(value);
    }
    std::string text;
    GetDlgItemText(IDC_CAL_LABEL_LOG, text);
    sheet::Store(r.LabelLog, sizeof r.LabelLog, text);
    GetDlgItemText(IDC_CAL_LABEL_LINEAR, text);
    sheet::Store(r.LabelLinear, sizeof r.LabelLinear, text);
    ComputeCalibrationFactors(r);
    *m_record = r;
    return true;
}

bool CCalibrationDetailsDlg::WriteTo(const std::string& path)
{
    // The profile functions update keys in place; a stale file would keep keys of its own.
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (!WriteCalibrationFile(path.c_str(), m_record)) {
        Refuse("Failure writing calibration file: \"" + path + "\".");
        return false;
    }
    return true;
}

bool CCalibrationDetailsDlg::SaveRecord(bool askName)
{
    const std::string name = sheet::Field(m_record->Filename, sizeof m_record->Filename);
    if (!name.empty() && !askName && !IsReservedName(name)) {
        const std::string path = CalibrationFilePath(m_context.CalibrationFolder.c_str(), name.c_str());
        if (!WriteTo(path))
            return false;
        EndDialog(IDOK);
        return true;
    }
    for (;;) {
        CFileDialog dialog(FALSE, "*.cal", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                           "Calibration Files (*.cal)|*.cal||", this);
        dialog.m_ofn.lpstrTitle = "Save Calibration File";
        dialog.m_ofn.lpstrInitialDir = m_context.CalibrationFolder.c_str();
        if (dialog.DoModal() != IDOK)
            return false;
        const std::string title = std::filesystem::path(dialog.GetPathName()).stem().string();
        if (IsReservedName(title)) {
            AfxMessageBox("The filename \"Volts\", \"Millivolts\" and \"RPM\" are reserved calibration names.  "
                          "Please select a different filename",
                          MB_OK | MB_ICONSTOP);
            continue;
        }
        sheet::Store(m_record->Filename, sizeof m_record->Filename, title);
        // The page finds calibrations in the calibration folder only, whatever folder was browsed to.
        const std::string path = CalibrationFilePath(m_context.CalibrationFolder.c_str(), title.c_str());
        if (!WriteTo(path))
            continue;
        EndDialog(IDOK);
        return true;
    }
}

void CCalibrationDetailsDlg::OnSave()
{
    StopMeasurement();
    if (ApplyToRecord())
        SaveRecord(m_askName);
}

void CCalibrationDetailsDlg::OnSaveAs()
{
    StopMeasurement();
    if (ApplyToRecord())
        SaveRecord(true);
}

void CCalibrationDetailsDlg::OnCancel() { OnCancelButton(); }

void CCalibrationDetailsDlg::OnCancelButton()
{
    StopMeasurement();
    if (!ApplyToRecord())
        return;
    if (CalibrationEquals(*m_record, m_opened, 0)) {
        EndDialog(IDCANCEL);
        return;
    }
    const int answer = MessageBoxA(this, "Calibration Values have changed.  Save changes?", kCaption,
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES)
        SaveRecord(m_askName);
    else if (answer == IDNO)
        EndDialog(IDCANCEL);
}

// ---- Measuring -------------------------------------------------------------------------

CCalibrationDetailsDlg::SignalLevel CCalibrationDetailsDlg::AnalyseSignal(const std::vector<float>& samples,
                                                                         double rate, unsigned fft, unsigned hop,
                                                                         long blocks, unsigned averageBlocks)
{
    SignalLevel result;
    if (samples.empty() || fft == 0 || !(rate > 0.0))
        return result;
    // Samples arrive as fractions of full scale; the engine works on 24-bit values.
    constexpr double kFullScale = 8388607.0;
    ChannelProcessingSettings processing;
    processing.SampleFormat.Set(static_cast<DWORD>(rate), 1, 3);
    processing.FFTsize = fft;
    processing.DecimationRatio = 1;
    processing.SmoothingWindow = TSmoothing::kFlattop;
    processing.AverageType = 0;
    processing.AverageMode = 0;
    processing.AverageBlocks = averageBlocks;
    processing.AverageSpeed = 1;
    processing.OverlapPercent = 50;
    ChannelScalingSettings scaling;
    scaling.AmpScaleType = 0;
    const TSmoothing window(fft, TSmoothing::kFlattop, TSmoothing::kAmplitudeCorrection);
    auto engine = std::unique_ptr<SpectralData>(new (std::nothrow) SpectralData(&processing, &scaling, false));
    if (!engine || engine->HasError() || window.HasError())
        return result;
    blocks = std::max(blocks, 1L);
    for (long b = 0; b < blocks; ++b) {
        const std::size_t first = static_cast<std::size_t>(b) * hop;
        float* frame = engine->GetFrame();
        if (!frame)
            return result;
        for (unsigned i = 0; i < fft; ++i) {
            const std::size_t at = first + i;
            const float v = at < samples.size() ? samples[at] : 0.0f;
            if (std::fabs(v) >= 1.0f)
                result.clipped = true;
            frame[i] = static_cast<float>(v * kFullScale);
        }
        window.Apply(frame);
        engine->ComputeSpectrum();
        engine->Average(false);
    }
    const int lo = std::max(engine->FrequencyToBin(20.0f), 0);
    const int hi = engine->GetBinCount() - 1;
    float freq = 0.0f, level = 0.0f;
    engine->FindRankedPeak(lo, hi, &freq, &level, 0);
    result.peakHz = freq;
    result.peakFraction = level / 100.0;
    result.rmsFraction = engine->TotalLevel(static_cast<UINT>(lo), static_cast<UINT>(hi), 0, 0) / 100.0;
    return result;
}

bool CCalibrationDetailsDlg::MeasureWaveFile(const std::string& path)
{
    std::error_code ec;
    std::unique_ptr<TWaveFile> wave;
    if (std::filesystem::is_regular_file(path, ec))
        wave.reset(new (std::nothrow) TWaveFile(path, TWaveFile::kMemory, false, std::string()));
    if (!wave || wave->IsError()) {
        AfxMessageBox("Failure opening wave file.  Please check the file and try again.", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (wave->GetChannels() != 1) {
        AfxMessageBox("The selected wave file has more than one channel.  Please select a mono wave file",
                      MB_OK | MB_ICONSTOP);
        return false;
    }
    const DWORD rate = wave->GetSampleRate();
    const DWORD length = wave->GetLength();
    if (rate == 0 || static_cast<double>(length) < 2.0 * rate) {
        AfxMessageBox("The selected wave file must have at least 2 seconds of data.", MB_OK | MB_ICONSTOP);
        return false;
    }
    constexpr unsigned kFft = 8192;
    // A file only a little over two seconds long still gives one block to measure.
    const long blocks = std::max(static_cast<long>((length - rate) / kFft) * 2 - 2, 1L);
    const TPcmFormat format = wave->GetFormat();
    const double fullScale = (static_cast<double>(format.MaxValue) - format.MinValue) / 2.0;
    std::vector<float> samples;
    try {
        samples.resize(length - rate);
    } catch (const std::bad_alloc&) {
        AfxMessageBox("Failure opening wave file.  Please check the file and try again.", MB_OK | MB_ICONSTOP);
        return false;
    }
    for (DWORD i = 0; i < length - rate; ++i)
        samples[i] = static_cast<float>((wave->GetSample(rate + i, 0, false) - format.ZeroValue) / fullScale);
    const SignalLevel level = AnalyseSignal(samples, rate, kFft, kFft / 2, blocks, 1000);
    double pct = level.clipped ? 1.0 : level.peakFraction;
    if (m_record) {
        m_record->PctFullScale = static_cast<float>(pct);
        ComputeCalibrationFactors(*m_record);
    }
    if (pct >= 1.0)
        AfxMessageBox("The calibration signal is overloaded (clipping) and cannot be used for accurate calibration.",
                      MB_OK | MB_ICONSTOP);
    else if (pct < 0.0001)
        AfxMessageBox("The calibration signal level in the file is too low for accurate calibration.", MB_OK | MB_ICONSTOP);
    SetDlgItemText(IDC_CAL_DETECTED_LEVEL, Format("%6.6f", pct * 100.0));
    return true;
}

void CCalibrationDetailsDlg::OnMeasureWave()
{
    CFileDialog dialog(TRUE, "wav", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, "Wave Files (*.wav)|*.wav||", this);
    dialog.m_ofn.lpstrTitle = "Open Wave File";
    dialog.m_ofn.lpstrInitialDir = m_context.WaveFolder.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    MeasureWaveFile(dialog.GetPathName());
}

void CCalibrationDetailsDlg::OnMeasure()
{
    if (m_measuring) {
        StopMeasurement();
        return;
    }
    if (Method() != 2)
        return;
    StartMeasurement();
}

void CCalibrationDetailsDlg::StartMeasurement()
{
    TUsbDevice* device = m_context.InputDevice;
    if (m_inputDeviceIndex < 0 || device == nullptr || !device->IsPresent()) {
        Refuse("There are no Durnex KDR-5200 Series data acquisition devices available on your system.");
        return;
    }
    UsbDeviceSettings settings = m_device;
    for (int ch = 0; ch < UsbDeviceSettings::kChannels; ++ch)
        settings.Channels[ch].bIsEnabled = ch == m_channel ? 1 : 0;
    for (DWORD bits : {24u, 16u, 8u})
        if (device->IsResolutionSupported(static_cast<int>(bits))) {
            settings.BitsPerSample = bits;
            break;
        }
    // The device runs at the rates it has; the analysis needs the one it delivers.
    settings.SamplingRate = static_cast<DWORD>(std::clamp(static_cast<int>(settings.SamplingRate),
                                                           device->GetMinSamplingRate(), device->GetMaxSamplingRate()));
    if (!device->OpenDevice(this, m_inputDeviceIndex, 0)) {
        Refuse("Failure opening data acquisition module.");
        return;
    }
    if (!device->SetDeviceConfigurationAD(settings, 4096, false, 0)) {
        Refuse("Unable to configure the device.  It may already be in use by another program");
        device->CloseDevice();
        return;
    }
    if (!device->StartInput()) {
        device->CloseDevice();
        return;
    }
    m_device = settings;
    m_deviceStarted = true;
    m_measuring = true;
    SetTimer(kMeasureTimer, 1000);
    sheet::Show(*this, IDC_CAL_HINT, true);
    sheet::Show(*this, IDC_CAL_STATUS, true);
    SetDlgItemText(IDC_CAL_STATUS, "Initializing...");
    SetDlgItemText(IDC_CAL_MEASURE, "Stop Measurement");
    m_measuredVolts = 0.0f;
    m_measuredHz = 0.0f;
    m_previousVolts = -1.0f;
    m_measureStart = timeGetTime();
}

void CCalibrationDetailsDlg::OnTimer(UINT_PTR id)
{
    if (id == kMeasureTimer && m_measuring)
        MeasureTick();
}

void CCalibrationDetailsDlg::MeasureTick()
{
    TUsbDevice* device = m_context.InputDevice;
    if (!device)
        return;
    const double rate = m_device.SamplingRate;
    std::vector<float> samples;
    if (!ReadLatestSamples(*device, m_channel, static_cast<int>(2 * rate), samples))
        return; // not enough yet: the next tick
    const double gain = m_device.Channels[m_channel].Gain > 0.0 ? m_device.Channels[m_channel].Gain : 1.0;
    const double fullScaleVolts = 10.0 / gain;
    constexpr unsigned kFft = 4096;
    const long blocks = std::max(static_cast<long>(samples.size() / (kFft / 2)) - 1, 1L);
    const SignalLevel level = AnalyseSignal(samples, rate, kFft, kFft / 2, blocks, 100000);
    // The engine's levels are peak amplitudes; an rms in volts is that over the square root of two.
    m_measuredVolts = static_cast<float>(level.rmsFraction * fullScaleVolts / std::sqrt(2.0));
    m_measuredHz = static_cast<float>(level.peakHz);
    SetDlgItemText(IDC_CAL_MEASURED_VOLTAGE, Format("%6.6f", static_cast<double>(m_measuredVolts) * 1000.0));
    char status[64];
    std::snprintf(status, sizeof status, "%6.2f  Frequency (Hz)", static_cast<double>(m_measuredHz));
    SetDlgItemText(IDC_CAL_STATUS, status);
    if (m_automatic) {
        const DWORD elapsed = timeGetTime() - m_measureStart;
        const bool settled = elapsed > 5000 && m_previousVolts >= 0.0f &&
                             std::fabs(m_measuredVolts - m_previousVolts) < 0.0001f;
        m_previousVolts = m_measuredVolts;
        if (settled || elapsed > 60000)
            StopMeasurement();
    }
}

void CCalibrationDetailsDlg::StopMeasurement()
{
    if (!m_measuring)
        return;
    m_measuring = false;
    SetDlgItemText(IDC_CAL_MEASURE, "Measure External Signal -->");
    KillTimer(kMeasureTimer);
    TUsbDevice* device = m_context.InputDevice;
    DWORD levelPercent = 0;
    if (device && m_deviceStarted) {
        device->StopInput();
        levelPercent = device->GetChannelLevel(m_channel);
    }
    m_deviceStarted = false;
    if (m_context.Generator)
        m_context.Generator->StopOutput();
    if (levelPercent >= 96) {
        Refuse("The external source signal level is overdriving the input. Reduce the signal level or gain setting.");
    } else {
        if (!(m_measuredVolts > 0.001f))
            Refuse("The external source signal level is missing or too low for accurate calibration (less than 1 "
                   "millivolt). Increase the signal level or gain setting.");
        if (m_measuredHz < 100.0f)
            Refuse(Format("The external source signal is missing or its frequency is too low (%6.2f Hz).  Please double "
                          "check the calibration signal.",
                          m_measuredHz));
        if (m_measuredHz > 20000.0f)
            Refuse(Format("The external source signal frequency is too high (%6.2f Hz).  Please double check the "
                          "calibration signal.",
                          m_measuredHz));
    }
    if (m_automatic && m_record) {
        const float previous = m_record->MeasuredInputVoltage;
        if (std::fabs(m_measuredVolts - previous) > 0.12f * previous && std::fabs(m_presetLevel - m_opened.RefLevel) < 1.0f) {
            EndDialog(IDCANCEL);
            return;
        }
        m_record->MeasuredInputVoltage = m_measuredVolts;
        ComputeCalibrationFactors(*m_record);
        const std::string name = sheet::Field(m_record->Filename, sizeof m_record->Filename);
        if (!name.empty())
            WriteTo(CalibrationFilePath(m_context.CalibrationFolder.c_str(), name.c_str()));
        EndDialog(IDOK);
    }
}
