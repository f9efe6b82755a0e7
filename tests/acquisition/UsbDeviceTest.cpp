// The device layer over the simulator: what the simulator sends arrives, sample for sample, in
// each channel's ring; reads never cross the writer; faults stop nothing and lose nothing.
#include "SimulatorFixture.h"

#include "app/TestScratch.h"
#include "platform/core/Responder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <dirent.h>
#include <fstream>
#include <thread>
#include <vector>

using simtest::SimulatorTest;

namespace {

std::int32_t Steps(double fraction) { return std::int32_t(std::lround(fraction * 8388607.0)); }

int ThreadCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// The thread count once it has come down to `expected`, or after two seconds: a joined thread
// can stay listed a moment while the kernel finishes its exit, longer on a busy machine.
int ThreadCountSettledAt(int expected)
{
    for (int i = 0; i < 200 && ThreadCount() != expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ThreadCount();
}

// A 24-bit mono wave file at 4000 Hz written by Python's wave module, and its samples as text.
std::vector<std::int32_t> WriteTake(const std::filesystem::path& wav, int frames)
{
    const std::filesystem::path txt = wav.string() + ".txt";
    EXPECT_TRUE(apptest::RunPython("usb", "import random, wave\n"
                                          "random.seed(5)\n"
                                          "v = [random.randint(-8388607, 8388607) for _ in range(" + std::to_string(frames) + ")]\n"
                                          "w = wave.open('" + wav.string() + "', 'wb')\n"
                                          "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                                          "w.writeframes(b''.join(x.to_bytes(3, 'little', signed=True) for x in v))\n"
                                          "w.close()\n"
                                          "open('" + txt.string() + "', 'w').write('\\n'.join(map(str, v)))\n"));
    std::vector<std::int32_t> samples;
    std::ifstream in(txt);
    for (long long v; in >> v;)
        samples.push_back(std::int32_t(v));
    return samples;
}

} // namespace

TEST_F(SimulatorTest, PacketsLandInTheirChannelsWithTheDevicesBlockMapAndLevels)
{
    // Channels 0 and 7 share block 6 (channel 0's source); block 7 is never stored.
    Sources("0=dc:0.5;1=dc:1;2=dc:0.1;3=dc:-0.25;4=dc:0.98855309;5=dc:0.96605088;6=dc:-1;7=dc:0.9");
    TUsbDevice device;
    Start(device, AllChannels());
    Run(40);
    EXPECT_EQ(device.GetSampleCounter(), 160);
    const std::int32_t expected[8] = {Steps(0.5),        Steps(1),           Steps(0.1),  Steps(-0.25),
                                      Steps(0.98855309), Steps(0.96605088), Steps(-1),   Steps(0.5)};
    for (int ch = 0; ch < 8; ++ch) {
        std::vector<int> got(160);
        ASSERT_EQ(device.ReadSamples(ch, 0, 160, got.data()), TUsbDevice::RingRead::Ok) << ch;
        for (int v : got)
            ASSERT_EQ(v, expected[ch]) << "channel " << ch;
    }
    // 100 + peak in dB re full scale, truncated; above 99.8 it is 100 (0 dB, -0.1 dB).
    EXPECT_EQ(device.GetChannelLevel(1), 100u);
    EXPECT_EQ(device.GetChannelLevel(2), 80u);  // -20 dB
    EXPECT_EQ(device.GetChannelLevel(3), 87u);  // -12.04 dB
    EXPECT_EQ(device.GetChannelLevel(4), 100u); // 99.9
    EXPECT_EQ(device.GetChannelLevel(5), 99u);  // 99.7
    EXPECT_EQ(device.GetChannelLevel(6), 100u); // negative full scale
    EXPECT_EQ(device.GetChannelLevel(8), 0u);
    EXPECT_EQ(device.GetChannelLevel(-1), 0u);
}

// What the device says of itself holds on the wire: as many channels as it reports carry
// data, and every output request is refused without disturbing the running input.
TEST_F(SimulatorTest, TheReportedChannelsCarryDataAndOutputIsRefusedWithoutStoppingInput)
{
    Sources("1=dc:0.25");
    TUsbDevice device;
    Start(device, AllChannels());
    Run(40);
    const int channels = device.GetMaxChannels();
    ASSERT_EQ(channels, device.GetChannelCount());
    std::vector<int> got(160);
    for (int ch = 0; ch < channels; ++ch)
        EXPECT_EQ(device.ReadSamples(ch, 0, 160, got.data()), TUsbDevice::RingRead::Ok) << ch;
    EXPECT_EQ(device.ReadSamples(channels, 0, 160, got.data()), TUsbDevice::RingRead::NoRing);

    // No output channel, rate or resolution, and every request refused.
    EXPECT_EQ(device.GetOutputChannelCount() + device.GetOutputRateLimit() + device.GetOutputFlags(), 0);
    std::vector<std::int32_t> block(8192, 1000);
    EXPECT_FALSE(device.OpenOutput(8000, 16, 1));
    EXPECT_FALSE(device.WriteOutputBuffer(0, 8192, block.data(), 16));
    EXPECT_FALSE(device.StartOutput());
    device.StopOutput();
    Run(40);
    EXPECT_EQ(device.GetSampleCounter(), 320);
    got.resize(320);
    ASSERT_EQ(device.ReadSamples(1, 0, 320, got.data()), TUsbDevice::RingRead::Ok);
    for (int v : got)
        ASSERT_EQ(v, Steps(0.25));
    EXPECT_EQ(device.GetLostPackets(), 0);
}

TEST_F(SimulatorTest, RawPacketsAreDecodedBigEndianAndTheExtremeWordIsSafe)
{
    BYTE packet[512];
    for (int b = 0; b < 8; ++b)
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t w = b == 7 ? 0x0ABCDEFu : std::uint32_t(b << 20 | i << 8 | 0x5A);
            packet[64 * b + 4 * i] = BYTE(w >> 24);
            packet[64 * b + 4 * i + 1] = BYTE(w >> 16);
            packet[64 * b + 4 * i + 2] = BYTE(w >> 8);
            packet[64 * b + 4 * i + 3] = BYTE(w);
        }
    packet[64 * 6] = 0x80; // word 0 of block 6: INT_MIN, which no absolute value can hold
    packet[64 * 6 + 1] = packet[64 * 6 + 2] = packet[64 * 6 + 3] = 0;
    kdrsim::SendRawPacket(packet);
    TUsbDevice device;
    Start(device, AllChannels());
    Run(4);
    ASSERT_EQ(device.GetSampleCounter(), 16);
    for (int ch = 0; ch < 8; ++ch) {
        int got[16];
        ASSERT_TRUE(device.CopyLatestPacket(ch, 16, got));
        const int b = ch == 0 || ch == 7 ? 6 : ch - 1;
        for (int i = 0; i < 16; ++i) {
            const int want = b == 6 && i == 0 ? INT_MIN : (b << 20 | i << 8 | 0x5A);
            EXPECT_EQ(got[i], want) << ch << "," << i;
            EXPECT_NE(got[i], 0x0ABCDEF);
        }
    }
    EXPECT_EQ(device.GetChannelLevel(0), 100u); // overload, not undefined
}

