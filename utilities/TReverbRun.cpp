// The two roads to an RT-60 analysis: a segment of a recording handed over by the frame, and
// the live test (stimulus out through the sound card, one device input channel captured, the
// chain run on the capture once playback has ended).
#include "utilities/TReverb.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "dsp/SegmentSamples.h"
#include "records/AppMessages.h"
#include "records/OutputDeviceSettings.h"
#include "records/UsbDeviceSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Resources.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/WinApp.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The samples of the data chunk of the embedded pink-noise wave (mono, 16-bit); empty when the
// resource is missing or damaged.
std::span<const std::uint8_t> PinkNoiseData()
{
    const auto bytes = FindResourceBytes("PinkWave", "PINKWAVE");
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return {};
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = std::uint32_t(bytes[at + 4]) | std::uint32_t(bytes[at + 5]) << 8 |
                                   std::uint32_t(bytes[at + 6]) << 16 | std::uint32_t(bytes[at + 7]) << 24;
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            const std::size_t n = std::min<std::size_t>(size, bytes.size() - at - 8) & ~std::size_t(1);
            return bytes.subspan(at + 8, n);
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

} // namespace

void TReverb::SetTestTiming() { m_analysis->SetTestTiming(); }

// ---- Segment of a recording -----------------------------------------------------------------

void TReverb::AnalyzeSegment(TWaveData& wave, float t0, float t1)
{
    ReverbAnalysis& a = *m_analysis;
    if (a.running)
        return;
    if (a.modified && !QuerySave())
        return;
    a.fileName.clear();
    const DWORD rate = wave.GetSampleRate();
    const DWORD start = wave.SecondsToFrames(t0);
    const DWORD end = std::min(wave.SecondsToFrames(t1), wave.GetLength());
    const DWORD length = end > start ? end - start : 0;
    // Times come from pixel columns: a hair's breadth either side of the limits still counts.
    const float duration = t1 - t0;
    if (duration < 0.9995f || duration > 30.0005f) {
        AfxMessageBox(duration < 1.0f ? "The selected time segment is too short.  It must be at least 1.0 second in duration."
                                      : "The selected time segment is too long.  It cannot be greater than 30.0 seconds in duration.",
                      MB_OK | MB_ICONSTOP);
        a.segment = 0;
        a.cutoffHint = 0;
        a.running = 0;
        return;
    }
    // Too few records to read a fall off: refused before anything is replaced.
    const DWORD least = ReverbAnalysis::SegmentMinimumFrames(rate);
    if (length < least) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "The selected time segment is too short for the analysis at %u Hz.  It must be at least %.2f "
                      "seconds in duration.",
                      static_cast<unsigned>(rate), std::ceil(static_cast<double>(least) / rate * 100.0) / 100.0);
        AfxMessageBox(text, MB_OK | MB_ICONSTOP);
        a.segment = 0;
        a.cutoffHint = 0;
        a.running = 0;
        return;
    }
    if (Settings().ClearOffsetOnNewTest)
        SetStartOffset(0);
    CWaitCursor wait;
    ShowProgress();
    a.segment = 1;
    a.cutoffHint = 0;
    a.running = 1;
    a.cancel = 0;
    UpdateLayout();

    TPcmFormat format = wave.GetFormat();
    format.Set(rate, 1, format.BytesPerSample);
    a.capture.reset(new (std::nothrow) TWaveData(length, format));
    bool ok = a.capture && !a.capture->IsError() && length > 0;
    if (ok) {
        EnableFrame(false);
        std::vector<double> values;
        try {
            values.resize(length);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        ok = ok && ReadSegmentSamples(wave, start, 0, values) && WriteSegmentSamples(*a.capture, 0, 0, values);
        if (!ok)
            AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
    }
    if (!ok) {
        a.capture.reset();
        a.cancel = 1;
        a.MarkDataPresent();
    } else if (a.AnalyzeCaptureAsSegment() && !a.ShowsChosenFall()) {
        // Times extrapolated from a fall no band shows would be guesses shown as results.
        char text[300];
        std::snprintf(text, sizeof text,
                      "The selected time segment does not show a decay of %d dB above the noise in any band.  Select "
                      "more of the decay, or choose a shorter extrapolation range in the Options.",
                      a.ChosenFall());
        AfxMessageBox(text, MB_OK | MB_ICONSTOP);
        a.FreeRecords();
        a.viewMode = 0;
    }
    HideProgress();
    a.running = 0;
    a.modified = (ok && !a.cancel && a.recordCount > 0 && a.viewMode != 0) ? 1 : 0;
    EnableFrame(true);

    ReverbSettings& st = Settings();
    st.TimeExtent = static_cast<float>(length) / static_cast<float>(rate) + 1.0f;
    st.SelectedBand = a.bandCount > 0 ? static_cast<DWORD>(a.bandCount - 1) : 0;
    float peak = 10.0f;
    if (a.bandCount > 0)
        for (int r = 0; r < a.recordCount; ++r)
            peak = std::max(peak, a.records[static_cast<std::size_t>(r)].Smoothed[a.bandCount - 1]);
    if (peak > 20.0f)
        a.cutoffHint = 1;
    st.PlotTop = 10.0f * static_cast<float>(static_cast<int>(peak / 10.0f)) + 10.0f;
    UpdateLayout();
    OnDecayPlot();
}

