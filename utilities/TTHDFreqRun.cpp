// The live THD+N-versus-frequency test: the stimulus out through the sound card (or the
// device's D/A path), one or two device input channels captured meanwhile, and the analysis of
// the capture once playback has ended. Every failure sets the cancel flag and ends in AbortTest.
#include "utilities/TTHDFreq.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "records/AppMessages.h"
#include "records/OutputDeviceSettings.h"
#include "records/UsbDeviceSettings.h"
#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Profile.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/WinApp.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::string PrintfDouble(const char* format, double value)
{
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

void TTHDFreq::EnableFrame(bool enable)
{
    if (m_links.frame && m_links.frame->GetSafeHwnd())
        m_links.frame->EnableWindow(enable ? TRUE : FALSE);
}

// ---- Progress -----------------------------------------------------------------------------

void TTHDFreq::ShowProgress()
{
    if (!m_progress)
        return;
    m_progress->SetRange(0, 100);
    m_progress->SetPos(0);
    m_progress->ShowWindow(SW_SHOW);
    m_progressText.clear();
}

void TTHDFreq::SetProgress(int percent, const char* text)
{
    if (m_progress) {
        m_progress->SetPos(percent);
        m_progress->UpdateWindow();
    }
    const std::string now = text ? text : "";
    if (now != m_progressText) {
        m_progressText = now;
        const CRect strip(94, 2, 304, 20);
        InvalidateRect(&strip, FALSE);
        UpdateWindow();
    }
    // Esc for this window or the main window cancels the running stage.
    if (AfxCheckCancel(this) == CancelRequest::Escape)
        m_analysis->Cancel();
    if (CWnd* main = AfxGetMainWnd(); main && main != this && AfxCheckCancel(main) == CancelRequest::Escape)
        m_analysis->Cancel();
}

void TTHDFreq::HideProgress()
{
    if (m_progress) {
        m_progress->SetPos(0);
        m_progress->ShowWindow(SW_HIDE);
    }
    m_progressText.clear();
    Invalidate();
}

// ---- Start --------------------------------------------------------------------------------

double TTHDFreq::OutputAmplitude(int channel) const
{
    const OutputDeviceSettings output = m_links.output ? *m_links.output : OutputDeviceSettings();
    return ThdFreqAnalysis::OutputAmplitude(channel == 0 ? output.OutputLevel1 : output.OutputLevel2,
                                            static_cast<int>(output.OutputLevelUnit), output.FullScaleVolts);
}

void TTHDFreq::OnStart()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (a.running)
        return;
    if (m_links.frame)
        m_links.frame->SendMessage(WM_THDFREQ_REQUEST, kThdStopActivity, 0);
    if (a.modified && !QuerySave())
        return;
    a.fileName.clear();
    ShowProgress();
    a.running = 1;
    a.clipped = 0;
    a.tooLow = 0;
    a.cancel = 0;
    HideWatermark();
    UpdateLayout();

    const OutputDeviceSettings output = m_links.output ? *m_links.output : OutputDeviceSettings();
    {
        CWaitCursor wait;
        a.BuildStimulus(output.SigGenSamplingRate, static_cast<WORD>(output.SigGenNumChannels),
                        static_cast<WORD>(output.SigGenBitsPerSample / 8), OutputAmplitude(0), OutputAmplitude(1));
    }
    if (m_links.useSoundCard && *m_links.useSoundCard)
        StartSoundCardOutput();
    else
        StartDeviceOutput();
    StartCapture();
    SetFocus();
    EnableFrame(false);
    if (a.cancel)
        AbortTest();
}

void TTHDFreq::DeleteSoundOutput()
{
    if (!m_links.soundOutput || !*m_links.soundOutput)
        return;
    (*m_links.soundOutput)->Stop();
    delete *m_links.soundOutput;
    *m_links.soundOutput = nullptr;
}

void TTHDFreq::StartSoundCardOutput()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (!a.stimulus || a.cancel)
        return;
    if (!m_links.soundOutput) {
        a.cancel = 1;
        return;
    }
    DeleteSoundOutput();
    auto* output = new (std::nothrow) TSoundOutput(m_links.soundCardIndex ? static_cast<int>(*m_links.soundCardIndex) : 0);
    *m_links.soundOutput = output;
    const TPcmFormat& f = a.outputFormat;
    if (!output || output->IsError() ||
        !output->SetFormatEx(f.Channels, f.SampleRate, f.BytesPerSample, f.BitsPerSample, f.MaxValue, f.MinValue) ||
        !output->Open(this, false)) {
        AfxMessageBox("Failure opening Sound Card for output.", MB_OK | MB_ICONSTOP);
        a.cancel = 1;
        return;
    }
    if (!output->Write(a.stimulus->GetData(), a.stimulus->GetDataBytes(), 0, false, nullptr) || !output->Restart()) {
        AfxMessageBox("Failure Playing signal through Sound Card", MB_OK | MB_ICONSTOP);
        a.cancel = 1;
    }
}