TEST_F(SimulatorTest, EverySampleArrivesExactlyAcrossRingWrapsForMinutes)
{
    const auto folder = apptest::FreshScratchFolder("usb");
    const std::vector<std::int32_t> take = WriteTake(folder / "take.wav", 4099);
    ASSERT_EQ(take.size(), 4099u);
    Sources("1=sine:1000:-6;3=file:" + (folder / "take.wav").string());
    TUsbDevice device;
    UsbDeviceSettings settings = AllChannels();
    Start(device, settings);
    const int length = device.GetRingLength();
    ASSERT_EQ(length, 240000);
    const double a = 8388607.0 * std::pow(10.0, -6.0 / 20.0);
    // Read as the wave-writing timer does: 256 samples at a time from a remembered ring index.
    int position = 0;
    long long absolute = 0;
    long long sineChecked = 0;
    std::vector<int> block(256);
    for (int second = 0; second < 200; ++second) { // 3 1/3 ring lengths
        Run(1000);
        while (device.ReadRingAt(3, position, 256, block.data(), &position)) {
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(block[i], take[std::size_t((absolute + i) % 4099)]) << "sample " << absolute + i;
            absolute += 256;
        }
        // The sine at a quarter of the rate: 0, +A, 0, -A, ... by absolute sample number.
        std::vector<int> sine(4000);
        ASSERT_EQ(device.ReadSamples(1, sineChecked, 4000, sine.data()), TUsbDevice::RingRead::Ok);
        for (int i = 0; i < 4000; ++i) {
            const long long n = sineChecked + i;
            const int want = n % 2 == 0 ? 0 : (n % 4 == 1 ? int(std::lround(a)) : -int(std::lround(a)));
            ASSERT_EQ(sine[std::size_t(i)], want) << n;
        }
        sineChecked += 4000;
    }
    EXPECT_EQ(device.GetSampleCounter(), 800000);
    EXPECT_GT(absolute, 800000 - 512);
    EXPECT_EQ(device.GetRingFill(), length);
    EXPECT_EQ(device.GetWriteIndex(), 800000 % length);
}

