// The Utilities menu: each utility window and the generator window open when closed and
// close when open, with their placement kept; the menu marks and the second tool window's
// buttons follow. Refresh and reset reach every open utility window.
#include "app/CMainFrame.h"
#include "app/CToolbar2.h"
#include "records/CommonRoutines.h"
#include "utilities/UtilityHost.h"
#include "acquisition/TUsbDevice.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <new>
#include <vector>
#include "platform/ui/LongOperation.h"
#include "platform/ui/Menu.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "utilities/TReverb.h"
#include "utilities/TTHDFreq.h"

namespace {
constexpr WORD kPostProcessMode = 2;

// Analysis type of each CAnalysisView kind.
int AnalysisType(int kind)
{
    switch (kind) {
    case 7: return 7;
    case 8: return 8;
    case 9: return 9;
    case 10: return 0;
    case 11: return 1;
    case 12: return 2;
    case 13: return 3;
    case 14: return 4;
    case 18: return 10;
    default: return -1;
    }
}
} // namespace

bool CMainFrame::ToggleUtilityWindow(int kind)
{
    if (GetUtilityWindow(kind) != nullptr) {
        if ((kind == 16 || kind == 17) && !QueryUtilitySave(kind)) {
            UpdateUtilityMenuChecks();
            return false;
        }
        RecordWindowPlacement(kind, 0, false);
        DeleteUtilityWindow(kind);
    } else {
        RECT r{};
        GetInitialWindowRect(&r, kind, 0, false);
        bool created = false;
        if (const int type = AnalysisType(kind); type >= 0) {
            auto view = std::make_unique<CAnalysisView>();
            view->SetHost(MakeUtilityHost());
            created = view->Create(this, r.left, r.top, r.right, r.bottom, static_cast<WORD>(type));
            if (created)
                *AnalysisViewSlot(kind) = std::move(view);
        } else if (kind == 15) {
            auto view = std::make_unique<CLeqAnalysisView>();
            view->SetHost(MakeUtilityHost());
            created = view->Create(this, r.left, r.top, r.right, r.bottom);
            if (created)
                LeqView = std::move(view);
        } else if (kind == 19) {
            auto view = std::make_unique<CSoundPowerAnalysisView>();
            view->SetHost(MakeUtilityHost());
            created = view->Create(this, r.left, r.top, r.right, r.bottom);
            if (created)
                SoundPowerView = std::move(view);
        } else if (kind == 16) {
            // MDI children free their own objects when their windows go.
            auto* wnd = new TTHDFreq;
            HandOverPlotSettings(*wnd);
            const ThdFreqLinks links = ThdFreqHandOver();
            created = wnd->Create(WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, r, this, &links);
            if (created)
                THDFreqWnd = wnd;
            else
                delete wnd;
        } else if (kind == 17) {
            auto* wnd = new TReverb;
            HandOverPlotSettings(*wnd);
            const ReverbLinks links = ReverbHandOver();
            created = wnd->CreateReverbWindow(WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, r, this, &links);
            if (created)
                ReverbWnd = wnd;
            else
                delete wnd;
        }
        if (created) {
            RestoreWindowPlacement(kind, 0, false);
            KeepOnScreen(kind);
            KeepClearOfToolWindows(kind);
        }
    }
    RefreshUtilityButtons();
    UpdateUtilityMenuChecks();
    return true;
}

void CMainFrame::OnSignalGenerator()
{
    CWaitCursor wait;
    if (SigGen) {
        SigGen->StopOutput();
        RecordWindowPlacement(6, 0, false);
        DeleteUtilityWindow(6);
    } else {
        RECT r{};
        GetInitialWindowRect(&r, 6, 0, false);
        auto gen = std::make_unique<CSigGen>();
        if (gen->CreateWnd(this, r.left, r.top, MakeSigGenLinks())) {
            SigGen = std::move(gen);
            KeepOnScreen(6);
        }
    }
    RefreshUtilityButtons();
    UpdateUtilityMenuChecks();
}

