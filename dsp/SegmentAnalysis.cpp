#include "dsp/SegmentAnalysis.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelCalibration.h"
#include "platform/core/MessageBox.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

SegmentAveragePlan PlanSegmentAverage(std::int64_t frames, std::int64_t blockFrames, std::int64_t hopFrames)
{
    SegmentAveragePlan plan;
    if (frames <= 0 || blockFrames <= 0)
        return plan;
    if (hopFrames <= 0)
        hopFrames = blockFrames; // a hop of nothing would never end
    if (frames < blockFrames) {
        plan.blocks = 0;
        plan.remainder = frames;
    } else {
        plan.blocks = (frames - blockFrames) / hopFrames + 1;
        plan.remainder = frames - plan.blocks * hopFrames;
    }
    plan.finalBlock = plan.remainder >= 1 && plan.remainder <= blockFrames;
    return plan;
}

std::int64_t CentredBlockStart(std::int64_t startFrame, std::int64_t frames, std::int64_t blockFrames)
{
    const std::int64_t centre = startFrame + frames / 2;
    return std::max<std::int64_t>(centre - blockFrames / 2, 0);
}

std::vector<float> ZeroPaddedFrame(std::span<const float> samples, std::size_t n)
{
    std::vector<float> frame(n, 0.0f);
    const std::size_t r = std::min(samples.size(), n);
    const std::size_t pad = n - r;
    // pad / 2 zeros first; an odd pad leaves its extra zero at the end.
    std::copy_n(samples.begin(), r, frame.begin() + static_cast<std::ptrdiff_t>(pad / 2));
    return frame;
}

SegmentRebuildPlan PlanSegmentRebuild(const TWaveData& wave, float start, float end, DWORD blockFrames, DWORD hopFrames,
                                      int averageBlocks, int lines)
{
    SegmentRebuildPlan plan;
    const double rate = wave.GetFormat().SampleRate;
    const double half = static_cast<double>(blockFrames / 2);
    // Rounded, so that times read back from the lines give their frames again.
    // No block reaches past the file's end: the last middle whose block the file holds.
    const double latest = std::max(static_cast<double>(wave.GetLength()) - (blockFrames - blockFrames / 2), half);
    const double first = std::clamp(std::round(static_cast<double>(start) * rate), half, latest);
    const double last = std::clamp(std::round(static_cast<double>(end) * rate), half, latest);
    if (!(last > first) || lines <= 0)
        return plan;
    plan.run = true;
    plan.firstMiddle = first;
    plan.blockFrames = blockFrames;
    plan.hopFrames = std::max<DWORD>(hopFrames, 1);
    plan.step = lines > 1 ? (last - first) / (lines - 1) : 0.0;
    if (lines > 1 && plan.step < 1.0) {
        plan.step = 1.0;
        plan.resolutionNote = true;
    }
    const double fit = std::floor(plan.step / plan.hopFrames);
    plan.blocksPerLine = static_cast<int>(std::clamp(fit, 1.0, static_cast<double>(std::max(averageBlocks, 1))));
    return plan;
}

DWORD SegmentRebuildPlan::LineMiddle(int i) const
{
    return static_cast<DWORD>(std::llround(firstMiddle + step * i));
}

DWORD SegmentRebuildPlan::FirstBlockOfLine(int i) const
{
    const std::int64_t start = static_cast<std::int64_t>(LineMiddle(i)) - blockFrames / 2 -
                               static_cast<std::int64_t>(blocksPerLine - 1) * hopFrames / 2;
    return static_cast<DWORD>(std::max<std::int64_t>(start, 0));
}

int SegmentRebuildLine(int step, int lines, int scrollType)
{
    if (scrollType == 0)
        return lines - 1 - step;
    if (scrollType == 1)
        return step;
    return 0;
}

bool HilbertInPieces(TSampleBuffer& buffer, DWORD count, const SegmentProgress& hooks)
{
    count = std::min(count, buffer.GetCount());
    const DWORD pieces = count / kHilbertPiece;
    bool cancelled = false;
    for (DWORD p = 0; p < pieces; ++p) {
        hooks.Report(static_cast<int>(static_cast<std::uint64_t>(p) * 100 / pieces));
        if (!buffer.HilbertEnvelope(p * kHilbertPiece, kHilbertPiece))
            return false;
        if (hooks.Cancelled()) {
            cancelled = true;
            break;
        }
    }
    // The rest after all the whole pieces, also after a cancel; only samples that exist are
    // transformed (the buffer pads the piece with silence).
    const DWORD rest = count - pieces * kHilbertPiece;
    if (rest > 0 && !buffer.HilbertEnvelope(count - rest, rest))
        return false;
    return !cancelled;
}

bool ApplySegmentSignal(SegmentSignal kind, TSampleBuffer& buffer, DWORD fftSize)
{
    if (kind == SegmentSignal::Hilbert)
        return buffer.HilbertEnvelope(0, std::min(fftSize, buffer.GetCount()));
    return buffer.BackwardIntegrate(buffer.GetCount());
}

