#include "numerics/TSmoothing.h"

#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

const char* const kNames[TSmoothing::kTypeCount] = {
    "Bartlett", "Blackman", "Exponential", "Flattop", "Force",   "Hamming",
    "Hanning",  "Kaiser",   "Parzen",      "Triangular", "Uniform", "Gaussian"};

// Exponents of the correction factors (10^e); 0 where the type has none or where the factor
// comes from the table (Parzen, the Kaiser energy factor: see IsDerived).
constexpr double kAmplitudeExp[TSmoothing::kTypeCount] = {
    0, 0, 0, 0, 0.3, 0, 0, 0.505, 0, 0, 0, 0.6};
constexpr double kEnergyExp[TSmoothing::kTypeCount] = {
    0.24, 0.2585, 0, -0.2675, 0.15, 0.2005, 0.213, 0, 0, 0.239, 0, 0.375};
// Exponents of the noise-bandwidth factors; 0 where the type has none or where the factor
// comes from the table (Parzen).
constexpr double kNoiseBandwidthExp[TSmoothing::kTypeCount] = {
    -0.125, -0.23804, 0, -0.534, -0.3, -0.1335, -0.1755, -0.36, 0, -0.125, 0, -0.45};

// Modified Bessel function of order 0, as a series.
double BesselI0(double z)
{
    const double y = (z / 2.0) * (z / 2.0);
    if (y == 0.0)
        return 1.0;
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 1000; ++k) {
        term = term * y / k / k;
        sum += term;
        if (term / sum <= 1e-6)
            break;
    }
    return sum;
}

// The type's coefficients into t[0..n-1], uncorrected. Uniform leaves t as it is.
void FillShape(WORD type, UINT n, float* t)
{
    if (n < 2) {
        // A single coefficient has no shape; any window of one point passes it.
        if (type != TSmoothing::kUniform)
            t[0] = 1.0f;
    } else {
        const double nm1 = static_cast<double>(n - 1);
        auto xOf = [nm1](UINT i) { return 2.0 * i / nm1 - 1.0; };
        switch (type) {
        case TSmoothing::kBartlett:
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(1.0 - std::fabs(xOf(i)));
            break;
        case TSmoothing::kBlackman: {
            const double a = 8.0 * std::atan(1.0) / nm1;
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(0.42 - 0.5 * std::cos(a * i) + 0.08 * std::cos(2.0 * a * i));
            break;
        }
        case TSmoothing::kExponential:
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(std::exp(-10.0 * i / nm1));
            break;
        case TSmoothing::kFlattop: {
            const double c[4] = {0.9994484, 0.955728, 0.539289, 0.091581};
            for (UINT j = 0; j < n / 2; ++j) {
                double v = c[0];
                for (int k = 1; k <= 3; ++k)
                    v += 2.0 * c[k] * std::cos(6.283185308 * k * j / n);
                t[n / 2 + j] = static_cast<float>(v);
                t[n / 2 - j] = static_cast<float>(v);
            }
            t[0] = t[1];
            break;
        }
        case TSmoothing::kForce:
            for (UINT i = 0; i < n; ++i)
                t[i] = i < n / 2 ? 1.0f : 0.0f;
            break;
        case TSmoothing::kHamming:
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(0.54 + 0.46 * std::cos(3.1415927 * xOf(i)));
            break;
        case TSmoothing::kHanning:
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(0.5 + 0.5 * std::cos(3.1415927 * xOf(i)));
            break;
        case TSmoothing::kKaiser: {
            const double alpha = 5.0;
            const UINT m = n / 2;
            for (UINT i = 0; i < n; ++i) {
                const double r = (static_cast<double>(i) - m) / m;
                const double q = 1.0 - r * r;
                t[i] = static_cast<float>(BesselI0(alpha * 3.1415926535 * std::sqrt(q > 0 ? q : 0.0)));
            }
            const float centre = t[n / 2];
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(static_cast<double>(t[i]) / centre);
            break;
        }
        case TSmoothing::kParzen:
            for (UINT i = 0; i < n; ++i) {
                const double u = std::fabs(xOf(i));
                t[i] = static_cast<float>(u < 0.5 ? 1.0 - 6.0 * u * u + 6.0 * u * u * u
                                                  : 2.0 * (1.0 - u) * (1.0 - u) * (1.0 - u));
            }
            break;
        case TSmoothing::kTriangular: {
            const double step = 2.0 / nm1;
            for (UINT i = 0; i < n; ++i)
                t[i] = static_cast<float>(i < (n - 1) / 2 ? i * step : 2.0 - i * step);
            break;
        }
        case TSmoothing::kUniform:
            break;
        case TSmoothing::kGaussian: {
            const UINT h = n / 2;
            for (UINT j = 0; j < n / 2; ++j) {
                const float tt = static_cast<float>(static_cast<double>(h - j) * 5.0 / h);
                const float v = static_cast<float>(std::exp(-0.5 * static_cast<double>(tt) * tt));
                t[j] = v;
                t[n - 1 - j] = v;
            }
            break;
        }
        default:
            break;
        }
    }
}


