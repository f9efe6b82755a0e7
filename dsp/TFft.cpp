#include "dsp/TFft.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#define DURNEX_FFT_SSE2 1
#endif

namespace {

constexpr int kMaxLog2 = 22; // complex sizes up to 2^21, real sizes up to 2^22
constexpr double kTwoPi = 6.283185307179586;

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int Log2Of(int n)
{
    int p = 0;
    while ((1 << p) < n)
        ++p;
    return p;
}

// Precomputed tables of one complex size n = 2^p. The complex transform is radix-2
// decimation in frequency taken two stages at a time (radix 2^2), so its output is in
// bit-reversed order and one permutation pass finishes it.
struct ComplexPlan {
    int n = 0;
    // One entry per radix-4 stage whose quarter span is at least 2: for every pair of
    // butterflies (j, j+1) 24 floats: W^j, W^2j, W^3j as (re re re re) duplicated real parts
    // [c0 c0 c1 c1] and signed imaginary parts [-d0 d0 -d1 d1] (forward twiddles).
    std::vector<std::vector<float>> stageTwiddles;
    std::vector<std::uint32_t> swaps; // pairs (i, j), i < j, of the bit-reversal permutation
};

// Twiddles of the real split for a real size N: (cos, sin) of 2*pi*t/N for t = 0 .. N/4.
struct SplitPlan {
    int count = 0;
    std::vector<float> cs;
};

const ComplexPlan& GetComplexPlan(int p)
{
    static std::array<std::unique_ptr<ComplexPlan>, kMaxLog2> plans;
    static std::array<std::once_flag, kMaxLog2> once;
    std::call_once(once[p], [p] {
        auto plan = std::make_unique<ComplexPlan>();
        const int n = 1 << p;
        plan->n = n;
        for (int span = n; span >= 8; span /= 4) {
            const int q = span / 4;
            std::vector<float> t(static_cast<std::size_t>(q / 2) * 24);
            for (int j = 0; j < q; j += 2) {
                float* e = &t[static_cast<std::size_t>(j / 2) * 24];
                for (int m = 1; m <= 3; ++m) {
                    for (int u = 0; u < 2; ++u) {
                        const double a = kTwoPi * static_cast<double>(m) * (j + u) / span;
                        const float c = static_cast<float>(std::cos(a));
                        const float d = static_cast<float>(-std::sin(a));
                        e[(m - 1) * 8 + 2 * u] = c;
                        e[(m - 1) * 8 + 2 * u + 1] = c;
                        e[(m - 1) * 8 + 4 + 2 * u] = -d;
                        e[(m - 1) * 8 + 4 + 2 * u + 1] = d;
                    }
                }
            }
            plan->stageTwiddles.push_back(std::move(t));
        }
        for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(n); ++i) {
            std::uint32_t r = 0;
            for (int b = 0; b < p; ++b)
                if (i & (1u << b))
                    r |= 1u << (p - 1 - b);
            if (i < r) {
                plan->swaps.push_back(i);
                plan->swaps.push_back(r);
            }
        }
        plans[p] = std::move(plan);
    });
    return *plans[p];
}

const SplitPlan& GetSplitPlan(int p)
{
    static std::array<std::unique_ptr<SplitPlan>, kMaxLog2 + 1> plans;
    static std::array<std::once_flag, kMaxLog2 + 1> once;
    std::call_once(once[p], [p] {
        auto plan = std::make_unique<SplitPlan>();
        const int count = 1 << p;
        plan->count = count;
        plan->cs.resize(static_cast<std::size_t>(count / 4 + 1) * 2);
        for (int t = 0; t <= count / 4; ++t) {
            const double a = kTwoPi * t / count;
            plan->cs[2 * t] = static_cast<float>(std::cos(a));
            plan->cs[2 * t + 1] = static_cast<float>(std::sin(a));
        }
        plans[p] = std::move(plan);
    });
    return *plans[p];
}

