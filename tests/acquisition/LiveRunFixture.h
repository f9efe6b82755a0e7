// A frame in Real Time mode on the built-in KDR-5200 simulator, for tests of live runs: the
// simulator's test clock unless a test asks for the real one, sources written by Python, and the
// checks of what a run's buffer files hold.
#pragma once

#include "app/FrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "wave/TWaveFile.h"
#include "platform/usb/KdrSimulator.h"

#include <fstream>
#include <string>
#include <vector>

namespace livetest {

class LiveRun : public frametest::FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
        kdrsim::UseTestClock(true);
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
    }
    // Channel 0 alone, FFT 1024, flat-top window, Real Time mode.
    void Prepare(const std::string& sources)
    {
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources(sources, &error)) << error;
        ASSERT_NE(Start(), nullptr);
        frame->Settings.OpMode = 0;
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        frame->Settings.Processing[0].FFTsize = 1024;
        frame->Settings.Processing[0].DecimationRatio = 1;
        frame->Settings.Processing[0].SmoothingWindow = 3;
    }
    // Moves the device clock in steps while the frame's timers run.
    void Play(int milliseconds, DWORD step = 20)
    {
        for (int t = 0; t < milliseconds && frame->AcquisitionRunning; t += int(step)) {
            kdrsim::AdvanceClock(step);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
            AfxPumpMessages(25);
        }
    }
    // A 24-bit mono wave at 4000 Hz written by Python, and its samples: `expression` gives
    // v, a list of ints, from x, seeded Gaussian noise of `frames` samples.
    std::vector<std::int32_t> WriteSource(const std::string& name, int frames, const std::string& expression)
    {
        const std::string wav = (root / name).string(), txt = wav + ".txt";
        EXPECT_TRUE(apptest::RunPython("frame", "import random, wave\n"
                                                "random.seed(11)\n"
                                                "x = [max(-8388607, min(8388607, round(random.gauss(0, 1500000)))) for _ in range(" +
                                                    std::to_string(frames) + ")]\n"
                                                "v = " + expression + "\n"
                                                "w = wave.open('" + wav + "', 'wb')\n"
                                                "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                                                "w.writeframes(b''.join(s.to_bytes(3, 'little', signed=True) for s in v))\n"
                                                "w.close()\n"
                                                "open('" + txt + "', 'w').write('\\n'.join(map(str, v)))\n"));
        std::vector<std::int32_t> samples;
        std::ifstream in(txt);
        for (long long v; in >> v;)
            samples.push_back(std::int32_t(v));
        return samples;
    }
    // The channel's buffer file after Stop holds the run's samples [end - length, end) in
    // order, `end` being the device's last sample.
    void ExpectRunSamples(int channel, const std::vector<std::int32_t>& sent, DWORD expectedLength)
    {
        TWaveFile* file = frame->Settings.Files[channel].File.get();
        ASSERT_NE(file, nullptr) << channel;
        ASSERT_EQ(file->GetLength(), expectedLength) << channel;
        const long long counter = frame->InputDevice->GetSampleCounter();
        const long long end = counter;
        ASSERT_GE(end, (long long)expectedLength);
        for (DWORD i = 0; i < expectedLength; ++i) {
            const long long n = end - expectedLength + i;
            ASSERT_EQ(std::int32_t(file->GetSample(i, 0, false)), sent[std::size_t(n % (long long)sent.size())])
                << "channel " << channel << " frame " << i;
        }
    }
};

} // namespace livetest
