#include "numerics/TFft.h"

#include "numerics/SimdDispatch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__SSE2__) && !defined(DURNEX_FFT_SCALAR)
#include <emmintrin.h>
#define DURNEX_FFT_SSE2 1
// Processors with AVX run the passes and the real split four complex values at a time. The
// same adds and multiplies in the same order as the two-wide code (no fused multiply-add), so
// results are the same bit for bit on either road (simd::UseAvx picks it).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define DURNEX_FFT_AVX 1
#endif
#endif

namespace {

constexpr int kMaxLog2 = 25; // complex sizes below 2^24, real sizes below 2^25
constexpr double kTwoPi = 6.283185307179586;

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int Log2Of(int n)
{
    int p = 0;
    while ((1 << p) < n)
        ++p;
    return p;
}

// Precomputed forward twiddles of one complex size n = 2^p. The transform is a radix-4
// Stockham autosort: every stage reads one buffer and writes the other in natural order, so
// no bit-reversal pass is needed (that pass costs as much as all butterflies together on
// large sizes, its accesses being scattered).
struct ComplexPlan {
    int n = 0;
    // Stage 0 (stride 1): for every pair of butterflies (p, p+1) 24 floats: W^p, W^2p, W^3p
    // as duplicated real parts [c0 c0 c1 c1] and signed imaginary parts [-d0 d0 -d1 d1].
    std::vector<float> first;
    // Later stages (strides 4, 16, ...): per butterfly p six floats c1 d1 c2 d2 c3 d3.
    std::vector<std::vector<float>> later;
};

// Twiddles of the real split for a real size N: (cos, sin) of 2*pi*t/N for t = 0 .. N/4.
struct SplitPlan {
    int count = 0;
    std::vector<float> cs;
    // For pairs (t, t+1), t = 1, 3, 5 ...: the twiddles arranged for two-lane vectors,
    // [wr -wi wr' -wi'] [-wi -wr -wi' -wr'] forward and [-wr -wi ..] [-wi wr ..] inverse.
    std::vector<float> forwardPairs;
    std::vector<float> inversePairs;
};

const ComplexPlan* GetComplexPlan(int p)
{
    static std::array<std::unique_ptr<ComplexPlan>, kMaxLog2> plans;
    static std::array<std::once_flag, kMaxLog2> once;
    std::call_once(once[p], [p] {
        try {
            auto plan = std::make_unique<ComplexPlan>();
            const int n = 1 << p;
            plan->n = n;
            for (int len = n; len >= 4; len /= 4) {
                const int n4 = len / 4;
                if (len == n) {
                    if (n4 < 2)
                        continue;
                    plan->first.resize(static_cast<std::size_t>(n4 / 2) * 24);
                    for (int j = 0; j < n4; j += 2) {
                        float* e = &plan->first[static_cast<std::size_t>(j / 2) * 24];
                        for (int m = 1; m <= 3; ++m) {
                            for (int u = 0; u < 2; ++u) {
                                const double a = kTwoPi * static_cast<double>(m) * (j + u) / len;
                                const float c = static_cast<float>(std::cos(a));
                                const float d = static_cast<float>(-std::sin(a));
                                e[(m - 1) * 8 + 2 * u] = c;
                                e[(m - 1) * 8 + 2 * u + 1] = c;
                                e[(m - 1) * 8 + 4 + 2 * u] = -d;
                                e[(m - 1) * 8 + 4 + 2 * u + 1] = d;
                            }
                        }
                    }
                } else {
                    std::vector<float> t(static_cast<std::size_t>(n4) * 6);
                    for (int j = 0; j < n4; ++j)
                        for (int m = 1; m <= 3; ++m) {
                            const double a = kTwoPi * static_cast<double>(m) * j / len;
                            t[static_cast<std::size_t>(j) * 6 + 2 * (m - 1)] = static_cast<float>(std::cos(a));
                            t[static_cast<std::size_t>(j) * 6 + 2 * (m - 1) + 1] = static_cast<float>(-std::sin(a));
                        }
                    plan->later.push_back(std::move(t));
                }
            }
            plans[p] = std::move(plan);
        } catch (const std::bad_alloc&) {
            plans[p].reset();
        }
    });
    return plans[p].get();
}

const SplitPlan* GetSplitPlan(int p)
{
    static std::array<std::unique_ptr<SplitPlan>, kMaxLog2 + 1> plans;
    static std::array<std::once_flag, kMaxLog2 + 1> once;
    std::call_once(once[p], [p] {
        try {
            auto plan = std::make_unique<SplitPlan>();
            const int count = 1 << p;
            plan->count = count;
            plan->cs.resize(static_cast<std::size_t>(count / 4 + 1) * 2);
            for (int t = 0; t <= count / 4; ++t) {
                const double a = kTwoPi * t / count;
                plan->cs[2 * t] = static_cast<float>(std::cos(a));
                plan->cs[2 * t + 1] = static_cast<float>(std::sin(a));
            }
            const int pairs = count / 8 + 1;
            plan->forwardPairs.resize(static_cast<std::size_t>(pairs) * 8);
            plan->inversePairs.resize(static_cast<std::size_t>(pairs) * 8);
            for (int j = 0; j < pairs; ++j) {
                for (int u = 0; u < 2; ++u) {
                    const int t = std::min(1 + 2 * j + u, count / 4);
                    const float wr = plan->cs[2 * t], wi = plan->cs[2 * t + 1];
                    float* f = &plan->forwardPairs[static_cast<std::size_t>(j) * 8];
                    float* v = &plan->inversePairs[static_cast<std::size_t>(j) * 8];
                    f[2 * u] = wr, f[2 * u + 1] = -wi, f[4 + 2 * u] = -wi, f[4 + 2 * u + 1] = -wr;
                    v[2 * u] = -wr, v[2 * u + 1] = -wi, v[4 + 2 * u] = -wi, v[4 + 2 * u + 1] = wr;
                }
            }
            plans[p] = std::move(plan);
        } catch (const std::bad_alloc&) {
            plans[p].reset();
        }
    });
    return plans[p].get();
}

// One radix-4 stage of length len and stride s, scalar (any stride). twiddleOf(p, w) fills
// w with c1 d1 c2 d2 c3 d3 of W^p, W^2p, W^3p.
template <typename TwiddleOf>
void Stage4Scalar(const float* x, float* y, int len, int s, TwiddleOf twiddleOf)
{
    const int n4 = len / 4;
    for (int p = 0; p < n4; ++p) {
        float w[6];
        twiddleOf(p, w);
        const float c1 = w[0], d1 = w[1], c2 = w[2], d2 = w[3], c3 = w[4], d3 = w[5];
        for (int q = 0; q < s; ++q) {
            const float* a = x + 2 * (q + s * p);
            const float* b = x + 2 * (q + s * (p + n4));
            const float* c = x + 2 * (q + s * (p + 2 * n4));
            const float* d = x + 2 * (q + s * (p + 3 * n4));
            const float apcr = a[0] + c[0], apci = a[1] + c[1];
            const float amcr = a[0] - c[0], amci = a[1] - c[1];
            const float bpdr = b[0] + d[0], bpdi = b[1] + d[1];
            const float bmdr = b[0] - d[0], bmdi = b[1] - d[1];
            float* o = y + 2 * (q + s * 4 * p);
            o[0] = apcr + bpdr;
            o[1] = apci + bpdi;
            // (a - c) - i(b - d)
            const float t1r = amcr + bmdi, t1i = amci - bmdr;
            const float t2r = apcr - bpdr, t2i = apci - bpdi;
            const float t3r = amcr - bmdi, t3i = amci + bmdr;
            o += 2 * s;
            o[0] = t1r * c1 - t1i * d1;
            o[1] = t1i * c1 + t1r * d1;
            o += 2 * s;
            o[0] = t2r * c2 - t2i * d2;
            o[1] = t2i * c2 + t2r * d2;
            o += 2 * s;
            o[0] = t3r * c3 - t3i * d3;
            o[1] = t3i * c3 + t3r * d3;
        }
    }
}

#if DURNEX_FFT_SSE2
inline __m128 CMul(__m128 x, __m128 wr, __m128 wi)
{
    const __m128 xs = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_add_ps(_mm_mul_ps(x, wr), _mm_mul_ps(xs, wi));
}

// -i * v for two complex values: (v.im, -v.re).
inline __m128 MinusI(__m128 v)
{
    const __m128 negOdd = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
    return _mm_xor_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)), negOdd);
}