// The mean and mean square of an uncorrected table: the amplitude factor is 1/mean, the energy
// factor 1/sqrt(mean square), the noise-bandwidth factor mean^2/mean square (1/ENBW).
struct Moments {
    double mean = 1.0;
    double meanSquare = 1.0;
};

Moments MomentsOf(const float* t, UINT n)
{
    Moments m;
    if (!t || n == 0)
        return m;
    double sum = 0.0, sumSquares = 0.0;
    for (UINT i = 0; i < n; ++i) {
        sum += t[i];
        sumSquares += static_cast<double>(t[i]) * t[i];
    }
    if (sum > 0.0 && sumSquares > 0.0) {
        m.mean = sum / n;
        m.meanSquare = sumSquares / n;
    }
    return m;
}

// The moments of a type's table of n, computed afresh; without memory for it, those of the
// continuous shape (what long tables approach).
Moments ShapeMoments(WORD type, UINT n)
{
    std::unique_ptr<float[]> t(n > 0 ? new (std::nothrow) float[n]() : nullptr);
    if (t) {
        FillShape(type, n, t.get());
        return MomentsOf(t.get(), n);
    }
    if (type == TSmoothing::kKaiser)
        return {0.313636, 0.224582};
    return {0.375, 0.269642}; // Parzen
}

// The listed constants of these factors disagree with the tables they correct (the Parzen
// window's by 12 dB, the Kaiser energy factor by 1.5 dB), so theirs come from the table itself.
// Every other listed factor agrees with its table within 0.1 dB and is kept as it stands.
bool IsDerived(WORD type, WORD option)
{
    if (type == TSmoothing::kParzen)
        return true;
    return type == TSmoothing::kKaiser && option == TSmoothing::kEnergyCorrection;
}

double FactorOfMoments(const Moments& m, WORD option)
{
    return option == TSmoothing::kAmplitudeCorrection ? 1.0 / m.mean : 1.0 / std::sqrt(m.meanSquare);
}

} // namespace

TSmoothing::TSmoothing(UINT length, WORD type, WORD option) : length(length), type(type), option(option)
{
    Validate();
    Allocate();
    Compute();
}

void TSmoothing::SetLength(UINT newLength)
{
    length = newLength;
    Validate();
    Allocate();
    Compute();
}

void TSmoothing::SetType(WORD newType)
{
    type = newType;
    Validate();
    Compute();
}

void TSmoothing::Set(UINT newLength, WORD newType, WORD newOption)
{
    length = newLength;
    type = newType;
    option = newOption;
    Validate();
    Allocate();
    Compute();
}

void TSmoothing::GetTypeName(WORD type, char* out)
{
    if (!out)
        return;
    if (type >= kTypeCount) {
        out[0] = '\0';
        return;
    }
    std::strncpy(out, kNames[type], 20);
    out[20] = '\0';
}

