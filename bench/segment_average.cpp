// The average spectrum of a whole segment, as the segment analysis computes it, against
// scipy.signal.welch on the same file: a 1-hour, 8-channel, 4000 samples/s, 24-bit wave, FFT
// 4096, Hanning, 90 % overlap (hop 409), linear averaging, dB scale and peak hold as the
// spectrum plot has them by default, channel 0. Both sides read the
// channel from the file (from the page cache: the file was just written) and average every
// block; they are timed in alternating rounds and the best round of each is kept, so that
// load from other processes on a shared machine does not tilt the ratio.
//
// Counters: ours_s and welch_s (best round, seconds), speedup (welch_s / ours_s), and the
// agreement of the two spectra over bins 1 .. N/2-2 (max_diff_db, mean_diff_db).
//
// The reference runs bench/welch_reference.py with a Python that has numpy and scipy
// (tools/install-deps.sh installs them), or the one DURNEX_BENCH_PYTHON names. DURNEX_BENCH_SECONDS shortens the file (default
// 3600) and DURNEX_BENCH_ROUNDS sets the rounds (default 3).
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/SegmentSpectrum.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/core/FileSystem.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#ifndef DURNEX_BENCH_SOURCE_DIR
#define DURNEX_BENCH_SOURCE_DIR "bench"
#endif

namespace {

constexpr DWORD kRate = 4000;
constexpr WORD kChannels = 8;
constexpr DWORD kFft = 4096;
constexpr DWORD kHop = kFft / 10; // 90 % overlap, as the post-process hop rounds it
constexpr int kChannel = 0;

int EnvInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : fallback;
}

// Each channel: a tone of 0.3 full scale at its own frequency over white noise of rms 0.01
// full scale (a cheap generator, different per channel).
struct TestFile {
    std::string folder;
    std::string path;
    DWORD frames = 0;
    bool written = true;
    TestFile()
    {
        folder = GetSystemTempFolder() + "durnex-bench-seg-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        path = folder + "/hour.wav";
        frames = static_cast<DWORD>(EnvInt("DURNEX_BENCH_SECONDS", 3600)) * kRate;
        const TPcmFormat format(kRate, kChannels, 3);
        TWaveFile w(format, false, folder);
        const DWORD piece = 4000;
        std::vector<BYTE> bytes(static_cast<std::size_t>(piece) * format.BlockAlign());
        std::uint64_t seed = 88172645463325252ull;
        auto uniform = [&seed] {
            seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
            return static_cast<double>(seed >> 11) * (1.0 / 9007199254740992.0) - 0.5;
        };
        for (DWORD first = 0; first < frames; first += piece) {
            for (DWORD i = 0; i < piece; ++i) {
                const double t = static_cast<double>(first + i) / kRate;
                for (int c = 0; c < kChannels; ++c) {
                    // rms of a uniform on [-0.5, 0.5) is 1/sqrt(12)
                    double v = 0.3 * std::sin(2.0 * M_PI * (50.0 + 170.3 * c) * t) + 0.01 * std::sqrt(12.0) * uniform();
                    const auto s = static_cast<std::int32_t>(std::lround(v * 8388607.0));
                    BYTE* b = &bytes[(static_cast<std::size_t>(i) * kChannels + c) * 3];
                    b[0] = static_cast<BYTE>(s), b[1] = static_cast<BYTE>(s >> 8), b[2] = static_cast<BYTE>(s >> 16);
                }
            }
            written = written && w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size()));
        }
        w.SetFileName(path);
        written = written && w.SaveStreamedAs();
    }
    ~TestFile()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

struct Result {
    bool ok = true;
    double seconds = 0.0;
    std::vector<double> spectrum; // power per bin in the reference's units (rms^2, full scale 1)
};

