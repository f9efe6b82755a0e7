// "Calibration Parameters": how one input channel's samples become physical units. The
// calibration is entered as a transducer sensitivity, measured from an external reference
// signal through the input device, or measured from a mono wave file holding a calibration
// signal; Save writes it to a *.cal file in the calibration folder. Edits the caller's record.
//
// User-interface thread only; a measurement reads the device's rings at each timer tick.
#pragma once

#include "platform/ui/Dialog.h"
#include "records/ChannelCalibration.h"
#include "records/UsbDeviceSettings.h"

#include <string>
#include <vector>

class TUsbDevice;
class CSigGen;

// What the calibration dialogs need of the frame, handed over when they are made.
struct CalibrationContext {
    std::string CalibrationFolder;
    std::string WaveFolder;
    TUsbDevice* InputDevice = nullptr; // the frame's input device object, or null
    CSigGen* Generator = nullptr;      // the generator window when it is open
};

class CCalibrationDetailsDlg : public CDialog {
public:
    CCalibrationDetailsDlg(CWnd* parent, ChannelCalibration* record, int channel, UsbDeviceSettings device,
                           INT inputDeviceIndex, bool askName, bool automatic, float presetLevel);

    void SetContext(const CalibrationContext& context) { m_context = context; }

    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter does not end the dialog: Save... does
    void OnCancel() override;   // Esc and the window's close box act as Cancel

    // The default axis labels of a unit code (and, for acceleration, of the conversion).
    static void UnitLabels(DWORD units, DWORD conversion, std::string& linear, std::string& log);

    // The level of a calibration signal: blocks of `fft` samples (values relative to zero, in
    // units of full scale 1.0) every `hop` samples, `blocks` of them (at least one), through a
    // flat-top spectrum. rmsFraction: rms of the band from 20 Hz up; peakFraction: the spectral
    // peak's amplitude from 20 Hz up; peakHz its frequency; clipped: a block reached full scale.
    struct SignalLevel {
        double rmsFraction = 0.0;
        double peakFraction = 0.0;
        double peakHz = 0.0;
        bool clipped = false;
    };
    static SignalLevel AnalyseSignal(const std::vector<float>& samples, double rate, unsigned fft, unsigned hop,
                                     long blocks, unsigned averageBlocks);

    // Measures a wave file's calibration signal into the dialog (the "Measure From Wave
    // File" button after the file is chosen); false after a refusal's message.
    bool MeasureWaveFile(const std::string& path);

    bool IsMeasuring() const { return m_measuring; }

private:
    void OnMethod(UINT id);
    void OnTransducer();
    void OnExternalUnits();
    void OnWaveUnits();
    void OnConversion();
    void OnMeasure();
    void OnMeasureWave();
    void OnSave();
    void OnSaveAs();
    void OnCancelButton();
    void OnTimer(UINT_PTR id);
    DECLARE_MESSAGE_MAP()

    int Method() const;
    void UpdateEnabling();
    void WriteLabels(DWORD units);
    bool ApplyToRecord();
    // Reads the signal level of edit `id` for `units`; false (refused) when it is no number or
    // no level those units allow. `which` names it: "Reference" or "Calibration".
    bool CheckLevel(int id, DWORD units, const char* which, double& value);
    bool SaveRecord(bool askName);
    bool WriteTo(const std::string& path);
    void StartMeasurement();
    void StopMeasurement();
    void MeasureTick();
    void Refuse(const std::string& text, const char* caption = "Calibration Details");

    ChannelCalibration* m_record;
    ChannelCalibration m_opened;
    int m_channel;
    UsbDeviceSettings m_device;
    INT m_inputDeviceIndex;
    bool m_askName;
    bool m_automatic;
    float m_presetLevel;
    CalibrationContext m_context;
    bool m_filling = false;
    bool m_quiet = false; // refusals say nothing (the baseline taken at opening)
    bool m_measuring = false;
    bool m_deviceStarted = false;
    float m_measuredVolts = 0.0f;
    float m_measuredHz = 0.0f;
    float m_previousVolts = -1.0f;
    DWORD m_measureStart = 0;
};
