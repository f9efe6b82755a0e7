// Edits of a wave file edited in place, made by a child process that is killed outright (after
// the edit returns, or while it runs), and the file it leaves read back by Python's wave module
// and by the program's own reader.
#pragma once

#include "wave/TWaveFile.h"
#include "wave/WaveCalibrationBlock.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wavetest {

// A canonical wave file of pattern samples followed by a calibration chunk of known bytes.
struct CalibratedWave {
    std::string path;
    TPcmFormat format;
    std::vector<std::uint8_t> samples;
    std::array<std::uint8_t, WaveCalibrationBlock::kSize> calibration{};
};

inline CalibratedWave MakeCalibratedWave(const std::string& path, const TPcmFormat& format, std::uint32_t frames)
{
    CalibratedWave w{path, format, PatternBytes(format, frames, 7), {}};
    WaveCalibrationBlock block;
    std::strcpy(block.Name, "Rig 7");
    for (int c = 0; c < 2; ++c) {
        block.Channel[c].IsEnabled = 1;
        block.Channel[c].CalRatio = 2.5f + static_cast<float>(c);
        block.Channel[c].DTGain = 1.0f;
        std::strcpy(block.Channel[c].ChannelName, c == 0 ? "Crown" : "Brow");
    }
    block.WriteToBytes(w.calibration);
    std::vector<std::uint8_t> chunks;
    PutChunk(chunks, "fmt ",
             FmtBody(1, format.Channels, format.SampleRate, format.BlockAlign(),
                     static_cast<std::uint16_t>(format.BytesPerSample * 8)));
    PutChunk(chunks, "data", w.samples);
    std::vector<std::uint8_t> file = Riff(chunks);
    PutLe(file, WaveCalibrationBlock::kChunkId, 4);
    PutLe(file, WaveCalibrationBlock::kSize, 4);
    file.insert(file.end(), w.calibration.begin(), w.calibration.end());
    WriteFile(path, file);
    return w;
}

inline std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, const TPcmFormat& f, std::uint32_t first,
                                       std::uint32_t end)
{
    return {bytes.begin() + static_cast<std::ptrdiff_t>(first) * f.BlockAlign(),
            bytes.begin() + static_cast<std::ptrdiff_t>(end) * f.BlockAlign()};
}

inline std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An edit made the same way on a copy of the file held in memory: its result there is the
// truth the file on disk is held to.
inline std::vector<std::uint8_t> InMemory(const CalibratedWave& w, const std::string& dir,
                                   const std::function<void(TWaveFile&)>& edit)
{
    const std::string copy = dir + "/memory.wav";
    std::filesystem::copy_file(w.path, copy, std::filesystem::copy_options::overwrite_existing);
    TWaveFile m(copy, TWaveFile::kMemory, false, dir);
    edit(m);
    std::vector<std::uint8_t> out(m.GetData(), m.GetData() + m.FramesToBytes(m.GetEndFrame()));
    std::filesystem::remove(copy);
    return out;
}

// Runs `edit` on the file, opened in place, in a child process. The child is killed with
// SIGKILL once the edit has returned or, when `killWhen` is given, as soon as killWhen(path)
// sees the edit under way. True when the edit had returned before the kill.
inline bool EditInKilledChild(const std::string& path, const std::string& tempDir,
                              const std::function<void(TWaveFile&)>& edit,
                              const std::function<bool(const std::string&)>& killWhen = {})
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        ADD_FAILURE() << "no pipe";
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        TWaveFile* w = new TWaveFile(path, TWaveFile::kStreamed, false, tempDir);
        const char started = 's', done = 'd';
        (void)!write(pipeFds[1], &started, 1);
        edit(*w);
        (void)!write(pipeFds[1], &done, 1);
        for (;;)
            pause(); // until killed: nothing is closed, flushed or deleted on the way out
    }
    close(pipeFds[1]);
    char c = 0;
    bool returned = false;
    EXPECT_EQ(read(pipeFds[0], &c, 1), 1);
    if (killWhen) {
        fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        while (!killWhen(path) && read(pipeFds[0], &c, 1) != 1) {
        }
        returned = c == 'd';
    } else {
        pollfd p{pipeFds[0], POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 120000), 1) << "the edit did not return";
        returned = read(pipeFds[0], &c, 1) == 1 && c == 'd';
    }
    kill(child, SIGKILL);
    int how = 0;
    EXPECT_EQ(waitpid(child, &how, 0), child);
    EXPECT_TRUE(WIFSIGNALED(how) && WTERMSIG(how) == SIGKILL) << "the child ended by itself";
    if (killWhen && !returned) {
        fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        returned = read(pipeFds[0], &c, 1) == 1 && c == 'd';
    }
    close(pipeFds[0]);
    return returned;
}