TEST_F(SimulatorTest, OverrunsAreReportedNotReadAsData)
{
    Sources("0=noise:-10");
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(0);
    Start(device, settings);
    Run(61000); // a second more than the ring holds
    std::vector<int> out(100);
    EXPECT_EQ(device.ReadSamples(0, 0, 100, out.data()), TUsbDevice::RingRead::Overrun);
    EXPECT_EQ(device.ReadSamples(0, 4000, 100, out.data()), TUsbDevice::RingRead::Ok);
    EXPECT_EQ(device.ReadSamples(0, 244000 - 50, 100, out.data()), TUsbDevice::RingRead::NotYet);
    EXPECT_EQ(device.ReadSamples(1, 4000, 100, out.data()), TUsbDevice::RingRead::NoRing);
}

TEST_F(SimulatorTest, NewestBlockFollowsTheClockAndHandlesTheWrapBehindTheWriteIndex)
{
    Sources("0=noise:-10");
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(0);
    std::vector<int> block(1024), truth(1024);
    Start(device, settings);
    EXPECT_FALSE(device.ReadRingBlock(0, 1024, block.data(), TUsbDevice::Now())); // nothing yet
    // Just past a wrap: the write index is 64, so the block ends before the ring's start.
    Run(60016);
    const long long counter = device.GetSampleCounter();
    ASSERT_EQ(counter, 240064);
    ASSERT_EQ(device.GetWriteIndex(), 64);
    const DWORD last = TUsbDevice::Now();
    for (DWORD late : {0u, 2u, 10u, 63u}) {
        ASSERT_TRUE(device.ReadRingBlock(0, 1024, block.data(), last + late)) << late;
        const long long since = late * 4000 / 1000;
        const long long end = counter - (256 - since); // absolute number of the block's last sample
        ASSERT_EQ(device.ReadSamples(0, end - 1023, 1024, truth.data()), TUsbDevice::RingRead::Ok);
        EXPECT_EQ(block, truth) << late;
    }
    EXPECT_FALSE(device.ReadRingBlock(0, 1024, block.data(), last + 64));
    EXPECT_FALSE(device.ReadRingBlock(0, 1024, block.data(), last + 70));
    EXPECT_FALSE(device.ReadRingBlock(0, device.GetRingLength() + 1, block.data(), last));
    EXPECT_FALSE(device.ReadRingBlock(1, 1024, block.data(), last)); // no ring
}

