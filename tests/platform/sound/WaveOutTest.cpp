// The waveOut functions played through PortAudio into ALSA's file plugin: the bytes that reach
// the file must be exactly the bytes written, and completions must follow Windows' rules.
#include "platform/sound/WaveOut.h"

#include "platform/ui/Wnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// A window that records every MM_WOM_DONE and may answer it.
class Receiver : public CWnd {
public:
    struct Done {
        HWAVEOUT device;
        WAVEHDR* header;
        std::thread::id thread;
    };
    std::vector<Done> done;
    std::function<void(WAVEHDR*)> onDone;

    Receiver() { CreateEx(0, nullptr, "receiver", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr); }
    ~Receiver() override { DestroyWindow(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != MM_WOM_DONE)
            return CWnd::WindowProc(message, wParam, lParam);
        auto* header = reinterpret_cast<WAVEHDR*>(lParam);
        done.push_back({reinterpret_cast<HWAVEOUT>(wParam), header, std::this_thread::get_id()});
        if (onDone)
            onDone(header);
        return 0;
    }
};

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits)
{
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

Bytes Noise(std::size_t bytes, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(bytes);
    for (BYTE& v : b)
        v = static_cast<BYTE>(rng());
    return b;
}

class WaveOutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        char tmpl[] = "/tmp/durnex-sound-XXXXXX";
        dir = mkdtemp(tmpl);
        soundFile = dir / "played.raw";
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
        ASSERT_GE(waveOutGetNumDevs(), 1u);
        SetWaveOutTap([this](const WaveOutTapBlock& block) {
            std::lock_guard lock(tapMutex);
            tapped.insert(tapped.end(), block.Data, block.Data + block.Bytes);
        });
    }
    void TearDown() override
    {
        SetWaveOutTap({});
        AfxPumpMessages(10);
        unsetenv("DURNEX_SOUND_FILE");
        std::filesystem::remove_all(dir);
    }

    // Pumps the user-interface thread until `until` holds; false after 10 seconds.
    static bool PumpUntil(const std::function<bool()>& until)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!until()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            AfxPumpMessages(5);
        }
        return true;
    }

    Bytes Played() const
    {
        std::ifstream in(soundFile, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Bytes Tapped()
    {
        std::lock_guard lock(tapMutex);
        return tapped;
    }

    std::filesystem::path dir;
    std::filesystem::path soundFile;
    std::mutex tapMutex;
    Bytes tapped;
};

TEST_F(WaveOutTest, DoubleBufferedOutputArrivesGaplessInOrderAndWhole)
{
    struct Case {
        DWORD rate;
        WORD channels;
        WORD bits;
    };
    for (const Case c : {Case{8000, 1, 8}, Case{44100, 2, 16}, Case{48000, 1, 24}, Case{22050, 2, 32}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " ch, " << c.bits << " bits");
        const WAVEFORMATEX format = Pcm(c.rate, c.channels, c.bits);
        // Blocks of 50 ms, the last one short, refilled as each header comes back.
        const std::size_t block = std::size_t(format.nSamplesPerSec / 20) * format.nBlockAlign;
        const Bytes data = Noise(block * 7 + format.nBlockAlign * 3, c.bits);
        Receiver receiver;
        HWAVEOUT out = nullptr;
        ASSERT_EQ(waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(receiver.GetSafeHwnd()), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        WAVEHDR headers[2];
        std::vector<Bytes> buffers(2);
        std::size_t next = 0;
        int writes = 0;
        auto refill = [&](WAVEHDR* h) {
            if (next >= data.size())
                return;
            const std::size_t n = std::min(block, data.size() - next);
            Bytes& buffer = buffers[h == &headers[0] ? 0 : 1];
            buffer.assign(data.begin() + std::ptrdiff_t(next), data.begin() + std::ptrdiff_t(next + n));
            next += n;
            h->lpData = reinterpret_cast<LPSTR>(buffer.data());
            h->dwBufferLength = DWORD(n);
            ASSERT_EQ(waveOutPrepareHeader(out, h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            ASSERT_EQ(waveOutWrite(out, h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            ++writes;
        };
        receiver.onDone = [&](WAVEHDR* h) {
            EXPECT_TRUE(h->dwFlags & WHDR_DONE);
            EXPECT_FALSE(h->dwFlags & WHDR_INQUEUE);
            refill(h);
        };
        refill(&headers[0]);
        refill(&headers[1]);
        ASSERT_TRUE(PumpUntil([&] { return int(receiver.done.size()) == writes && next >= data.size(); }));
        AfxPumpMessages(50);
        EXPECT_EQ(int(receiver.done.size()), writes) << "one completion per finished header";
        for (const auto& d : receiver.done) {
            EXPECT_EQ(d.device, out);
            EXPECT_EQ(d.thread, std::this_thread::get_id()) << "completions arrive on the user-interface thread";
        }
        ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
        const Bytes played = Played();
        ASSERT_EQ(played.size(), data.size());
        EXPECT_TRUE(played == data);
        EXPECT_TRUE(Tapped() == data) << "the tap sees what the device was given";
        std::lock_guard lock(tapMutex);
        tapped.clear();
    }
}

TEST_F(WaveOutTest, LoopsRepeatTheirHeadersAndCompleteOnlyAtTheEnd)
{
    const WAVEFORMATEX format = Pcm(16000, 1, 16);
    Receiver receiver;
    HWAVEOUT out = nullptr;
    ASSERT_EQ(waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(receiver.GetSafeHwnd()), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    // A loop over two headers, played three times, then a plain header.
    Bytes a = Noise(3000, 1), b = Noise(1002, 2), c = Noise(500, 3);
    WAVEHDR ha, hb, hc;
    ha.lpData = reinterpret_cast<LPSTR>(a.data());
    ha.dwBufferLength = DWORD(a.size());
    ha.dwFlags = WHDR_BEGINLOOP;
    ha.dwLoops = 3;
    hb.lpData = reinterpret_cast<LPSTR>(b.data());
    hb.dwBufferLength = DWORD(b.size());
    hb.dwFlags = WHDR_ENDLOOP;
    hc.lpData = reinterpret_cast<LPSTR>(c.data());
    hc.dwBufferLength = DWORD(c.size());
    for (WAVEHDR* h : {&ha, &hb, &hc}) {
        ASSERT_EQ(waveOutPrepareHeader(out, h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(out, h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_TRUE(PumpUntil([&] { return receiver.done.size() == 3; }));
    EXPECT_EQ(receiver.done[0].header, &ha);
    EXPECT_EQ(receiver.done[1].header, &hb);
    EXPECT_EQ(receiver.done[2].header, &hc);
    Bytes expected;
    for (int i = 0; i < 3; ++i) {
        expected.insert(expected.end(), a.begin(), a.end());
        expected.insert(expected.end(), b.begin(), b.end());
    }
    expected.insert(expected.end(), c.begin(), c.end());

    // An endless loop runs until reset, which returns the header at once.
    WAVEHDR endless;
    Bytes d = Noise(800, 4);
    endless.lpData = reinterpret_cast<LPSTR>(d.data());
    endless.dwBufferLength = DWORD(d.size());
    endless.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    endless.dwLoops = 0x80000000;
    ASSERT_EQ(waveOutPrepareHeader(out, &endless, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &endless, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_TRUE(PumpUntil([&] { return Tapped().size() > expected.size() + 20 * d.size(); }));
    EXPECT_FALSE(endless.dwFlags & WHDR_DONE);
    EXPECT_EQ(waveOutClose(out), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
    EXPECT_TRUE(endless.dwFlags & WHDR_DONE);
    ASSERT_TRUE(PumpUntil([&] { return receiver.done.size() == 4; }));
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);

    const Bytes played = Played();
    ASSERT_GT(played.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
    EXPECT_EQ((played.size() - expected.size()) % format.nBlockAlign, 0u);
    for (std::size_t i = expected.size(); i < played.size(); ++i)
        ASSERT_EQ(played[i], d[(i - expected.size()) % d.size()]) << "byte " << i << " of the endless loop";
}

TEST_F(WaveOutTest, PauseHoldsTheQueueAndRestartPlaysItWhole)
{
    const WAVEFORMATEX format = Pcm(8000, 2, 16);
    Receiver receiver;
    HWAVEOUT out = nullptr;
    ASSERT_EQ(waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(receiver.GetSafeHwnd()), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
    Bytes data = Noise(6400, 5);
    WAVEHDR h;
    h.lpData = reinterpret_cast<LPSTR>(data.data());
    h.dwBufferLength = DWORD(data.size());
    ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    AfxPumpMessages(200);
    EXPECT_TRUE(Tapped().empty());
    EXPECT_TRUE(receiver.done.empty());
    EXPECT_EQ(waveOutUnprepareHeader(out, &h, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveOutRestart(out), MMSYSERR_NOERROR);
    ASSERT_TRUE(PumpUntil([&] { return receiver.done.size() == 1; }));
    EXPECT_EQ(waveOutUnprepareHeader(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(out, &h, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(Played(), data);
}

TEST_F(WaveOutTest, NoCompletionArrivesAfterCloseOrAfterTheWindowIsGone)
{
    const WAVEFORMATEX format = Pcm(44100, 1, 16);
    Bytes data = Noise(44100, 6);
    {
        // Closed the way a port closes: pause, reset, unprepare, close, before anything is heard.
        Receiver receiver;
        HWAVEOUT out = nullptr;
        ASSERT_EQ(waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(receiver.GetSafeHwnd()), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        WAVEHDR h[2];
        for (WAVEHDR& one : h) {
            one.lpData = reinterpret_cast<LPSTR>(data.data());
            one.dwBufferLength = DWORD(data.size());
            ASSERT_EQ(waveOutPrepareHeader(out, &one, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            ASSERT_EQ(waveOutWrite(out, &one, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
        ASSERT_TRUE(PumpUntil([&] { return !Tapped().empty(); }));
        EXPECT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
        EXPECT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
        for (WAVEHDR& one : h) {
            EXPECT_TRUE(one.dwFlags & WHDR_DONE);
            EXPECT_EQ(waveOutUnprepareHeader(out, &one, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
        ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
        AfxPumpMessages(300);
        EXPECT_TRUE(receiver.done.empty());
        EXPECT_EQ(waveOutPause(out), MMSYSERR_INVALHANDLE) << "a closed handle stays invalid";
    }
    {
        // The window goes while its header plays; the output finishes without it.
        auto receiver = std::make_unique<Receiver>();
        HWAVEOUT out = nullptr;
        ASSERT_EQ(waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(receiver->GetSafeHwnd()), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        WAVEHDR h;
        h.lpData = reinterpret_cast<LPSTR>(data.data());
        h.dwBufferLength = DWORD(data.size());
        ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        receiver.reset();
        ASSERT_TRUE(PumpUntil([&] { return (h.dwFlags & WHDR_DONE) != 0; }));
        EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    }
}

TEST_F(WaveOutTest, RefusesWhatItCannotPlay)
{
    Receiver receiver;
    HWAVEOUT out = nullptr;
    const auto window = reinterpret_cast<DWORD_PTR>(receiver.GetSafeHwnd());
    WAVEFORMATEX twelve = Pcm(8000, 1, 16);
    twelve.nBlockAlign = 3; // a block that doesn't match the sample width
    EXPECT_EQ(waveOutOpen(&out, 0, &twelve, window, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    WAVEFORMATEX floating = Pcm(8000, 1, 32);
    floating.wFormatTag = 3;
    EXPECT_EQ(waveOutOpen(&out, 0, &floating, window, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(&out, waveOutGetNumDevs(), &floating, window, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    const WAVEFORMATEX fine = Pcm(8000, 1, 16);
    EXPECT_EQ(waveOutOpen(&out, waveOutGetNumDevs(), &fine, window, 0, CALLBACK_WINDOW), MMSYSERR_BADDEVICEID);

    // 24 bits in the extensible description, as Windows XP-class systems are given them.
    WAVEFORMATEXTENSIBLE ext;
    ext.Format = Pcm(48000, 1, 24);
    ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    ext.Format.cbSize = 22;
    ext.wValidBitsPerSample = 24;
    ext.dwChannelMask = SPEAKER_FRONT_LEFT;
    ext.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    ASSERT_EQ(waveOutOpen(&out, 0, &ext.Format, window, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    Bytes data = Noise(300, 7);
    WAVEHDR h;
    h.lpData = reinterpret_cast<LPSTR>(data.data());
    h.dwBufferLength = DWORD(data.size());
    EXPECT_EQ(waveOutWrite(out, &h, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(out, &h, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    ASSERT_TRUE(PumpUntil([&] { return receiver.done.size() == 1; }));
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(Played(), data);
}

TEST_F(WaveOutTest, DeviceListFollowsTheSystem)
{
    WAVEOUTCAPSA caps;
    ASSERT_EQ(waveOutGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "default") << "the system's default output comes first";
    EXPECT_EQ(caps.wChannels, 2);
    EXPECT_EQ(waveOutGetDevCapsA(waveOutGetNumDevs(), &caps, sizeof caps), MMSYSERR_BADDEVICEID);

    // With nothing open the list is read again: here the system loses its only card.
    const std::string saved = std::getenv("ALSA_CONFIG_PATH");
    setenv("ALSA_CONFIG_PATH", DURNEX_TEST_DATA "/asound-none.conf", 1);
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    HWAVEOUT out = nullptr;
    const WAVEFORMATEX format = Pcm(8000, 1, 16);
    EXPECT_EQ(waveOutOpen(&out, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NODRIVER);
    EXPECT_NE(std::string(waveOutLastOpenFailure()), "");
    setenv("ALSA_CONFIG_PATH", saved.c_str(), 1);
    EXPECT_GE(waveOutGetNumDevs(), 1u);
}

} // namespace