// ---- Live test ------------------------------------------------------------------------------

const char* TReverb::LiveRateProblem(DWORD inputRate, DWORD outputRate)
{
    if (inputRate < 20000 || inputRate > 100000)
        return "The Input Sampling rate must be between 20,000 Hz and 100,000 Hz.  Please check the Input Device "
               "settings.";
    if (outputRate < inputRate)
        return "The Output Sampling rate cannot be less than the input sampling rate.  Please check the Output "
               "Device settings.";
    return nullptr;
}

std::string TReverb::DeviceRateProblem(int minRate, int maxRate)
{
    if (maxRate >= 20000 && minRate <= 100000)
        return {};
    char text[400];
    if (minRate == maxRate)
        std::snprintf(text, sizeof text,
                      "The RT-60 test needs an input sampling rate between 20,000 Hz and 100,000 Hz.  The KDR-5200 "
                      "samples at a fixed %d samples/s, so the test cannot run on it.  A time segment selected in a "
                      "time-series plot can still be analysed.",
                      minRate);
    else
        std::snprintf(text, sizeof text,
                      "The RT-60 test needs an input sampling rate between 20,000 Hz and 100,000 Hz.  The KDR-5200 "
                      "samples at %d to %d samples/s, so the test cannot run on it.  A time segment selected in a "
                      "time-series plot can still be analysed.",
                      minRate, maxRate);
    return text;
}

void TReverb::OnStart()
{
    ReverbAnalysis& a = *m_analysis;
    if (a.running)
        return;
    // A device that can never sample fast enough is refused before anything is stopped or
    // asked, saying why: no setting would help.
    if (const TUsbDevice* usb = m_links.InputDevice()) {
        const std::string problem = DeviceRateProblem(usb->GetMinSamplingRate(), usb->GetMaxSamplingRate());
        if (!problem.empty()) {
            AfxMessageBox(problem, MB_OK | MB_ICONSTOP);
            return;
        }
    }
    a.segment = 0;
    a.cutoffHint = 0;
    AskFrameToStopActivity();
    if (a.modified && !QuerySave())
        return;
    a.fileName.clear();

    const LiveTestSetup setup = Setup();
    const UsbDeviceSettings& device = setup.device;
    // The capture has the rate the device really samples at, and wrong times otherwise.
    const DWORD inputRate = Road().InputRate();
    const OutputDeviceSettings& output = setup.output;
    if (const char* problem = LiveRateProblem(inputRate, output.SigGenSamplingRate)) {
        AfxMessageBox(problem, MB_OK | MB_ICONSTOP);
        return;
    }
    const TPcmFormat input(inputRate, 1, static_cast<WORD>(device.BitsPerSample / 8));
    const TPcmFormat out(output.SigGenSamplingRate, static_cast<WORD>(output.SigGenNumChannels),
                         static_cast<WORD>(output.SigGenBitsPerSample / 8));
    CWaitCursor wait;
    PrepareTest(input, out);
    if (!a.cancel) {
        if (setup.useSoundCard)
            PlayThroughSoundCard();
        else
            PlayThroughDeviceOutput();
    }
    if (!a.cancel)
        StartCapture();
    SetFocus();
    EnableFrame(false);
    if (a.cancel)
        StopTest();
}

void TReverb::PrepareTest(const TPcmFormat& input, const TPcmFormat& output)
{
    ReverbAnalysis& a = *m_analysis;
    a.inputFormat = input;
    a.outputFormat = output;
    m_captureStarted = false;
    ShowProgress();
    a.running = 1;
    a.cancel = 0;
    // The earlier results go with the new records: nothing is left unsaved if this test fails.
    a.viewMode = 0;
    a.modified = 0;
    UpdateLayout();
    a.fftSize = 8192;
    a.overlap = 95;
    if (Settings().ClearOffsetOnNewTest)
        SetStartOffset(0);
    a.maxDecayTime = Settings().MaxDecayTime;
    SetTestTiming();
    if (!a.AllocateRecords())
        a.cancel = 1;
    if (!a.cancel && !BuildTestSignal())
        a.cancel = 1;
}