// Python's wave module reads the file as `expected` (or, with `before` given, as either
// `expected` or a file of before's length whose first `keptBytes` are before's), and the
// calibration chunk follows the RIFF chunk with exactly `calibration`'s bytes. Only a finished
// edit must leave nothing after the chunk.
inline void ExpectWaveOnDisk(const std::string& path, const std::vector<std::uint8_t>& expected,
                             const std::array<std::uint8_t, WaveCalibrationBlock::kSize>& calibration,
                             const std::vector<std::uint8_t>* before = nullptr, std::size_t keptBytes = 0)
{
    const std::string base = path + ".check";
    WriteFile(base + ".expected", expected);
    WriteFile(base + ".cal", {calibration.begin(), calibration.end()});
    WriteFile(base + ".before", before != nullptr ? *before : std::vector<std::uint8_t>{});
    std::ofstream(base + ".py") << R"(import struct, sys, wave
path, base, kept, finished = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == '1'
d = open(path, 'rb').read()
w = wave.open(path, 'rb')
n = w.getnframes()
got = w.readframes(n)
size = n * w.getnchannels() * w.getsampwidth()
assert len(got) == size, 'the data chunk names frames the file lacks'
end = 8 + struct.unpack('<I', d[4:8])[0]
end += end & 1
assert d[end:end + 8] == struct.pack('<II', 102, 2048), 'no calibration chunk after the RIFF chunk at %d' % end
assert d[end + 8:end + 2056] == open(base + '.cal', 'rb').read(), 'the calibration bytes differ'
want = open(base + '.expected', 'rb').read()
old = open(base + '.before', 'rb').read()
if finished:
    assert 44 + size + (size & 1) == end and len(d) == end + 2056, 'the file is not exactly samples and chunk'
    assert got == want, 'the samples differ (%d frames read)' % n
else:
    assert got == want or (len(got) == len(old) and got[:kept] == old[:kept]), 'neither the edit nor the file before it'
)";
    EXPECT_EQ(RunCommand("python3 '" + base + ".py' '" + path + "' '" + base + "' " + std::to_string(keptBytes) + " " +
                         (before == nullptr ? "1" : "0")),
              0)
        << path;
    // The program's own reader finds the same frames and the calibration.
    TWaveFile back(path, TWaveFile::kMemory, false, {});
    if (!back.IsError()) {
        EXPECT_TRUE(back.IsCalibrationPresent());
        std::array<std::uint8_t, WaveCalibrationBlock::kSize> read{};
        back.CalibrationBlock().WriteToBytes(read);
        EXPECT_TRUE(read == calibration);
        if (before == nullptr)
            EXPECT_EQ(std::vector<std::uint8_t>(back.GetData(), back.GetData() + back.GetDataBytes()), expected);
    } else {
        EXPECT_TRUE(expected.empty()) << "the program cannot read " << path;
    }
    for (const char* ext : {".expected", ".cal", ".before", ".py"})
        std::remove((base + ext).c_str());
}

} // namespace wavetest
