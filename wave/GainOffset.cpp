#include "wave/GainOffset.h"

#include "records/NumberText.h"
#include "platform/core/MessageBox.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

namespace {

enum class Kind { Gain, Offset, Dynamic };

struct Texts {
    const char* noMemory;
    const char* readFailure;
    const char* writeFailure;
    const char* clipping;
};

const Texts& TextsOf(Kind kind)
{
    static const Texts gain{
        "Gain Adjust Error - insufficient memory available",
        "Gain Adjust Error - failure reading the selected samples; the file is unchanged",
        "Gain Adjust Error - failure writing the adjusted samples to the file",
        "Applying the gain to the selected data will exceed the sampling range of the file and result in "
        "clipping.  Do you want to continue?"};
    static const Texts offset{
        "DC Offset error - insufficient memory available",
        "DC Offset error - failure reading the selected samples; the file is unchanged",
        "DC Offset error - failure writing the adjusted samples to the file",
        "Applying the DC Offset to the selected data will exceed the sampling range of the file and result in "
        "clipping.  Do you want to continue?"};
    static const Texts dynamic{
        "Dynamic DC Offset error - insufficient memory available",
        "Dynamic DC Offset error - failure reading the selected samples; the file is unchanged",
        "Dynamic DC Offset error - failure writing the adjusted samples to the file",
        offset.clipping};
    switch (kind) {
    case Kind::Gain:
        return gain;
    case Kind::Offset:
        return offset;
    default:
        return dynamic;
    }
}

struct Work {
    Kind kind;
    double factor = 1.0;  // gain
    double offset = 0.0;  // DC offset, sample units
    DWORD window = 1;     // dynamic: averaging window
    DWORD interval = 1;   // dynamic: samples between means
};

SampleEditResult Process(TWaveFile& file, DWORD first, DWORD end, int channel, const Work& work,
                         const SampleEditProgress& progress)
{
    end = std::min(end, file.GetEndFrame());
    if (end <= first)
        return SampleEditResult::Unchanged;
    const DWORD count = end - first;
    const Texts& texts = TextsOf(work.kind);

    if (!file.SaveUndo(TWaveFile::kUndoOverwritten, first, end))
        return SampleEditResult::Failed;

    TPcmFormat format = file.GetFormat();
    format.Set(format.SampleRate, 1, format.BytesPerSample); // one channel, not interleaved
    std::unique_ptr<TSampleBuffer> buffer(new (std::nothrow) TSampleBuffer(count, format, 1, false));
    if (!buffer || buffer->IsError()) {
        AfxMessageBox(texts.noMemory, MB_ICONSTOP);
        return SampleEditResult::NoMemory;
    }
    // Without the samples there is nothing sound to write back.
    if (!file.ReadSamples(buffer->GetSamplePtr(0), first, count, channel)) {
        AfxMessageBox(texts.readFailure, MB_ICONSTOP);
        return SampleEditResult::Failed;
    }

    const double zero = format.ZeroValue, maximum = format.MaxValue, minimum = format.MinValue;
    bool askBeforeClipping = true;
    bool refused = false;
    bool stopped = false;

    // Dynamic DC offset: the sum of the (still unprocessed) window [i, i + W), slid along.
    std::int64_t windowSum = 0;
    float mean = 0.0f;
    if (work.kind == Kind::Dynamic)
        for (DWORD k = 0; k < std::min(work.window, count); ++k)
            windowSum += static_cast<std::int64_t>(buffer->GetSample(k, false));

    int lastPercent = -1;
    for (DWORD i = 0; i < count; ++i) {
        const int percent = static_cast<int>(static_cast<std::uint64_t>(i) * 100 / count);
        if (progress && (percent != lastPercent || (i & 1023u) == 0)) {
            lastPercent = percent;
            if (!progress(percent)) {
                stopped = true;
                break;
            }
        }
        const double x = buffer->GetSample(i, false);
        double v;
        switch (work.kind) {
        case Kind::Gain:
            v = x * work.factor;
            break;
        case Kind::Offset:
            v = x + work.offset;
            break;
        default:
            if (i % work.interval == 0)
                mean = static_cast<float>(static_cast<double>(windowSum) / work.window);
            v = x - mean;
            windowSum -= static_cast<std::int64_t>(x);
            if (static_cast<std::uint64_t>(i) + work.window < count)
                windowSum += static_cast<std::int64_t>(buffer->GetSample(i + work.window, false));
            break;
        }
        if (askBeforeClipping && (v + zero >= maximum || v + zero <= minimum)) {
            if (AfxMessageBox(texts.clipping, MB_YESNO | MB_ICONQUESTION) != IDYES) {
                refused = true;
                break;
            }
            askBeforeClipping = false;
        }
        // Rounded to the nearest value, so that a gain of 0 dB or an offset of 0 leaves every
        // sample, negative ones too, as it was.
        double stored = work.kind == Kind::Dynamic ? std::trunc(v) + zero : std::floor(v + zero + 0.5);
        stored = std::clamp(stored, minimum, maximum);
        buffer->SetSample(i, static_cast<std::int32_t>(stored));
    }
    // A refusal or an Esc leaves the file as it was: half a range changed is no result.
    if (refused || stopped) {
        file.EditDone();
        return refused ? SampleEditResult::Refused : SampleEditResult::Stopped;
    }
    if (!file.WriteSamples(buffer->GetSamplePtr(0), first, count, channel)) {
        AfxMessageBox(texts.writeFailure, MB_ICONSTOP);
        file.SetModified(true);
        return SampleEditResult::Failed;
    }
    file.SetModified(true);
    file.EditDone();
    return SampleEditResult::Done;
}

} // namespace