// The first stage (stride 1), two butterflies at a time.
void Stage4First(const float* x, float* y, int len, const float* tw)
{
    const int n4 = len / 4;
    for (int p = 0; p < n4; p += 2, tw += 24) {
        const __m128 a = _mm_loadu_ps(x + 2 * p);
        const __m128 b = _mm_loadu_ps(x + 2 * (p + n4));
        const __m128 c = _mm_loadu_ps(x + 2 * (p + 2 * n4));
        const __m128 d = _mm_loadu_ps(x + 2 * (p + 3 * n4));
        const __m128 apc = _mm_add_ps(a, c), amc = _mm_sub_ps(a, c);
        const __m128 bpd = _mm_add_ps(b, d), mib = MinusI(_mm_sub_ps(b, d));
        const __m128 o0 = _mm_add_ps(apc, bpd);
        const __m128 o1 = CMul(_mm_add_ps(amc, mib), _mm_loadu_ps(tw), _mm_loadu_ps(tw + 4));
        const __m128 o2 = CMul(_mm_sub_ps(apc, bpd), _mm_loadu_ps(tw + 8), _mm_loadu_ps(tw + 12));
        const __m128 o3 = CMul(_mm_sub_ps(amc, mib), _mm_loadu_ps(tw + 16), _mm_loadu_ps(tw + 20));
        float* o = y + 8 * p;
        _mm_storeu_ps(o, _mm_movelh_ps(o0, o1));
        _mm_storeu_ps(o + 4, _mm_movelh_ps(o2, o3));
        _mm_storeu_ps(o + 8, _mm_movehl_ps(o1, o0));
        _mm_storeu_ps(o + 12, _mm_movehl_ps(o3, o2));
    }
}