// One radix-4 (two radix-2 DIF) stage of span >= 8 over all groups.
void Radix4Stage(float* d, int n, int span, const float* tw)
{
    const int q = span / 4;
    const int h = span / 2;
#if DURNEX_FFT_SSE2
    const __m128 negOdd = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
    for (int g = 0; g < n; g += span) {
        float* p0 = d + 2 * g;
        float* p1 = p0 + 2 * q;
        float* p2 = p0 + 2 * h;
        float* p3 = p2 + 2 * q;
        const float* e = tw;
        for (int j = 0; j < q; j += 2, e += 24) {
            const __m128 x0 = _mm_loadu_ps(p0 + 2 * j);
            const __m128 x1 = _mm_loadu_ps(p1 + 2 * j);
            const __m128 x2 = _mm_loadu_ps(p2 + 2 * j);
            const __m128 x3 = _mm_loadu_ps(p3 + 2 * j);
            const __m128 s0 = _mm_add_ps(x0, x2);
            const __m128 s1 = _mm_add_ps(x1, x3);
            const __m128 a = _mm_sub_ps(x0, x2);
            const __m128 b = _mm_sub_ps(x1, x3);
            // i*b = (-b.im, b.re); -i*b = (b.im, -b.re)
            const __m128 bs = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 0, 1)); // (b.im, b.re)
            const __m128 mib = _mm_xor_ps(bs, negOdd);                       // (b.im, -b.re)
            const __m128 y0 = _mm_add_ps(s0, s1);
            const __m128 t1 = _mm_sub_ps(s0, s1);
            const __m128 t2 = _mm_add_ps(a, mib);
            const __m128 t3 = _mm_sub_ps(a, mib);
            auto cmul = [](__m128 x, const float* w) {
                const __m128 xs = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 3, 0, 1));
                return _mm_add_ps(_mm_mul_ps(x, _mm_loadu_ps(w)), _mm_mul_ps(xs, _mm_loadu_ps(w + 4)));
            };
            _mm_storeu_ps(p0 + 2 * j, y0);
            _mm_storeu_ps(p1 + 2 * j, cmul(t1, e + 8));
            _mm_storeu_ps(p2 + 2 * j, cmul(t2, e));
            _mm_storeu_ps(p3 + 2 * j, cmul(t3, e + 16));
        }
    }
#else
    for (int g = 0; g < n; g += span) {
        float* p0 = d + 2 * g;
        float* p1 = p0 + 2 * q;
        float* p2 = p0 + 2 * h;
        float* p3 = p2 + 2 * q;
        for (int j = 0; j < q; ++j) {
            const float* e = tw + (j / 2) * 24 + 2 * (j & 1);
            const float x0r = p0[2 * j], x0i = p0[2 * j + 1];
            const float x1r = p1[2 * j], x1i = p1[2 * j + 1];
            const float x2r = p2[2 * j], x2i = p2[2 * j + 1];
            const float x3r = p3[2 * j], x3i = p3[2 * j + 1];
            const float s0r = x0r + x2r, s0i = x0i + x2i, s1r = x1r + x3r, s1i = x1i + x3i;
            const float ar = x0r - x2r, ai = x0i - x2i, br = x1r - x3r, bi = x1i - x3i;
            const float t1r = s0r - s1r, t1i = s0i - s1i;
            const float t2r = ar + bi, t2i = ai - br;
            const float t3r = ar - bi, t3i = ai + br;
            p0[2 * j] = s0r + s1r;
            p0[2 * j + 1] = s0i + s1i;
            // w = (c, -im) stored as c at e[0], -d... signed parts at e[4] = -d, e[5] = d
            auto mul = [](float xr, float xi, const float* w, float& yr, float& yi) {
                const float c = w[0], d = w[5];
                yr = xr * c - xi * d;
                yi = xi * c + xr * d;
            };
            mul(t1r, t1i, e + 8, p1[2 * j], p1[2 * j + 1]);
            mul(t2r, t2i, e, p2[2 * j], p2[2 * j + 1]);
            mul(t3r, t3i, e + 16, p3[2 * j], p3[2 * j + 1]);
        }
    }
#endif
}

// The last radix-4 stage (span 4): all twiddles are 1.
void Radix4Last(float* d, int n)
{
    for (int g = 0; g < n; g += 4) {
        float* x = d + 2 * g;
        const float s0r = x[0] + x[4], s0i = x[1] + x[5];
        const float s1r = x[2] + x[6], s1i = x[3] + x[7];
        const float ar = x[0] - x[4], ai = x[1] - x[5];
        const float br = x[2] - x[6], bi = x[3] - x[7];
        x[0] = s0r + s1r;
        x[1] = s0i + s1i;
        x[2] = s0r - s1r;
        x[3] = s0i - s1i;
        x[4] = ar + bi;
        x[5] = ai - br;
        x[6] = ar - bi;
        x[7] = ai + br;
    }
}