std::unique_ptr<TSampleBuffer> ComputeSegmentSignal(SegmentSignal kind, TWaveData& wave, int fileChannel, DWORD first,
                                                    DWORD end, const ChannelProcessingSettings& processing,
                                                    const ChannelCalibration& calibration,
                                                    const SegmentProgress& hooks)
{
    if (end <= first)
        return nullptr;
    const DWORD frames = end - first;
    const DWORD ratio = std::max<DWORD>(processing.DecimationRatio, 1);
    const TPcmFormat own = wave.GetFormat();
    const TPcmFormat format(own.SampleRate * ratio, own.Channels, own.BytesPerSample);
    std::unique_ptr<TSampleBuffer> buffer;
    const std::uint64_t count = static_cast<std::uint64_t>(frames) * ratio;
    if (count <= 0xFFFFFFFFull)
        buffer.reset(new (std::nothrow) TSampleBuffer(static_cast<DWORD>(count), format, 1, false));
    if (!buffer || buffer->IsError()) {
        AfxMessageBox(kind == SegmentSignal::Hilbert ? "Hilbert Transform - insufficient memory available"
                                                     : "Schroeder Integration - insufficient memory available",
                      MB_OK | MB_ICONERROR);
        return nullptr;
    }
    buffer->SetScaling(&calibration);
    hooks.Report(0);
    // Frames past the wave's end stay silent.
    const DWORD available = first < wave.GetLength() ? std::min(frames, wave.GetLength() - first) : 0;
    if (available > 0 && !wave.ReadSamples(buffer->GetSamplePtr(0), first, available, fileChannel)) {
        ReportWaveReadFailure(wave);
        return nullptr;
    }
    // An envelope cut short by Esc would show raw samples as envelope after the cut: the
    // channel keeps what it had instead.
    if (kind == SegmentSignal::Hilbert) {
        if (!HilbertInPieces(*buffer, frames, hooks))
            return nullptr;
    } else {
        buffer->BackwardIntegrate(frames); // one call, no cancel
    }
    return buffer;
}

double RmsFromMeanSquare(double meanSquare)
{
    return meanSquare > 0.0 ? std::sqrt(meanSquare) : 0.0;
}

CrestFactor ComputeCrestFactor(double maximum, double minimum, double rms)
{
    CrestFactor c;
    const double peak = std::max(std::fabs(maximum), std::fabs(minimum));
    if (rms > 0.0) {
        c.crest = peak / rms;
        if (c.crest > 0.0)
            c.db = 20.0 * std::log10(c.crest);
    }
    return c;
}

void SegmentLevelLabels(const ChannelCalibration& cal, std::string& linear, std::string& log)
{
    if (cal.IsEnabled == 0) {
        linear = "Percent Full Scale";
        log = "dBFS";
        return;
    }
    switch (cal.RefUnits) {
    case 0:
        linear = "Volts";
        log = "dBV";
        break;
    case 1:
        linear = "Millivolts";
        log = "dBmV";
        break;
    case 3:
        linear = "Acceleration (G)";
        log = "Acceleration (G dB)";
        break;
    default: {
        char l[sizeof cal.LabelLinear + 1] = {};
        char g[sizeof cal.LabelLog + 1] = {};
        std::memcpy(l, cal.LabelLinear, sizeof cal.LabelLinear);
        std::memcpy(g, cal.LabelLog, sizeof cal.LabelLog);
        linear = l;
        log = g;
        break;
    }
    }
}

std::string SegmentRmsLevelReport(TWaveFile& wave, int fileChannel, float from, float to,
                                  const ChannelCalibration& calibration)
{
    double rms = RmsFromMeanSquare(wave.IntegrateSeconds(from, to, fileChannel));
    double shown = rms;
    if (calibration.IsEnabled == 0) {
        // The wave scales samples by its ratio even when calibration is off; take that back
        // out to get a fraction of full scale, shown in percent and in dB below full scale.
        const double toUnits = static_cast<double>(wave.GetGain(fileChannel)) * wave.GetFormat().FullScale();
        if (toUnits > 0.0 && std::isfinite(toUnits))
            rms /= toUnits;
        shown = 100.0 * rms;
    }
    const double db = ConvertToDecibels(calibration, static_cast<float>(rms));
    std::string linear, log;
    SegmentLevelLabels(calibration, linear, log);
    return FormatRmsLevelMessage(shown, db, linear, log);
}

std::string SegmentCrestFactorReport(TWaveFile& wave, int fileChannel, float from, float to)
{
    const double rms = RmsFromMeanSquare(wave.IntegrateSeconds(from, to, fileChannel));
    float maximum = 0.0f, minimum = 0.0f;
    wave.ReadBlockScaled(wave.SecondsToFrames(from), wave.SecondsToFrames(to), maximum, minimum, fileChannel, true,
                         false);
    return FormatCrestFactorMessage(ComputeCrestFactor(maximum, minimum, rms));
}

std::string FormatRmsLevelMessage(double rms, double db, const std::string& linear, const std::string& log)
{
    char text[256];
    std::snprintf(text, sizeof text, "RMS Level:\r%6.4f\t%s\r%6.2f\t%s", rms, linear.c_str(), db, log.c_str());
    return text;
}

std::string FormatCrestFactorMessage(const CrestFactor& c)
{
    char text[128];
    // A crest a rounding step below 1 would print as "-0.00 dB".
    const double db = std::fabs(c.db) < 0.005 ? 0.0 : c.db;
    std::snprintf(text, sizeof text, "Crest Factor = %6.2f   (%6.2f dB)", c.crest, db);
    return text;
}

std::string FormatQualityFactorMessage(double peakHz, double bandwidthHz, double q)
{
    char text[192];
    std::snprintf(text, sizeof text, "Peak Frequency = %6.3f Hz\rBandwidth (-3dB) = %6.3f Hz\rQuality Factor = %6.3f",
                  peakHz, bandwidthHz, q);
    return text;
}
