// TFilter's design from a response table (*.flt): the table's magnitude, with zero phase,
// turned into a symmetric impulse response by the spectrum engine's inverse transform.
#include "dsp/FirFilter.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

bool TFilter::DesignFromResponseFile()
{
    const int n = taps_;
    // At least twice the power of two above the tap count, so the response has room.
    UINT fftSize = 64;
    while (fftSize / 2 <= static_cast<UINT>(std::max(n, 0)) && fftSize < 4096)
        fftSize *= 2;

    ChannelProcessingSettings processing;
    processing.SampleFormat.Set(format_.SampleRate, 1, 2);
    processing.FFTsize = fftSize;
    processing.DecimationRatio = 1;
    processing.ApplyLowPassFilter = 0;
    processing.AverageBlocks = 1;
    processing.AverageType = 0;
    processing.SmoothingWindow = TSmoothing::kUniform;
    processing.OverlapPercent = 0;
    processing.ChannelProcessing = 0;
    processing.DelayChannel = 0;
    processing.DelayTimeMsec = 0.0f;
    processing.EnableOverloadDetection = 1;
    processing.ExcludeOverloadFlag = 0;
    processing.RateMultiplier = 1.0f;
    ChannelScalingSettings scaling;
    scaling.AmpScaleType = 0;
    scaling.FreqScaleType = 0;
    scaling.OctaveNumber = 3;
    scaling.SpectralDensityFlag = 0;
    scaling.StandardWeighting = 0;
    scaling.TotalPowerWeighting = 0;
    scaling.MicCompEnable = 0;
    scaling.MicCompFilename[0] = '\0';

    auto engine = std::make_unique<SpectralData>(&processing, &scaling, false);
    if (engine->HasError())
        return false;
    const int bins = engine->GetBinCount();
    std::unique_ptr<float[]> db(new (std::nothrow) float[static_cast<std::size_t>(bins)]());
    if (!db)
        return false;
    char name[sizeof settings_.ResponseFile + 1] = {};
    std::copy_n(settings_.ResponseFile, sizeof settings_.ResponseFile, name);
    // The loader shows its own message when the table can't be read.
    if (!engine->LoadCompensationFile(name, db.get()))
        return false;

    float* magnitude = engine->GetMagnitudeBuffer();
    for (int k = 0; k < bins; ++k)
        magnitude[k] = static_cast<float>(std::pow(10.0, db[k] / 10.0));
    engine->ComputeInverse();
    if (engine->GetInverseBuffer() == nullptr)
        return false;

    std::fill(coefficients_.begin(), coefficients_.end(), 0.0f);
    const int c = (n - 1) / 2;
    for (int i = 0; i < c; ++i) {
        const float v = engine->GetTimeSample(static_cast<UINT>(i));
        coefficients_[c + i] = v;
        coefficients_[c - i] = v;
    }
    const double divisor = static_cast<double>(fftSize) * 16384.0;
    const TSmoothing hanning(static_cast<UINT>(n), TSmoothing::kHanning, TSmoothing::kNoCorrection);
    const float* window = hanning.GetTable();
    if (window == nullptr)
        return false;
    for (int i = 0; i < n; ++i)
        coefficients_[i] = static_cast<float>(coefficients_[i] / divisor * window[i]);
    return true;
}