void Radix2Last(float* d, int n)
{
    for (int g = 0; g < n; g += 2) {
        float* x = d + 2 * g;
        const float ar = x[0], ai = x[1], br = x[2], bi = x[3];
        x[0] = ar + br;
        x[1] = ai + bi;
        x[2] = ar - br;
        x[3] = ai - bi;
    }
}

void ForwardComplex(float* d, int n)
{
    if (n == 1)
        return;
    const ComplexPlan& plan = GetComplexPlan(Log2Of(n));
    int stage = 0;
    int span = n;
    for (; span >= 8; span /= 4)
        Radix4Stage(d, n, span, plan.stageTwiddles[static_cast<std::size_t>(stage++)].data());
    if (span == 4)
        Radix4Last(d, n);
    else if (span == 2)
        Radix2Last(d, n);
    const std::uint32_t* s = plan.swaps.data();
    const std::size_t pairs = plan.swaps.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        float* a = d + 2 * s[2 * i];
        float* b = d + 2 * s[2 * i + 1];
        const float r = a[0], m = a[1];
        a[0] = b[0];
        a[1] = b[1];
        b[0] = r;
        b[1] = m;
    }
}

} // namespace

void TFft::ValidateSize()
{
    if (Log2Size(size) == 0) {
        size = 512;
        error = 1;
    }
}

UINT TFft::Log2Size(UINT n)
{
    for (UINT p = 5; p <= 16; ++p)
        if (n == (1u << p))
            return p;
    return 0;
}

bool TFft::ComplexTransform(float* data, int count, int direction)
{
    if (!data || !IsPowerOfTwo(count) || count >= (1 << (kMaxLog2 - 1)))
        return false;
    if (direction == 1) {
        ForwardComplex(data, count);
        return true;
    }
    // Inverse through the conjugate: conj(DFT(conj(x)))/n.
    const float inv = 1.0f / static_cast<float>(count);
    for (int i = 0; i < count; ++i) {
        data[2 * i] *= inv;
        data[2 * i + 1] *= -inv;
    }
    ForwardComplex(data, count);
    for (int i = 0; i < count; ++i)
        data[2 * i + 1] = -data[2 * i + 1];
    return true;
}

bool TFft::RealSplit(float* data, int count, int direction)
{
    if (!data || !IsPowerOfTwo(count) || count < 4 || count >= (1 << kMaxLog2))
        return false;
    const SplitPlan& plan = GetSplitPlan(Log2Of(count));
    const float* cs = plan.cs.data();
    const float f = direction == 1 ? 2.0f : 1.0f;
    const float d0 = data[0], d1 = data[1];
    data[1] = (d0 - d1) * f;
    data[0] = (d0 + d1) * f;
    const bool forward = direction == 1;
    for (int k = 2, t = 1; k < count / 2 + 1; k += 2, ++t) {
        const int m = count - k;
        const float wr = cs[2 * t], wi = cs[2 * t + 1];
        const float resum = data[k] + data[m];
        const float rediff = data[k] - data[m];
        const float imsum = data[k + 1] + data[m + 1];
        const float imdiff = data[k + 1] - data[m + 1];
        float p, q;
        if (forward) {
            p = wr * imsum - wi * rediff;
            q = -wi * imsum - wr * rediff;
        } else {
            p = -wr * imsum - wi * rediff;
            q = -wi * imsum + wr * rediff;
        }
        data[k] = resum + p;
        data[m] = resum - p;
        data[k + 1] = q + imdiff;
        data[m + 1] = q - imdiff;
    }
    return true;
}

bool TFft::Transform(float* data, int count, int direction)
{
    if (!data || !IsPowerOfTwo(count) || count < 4 || count >= (1 << kMaxLog2))
        return false;
    if (direction == 1) {
        ComplexTransform(data, count / 2, 1);
        RealSplit(data, count, 1);
        return true;
    }
    RealSplit(data, count, direction);
    ComplexTransform(data, count / 2, direction);
    for (int i = 0; i < count; ++i)
        data[i] *= 0.25f;
    return true;
}