GainOffsetValues& RememberedGainOffsetValues()
{
    static GainOffsetValues values;
    return values;
}

SampleEditResult ApplyGain(TWaveFile& file, DWORD first, DWORD end, int channel, float gainDb,
                           const SampleEditProgress& progress)
{
    Work work{Kind::Gain};
    work.factor = std::pow(10.0, static_cast<double>(gainDb) / 20.0);
    return Process(file, first, end, channel, work, progress);
}

double DcOffsetInSampleUnits(float value, const TPcmFormat& format, const ChannelCalibration& calibration)
{
    const double range = static_cast<double>(format.MaxValue) - format.MinValue;
    const float ratio = calibration.CalRatio;
    if (calibration.IsEnabled != 0 && ratio != 0.0f)
        return value * range / 2.0 / ratio;
    return value * range / 2.0 / 100.0;
}

SampleEditResult ApplyDcOffset(TWaveFile& file, DWORD first, DWORD end, int channel, float offsetValue,
                               const ChannelCalibration& calibration, const SampleEditProgress& progress)
{
    Work work{Kind::Offset};
    work.offset = DcOffsetInSampleUnits(offsetValue, file.GetFormat(), calibration);
    return Process(file, first, end, channel, work, progress);
}

DWORD DynamicDcWindowLength(DWORD sampleRate, float cutoff)
{
    if (!(cutoff > 0.1f))
        cutoff = 0.1f;
    // In single precision, as the cutoff is stored: 48000 Hz / 0.1 Hz is 480000, not 479999.
    double w = std::trunc(static_cast<double>(static_cast<float>(sampleRate) / cutoff));
    // A cutoff above the sample rate would leave an empty window to divide by.
    return static_cast<DWORD>(std::clamp(w, 1.0, 4294967295.0));
}

SampleEditResult ApplyDynamicDcOffset(TWaveFile& file, DWORD first, DWORD end, int channel, float cutoff,
                                      std::int32_t interval, const SampleEditProgress& progress)
{
    Work work{Kind::Dynamic};
    work.window = DynamicDcWindowLength(file.GetSampleRate(), cutoff);
    work.interval = static_cast<DWORD>(std::max<std::int32_t>(interval, 1));
    return Process(file, first, end, channel, work, progress);
}

std::string CheckGainEntry(const char* text, float* result)
{
    double entered = ParseDecimalFloat(text != nullptr ? text : "", 0.0);
    double whole = std::trunc(entered) + 0.0; // -0.5 becomes 0, not -0
    if (whole < -60.0 || whole > 60.0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Gain must be between %ld and %+ld dB", -60L, 60L);
        return buf;
    }
    if (result != nullptr)
        *result = static_cast<float>(whole);
    return {};
}

std::string CheckDcOffsetEntry(const char* text, float* result)
{
    double entered = ParseDecimalFloat(text != nullptr ? text : "", 0.0);
    if (static_cast<float>(entered) == 0.0f)
        return "DC Offset cannot be zero";
    if (result != nullptr)
        *result = static_cast<float>(entered);
    return {};
}

std::string CheckDynamicDcEntries(const char* cutoffText, const char* intervalText, float* cutoff,
                                  std::int32_t* interval)
{
    float c = static_cast<float>(ParseDecimalFloat(cutoffText != nullptr ? cutoffText : "", 0.0));
    if (c < 0.1f || c > 500.0f)
        return "The Cutoff Frequency must be greater than 0.1 Hz and less than 500 Hz.";
    std::int64_t n = ParseDecimalInteger(intervalText != nullptr ? intervalText : "");
    if (n < 1 || n > 1000)
        return "The Recalculation Interval must be greater than 0 and less than 1000";
    if (cutoff != nullptr)
        *cutoff = c;
    if (interval != nullptr)
        *interval = static_cast<std::int32_t>(n);
    return {};
}

const char* DcOffsetPrompt(const ChannelCalibration& calibration)
{
    static const char* const kPercent = "Enter offset value in \"Percent Full Scale\"";
    if (calibration.IsEnabled == 0)
        return kPercent;
    switch (calibration.RefUnits) {
    case 0:
    case 5:
    case 7:
        return "Enter DC offset value in \"Volts\"";
    case 1:
    case 6:
        return "Enter DC offset value in \"Millivolts\"";
    case 3:
        return "Enter DC offset value in \"Acceleration (G)\"";
    case 9:
        return "Enter DC offset value in \"Pressure (psi)\"";
    case 2:
    case 8:
    case 10:
    case 11:
        return "Enter DC offset value in \"Pascals (PA)\"";
    default:
        return kPercent;
    }
}