bool TReverb::BuildTestSignal()
{
    ReverbAnalysis& a = *m_analysis;
    a.testSignal.reset();
    const TPcmFormat& f = a.outputFormat;
    const auto frames = static_cast<DWORD>(a.totalLength * 1.1f * static_cast<float>(f.SampleRate));
    std::unique_ptr<TWaveData> wave(new (std::nothrow) TWaveData(frames, f));
    if (!wave || wave->IsError()) {
        AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
        return false;
    }
    const DWORD toneStart = wave->SecondsToFrames(a.leadIn);
    const DWORD toneEnd = std::min(toneStart + wave->SecondsToFrames(a.toneLength), frames - 1);
    const double amplitude = (static_cast<double>(f.MaxValue) - f.ZeroValue) * 0.25;
    bool ok = true;
    for (DWORD n = toneStart, k = 0; ok && n <= toneEnd; ++n, ++k) {
        const double v = f.ZeroValue + amplitude * std::sin(2.0 * 3.14159265358979323846 * 1000.0 * k / f.SampleRate);
        ok = wave->SetSample(static_cast<std::int32_t>(v), n, 0);
    }
    const auto noise = PinkNoiseData();
    const std::size_t samples = noise.size() / 2;
    const DWORD noiseStart = toneStart + wave->SecondsToFrames(a.toneLength) + wave->SecondsToFrames(a.gap);
    const DWORD noiseEnd = std::min(noiseStart + wave->SecondsToFrames(a.noiseLength), frames);
    // One recording sample a frame: the noise keeps the spectrum it was made with at 44.1 kHz.
    std::size_t at = 0;
    for (DWORD n = noiseStart; ok && samples > 0 && n < noiseEnd; ++n) {
        const auto s = static_cast<std::int16_t>(noise[2 * at] | noise[2 * at + 1] << 8);
        const auto v = static_cast<std::int32_t>(static_cast<double>(s) * f.MaxValue / 32768.0);
        ok = wave->SetSample(v, n, 0);
        if (++at >= samples)
            at = 0;
    }
    if (!ok) {
        AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
        return false;
    }
    a.testSignal = std::move(wave);
    return true;
}

void TReverb::PlayThroughSoundCard()
{
    ReverbAnalysis& a = *m_analysis;
    if (!a.testSignal || !Road().PlayThroughSoundCard(*a.testSignal))
        a.cancel = 1;
}

void TReverb::PlayThroughDeviceOutput()
{
    ReverbAnalysis& a = *m_analysis;
    if (!Road().PlayThroughDeviceOutput(a.outputFormat))
        a.cancel = 1;
}

void TReverb::StartCapture()
{
    ReverbAnalysis& a = *m_analysis;
    UsbDeviceSettings settings = Setup().device;
    const DWORD channel = std::min<DWORD>(Settings().InputChannel, UsbDeviceSettings::kChannels - 1);
    for (auto& c : settings.Channels)
        c.bIsEnabled = 0;
    settings.Channels[channel].bIsEnabled = 1;
    a.segment = 0;
    const auto frames = static_cast<DWORD>(a.totalLength * 1.1f * static_cast<float>(a.inputFormat.SampleRate));
    a.capture.reset(new (std::nothrow) TWaveData(frames, a.inputFormat));
    if (!a.capture || a.capture->IsError()) {
        a.capture.reset();
        AfxMessageBox("Reverb Error - insufficient memory avaiable to continue processing.", MB_OK);
        a.cancel = 1;
        return;
    }
    LiveTestRoad road = Road();
    // The rings hold the whole capture, so that nothing of the decay is overwritten.
    if (!road.OpenInputDevice() || !road.StartInput(settings, static_cast<int>(frames / 20 + 1))) {
        a.cancel = 1;
        return;
    }
    m_captureStarted = true;
}

void TReverb::StopTest()
{
    ReverbAnalysis& a = *m_analysis;
    StopDevices();
    m_captureStarted = false;
    Road().CloseOutputDevice();
    DeleteSoundOutput();
    a.capture.reset();
    a.testSignal.reset();
    a.FreeRecords();
    HideProgress();
    a.modified = 0;
    a.running = 0;
    a.viewMode = 0;
    EnableFrame(true);
    UpdateLayout();
}

void TReverb::FinishTest()
{
    StopDevices();
    CollectCapture();
    Road().CloseOutputDevice();
    AnalyzeTestCapture();
}

void TReverb::CollectCapture()
{
    ReverbAnalysis& a = *m_analysis;
    TUsbDevice* device = m_links.InputDevice();
    const DWORD channel = std::min<DWORD>(Settings().InputChannel, UsbDeviceSettings::kChannels - 1);
    if (device && a.capture && m_captureStarted && !a.cancel) {
        const long long held = device->GetSampleCounter();
        const int n = static_cast<int>(std::min<long long>(held, a.capture->GetLength()));
        if (Road().ReadChannel(static_cast<int>(channel), n, *a.capture, 0) != LiveTestRoad::Read::Ok)
            a.cancel = 1;
    } else if (!m_captureStarted) {
        // Playback ended without a capture behind it: there is nothing to analyse.
        a.capture.reset();
    }
    m_captureStarted = false;
}

void TReverb::AnalyzeTestCapture()
{
    ReverbAnalysis& a = *m_analysis;
    if (!a.capture)
        a.cancel = 1;
    a.Synchronize();
    a.EvaluateLevels();
    a.recordCount = 0;
    a.AnalyzeDecay();
    a.NormalizeLevels();
    a.SmoothDecay();
    a.ComputeDecayTimes();
    a.MarkDataPresent();
    if (!a.cancel)
        a.modified = 1;
    a.running = 0;
    a.cancel = 0;
    EnableFrame(true);
    Settings().TimeExtent = a.maxDecayTime;
    HideProgress();
    UpdateLayout();
}