void TTHDFreq::StartDeviceOutput()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (!a.stimulus || a.cancel)
        return;
    TUsbDevice* device = m_links.outputDevice ? *m_links.outputDevice : nullptr;
    if (device) {
        device->StopOutput();
        device->CloseDevice();
    }
    if (!device || !m_links.outputDeviceIndex || *m_links.outputDeviceIndex < 0) {
        AfxMessageBox("There are no Durnex KDR-5200 Series data acquisition devices available on your system for output.",
                      MB_OK | MB_ICONSTOP);
        a.cancel = 1;
        return;
    }
    if (!device->OpenDevice(this, *m_links.outputDeviceIndex, 1)) {
        AfxMessageBox("Failure opening the Durnex KDR-5200 Series data acquisition device for output.  Please check "
                      "the cabling and retry.",
                      MB_OK | MB_ICONSTOP);
        a.cancel = 1;
        return;
    }
    const TPcmFormat& f = a.outputFormat;
    // The KDR-5200 has no analog output: opening it for output always fails.
    if (!device->OpenOutput(static_cast<int>(f.SampleRate), f.BitsPerSample, f.Channels)) {
        AfxMessageBox("Failure Configuring KDR5200 Output subsystem.", MB_OK | MB_ICONSTOP);
        a.cancel = 1;
    }
}

void TTHDFreq::StartCapture()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (!a.stimulus || a.cancel)
        return;
    a.capture.reset();
    ThdFreqSettings& s = Settings();
    UsbDeviceSettings settings = m_links.device ? *m_links.device : UsbDeviceSettings();
    const int A = std::clamp(s.InputChannelA, 0, UsbDeviceSettings::kChannels - 1);
    const int B = s.InputChannelB;
    if (B < 0 || B >= UsbDeviceSettings::kChannels)
        s.ChannelCount = 1;
    for (auto& c : settings.Channels)
        c.bIsEnabled = 0;
    settings.Channels[A].bIsEnabled = 1;
    if (s.ChannelCount == 2)
        settings.Channels[B].bIsEnabled = 1;
    const TPcmFormat format(settings.SamplingRate, static_cast<WORD>(s.ChannelCount == 2 ? 2 : 1),
                            static_cast<WORD>(std::max<DWORD>(settings.BitsPerSample / 8, 1)));
    // As many frames as the stimulus, and never less time than it lasts (an input faster than
    // the output would otherwise lose the last steps).
    const double seconds = a.stimulus->FramesToSeconds(a.stimulus->GetLength());
    const DWORD frames = std::max(a.stimulus->GetLength(), static_cast<DWORD>(seconds * settings.SamplingRate + 1));
    a.capture.reset(new (std::nothrow) TWaveData(frames, format));
    if (!a.capture || a.capture->IsError()) {
        // Without a capture the test could only end with empty results.
        a.capture.reset();
        AfxMessageBox("THD+N vs Freq Plot - Insufficient memory available", MB_OK);
        a.cancel = 1;
        return;
    }
    TUsbDevice* device = m_links.inputDevice ? *m_links.inputDevice : nullptr;
    if (!device || !m_links.inputDeviceIndex || *m_links.inputDeviceIndex < 0 || !device->IsPresent()) {
        AfxMessageBox("There are no Durnex KDR-5200 Series data acquisition devices available on your system for input.",
                      MB_OK | MB_ICONSTOP);
        a.cancel = 1;
        return;
    }
    if (!device->IsOpen() && !device->OpenDevice(this, *m_links.inputDeviceIndex, 1)) {
        AfxMessageBox("Failure opening data acquisition module for input", MB_OK | MB_ICONSTOP);
        a.cancel = 1;
        return;
    }
    const double half = settings.SamplingRate / 2.0;
    if (s.StopFrequency > half) {
        AfxMessageBox(PrintfDouble("The Stop Frequency must be less than %6.2f Hz (one half of the input sampling "
                                   "rate).  \r\nEither increase the analyzer input sampling rate or lower the stop "
                                   "frequency.",
                                   half),
                      MB_OK | MB_ICONSTOP);
        a.cancel = 1;
        return;
    }
    // The rings hold the whole capture, so that the start of the test is never overwritten
    // before it is read.
    const int largestBlock = static_cast<int>(std::max<DWORD>(8192, frames / 20 + 1));
    if (!device->SetDeviceConfigurationAD(settings, largestBlock, false, 0)) {
        AfxMessageBox("Failure setting the input configuration.  It may already be in use by another program",
                      MB_OK | MB_ICONSTOP);
        device->CloseDevice();
        a.cancel = 1;
        return;
    }
    if (!device->StartInput()) {
        device->CloseDevice();
        a.cancel = 1;
        return;
    }
    a.tooLow = 1; // no adequate level seen yet
}

// ---- End ----------------------------------------------------------------------------------

void TTHDFreq::StopDevices()
{
    if (m_links.outputDevice && *m_links.outputDevice)
        (*m_links.outputDevice)->StopOutput();
    if (m_links.inputDevice && *m_links.inputDevice)
        (*m_links.inputDevice)->StopInput();
    if (m_links.frame && m_links.frame->GetSafeHwnd())
        m_links.frame->SendMessage(WM_THDFREQ_REQUEST, kThdDeviceStopped, 0);
}