// Later stages (stride s >= 2, a multiple of two): vectors run along the stride.
void Stage4Strided(const float* x, float* y, int len, int s, const float* tw)
{
    const int n4 = len / 4;
    for (int p = 0; p < n4; ++p) {
        const float* e = tw + 6 * p;
        const __m128 w1r = _mm_set1_ps(e[0]), w1i = _mm_set_ps(e[1], -e[1], e[1], -e[1]);
        const __m128 w2r = _mm_set1_ps(e[2]), w2i = _mm_set_ps(e[3], -e[3], e[3], -e[3]);
        const __m128 w3r = _mm_set1_ps(e[4]), w3i = _mm_set_ps(e[5], -e[5], e[5], -e[5]);
        const float* xa = x + 2 * s * p;
        const float* xb = x + 2 * s * (p + n4);
        const float* xc = x + 2 * s * (p + 2 * n4);
        const float* xd = x + 2 * s * (p + 3 * n4);
        float* o0 = y + 2 * s * 4 * p;
        float* o1 = o0 + 2 * s;
        float* o2 = o1 + 2 * s;
        float* o3 = o2 + 2 * s;
        for (int q = 0; q < 2 * s; q += 4) {
            const __m128 a = _mm_loadu_ps(xa + q), b = _mm_loadu_ps(xb + q);
            const __m128 c = _mm_loadu_ps(xc + q), d = _mm_loadu_ps(xd + q);
            const __m128 apc = _mm_add_ps(a, c), amc = _mm_sub_ps(a, c);
            const __m128 bpd = _mm_add_ps(b, d), mib = MinusI(_mm_sub_ps(b, d));
            _mm_storeu_ps(o0 + q, _mm_add_ps(apc, bpd));
            _mm_storeu_ps(o1 + q, CMul(_mm_add_ps(amc, mib), w1r, w1i));
            _mm_storeu_ps(o2 + q, CMul(_mm_sub_ps(apc, bpd), w2r, w2i));
            _mm_storeu_ps(o3 + q, CMul(_mm_sub_ps(amc, mib), w3r, w3i));
        }
    }
}
#endif

#if DURNEX_FFT_AVX
#define DURNEX_AVX __attribute__((target("avx")))

DURNEX_AVX inline __m256 CMul4(__m256 x, __m256 wr, __m256 wi)
{
    const __m256 xs = _mm256_permute_ps(x, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm256_add_ps(_mm256_mul_ps(x, wr), _mm256_mul_ps(xs, wi));
}

DURNEX_AVX inline __m256 MinusI4(__m256 v)
{
    const __m256 negOdd =
        _mm256_castsi256_ps(_mm256_set_epi32(INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0));
    return _mm256_xor_ps(_mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)), negOdd);
}

// Four floats from lo and four from hi.
DURNEX_AVX inline __m256 Join(const float* lo, const float* hi)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(lo)), _mm_loadu_ps(hi), 1);
}

// Stage4First four butterflies at a time (len >= 16, so n4 is a multiple of four). The
// twiddles of butterflies p .. p+3 are the halves of two consecutive pair blocks.
DURNEX_AVX void Stage4FirstAvx(const float* x, float* y, int len, const float* tw)
{
    const int n4 = len / 4;
    for (int p = 0; p < n4; p += 4, tw += 48) {
        const __m256 a = _mm256_loadu_ps(x + 2 * p);
        const __m256 b = _mm256_loadu_ps(x + 2 * (p + n4));
        const __m256 c = _mm256_loadu_ps(x + 2 * (p + 2 * n4));
        const __m256 d = _mm256_loadu_ps(x + 2 * (p + 3 * n4));
        const __m256 apc = _mm256_add_ps(a, c), amc = _mm256_sub_ps(a, c);
        const __m256 bpd = _mm256_add_ps(b, d), mib = MinusI4(_mm256_sub_ps(b, d));
        const __m256 o0 = _mm256_add_ps(apc, bpd);
        const __m256 o1 = CMul4(_mm256_add_ps(amc, mib), Join(tw, tw + 24), Join(tw + 4, tw + 28));
        const __m256 o2 = CMul4(_mm256_sub_ps(apc, bpd), Join(tw + 8, tw + 32), Join(tw + 12, tw + 36));
        const __m256 o3 = CMul4(_mm256_sub_ps(amc, mib), Join(tw + 16, tw + 40), Join(tw + 20, tw + 44));
        // A 4x4 transpose of complex values: butterfly q's four outputs lie together.
        const __m256d t0 = _mm256_unpacklo_pd(_mm256_castps_pd(o0), _mm256_castps_pd(o1));
        const __m256d t1 = _mm256_unpackhi_pd(_mm256_castps_pd(o0), _mm256_castps_pd(o1));
        const __m256d t2 = _mm256_unpacklo_pd(_mm256_castps_pd(o2), _mm256_castps_pd(o3));
        const __m256d t3 = _mm256_unpackhi_pd(_mm256_castps_pd(o2), _mm256_castps_pd(o3));
        float* o = y + 8 * p;
        _mm256_storeu_ps(o, _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x20)));
        _mm256_storeu_ps(o + 8, _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x20)));
        _mm256_storeu_ps(o + 16, _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x31)));
        _mm256_storeu_ps(o + 24, _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x31)));
    }
}

