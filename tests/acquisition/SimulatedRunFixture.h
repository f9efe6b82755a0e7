// A simulated frame that runs channel 0 alone and reads what its runs left on disk: questions
// answered by the start of their text, the device's sine run for whole seconds of the test
// clock, and wave files checked sample by sample by Python's wave module.
#pragma once

#include "acquisition/SimulatedFrameFixture.h"

#include "acquisition/TUsbDevice.h"
#include "res/resource.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A stretch of a file: `frames` of the device's sine at `db` (0, a, 0, -a from its first frame),
// or of the ramp 8 k written by Python (db 0).
struct Stretch {
    int db;
    long long frames;
};

inline constexpr const char* kUnsaved = "The file has not been saved.";
inline constexpr const char* kBuffers = "Data is still available in the Real-Time data buffers.";

class SimulatedRun : public SimulatedFrame {
protected:
    // Answers given to questions whose text begins with a key; the rest get their default.
    std::vector<std::pair<std::string, int>> answers;

    void SetUp() override
    {
        SimulatedFrame::SetUp();
        SetMessageBoxPresenter([this](const MessageBoxRequest& r) {
            asked.push_back(r.text);
            for (const auto& [start, answer] : answers)
                if (r.text.rfind(start, 0) == 0)
                    return answer;
            return DefaultMessageBoxAnswer(r.type);
        });
    }
    // One run of `seconds` of the device's sine at `db`; the samples the device delivered.
    long long Run(int db, int seconds)
    {
        std::string error;
        EXPECT_TRUE(kdrsim::ConfigureSources("0=sine:1000:" + std::to_string(db), &error)) << error;
        frame->ExecuteCommand(ID_RUN);
        EXPECT_TRUE(frame->AcquisitionRunning);
        if (!frame->AcquisitionRunning)
            return 0;
        EXPECT_TRUE(kdrsim::WaitUntilStreaming(5000));
        for (int s = 0; s < seconds && frame->AcquisitionRunning; ++s) {
            kdrsim::AdvanceClock(1000);
            EXPECT_TRUE(kdrsim::WaitUntilDelivered(20000));
            frame->DrainRingsToFiles(false);
        }
        frame->ExecuteCommand(ID_STOP);
        return frame->InputDevice->GetSampleCounter();
    }
    // The wave file (24-bit mono at 4000 Hz) holds exactly these stretches, one after the other.
    static bool Holds(const std::string& path, const std::vector<Stretch>& stretches)
    {
        std::string list;
        for (const Stretch& s : stretches)
            list += "(" + std::to_string(s.db) + ", " + std::to_string(s.frames) + "),";
        return frametest::Python("import wave\n"
                                 "w = wave.open('" + path + "')\n"
                                 "assert w.getnchannels() == 1 and w.getsampwidth() == 3 and w.getframerate() == 4000\n"
                                 "d = w.readframes(w.getnframes())\n"
                                 "v = [int.from_bytes(d[i:i+3], 'little', signed=True) for i in range(0, len(d), 3)]\n"
                                 "at = 0\n"
                                 "for db, n in [" + list + "]:\n"
                                 "    a = round(8388607 * 10 ** (db / 20))\n"
                                 "    for k in range(n):\n"
                                 "        want = 8 * k if db == 0 else [0, a, 0, -a][k % 4]\n"
                                 "        assert v[at + k] == want, (at + k, v[at + k], want)\n"
                                 "    at += n\n"
                                 "assert at == len(v), (len(v), at)\n");
    }
    // How many questions asked so far hold `part`.
    int Asked(const std::string& part) const
    {
        return int(std::count_if(asked.begin(), asked.end(),
                                 [&](const std::string& t) { return t.find(part) != std::string::npos; }));
    }
    // Channel 0's Real Time buffers saved into the wave folder.
    std::vector<std::filesystem::path> SavedBuffers() const
    {
        std::vector<std::filesystem::path> found;
        for (const auto& e : std::filesystem::directory_iterator(Data("wave")))
            if (e.path().filename().string().rfind("Ch_0_", 0) == 0)
                found.push_back(e.path());
        return found;
    }
    // The run's buffer, `frames` of the sine at -6 dB, saved once into the wave folder and named.
    void ExpectBufferSaved(long long frames)
    {
        const std::vector<std::filesystem::path> kept = SavedBuffers();
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(Asked(kept[0].string()), 1) << "the saved buffer is named";
        EXPECT_TRUE(Holds(kept[0].string(), {{-6, frames}}));
    }
    // The frame gone by a road of its own (its close box, the window manager): the application
    // ends as Close() would end it.
    void EndApplication()
    {
        frame = nullptr;
        app->ExitInstance();
        app.reset();
    }
};