double TSmoothing::NoiseBandwidthFactor(WORD type, UINT length)
{
    if (type >= kTypeCount || type == kUniform || type == kExponential)
        return 1.0;
    if (type == kParzen) {
        const Moments m = ShapeMoments(type, length);
        return m.mean * m.mean / m.meanSquare;
    }
    return std::pow(10.0, kNoiseBandwidthExp[type]);
}

double TSmoothing::CorrectionFactor(WORD type, WORD option, UINT length)
{
    return CorrectionFactor(nullptr, length, type, option);
}

double TSmoothing::CorrectionFactor(const float* shape, UINT length, WORD type, WORD option)
{
    if (type >= kTypeCount || type == kUniform || type == kExponential)
        return 1.0;
    if (option != kAmplitudeCorrection && option != kEnergyCorrection)
        return 1.0;
    if (IsDerived(type, option))
        return FactorOfMoments(shape ? MomentsOf(shape, length) : ShapeMoments(type, length), option);
    if (option == kAmplitudeCorrection) {
        switch (type) {
        case kBartlett:
        case kHanning:
        case kTriangular:
            return 2.0;
        case kBlackman:
            return static_cast<double>(2.3809524f);
        case kFlattop:
            return 1.0;
        case kHamming:
            return static_cast<double>(1.8518518f);
        default:
            return std::pow(10.0, kAmplitudeExp[type]);
        }
    }
    return std::pow(10.0, kEnergyExp[type]);
}

void TSmoothing::Validate()
{
    if (type >= kTypeCount) {
        AfxMessageBox("TSmoothing: Invalid Window Type", MB_ICONSTOP);
        error = 1;
    }
}

void TSmoothing::Allocate()
{
    table.reset();
    if (length == 0) {
        // Nothing to window; the caller sees the flag.
        error = 1;
        return;
    }
    table.reset(new (std::nothrow) float[length]());
    if (!table) {
        AfxMessageBox("TSmoothing error - insufficient memory available", MB_ICONSTOP);
        error = 1;
    }
}

void TSmoothing::Compute()
{
    if (!table || type >= kTypeCount)
        return;
    float* t = table.get();
    const UINT n = length;
    // SetType computes into the table it has: what the new shape does not write (all of it for
    // Uniform) must not keep the old window's coefficients.
    std::fill(t, t + n, 0.0f);
    FillShape(type, n, t);
    if (type == kUniform || option == kNoCorrection)
        return;
    const double f = CorrectionFactor(t, n, type, option);
    for (UINT i = 0; i < n; ++i)
        t[i] = static_cast<float>(t[i] * f);
}

void TSmoothing::Apply(float* data) const
{
    if (!data || !table || type == kUniform)
        return;
    const float* t = table.get();
    for (UINT i = 0; i < length; ++i)
        data[i] *= t[i];
}

bool TSmoothing::CopyWhenPlain(const float* in, float* out) const
{
    if (table && type != kUniform)
        return false;
    if (in != out)
        std::memmove(out, in, sizeof(float) * length);
    return true;
}

void TSmoothing::ApplyTo(const float* in, float* out) const
{
    if (!in || !out || CopyWhenPlain(in, out))
        return;
    const float* t = table.get();
    for (UINT i = 0; i < length; ++i)
        out[i] = in[i] * t[i];
}

void TSmoothing::Remove(const float* in, float* out) const
{
    if (!in || !out || CopyWhenPlain(in, out))
        return;
    const float* t = table.get();
    for (UINT i = 0; i < length; ++i)
        if (std::fabs(t[i]) > 1e-7f)
            out[i] = in[i] / t[i];
}

void TSmoothing::RemoveInPlace(float* data) const
{
    if (!data || !table || type == kUniform)
        return;
    const float* t = table.get();
    for (UINT i = 0; i < length; ++i)
        if (std::fabs(t[i]) > 1e-11f)
            data[i] /= t[i];
}