// Stage4Strided for strides that are multiples of four.
DURNEX_AVX void Stage4StridedAvx(const float* x, float* y, int len, int s, const float* tw)
{
    const int n4 = len / 4;
    for (int p = 0; p < n4; ++p) {
        const float* e = tw + 6 * p;
        const __m256 w1r = _mm256_set1_ps(e[0]), w1i = _mm256_set_ps(e[1], -e[1], e[1], -e[1], e[1], -e[1], e[1], -e[1]);
        const __m256 w2r = _mm256_set1_ps(e[2]), w2i = _mm256_set_ps(e[3], -e[3], e[3], -e[3], e[3], -e[3], e[3], -e[3]);
        const __m256 w3r = _mm256_set1_ps(e[4]), w3i = _mm256_set_ps(e[5], -e[5], e[5], -e[5], e[5], -e[5], e[5], -e[5]);
        const float* xa = x + 2 * s * p;
        const float* xb = x + 2 * s * (p + n4);
        const float* xc = x + 2 * s * (p + 2 * n4);
        const float* xd = x + 2 * s * (p + 3 * n4);
        float* o0 = y + 2 * s * 4 * p;
        float* o1 = o0 + 2 * s;
        float* o2 = o1 + 2 * s;
        float* o3 = o2 + 2 * s;
        for (int q = 0; q < 2 * s; q += 8) {
            const __m256 a = _mm256_loadu_ps(xa + q), b = _mm256_loadu_ps(xb + q);
            const __m256 c = _mm256_loadu_ps(xc + q), d = _mm256_loadu_ps(xd + q);
            const __m256 apc = _mm256_add_ps(a, c), amc = _mm256_sub_ps(a, c);
            const __m256 bpd = _mm256_add_ps(b, d), mib = MinusI4(_mm256_sub_ps(b, d));
            _mm256_storeu_ps(o0 + q, _mm256_add_ps(apc, bpd));
            _mm256_storeu_ps(o1 + q, CMul4(_mm256_add_ps(amc, mib), w1r, w1i));
            _mm256_storeu_ps(o2 + q, CMul4(_mm256_sub_ps(apc, bpd), w2r, w2i));
            _mm256_storeu_ps(o3 + q, CMul4(_mm256_sub_ps(amc, mib), w3r, w3i));
        }
    }
}