void CMainFrame::OnUtilityPeakFreq() { ToggleUtilityWindow(7); }
void CMainFrame::OnUtilityPeakAmp() { ToggleUtilityWindow(8); }
void CMainFrame::OnUtilityTotalPower() { ToggleUtilityWindow(9); }
void CMainFrame::OnUtilityTHD() { ToggleUtilityWindow(10); }
void CMainFrame::OnUtilityTHDN() { ToggleUtilityWindow(11); }
void CMainFrame::OnUtilityIMD() { ToggleUtilityWindow(12); }
void CMainFrame::OnUtilitySNR() { ToggleUtilityWindow(13); }
void CMainFrame::OnUtilitySINAD() { ToggleUtilityWindow(14); }
void CMainFrame::OnUtilityLeq() { ToggleUtilityWindow(15); }
void CMainFrame::OnUtilityTHDFreq() { ToggleUtilityWindow(16); }
void CMainFrame::OnUtilityRT60() { ToggleUtilityWindow(17); }
void CMainFrame::OnUtilityRPM() { ToggleUtilityWindow(18); }
void CMainFrame::OnUtilitySoundPower() { ToggleUtilityWindow(19); }

void CMainFrame::OnCloseAllUtilities()
{
    if (SigGen)
        OnSignalGenerator();
    // A window that refuses to close stays open; the others close all the same.
    for (int kind = 7; kind <= 19; ++kind)
        if (GetUtilityWindow(kind))
            ToggleUtilityWindow(kind);
}

void CMainFrame::UpdateUtilityMenuChecks()
{
    CMenu* menu = GetMenu();
    if (!menu)
        return;
    for (int kind = 6; kind <= 19; ++kind)
        menu->CheckMenuItem(UtilityCommand(kind),
                            MF_BYCOMMAND | (GetUtilityWindow(kind) ? MF_CHECKED : MF_UNCHECKED));
}

void CMainFrame::UpdateUtilityViews()
{
    for (int kind = 7; kind <= 18; ++kind)
        if (const std::unique_ptr<CAnalysisView>* v = AnalysisViewSlot(kind); v && *v)
            (*v)->UpdateResults();
    if (LeqView)
        LeqView->Process(false);
    if (SoundPowerView)
        SoundPowerView->Update();
}

void CMainFrame::ResetUtilityViews()
{
    for (int kind = 7; kind <= 18; ++kind)
        if (const std::unique_ptr<CAnalysisView>* v = AnalysisViewSlot(kind); v && *v)
            (*v)->Reset();
    if (LeqView)
        LeqView->Reset();
    if (SoundPowerView)
        SoundPowerView->Reset();
}

void CMainFrame::BeginUtilityRun()
{
    ResetUtilityViews();
    if (Settings.Logging.IsLogging)
        OpenLogFiles();
}

void CMainFrame::EndUtilityRun()
{
    if (LeqView)
        LeqView->Process(true);
    CloseLogFiles();
}

UtilityHost CMainFrame::MakeUtilityHost()
{
    UtilityHost h;
    h.opMode = &Settings.OpMode;
    h.device = &Settings.Device;
    h.files = Settings.Files;
    h.composites = Settings.Composite;
    h.processing = Settings.Processing;
    h.scaling = Settings.Scaling;
    h.calibration = Settings.Calibration;
    h.leq = LeqSettings;
    h.soundPower = SoundPowerSettings;
    h.spectral = [this](int ch) { return ch >= 0 && ch < kChannels ? Spectral[ch] : nullptr; };
    h.compositeSpectral = [this](int k) { return k >= 0 && k < kComposites ? CompositeSpectral[k][2] : nullptr; };
    h.tachometerChannel = [this] { return GetTachometerChannel(); };
    h.tachometerValue = [this] { return GetTachometerValue(0, GetSecondsOfDay()); };
    h.latestTachometer = &LatestTachometerValue;
    h.sampleClock = [this](int ch) {
        UtilityHost::SampleClock clock;
        if (Settings.OpMode == kPostProcessMode) {
            if (const TWaveFile* file = Settings.Files[ch].File.get()) {
                clock.next = std::min(file->GetPosition(), file->GetEndFrame());
                clock.rate = file->GetFormat().SampleRate;
            }
        } else if (InputDevice != nullptr) {
            // The device's count of samples: the wait for the first packet and a late tick
            // don't stretch what the Leq window measures.
            clock.next = InputDevice->GetSampleCounter();
            clock.rate = Settings.Processing[ch].SampleFormat.SampleRate;
        }
        return clock;
    };
    h.liveRunning = [this] { return AcquisitionRunning; };
    h.readSamples = [this](int ch, long long first, DWORD count, float* out) {
        return ReadUtilitySamples(ch, first, count, out);
    };
    return h;
}