// Our side: the segment analysis on a freshly opened streamed file, as the frame runs it.
Result Ours(const TestFile& file)
{
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    TWaveFile wave(file.path, TWaveFile::kStreamed, false, file.folder);
    ChannelProcessingSettings p;
    p.SampleFormat = wave.GetFormat();
    p.SampleFormat.Set(kRate, 1, 3);
    p.FFTsize = kFft;
    p.DecimationRatio = 1;
    p.AverageType = 1; // linear
    p.AverageBlocks = 10;
    p.SmoothingWindow = TSmoothing::kHanning;
    ChannelScalingSettings s;
    s.AmpScaleType = 1;
    SpectralData engine(&p, &s, false);
    engine.SetPeakDecay(2); // the spectrum plot's default peak hold
    TSmoothing window(kFft, TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection);
    TSampleBuffer work(kFft, p.SampleFormat, 1, false);
    const bool done = ComputeSegmentAverage(wave, kChannel, 0, wave.GetLength(), kHop, work, engine, window, p, {}, {}) ==
                      SegmentAverageResult::Done;
    Result r;
    r.ok = done;
    r.seconds = std::chrono::duration<double>(clock::now() - t0).count();
    // magnitude = |2 X f / (N FS)|^2 with X the DFT through the plain window and f its
    // amplitude factor; welch's one-sided "spectrum" is 2 |X|^2 / (sum w)^2.
    TSmoothing plain(kFft, TSmoothing::kHanning, TSmoothing::kNoCorrection);
    double sum = 0.0;
    for (DWORD i = 0; i < kFft; ++i)
        sum += plain.GetTable()[i];
    const double f = TSmoothing::CorrectionFactor(TSmoothing::kHanning, TSmoothing::kAmplitudeCorrection, kFft);
    const double g = f * sum / kFft;
    const float* m = engine.GetMagnitudeBuffer();
    r.spectrum.assign(m, m + kFft / 2);
    for (double& v : r.spectrum)
        v /= 2.0 * g * g;
    return r;
}

std::string PythonWithScipy()
{
    if (const char* chosen = std::getenv("DURNEX_BENCH_PYTHON"))
        return std::system((std::string(chosen) + " -c 'import numpy, scipy.signal' >/dev/null 2>&1").c_str()) == 0
                   ? chosen
                   : std::string();
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        const std::string cmd = std::string(candidate) + " -c 'import numpy, scipy.signal' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0)
            return candidate;
    }
    return {};
}

// The reference: the script times its own read and welch and writes seconds and spectrum.
bool Reference(const std::string& python, const TestFile& file, Result& out)
{
    const std::string result = file.folder + "/welch.txt";
    const std::string cmd = python + " " DURNEX_BENCH_SOURCE_DIR "/welch_reference.py '" + file.path + "' " +
                            std::to_string(kChannel) + " " + std::to_string(kFft) + " " + std::to_string(kHop) +
                            " '" + result + "'";
    if (std::system(cmd.c_str()) != 0)
        return false;
    std::ifstream in(result);
    out.spectrum.clear();
    if (!(in >> out.seconds))
        return false;
    double v;
    while (in >> v)
        out.spectrum.push_back(v);
    return out.spectrum.size() == kFft / 2 + 1;
}

void BM_SegmentAverageVsWelch(benchmark::State& state)
{
    static TestFile file;
    if (!file.written) {
        state.SkipWithError("the test file could not be written (disk space in the temporary folder?)");
        return;
    }
    const int rounds = EnvInt("DURNEX_BENCH_ROUNDS", 3);
    const std::string python = PythonWithScipy();
    double best = 1e300, bestRef = 1e300;
    Result ours, ref;
    bool failed = false;
    bool haveRef = !python.empty();
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            if (haveRef) {
                haveRef = Reference(python, file, ref);
                if (haveRef)
                    bestRef = std::min(bestRef, ref.seconds);
            }
            ours = Ours(file);
            failed = failed || !ours.ok;
            best = std::min(best, ours.seconds);
        }
        state.SetIterationTime(best);
    }
    if (failed) {
        state.SkipWithError("the segment average could not read the test file");
        return;
    }
    state.counters["ours_s"] = best;
    state.counters["blocks"] = static_cast<double>((file.frames - kFft) / kHop + 2);
    if (!haveRef) {
        state.SetLabel("no reference: python3 with numpy and scipy not found or failed");
        return;
    }
    state.counters["welch_s"] = bestRef;
    state.counters["speedup"] = bestRef / best;
    double worst = 0.0, total = 0.0;
    int count = 0;
    for (DWORD k = 1; k + 1 < kFft / 2; ++k) {
        const double d = 10.0 * std::log10(ours.spectrum[k] / ref.spectrum[k]);
        worst = std::max(worst, std::fabs(d));
        total += d;
        ++count;
    }
    state.counters["max_diff_db"] = worst;
    state.counters["mean_diff_db"] = total / count;
}
BENCHMARK(BM_SegmentAverageVsWelch)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
