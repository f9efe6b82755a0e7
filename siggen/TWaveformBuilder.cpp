#include "siggen/TWaveformBuilder.h"

#include "records/AppMessages.h"
#include "platform/core/Thread.h"
#include "platform/ui/Wnd.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

std::int64_t MsFrames(double ms, DWORD rate) { return static_cast<std::int64_t>(ms * rate / 1000.0); }

// Format and length of a user-defined wave file, learnt from a streamed open; false when it
// does not open.
bool ReadUserFile(const SigGenChannelSettings& s, const std::string& tempFolder, TPcmFormat& format, DWORD& frames)
{
    const std::string path(s.UserWave.Path, strnlen(s.UserWave.Path, sizeof s.UserWave.Path));
    if (path.empty())
        return false;
    try {
        TWaveFile file(path, TWaveFile::kStreamed, false, tempFolder);
        if (file.IsError())
            return false;
        format = file.GetFormat();
        frames = file.GetLength();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

SigGenOutputFormat PrepareOutputFormat(const SigGenOutputChoice& choice, const std::function<bool(int)>& openDevice)
{
    SigGenOutputFormat f;
    if (!choice.Output)
        return f;
    f.SamplingRate = choice.Output->SigGenSamplingRate;
    f.BitsPerSample = choice.Output->SigGenBitsPerSample;
    f.Channels = choice.Output->SigGenNumChannels;
    // The D/A path reports no output capabilities of its own, so an open device changes nothing
    // but lets the user-file step run.
    if (!choice.SoundCard && (choice.DeviceIndex < 0 || !openDevice || !openDevice(choice.DeviceIndex)))
        return f;
    if (!choice.Channel)
        return f;
    TPcmFormat file[2];
    bool read[2] = {false, false};
    for (int c = 0; c < 2; ++c) {
        DWORD frames = 0;
        if (choice.Channel[c].Type == SigGenType::UserDefined)
            read[c] = ReadUserFile(choice.Channel[c], choice.TempFolder, file[c], frames);
    }
    if (read[0] && read[1]) {
        f.SamplingRate = std::max(file[0].SampleRate, file[1].SampleRate);
        f.BitsPerSample = std::max(file[0].BitsPerSample, file[1].BitsPerSample);
        f.Channels = 2;
    } else if (read[0] || read[1]) {
        const TPcmFormat& one = read[0] ? file[0] : file[1];
        f.SamplingRate = one.SampleRate;
        f.BitsPerSample = one.BitsPerSample;
        f.Channels = 1;
    }
    return f;
}

std::int64_t ExtendToWholeRepeats(std::int64_t n, const TPcmFormat& format)
{
    const std::int64_t rate = format.SampleRate;
    if (n < 1)
        return rate;
    if (n >= rate)
        return n;
    return (rate / n + 1) * n;
}

std::int64_t TrimToWholeCycles(std::int64_t n, const TPcmFormat& format, float frequency)
{
    if (!(frequency > 0.1f))
        return n;
    const float period = static_cast<float>(format.SampleRate) / frequency;
    std::int64_t k = static_cast<std::int64_t>(static_cast<float>(n) / period);
    if (k < 1)
        k = 1;
    const auto m = static_cast<std::int64_t>(static_cast<float>(k) * period);
    if (m >= n)
        return n;
    return m % 2 != 0 ? m + 1 : m;
}

namespace {
// A shaped waveform loops over whole cycles: a second or more of whole-frame periods, ended
// where a cycle of the exact (possibly fractional) period ends, so the loop's seam is one more
// cycle.
std::int64_t WholeShapedCycles(std::int64_t wholePeriod, const TPcmFormat& format, float frequency)
{
    const std::int64_t n = ExtendToWholeRepeats(wholePeriod, format);
    const double period = ShapedPeriod(format.SampleRate, frequency);
    const auto cycles = std::max<std::int64_t>(1, std::llround(static_cast<double>(n) / period));
    return std::max<std::int64_t>(1, ShapedCycleStart(period, cycles));
}
} // namespace

std::int64_t GetWaveformLength(const SigGenChannelSettings& s, const TPcmFormat& format,
                               std::span<const std::int16_t> pink, const std::string& tempFolder)
{
    const DWORD rate = format.SampleRate;
    auto period = [&](float frequency) -> std::int64_t {
        return frequency > 0.0f ? static_cast<std::int64_t>(std::min(rate / static_cast<double>(frequency), 4.0e9))
                                : 0;
    };
    switch (s.Type) {
    case SigGenType::WhiteNoise: return ExtendToWholeRepeats(60LL * rate, format);
    case SigGenType::PinkNoise: return std::max<std::int64_t>(0, static_cast<std::int64_t>(pink.size()) - 20);
    case SigGenType::NoiseBurst: return ExtendToWholeRepeats(MsFrames(s.NoiseBurst.CycleMsec, rate), format);
    case SigGenType::Tone1k: return TrimToWholeCycles(ExtendToWholeRepeats(10LL * rate, format), format, 1000.0f);
    case SigGenType::MultipleTones: {
        float first = s.Tones.Tone[0].Frequency;
        for (const SigGenTone& t : s.Tones.Tone)
            if (t.Enabled != 0) {
                first = t.Frequency;
                break;
            }
        return TrimToWholeCycles(ExtendToWholeRepeats(10LL * rate, format), format, first);
    }
    case SigGenType::ToneBurst: return ExtendToWholeRepeats(MsFrames(s.ToneBurst.CycleMsec, rate), format);
    case SigGenType::ImdTones: return ExtendToWholeRepeats(rate, format);
    case SigGenType::FreqSweep: {
        std::int64_t n = MsFrames(s.FreqSweep.SweepMsec, rate);
        if (s.FreqSweep.SweepBack)
            n *= 2;
        return s.FreqSweep.SingleSweep ? n : ExtendToWholeRepeats(n, format);
    }
    case SigGenType::LevelSweep: return ExtendToWholeRepeats(MsFrames(s.LevelSweep.SweepMsec, rate), format);
    case SigGenType::Sawtooth: return WholeShapedCycles(period(s.Sawtooth.Frequency), format, s.Sawtooth.Frequency);
    case SigGenType::Triangular:
        return WholeShapedCycles(period(s.Triangular.Frequency), format, s.Triangular.Frequency);
    case SigGenType::Square: return WholeShapedCycles(period(s.Square.Frequency), format, s.Square.Frequency);
    case SigGenType::Pulse: {
        const auto n = static_cast<std::int64_t>(s.Pulse.IntervalUsec * static_cast<double>(rate) / 1000000.0);
        return s.Pulse.SingleShot ? n : ExtendToWholeRepeats(n, format);
    }
    case SigGenType::UserDefined: {
        TPcmFormat f;
        DWORD frames = 0;
        return ReadUserFile(s, tempFolder, f, frames) ? frames : 0;
    }
    case SigGenType::Dtmf: {
        // 64-bit unsigned: rate x total key time passes 2^32 for long strings at high rates.
        const std::uint64_t keys = strnlen(s.Dtmf.Keys, sizeof s.Dtmf.Keys);
        const std::uint64_t ms = static_cast<std::uint64_t>(static_cast<std::uint32_t>(s.Dtmf.PulseMsec)) +
                                 static_cast<std::uint32_t>(s.Dtmf.SpacingMsec);
        const auto n = static_cast<std::int64_t>(std::min<std::uint64_t>(
            static_cast<std::uint64_t>(rate) * (ms * keys) / 1000, std::numeric_limits<std::int64_t>::max() / 4));
        return s.Dtmf.Repeat ? ExtendToWholeRepeats(n, format) : n;
    }
    case SigGenType::DigitalZero: return ExtendToWholeRepeats(rate, format);
    case SigGenType::FreqStep: {
        const double steps = CountFrequencySteps(s, nullptr);
        std::int64_t n = static_cast<std::int64_t>(std::min(steps * s.FreqStep.DwellMsec * rate / 1000.0, 1.0e15));
        if (s.FreqStep.StepBack)
            n *= 2;
        return s.FreqStep.SinglePass ? n : ExtendToWholeRepeats(n, format);
    }
    default: return rate;
    }
}

double ComputeOutputAmplitude(const OutputDeviceSettings& o, WORD c)
{
    const double level = c == 0 ? o.OutputLevel1 : c == 1 ? o.OutputLevel2 : 0.0;
    const double fs = o.FullScaleVolts;
    double a;
    switch (o.OutputLevelUnit) {
    case 0: a = std::pow(10.0, level / 20.0); break;
    case 1: a = level / 100.0; break;
    case 2: a = level / fs / 0.707106; break;
    case 3: a = level / 1000.0 / fs / 0.707106; break;
    case 4: a = std::pow(10.0, level / 20.0) / fs / 0.707106; break;
    case 5: a = std::pow(10.0, level / 20.0) / 1000.0 / fs / 0.707106; break;
    case 6: a = std::pow(10.0, level / 20.0) / fs / 0.707106 * 0.775; break;
    default: a = 1.0; break;
    }
    // A level of nothing (0 %, 0 V, or no number at all) plays silence: full scale is the last
    // thing it asks for. Above full scale (also a level over a full scale of 0 V) is full scale.
    if (!(a > 0.0))
        return 0.0;
    return a > 1.0 ? 1.0 : a;
}

TWaveformBuilder::TWaveformBuilder() = default;

TWaveformBuilder::~TWaveformBuilder()
{
    Abort();
    Join();
}

void TWaveformBuilder::Join()
{
    if (m_thread) {
        m_thread->Join();
        m_thread.reset();
    }
}

LPARAM TWaveformBuilder::Start(const SigGenBuildRequest& request, HWND notify, HWND status)
{
    // The old builder writes the wave this one replaces: it must be gone first.
    Abort();
    Join();
    m_wave.reset();
    m_reports.clear();
    m_request = request;
    m_notify = notify;
    m_statusWnd = status;
    ++m_serial;
    m_abort.store(0);
    m_building.store(1);
    try {
        m_thread = std::make_unique<CWinThread>(&TWaveformBuilder::ThreadProc, this);
        m_thread->m_bAutoDelete = FALSE;
        if (!m_thread->CreateThread())
            m_thread.reset();
    } catch (const std::exception&) {
        m_thread.reset();
    }
    if (!m_thread) {
        m_status.store(kBuildNoMemory);
        m_building.store(0);
        if (m_notify)
            ::PostMessage(m_notify, WM_WAVEFORM_BUILT, kBuildNoMemory, m_serial);
    }
    return m_serial;
}

UINT TWaveformBuilder::ThreadProc(LPVOID param)
{
    auto* self = static_cast<TWaveformBuilder*>(param);
    const LPARAM serial = self->m_serial;
    BuildStatus status = kBuildAborted;
    try {
        status = self->BuildNow(self->m_request, self->m_statusWnd);
    } catch (const std::exception&) {
        self->m_wave.reset();
        status = kBuildNoMemory;
    }
    self->m_status.store(status);
    self->m_building.store(0);
    if (self->m_notify)
        ::PostMessage(self->m_notify, WM_WAVEFORM_BUILT, status, serial);
    return 0;
}

std::unique_ptr<TWaveData> TWaveformBuilder::TakeWave()
{
    if (IsBuilding())
        return nullptr;
    Join();
    return std::move(m_wave);
}

std::vector<std::string> TWaveformBuilder::TakeReports()
{
    if (IsBuilding())
        return {};
    Join();
    return std::exchange(m_reports, {});
}

BuildStatus TWaveformBuilder::BuildNow(const SigGenBuildRequest& r, HWND status)
{
    m_wave.reset();
    if (m_abort.load())
        return kBuildAborted;
    const WORD channels = r.Format.Channels >= 2 ? 2 : 1;
    const TPcmFormat format(r.Format.SamplingRate, channels, static_cast<WORD>(r.Format.BitsPerSample / 8));
    auto length_of = [&](int c) -> std::int64_t {
        if (r.UserWaveLoaded && r.Channel[c].Type == SigGenType::UserDefined)
            return r.UserWave[c] ? r.UserWave[c]->GetLength() : 0;
        return GetWaveformLength(r.Channel[c], format, m_pink, r.TempFolder);
    };
    const std::int64_t l1 = length_of(0);
    const std::int64_t l2 = length_of(1);
    std::int64_t length = l1;
    if (channels > 1 && l2 > l1)
        length = l2;
    if (length % 2 != 0)
        ++length;
    if (m_abort.load())
        return kBuildAborted;
    // The sample block's size is a 32-bit byte count, as in a wave file.
    if (length * format.BlockAlign() > static_cast<std::int64_t>(std::numeric_limits<DWORD>::max()))
        return kBuildNoMemory;
    std::unique_ptr<TWaveData> wave;
    try {
        wave = std::make_unique<TWaveData>(static_cast<DWORD>(length), format);
    } catch (const std::bad_alloc&) {
        return kBuildNoMemory;
    }
    if (wave->IsError())
        return kBuildNoMemory;
    wave->Silence();

    SynthesisContext ctx;
    ctx.abort = &m_abort;
    ctx.pink = m_pink;
    ctx.tempFolder = r.TempFolder;
    if (status)
        ctx.progress = [status](int percent) { ::PostMessage(status, WM_STATUS_SETPROGRESS, 0, percent); };
    ctx.report = [this](const std::string& text) { m_reports.push_back(text); };
    ctx.userWaveLoaded = r.UserWaveLoaded;
    for (WORD c = 0; c < channels; ++c) {
        ctx.userWave = r.UserWave[c].get();
        if (SynthesisRoutine routine = RoutineFor(r.Channel[c]))
            routine(wave.get(), r.Channel[c], c, ComputeOutputAmplitude(r.Output, c), ctx);
    }
    m_wave = std::move(wave);
    return m_abort.load() ? kBuildAborted : kBuildDone;
}

bool WriteSignalFile(const TWaveData& wave, const std::string& path, int repeats, const std::string& tempFolder)
{
    if (wave.GetData() == nullptr || wave.GetDataBytes() == 0 || repeats < 1)
        return false;
    try {
        TWaveFile file(wave.GetFormat(), false, tempFolder);
        if (file.IsError())
            return false;
        for (int r = 0; r < repeats; ++r)
            if (!file.WriteBytes(wave.GetData(), wave.GetDataBytes()))
                return false;
        file.SetFileName(path);
        return file.Save() && !file.IsError();
    } catch (const std::bad_alloc&) {
        return false;
    }
}
