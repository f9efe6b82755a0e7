// The frame's records that the results windows read, held by a test, with the UtilityHost
// over them; and a measurement microphone on channel 0 to feed them a known pressure.
#pragma once

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "records/ChannelCalibration.h"
#include "wave/ChannelFileState.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/CompositeChannelSettings.h"
#include "records/UsbDeviceSettings.h"
#include "records/UtilitySettings.h"
#include "utilities/UtilityHost.h"

#include <cmath>
#include <memory>

namespace hosttest {

// A 50 mV/Pa microphone on the device's input at gain 1 (10 V full scale).
constexpr double kVoltsPerPascal = 0.05;

struct HostRecords {
    WORD mode = 0; // Real Time
    UsbDeviceSettings device;
    ChannelFileState files[8] = {};
    CompositeChannelSettings composites[16];
    ChannelProcessingSettings processing[8];
    ChannelScalingSettings scaling[8];
    ChannelCalibration calibration[8];
    LeqChannelSettings leq[8];
    SoundPowerChannelSettings soundPower[16];

    // Only channel 0 on the device and only composite A enabled; channel 0 calibrated in SPL
    // from the microphone's sensitivity, as the calibration dialog does.
    HostRecords()
    {
        for (int ch = 0; ch < 8; ++ch)
            device.Channels[ch].bIsEnabled = ch == 0 ? 1 : 0;
        for (int k = 0; k < 16; ++k)
            composites[k] = CompositeChannelSettings(k);
        ChannelCalibration& c = calibration[0];
        c.IsEnabled = 1;
        c.RefUnits = kUnitSplAir;
        c.RefType = 1; // rms
        c.CalCreateMode = 1;
        c.DTCalVersion = 1;
        c.DTGain = 1.0f;
        c.TransducerSensitivityVolts = static_cast<float>(kVoltsPerPascal);
        ComputeCalibrationFactors(c);
    }

    UtilityHost Host()
    {
        UtilityHost host;
        host.opMode = &mode;
        host.device = &device;
        host.files = files;
        host.composites = composites;
        host.processing = processing;
        host.scaling = scaling;
        host.calibration = calibration;
        host.leq = leq;
        host.soundPower = soundPower;
        return host;
    }

    // Sample `n` of channel 0 (in counts) with a tone of `pascals` rms at the microphone.
    double Tone(double pascals, long long n, double hz = 1000.0) const
    {
        const TPcmFormat& f = processing[0].SampleFormat;
        const double fullScale = (double(f.MaxValue) - f.MinValue) / 2.0;
        const double peak = pascals * kVoltsPerPascal * std::sqrt(2.0) / 10.0 * fullScale;
        return peak * std::sin(2.0 * 3.14159265358979323846 * hz * double(n) / f.SampleRate);
    }

    // Channel 0's spectrum engine after three blocks of that tone, windowed as the frame
    // windows a spectrum of lines (amplitude-corrected).
    std::unique_ptr<SpectralData> Spectrum(double pascals, double hz = 1000.0) const
    {
        const ChannelProcessingSettings& p = processing[0];
        auto engine = std::make_unique<SpectralData>(&p, &scaling[0], false);
        if (engine->HasError())
            return nullptr;
        engine->SetScaling(&calibration[0]);
        TSmoothing window(p.FFTsize, p.SmoothingWindow, TSmoothing::kAmplitudeCorrection);
        for (long long block = 0; block < 3; ++block) {
            float* f = engine->GetFrame();
            for (DWORD i = 0; i < p.FFTsize; ++i)
                f[i] = static_cast<float>(Tone(pascals, block * p.FFTsize + i, hz));
            window.Apply(f);
            engine->ComputeSpectrum();
            engine->Average(false);
        }
        return engine;
    }
};

// The sound pressure level of `pascals` rms: 20 log10(p / 20 uPa).
inline double Spl(double pascals) { return 20.0 * std::log10(pascals / 20e-6); }

} // namespace hosttest