// FinalVector for strides that are multiples of four.
template <int len>
DURNEX_AVX void FinalVectorAvx(const float* src, float* dst, int s, bool conjugate)
{
    const __m256 r = _mm256_set1_ps(0.70710678118654752f);
    const __m256 flip = conjugate ? _mm256_castsi256_ps(
                                        _mm256_set_epi32(INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0))
                                  : _mm256_setzero_ps();
    auto store = [flip](float* at, __m256 v) DURNEX_AVX { _mm256_storeu_ps(at, _mm256_xor_ps(v, flip)); };
    const int st = 2 * s;
    for (int q = 0; q < 2 * s; q += 8) {
        __m256 x[len];
        for (int k = 0; k < len; ++k)
            x[k] = _mm256_loadu_ps(src + q + st * k);
        if constexpr (len == 2) {
            store(dst + q, _mm256_add_ps(x[0], x[1]));
            store(dst + q + st, _mm256_sub_ps(x[0], x[1]));
        } else {
            constexpr int h = len / 2;
            __m256 a[h], b[h];
            for (int k = 0; k < h; ++k) {
                a[k] = _mm256_add_ps(x[k], x[k + h]);
                b[k] = _mm256_sub_ps(x[k], x[k + h]);
            }
            if constexpr (len == 4) {
                const __m256 mib = MinusI4(b[1]);
                store(dst + q, _mm256_add_ps(a[0], a[1]));
                store(dst + q + 2 * st, _mm256_sub_ps(a[0], a[1]));
                store(dst + q + st, _mm256_add_ps(b[0], mib));
                store(dst + q + 3 * st, _mm256_sub_ps(b[0], mib));
            } else {
                const __m256 mib1 = MinusI4(b[1]);
                b[1] = _mm256_mul_ps(_mm256_add_ps(b[1], mib1), r);
                b[2] = MinusI4(b[2]);
                const __m256 mib3 = MinusI4(b[3]);
                b[3] = _mm256_mul_ps(_mm256_sub_ps(mib3, b[3]), r);
                const __m256* v[2] = {a, b};
                for (int o = 0; o < 2; ++o) {
                    const __m256* c = v[o];
                    const __m256 pp = _mm256_add_ps(c[0], c[2]), mm = _mm256_sub_ps(c[0], c[2]);
                    const __m256 ss = _mm256_add_ps(c[1], c[3]), md = MinusI4(_mm256_sub_ps(c[1], c[3]));
                    store(dst + q + st * (o + 0), _mm256_add_ps(pp, ss));
                    store(dst + q + st * (o + 4), _mm256_sub_ps(pp, ss));
                    store(dst + q + st * (o + 2), _mm256_add_ps(mm, md));
                    store(dst + q + st * (o + 6), _mm256_sub_ps(mm, md));
                }
            }
        }
    }
}

// The real split's pairs (k, m) four at a time from t = 1 while the mirrored block stays clear
// of the forward one: Split's two-wide loop, lane for lane. Returns the first t left over.
DURNEX_AVX int SplitAvx(float* data, int count, const float* vt, float reScale, float imScale)
{
    const __m256 signOdd =
        _mm256_castsi256_ps(_mm256_set_epi32(INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0));
    const __m256 signEven =
        _mm256_castsi256_ps(_mm256_set_epi32(0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN));
    const __m256 scale = _mm256_set_ps(imScale, reScale, imScale, reScale, imScale, reScale, imScale, reScale);
    int t = 1;
    for (; t + 3 < count / 4; t += 4) {
        const float* w = vt + 4 * (t - 1);
        float* pk = data + 2 * t;
        float* pm = data + count - 2 * t - 6;
        const __m256 a = _mm256_loadu_ps(pk);
        // The mirrored values in the forward order: four complex values reversed.
        const __m256 b0 = _mm256_loadu_ps(pm);
        const __m256 b = _mm256_permute_ps(_mm256_permute2f128_ps(b0, b0, 1), _MM_SHUFFLE(1, 0, 3, 2));
        const __m256 sum = _mm256_add_ps(a, b), diff = _mm256_sub_ps(a, b);
        const __m256 imsum = _mm256_permute_ps(sum, _MM_SHUFFLE(3, 3, 1, 1));
        const __m256 rediff = _mm256_permute_ps(diff, _MM_SHUFFLE(2, 2, 0, 0));
        const __m256 u =
            _mm256_add_ps(_mm256_mul_ps(imsum, Join(w, w + 8)), _mm256_mul_ps(rediff, Join(w + 4, w + 12)));
        const __m256 v = _mm256_blend_ps(diff, sum, 0x55);
        const __m256 outK = _mm256_mul_ps(_mm256_add_ps(v, u), scale);
        const __m256 outM =
            _mm256_mul_ps(_mm256_add_ps(_mm256_xor_ps(v, signOdd), _mm256_xor_ps(u, signEven)), scale);
        _mm256_storeu_ps(pk, outK);
        _mm256_storeu_ps(pm, _mm256_permute_ps(_mm256_permute2f128_ps(outM, outM, 1), _MM_SHUFFLE(1, 0, 3, 2)));
    }
    return t;
}
#endif

// The first stage from the paired twiddle table, without vectors.
[[maybe_unused]] void Stage4FirstScalar(const float* x, float* y, int len, const float* tw)
{
    Stage4Scalar(x, y, len, 1, [tw](int p, float* w) {
        const float* e = tw + (p / 2) * 24 + 2 * (p & 1);
        w[0] = e[0], w[1] = e[5], w[2] = e[8], w[3] = e[13], w[4] = e[16], w[5] = e[21];
    });
}

