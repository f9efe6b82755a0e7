// Reading and writing a large wave file, against a plain read and write of the same bytes in
// the same run. The ratio counters say how much the wave code costs over raw file I/O.
#include "platform/core/FileSystem.h"
#include "wave/TWaveFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr DWORD kFrames = 16 * 1024 * 1024; // 64 MB of 16-bit stereo
const TPcmFormat kFormat(48000, 2, 2);

struct Files {
    std::string folder;
    std::string wave;
    std::string raw;
    Files()
    {
        folder = GetSystemTempFolder() + "durnex-bench-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        wave = folder + "/big.wav";
        raw = folder + "/big.raw";
        TWaveFile w(kFrames, kFormat, folder);
        std::vector<BYTE> bytes(w.FramesToBytes(kFrames));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<BYTE>(i * 2654435761u >> 24);
        (void)(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        w.SetFileName(wave);
        (void)(w.Save());
        int fd = ::open(raw.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        ::write(fd, bytes.data(), bytes.size());
        ::close(fd);
    }
    ~Files()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

Files& TheFiles()
{
    static Files files;
    return files;
}

// The reference does what a reader must do at least: a fresh buffer, filled by read().
double RawRead(const std::string& path, std::size_t bytes)
{
    std::unique_ptr<BYTE[]> buffer(new BYTE[bytes]);
    int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    ssize_t n;
    while (total < bytes && (n = ::read(fd, buffer.get() + total, bytes - total)) > 0)
        total += static_cast<std::size_t>(n);
    ::close(fd);
    benchmark::DoNotOptimize(buffer.get());
    return static_cast<double>(total);
}

// The reference writer replaces the target as the wave writer does: a new file beside it,
// renamed over it.
void RawWrite(const std::string& path, const std::vector<BYTE>& buffer)
{
    std::string temp = path + ".new";
    int fd = ::open(temp.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    std::size_t done = 0;
    ssize_t n;
    while (done < buffer.size() && (n = ::write(fd, buffer.data() + done, buffer.size() - done)) > 0)
        done += static_cast<std::size_t>(n);
    ::close(fd);
    std::rename(temp.c_str(), path.c_str());
}

void BM_RawRead(benchmark::State& state)
{
    Files& f = TheFiles();
    const std::size_t bytes = static_cast<std::size_t>(kFrames) * kFormat.BlockAlign();
    for (auto _ : state)
        benchmark::DoNotOptimize(RawRead(f.raw, bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void BM_WaveReadWhole(benchmark::State& state)
{
    Files& f = TheFiles();
    for (auto _ : state) {
        TWaveFile w(f.wave, TWaveFile::kMemory, false, f.folder);
        benchmark::DoNotOptimize(w.GetData());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFrames) * kFormat.BlockAlign());
}

// Streamed reading in the 4096-frame pieces the segment operations use.
void BM_WaveReadStreamed(benchmark::State& state)
{
    Files& f = TheFiles();
    std::vector<BYTE> piece(static_cast<std::size_t>(TWaveFile::kPieceFrames) * kFormat.BlockAlign());
    for (auto _ : state) {
        TWaveFile w(f.wave, TWaveFile::kStreamed, false, f.folder);
        for (DWORD first = 0; first < w.GetEndFrame(); first += TWaveFile::kPieceFrames) {
            w.Seek(first);
            (void)(w.ReadBytes(piece.data(), static_cast<DWORD>(piece.size())));
        }
        benchmark::DoNotOptimize(piece.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFrames) * kFormat.BlockAlign());
}

void BM_RawWrite(benchmark::State& state)
{
    Files& f = TheFiles();
    std::vector<BYTE> buffer(static_cast<std::size_t>(kFrames) * kFormat.BlockAlign(), 1);
    std::string out = f.folder + "/out.raw";
    for (auto _ : state)
        RawWrite(out, buffer);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}

void BM_WaveWriteWhole(benchmark::State& state)
{
    Files& f = TheFiles();
    TWaveFile w(f.wave, TWaveFile::kMemory, false, f.folder);
    w.SetFileName(f.folder + "/out.wav");
    for (auto _ : state)
        benchmark::DoNotOptimize(w.Save());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFrames) * kFormat.BlockAlign());
}

// Writing a recording: a new streamed wave filled piece by piece, then finished.
void BM_WaveWriteStreamed(benchmark::State& state)
{
    Files& f = TheFiles();
    std::vector<BYTE> piece(static_cast<std::size_t>(TWaveFile::kPieceFrames) * kFormat.BlockAlign(), 1);
    for (auto _ : state) {
        TWaveFile w(kFormat, false, f.folder);
        for (DWORD first = 0; first < kFrames; first += TWaveFile::kPieceFrames)
            (void)(w.WriteBytes(piece.data(), static_cast<DWORD>(piece.size())));
        w.SetFileName(f.folder + "/rec.wav");
        benchmark::DoNotOptimize(w.SaveStreamedAs());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFrames) * kFormat.BlockAlign());
}

BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveReadWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveReadStreamed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveWriteWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveWriteStreamed)->Unit(benchmark::kMillisecond);

} // namespace

// The ratios against the raw reference of the same run are printed after the table.
int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    struct Collector : benchmark::ConsoleReporter {
        std::vector<Run> runs;
        void ReportRuns(const std::vector<Run>& report) override
        {
            runs.insert(runs.end(), report.begin(), report.end());
            ConsoleReporter::ReportRuns(report);
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto time = [&](const std::string& name) {
        for (const auto& r : reporter.runs)
            if (r.benchmark_name() == name)
                return r.GetAdjustedRealTime();
        return 0.0;
    };
    double rawRead = time("BM_RawRead"), rawWrite = time("BM_RawWrite");
    auto ratio = [&](const char* name, double reference) {
        double t = time(name);
        if (t > 0 && reference > 0)
            std::printf("%-24s %6.2f x raw\n", name, t / reference);
    };
    ratio("BM_WaveReadWhole", rawRead);
    ratio("BM_WaveReadStreamed", rawRead);
    ratio("BM_WaveWriteWhole", rawWrite);
    ratio("BM_WaveWriteStreamed", rawWrite);
    benchmark::Shutdown();
    return 0;
}
