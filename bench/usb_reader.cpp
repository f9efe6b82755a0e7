// The device reader thread's cost: 8 channels streamed from the simulator on the real clock
// (one 512-byte packet every 4 ms) for 2 s. "core_fraction" is the processor time of the
// process (reader thread and the simulator's packet building, which runs in the reader's reads)
// per second of acquisition: the share of one core that live input costs.
#include "acquisition/TUsbDevice.h"
#include "platform/usb/KdrSimulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void BM_ReaderThread8Channels(benchmark::State& state)
{
    kdrsim::SelectSimulator(true);
    std::string error;
    kdrsim::ConfigureSources("0=sine:1000:-6;1=noise:-20;2=dc:0.1;3=sine:50:-3;4=noise:-40;5=sine:440;6=noise", &error);
    UsbDeviceSettings settings;
    for (auto& ch : settings.Channels)
        ch.bIsEnabled = 1;
    TUsbDevice device;
    if (!device.OpenDevice(nullptr, 0, 1) || !device.SetDeviceConfigurationAD(settings, 4096, false, 0)) {
        state.SkipWithError("simulator did not open");
        return;
    }
    for (auto _ : state) {
        device.StartInput();
        const double cpu0 = ProcessCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double cpu = ProcessCpuSeconds() - cpu0;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        device.StopInput();
        state.SetIterationTime(wall);
        state.counters["core_fraction"] = cpu / wall;
        state.counters["samples_per_channel"] = double(device.GetSampleCounter());
    }
    device.CloseDevice();
    kdrsim::SelectSimulator(false);
}
BENCHMARK(BM_ReaderThread8Channels)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