TEST_F(SimulatorTest, RingReadsStopShortOfTheNewestSample)
{
    Sources("0=dc:0.3");
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(0);
    Start(device, settings);
    Run(60000 + 400); // wrapped; write index 1600
    const int write = device.GetWriteIndex();
    ASSERT_EQ(write, 1600);
    std::vector<int> out(1000);
    // From 1000 samples behind the writer: the read up to and including the newest sample fails.
    EXPECT_FALSE(device.ReadRing(0, write - 1000, 1000, out.data()));
    EXPECT_TRUE(device.ReadRing(0, write - 1000, 999, out.data()));
    EXPECT_EQ(out[998], Steps(0.3));
    EXPECT_EQ(device.CountReadable(0, write - 1000, 5000), 999);
    int next = -1;
    EXPECT_FALSE(device.ReadRingAt(0, write - 10, 20, out.data(), &next)); // spans the writer
    EXPECT_TRUE(device.ReadRingAt(0, write + 10, 20, out.data(), &next));
    EXPECT_EQ(next, write + 30);
    // Across the ring's end, clear of the writer.
    EXPECT_TRUE(device.ReadRingAt(0, device.GetRingLength() - 5, 10, out.data(), &next));
    EXPECT_EQ(next, 5);
    EXPECT_FALSE(device.ReadRing(0, device.GetRingLength(), 1, out.data())); // not a ring index
}

TEST_F(SimulatorTest, ZeroAndShortPacketsAreDroppedAsTheDeviceSays)
{
    const auto folder = apptest::FreshScratchFolder("usb");
    const std::vector<std::int32_t> take = WriteTake(folder / "take.wav", 997);
    Sources("1=file:" + (folder / "take.wav").string());
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(1);
    Start(device, settings);
    Run(8); // packets 0, 1
    ASSERT_EQ(device.GetSampleCounter(), 32);
    const DWORD lastTime = TUsbDevice::Now();
    kdrsim::SendZeroPackets(3); // packets 2..4 are all zero: nothing counted, no packet time
    Run(12);
    EXPECT_EQ(device.GetSampleCounter(), 32);
    std::vector<int> block(16);
    EXPECT_TRUE(device.ReadRingBlock(1, 16, block.data(), lastTime + 63));
    EXPECT_FALSE(device.ReadRingBlock(1, 16, block.data(), lastTime + 64));
    // One short read then a full re-read: the re-read's packet (6) is taken, the short one (5) lost.
    kdrsim::SendShortReads(1, 300);
    Run(8);
    EXPECT_EQ(device.GetSampleCounter(), 48);
    // Two short reads in a row drop both (7, 8); packet 9 is whole.
    kdrsim::SendShortReads(2, 300);
    Run(12);
    EXPECT_EQ(device.GetSampleCounter(), 64);
    // The three short reads are lost; the zero packets carried nothing, so nothing is missing.
    EXPECT_EQ(device.GetLostPackets(), 3);
    std::vector<int> got(64);
    ASSERT_EQ(device.ReadSamples(1, 0, 64, got.data()), TUsbDevice::RingRead::Ok);
    const int packetOf[4] = {0, 1, 6, 9};
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(got[std::size_t(16 * p + i)], take[std::size_t((16 * packetOf[p] + i) % 997)]) << p << "," << i;
}

// Slots the device's clock passed without a packet while reads timed out are lost packets,
// for a stall one timeout long or many; a long quiet run counts nothing.
TEST_F(SimulatorTest, StallsAreCountedAsLostPacketsByTheDevicesClock)
{
    Sources("2=sine:250:-3");
    TUsbDevice device;
    Start(device, OnlyChannel(2));
    struct Case { DWORD stall; long long lost; };
    const Case cases[] = {{3000, 750}, {600, 150}, {30000, 7500}};
    long long expected = 0;
    Run(5000);
    EXPECT_EQ(device.GetLostPackets(), 0);
    for (const Case& c : cases) {
        const long long before = device.GetSampleCounter();
        kdrsim::Stall(c.stall);
        Run(c.stall / 2);
        // Halfway through, long enough in real time for a read to time out.
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        Run(c.stall - c.stall / 2 + 3000);
        expected += c.lost;
        EXPECT_EQ(device.GetLostPackets(), expected) << c.stall;
        // What the files get plus what is counted lost is the whole run.
        EXPECT_EQ(device.GetSampleCounter() - before + c.lost * 16, (c.stall + 3000) * 4) << c.stall;
    }
    device.StopInput();
    device.CloseDevice();
}

