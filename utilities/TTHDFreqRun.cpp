// The live THD+N-versus-frequency test: the stimulus out through the sound card (or the
// device's D/A path), one or two device input channels captured meanwhile, and the analysis of
// the capture once playback has ended. Every failure sets the cancel flag and ends in AbortTest.
#include "utilities/TTHDFreq.h"

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

// ---- Start --------------------------------------------------------------------------------

double TTHDFreq::OutputAmplitude(int channel) const
{
    const OutputDeviceSettings output = Setup().output;
    return ThdFreqAnalysis::OutputAmplitude(channel == 0 ? output.OutputLevel1 : output.OutputLevel2,
                                            static_cast<int>(output.OutputLevelUnit), output.FullScaleVolts);
}

void TTHDFreq::OnStart()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (a.running)
        return;
    // What the input can't analyse is refused before anything plays, with one message.
    if (!CheckInput())
        return;
    AskFrameToStopActivity();
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

    const LiveTestSetup setup = Setup();
    const OutputDeviceSettings& output = setup.output;
    {
        CWaitCursor wait;
        a.BuildStimulus(output.SigGenSamplingRate, static_cast<WORD>(output.SigGenNumChannels),
                        static_cast<WORD>(output.SigGenBitsPerSample / 8), OutputAmplitude(0), OutputAmplitude(1));
    }
    if (setup.useSoundCard)
        StartSoundCardOutput();
    else
        StartDeviceOutput();
    StartCapture();
    SetFocus();
    EnableFrame(false);
    if (a.cancel)
        AbortTest();
}

bool TTHDFreq::CheckInput()
{
    const ThdFreqSettings& s = Settings();
    const DWORD rate = Road().InputRate();
    if (!ThdFreqAnalysis::CheckInputRate(rate, s.StartFrequency))
        return false;
    const double half = rate / 2.0;
    if (s.StopFrequency > half) {
        StopFrequencyMessage(half);
        return false;
    }
    return true;
}

void TTHDFreq::StopFrequencyMessage(double half)
{
    AfxMessageBox(PrintfDouble("The Stop Frequency must be less than %6.2f Hz (one half of the input sampling rate).  "
                               "\r\nEither increase the analyzer input sampling rate or lower the stop frequency.",
                               half),
                  MB_OK | MB_ICONSTOP);
}

void TTHDFreq::StartSoundCardOutput()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (a.stimulus && !a.cancel && !Road().PlayThroughSoundCard(*a.stimulus))
        a.cancel = 1;
}

void TTHDFreq::StartDeviceOutput()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (a.stimulus && !a.cancel && !Road().PlayThroughDeviceOutput(a.outputFormat))
        a.cancel = 1;
}

void TTHDFreq::StartCapture()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (!a.stimulus || a.cancel)
        return;
    a.capture.reset();
    ThdFreqSettings& s = Settings();
    UsbDeviceSettings settings = Setup().device;
    settings.SamplingRate = Road().InputRate();
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
    LiveTestRoad road = Road();
    if (!road.OpenInputDevice()) {
        a.cancel = 1;
        return;
    }
    const double half = settings.SamplingRate / 2.0;
    if (s.StopFrequency > half) {
        StopFrequencyMessage(half);
        a.cancel = 1;
        return;
    }
    // The rings hold the whole capture, so that the start of the test is never overwritten
    // before it is read.
    const int largestBlock = static_cast<int>(std::max<DWORD>(8192, frames / 20 + 1));
    if (!road.StartInput(settings, largestBlock)) {
        a.cancel = 1;
        return;
    }
    a.tooLow = 1; // no adequate level seen yet
}

// ---- End ----------------------------------------------------------------------------------

bool TTHDFreq::ReadCapture()
{
    ThdFreqAnalysis& a = *m_analysis;
    TUsbDevice* device = Road().InputDevice();
    if (!device || !a.capture)
        return false;
    const ThdFreqSettings& s = Settings();
    const int channels = std::min<int>(a.capture->GetFormat().Channels, 2);
    const int inputs[2] = {std::clamp(s.InputChannelA, 0, UsbDeviceSettings::kChannels - 1),
                           std::clamp(s.InputChannelB, 0, UsbDeviceSettings::kChannels - 1)};
    const int n = static_cast<int>(std::min<long long>(device->GetSampleCounter(), a.capture->GetLength()));
    for (int c = 0; c < channels; ++c) {
        const LiveTestRoad::Read read = Road().ReadChannel(inputs[c], n, *a.capture, c);
        if (read == LiveTestRoad::Read::NoMemory)
            AfxMessageBox("THD+N vs Freq Plot - Insufficient memory available", MB_OK);
        if (read != LiveTestRoad::Read::Ok)
            return false;
    }
    return true;
}

void TTHDFreq::WriteDebugCapture()
{
    const ThdFreqAnalysis& a = *m_analysis;
    if (m_links.profilePath.empty() || !a.capture)
        return;
    char flag[21] = {};
    GetPrivateProfileStringA("THDFreqOpts", "DebugFlag", "0", flag, sizeof flag, m_links.profilePath.c_str());
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
    Road().CloseOutputDevice();
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
    Road().CloseOutputDevice();
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