// The last pass: butterflies of length 2, 4 or 8 without twiddles (p = 0 only) at stride s,
// conjugating the results when asked (the inverse transform's last step, saving a pass).
// Each butterfly reads all its inputs before writing, so src may equal dst.
void FinalScalar(const float* src, float* dst, int len, int s, bool conjugate)
{
    const float imSign = conjugate ? -1.0f : 1.0f;
    for (int q = 0; q < s; ++q) {
        float xr[8], xi[8];
        for (int k = 0; k < len; ++k) {
            xr[k] = src[2 * (q + s * k)];
            xi[k] = src[2 * (q + s * k) + 1];
        }
        float yr[8], yi[8];
        if (len == 2) {
            yr[0] = xr[0] + xr[1], yi[0] = xi[0] + xi[1];
            yr[1] = xr[0] - xr[1], yi[1] = xi[0] - xi[1];
        } else {
            // Radix-2 split of an 8-point DFT into two 4-point ones (or a 4-point DFT).
            const int h = len / 2;
            float ar[4], ai[4], br[4], bi[4];
            const float r = 0.70710678118654752f;
            for (int k = 0; k < h; ++k) {
                ar[k] = xr[k] + xr[k + h], ai[k] = xi[k] + xi[k + h];
                br[k] = xr[k] - xr[k + h], bi[k] = xi[k] - xi[k + h];
            }
            if (len == 4) {
                // (x0 + x2) +- (x1 + x3); (x0 - x2) -+ i(x1 - x3)
                yr[0] = ar[0] + ar[1], yi[0] = ai[0] + ai[1];
                yr[2] = ar[0] - ar[1], yi[2] = ai[0] - ai[1];
                yr[1] = br[0] + bi[1], yi[1] = bi[0] - br[1];
                yr[3] = br[0] - bi[1], yi[3] = bi[0] + br[1];
            } else {
                // b_k *= W8^k: 1, (1 - i)/sqrt2, -i, (-1 - i)/sqrt2
                float t;
                t = br[1];
                br[1] = (t + bi[1]) * r, bi[1] = (bi[1] - t) * r;
                t = br[2];
                br[2] = bi[2], bi[2] = -t;
                t = br[3];
                br[3] = (bi[3] - t) * r, bi[3] = (-t - bi[3]) * r;
                const float* vr[2] = {ar, br};
                const float* vi[2] = {ai, bi};
                for (int o = 0; o < 2; ++o) {
                    const float* cr = vr[o];
                    const float* ci = vi[o];
                    const float pr = cr[0] + cr[2], pi = ci[0] + ci[2];
                    const float mr = cr[0] - cr[2], mi = ci[0] - ci[2];
                    const float sr = cr[1] + cr[3], si = ci[1] + ci[3];
                    const float dr = cr[1] - cr[3], di = ci[1] - ci[3];
                    yr[o + 0] = pr + sr, yi[o + 0] = pi + si;
                    yr[o + 4] = pr - sr, yi[o + 4] = pi - si;
                    yr[o + 2] = mr + di, yi[o + 2] = mi - dr;
                    yr[o + 6] = mr - di, yi[o + 6] = mi + dr;
                }
            }
        }
        for (int k = 0; k < len; ++k) {
            dst[2 * (q + s * k)] = yr[k];
            dst[2 * (q + s * k) + 1] = imSign * yi[k];
        }
    }
}

#if DURNEX_FFT_SSE2
// The last pass with vectors along the stride (s >= 2), one function per length so that the
// values stay in registers.
template <int len>
void FinalVector(const float* src, float* dst, int s, bool conjugate)
{
    const __m128 r = _mm_set1_ps(0.70710678118654752f);
    const __m128 flip = conjugate ? _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0)) : _mm_setzero_ps();
    auto store = [flip](float* at, __m128 v) { _mm_storeu_ps(at, _mm_xor_ps(v, flip)); };
    const int st = 2 * s;
    for (int q = 0; q < 2 * s; q += 4) {
        __m128 x[len];
        for (int k = 0; k < len; ++k)
            x[k] = _mm_loadu_ps(src + q + st * k);
        if constexpr (len == 2) {
            store(dst + q, _mm_add_ps(x[0], x[1]));
            store(dst + q + st, _mm_sub_ps(x[0], x[1]));
        } else {
            constexpr int h = len / 2;
            __m128 a[h], b[h];
            for (int k = 0; k < h; ++k) {
                a[k] = _mm_add_ps(x[k], x[k + h]);
                b[k] = _mm_sub_ps(x[k], x[k + h]);
            }
            if constexpr (len == 4) {
                const __m128 mib = MinusI(b[1]);
                store(dst + q, _mm_add_ps(a[0], a[1]));
                store(dst + q + 2 * st, _mm_sub_ps(a[0], a[1]));
                store(dst + q + st, _mm_add_ps(b[0], mib));
                store(dst + q + 3 * st, _mm_sub_ps(b[0], mib));
            } else {
                // b1 *= (1 - i)/sqrt2 = (b1 + (-i)b1) r; b2 *= -i; b3 *= (-1 - i)/sqrt2 = ((-i)b3 - b3) r
                const __m128 mib1 = MinusI(b[1]);
                b[1] = _mm_mul_ps(_mm_add_ps(b[1], mib1), r);
                b[2] = MinusI(b[2]);
                const __m128 mib3 = MinusI(b[3]);
                b[3] = _mm_mul_ps(_mm_sub_ps(mib3, b[3]), r);
                const __m128* v[2] = {a, b};
                for (int o = 0; o < 2; ++o) {
                    const __m128* c = v[o];
                    const __m128 pp = _mm_add_ps(c[0], c[2]), mm = _mm_sub_ps(c[0], c[2]);
                    const __m128 ss = _mm_add_ps(c[1], c[3]), md = MinusI(_mm_sub_ps(c[1], c[3]));
                    store(dst + q + st * (o + 0), _mm_add_ps(pp, ss));
                    store(dst + q + st * (o + 4), _mm_sub_ps(pp, ss));
                    store(dst + q + st * (o + 2), _mm_add_ps(mm, md));
                    store(dst + q + st * (o + 6), _mm_sub_ps(mm, md));
                }
            }
        }
    }
}
#endif

