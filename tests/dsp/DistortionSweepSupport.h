// The parts of the distortion sweep that know nothing of the engine: a seeded generator, a
// plain radix-2 transform and a window's leakage computed from its own coefficients.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace sweep {

// splitmix64: every case draws from a generator of its own, so that one case replays alone.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    double Uniform(double a, double b) { return a + (b - a) * Uniform(); }
    double LogUniform(double a, double b) { return a * std::pow(b / a, Uniform()); }
    int Int(int a, int b) { return a + static_cast<int>(Uniform() * (b - a + 1)); } // a..b
    bool Chance(double p) { return Uniform() < p; }
    template <class T> const T& Pick(const std::vector<T>& v) { return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))]; }
    double Gauss()
    {
        if (haveSpare) {
            haveSpare = false;
            return spare;
        }
        double u, v, s;
        do {
            u = 2.0 * Uniform() - 1.0;
            v = 2.0 * Uniform() - 1.0;
            s = u * u + v * v;
        } while (s >= 1.0 || s == 0.0);
        const double m = std::sqrt(-2.0 * std::log(s) / s);
        spare = v * m;
        haveSpare = true;
        return u * m;
    }

private:
    std::uint64_t state;
    double spare = 0.0;
    bool haveSpare = false;
};

// X[k] = sum over n of x[n] e^(-2 pi i k n / size), in place; the size is a power of two.
inline void Fft(std::vector<std::complex<double>>& x)
{
    const std::size_t n = x.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    std::vector<std::complex<double>> twiddle(n / 2);
    for (std::size_t k = 0; k < n / 2; ++k)
        twiddle[k] = std::polar(1.0, -2.0 * M_PI * static_cast<double>(k) / static_cast<double>(n));
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t step = n / len;
        for (std::size_t i = 0; i < n; i += len) {
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> t = twiddle[k * step] * x[i + k + len / 2];
                x[i + k + len / 2] = x[i + k] - t;
                x[i + k] += t;
            }
        }
    }
}

// A window's transform as power relative to its peak, |W(x)|^2 / |W(0)|^2 at x bins from a
// line, on a grid of an eighth of a bin (the transform of the coefficients padded to eight
// times their length: a direct DTFT on that grid). Also the noise a bin holds in the units of
// a line's peak: white noise of variance s^2 puts s^2 sum w^2 / (sum w)^2 into every bin.
class WindowLeakage {
public:
    static constexpr int kGrid = 8;
    explicit WindowLeakage(const std::vector<double>& w) : n(w.size())
    {
        std::vector<std::complex<double>> x(n * kGrid);
        double sum = 0.0, sum2 = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = w[i];
            sum += w[i];
            sum2 += w[i] * w[i];
        }
        Fft(x);
        const double peak = std::norm(x[0]);
        power.resize(n * kGrid / 2 + 1);
        for (std::size_t m = 0; m < power.size(); ++m)
            power[m] = static_cast<float>(std::norm(x[m]) / peak);
        noisePerBin = sum2 / (sum * sum);
        // The main lobe ends where the power, fallen to half, first stops falling, or 60 dB down
        // (a lobe without nulls), at most eight bins out.
        std::size_t m = 1;
        while (m < power.size() && m < 8 * kGrid && power[m] >= 0.5)
            ++m;
        while (m < power.size() && m < 8 * kGrid && power[m] < power[m - 1] && power[m] > 1e-6)
            ++m;
        lobeHalfWidth = static_cast<double>(m - 1) / kGrid;
    }
    // |W(x)|^2 / |W(0)|^2, linear between grid points (the transform of real coefficients is
    // even in power and periodic in n bins).
    double Power(double x) const
    {
        const double nn = static_cast<double>(n);
        x = std::fmod(std::abs(x), nn);
        if (x > nn / 2)
            x = nn - x;
        const double g = x * kGrid;
        const std::size_t m = std::min(static_cast<std::size_t>(g), power.size() - 2);
        const double f = g - static_cast<double>(m);
        return (1.0 - f) * power[m] + f * power[m + 1];
    }
    // The most power within r bins of x: where a bin may fall about a place.
    double Envelope(double x, double r) const
    {
        double most = 0.0;
        for (double d = -r; d <= r + 1e-9; d += 1.0 / kGrid)
            most = std::max(most, Power(x + d));
        return most;
    }
    double noisePerBin = 0.0;
    double lobeHalfWidth = 0.0; // bins

private:
    std::size_t n;
    std::vector<float> power;
};

} // namespace sweep