bool CMainFrame::IsTachometerFile(int channel) const
{
    const ChannelCalibration& cal = Settings.Calibration[channel];
    return Settings.Files[channel].File != nullptr && cal.IsEnabled == 1 && cal.RefUnits == kUnitRpm;
}

int CMainFrame::GetTachometerChannel() const
{
    if (Settings.OpMode == kPostProcessMode) {
        for (int ch = 0; ch < kChannels; ++ch)
            if (IsTachometerFile(ch))
                return ch;
        return -1;
    }
    if (InputDevice == nullptr || !InputDevice->HasTachometerChannel())
        return -1;
    return InputDevice->GetTachometerChannel();
}

float CMainFrame::GetTachometerValue(int fromFile, float time) const
{
    // A speed of 0.005 RPM or less is a stopped shaft or a missing pulse, not a reading.
    constexpr double kLeast = 0.005;
    const int ch = GetTachometerChannel();
    if (ch < 0 || ch >= kChannels)
        return 0.0f;
    TWaveFile* file = Settings.Files[ch].File.get();
    if (Settings.OpMode == kPostProcessMode && fromFile != 0 && file != nullptr) {
        const DWORD end = file->GetEndFrame();
        if (end == 0)
            return 0.0f;
        const int fileChannel = static_cast<int>(Settings.Files[ch].FileChannel);
        DWORD frame = std::min(file->SecondsToFrames(std::max(time, 0.0f)), end - 1);
        double value = 0.0;
        for (DWORD n = 0; n < 100000; ++n, --frame) {
            value = file->GetSample(frame, fileChannel, true);
            if (value > kLeast || frame == 0)
                break;
        }
        return static_cast<float>(value);
    }
    const TSampleBuffer* buffer = SampleBuffer[ch];
    if (buffer == nullptr)
        return LatestTachometerValue;
    for (DWORD i = std::min(buffer->GetSamplesPerChannel(), buffer->GetCount()); i-- > 1;) {
        const double value = buffer->GetSample(i, true);
        if (value > kLeast)
            return static_cast<float>(value);
    }
    return LatestTachometerValue;
}

UtilityHost::SampleRead CMainFrame::ReadUtilitySamples(int channel, long long first, DWORD count, float* out)
{
    using Read = UtilityHost::SampleRead;
    if (channel < 0 || channel >= kChannels || out == nullptr || first < 0)
        return Read::Gone;
    if (Settings.OpMode != kPostProcessMode) {
        // The rings outlive the run's stop, so its last samples count too.
        if (InputDevice == nullptr)
            return Read::Gone;
        std::vector<int> block;
        try {
            block.resize(count);
        } catch (const std::bad_alloc&) {
            return Read::NotYet;
        }
        switch (InputDevice->ReadSamples(channel, first, static_cast<int>(count), block.data())) {
        case TUsbDevice::RingRead::Ok: break;
        case TUsbDevice::RingRead::NotYet: return Read::NotYet;
        default: return Read::Gone;
        }
        // Relative to the format's zero, as the channel's own engine is fed.
        const double zero = Settings.Processing[channel].SampleFormat.ZeroValue;
        for (DWORD i = 0; i < count; ++i)
            out[i] = static_cast<float>(block[i] - zero);
        return Read::Ok;
    }
    TWaveFile* file = Settings.Files[channel].File.get();
    if (file == nullptr || first + count > file->GetEndFrame())
        return Read::NotYet;
    const TPcmFormat& format = file->GetFormat();
    const std::size_t bytes = format.BytesPerSample;
    std::vector<BYTE> raw;
    try {
        raw.resize(static_cast<std::size_t>(count) * bytes);
    } catch (const std::bad_alloc&) {
        return Read::NotYet;
    }
    if (!file->ReadSamples(raw.data(), static_cast<DWORD>(first), count, static_cast<int>(Settings.Files[channel].FileChannel)))
        return Read::NotYet; // the frame reports a file it can't read and stops
    // Relative to the format's zero, as the channel's own engine reads a file.
    const double zero = format.ZeroValue;
    for (DWORD i = 0; i < count; ++i)
        out[i] = static_cast<float>(format.DecodeSample(raw.data() + i * bytes) - zero);
    return Read::Ok;
}