// The per-thread buffer the radix-4 passes ping-pong with; sized once, before any data are
// touched, so that a transform either runs whole or leaves its data alone.
std::vector<float>& Scratch()
{
    thread_local std::vector<float> scratch;
    return scratch;
}

// At least the size of the largest spectrum transform (65536 real points), so that the buffer
// is sized once and keeps one place: transforms whose data and scratch met at unlucky
// relative addresses ran at half speed, depending on where earlier sizes had left it.
constexpr std::size_t kMinScratch = 65536;

bool PrepareScratch(int n)
{
    std::vector<float>& scratch = Scratch();
    if (n > 8 && scratch.size() < 2 * static_cast<std::size_t>(n)) {
        try {
            scratch.resize(std::max(2 * static_cast<std::size_t>(n), kMinScratch));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return true;
}

// The forward complex DFT in place; with `conjugate` the conjugate of it. Needs its plan and
// PrepareScratch(n).
void ForwardComplex(float* d, int n, const ComplexPlan* plan, bool conjugate)
{
    if (n == 1) {
        if (conjugate)
            d[1] = -d[1];
        return;
    }
    // Radix-4 passes run out of place while the length exceeds 8, ping-ponging between the
    // data and the scratch buffer; the last pass (length 2, 4 or 8, no twiddles) writes back
    // into the data, in place when the data already hold it.
    float* scratch = Scratch().data();
#if DURNEX_FFT_AVX
    const bool avx = simd::UseAvx();
#endif
    const float* src = d;
    float* dst = scratch;
    int len = n, s = 1, later = 0;
    for (; len > 8; len /= 4, s *= 4) {
        if (s == 1) {
#if DURNEX_FFT_AVX
            if (avx)
                Stage4FirstAvx(src, dst, len, plan->first.data());
            else
                Stage4First(src, dst, len, plan->first.data());
#elif DURNEX_FFT_SSE2
            Stage4First(src, dst, len, plan->first.data());
#else
            Stage4FirstScalar(src, dst, len, plan->first.data());
#endif
        } else {
            const float* tw = plan->later[static_cast<std::size_t>(later++)].data();
#if DURNEX_FFT_AVX
            if (s % 4 == 0 && avx)
                Stage4StridedAvx(src, dst, len, s, tw);
            else
                Stage4Strided(src, dst, len, s, tw);
#elif DURNEX_FFT_SSE2
            Stage4Strided(src, dst, len, s, tw);
#else
            Stage4Scalar(src, dst, len, s, [tw](int p, float* w) { std::memcpy(w, tw + 6 * p, 6 * sizeof(float)); });
#endif
        }
        const float* done = dst;
        dst = (dst == d) ? scratch : d;
        src = done;
    }
#if DURNEX_FFT_AVX
    if (s % 4 == 0 && avx) {
        if (len == 2)
            FinalVectorAvx<2>(src, d, s, conjugate);
        else if (len == 4)
            FinalVectorAvx<4>(src, d, s, conjugate);
        else
            FinalVectorAvx<8>(src, d, s, conjugate);
        return;
    }
#endif
#if DURNEX_FFT_SSE2
    if (s >= 2) {
        if (len == 2)
            FinalVector<2>(src, d, s, conjugate);
        else if (len == 4)
            FinalVector<4>(src, d, s, conjugate);
        else
            FinalVector<8>(src, d, s, conjugate);
        return;
    }
#endif
    FinalScalar(src, d, len, s, conjugate);
}

// The real split of TFft::RealSplit with every output's real part multiplied by reScale and
// its imaginary part by imScale (the inverse transform folds its scaling and the conjugation
// of its complex pass in here).
void Split(float* data, int count, const SplitPlan* plan, bool forward, float reScale, float imScale,
           [[maybe_unused]] bool avx)
{
    const float* cs = plan->cs.data();
    const float f = forward ? 2.0f : 1.0f;
    const float d0 = data[0], d1 = data[1];
    data[1] = (d0 - d1) * f * imScale;
    data[0] = (d0 + d1) * f * reScale;
    int t = 1;
#if DURNEX_FFT_SSE2
    // Two pairs (k, m) at a time while the mirrored pair stays clear of the forward one.
    {
        const float* vt = forward ? plan->forwardPairs.data() : plan->inversePairs.data();
#if DURNEX_FFT_AVX
        if (avx)
            t = SplitAvx(data, count, vt, reScale, imScale);
#endif
        const __m128 signOdd = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
        const __m128 signEven = _mm_castsi128_ps(_mm_set_epi32(0, INT32_MIN, 0, INT32_MIN));
        const __m128 evenMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, 0, -1));
        const __m128 scale = _mm_set_ps(imScale, reScale, imScale, reScale);
        for (; t + 1 < count / 4; t += 2) {
            const float* w = vt + 4 * (t - 1);
            float* pk = data + 2 * t;
            float* pm = data + count - 2 * t - 2;
            const __m128 a = _mm_loadu_ps(pk);
            const __m128 b0 = _mm_loadu_ps(pm);
            const __m128 b = _mm_shuffle_ps(b0, b0, _MM_SHUFFLE(1, 0, 3, 2));
            const __m128 sum = _mm_add_ps(a, b), diff = _mm_sub_ps(a, b);
            const __m128 imsum = _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(3, 3, 1, 1));
            const __m128 rediff = _mm_shuffle_ps(diff, diff, _MM_SHUFFLE(2, 2, 0, 0));
            const __m128 u = _mm_add_ps(_mm_mul_ps(imsum, _mm_loadu_ps(w)), _mm_mul_ps(rediff, _mm_loadu_ps(w + 4)));
            const __m128 v = _mm_or_ps(_mm_and_ps(evenMask, sum), _mm_andnot_ps(evenMask, diff));
            const __m128 outK = _mm_mul_ps(_mm_add_ps(v, u), scale);
            const __m128 outM = _mm_mul_ps(_mm_add_ps(_mm_xor_ps(v, signOdd), _mm_xor_ps(u, signEven)), scale);
            _mm_storeu_ps(pk, outK);
            _mm_storeu_ps(pm, _mm_shuffle_ps(outM, outM, _MM_SHUFFLE(1, 0, 3, 2)));
        }
    }