LRESULT TTHDFreq::OnWaveOutDone(WPARAM, LPARAM)
{
    ThdFreqAnalysis& a = *m_analysis;
    if (!a.running)
        return 1;
    // Only the end of the whole stimulus ends the playback.
    if (m_links.soundOutput && *m_links.soundOutput && !(*m_links.soundOutput)->AllHeadersDone())
        return 1;
    DeleteSoundOutput();
    if (a.cancel)
        AbortTest();
    else
        ProcessCapture();
    return 1;
}

bool TTHDFreq::ReadCapture()
{
    ThdFreqAnalysis& a = *m_analysis;
    TUsbDevice* device = m_links.inputDevice ? *m_links.inputDevice : nullptr;
    if (!device || !a.capture)
        return false;
    const ThdFreqSettings& s = Settings();
    const int channels = std::min<int>(a.capture->GetFormat().Channels, 2);
    const int inputs[2] = {std::clamp(s.InputChannelA, 0, UsbDeviceSettings::kChannels - 1),
                           std::clamp(s.InputChannelB, 0, UsbDeviceSettings::kChannels - 1)};
    const long long held = device->GetSampleCounter();
    const int n = static_cast<int>(std::min<long long>(held, a.capture->GetLength()));
    if (n <= 0)
        return true;
    std::vector<int> samples;
    try {
        samples.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        AfxMessageBox("THD+N vs Freq Plot - Insufficient memory available", MB_OK);
        return false;
    }
    // The device's 24-bit values as samples of the capture's width.
    const int shift = 24 - a.capture->GetFormat().BitsPerSample;
    for (int c = 0; c < channels; ++c) {
        // Read by sample number from the start of the run: a ring that has been overrun says so
        // instead of handing over a capture with its beginning missing.
        if (device->ReadSamples(inputs[c], 0, n, samples.data()) != TUsbDevice::RingRead::Ok) {
            AfxMessageBox("The capture could not be read from the device's buffer; nothing was analysed.",
                          MB_OK | MB_ICONSTOP);
            return false;
        }
        for (int i = 0; i < n; ++i) {
            const int v = samples[static_cast<std::size_t>(i)];
            if (!a.capture->SetSample(shift >= 0 ? v >> shift : v * (1 << -shift), static_cast<DWORD>(i), c))
                return false;
        }
    }
    return true;
}

void TTHDFreq::WriteDebugCapture()
{
    const ThdFreqAnalysis& a = *m_analysis;
    if (!m_links.profilePath || !a.capture)
        return;
    char flag[21] = {};
    GetPrivateProfileStringA("THDFreqOpts", "DebugFlag", "0", flag, sizeof flag, m_links.profilePath);
    if (std::atoi(flag) == 0)
        return;
    char temp[260] = {};
    GetTempPathA(sizeof temp, temp);
    std::string folder = temp;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    TWaveFile file(a.capture->GetLength(), a.capture->GetFormat(), folder);
    if (file.IsError() || !file.WriteBytes(a.capture->GetData(), a.capture->GetDataBytes()))
        return;
    file.SetFileName(folder + "/ThdFreqCapture.wav");
    (void)file.Save();
}

void TTHDFreq::ProcessCapture()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (a.cancel) {
        AbortTest();
        return;
    }
    StopDevices();
    if (!ReadCapture())
        a.cancel = 1;
    if (m_links.outputDevice && *m_links.outputDevice)
        (*m_links.outputDevice)->CloseDevice();
    WriteDebugCapture();
    {
        CWaitCursor wait;
        a.FindSyncTone();
        a.ComputeThdNPoints();
    }
    UpdateLayout();
    if (a.cancel) {
        AbortTest();
        return;
    }
    HideProgress();
    a.modified = a.clipped || a.tooLow ? 0 : 1;
    a.running = 0;
    a.cancel = 0;
    EnableFrame(true);
    ShowWatermark();
    UpdateLayout();
}

void TTHDFreq::AbortTest()
{
    ThdFreqAnalysis& a = *m_analysis;
    StopDevices();
    if (m_links.outputDevice && *m_links.outputDevice)
        (*m_links.outputDevice)->CloseDevice();
    DeleteSoundOutput();
    a.stimulus.reset();
    a.capture.reset();
    a.FreePoints();
    // An abandoned test judged nothing: its findings go with its points.
    a.clipped = 0;
    a.tooLow = 0;
    HideProgress();
    a.modified = 0;
    a.running = 0;
    EnableFrame(true);
    ShowWatermark();
    UpdateLayout();
}

void TTHDFreq::OnChar(UINT nChar, UINT, UINT)
{
    ThdFreqAnalysis& a = *m_analysis;
    if (nChar == VK_ESCAPE && a.running && !a.cancel) {
        a.Cancel();
        AbortTest();
    }
}