TEST_F(SimulatorTest, AStallOrAnUnplugStopsTheDataButNotTheRunAndKeepsTheRings)
{
    Sources("2=sine:250:-3");
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(2);
    Start(device, settings);
    Run(2000);
    std::vector<int> before(8000), after(8000), block(512);
    ASSERT_EQ(device.ReadSamples(2, 0, 8000, before.data()), TUsbDevice::RingRead::Ok);
    kdrsim::Stall(200);
    Run(100);
    EXPECT_EQ(device.GetSampleCounter(), 8000);
    EXPECT_FALSE(device.ReadRingBlock(2, 512, block.data(), TUsbDevice::Now()));
    Run(200);
    EXPECT_GT(device.GetSampleCounter(), 8000);
    EXPECT_TRUE(device.ReadRingBlock(2, 512, block.data(), TUsbDevice::Now()));

    const long long counter = device.GetSampleCounter();
    kdrsim::Unplug();
    Run(500);
    EXPECT_EQ(device.GetSampleCounter(), counter);
    EXPECT_FALSE(device.ReadRingBlock(2, 512, block.data(), TUsbDevice::Now()));
    ASSERT_EQ(device.ReadSamples(2, 0, 8000, after.data()), TUsbDevice::RingRead::Ok);
    EXPECT_EQ(before, after);
    device.StopInput(); // joins at once
    device.CloseDevice();
    EXPECT_FALSE(device.IsOpen());

    // Off the bus the device is not found, without a message of the layer's own.
    Responder user;
    EXPECT_FALSE(device.OpenDevice(nullptr, 0, 1));
    EXPECT_TRUE(user.Shown().empty());
    kdrsim::Plug();
    Start(device, settings);
    Run(100);
    EXPECT_EQ(device.GetSampleCounter(), 400);
}

TEST_F(SimulatorTest, AThousandStartsAndStopsLeaveNoThreadAndNeverHang)
{
    Sources("0=noise:-20");
    const int threadsBefore = ThreadCount();
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(0);
    ASSERT_TRUE(device.OpenDevice(nullptr, 0, 1));
    ASSERT_TRUE(device.SetDeviceConfigurationAD(settings, 1024, false, 0));
    const long long startsBefore = kdrsim::StartCommands();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(device.StartInput()) << i;
        if (i % 10 == 0) {
            kdrsim::AdvanceClock(8);
            ASSERT_TRUE(kdrsim::WaitUntilDelivered(5000));
        }
        device.StopInput();
        ASSERT_FALSE(device.IsReading());
    }
    // Every start sent its command, unless the stop came before the thread got that far.
    EXPECT_LE(kdrsim::StartCommands() - startsBefore, 1000);
    EXPECT_GE(kdrsim::StartCommands() - startsBefore, 100);
    // Reconfiguring and closing while reading stop the thread first.
    ASSERT_TRUE(device.StartInput());
    ASSERT_TRUE(device.SetDeviceConfigurationAD(settings, 16384, false, 0));
    EXPECT_FALSE(device.IsReading());
    EXPECT_EQ(device.GetRingLength(), 327680);
    ASSERT_TRUE(device.StartInput());
    device.CloseDevice();
    EXPECT_FALSE(device.IsReading());
    EXPECT_EQ(ThreadCountSettledAt(threadsBefore), threadsBefore);
}

