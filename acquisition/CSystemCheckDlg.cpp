#include "acquisition/CSystemCheckDlg.h"

#include "acquisition/TUsbDevice.h"
#include "dsp/SegmentAnalysis.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/MessageBox.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/CommonRoutines.h"
#include "res/DeviceDialogIds.h"
#include "wave/TSampleBuffer.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

BEGIN_MESSAGE_MAP(CSystemCheckDlg, CDialog)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_SYSTEM_CHECK_START, &CSystemCheckDlg::OnStartStop)
END_MESSAGE_MAP()

namespace {
constexpr int kBlock = 1024;
constexpr float kGoodBelow = -80.0f;
constexpr float kFailFrom = kGoodBelow + 10.0f;
constexpr const char* kNotFound = "A Durnex KDR-5200 device was not found on your system.  Please make sure that the "
                                  "drivers are installed and the device is plugged into a USB port.";
} // namespace

CSystemCheckDlg::CSystemCheckDlg(CWnd* parent, TUsbDevice* device, const UsbDeviceSettings& settings,
                                 const ChannelCalibration* calibration)
    : CDialog(IDD_SYSTEM_CHECK, parent), m_device(device), m_settings(settings), m_calibration(calibration)
{
    for (float& level : m_levels)
        level = kNoLevel;
}

BOOL CSystemCheckDlg::OnInitDialog()
{
    m_initialising = 1;
    CDialog::OnInitDialog();
    const RECT r{24, 24, 24 + kSystemCheckGridWidth, 24 + kSystemCheckGridHeight};
    m_grid.CreateGrid(this, r, IDC_SYSTEM_CHECK_GRID);
    SetupGrid();
    m_initialising = 0;
    return TRUE;
}

void CSystemCheckDlg::SetupGrid()
{
    m_grid.SetSize(8, 3);
    m_grid.SetColumnWidths({110, 170}); // the status column takes the rest
    m_grid.SetCellText(0, 0, "Channel");
    // The levels are measured with channel 0's calibration: the heading names its unit.
    std::string linear, log = "dBmV";
    if (m_calibration != nullptr)
        SegmentLevelLabels(*m_calibration, linear, log);
    m_grid.SetCellText(0, 1, "Signal Level (" + log + ")");
    m_grid.SetCellText(0, 2, "Sensor Status");
    for (int ch = 0; ch < kChecked; ++ch)
        m_grid.SetCellText(ch + 1, 0, GetChannelLocationName(ch));
    m_grid.Redraw();
}

void CSystemCheckDlg::OnStartStop()
{
    if (m_running) {
        StopCheck();
        m_running = 0;
        SetDlgItemText(IDC_SYSTEM_CHECK_START, "Start");
    } else if (StartCheck()) {
        m_running = 1;
        SetDlgItemText(IDC_SYSTEM_CHECK_START, "Stop");
    }
}

bool CSystemCheckDlg::StartCheck()
{
    if (m_running) {
        StopCheck();
        return false;
    }
    for (int ch = 0; ch < kChecked; ++ch)
        m_settings.Channels[ch].bIsEnabled = 1;
    if (m_device == nullptr || !m_device->IsPresent() || !m_device->OpenDevice(this, 0, 1)) {
        AfxMessageBox(kNotFound, MB_OK | MB_ICONERROR);
        return false;
    }
    m_settings.BitsPerSample = 24;
    if (!m_device->SetDeviceConfigurationAD(m_settings, kBlock, false, 0)) {
        MessageBoxA(this, "Unable to configure the device.  It may already be in use by another program",
                    "System Check Details", MB_OK | MB_ICONERROR);
        m_device->CloseDevice();
        return false;
    }
    if (!m_device->StartInput()) {
        m_device->CloseDevice();
        return false;
    }
    SetTimer(kTimerSystemCheck, 500, nullptr);
    m_running = 1;
    return true;
}

void CSystemCheckDlg::StopCheck()
{
    if (!m_running)
        return;
    m_running = 0;
    KillTimer(kTimerSystemCheck);
    if (m_device != nullptr)
        m_device->StopInput();
}

void CSystemCheckDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kTimerSystemCheck || !m_running)
        return;
    MeasureChannels();
}

void CSystemCheckDlg::MeasureChannels()
{
    if (m_device == nullptr)
        return;
    ChannelProcessingSettings processing;
    processing.SampleFormat.Set(m_settings.SamplingRate, 1, m_settings.BitsPerSample == 24 ? 3 : 2);
    processing.FFTsize = kBlock;
    processing.DecimationRatio = 1;
    processing.ApplyLowPassFilter = 0;
    processing.AverageBlocks = 100000;
    processing.AverageType = 0;
    processing.AverageMode = 0;
    processing.AverageSpeed = 1;
    processing.SmoothingWindow = 3; // Flattop: the level of a tone, wherever it falls
    processing.OverlapPercent = 0;
    processing.ChannelProcessing = 0;
    processing.DelayChannel = 0;
    processing.DelayTimeMsec = 0.0f;
    processing.Unkeyed = 0;
    processing.EnableOverloadDetection = 1;
    processing.ExcludeOverloadFlag = 0;
    processing.RateMultiplier = 1.0f;
    processing.IndependentScalingAndCalibration = 0;
    ChannelScalingSettings scaling;
    scaling.AmpScaleType = 1;
    scaling.FreqScaleType = 1;
    scaling.OctaveNumber = 3;
    scaling.SpectralDensityFlag = 0;
    scaling.StandardWeighting = 0;
    scaling.TotalPowerWeighting = 0;
    scaling.MicCompEnable = 0;
    ChannelCalibration calibration;
    if (m_calibration != nullptr)
        calibration = *m_calibration;

    auto buffer = std::make_unique<TSampleBuffer>(kBlock, processing.SampleFormat, 1, false);
    auto window = std::make_unique<TSmoothing>(kBlock, processing.SmoothingWindow, 2);
    auto engine = std::make_unique<SpectralData>(&processing, &scaling, true);
    std::vector<int> samples;
    try {
        samples.resize(kBlock);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (buffer->IsError() || window->HasError() || engine->HasError())
        return;
    buffer->SetScaling(&calibration);
    engine->SetScaling(&calibration);
    const int lo = engine->FrequencyToBin(400.0f);
    const int hi = engine->FrequencyToBin(1200.0f);
    for (int ch = 0; ch < kChecked; ++ch) {
        if (!m_device->ReadRingBlock(ch, kBlock, samples.data(), TUsbDevice::Now()))
            continue; // not readable yet, or stalled: the channel keeps its last level
        // One chain serves all channels: without a reset each level would be averaged with
        // the channels measured before it.
        engine->ResetAverages();
        for (int i = 0; i < kBlock; ++i) {
            buffer->SetSample(DWORD(i), samples[std::size_t(i)]);
            engine->SetTimeSample(UINT(i), float(samples[std::size_t(i)]));
        }
        window->Apply(engine->GetFrame());
        engine->ComputeSpectrum();
        engine->Average(false);
        m_levels[ch] = float(engine->MaxLevel(lo, hi));
    }
    RateChannels();
}

void CSystemCheckDlg::RateChannels()
{
    for (int ch = 0; ch < kChecked; ++ch) {
        const int row = ch + 1;
        const float level = m_levels[ch];
        if (level < -999.0f) {
            m_grid.SetCellText(row, 1, "");
            m_grid.SetCellText(row, 2, "");
            m_grid.SetCellColor(row, 2, 0);
            continue;
        }
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", double(level));
        m_grid.SetCellText(row, 1, text);
        if (level < kGoodBelow) {
            m_grid.SetCellText(row, 2, "Good");
            m_grid.SetCellColor(row, 2, 1);
        } else if (level < kFailFrom) {
            m_grid.SetCellText(row, 2, "Marginal");
            m_grid.SetCellColor(row, 2, 5);
        } else {
            m_grid.SetCellText(row, 2, "Fail");
            m_grid.SetCellColor(row, 2, 2);
        }
    }
    m_grid.Redraw();
}

void CSystemCheckDlg::OnCancel()
{
    StopCheck();
    CDialog::OnCancel();
}