#endif
    for (int k = 2 * t; k < count / 2 + 1; k += 2, ++t) {
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
        data[k] = (resum + p) * reScale;
        data[m] = (resum - p) * reScale;
        data[k + 1] = (q + imdiff) * imScale;
        data[m + 1] = (q - imdiff) * imScale;
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
    const ComplexPlan* plan = GetComplexPlan(Log2Of(count));
    if (!plan || !PrepareScratch(count))
        return false;
    if (direction == 1) {
        ForwardComplex(data, count, plan, false);
        return true;
    }
    // Inverse through the conjugate: conj(DFT(conj(x)))/n, the last conjugation done by the
    // transform's last pass.
    const float inv = 1.0f / static_cast<float>(count);
    for (int i = 0; i < count; ++i) {
        data[2 * i] *= inv;
        data[2 * i + 1] *= -inv;
    }
    ForwardComplex(data, count, plan, true);
    return true;
}

bool TFft::RealSplit(float* data, int count, int direction)
{
    if (!data || !IsPowerOfTwo(count) || count < 4 || count >= (1 << kMaxLog2))
        return false;
    const SplitPlan* plan = GetSplitPlan(Log2Of(count));
    if (!plan)
        return false;
    Split(data, count, plan, direction == 1, 1.0f, 1.0f, simd::UseAvx());
    return true;
}

bool TFft::Transform(float* data, int count, int direction)
{
    if (!data || !IsPowerOfTwo(count) || count < 4 || count >= (1 << kMaxLog2))
        return false;
    // Tables and scratch first, so that a transform either runs whole or leaves the data alone.
    const SplitPlan* split = GetSplitPlan(Log2Of(count));
    const ComplexPlan* plan = GetComplexPlan(Log2Of(count / 2));
    if (!split || !plan || !PrepareScratch(count / 2))
        return false;
    if (direction == 1) {
        ForwardComplex(data, count / 2, plan, false);
        Split(data, count, split, true, 1.0f, 1.0f, simd::UseAvx());
        return true;
    }
    // The inverse is the split, the complex inverse (1/(N/2) and two conjugations) and a
    // factor of 1/4: the split scales by 1/(2N) and conjugates, the last complex pass
    // conjugates back. Powers of two, so the result is the same as in separate passes.
    const float c = 0.5f / static_cast<float>(count);
    Split(data, count, split, false, c, -c, simd::UseAvx());
    ForwardComplex(data, count / 2, plan, true);
    return true;
}