TEST_F(SimulatorTest, OpeningFollowsTheDevicesLife)
{
    Responder user;
    TUsbDevice first, second;
    EXPECT_FALSE(first.SetDeviceConfigurationAD(UsbDeviceSettings(), 1024, false, 0)); // not open
    EXPECT_FALSE(first.StartInput());
    ASSERT_TRUE(first.OpenDevice(nullptr, 0, 1));
    // A second open with index 0 closes the device and opens it afresh.
    ASSERT_TRUE(first.SetDeviceConfigurationAD(AllChannels(), 1024, false, 0));
    ASSERT_TRUE(first.StartInput());
    ASSERT_TRUE(first.OpenDevice(nullptr, 0, 1));
    EXPECT_FALSE(first.IsReading());
    EXPECT_TRUE(first.IsOpen());
    first.CloseDevice();
    EXPECT_TRUE(second.OpenDevice(nullptr, 0, 1));
    second.CloseDevice();
    second.CloseDevice();

    char name[32];
    first.GetDeviceName(0, name, sizeof name);
    EXPECT_STREQ(name, "Durnex System");
    EXPECT_EQ(TUsbDevice::RingLengthFor(8192), 240000);
    EXPECT_EQ(TUsbDevice::RingLengthFor(16384), 327680);
}

TEST_F(SimulatorTest, LoopbackCarriesWhatTheSoundOutputPlays)
{
    Sources("5=loopback");
    // 8000 Hz 16-bit stereo: the left channel is a ramp, so every other frame reaches the device.
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 800; ++i) {
        frames.push_back(std::int16_t(i * 32));
        frames.push_back(std::int16_t(-1000));
    }
    kdrsim::LoopbackPlay(frames.data(), 400, 2, 16, 8000);
    kdrsim::LoopbackPlay(frames.data() + 800, 400, 2, 16, 8000); // joins without a seam
    TUsbDevice device;
    const UsbDeviceSettings settings = OnlyChannel(5);
    Start(device, settings);
    Run(100);
    std::vector<int> got(400);
    ASSERT_EQ(device.ReadSamples(5, 0, 400, got.data()), TUsbDevice::RingRead::Ok);
    for (int k = 0; k < 400; ++k) {
        const double want = (2 * k) * 32 / 32768.0 * 8388607.0;
        ASSERT_NEAR(got[std::size_t(k)], want == 0 ? 0 : want, 1.0) << k;
    }
    // Then the queue is empty: silence, dithered by one step.
    std::vector<int> tail(16);
    ASSERT_EQ(device.ReadSamples(5, 384, 16, tail.data()), TUsbDevice::RingRead::Ok);
    Run(8);
    ASSERT_EQ(device.ReadSamples(5, 400, 16, tail.data()), TUsbDevice::RingRead::Ok);
    for (int v : tail)
        EXPECT_EQ(std::abs(v), 1);
}

TEST_F(SimulatorTest, SourceTextsThatCannotBeUsedSayWhy)
{
    std::string error;
    for (const char* bad : {"9=sine:100", "0=sine", "0=sine:3000", "0=hum:50", "1=dc:2", "2=file:/no/such.wav",
                            "x", "0=noise:loud", "3=loopback:9"}) {
        error.clear();
        EXPECT_FALSE(kdrsim::ConfigureSources(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_TRUE(kdrsim::ConfigureSources(" 0 = sine:1000:-6 ; 1=noise:-20;2=dc:0.1;; 5=silence", &error)) << error;

    // A wave whose header claims 1 sample/s: its megabyte of frames would loop for 11 days at the
    // device's rate. Written by Python's wave module, which takes any rate.
    const std::string slow = apptest::FreshScratchFolder("usb-slow").string() + "/slow.wav";
    ASSERT_TRUE(apptest::RunPython("usb", "import wave\n"
                                          "w = wave.open('" + slow + "', 'wb')\n"
                                          "w.setnchannels(1); w.setsampwidth(1); w.setframerate(1)\n"
                                          "w.writeframes(bytes(range(256)) * 4096); w.close()\n"));
    error.clear();
    EXPECT_FALSE(kdrsim::ConfigureSources("0=file:" + slow, &error));
    EXPECT_NE(error.find("more than the hour the simulator loops"), std::string::npos) << error;
}
