// The generator plays through the sound card into ALSA's file plugin (the tests' sound
// configuration): a play-once signal arrives whole and the window goes back to idle by itself;
// a looped one keeps coming until Stop.
#include "platform/ui/Dialog.h"
#include "records/AppMessages.h"
#include "siggen/CSigGen.h"
#include "support/MdiFrameFixture.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace {
class PlayFrame : public CMDIFrameWnd {};

class GeneratorPlayback : public MdiFrameTest<PlayFrame> {
protected:
    void SetUp() override
    {
        MdiFrameTest<PlayFrame>::SetUp();
        soundFile = std::filesystem::temp_directory_path() / ("durnex-siggen-played-" + std::to_string(::getpid()));
        std::filesystem::remove(soundFile);
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
        output.SigGenSamplingRate = 8000;
        output.SigGenBitsPerSample = 16;
        channel[0].Type = 11;
        channel[0].Pulse = {1000, 10000, 1}; // 80 frames, 8 of them high
    }
    void TearDown() override
    {
        unsetenv("DURNEX_SOUND_FILE");
        std::filesystem::remove(soundFile);
        MdiFrameTest<PlayFrame>::TearDown();
    }
    CSigGen* Open()
    {
        SigGenLinks links;
        links.Channel = channel;
        links.Output = &output;
        links.UseSoundCard = &useCard;
        links.SoundCardIndex = &cardIndex;
        auto* gen = new CSigGen;
        EXPECT_TRUE(gen->CreateWnd(frame, 0, 0, links));
        EXPECT_TRUE(PumpUntil([&] { return !gen->IsBuilding() && gen->GetWaveform(); }));
        AfxPumpMessages(10);
        return gen;
    }
    static bool PumpUntil(const std::function<bool()>& until)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!until()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            AfxPumpMessages(5);
        }
        return true;
    }
    // The first `most` bytes that reached the card (the test card takes them as fast as they
    // come, so a looped signal grows the file quickly).
    std::string Played(std::size_t most) const
    {
        std::ifstream in(soundFile, std::ios::binary);
        std::string bytes(most, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(most));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        return bytes;
    }
    std::uintmax_t PlayedSize() const
    {
        std::error_code ec;
        const auto size = std::filesystem::file_size(soundFile, ec);
        return ec ? 0 : size;
    }
    static std::string Bytes(const TWaveData* w)
    {
        return std::string(reinterpret_cast<const char*>(w->GetData()), w->GetDataBytes());
    }

    std::filesystem::path soundFile;
    SigGenChannelSettings channel[2];
    OutputDeviceSettings output;
    BYTE useCard = 1;
    DWORD cardIndex = 0;
};
} // namespace

TEST_F(GeneratorPlayback, APlayOnceSignalArrivesWholeAndTheWindowGoesIdle)
{
    CSigGen* gen = Open();
    ASSERT_FALSE(gen->IsLoopedWaveform());
    gen->StartOutput();
    ASSERT_TRUE(gen->IsRunning());
    EXPECT_EQ(gen->GetWindowTextString(), "");
    ASSERT_TRUE(PumpUntil([&] { return !gen->IsRunning(); }));
    EXPECT_EQ(gen->GetWindowTextString(), "Signal Generator");
    const std::string wave = Bytes(gen->GetWaveform());
    EXPECT_EQ(Played(wave.size()), wave);
    delete gen;
}

TEST_F(GeneratorPlayback, ALoopedSignalRepeatsUntilStop)
{
    channel[0].Pulse.SingleShot = 0;
    CSigGen* gen = Open();
    const std::string wave = Bytes(gen->GetWaveform());
    gen->StartOutput();
    ASSERT_TRUE(gen->IsRunning());
    ASSERT_TRUE(PumpUntil([&] { return PlayedSize() >= 3 * wave.size(); }));
    EXPECT_TRUE(gen->IsRunning());
    gen->StopOutput();
    EXPECT_FALSE(gen->IsRunning());
    const std::string played = Played(3 * wave.size());
    for (std::size_t copy = 0; copy < 3; ++copy)
        EXPECT_EQ(played.substr(copy * wave.size(), wave.size()), wave) << copy;
    delete gen;
}

// The tests' card takes frames as fast as they come: a looped signal must still be handed over
// in real time, not as fast as the sink swallows it.
TEST_F(GeneratorPlayback, ALoopedSignalKeepsRealTimeOnASinkThatNeverBlocks)
{
    channel[0].Pulse.SingleShot = 0;
    CSigGen* gen = Open();
    const auto start = std::chrono::steady_clock::now();
    gen->StartOutput();
    ASSERT_TRUE(gen->IsRunning());
    PumpUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500); });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::uintmax_t played = PlayedSize();
    gen->StopOutput();
    const double bytesPerSecond = 8000.0 * 2;
    // Real time plus the device's lead (its latency and a tenth of a second) and a block.
    EXPECT_LT(double(played), (seconds + 1.0) * bytesPerSecond) << seconds << " s";
    EXPECT_GT(double(played), 0.5 * bytesPerSecond); // and it does play
    delete gen;
}
