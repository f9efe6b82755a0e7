// The tone and leakage model of one averaged power spectrum.
#include "dsp/ToneModel.h"

#include "numerics/TSmoothing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <numeric>
#include <new>
#include <utility>
#include <vector>

namespace {

// How far the leakage model may be off, as shares of the leakage and of the fitted cross
// terms. For a symmetric window whose lobe ends in nulls the transform is exact and the tone's
// place is read to a thousandth of a bin: what is left is the rounding of the single-precision
// transform the spectrum went through, and how well the cross terms are fitted. Windows
// without nulls or symmetry (exponential, force, uniform) place the tone only to a few
// hundredths of a bin: they keep the wide allowances.
struct LeakageAllowance {
    double model;     // share of the leakage
    double crossFit;  // share of a fitted cross term, beyond its fit's own deviation
};

bool LeakyWindow(WORD type)
{
    return type == TSmoothing::kExponential || type == TSmoothing::kForce || type == TSmoothing::kUniform ||
           type >= TSmoothing::kTypeCount;
}

// The windows that are one run of equal samples (uniform, force): their skirts fall only as
// 1 / (pi f), every line's alike far from it.
bool RunWindow(WORD type)
{
    return type == TSmoothing::kForce || type == TSmoothing::kUniform;
}

// The flat-top window: its lobe is flat over most of a bin, so a weak line's own lobe tells its
// place far worse than its order and the fundamental's place do.
bool FlatLobe(WORD type)
{
    return type == TSmoothing::kFlattop;
}

// The Bartlett and triangular windows: their transform is a squared Dirichlet kernel, whose
// skirt falls only as the square of the distance.
bool TriangularWindow(WORD type)
{
    return type == TSmoothing::kBartlett || type == TSmoothing::kTriangular;
}

// Whether the bins hold nothing modelled before a tone (`leak` all nought) and bin `at` (DC's,
// or the first beside it where an offset leaves every other bin alone) no more than the tone's
// leakage there (`toneThere`, its beat with its image as much again) and what the noise reaches
// once in a million bins (`chance`): no offset the bins read, no other part.
bool NothingBesideTone(const std::vector<double>& leak, const float* magnitude, std::size_t at, double toneThere,
                       double chance)
{
    if (!magnitude || at >= leak.size() || !std::all_of(leak.begin(), leak.end(), [](double x) { return x == 0.0; }))
        return false;
    return static_cast<double>(magnitude[at]) <= 2.0 * toneThere + chance;
}

// Whether the window puts an offset into DC's bin alone, its transform a null at every other
// bin (a uniform run over the whole block): `response` the offset's power per bin.
bool OffsetInDcBinAlone(const std::vector<double>& response)
{
    // Far above the transform's rounding, far under any skirt a window has.
    constexpr double kNull = 1e-20;
    if (response.size() < 2 || !(response[0] > 0.0))
        return false;
    return std::all_of(response.begin() + 1, response.end(), [&](double x) { return x <= kNull * response[0]; });
}

LeakageAllowance AllowanceFor(WORD type)
{
    if (LeakyWindow(type))
        return {0.02, 0.5};
    return {0.002, 0.03};
}

// How far a tone's power read from its lobe may be off, as a share: by its beat with its mirror
// image (`image`, the most it moves the lobe), with the noise and with another part's skirt
// there (`noise`, `other`: their power over the lobe as shares of the lobe's).
double LobePowerDoubt(double image, double noise, double other)
{
    return image + noise + 2.0 * std::sqrt(noise) + 2.0 * std::sqrt(other);
}

// The most columns a tone's leakage fit has: the noise floor, the beat with its own image, and
// with a partner both the partner's beat with the tone and with the tone's image.
constexpr int kLeakColumns = 7;

// Narrows a fit's prior on the beats with the image (columns 1, 2), with the partner (3, 4) and
// between the partner and the image (5, 6), each held within 1 at a deviation of 1/sqrt(2), to
// the share of each the average keeps (never quite nothing, so that the prior stays finite where
// the blocks' phases cancel a beat entirely); false where the average keeps them whole.
bool HoldToKept(double (&prior)[kLeakColumns][kLeakColumns], double imageKept, double partnerKept,
                double partnerImageKept)
{
    constexpr double kLeast = 1e-3;
    if (!(imageKept < 1.0 || partnerKept < 1.0 || partnerImageKept < 1.0))
        return false;
    for (int a = 1; a < kLeakColumns; ++a) {
        const double kept = std::clamp(a < 3 ? imageKept : a < 5 ? partnerKept : partnerImageKept, kLeast, 1.0);
        prior[a][a] = std::max(prior[a][a], 2.0 / (kept * kept));
    }
    return true;
}

// How much of the bound their powers set (2 sqrt(P Q)) two lines can add or cancel by over a
// lobe's bins, given their transforms there: |sum u v*| / (|u| |v|). A product and a far tone's
// skirt, whose phases turn apart across the lobe, add by much less than the bound.
double LobeCorrelation(const std::vector<std::complex<double>>& u, const std::vector<std::complex<double>>& v)
{
    std::complex<double> cross = 0.0;
    double uu = 0.0, vv = 0.0;
    for (std::size_t k = 0; k < u.size() && k < v.size(); ++k) {
        cross += u[k] * std::conj(v[k]);
        uu += std::norm(u[k]);
        vv += std::norm(v[k]);
    }
    return uu > 0.0 && vv > 0.0 ? std::min(std::abs(cross) / std::sqrt(uu * vv), 1.0) : 1.0;
}

// How far a bin beside a tone scatters about its model: the noise `floor` itself, its beat with
// the `leakage` there, and what the tone's place and the model leave uncertain (`modelled`).
// Weighed by this, the bins next to a triangular window's lobe, where the leakage stands far
// over the noise, tell the mirror beat closely.
double BesideLobeScatter(double leakage, double floor, double modelled)
{
    return std::sqrt(floor * floor + 4.0 * std::max(leakage, 0.0) * floor + modelled * modelled);
}

// The same where two tones are fitted with a column for each one's shift: the uniform window's
// transform is the Dirichlet kernel itself (the force window's, of half the block, too), and
// with the places moved by the fit its leakage is known as well as the steady windows'.
LeakageAllowance PairAllowance(WORD type)
{
    return type == TSmoothing::kUniform || type == TSmoothing::kForce ? AllowanceFor(TSmoothing::kHanning)
                                                                       : AllowanceFor(type);
}

// Two standard deviations of a chi-square of as many degrees as the index (the 95.45 % point):
// how far the columns a prior holds may give up together, in units of the bins' scatter.
constexpr double kTwoDeviationsOf[kLeakColumns] = {4.0, 4.0, 6.180, 8.025, 9.716, 11.314, 12.849};

// A part this near a bin (in bins) leaks under a millionth of its power through the uniform
// window into its neighbours: it is taken as on the bin.
constexpr double kOnBin = 1e-3;

// The sum of the squares of `v` (a window's energy, a column's length).
double SquareSum(const std::vector<double>& v)
{
    double sum = 0.0;
    for (double e : v)
        sum += e * e;
    return sum;
}

// Through the uniform window a part on a bin leaks nowhere, and one a little off it into both
// neighbours. A product's place is the tones' combined (`made`: so many times each), off by as
// much as their places' errors add up to; one within that of a bin can't be told from one on it,
// and is taken as on it (an exact CCIF pair's difference, placed a 60th of a bin off, put into
// the bins beside it more than they held, and its beats with the tones, fitted on those bins
// alone, traded with its power).
void PlaceOnBins(std::vector<double>& places, const std::vector<std::pair<int, int>>& made, double firstError,
                 double secondError)
{
    for (std::size_t i = 2; i < places.size(); ++i) {
        const double error = std::abs(made[i].first) * firstError + std::abs(made[i].second) * secondError;
        if (std::abs(places[i] - std::round(places[i])) < error)
            places[i] = std::round(places[i]);
    }
}

// For the uniform window of N points and parts at c0, c1 (the tones) and cj, the factor r of
// A(k - c1) A(k - cj) = r A(k - c0) A(k - cj) + q A(k - c0) A(k - c1) over whole bins k (see
// FitTwoTonesAt), as a magnitude.
double DirichletShare(double c0, double c1, double cj, UINT N)
{
    const double n = static_cast<double>(N);
    const double below = std::abs(std::sin(M_PI * c0) * std::sin(M_PI * (c1 - cj) / n));
    return below > 0.0 ? std::abs(std::sin(M_PI * c1) * std::sin(M_PI * (c0 - cj) / n)) / below : HUGE_VAL;
}

// Weights for reading the noise among a leaky window's skirts: a bin strays from the model by
// its typical noise (the median of `rest` over the bins `free`) and by the leakage model's
// `share` of what the tones leak there (`leak`), so the bins beside the tones, whose misfit
// outweighs the noise a hundredfold, count for little.
std::vector<double> LeakageWeights(const std::vector<double>& rest, const std::vector<unsigned char>& free, int from,
                                   int to, double share, const std::function<double(int)>& leak)
{
    std::vector<double> held;
    for (int k = from; k <= to; ++k)
        if (free[static_cast<std::size_t>(k)])
            held.push_back(std::max(rest[static_cast<std::size_t>(k)], 0.0));
    std::vector<double> weight(rest.size(), 0.0);
    if (held.empty())
        return weight;
    std::nth_element(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(held.size() / 2), held.end());
    const double typical = held[held.size() / 2];
    for (int k = from; k <= to; ++k) {
        const double spread = typical + share * std::max(leak(k), 0.0);
        weight[static_cast<std::size_t>(k)] = spread > 0.0 ? 1.0 / (spread * spread) : 0.0;
    }
    return weight;
}

// Gauss-Jordan elimination with partial pivoting of the m x 2m augmented matrix `t` (a normal
// matrix beside the identity), leaving the inverse in its right half; false where a pivot is no
// larger than `tiny` (the columns can't be told apart).
template <std::size_t Rows, std::size_t Cols>
bool InvertAugmented(double (&t)[Rows][Cols], int m, double tiny)
{
    for (int c = 0; c < m; ++c) {
        int pivot = c;
        for (int r = c + 1; r < m; ++r)
            if (std::abs(t[r][c]) > std::abs(t[pivot][c]))
                pivot = r;
        if (!(std::abs(t[pivot][c]) > tiny) || !std::isfinite(t[pivot][c]))
            return false;
        for (int j = 0; j < 2 * m; ++j)
            std::swap(t[c][j], t[pivot][j]);
        const double d = t[c][c];
        for (int j = 0; j < 2 * m; ++j)
            t[c][j] /= d;
        for (int r = 0; r < m; ++r) {
            if (r == c)
                continue;
            const double f = t[r][c];
            for (int j = 0; j < 2 * m; ++j)
                t[r][j] -= f * t[c][j];
        }
    }
    return true;
}

// Least squares of y on the regressors x (up to three) over the bins `use`, each weighed by
// `weight`: the coefficients, or none where one regressor is made up of the others.
bool FitOnBins(int count, const std::function<void(int, double*)>& x, const std::vector<double>& y,
               const std::vector<double>& weight, const std::vector<unsigned char>& use, int from, int to,
               double* coefficient)
{
    double t[3][6] = {}, b[3] = {};
    for (int k = from; k <= to; ++k) {
        if (!use[static_cast<std::size_t>(k)])
            continue;
        double v[3] = {};
        x(k, v);
        const double w = weight[static_cast<std::size_t>(k)];
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < count; ++j)
                t[i][j] += w * v[i] * v[j];
            b[i] += w * v[i] * y[static_cast<std::size_t>(k)];
        }
    }
    // The regressors differ in scale by many decades: they are brought to one first.
    double scale[3] = {};
    for (int i = 0; i < count; ++i) {
        if (!(t[i][i] > 0.0) || !std::isfinite(t[i][i]))
            return false;
        scale[i] = 1.0 / std::sqrt(t[i][i]);
    }
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < count; ++j)
            t[i][j] *= scale[i] * scale[j];
        t[i][count + i] = 1.0;
    }
    if (!InvertAugmented(t, count, 1e-9))
        return false;
    for (int i = 0; i < count; ++i) {
        double sum = 0.0;
        for (int j = 0; j < count; ++j)
            sum += t[i][count + j] * scale[j] * b[j];
        coefficient[i] = sum * scale[i];
    }
    return true;
}

// Two tones' leakages add or cancel by 2 Re(g V1(k) V2*(k)) at every bin k, g what the average
// keeps of the tones' amplitudes' product. Where their phases turn alike from block to block
// (a pair whole bins apart, read at a hop of a quarter block) that beat stays through the
// average and, under a leaky window, outweighs the noise across the band: it is fitted over
// the noise bins `free` with the noise's mean (a least-squares fit of rest = a + b Re z + c Im z)
// and taken from `rest` where `rest` holds the noise alone. Read as noise, it put a noise above
// what the bins beside the products hold and left products in the clear unread. Gives the
// noise's mean so fitted (NaN where the fit is singular).
double TakeTonesBeat(std::vector<double>& rest, const std::vector<double>& weight, const std::vector<unsigned char>& free,
                     int from, int to, const std::function<std::complex<double>(int)>& beat)
{
    double c[3] = {};
    auto both = [&](int k, double* v) {
        const std::complex<double> z = beat(k);
        v[0] = 1.0;
        v[1] = z.real();
        v[2] = z.imag();
    };
    // A fit that leaves the noise under nothing took the skirts' misfit for the beat: the rest
    // stays as it was read.
    if (FitOnBins(3, both, rest, weight, free, from, to, c)) {
        if (!(c[0] > 0.0))
            return NAN;
        for (int k = from; k <= to; ++k) {
            const std::complex<double> z = beat(k);
            rest[static_cast<std::size_t>(k)] -= c[1] * z.real() + c[2] * z.imag();
        }
        return c[0];
    }
    // A symmetric window's beat keeps one phase over every bin: its real and imaginary parts
    // are one shape, taken along the phase the beat keeps.
    std::complex<double> squares = 0.0;
    for (int k = from; k <= to; ++k)
        if (free[static_cast<std::size_t>(k)])
            squares += beat(k) * beat(k);
    const std::complex<double> turn = std::polar(1.0, -0.5 * std::arg(squares));
    auto along = [&](int k, double* v) {
        v[0] = 1.0;
        v[1] = (beat(k) * turn).real();
    };
    if (!FitOnBins(2, along, rest, weight, free, from, to, c) || !(c[0] > 0.0))
        return NAN;
    for (int k = from; k <= to; ++k)
        rest[static_cast<std::size_t>(k)] -= c[1] * (beat(k) * turn).real();
    return c[0];
}

// The harmonic a place `place` bins up stands for, of a fundamental at `fundamental` bins.
int HarmonicOrder(double place, double fundamental)
{
    return static_cast<int>(std::lround(place / fundamental));
}

// The noise under the tones' lobes is the typical content of the free bins: how many of its
// standard deviations it may be off by. Thousands of readings meet two now and then.
constexpr double kNoiseSigmas = 3.0;

// A line of power H over its lobe beats with the noise there (n a bin) by 2 Re(H N*) summed
// over the lobe: the noise taken along the line's own shape, whose variance is 2 n H g for one
// block, g = N sum(w^4) / sum(w^2)^2 of the window `w` (1.9 Hann, 4.1 flat-top). Blocks
// average that beat as they average the noise's power, to within a tenth at any overlap.
double NoiseBeatFactor(const std::vector<double>& w)
{
    double s2 = 0.0, s4 = 0.0;
    for (double v : w) {
        s2 += v * v;
        s4 += v * v * v * v;
    }
    return s2 > 0.0 ? static_cast<double>(w.size()) * s4 / (s2 * s2) : 0.0;
}
constexpr double kBeatBlocksShare = 0.9;

// The last bin a harmonic at `place` takes when its lobe ends `halfWidth` bins past `best`: no
// further than halfway to the next harmonic, `spacing` bins on. Harmonics closer than a lobe's
// width (a fundamental a few bins up) would otherwise take their neighbour's peak, which was
// then read as theirs, mostly hidden under the fundamental, and THD N/A. A harmonic left no bin
// past the fundamental's lobe (ending at `lobeEnd`) keeps its whole skirt: its own part of it is
// all that shows of it (given to the next harmonic, a 2nd harmonic went missing from THD+N).
long CrowdedLobeEnd(long best, int halfWidth, double place, double spacing, long lobeEnd)
{
    const long halfway = static_cast<long>(std::floor(place + spacing / 2.0));
    return halfway > lobeEnd ? std::min<long>(best + halfWidth, halfway) : best + halfWidth;
}

// Two steady lines d bins apart add or cancel over the whole spectrum by 2 sqrt(P Q) times
// this share, the transform of the window's square at d over its value at 0 (Parseval); their
// phases stay put from block to block. Lines a few bins apart meet through their lobes: the
// harmonics of a tone a few bins up read 2 dB low or high as their beats fell.
double SquareTransformShare(const std::vector<double>& w, double d)
{
    const double n = static_cast<double>(w.size());
    std::complex<double> sum;
    double whole = 0.0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        sum += w[i] * w[i] * std::polar(1.0, 2.0 * M_PI * d * static_cast<double>(i) / n);
        whole += w[i] * w[i];
    }
    return whole > 0.0 ? std::abs(sum) / whole : 1.0;
}

// Defined with the fits below.
bool CholeskyInPlace(std::vector<double>& a, std::size_t m);
void CholeskySolve(const std::vector<double>& factor, std::size_t m, std::vector<double>& v);

// How much of what crowded lobes hold a fit of their lines on their places may leave unexplained
// (as a root of the squares' share).
constexpr double kCrowdedMisfit = 0.05;

// The peak powers of lines at `places` (in order) whose lobes meet, fitted over the bins `at`
// holding `y` together with each neighbouring pair's beat: through a symmetric window (real
// kernel `kernel` x bins from a line) a pair's beat has one phase over every bin, in proportion
// to their kernels' product. Only pairs closer than `reach` beat there. Empty where the bins
// can't tell the columns apart.
std::vector<double> CrowdedLinesFit(const std::vector<double>& places, double reach, const std::vector<long>& at,
                                    const std::vector<double>& y, const std::function<double(double)>& kernel)
{
    const std::size_t n = places.size();
    std::vector<std::size_t> pairs;
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (places[i + 1] - places[i] < reach)
            pairs.push_back(i);
    const std::size_t m = n + pairs.size();
    if (pairs.empty() || at.size() <= m)
        return {};
    std::vector<double> a(m * m, 0.0), b(m, 0.0), row(m, 0.0), lobe(n, 0.0);
    for (std::size_t r = 0; r < at.size(); ++r) {
        const double k = static_cast<double>(at[r]);
        for (std::size_t i = 0; i < n; ++i) {
            lobe[i] = kernel(k - places[i]);
            row[i] = lobe[i] * lobe[i];
        }
        for (std::size_t p = 0; p < pairs.size(); ++p)
            row[n + p] = 2.0 * lobe[pairs[p]] * lobe[pairs[p] + 1];
        for (std::size_t i = 0; i < m; ++i) {
            if (row[i] == 0.0)
                continue;
            b[i] += row[i] * y[r];
            for (std::size_t j = 0; j < m; ++j)
                a[i * m + j] += row[i] * row[j];
        }
    }
    // Brought to one scale, then solved by the normal matrix's Cholesky factor.
    std::vector<double> scale(m, 0.0);
    for (std::size_t i = 0; i < m; ++i) {
        if (!(a[i * m + i] > 0.0))
            return {};
        scale[i] = 1.0 / std::sqrt(a[i * m + i]);
    }
    for (std::size_t i = 0; i < m; ++i) {
        b[i] *= scale[i];
        for (std::size_t j = 0; j < m; ++j)
            a[i * m + j] *= scale[i] * scale[j];
    }
    if (!CholeskyInPlace(a, m))
        return {};
    for (std::size_t i = 0; i < m; ++i)
        if (!(a[i * m + i] > 1e-4))
            return {};
    CholeskySolve(a, m, b);
    for (std::size_t i = 0; i < m; ++i)
        b[i] *= scale[i];
    // The lines on their places must hold what the bins do: a line off its place (a second tone
    // near a harmonic's) leaves a misfit the neighbours' columns take up far along the lobes.
    double misfit = 0.0, held = 0.0;
    std::vector<double> binMisfit(at.size()), binHeld(at.size());
    for (std::size_t r = 0; r < at.size(); ++r) {
        const double k = static_cast<double>(at[r]);
        double model = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            lobe[i] = kernel(k - places[i]);
            model += b[i] * lobe[i] * lobe[i];
        }
        for (std::size_t p = 0; p < pairs.size(); ++p)
            model += b[n + p] * 2.0 * lobe[pairs[p]] * lobe[pairs[p] + 1];
        binMisfit[r] = (y[r] - model) * (y[r] - model);
        binHeld[r] = y[r] * y[r];
        misfit += binMisfit[r];
        held += binHeld[r];
    }
    if (!(misfit <= kCrowdedMisfit * kCrowdedMisfit * held))
        return {};
    // Each line only as far as the fit shows it beyond two deviations of what the bins scatter
    // about it by (the misfit's, as the noise's): a weak line read off a strong one's misfit beats
    // with it by the root of their product, far more than itself.
    const double variance = misfit / static_cast<double>(at.size() - m);
    std::vector<double> unit(m, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        // The diagonal of the inverse normal matrix: the square of L^-1 e_i.
        std::fill(unit.begin(), unit.end(), 0.0);
        unit[i] = 1.0;
        double square = 0.0;
        for (std::size_t r = i; r < m; ++r) {
            for (std::size_t k = i; k < r; ++k)
                unit[r] -= a[r * m + k] * unit[k];
            unit[r] /= a[r * m + r];
            square += unit[r] * unit[r];
        }
        b[i] -= 2.0 * std::sqrt(variance * square) * scale[i];
        // And only where the fit holds the bins from the line below to the one above: a strong
        // line a little off its place leaves a misfit there that the fit, over all the lobes,
        // takes for the neighbours' beats.
        const double below = i > 0 ? places[i - 1] : places[i] - reach / 2.0,
                     above = i + 1 < n ? places[i + 1] : places[i] + reach / 2.0;
        double localMisfit = 0.0, localHeld = 0.0;
        for (std::size_t r = 0; r < at.size(); ++r)
            if (static_cast<double>(at[r]) >= below && static_cast<double>(at[r]) <= above) {
                localMisfit += binMisfit[r];
                localHeld += binHeld[r];
            }
        if (!(localMisfit <= kCrowdedMisfit * kCrowdedMisfit * localHeld))
            b[i] = 0.0;
    }
    b.resize(n);
    return b;
}

// What the lines at `places` holding `powers` may add or cancel by, pairs closer than `reach`
// bins (beyond it the window's square leaves nothing of their beat).
double CrowdedBeat(const std::vector<double>& w, const std::vector<double>& places, const std::vector<double>& powers,
                   double reach)
{
    // Harmonics lie at multiples of one spacing: a few distances serve every pair.
    std::vector<std::pair<double, double>> known;
    auto share = [&](double d) {
        for (const auto& [at, value] : known)
            if (std::abs(at - d) < 1e-6)
                return value;
        known.emplace_back(d, SquareTransformShare(w, d));
        return known.back().second;
    };
    double beat = 0.0;
    for (std::size_t i = 0; i < places.size(); ++i)
        for (std::size_t j = i + 1; j < places.size(); ++j) {
            const double d = std::abs(places[j] - places[i]);
            if (d < reach && powers[i] > 0.0 && powers[j] > 0.0)
                beat += 2.0 * std::sqrt(powers[i] * powers[j]) * share(d);
        }
    return beat;
}

// The rounding of the spectrum's single-precision arithmetic, as a share of a tone's power.
constexpr double kArithmeticFloor = 3e-14;
// What each of a single-precision transform's log2 N stages adds to the band as noise, as a
// share of all the power the transform carries (a third of the square of float's epsilon): an
// offset carries as much as a tone, and a tone 125 dB over its noise read 0.3 dB low.
constexpr double kRoundingPerStage = 1.25e-15;
// Harmonic orders looked for: a line on a higher multiple of the tone is noise.
constexpr UINT kHarmonicOrders = 40;
// How much more the places of a generated tone's rounding lines must hold than the bins midway
// between them to read the noise as those lines, and over how many bins each: white noise
// scatters the medians of 16 bins of one block by about a third; lines four bins apart through
// the widest of the steady windows leave 12 times as much on their places.
constexpr std::size_t kLineBins = 16;
constexpr double kLineContrast = 4.0;

// The share of the window's power over a harmonic's lobe that its own bins must hold for the
// lobe to be fitted as a whole: the bins at the lobe's edge hold a few per cent.
constexpr double kWholeLobe = 0.95;
// The share of it that must lie beside the fundamental's lobe for a harmonic partly under
// that lobe to be fitted (its peak bin among them): with half, a fit read THD 2 dB low.
constexpr double kSeenToFit = 0.75;
// A line whose lobe holds a 400th of the fundamental's (26 dB under it) or more is a second tone
// modelled with the fundamental: harmonics of a measured tone stand far lower.
constexpr double kSecondLine = 1.0 / 400.0;
// On a run window, a weaker line's skirt meets the fundamental's over the whole band at one
// phase, by twice the root of its share: far from both, that beat looks just as the
// fundamental's beat with its own image does, and its fit reads the one as the other (a force
// tone's 9th harmonic 32 dB down bent the image's beat by a tenth, and the leakage taken from
// the lower harmonics' lobes passed for them: THD+N 1.1 dB high). A line whose beat passes what
// the leakage model allows is modelled with the fundamental there.
double SecondLineShare(WORD type)
{
    const double beat = AllowanceFor(type).model / 2.0;
    return RunWindow(type) ? std::min(kSecondLine, beat * beat) : kSecondLine;
}
// How much less the bins must scatter about a fit that takes two lines' beat than about one
// that leaves it out for the beat to count as kept by the average.
constexpr double kKeptBeat = 0.8;
// The same on a run window beside a harmonic, whose fit takes the lines' beats with each other's
// images too: over the thousands of bins their skirts cover, the noise alone moves the scatter by a
// thousandth, and the beats by a tenth (a force tone's strong 9th harmonic: 9 %).
constexpr double kKeptRunBeat = 0.95;
// How many of its deviations an intermodulation product must stand above what the fit may
// read from the bins' scatter alone: thousands of readings of several products each never
// meet five.
constexpr double kProductSigmas = 5.0;
// How many of its deviations the products' sum must be good to 1 dB at: at three, one
// reading in a thousand of few blocks strays past it.
constexpr double kDoubtSigmas = 3.0;

// Where the noise summed over a run of bins, whose square scatter is `scatter` times the
// square of its mean, reaches once in about a million runs, as a multiple of its mean: the
// sum spreads as a gamma variate of shape 1/scatter (Wilson and Hilferty's cube root at five
// deviations). With one block averaged a lobe of noise reads some 16 times its mean that
// often; settled, little more than its mean. IMD reads no product from that.
// Where the run is the strongest of `places` apart, the tail it reaches once in a million such
// searches lies further out: the square of the deviations grows by 2 ln(places).
double NoiseTail(double scatter, double places = 1.0)
{
    const double k = 2.0 / std::clamp(scatter, 1e-4, 1.0);
    const double deviations = std::sqrt(25.0 + 2.0 * std::log(std::max(places, 1.0)));
    const double root = 1.0 - 2.0 / (9.0 * k) + deviations * std::sqrt(2.0 / (9.0 * k));
    return root * root * root;
}

// The square scatter of sums of `span` noise bins about their mean (the inverse of their gamma
// distribution's shape), from pairs of such sums of free bins `gap` bins apart (no nearer than
// the window's lobe, whose bins share their noise): (a - b) / (a + b) has a mean square of
// 1 / (2 shape + 1) whatever the level, so a level that changes over the band (coloured
// noise, a tone's far leakage) is not taken for scatter. One block's (1) where fewer than 32
// pairs are free (and `measured` false).
double NoiseScatter(const float* mag, const std::vector<unsigned char>& free, std::size_t span, std::size_t gap,
                    bool* measured = nullptr)
{
    auto sumOf = [&](std::size_t k, double& v) {
        v = 0.0;
        for (std::size_t j = k; j < k + span; ++j) {
            if (!free[j])
                return false;
            v += mag[j];
        }
        return true;
    };
    double sum = 0.0;
    std::size_t pairs = 0;
    for (std::size_t k = 0; k + gap + span <= free.size();) {
        double a = 0.0, b = 0.0;
        if (!sumOf(k, a) || !sumOf(k + gap, b) || !(a + b > 0.0)) {
            ++k;
            continue;
        }
        const double r = (a - b) / (a + b);
        sum += r * r;
        ++pairs;
        k += gap + span;
    }
    if (measured)
        *measured = pairs >= 32;
    if (pairs < 32)
        return 1.0;
    const double e = std::min(sum / static_cast<double>(pairs), 0.5);
    return std::clamp(2.0 * e / (1.0 - e), 1e-4, 1.0);
}

// The median of what the free bins `free` (at `freeBin`) hold, over the half of them that the
// leakage taken away leaves most certain (`spread` a bin): where a tone's leakage covers every
// other bin (a tone on a bin through the triangular window), what is left of it there scatters
// about nothing, read the median bin as nothing, and with it the noise under the harmonics.
double CertainMedian(const std::vector<double>& free, const std::vector<UINT>& freeBin, const std::vector<double>& spread)
{
    std::vector<std::pair<double, double>> bySpread(free.size());
    for (std::size_t i = 0; i < free.size(); ++i)
        bySpread[i] = {spread[freeBin[i]], free[i]};
    const std::size_t half = std::max<std::size_t>(1, (free.size() + 1) / 2);
    std::nth_element(bySpread.begin(), bySpread.begin() + (half - 1), bySpread.end());
    std::vector<double> held(half);
    for (std::size_t i = 0; i < half; ++i)
        held[i] = bySpread[i].second;
    std::nth_element(held.begin(), held.begin() + held.size() / 2, held.end());
    return std::max(held[held.size() / 2], 0.0);
}

// The median of `v` (none below nothing).
double PlainMedian(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return std::max(v[v.size() / 2], 0.0);
}

// The noise a bin must stand far above to count as a spur: the median bin's, or where that holds
// nothing beyond the leakage (its beat with the noise cancelling as often as it adds), the bins'
// scatter about the leakage taken away: judged against nothing, every bin whose beat happened to
// add passed for a spur (one Hamming block under a skirt covering every bin: the noise read 14 dB
// high, THD+N 3.6 dB). Their mean is no such measure: where the leakage's misfit outweighs the
// noise it may be a sliver over nothing, or nothing at all, and the bins that happened to hold
// more passed for spurs again (one Hamming block of a tone half a bin off beside a 1 % offset:
// THD+N 11.6 dB high).
double SpurReference(const std::vector<double>& free, double median)
{
    if (median > 0.0 || free.empty())
        return median;
    double squares = 0.0;
    for (double v : free)
        squares += v * v;
    return std::sqrt(squares / static_cast<double>(free.size()));
}

// What the parts of a fit other than part t (their columns `columns[p]`, fitted powers `power[p]`,
// m of them) put into its fit bin b.
double OtherParts(const std::vector<std::vector<double>>& columns, const std::vector<double>& power, std::size_t m,
                  std::size_t t, std::size_t b)
{
    double other = 0.0;
    for (std::size_t p = 0; p < m; ++p)
        if (p != t)
            other += std::max(power[p], 0.0) * columns[p][b];
    return other;
}

// The most a part can hold over its lobe, where the lobe holds `held` and everything else in it
// `others`: the lines add as vectors over the lobe's bins and the blocks, so the part's amplitude
// is at most the sum of theirs (sqrt(P) <= sqrt(held) + sqrt(others)).
double MostInLobe(double held, double others)
{
    const double amplitude = std::sqrt(std::max(held, 0.0)) + std::sqrt(std::max(others, 0.0));
    return amplitude * amplitude;
}

// Whether an offset fitted at `dcPower` (in the units of its response `dcShape`) puts into the
// bins beside DC (1 .. `halfWidth`) several times what they hold: its beats with the parts
// beside it then cancel it there, and the two traded rather than told anything.
bool OffsetOutweighsItsLobe(double dcPower, const std::vector<double>& dcShape, const float* mag, int halfWidth, int bins)
{
    double fitted = 0.0, held = 0.0;
    for (int k = 1; k <= std::min(halfWidth, bins - 1); ++k) {
        fitted += dcPower * dcShape[static_cast<std::size_t>(k)];
        held += mag[k];
    }
    return fitted > 4.0 * held;
}

// What a two-tone fit puts into its fit bin b besides tone t's own line: the other parts (their
// columns `columns[p]`, fitted powers `power[p]`, m of them), the tone's mirror image (its
// column beyond its direct kernel `direct`, squared where the window is symmetric) and the
// offset (column `dcColumn`, 0 for none).
double OtherLines(const std::vector<std::vector<double>>& columns, const std::vector<double>& power,
                  const std::vector<double>& direct, std::size_t m, std::size_t t, std::size_t b, bool symmetric,
                  std::size_t dcColumn)
{
    double other = OtherParts(columns, power, m, t, b);
    const double own = direct[b * m + t];
    other += std::max(power[t], 0.0) * std::max(columns[t][b] - (symmetric ? own * own : own), 0.0);
    if (dcColumn > 0)
        other += std::max(power[dcColumn], 0.0) * columns[dcColumn][b];
    return other;
}

// The share of the leakage's allowed spread (`spread`, bounding the error of `leak`) that the
// free bins beside a harmonic's lobe show the model to need there. The allowance holds for every
// window and place; where it outweighs the noise's scatter in a bin (`typical`, scattering by
// `noiseScatter` of its square, averaged over `blocks`), what the bin holds beyond the leakage
// and two deviations of the noise is the model's error (where the noise is read as nothing, all
// it holds beyond the leakage: the noise left in it only widens the share). The error changes
// along the skirt, so only bins whose leakage is of the lobe's order (`least` to `most` a
// bin, within ten times) tell: twice the largest share any of them shows, never less than a fifth,
// and all of it without four of them.
double LeakageSpreadUsed(const float* mag, const std::vector<unsigned char>& owner, UINT from, UINT to,
                         const std::vector<double>& leak, const std::vector<double>& spread, double typical,
                         double noiseScatter, double blocks, double least, double most)
{
    constexpr double kLeastShare = 0.2;
    double largest = 0.0;
    int count = 0;
    for (UINT k = from; k <= to && k < owner.size(); ++k) {
        if (owner[k] != 0 || !(leak[k] >= 0.1 * least && leak[k] <= 10.0 * most))
            continue;
        const double deviation =
            std::sqrt(typical * typical * noiseScatter + 2.0 * std::max(leak[k], 0.0) * typical / blocks);
        if (!(spread[k] > 0.0) || !(spread[k] > 2.0 * deviation))
            continue;
        const double r = static_cast<double>(mag[k]) - leak[k] - typical;
        largest = std::max(largest, (std::abs(r) + 2.0 * deviation) / spread[k]);
        ++count;
    }
    return count < 4 ? 1.0 : std::clamp(2.0 * largest, kLeastShare, 1.0);
}

// A bin's weight in the fit of a tone's beat with its mirror image, by how far it truly
// scatters about the model: by the noise, the noise's beat with the leakage there, and the
// leakage's own error (the model's share, and what the tone's place leaves uncertain).
double ScatterWeight(double leakage, double floor, double modelError, double moved)
{
    const double error = modelError * leakage + moved;
    const double variance = 2.0 * leakage * floor + floor * floor + error * error;
    return variance > 0.0 ? 1.0 / variance : 0.0;
}

// Whether bin k lies within a lobe (`halfWidth` bins) of a harmonic of a tone at `place`.
bool NearHarmonic(UINT k, double place, int halfWidth)
{
    if (!(place > 0.0))
        return false;
    const double order = std::round(static_cast<double>(k) / place);
    return order >= 2.0 && std::abs(static_cast<double>(k) - order * place) <= halfWidth + 0.5;
}

// The covariance of a fit's solution `x` made with the inverse `inverse` of its normal
// matrix, from each row's own residual (White's estimator) rather than the residual's mean:
// bins scatter by what they hold. `bin(k, row, r, weight)` gives each row as the fit took it;
// the columns from `firstHeld` on were held by a prior of precision 2 `scatter` (in the units
// of the mean weighted residual `scatter`; where known better, the precision matrix `prior`),
// which counts as it did in the fit.
template <typename Bin>
void SandwichCovariance(const Bin& bin, const double (&inverse)[kLeakColumns][kLeakColumns], const double* x,
                        int columns, double scatter, int firstHeld,
                        double (&covariance)[kLeakColumns][kLeakColumns], UINT bins,
                        const double (*prior)[kLeakColumns] = nullptr)
{
    double meat[kLeakColumns][kLeakColumns] = {};
    for (UINT k = 1; k < bins; ++k) {
        double row[kLeakColumns] = {}, r = 0.0, weight = 0.0;
        if (!bin(k, row, r, weight))
            continue;
        double e = r;
        for (int a = 0; a < columns; ++a)
            e -= row[a] * x[a];
        const double w2e2 = weight * weight * e * e;
        for (int a = 0; a < columns; ++a)
            for (int b = 0; b < columns; ++b)
                meat[a][b] += w2e2 * row[a] * row[b];
    }
    for (int a = firstHeld; a < columns; ++a)
        for (int b = firstHeld; b < columns; ++b)
            meat[a][b] += (prior ? prior[a][b] : a == b ? 2.0 : 0.0) * scatter * scatter;
    for (int a = 0; a < columns; ++a)
        for (int b = 0; b < columns; ++b) {
            double sum = 0.0;
            for (int i = 0; i < columns; ++i)
                for (int j = 0; j < columns; ++j)
                    sum += inverse[a][i] * meat[i][j] * inverse[j][b];
            covariance[a][b] = sum;
        }
}

// A tone's power in the units of its leakage `leak` (the window's response as power at every
// bin), read from the bins of its lobe about `place`.
template <class Leak>
double LobeScale(const float* mag, int bins, double place, int halfWidth, Leak leak)
{
    double seen = 0.0, model = 0.0;
    const int c = static_cast<int>(std::lround(place));
    for (int k = std::max(c - halfWidth, 0); k <= std::min(c + halfWidth, bins - 1); ++k) {
        seen += mag[k];
        model += leak(k);
    }
    return model > 0.0 ? seen / model : 0.0;
}

// How far a tone's leakage (`scale` times `leak` at every bin) and whatever the lobe of a part
// at `place` holds may add or cancel by at most, as a share of what that lobe holds.
template <class Leak>
double BeatShare(const float* mag, int bins, double place, int halfWidth, double scale, Leak leak)
{
    double beat = 0.0, held = 0.0;
    const int c = static_cast<int>(std::lround(place));
    for (int k = std::max(c - halfWidth, 0); k <= std::min(c + halfWidth, bins - 1); ++k) {
        beat += 2.0 * std::sqrt(std::max(scale * leak(k), 0.0) * std::max(static_cast<double>(mag[k]), 0.0));
        held += mag[k];
    }
    return held > 0.0 ? beat / held : 1.0;
}

// A beat that moves a product's lobe by less than this share (0.04 dB) is bounded rather than
// fitted.
constexpr double kNegligibleBeat = 0.01;

// A tone's beats as the blocks' phases give them: with its own mirror image the average of
// e^(2i phase) over the blocks, with a steady offset that of e^(-i phase); and how far each may
// be off.
struct ImageBeat {
    std::complex<double> z, offset;
    double deviation = HUGE_VAL;
};

// Each block's value at the tone's peak bin is a u + b conj(u), u = e^(i phase), a and b the
// tone's and its image's transforms there: solved for u, its square is the block's image beat.
// A phase off by e turns the square by 2e; blocks averaged before the history began may have
// met the image at any phase.
ImageBeat ImageFromPhases(const std::vector<ToneModel::BlockPhase>& blocks, std::complex<double> a,
                          std::complex<double> b, double phaseError)
{
    ImageBeat beat;
    // Where the image holds the peak bin nearly as the tone does, the two can't be told apart.
    // One block's phase, read beside the noise and the offset's skirt under the lobe, gives the
    // beat closely (left to the bins, one block's beat was known only to a sixth of the leakage
    // at the 2nd harmonic: THD+N N/A where SNR read); a harmonic's lobe read from its fit then
    // carries the fit's own noise (without it, one Bartlett block of a tone 106 bins up read
    // THD+N 2 dB low).
    if (blocks.empty() || !(std::abs(b) < 0.5 * std::abs(a)) || !std::isfinite(phaseError))
        return beat;
    double known = 0.0;
    for (const ToneModel::BlockPhase& block : blocks) {
        const std::complex<double> x(block.value.real(), block.value.imag());
        const std::complex<double> u = std::conj(a) * x - b * std::conj(x);
        if (!(std::abs(u) > 0.0))
            return ImageBeat{};
        beat.z += block.weight * (u / std::abs(u)) * (u / std::abs(u));
        beat.offset += block.weight * std::conj(u / std::abs(u));
        known += block.weight;
    }
    // The error is a bound of some three deviations of the noise's share.
    beat.deviation = (std::min(2.0 * phaseError, 2.0) * known + std::max(1.0 - known, 0.0)) / 3.0;
    return beat;
}

// A beat with another line's skirt that moves a line's lobe by more than this share (0.2 dB)
// at its most is taken from the blocks' phases rather than the bins.
constexpr double kSharedLobeBeat = 0.05;

// Two lines' beat as the blocks' phases give it: each block's values at the tone's peak bin
// (`value`) and at the second line's (`second`) are a1 s + a2 t and b1 s + b2 t, s and t the
// lines' complex amplitudes, a and b their transforms at those bins; solved for s and t, the
// average of t s* / |t s| is the beat the average keeps. Each bin holds the other line's skirt,
// so neither phase alone tells it where the skirt stands a good part of the line. How far it
// may be off as ImageFromPhases has it, `phaseError` the two phases' errors summed.
ImageBeat PairFromPhases(const std::vector<ToneModel::BlockPhase>& blocks, std::complex<double> a1,
                         std::complex<double> a2, std::complex<double> b1, std::complex<double> b2, double phaseError)
{
    ImageBeat beat;
    const std::complex<double> det = a1 * b2 - a2 * b1;
    if (blocks.empty() || !(std::abs(det) > 0.1 * std::abs(a1 * b2)) || !std::isfinite(phaseError))
        return beat;
    const UINT secondBin = blocks.back().secondBin;
    double known = 0.0;
    for (const ToneModel::BlockPhase& block : blocks) {
        if (block.secondBin != secondBin)
            continue;
        const std::complex<double> x(block.value.real(), block.value.imag()), y(block.second.real(), block.second.imag());
        const std::complex<double> s = b2 * x - a2 * y, t = a1 * y - b1 * x;
        if (!(std::abs(s) > 0.0) || !(std::abs(t) > 0.0))
            return ImageBeat{};
        beat.z += block.weight * (t / std::abs(t)) * std::conj(s / std::abs(s));
        known += block.weight;
    }
    beat.deviation = (std::min(phaseError, 2.0) * known + std::max(1.0 - known, 0.0)) / 3.0;
    return beat;
}

// An offset beats with a tone by e^(-i phase) times its own size and sign, which the fit
// reads from the bins (the offset's power is read less well than the tone's): the phases hold
// y along their own direction, its part across it near nothing (`prior`, in the units of the
// fit's scatter, columns 3 and 4).
void OffsetBeatFromPhases(const ImageBeat& image, double (&prior)[kLeakColumns][kLeakColumns])
{
    const double size = std::abs(image.offset);
    if (!(size > 0.0))
        return;
    const double across[2] = {-image.offset.imag() / size, image.offset.real() / size};
    const double precision = 1.0 / (image.deviation * image.deviation);
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            prior[3 + a][3 + b] += precision * across[a] * across[b];
}

} // namespace

namespace {

// Half the main-lobe width of each window type in bins (to its first null, or where a window
// without nulls has shed nearly all of a tone's power): Bartlett, Blackman, Exponential,
// Flattop, Force, Hamming, Hanning, Kaiser, Parzen, Triangular, Uniform, Gaussian.
constexpr int kLobeHalfWidth[TSmoothing::kTypeCount] = {2, 3, 8, 4, 2, 2, 2, 4, 4, 2, 1, 4};
constexpr int kWidestLobe = *std::max_element(std::begin(kLobeHalfWidth), std::end(kLobeHalfWidth));

int LobeHalfWidth(WORD type)
{
    return type < TSmoothing::kTypeCount ? kLobeHalfWidth[type] : 1;
}

// The window's transform at a frequency offset x (bins) from a tone.
// The window's tables take hundreds of these sums: they read it through a plain pointer, as
// unoptimised (sanitizer) builds would otherwise call the vector for every coefficient.
std::complex<double> TransformAt(const std::vector<double>& window, double x)
{
    const double* w = window.data();
    const std::size_t size = window.size();
    const double step = -2.0 * M_PI * x / static_cast<double>(size);
    const double c = std::cos(step), s = std::sin(step);
    double re = 0.0, im = 0.0, ur = 1.0, ui = 0.0;
    for (std::size_t n = 0; n < size; ++n) {
        re += w[n] * ur;
        im += w[n] * ui;
        const double t = ur * c - ui * s;
        ui = ur * s + ui * c;
        ur = t;
        if ((n & 1023) == 1023) {
            // The rotation drifts over long windows: restart it from the exact angle.
            const double a = step * static_cast<double>(n + 1);
            ur = std::cos(a);
            ui = std::sin(a);
        }
    }
    return {re, im};
}

// The same as power.
double ResponseAt(const std::vector<double>& window, double x)
{
    return std::norm(TransformAt(window, x));
}

// The square scatter of the noise summed over runs of 1..most neighbouring bins of one block, as
// shares of the square of its mean: the window shares each bin's noise with its neighbours by
// rho(d), the transform of its squares at d bins over that at 0, and a run of m bins scatters
// as sum over |d| < m of (m - |d|) |rho(d)|^2, over m^2 (1/m only where rho vanishes, the
// uniform window's). Element m is the run of m; element 0 unused.
std::vector<double> SharedRunScatter(const std::vector<double>& window, int most)
{
    std::vector<double> squares(window.size()), rho(static_cast<std::size_t>(most), 0.0);
    std::vector<double> out(static_cast<std::size_t>(most) + 1, 1.0);
    for (std::size_t n = 0; n < window.size(); ++n)
        squares[n] = window[n] * window[n];
    const double at0 = SquareSum(window);
    if (!(at0 > 0.0))
        return out;
    for (int d = 0; d < most; ++d)
        rho[static_cast<std::size_t>(d)] = std::min(std::norm(TransformAt(squares, d)) / (at0 * at0), 1.0);
    for (int m = 1; m <= most; ++m) {
        double sum = 0.0;
        for (int d = -(m - 1); d <= m - 1; ++d)
            sum += (m - std::abs(d)) * rho[static_cast<std::size_t>(std::abs(d))];
        out[static_cast<std::size_t>(m)] = std::clamp(sum / (static_cast<double>(m) * m), 1.0 / m, 1.0);
    }
    return out;
}

// Where `cost` is least between lo and hi, by a golden-section search of `steps` steps: the
// cost must have one minimum there.
template <typename Cost> double GoldenMinimum(const Cost& cost, double lo, double hi, int steps)
{
    const double r = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = lo, b = hi;
    double x1 = b - r * (b - a), x2 = a + r * (b - a);
    double f1 = cost(x1), f2 = cost(x2);
    for (int i = 0; i < steps; ++i) {
        if (f1 <= f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - r * (b - a);
            f1 = cost(x1);
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + r * (b - a);
            f2 = cost(x2);
        }
    }
    return (a + b) / 2.0;
}

// Where `cost` is least about `centre`: the best of a grid of `kStep` bins (an eighth unless
// given) `points` either way, then a golden-section search within a grid step of it (a cost
// whose minima lie apart).
template <typename Cost> double GridThenGolden(const Cost& cost, double centre, int points, int steps,
                                               double kStep = 0.125)
{
    double at = centre, least = HUGE_VAL;
    for (int i = -points; i <= points; ++i) {
        const double c = cost(centre + i * kStep);
        if (c < least) {
            least = c;
            at = centre + i * kStep;
        }
    }
    return GoldenMinimum(cost, at - kStep, at + kStep, steps);
}

// As GridThenGolden, but searched about every least point of the grid, the least found kept: a
// cost whose minimum is far narrower than a step may leave its grid points above those of a
// shallow minimum beside it (a Hann tone 2.9-3.2 bins up, three blocks averaged: the image's
// column, nearly the tone's own at a whole bin, bends the cost into dips a few hundredths of a
// bin wide about bin 3, and the place was taken in one of them, a tenth to a quarter of a bin
// off, and every product with it).
template <typename Cost> double GridThenGoldenAtEveryDip(const Cost& cost, double centre, int points, int steps,
                                                         double kStep = 0.125)
{
    std::vector<double> grid;
    for (int i = -points; i <= points; ++i)
        grid.push_back(cost(centre + i * kStep));
    double at = centre, least = HUGE_VAL;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if ((i > 0 && grid[i - 1] < grid[i]) || (i + 1 < grid.size() && grid[i + 1] < grid[i]))
            continue;
        const double x = centre + (static_cast<double>(i) - points) * kStep;
        const double found = GoldenMinimum(cost, x - kStep, x + kStep, steps), c = cost(found);
        if (c < least) {
            least = c;
            at = found;
        }
    }
    return at;
}

// The grid's points straddle the bin's middle, where the cost may be undefined and have a
// minimum a few hundredths of a bin to either side: the grid then picks a side by its points a
// step out, not by the minima (a uniform tone 0.03 bins up placed 0.03 bins down, its
// harmonics' places with it: THD 3 dB high). A place found within a step of the middle is
// weighed against the best place on the other side.
template <typename Cost> double NearerMiddleEitherSide(const Cost& cost, double centre, double found, int steps)
{
    constexpr double kStep = 0.125, kApart = 1e-3;
    if (!(std::abs(found - centre) < kStep))
        return found;
    const double side = found < centre ? 1.0 : -1.0;
    const double other = GoldenMinimum(cost, centre + side * kApart, centre + side * 2.0 * kStep, steps);
    return cost(other) < cost(found) ? other : found;
}

// The uniform window's kernel about the block's middle at x bins (1 at 0): the Dirichlet kernel.
double DirichletKernel(double x, UINT N)
{
    const double below = static_cast<double>(N) * std::sin(M_PI * x / N);
    return std::abs(below) < 1e-12 ? 1.0 : std::sin(M_PI * x) / below;
}

// The place of a weaker tone whose strongest bin is `peak`, beside a stronger tone at `strong`,
// under the uniform window of N points. The stronger tone's skirt, falling only as the
// distance, adds to the weaker tone's lobe in the bins toward it and cancels in the others
// (their kernels' product changes sign across the weaker tone), so the lobe's shape alone
// placed a tone 19 dB under its neighbour 0.4 bin off, and a product of the two was then read
// on its lobe. Over `reach` bins either side of the peak the bins are fitted by the skirt's
// power, the tone's and their beat, one number each (the beat is one number times the
// kernels' product however the blocks average, as in FitTwoTonesAt), and the place is where
// that fit leaves least, each bin weighed as the noise's beat with what it holds has it. The
// fit's misfit has minima a fifth of a bin apart: a fine grid, then a golden-section search.
//
// Near the middle of its bin the weaker tone fits about as well on either side of it, its kernel
// flipped in every bin but its peak and the beat's sign with it; the wrong side reads their beat
// in the peak with the wrong sign (THD+N 1.3 dB high). What tells the sides apart is small, and
// the skirt's power fitted freely, or the stronger tone's mirror image left out (near the band's
// foot a fifth of its skirt), outweighed it. Where the stronger tone's power is known
// (`strongPower`, as its own bin reads it), its skirt and image are taken away at that power and
// the weaker tone's beats with each are fitted.
// `linePeak`, where given, receives the weaker tone's power at its place from that fit, its beats
// taken out (0 where the fit fails).
double PlaceBesideSkirt(const float* mag, UINT N, double strong, int peak, int reach, int strongBin = -1,
                        double* linePeak = nullptr)
{
    const int count = 2 * reach + 1;
    std::vector<double> y(static_cast<std::size_t>(count)), weight(y.size());
    const std::vector<unsigned char> use(y.size(), 1);
    for (int j = 0; j < count; ++j) {
        y[static_cast<std::size_t>(j)] = mag[peak - reach + j];
        weight[static_cast<std::size_t>(j)] = y[static_cast<std::size_t>(j)] > 0.0 ? 1.0 / y[static_cast<std::size_t>(j)] : 0.0;
    }
    bool image = strongBin >= 0;
    std::vector<double> rest(y.size());
    auto misfitAt = [&](double c, double at, double* fitted = nullptr) {
        // The stronger tone's power as its own bin holds it at this place.
        const double own = image ? DirichletKernel(strongBin - at, N) : 0.0, power = image ? mag[strongBin] / (own * own) : 0.0;
        for (int j = 0; j < count; ++j) {
            const double k = peak - reach + j, skirt = DirichletKernel(k - at, N), mirror = DirichletKernel(k + at, N);
            rest[static_cast<std::size_t>(j)] = y[static_cast<std::size_t>(j)] - power * (skirt * skirt + mirror * mirror);
        }
        // The skirt's beat with its image (their kernels' product) is a sum of the two beats with
        // the weaker tone: those two columns carry it.
        auto columns = [&](int j, double* v) {
            const double k = peak - reach + j, skirt = DirichletKernel(k - at, N), line = DirichletKernel(k - c, N);
            v[0] = image ? DirichletKernel(k + at, N) * line : skirt * skirt;
            v[1] = line * line;
            v[2] = skirt * line;
        };
        double a[3] = {};
        if (!FitOnBins(3, columns, rest, weight, use, 0, count - 1, a))
            return HUGE_VAL;
        if (fitted)
            *fitted = a[1];
        double sum = 0.0;
        for (int j = 0; j < count; ++j) {
            double v[3];
            columns(j, v);
            const double r = rest[static_cast<std::size_t>(j)] - a[0] * v[0] - a[1] * v[1] - a[2] * v[2];
            sum += weight[static_cast<std::size_t>(j)] * r * r;
        }
        return sum;
    };
    // The sides differ by less than a few ten-thousandths of a bin in the stronger tone's place
    // move its skirt where it falls to nil between bins: that place is fitted too, that close.
    constexpr double kStrongMoves = 3e-3;
    auto misfit = [&](double c, double* fitted = nullptr) {
        if (!image)
            return misfitAt(c, strong, fitted);
        const double at = GoldenMinimum([&](double x) { return misfitAt(c, x); }, strong - kStrongMoves,
                                        strong + kStrongMoves, 12);
        double moved = 0.0, still = 0.0;
        const double a = misfitAt(c, at, &moved), b = misfitAt(c, strong, &still);
        if (fitted)
            *fitted = a < b ? moved : still;
        return std::min(a, b);
    };
    // Far from the foot the two beats' columns can't be told apart: the skirt's power is fitted then.
    if (image && !(misfit(peak - 0.25) < HUGE_VAL && misfit(peak + 0.25) < HUGE_VAL))
        image = false;
    // A line near its bin's middle has a minimum either side of it (see NearerMiddleEitherSide).
    auto cost = [&](double c) { return misfit(c); };
    const double place = NearerMiddleEitherSide(cost, peak, GridThenGolden(cost, peak, 50, 20, 0.01), 20);
    if (linePeak) {
        *linePeak = 0.0;
        misfit(place, linePeak);
    }
    return place;
}

// A uniform line's lobe power from its power at its place as PlaceBesideSkirt fits it (its beat
// with the other tone's skirt taken out: read as its lobe stands, a kept beat moved a CCIF tone
// 0.55 dB); `standing`, the lobe as it stands, where that fit failed or can't tell. Within a
// twentieth of a bin of its bin's middle the line fits about as well on either side, and the
// power at each differs by twice their beat (a tone 0.03 bins past its bin, placed as far below
// it, read 1.6 dB high).
double LobeBesideSkirt(double peakPower, double place, UINT peak, int halfWidth, UINT N, double standing)
{
    constexpr double kSidesAlike = 0.05;
    if (!(peakPower > 0.0) || !std::isfinite(peakPower) || std::abs(place - peak) < kSidesAlike)
        return standing;
    double shape = 0.0;
    for (int j = -halfWidth; j <= halfWidth; ++j) {
        const double d = DirichletKernel(static_cast<double>(peak) + j - place, N);
        shape += d * d;
    }
    return peakPower * shape;
}

// What a lobe holds beyond one line's shape at offset delta from its middle bin: the squared
// misfit of the window's response, scaled to fit the lobe best.
template <typename Response>
double LobeMismatch(const Response& response, const float* lobe, int halfWidth, double delta)
{
    double pg = 0.0, gg = 0.0, pp = 0.0;
    for (int m = -halfWidth; m <= halfWidth; ++m) {
        const double gm = response(m - delta), pm = lobe[m + halfWidth];
        pg += pm * gm;
        gg += gm * gm;
        pp += pm * pm;
    }
    return gg > 0.0 ? pp - pg * pg / gg : pp;
}

// The tone's offset from its strongest bin (-0.5 .. 0.5 bins): the offset whose window
// response best matches the lobe's shape.
template <typename Response>
double ToneOffset(const Response& response, const float* lobe, int halfWidth, double from = -0.5, double to = 0.5)
{
    // The mismatch has one minimum over half a bin either way.
    return GoldenMinimum([&](double delta) { return LobeMismatch(response, lobe, halfWidth, delta); }, from, to, 24);
}

// How far the place read from a lobe moves where a skirt under it (`under`, power per bin)
// beats with the tone. Through the triangular windows both transforms keep one sign, so the
// beat keeps one sign over the lobe: at its worst the lobe with the beat's bound added or taken
// away in every bin. Bounded by the root of the skirt's share, as if it were noise, the place's
// doubt beside a strong offset came out a hundred times its real error, and its leakage's doubt
// at the second harmonic kept THD+N N/A where SNR read.
template <typename Response>
double PlaceMovedByBeat(const Response& response, const std::vector<float>& lobe, const double* under,
                        int halfWidth, double delta)
{
    std::vector<float> bent(lobe.size());
    double most = 0.0;
    for (double sign : {-1.0, 1.0}) {
        for (std::size_t i = 0; i < lobe.size(); ++i)
            bent[i] = static_cast<float>(
                lobe[i] + sign * 2.0 * std::sqrt(std::max(under[i], 0.0) * std::max<double>(lobe[i], 0.0)));
        most = std::max(most, std::abs(ToneOffset(response, bent.data(), halfWidth) - delta));
    }
    return most;
}

// A tone's power as its lobe (2 halfWidth + 1 values) shows it: their sum over the share of
// its power a lobe holds at the place its shape gives; `whole` is the response summed over all
// bins. The sum itself where that share is not known.
template <typename Response>
double LobeTone(const Response& response, const float* lobe, int halfWidth, double whole)
{
    const double d = ToneOffset(response, lobe, halfWidth);
    double held = 0.0, sum = 0.0;
    for (int m = -halfWidth; m <= halfWidth; ++m) {
        held += response(m - d);
        sum += lobe[m + halfWidth];
    }
    const double share = whole > 0.0 ? held / whole : 0.0;
    return share > 0.0 && share <= 1.0 ? sum / share : sum;
}

// The share of a partner's beat with a tone, in each of `bins` bins, that the tone's beat with its
// image can't take up over the bins a fit reads (`rowOf` gives a bin's columns, and its weight
// where it is read): on a symmetric window's skirt the two beats have nearly one shape (a
// Gaussian's correlate by 0.97 beyond the lobe), and a fit of the tone alone reads the offset's
// beat into its image's. Empty where the columns can't be fitted.
std::vector<double> PartnerBeatApart(UINT bins, const std::function<bool(UINT, double*, double&)>& rowOf)
{
    std::vector<double> image1(bins, 0.0), image2(bins, 0.0), partner1(bins, 0.0), partner2(bins, 0.0), weight(bins, 0.0);
    std::vector<unsigned char> read(bins, 0);
    double norm1 = 0.0, norm2 = 0.0;
    for (UINT k = 1; k < bins; ++k) {
        double row[kLeakColumns] = {}, w = 0.0;
        read[k] = rowOf(k, row, w) && w > 0.0 ? 1 : 0;
        image1[k] = row[1];
        image2[k] = row[2];
        partner1[k] = row[3];
        partner2[k] = row[4];
        weight[k] = read[k] ? w : 0.0;
        norm1 += weight[k] * row[1] * row[1];
        norm2 += weight[k] * row[2] * row[2];
    }
    // A symmetric window's image beat keeps one phase, its two columns alike: the stronger serves.
    const std::vector<double>& image = norm1 >= norm2 ? image1 : image2;
    auto regressors = [&](int k, double* x) {
        x[0] = 1.0;
        x[1] = image[static_cast<std::size_t>(k)];
    };
    double c1[2] = {}, c2[2] = {};
    const int last = static_cast<int>(bins) - 1;
    if (!FitOnBins(2, regressors, partner1, weight, read, 1, last, c1) ||
        !FitOnBins(2, regressors, partner2, weight, read, 1, last, c2))
        return {};
    std::vector<double> apart(bins, 1.0);
    for (UINT k = 0; k < bins; ++k) {
        const double whole = std::hypot(partner1[k], partner2[k]);
        if (whole > 0.0)
            apart[k] = std::min(std::hypot(partner1[k] - c1[0] - c1[1] * image[k], partner2[k] - c2[0] - c2[1] * image[k]) / whole,
                                1.0);
    }
    return apart;
}

// Whether a lobe holding `sum` that shows a tone of `tone` holds a stronger tone than the one
// kept. A uniform lobe holds 86-100 % of its tone: by the sums alone the weaker of two tones
// 0.6 dB apart passed for the fundamental. Tones within a quarter of a dB of each other are as
// good a fundamental for every reading (half a dB at most): there the lobe that holds more is
// taken, read closer than one between bins.
bool StrongerTone(double sum, double tone, double keptSum, double keptTone)
{
    constexpr double kSameTone = 1.06;
    return sum > keptSum ? kSameTone * tone >= keptTone : tone > kSameTone * keptTone;
}

// Forward transform (exp(-i...)) of a power-of-two count of complex values in double
// precision: a window's far leakage lies 90 dB and more under its lobe, where the rounding
// of a single-precision transform would be a few per cent of it.
// The window turned by d bins: w[n] e^(2 pi i d n / N), by a rotation restarted from the
// exact angle now and then against drift.
void TurnWindow(const std::vector<double>& w, double d, std::vector<std::complex<double>>& out)
{
    const std::size_t n = w.size();
    const double step = 2.0 * M_PI * d / static_cast<double>(n);
    const std::complex<double> turn(std::cos(step), std::sin(step));
    std::complex<double> u(1.0, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        if ((i & 255) == 0)
            u = std::complex<double>(std::cos(step * static_cast<double>(i)), std::sin(step * static_cast<double>(i)));
        out[i] = {w[i] * u.real(), w[i] * u.imag()};
        u = {u.real() * turn.real() - u.imag() * turn.imag(), u.real() * turn.imag() + u.imag() * turn.real()};
    }
}

bool DoubleTransform(std::vector<std::complex<double>>& a)
{
    const std::size_t n = a.size();
    if (n < 2 || (n & (n - 1)) != 0)
        return false;
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    // The twiddles of the last size, kept per thread: the measures transform many times a block.
    thread_local std::vector<double> twiddle;
    if (twiddle.size() != n) {
        twiddle.resize(n);
        for (std::size_t k = 0; k < n / 2; ++k) {
            const double angle = -2.0 * M_PI * static_cast<double>(k) / static_cast<double>(n);
            twiddle[2 * k] = std::cos(angle);
            twiddle[2 * k + 1] = std::sin(angle);
        }
    }
    double* d = reinterpret_cast<double*>(a.data());
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t stride = n / len, half = len / 2;
        for (std::size_t i = 0; i < n; i += len)
            for (std::size_t k = 0; k < half; ++k) {
                const double wr = twiddle[2 * k * stride], wi = twiddle[2 * k * stride + 1];
                double* x = d + 2 * (i + k);
                double* y = d + 2 * (i + k + half);
                const double tr = y[0] * wr - y[1] * wi, ti = y[0] * wi + y[1] * wr;
                y[0] = x[0] - tr;
                y[1] = x[1] - ti;
                x[0] += tr;
                x[1] += ti;
            }
    }
    return true;
}

} // namespace

namespace {

// The window's tables kept for the whole process: the models of every channel and every new
// spectrum with the same window type and size share them instead of making them again. Kept
// within kKeptBytes, the least recently used dropped first (a model holding one keeps it
// alive). A table is made outside the lock, so a slow one holds up no other thread; two
// threads may make the same one at once, and both then use the one kept first.
struct TableKey {
    WORD type;
    UINT n;
    int kind;
    UINT param; // the lobe's half width, or the bins of a response over the spectrum
    bool operator==(const TableKey&) const = default;
};
enum TableKind { kShapeTable, kLobeResponseTable, kLobeKernelTable, kDcResponseTable, kBlockOverlapTable, kSkirtTable };

// Every window type at every size the settings offer (1024-65536 points) takes about 20 MB.
constexpr std::size_t kKeptBytes = std::size_t{32} << 20;

template <typename Values>
class KeptTables {
public:
    // The table for `key`, made by `make` (which may throw: nothing is kept then) if not kept.
    template <typename Make>
    std::shared_ptr<const Values> Get(const TableKey& key, Make& make)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (auto found = Find(key))
                return found;
        }
        std::shared_ptr<const Values> made = make();
        const std::lock_guard<std::mutex> lock(mutex);
        if (auto found = Find(key))
            return found;
        try {
            kept.push_front({key, made, sizeof(Values) + made->v.capacity() * sizeof(double)});
        } catch (const std::bad_alloc&) {
            return made; // not kept: the next model makes it again
        }
        bytes += kept.front().bytes;
        while (bytes > kKeptBytes && kept.size() > 1) {
            bytes -= kept.back().bytes;
            kept.pop_back();
        }
        return made;
    }

private:
    struct Entry {
        TableKey key;
        std::shared_ptr<const Values> table;
        std::size_t bytes;
    };
    // The table for `key` moved to the front as the most recently used, or none.
    std::shared_ptr<const Values> Find(const TableKey& key)
    {
        const auto it = std::find_if(kept.begin(), kept.end(), [&](const Entry& e) { return e.key == key; });
        if (it == kept.end())
            return nullptr;
        kept.splice(kept.begin(), kept, it);
        return it->table;
    }
    std::mutex mutex;
    std::list<Entry> kept; // the most recently used first
    std::size_t bytes = 0;
};

template <typename Values, typename Make>
std::shared_ptr<const Values> KeptTable(const TableKey& key, Make make)
{
    static KeptTables<Values> tables;
    return tables.Get(key, make);
}

} // namespace

const std::vector<double>& ToneModel::SharedTable::values() const
{
    static const std::vector<double> none;
    return m_table ? m_table->v : none;
}

const std::vector<double>& ToneModel::WindowShape()
{
    if (windowShape.size() == N && windowShapeType == windowType)
        return windowShape.values();
    lobeResponse = lobeKernel = dcResponse = skirtEnvelope = blockOverlap = windowShape = SharedTable();
    windowShapeType = windowType;
    try {
        windowShape = SharedTable(KeptTable<SharedTable::Values>(TableKey{windowType, N, kShapeTable, 0}, [&] {
            auto t = std::make_shared<SharedTable::Values>();
            std::vector<double>& shape = t->v;
            shape.assign(N, 1.0);
            // A uniform window is never applied: its table stays all zeros.
            if (windowType < TSmoothing::kTypeCount && windowType != TSmoothing::kUniform) {
                const TSmoothing w(N, windowType, TSmoothing::kNoCorrection);
                if (!w.HasError() && w.GetTable())
                    for (UINT n = 0; n < N; ++n)
                        shape[n] = w.GetTable()[n];
            }
            return t;
        }));
    } catch (const std::bad_alloc&) {
        windowShape = SharedTable();
    }
    return windowShape.values();
}

namespace {

// A lobe tabulated at kSteps points a bin over -span..span steps, read at x bins between its points.
double ReadLobeTable(const std::vector<double>& table, double x, int span, int kSteps)
{
    const double t = std::clamp(x * kSteps, static_cast<double>(-span), static_cast<double>(span));
    const int i = std::min(static_cast<int>(std::floor(t)), span - 1);
    const double f = t - i;
    return table[i + span] * (1.0 - f) + table[i + 1 + span] * f;
}

} // namespace

double ToneModel::LobeResponse(double x, int halfWidth)
{
    constexpr int kSteps = 64;
    const std::vector<double>& w = WindowShape();
    if (w.size() != N || N == 0)
        return 0.0;
    const int span = (halfWidth + 1) * kSteps;
    if (lobeResponse.size() != static_cast<std::size_t>(2 * span + 1)) {
        // Made once a window: the offset search reads the lobe many times over.
        auto make = [&] {
            auto t = std::make_shared<SharedTable::Values>();
            std::vector<double>& table = t->v;
            table.resize(2 * span + 1);
            for (int i = -span; i <= span; ++i)
                table[i + span] = ResponseAt(w, static_cast<double>(i) / kSteps);
            // Half a bin off is where a lobe holds least; over all N bins the response sums to N
            // times the window's power (Parseval).
            double energy = 0.0, lobe = 0.0;
            for (double c : w)
                energy += c * c;
            for (int m = -halfWidth; m <= halfWidth; ++m)
                lobe += table[(m * kSteps - kSteps / 2) + span];
            t->share = energy > 0.0 ? std::min(lobe / (N * energy), 1.0) : 0.0;
            return t;
        };
        try {
            lobeResponse = SharedTable(
                KeptTable<SharedTable::Values>(TableKey{windowType, N, kLobeResponseTable, UINT(halfWidth)}, make));
        } catch (const std::bad_alloc&) {
            lobeResponse = SharedTable();
            return ResponseAt(w, x);
        }
    }
    return ReadLobeTable(lobeResponse.values(), x, span, kSteps);
}

double ToneModel::LeastLobeShare(int halfWidth)
{
    LobeResponse(0.0, halfWidth);
    return lobeResponse.empty() ? 0.0 : lobeResponse.share();
}

double ToneModel::AddToneLeakage(UINT centre, int halfWidth, double lobePower, double floor,
                                    std::vector<double>& leak, std::vector<double>& spread, double* offset,
                                    double* offsetError, std::vector<double>* mirrorCross, const ToneShape* partner,
                                    ToneShape* self, double beating, double imageTurns, double partnerTurns,
                                    double partnerImageTurns, double place, double placeError)
{
    const std::vector<double>& w = WindowShape();
    if (w.size() != N || halfWidth < 1 || centre < static_cast<UINT>(halfWidth) || centre + halfWidth >= bins ||
        leak.size() != bins || spread.size() != bins || !(lobePower > 0.0))
        return 0.0;
    std::vector<std::complex<double>> v, early, late;
    try {
        v.assign(N, 0.0);
        early = late = v;
    } catch (const std::bad_alloc&) {
        return 0.0;
    }
    // The tone's lobe as it stands once what is modelled before (a DC offset's skirt, the
    // fundamental's leakage) is taken away.
    std::vector<float> own(2 * static_cast<std::size_t>(halfWidth) + 1);
    for (int m = -halfWidth; m <= halfWidth; ++m)
        own[static_cast<std::size_t>(m + halfWidth)] =
            static_cast<float>(magnitude[centre + m] - leak[static_cast<std::size_t>(centre + m)]);
    double delta = ToneOffset([&](double x) { return LobeResponse(x, halfWidth); }, own.data(), halfWidth);
    // A uniform window's lobe beside a tone within a few hundredths of a bin sits in its nulls,
    // where the response grows with the square of the offset: the table's straight lines
    // between its points read such an offset twice too large or small, and the leakage over
    // the whole band follows it (SNR 54 dB low). Read there, the offset comes from the exact
    // response, about the table's answer.
    constexpr double kTableStep = 1.0 / 64.0;
    if (windowType == TSmoothing::kUniform && std::abs(delta) < 2.0 * kTableStep)
        delta = ToneOffset([&](double x) { return ResponseAt(w, x); }, own.data(), halfWidth,
                           std::max(delta - kTableStep, -0.5), std::min(delta + kTableStep, 0.5));
    // Near DC a run window's lobe holds its image's skirt and the offset's, which fall only as
    // 1 / (pi f): within four lobes of DC their beats with the lobe move the place read from its
    // shape alone by up to a tenth of a bin. A force tone's lobe holds its image's skirt far
    // beyond that, beside its peak where the window has no nulls.
    constexpr int kImageReach = 4;
    if ((windowType == TSmoothing::kUniform || windowType == TSmoothing::kForce) &&
        (centre <= static_cast<UINT>(kImageReach * (halfWidth + 1)) ||
         (windowType == TSmoothing::kForce && ImageMovesPlace(centre, halfWidth, lobePower))))
        delta = PlaceBesideImage(centre, halfWidth, leak, delta);
    // A line midway between bins may have its lobe centred on either: its place, known to
    // `placeError`, holds a hair beyond half a bin as well.
    const bool placed = place >= 0.0 && std::abs(place - centre) <= 0.5 + std::max(placeError, 0.0);
    if (placed)
        delta = place - centre;
    // The window shifted by the offset: its transform is the response at every bin's distance
    // from the tone. The offset found from the lobe is good to about the root of the noise's
    // share of the lobe (within 0.001 and 0.03 bins); how much the response changes over that
    // says how far the prediction may be off (much in a window's nulls, little on its
    // sidelobes' tops).
    // Another part under the lobe (`beating`: a DC offset's skirt) beats with the tone at a
    // phase of its own and bends the lobe's shape as the noise does, by the root of its share,
    // but alike in every block (a Force window read 0.015 bins off, its nulls' leakage as
    // noise: SNR 48 dB low).
    const double noiseShare = std::max(floor, 0.0) * (2 * halfWidth + 1) / lobePower;
    double placeDoubt = 2.0 * std::sqrt(noiseShare + std::max(beating, 0.0) / lobePower);
    if (TriangularWindow(windowType) && beating > 0.0) {
        try {
            placeDoubt = std::min(placeDoubt, 2.0 * std::sqrt(noiseShare) +
                                                  PlaceMovedByBeat([&](double x) { return LobeResponse(x, halfWidth); },
                                                                   own, &leak[centre - halfWidth], halfWidth, delta));
        } catch (const std::bad_alloc&) {
            // The bound as noise stands.
        }
    }
    if (placed)
        placeDoubt = placeError;
    const double kOffsetError = std::clamp(placeDoubt, 0.001, 0.03);
    if (offset)
        *offset = delta;
    if (offsetError)
        *offsetError = kOffsetError;
    auto shifted = [&](std::vector<std::complex<double>>& out, double d) {
        TurnWindow(w, d, out);
        try {
            return DoubleTransform(out);
        } catch (const std::bad_alloc&) {
            return false;
        }
    };
    if (!shifted(v, delta) || !shifted(early, delta - kOffsetError) || !shifted(late, delta + kOffsetError))
        return 0.0;
    auto powerAt = [&](const std::vector<std::complex<double>>& t, long long m) {
        return std::norm(t[static_cast<std::size_t>(((m % N) + N) % N)]);
    };
    auto response = [&](long long m) { return powerAt(v, m); };
    // How far the tone's leakage into bin k (`direct` and `mirror` at its place) moves as the
    // place goes either way by as much as it may be off.
    auto movedAt = [&](UINT k, double direct, double mirror) {
        const long long m = static_cast<long long>(k) - centre;
        double moved = 0.0;
        for (const std::vector<std::complex<double>>* t : {&early, &late})
            moved = std::max(moved, std::abs(powerAt(*t, m) + powerAt(*t, -static_cast<long long>(k) - centre) -
                                             direct - mirror));
        return moved;
    };
    // A real tone is a pair at +f and -f; the mirror image leaks into the low bins too. The two
    // add as powers only on average: in one block they add or cancel by 2 Re(z V(k-c) V*(k+c)),
    // z set by the tone's phase, and a running tone can meet every block at the same phase.
    // z is one number for all bins: it is fitted, with the noise floor, to what the bins hold
    // beyond the two powers.
    auto product = [&](UINT k) {
        const std::size_t i = static_cast<std::size_t>(((static_cast<long long>(k) - centre) % N + N) % N);
        const std::size_t j = static_cast<std::size_t>(((-static_cast<long long>(k) - centre) % N + N) % N);
        const std::complex<double> p = v[i] * v[j];
        return std::pair<double, double>{p.real(), p.imag()};
    };
    double lobe = 0.0, total = 0.0, imageInLobe = 0.0;
    for (UINT k = 0; k < bins; ++k) {
        const long long m = static_cast<long long>(k) - centre;
        const double direct = response(m), mirror = response(-static_cast<long long>(k) - centre);
        total += direct + mirror;
        if (std::llabs(m) <= halfWidth) {
            lobe += direct + mirror;
            imageInLobe += 2.0 * std::sqrt(direct * mirror);
        }
    }
    if (!(lobe > 0.0) || !(total > 0.0))
        return 0.0;
    const double scale = lobePower / lobe;
    const LeakageAllowance allowance = AllowanceFor(windowType);
    const double kModelError = allowance.model, kCrossFitError = allowance.crossFit;
    if (self) {
        try {
            self->v = v;
            self->centre = centre;
            self->scale = scale;
        } catch (const std::bad_alloc&) {
            // Without it the harmonics' beat with this tone is only bounded, not fitted.
            self->v.clear();
        }
    }
    // A tone already modelled (the fundamental, when this is one of its harmonics) and this
    // one add or cancel by 2 Re(y P(k)) in every bin, y set by their phases, which move
    // together from block to block: one number for all bins, fitted with z. What the one's
    // image at -f and the other's at +f add is small and only bounded.
    const bool paired = partner && partner->v.size() == N && partner->scale > 0.0;
    // The tone's beat with its own image is fitted unless the partner is the stronger tone (the
    // fundamental beside a harmonic), whose leakage outweighs this one's image.
    const bool ownImage = !paired || partner->dc || partner->scale <= scale;
    const double pairScale = paired ? 2.0 * std::sqrt(scale * partner->scale) : 0.0;
    // On a run window, the partner's skirt and the tone's image's (and the partner's image and
    // the tone's) meet as strongly as the two lines do, far from both: only bounded, that beat
    // was read into the two lines' own (its fit passed 1 and was refused). It is one number over
    // the band as well, and fitted with them where one line is a harmonic of the other, placed by
    // it (a second test tone beside DC's skirt, whose beat with the offset is not modelled, had
    // that beat read into these: THD+N 1.2 dB high where it read N/A).
    const bool pairImage =
        paired && !partner->dc && RunWindow(windowType) && (partner->harmonic || place >= 0.0);
    if (partnerImageTurns < 0.0)
        partnerImageTurns = partnerTurns;
    auto index = [&](long long m) { return static_cast<std::size_t>(((m % N) + N) % N); };
    auto pairProduct = [&](UINT k) {
        if (!paired)
            return std::complex<double>{};
        const long long kk = static_cast<long long>(k);
        const std::vector<std::complex<double>>& u = partner->v;
        return u[index(kk - partner->centre)] * std::conj(v[index(kk - centre)]) +
               u[index(-kk - partner->centre)] * std::conj(v[index(-kk - centre)]);
    };
    auto pairImageProduct = [&](UINT k) {
        if (!pairImage)
            return std::complex<double>{};
        const long long kk = static_cast<long long>(k);
        const std::vector<std::complex<double>>& u = partner->v;
        return u[index(kk - partner->centre)] * v[index(-kk - centre)] +
               u[index(-kk - partner->centre)] * v[index(kk - centre)];
    };
    auto pairBound = [&](UINT k) {
        if (!paired || partner->dc)
            return 0.0;
        const long long kk = static_cast<long long>(k);
        const std::vector<std::complex<double>>& u = partner->v;
        return pairScale * (std::abs(u[index(kk - partner->centre)]) * std::abs(v[index(-kk - centre)]) +
                            std::abs(u[index(-kk - partner->centre)]) * std::abs(v[index(kk - centre)]));
    };
    // Weighted least squares of floor + z (2 columns) + y (2 columns, with a partner) over the
    // bins beyond the lobes, leaving out what stands far above the cross terms (other tones).
    const int M = pairImage ? 7 : paired ? 5 : 3;
    auto rowAt = [&](UINT k, double* row) {
        const auto [pr, pi] = product(k);
        row[0] = 1.0;
        row[1] = ownImage ? 2.0 * scale * pr : 0.0;
        row[2] = ownImage ? -2.0 * scale * pi : 0.0;
        if (paired) {
            const std::complex<double> q = pairProduct(k);
            row[3] = pairScale * q.real();
            row[4] = -pairScale * q.imag();
        }
        if (pairImage) {
            const std::complex<double> q = pairImageProduct(k);
            row[5] = pairScale * q.real();
            row[6] = -pairScale * q.imag();
        }
    };
    const double noiseFloor = std::max(floor, 0.0);
    // What stands far above the cross term (ten times the median bin, a thousand times the
    // cross term) is another tone's. The noise's own bins are judged alike whatever they hold:
    // where the cross term is a thousandth of what the noise reaches once in a million bins,
    // they go or stay together (left out only where they stood high, the floor read low
    // there, the cross term's shape followed that, and a triangular tone's beat went
    // unfitted: THD+N N/A).
    const double chance = NoiseTail(BandScatter(halfWidth)) * noiseFloor;
    // A lone tone through a triangular window near DC, where its beat with its image is a good
    // part of its leakage at its 2nd harmonic (farther up, one block's noise beating with the
    // leakage outweighs that beat in the bins: a tone 106 bins up read THD+N 2 dB low). Its
    // power is read from the lobe, which holds the noise, the offset's skirt (`beating`) and the
    // tone's beat with its image too.
    const bool exactKernel = TriangularWindow(windowType) &&
                             !paired && centre <= static_cast<UINT>(kImageReach * (halfWidth + 1));
    const double powerDoubt = exactKernel ? LobePowerDoubt(imageInLobe / lobe, noiseFloor * (2 * halfWidth + 1) / lobePower,
                                                           std::max(beating, 0.0) / lobePower)
                                          : 0.0;
    // The single-precision transform's own rounding in a bin: no bin is known better.
    const double arithmetic = exactKernel ? ArithmeticNoise(1) : 0.0;
    // The triangular windows' leakage is known from the tone's place and power alone: a bin
    // beside the lobe is as good as those and the noise there, far better than its size
    // (weighed by its size, the bins left the mirror beat uncertain by a sixth, off by a third:
    // THD+N N/A at a low tone). So weighed are the bins where the beat stands out of what the
    // model leaves uncertain, below the 2nd harmonic's lobe (beyond, the harmonics' skirts, not
    // modelled yet, would outweigh the beat); 0 elsewhere.
    auto beatScatter = [&](UINT k) {
        const long long m = static_cast<long long>(k) - centre;
        if (!exactKernel || std::llabs(m) <= halfWidth ||
            static_cast<double>(k + halfWidth + 1) >= 2.0 * (centre + delta))
            return 0.0;
        const double direct = response(m), mirror = response(-static_cast<long long>(k) - centre);
        const double moved = movedAt(k, direct, mirror);
        const double own = scale * (direct + mirror), before = std::max(leak[k], 0.0);
        const double modelled = (kModelError + powerDoubt) * own + kModelError * before + scale * moved +
                                std::max(spread[k], 0.0);
        if (!(2.0 * scale * std::sqrt(direct * mirror) > modelled))
            return 0.0;
        return BesideLobeScatter(own + before, std::max(noiseFloor, arithmetic), modelled);
    };
    // A few such bins fit z exactly and show none of their own misfit (one bin beside DC bent a
    // tone four bins up): they weigh so only where they are enough to.
    constexpr int kFewestBeatBins = 4;
    int beatBins = 0;
    for (UINT k = 1; exactKernel && k < bins && static_cast<double>(k) < 2.0 * (centre + delta); ++k)
        beatBins += beatScatter(k) > 0.0 ? 1 : 0;
    // Through the triangular windows a harmonic's skirt falls only as the fourth power of the
    // distance and is not modelled yet: fitted beside an offset, the bins it stands in bent the
    // beats, and the leakage taken from every other bin with them (a 7th harmonic 34 dB down:
    // SNR 1.3 dB high). Each harmonic's skirt is bounded from its lobe as it stands; the bins it
    // may reach a tenth of the noise in are left out; a lobe counts only where it stands out of
    // what the noise reaches by chance (a low tone's many places of noise alone left no bins).
    std::vector<unsigned char> underHarmonic;
    if (TriangularWindow(windowType) && paired && partner->dc) {
        const std::vector<double>& envelope = SkirtEnvelope();
        try {
            if (envelope.size() == bins)
                underHarmonic.assign(bins, 0);
        } catch (const std::bad_alloc&) {
            underHarmonic.clear();
        }
        const double at = static_cast<double>(centre) + delta;
        for (int h = 2; !underHarmonic.empty() && h * at + halfWidth < static_cast<double>(bins); ++h) {
            const long long p = std::llround(h * at);
            double held = 0.0;
            // Rounded, the place may put the lobe's edge a bin past the band's either end.
            const long long last = std::min(p + halfWidth, static_cast<long long>(bins) - 1);
            for (long long k = std::max(p - halfWidth, 0LL); k <= last; ++k) {
                const double own = scale * (response(k - centre) + response(-k - centre));
                held += std::max(magnitude[k] - leak[static_cast<std::size_t>(k)] - own - chance, 0.0);
            }
            for (long long d = halfWidth + 1; d < static_cast<long long>(bins); ++d) {
                if (!(held * envelope[static_cast<std::size_t>(d)] > 0.1 * noiseFloor))
                    break;
                for (const long long k : {p - d, p + d})
                    if (k > 0 && k < static_cast<long long>(bins))
                        underHarmonic[static_cast<std::size_t>(k)] = 1;
            }
        }
    }
    // The row of bin k, what it holds beyond the two powers, and its weight; false for a bin
    // the fit leaves out.
    auto binAt = [&](UINT k, double* row, double& r, double& weight) {
        if (std::llabs(static_cast<long long>(k) - centre) <= halfWidth ||
            (paired && std::llabs(static_cast<long long>(k) - partner->centre) <= halfWidth) ||
            (!underHarmonic.empty() && underHarmonic[k] != 0))
            return false;
        const double direct = response(static_cast<long long>(k) - centre),
                     mirror = response(-static_cast<long long>(k) - centre);
        const double cross = 2.0 * scale * std::sqrt(direct * mirror) + pairScale * std::abs(pairProduct(k)) +
                             pairScale * std::abs(pairImageProduct(k));
        r = magnitude[k] - leak[k] - scale * (direct + mirror);
        if (r > 4.0 * cross + 0.1 * scale * (direct + mirror) && r > 0.0 &&
            (cross < 1e-3 * std::max(r, chance) || r > 10.0 * noiseFloor))
            return false;
        rowAt(k, row);
        // Each bin weighs by what it is expected to hold and scatter by: the few bins beside
        // the lobe, where the leakage is large and its prediction a little off, would otherwise
        // outweigh the many where the cross term shows. The noise scatters a bin by its
        // beat with the leakage already there too.
        const double leakBefore = std::max(leak[k], 0.0);
        double expected = scale * (direct + mirror) + noiseFloor + 2.0 * std::sqrt(leakBefore * noiseFloor) +
                          kModelError * leakBefore;
        if (beatBins >= kFewestBeatBins)
            if (const double told = beatScatter(k); told > 0.0)
                expected = told;
        weight = expected > 0.0 ? 1.0 / (expected * expected) : 0.0;
        // A Gaussian tone's mirror image leaks far, and its beat shows mostly in the bins beside
        // the lobe, where the leakage stands far above the noise and scatters only by its beat
        // with it: weighed as if they scattered by all they hold, the many bins of plain noise
        // outweighed them and set the beat (one block's leakage at the 2nd harmonic read 20 %
        // high, and THD+N N/A). About the harmonics' places a harmonic may stand, which the
        // fit does not model: there the bins keep their plain weight (weighed by their scatter,
        // a 3rd harmonic 93 dB down bent the beat twofold).
        if (windowType == TSmoothing::kGaussian && !NearHarmonic(k, static_cast<double>(centre) + delta, halfWidth))
            weight = ScatterWeight(scale * (direct + mirror) + leakBefore, noiseFloor, kModelError,
                                   scale * movedAt(k, direct, mirror));
        return true;
    };
    double ata[kLeakColumns][kLeakColumns] = {}, atr[kLeakColumns] = {}, rr = 0.0;
    int used = 0;
    for (UINT k = 1; k < bins; ++k) {
        double row[kLeakColumns], r = 0.0, weight = 0.0;
        if (!binAt(k, row, r, weight))
            continue;
        for (int a = 0; a < M; ++a) {
            atr[a] += weight * row[a] * r;
            for (int b = 0; b < M; ++b)
                ata[a][b] += weight * row[a] * row[b];
        }
        rr += weight * r * r;
        ++used;
    }
    // For a symmetric window V(k-c) V*(-k-c) keeps one phase over all bins: only z's part
    // along it shows, and the other is held at nothing by a slight ridge; y likewise.
    if (!ownImage) {
        // A harmonic's own image is too weak to fit beside the fundamental's leakage: its
        // beat is only bounded, and its columns are held at nothing.
        ata[1][1] = ata[2][2] = 1.0;
    }
    for (int a = 1; a < M; a += 2) {
        const double ridge = 1e-6 * (ata[a][a] + ata[a + 1][a + 1]);
        ata[a][a] += ridge;
        ata[a + 1][a + 1] += ridge;
    }
    // The solution and the inverse of the normal matrix, for how far the fitted terms may be
    // off: Gauss-Jordan with partial pivoting.
    double inv[kLeakColumns][kLeakColumns] = {}, sol[kLeakColumns] = {};
    auto solve = [&](const double (&normal)[kLeakColumns][kLeakColumns]) {
        double a[kLeakColumns][2 * kLeakColumns] = {};
        for (int i = 0; i < M; ++i) {
            for (int j = 0; j < M; ++j)
                a[i][j] = normal[i][j];
            a[i][M + i] = 1.0;
        }
        if (!InvertAugmented(a, M, 0.0))
            return false;
        for (int i = 0; i < M; ++i) {
            sol[i] = 0.0;
            for (int j = 0; j < M; ++j) {
                inv[i][j] = a[i][M + j];
                sol[i] += inv[i][j] * atr[j];
            }
        }
        return true;
    };
    bool fitted = used > M + 8 && solve(ata);
    // The weighted residual says how much the bins scatter about the fit; with the inverse it
    // gives each fitted term's deviation at every bin.
    double residual = rr;
    for (int a = 0; a < M; ++a)
        residual -= sol[a] * atr[a];
    const double s2 = fitted ? std::max(residual, 0.0) / std::max(used - M, 1) : 0.0;
    // Where the bins alone keep z and y within reach, the fit says where the beat lies.
    bool told = fitted && sol[1] * sol[1] + sol[2] * sol[2] <= 1.2 &&
                (!paired || sol[3] * sol[3] + sol[4] * sol[4] <= 1.2) &&
                (!pairImage || sol[5] * sol[5] + sol[6] * sol[6] <= 1.2);
    // A window nearly symmetric (the triangular one, the Gaussian) turns V(k-c) V*(-k-c) a
    // little from bin to bin: the part of z across its phase shows faintly, and the noise alone
    // would drive it past 1 and leave the whole cross term unfitted. What is known of z and y
    // beforehand, each part within +-1, weighs in against that scatter: the part the bins tell
    // stays as fitted, the other is held near nothing, and its deviation stays what |z| <= 1
    // allows.
    // The triangular windows' transform keeps one phase over the band, so the bins show only
    // one part of z, and beside few blocks only to a third or so (THD+N N/A): the blocks' phases
    // at the tone's peak give z itself. So they do on every window that does not leak far: where
    // the beat stands little above the noise's beat with the skirt, the bins tell z only to about
    // its size, and held to what the average keeps, a Hann tone 6.5 bins up had its beat at the
    // 2nd harmonic read as nothing, the leakage there 3 % high (THD+N 1.4 dB low or N/A).
    auto phasedImageBeat = [&] {
        const long long p = phaseBin;
        if (LeakyWindow(windowType) ||
            std::llabs(p - static_cast<long long>(centre)) > 1 || !(magnitude[phaseBin] > 0.0f))
            return ImageBeat{};
        // The phase is read beside the noise and the offset's skirt under the lobe.
        return ImageFromPhases(blockPhases, v[index(p - centre)], std::conj(v[index(-p - centre)]),
                               PhaseError(magnitude[phaseBin], noiseFloor, std::max(beating, 0.0)));
    };
    const ImageBeat image = ownImage ? phasedImageBeat() : ImageBeat{};
    // What is known beforehand weighs as a deviation of 1/sqrt(2) about nothing (|z| <= 1), or
    // as the phases give it where they know it better.
    constexpr double kHeldImageDeviation = 0.70710678118654752;
    const bool phased = image.deviation < kHeldImageDeviation;
    double heldMean[kLeakColumns] = {}, prior[kLeakColumns][kLeakColumns] = {};
    for (int a = 0; a < kLeakColumns; ++a)
        prior[a][a] = 2.0;
    if (phased) {
        heldMean[1] = image.z.real();
        heldMean[2] = image.z.imag();
        prior[1][1] = prior[2][2] = 1.0 / (image.deviation * image.deviation);
        if (paired && partner->dc)
            OffsetBeatFromPhases(image, prior);
    }
    // A second line's beat the average keeps is, on the exponential window, nearly the shape of
    // the line's own power about its lobe (a one-pole transform's real part is its power's
    // shape), and the bins can't part the two: the line's power read with the beat in its lobe
    // read its beat a fifth of its size, and the beat outside the fundamental's lobe passed for
    // noise (THD+N 1.8 dB low). The blocks' phases at both lines' bins give the beat itself.
    auto pairFromPhases = [&] {
        if (!paired || partner->dc || pairImage || windowType != TSmoothing::kExponential || blockPhases.empty() ||
            partner->v.size() != N)
            return ImageBeat{};
        const long long p = phaseBin, q = blockPhases.back().secondBin;
        if (std::llabs(p - static_cast<long long>(centre)) > 1 || std::llabs(q - partner->centre) > 1 ||
            !(magnitude[p] > 0.0f) || !(magnitude[q] > 0.0f))
            return ImageBeat{};
        const std::vector<std::complex<double>>& u = partner->v;
        // The transforms' phases at the two bins follow the places: this tone's is good to its
        // place's doubt; the partner's was read from a lobe the tone's skirt beats in, which moves
        // it by up to the skirt's share of the line there (in the lobe's half-width, bins).
        const std::complex<double> vp = v[index(p - centre)], uq = u[index(q - partner->centre)];
        const double ownTurn = std::max(std::abs(std::arg(early[index(p - centre)] / vp)),
                                        std::abs(std::arg(late[index(p - centre)] / vp)));
        const double skirtShare = std::sqrt(scale / partner->scale) * std::abs(v[index(q - centre)]) / std::abs(uq);
        // Where the skirt's beat moves the line's lobe by little, the bins tell it better than the
        // places do.
        if (!(2.0 * skirtShare > kSharedLobeBeat))
            return ImageBeat{};
        const double moved = std::min(0.5, skirtShare) * halfWidth;
        const double x = static_cast<double>(q - partner->centre);
        const double partnerTurn = std::abs(std::arg(TransformAt(w, x + moved) / TransformAt(w, x)));
        return PairFromPhases(blockPhases, vp, u[index(p - partner->centre)], v[index(q - centre)], uq,
                              PhaseError(magnitude[p], noiseFloor, std::max(beating, 0.0)) +
                                  PhaseError(magnitude[q], noiseFloor, 0.0) + ownTurn + partnerTurn);
    };
    const ImageBeat pairBeat = pairFromPhases();
    // Where the phases show the average turning the beat away, it is left to the bins as before.
    const bool pairPhased =
        pairBeat.deviation < kHeldImageDeviation && std::abs(pairBeat.z) > 2.0 * pairBeat.deviation + 0.1;
    if (pairPhased) {
        heldMean[3] = pairBeat.z.real();
        heldMean[4] = pairBeat.z.imag();
        prior[3][3] = prior[4][4] = 1.0 / (pairBeat.deviation * pairBeat.deviation);
    }
    if (fitted && s2 > 0.0) {
        double free[kLeakColumns] = {}, plain[kLeakColumns][kLeakColumns] = {}, plainAtr[kLeakColumns] = {};
        std::copy(sol, sol + M, free);
        std::copy(&ata[0][0], &ata[0][0] + kLeakColumns * kLeakColumns, &plain[0][0]);
        std::copy(atr, atr + kLeakColumns, plainAtr);
        const int held = ownImage ? 1 : 3;
        // The bins can't part the phases' beat from the line's power: they don't move it.
        if (pairPhased)
            for (int a = 3; a < 5; ++a)
                prior[a][a] += 1e6 * plain[a][a] / s2;
        auto withPrior = [&] {
            for (int a = held; a < M; ++a)
                for (int b = held; b < M; ++b) {
                    ata[a][b] = plain[a][b] + prior[a][b] * s2;
                    atr[a] += prior[a][b] * s2 * heldMean[b];
                }
            return solve(ata);
        };
        fitted = withPrior();
        // The bins must not call for a z far beyond 1: what the fit gives up to keep it within
        // reach, in the units of the bins' own scatter, stays within two deviations, or the
        // bins hold something the model doesn't (another tone's leakage) and the cross term is
        // only bounded. With a partner more columns are held, and what they give up together
        // spreads as a chi-square of as many degrees: held to one column's two deviations, a
        // fit with the offset that left the bins a fifth of the scatter was refused where the
        // tone's alone, scattering five times as much, was kept (an exponential tone's unfitted
        // beat with a 6 % offset read as noise: THD+N 1.1 dB high).
        double given = 0.0;
        for (int a = 0; a < M; ++a)
            for (int b = 0; b < M; ++b)
                given += (sol[a] - free[a]) * plain[a][b] * (sol[b] - free[b]);
        // Where the phases give z, bins calling for another hold some other part's misfit, not
        // z's: z stays as the phases give it.
        fitted = fitted && (given <= kTwoDeviationsOf[M - held] * s2 || phased || pairPhased);
        told = (told || phased || pairPhased) && fitted;
        // Nor can they pass what the average keeps of them: once the bins are found to call for
        // no more than 1, each is held to that (held within 1 only, an exponential tone's beat
        // with its image took the offset's skirt beside DC, and its far skirt was read a tenth of
        // its size: THD+N 2.7 dB high).
        if (fitted && HoldToKept(prior, imageTurns, partnerTurns, partnerImageTurns)) {
            std::copy(plainAtr, plainAtr + kLeakColumns, atr);
            fitted = withPrior();
        }
    }
    // How far the fitted terms may be off, from how each bin scatters about the fit: the bins
    // beside the tone, where the leakage outweighs the noise and scatters only by its beat with
    // it, tell the cross terms far better than the band's scatter as a whole says (a Bartlett
    // tone's mirror beat was left a twentieth uncertain at its second harmonic: THD+N N/A).
    // What is known of z and y beforehand counts as the fit weighed it.
    double covariance[kLeakColumns][kLeakColumns] = {};
    if (fitted)
        SandwichCovariance(binAt, inv, sol, M, s2, ownImage ? 1 : 3, covariance, bins, prior);
    // |z| and |y| can't pass 1: more means the fit read something else.
    const double za = sol[1], zb = sol[2], ya = paired ? sol[3] : 0.0, yb = paired ? sol[4] : 0.0;
    const double qa = pairImage ? sol[5] : 0.0, qb = pairImage ? sol[6] : 0.0;
    fitted = fitted && std::isfinite(za) && std::isfinite(zb) && std::isfinite(ya) && std::isfinite(yb) &&
             std::isfinite(qa) && std::isfinite(qb) && za * za + zb * zb <= 1.2 && ya * ya + yb * yb <= 1.2 &&
             qa * qa + qb * qb <= 1.2;
    if (self) {
        self->beatsFitted = fitted;
        self->pairPhased = fitted && pairPhased;
        self->scatter = s2;
        self->offsetBeatApart.clear();
        // Where the blocks' phases hold the image's beat, the tone's fit alone can't bend it to take
        // the offset's (taken so, a Parzen tone's offset beat midway to DC went unbounded, and the
        // bin's misfit read as noise: SNR 21 dB low).
        if (fitted && paired && partner->dc && ownImage && !phased) {
            try {
                self->offsetBeatApart = PartnerBeatApart(bins, [&](UINT k, double* row, double& weight) {
                    double r = 0.0;
                    const bool read = binAt(k, row, r, weight);
                    rowAt(k, row);
                    return read;
                });
            } catch (const std::bad_alloc&) {
                self->offsetBeatApart.clear();
            }
        }
    }
    // Beyond its fit's deviation, the beat with the image is as good as the window's transform,
    // exact for a window whose lobe ends in nulls, at the tone's place: what the place's doubt
    // moves it by (the transforms at the place's bounds), never below the transform's rounding.
    // A fixed share of the beat, summed over a low Hamming or flat-top tone's band, outweighed
    // the noise it was read beside (THD+N N/A where SNR read). The leaky windows, placed less
    // closely, keep their allowance, and so do the triangular ones, whose beat the bins show
    // along one phase only (without it a triangular tone 3.6 bins up read THD+N 1.3 dB low).
    // Only near DC do the bins beside the lobe tell the beat so closely: farther up it is tiny
    // everywhere, its fit off by more than the place moves it (one Hamming block of a tone 72
    // bins up, its fixed share dropped: SNR 7.9 dB low).
    // A lone tone (no partner, nothing modelled before, no offset out of the noise at DC) leaves
    // the bins nothing but its leakage, its beat and the noise: there the fit's own deviation
    // covers z's real error (over noise draws some twentieth of the fixed share, on one block
    // and on many), and the fixed share, summed over a harmonic's lobe, outweighed the noise
    // (THD+N N/A where SNR read). Beside an offset and another line the fit reads what it does
    // not model into z (one block: SNR 7.9 dB low, THD+N 1.1 dB high without the share).
    // A uniform run puts an offset into DC's bin alone, which the fit does not read: the bins it
    // reads are the lone tone's, and what DC's bin holds tells nothing of them (read as beside an
    // offset, a uniform tone 90 bins up beside one of 0.2 % kept the fixed share, summed over its
    // harmonics' lobes, and THD+N N/A where SNR read). Another part low in the band still shows
    // in the first bin beside DC.
    const std::size_t dcSeenAt = OffsetInDcBinAlone(DcResponse()) ? 1 : 0;
    const long long dcSeen = static_cast<long long>(dcSeenAt);
    const bool lone = !paired && NothingBesideTone(leak, magnitude, dcSeenAt,
                                                   scale * (response(dcSeen - centre) + response(-dcSeen - centre)),
                                                   NoiseTail(BandScatter(halfWidth)) * noiseFloor);
    const bool triangular = TriangularWindow(windowType);
    const bool toldBeside = centre <= static_cast<UINT>(kImageReach * (halfWidth + 1));
    // The uniform window leaks far but its transform is the Dirichlet kernel, with nulls and
    // symmetry: the beat is as good as its place there too (a lone uniform tone's fixed half of
    // the beat, summed over the band its skirt covers, outweighed the noise: THD+N N/A where SNR
    // read). The force window's transform (a uniform one over half the block) is exact too, but
    // only away from DC: taken as exact beside DC, one force block of an SMPTE pair beside its low
    // tone read THD+N 1.5 dB high.
    const bool forceApart = windowType == TSmoothing::kForce && !toldBeside;
    const bool exactBeat = !LeakyWindow(windowType) || windowType == TSmoothing::kUniform || forceApart;
    // Another line standing in the band (a harmonic) bends z through its skirt and its beat with
    // the tone's leakage, which one block keeps whole and the fit does not model (one Hamming
    // block beside a strong 5th harmonic, read as if only the noise were beside the tone: SNR
    // 7.9 dB low).
    auto anotherLine = [&] {
        for (UINT k = static_cast<UINT>(halfWidth) + 1; k < bins; ++k) {
            if (std::llabs(static_cast<long long>(k) - centre) <= halfWidth)
                continue;
            double row[kLeakColumns], r = 0.0, weight = 0.0;
            if (!binAt(k, row, r, weight) && r > 100.0 * noiseFloor)
                return true;
        }
        return false;
    };
    // Fitted with the offset as its partner, its skirt the only part modelled before and no other
    // line beside, the tone is as alone: the offset's beat is a column of the fit, whose
    // deviation covers it.
    auto onlyOffsetBefore = [&] {
        if (!paired || !partner->dc || !fitted)
            return false;
        for (UINT k = 0; k < bins; ++k) {
            const double skirt = partner->scale * std::norm(partner->v[index(static_cast<long long>(k))]);
            if (std::abs(leak[k] - skirt) > 1e-9 * std::max(std::abs(skirt), partner->scale * 1e-12))
                return false;
        }
        return !anotherLine();
    };
    const bool besideOffset = !toldBeside && onlyOffsetBefore();
    // Only near DC, where the bins beside the lobe tell the beat closely, does the fit's own
    // deviation cover what the beat with the image may be off by. Farther up the beat is tiny in
    // every bin and the misfit the free bins hold is bounded only by its deviation summed bin by
    // bin (taken apart there, one Hamming block of a lone tone 745 bins up, whose noise read 11 dB
    // high, read THD+N so); beside another line's misfit, or on a window whose beat is not as good
    // as its place, what the fit reads into the beat is the model's error and stays with it.
    const bool beatNoiseOnly = ownImage && exactBeat && !triangular && toldBeside && !anotherLine();
    bool keepBeatNoise = false;
    if (self) {
        self->beatNoise.clear();
        self->beatNoiseHeld.clear();
        self->beatRows.clear();
        self->beatCovariance.clear();
        self->beatColumns = 0;
        if (fitted && beatNoiseOnly) {
            try {
                self->beatNoise.assign(bins, 0.0);
                self->beatNoiseHeld.assign(bins, 0.0);
                self->beatRows.assign(static_cast<std::size_t>(bins) * kLeakColumns, 0.0);
                self->beatCovariance.assign(&covariance[0][0], &covariance[0][0] + kLeakColumns * kLeakColumns);
                self->beatColumns = kLeakColumns;
                keepBeatNoise = true;
            } catch (const std::bad_alloc&) {
                // Without them the fitted beats' deviation stays with the model's, summed as a bound.
                self->beatNoise.clear();
                self->beatNoiseHeld.clear();
                self->beatRows.clear();
            }
        }
    }
    // Beside an offset and nothing else, the offset's beat with the tone (and its image) is the
    // one thing the bins hold that the fit does not model: it bends z by no more than its bound
    // in every bin the fit reads, carried through the fit. A window whose skirt from DC is
    // nothing beyond its lobe (Hamming, flat-top) leaves the offset no bins to bend z by, and a
    // fixed share of the beat, summed over the harmonics' lobes, outweighed the noise beside it
    // (THD+N N/A where SNR read).
    double offsetBend[3] = {};
    const bool offsetOnly = fitted && ownImage && !paired && !lone && !toldBeside &&
                            (!LeakyWindow(windowType) || forceApart) &&
                            !triangular && std::all_of(leak.begin(), leak.end(), [](double x) { return x == 0.0; }) &&
                            DcResponse().size() == bins && dcResponse[0] > 0.0 && !anotherLine();
    if (offsetOnly) {
        // The offset's power at its peak: what DC's bin holds, with as much again as the tone's
        // leakage there may have cancelled of it.
        const double atDc = 2.0 * scale * response(-static_cast<long long>(centre));
        const double offsetRoot = std::sqrt(std::max(static_cast<double>(magnitude[0]), 0.0)) + std::sqrt(2.0 * atDc);
        for (UINT k = 1; k < bins; ++k) {
            double row[kLeakColumns] = {}, r = 0.0, weight = 0.0;
            if (!binAt(k, row, r, weight))
                continue;
            const long long kk = static_cast<long long>(k);
            const double beat = 2.0 * offsetRoot * std::sqrt(std::max(dcResponse[k] / dcResponse[0], 0.0) * scale) *
                                (std::abs(v[index(kk - centre)]) + std::abs(v[index(-kk - centre)]));
            for (int a = 0; a < M; ++a) {
                double moved = 0.0;
                for (int b = 0; b < M; ++b)
                    moved += inv[a][b] * row[b];
                offsetBend[a] += std::abs(moved) * weight * beat;
            }
        }
    }
    // Away from DC, with nothing but the noise and an offset beside it, a force tone's leakage is
    // known from its kernel as well as a steady window's: its place's doubt is counted apart (in
    // `moved`), and the leaky windows' allowance, summed over the harmonics' lobes of a tone 40 dB
    // over its noise, outweighed that noise (THD+N N/A where SNR read). Beside another line the
    // allowance stays: it also holds that line's skirt, not modelled yet. So it does for a lone
    // tone, which has no offset's beat to take apart: the tighter allowance there left THD+N of
    // eight blocks of a tone on a bin N/A where it read.
    // A uniform tone away from DC is placed by its lobe as closely (its transform is the Dirichlet
    // kernel, its place's doubt counted apart): with no other line beside it, the fixed share,
    // summed over the harmonics' lobes and the free bins, outweighed a noise 40 dB under the tone
    // (THD+N N/A where SNR read). Only where the average thins its beat with its image: kept
    // whole (one block, or blocks met at one phase) that beat spans the band at the skirt's own
    // size, and held to the tighter share it hid a misfit 50 dB over the noise (one block of
    // 32768: THD+N 16 dB high).
    const bool uniformApart =
        windowType == TSmoothing::kUniform && !toldBeside && !anotherLine() && imageTurns < 0.5;
    const double modelError =
        (forceApart && (besideOffset || offsetOnly)) || uniformApart ? PairAllowance(windowType).model : kModelError;
    // What a beat's fitted share is good to: the model's allowance, or how far the tone's place
    // doubt moves it, whichever is more.
    auto beatMoved = [&](const auto& beat, double cross) {
        const double here = beat(v);
        return std::max({modelError * cross, std::abs(beat(early) - here), std::abs(beat(late) - here)});
    };
    auto imageBeatMoved = [&](long long m, UINT k, double cross) {
        if (!ownImage || !exactBeat || triangular || (!toldBeside && !lone && !offsetOnly && !besideOffset))
            return kCrossFitError * cross;
        auto beat = [&](const std::vector<std::complex<double>>& t) {
            const std::complex<double> p = t[index(m)] * t[index(-static_cast<long long>(k) - centre)];
            return 2.0 * scale * (p.real() * za - p.imag() * zb);
        };
        const double own = beatMoved(beat, cross);
        if (toldBeside || lone || besideOffset)
            return own;
        // Beside the offset alone: what its beat bends z by, never more than the fixed share.
        double row[kLeakColumns];
        rowAt(k, row);
        const double bent = std::abs(row[1]) * offsetBend[1] + std::abs(row[2]) * offsetBend[2];
        return std::min(kCrossFitError * cross, std::max(own, bent));
    };
    // So is a force tone's beat with the offset it is fitted with: as good as the fit and what the
    // tone's place moves it by, not a fixed share of it in every bin.
    // A uniform pair, each line placed with its beat with the other's skirt, knows that beat as
    // well as the two places: the Dirichlet kernels are exact (held to half of it, a second tone
    // read right had THD+N N/A).
    const bool placedPair = windowType == TSmoothing::kUniform && pairImage && !partner->harmonic && place >= 0.0;
    auto offsetBeatMoved = [&](UINT k, double pairCross) {
        // Taken from the phases, the beat is as good as they are and the two places.
        const double phased = pairPhased ? 2.0 * pairBeat.deviation * pairCross : 0.0;
        if (!(forceApart && besideOffset) && !placedPair && !pairPhased)
            return kCrossFitError * pairCross;
        const long long kk = static_cast<long long>(k);
        const std::vector<std::complex<double>>& u = partner->v;
        auto beat = [&](const std::vector<std::complex<double>>& t) {
            const std::complex<double> q = u[index(kk - partner->centre)] * std::conj(t[index(kk - centre)]) +
                                           u[index(-kk - partner->centre)] * std::conj(t[index(-kk - centre)]);
            return pairScale * (q.real() * ya - q.imag() * yb);
        };
        return beatMoved(beat, pairCross) + phased;
    };
    // Elsewhere than on the leaky windows, what the average keeps of the beat with the image only
    // holds its fit: the bound taken down with it left the skirt's doubt to the fitted term's
    // deviation, which outweighed a Gaussian tone's noise (THD+N N/A where SNR read).
    const double imageBound = LeakyWindow(windowType) ? imageTurns : 1.0;
    for (UINT k = 0; k < bins; ++k) {
        const long long m = static_cast<long long>(k) - centre;
        const double direct = response(m), mirror = response(-static_cast<long long>(k) - centre);
        // The beats the average keeps: a fit reads them as they stand, a bound takes them whole.
        const double cross = imageBound * 2.0 * scale * std::sqrt(direct * mirror);
        const double pairCross = partnerTurns * pairScale * std::abs(pairProduct(k));
        // Fitted, the partner's beat with the image is as good as the fit; otherwise bounded.
        const double imagePair = pairBound(k);
        const bool imagePairFitted = fitted && pairImage;
        const double boundedPair = imagePairFitted ? imagePair : 0.0;
        leak[k] += scale * (direct + mirror);
        double row[kLeakColumns];
        rowAt(k, row);
        double fittedSpread = 0.0, fittedDeviation = 0.0;
        if (fitted) {
            leak[k] += row[1] * za + row[2] * zb;
            if (paired)
                leak[k] += row[3] * ya + row[4] * yb;
            if (pairImage)
                leak[k] += row[5] * qa + row[6] * qb;
            double variance = 0.0;
            for (int a = 1; a < M; ++a)
                for (int b = 1; b < M; ++b)
                    variance += row[a] * covariance[a][b] * row[b];
            fittedDeviation = 2.0 * std::sqrt(std::max(variance, 0.0));
            fittedSpread = fittedDeviation + imageBeatMoved(m, k, cross) + offsetBeatMoved(k, pairCross) +
                           kCrossFitError * boundedPair;
        }
        const double moved = movedAt(k, direct, mirror);
        const double crossSpread =
            fitted ? std::min(fittedSpread + (ownImage ? 0.0 : cross), cross + pairCross + boundedPair)
                   : cross + pairCross;
        spread[k] += scale * (modelError * (direct + mirror) + moved) + crossSpread +
                     (imagePairFitted ? 0.0 : imagePair);
        // Over a lobe the fitted term is good to a tenth where the bins told it; held near
        // nothing by what is known beforehand, it keeps the deviation that allows.
        const double tenth =
            fitted && told ? std::max(crossSpread - 0.1 * (cross + pairCross + boundedPair), 0.0) : 0.0;
        if (mirrorCross && mirrorCross->size() == bins)
            (*mirrorCross)[k] += tenth;
        // The part of the spread the noise moves the fitted terms by (where the fit, not the
        // bound, set it).
        if (keepBeatNoise) {
            const bool fromFit = fittedSpread <= cross + pairCross + boundedPair;
            const double noise = fromFit ? std::min(fittedDeviation, crossSpread) : 0.0;
            self->beatNoise[k] = noise;
            self->beatNoiseHeld[k] = std::min(noise, crossSpread - (mirrorCross && mirrorCross->size() == bins ? tenth : 0.0));
            for (int a = 1; a < M; ++a)
                self->beatRows[static_cast<std::size_t>(k) * kLeakColumns + a] = row[a];
        }
    }
    return lobe / total;
}

namespace {

// The window's transform about its centre: real for a symmetric window, its sign changing
// at every null.
double WindowKernel(const std::vector<double>& window, double x)
{
    const double* w = window.data(); // as in ResponseAt
    const std::size_t size = window.size();
    const double centre = (static_cast<double>(size) - 1.0) / 2.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < size; ++i)
        sum += w[i] * std::cos(2.0 * M_PI * x * (static_cast<double>(i) - centre) / static_cast<double>(size));
    return sum;
}

// The centre of a window that is nought outside one run of samples and symmetric about that
// run's middle (the force window: the uniform one over the first half of the block), or -1.
double SupportCentre(const std::vector<double>& w)
{
    double largest = 0.0;
    for (double v : w)
        largest = std::max(largest, std::abs(v));
    std::size_t first = 0, last = w.size();
    while (first < w.size() && std::abs(w[first]) <= 1e-6 * largest)
        ++first;
    while (last > first && std::abs(w[last - 1]) <= 1e-6 * largest)
        --last;
    if (!(largest > 0.0) || last - first < 2)
        return -1.0;
    for (std::size_t i = first, j = last - 1; i < j; ++i, --j)
        if (std::abs(w[i] - w[j]) > 1e-6 * largest)
            return -1.0;
    return 0.5 * static_cast<double>(first + last - 1);
}

// Whether the window's transform about the block's middle is its real kernel: the force
// window's is real only about the middle of the half it covers.
bool KernelAboutMiddle(const std::vector<double>& w)
{
    const double support = SupportCentre(w);
    return !(support >= 0.0 && std::abs(support - (static_cast<double>(w.size()) - 1.0) / 2.0) > 1.0);
}

// The point a window is symmetric about: (N - 1) / 2 for most, N / 2 for those laid out as
// one period (their first coefficient has no partner and is left out); a negative value for
// a window with no such point. A window nearly symmetric about (N - 1) / 2 (the triangular
// one rises to its top a sample late) counts, and `asymmetry` receives how far its transform
// may then be from a real kernel, as a share of the kernel's peak.
double SymmetryCentre(const std::vector<double>& w, double& asymmetry)
{
    asymmetry = 0.0;
    const std::size_t n = w.size();
    double largest = 0.0, total = 0.0;
    for (double v : w) {
        largest = std::max(largest, std::abs(v));
        total += v;
    }
    if (n < 2 || !(largest > 0.0) || !(total > 0.0))
        return -1.0;
    bool mirrored = true;
    double odd = 0.0;
    for (std::size_t i = 0; i < n / 2; ++i) {
        const double d = std::abs(w[i] - w[n - 1 - i]);
        mirrored = mirrored && d <= 1e-6 * largest;
        odd += d;
    }
    if (mirrored)
        return (static_cast<double>(n) - 1.0) / 2.0;
    // The odd part's transform is nowhere more than the sum of its magnitudes.
    if (odd <= 1e-4 * total) {
        asymmetry = odd / total;
        return (static_cast<double>(n) - 1.0) / 2.0;
    }
    for (std::size_t j = 1; j < n / 2; ++j)
        if (std::abs(w[n / 2 - j] - w[n / 2 + j]) > 1e-6 * largest)
            return -1.0;
    return static_cast<double>(n / 2);
}

} // namespace

double ToneModel::LobeKernel(double x, int halfWidth)
{
    constexpr int kSteps = 64;
    const std::vector<double>& w = WindowShape();
    if (w.size() != N || N == 0)
        return 0.0;
    const int span = (halfWidth + 1) * kSteps;
    if (lobeKernel.size() != static_cast<std::size_t>(2 * span + 1)) {
        auto make = [&] {
            const double peak = WindowKernel(w, 0.0);
            auto t = std::make_shared<SharedTable::Values>();
            std::vector<double>& table = t->v;
            table.resize(2 * span + 1);
            for (int i = 0; i <= span; ++i)
                table[span + i] = table[span - i] =
                    peak != 0.0 ? WindowKernel(w, static_cast<double>(i) / kSteps) / peak : 0.0;
            return t;
        };
        try {
            lobeKernel = SharedTable(
                KeptTable<SharedTable::Values>(TableKey{windowType, N, kLobeKernelTable, UINT(halfWidth)}, make));
        } catch (const std::bad_alloc&) {
            lobeKernel = SharedTable();
            const double peak = WindowKernel(w, 0.0);
            return peak != 0.0 ? WindowKernel(w, x) / peak : 0.0;
        }
    }
    return ReadLobeTable(lobeKernel.values(), x, span, kSteps);
}

double ToneModel::LobePowerShare(double x, int halfWidth)
{
    if (KernelAboutMiddle(WindowShape())) {
        const double h = LobeKernel(x, halfWidth);
        return h * h;
    }
    const double peak = LobeResponse(0.0, halfWidth);
    return peak > 0.0 ? LobeResponse(x, halfWidth) / peak : 0.0;
}

std::vector<double> ToneModel::ShiftedKernel(double offset, double* asymmetry, std::vector<double>* quadrature)
{
    // One transform of the window turned by the offset gives A(m - offset) e^(-2 pi i (m - offset) c / N)
    // at every m, c the window's centre; taking the phase away leaves the real kernel.
    const std::vector<double>& w = WindowShape();
    std::vector<double> kernel;
    double odd = 0.0;
    const double centre = SymmetryCentre(w, odd);
    if (asymmetry)
        *asymmetry = odd;
    if (w.size() != N || N == 0 || centre < 0.0)
        return kernel;
    std::vector<std::complex<double>> v(N);
    TurnWindow(w, offset, v);
    if (!DoubleTransform(v))
        return kernel;
    const double peak = WindowKernel(w, 0.0);
    if (peak == 0.0)
        return kernel;
    kernel.resize(bins);
    if (quadrature)
        quadrature->assign(bins, 0.0);
    for (UINT k = 0; k < bins; ++k) {
        const double x = static_cast<double>(k) - offset;
        const double angle = 2.0 * M_PI * x * centre / N;
        const std::complex<double> turned = v[k] * std::complex<double>(std::cos(angle), std::sin(angle)) / peak;
        kernel[k] = turned.real();
        if (quadrature)
            (*quadrature)[k] = turned.imag();
    }
    return kernel;
}

double ToneModel::CoherentBeat(long a, long b, double place, double fundamentalPlace, double fundamental,
                               const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                               double typical, const BeatTurns& turns, const std::vector<double>& dc)
{
    const std::vector<double>& w = WindowShape();
    const double energy = SquareSum(w);
    if (w.size() != N || !(energy > 0.0))
        return HUGE_VAL;
    // A tone of power P puts P |W(x)|^2 / (N sum w^2) into a bin x bins away (Parseval).
    const double perTone = 1.0 / (static_cast<double>(N) * energy);
    std::complex<double> meet = 0.0, imageMeet = 0.0;
    double shape = 0.0, top = 0.0, content = 0.0, rest = 0.0, offset = 0.0, others = 0.0;
    std::vector<std::pair<double, double>> seen; // each bin's response to the harmonic, and what it holds
    for (long k = a; k <= b; ++k) {
        if (owner[static_cast<std::size_t>(k)] != 2)
            continue;
        const std::complex<double> f = TransformAt(w, static_cast<double>(k) - fundamentalPlace),
                                   h = TransformAt(w, static_cast<double>(k) - place),
                                   image = TransformAt(w, static_cast<double>(k) + fundamentalPlace);
        meet += f * std::conj(h);
        imageMeet += image * std::conj(h);
        shape += std::norm(h);
        const double held = std::max(static_cast<double>(magnitude[k]) - leak[k] - typical, 0.0);
        content += held;
        seen.emplace_back(std::norm(h), held);
        const double fromDc = std::max(dc[static_cast<std::size_t>(k)], 0.0);
        offset += 2.0 * std::sqrt(fromDc * held);
        rest += 2.0 * std::sqrt(std::max(leak[k] - fundamental * perTone * std::norm(f) - fromDc, 0.0) * held);
        // The tone and its image add at most as their amplitudes do: more is another line's.
        const double pair = std::abs(f) + std::abs(image);
        others += 2.0 * std::sqrt(std::max(leak[k] - fundamental * perTone * pair * pair - fromDc, 0.0) * held);
    }
    if (!(shape > 0.0))
        return HUGE_VAL;
    // The harmonic's power as its strongest bins show it: where the beat cancels, the sum over
    // the lobe reads it low. Only bins holding a fair share of the lobe tell (the noise in a bin
    // on the lobe's edge, divided by the little response there, read a harmonic 6 times what
    // the lobe held, and its beat kept THD N/A on the exponential window).
    for (const auto& [response, held] : seen)
        if (response > 0.25 * shape)
            top = std::max(top, held / (response * perTone));
    const double harmonic = std::max(content / (shape * perTone), top);
    auto beat = [&](std::complex<double> m) { return 2.0 * std::sqrt(fundamental * harmonic) * perTone * std::abs(m); };
    // The mirror image is one line too: its beat meets the harmonic at one phase over the lobe,
    // which bounds it far closer than bin by bin does on a window whose skirts reach far (the
    // exponential's lobe of 17 bins read the beat twice as wide). What else leaks there is
    // bounded bin by bin.
    return turns.direct * beat(meet) + turns.image * std::min(rest, beat(imageMeet) + others) + turns.offset * offset;
}

ToneModel::PhaseErrors ToneModel::BlockPhaseError(UINT k0, double fundamentalPlace, double fundamental,
                                                  double typical, const std::vector<double>& dc)
{
    const std::vector<double>& w = WindowShape();
    const double energy = SquareSum(w);
    const double held = phaseBin < bins ? static_cast<double>(magnitude[phaseBin]) : 0.0;
    if (w.size() != N || !(energy > 0.0) || !(held > 0.0) || (k0 > phaseBin ? k0 - phaseBin : phaseBin - k0) > 1)
        return PhaseErrors{};
    // A line of relative amplitude r beside the tone turns its phase by up to r: the noise by
    // three deviations of one block's, the offset and the tone's mirror image by what they leak
    // (the tone's own leakage only moves the phase the same in every block).
    const double mirror = fundamental * std::norm(TransformAt(w, static_cast<double>(phaseBin) + fundamentalPlace)) /
                          (static_cast<double>(N) * energy);
    PhaseErrors e;
    e.noise = PhaseError(held, typical, 0.0);
    e.mirror = std::sqrt(mirror / held);
    e.offset = std::sqrt(std::max(dc[phaseBin], 0.0) / held);
    return e;
}

double ToneModel::PhaseError(double held, double noise, double other)
{
    if (!(held > 0.0))
        return HUGE_VAL;
    // A line of relative amplitude r beside the tone turns its phase by up to r; the noise by
    // three deviations of one block's.
    return 3.0 * std::sqrt(std::max(noise, 0.0) / (2.0 * held)) + std::sqrt(std::max(other, 0.0) / held);
}

int ToneModel::LobeReach(WORD windowType)
{
    return LobeHalfWidth(windowType) + 1;
}

double ToneModel::LeakageBeatScatter(const std::vector<UINT>& freeBin, const std::vector<double>& leak,
                                     double typical) const
{
    // Where the noise is read it is accounted for as such.
    if (typical > 0.0 || freeBin.empty())
        return 0.0;
    double sum = 0.0;
    std::size_t count = 0;
    for (UINT k : freeBin)
        if (leak[k] > 0.0) {
            const double r = static_cast<double>(magnitude[k]) - leak[k];
            sum += r * r / leak[k];
            ++count;
        }
    return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

namespace {

// What a bin beside a harmonic scatters by beyond the noise's own variance: the noise's beat
// with the leakage there, and where the noise is read as nothing, the scatter the free bins
// show about the leakage (`leakScatter`, per unit of leakage). Without it one uniform block's
// fit leaned on side bins holding only that scatter as if they were exact, and read a
// harmonic 1.2 dB low within a doubt of a tenth of it.
double BinScatter(double leak, double content, double typical, double blocks, double leakScatter)
{
    const double l = std::max(leak, 0.0);
    return l * std::min(std::max(content, 0.0), typical) / blocks + l * leakScatter;
}

// How the noise in one bin goes with the noise m bins away (m = 0..reach) through window `w`:
// the transform of its square at m over its value at 0, taken about the window's centre, where
// a symmetric window's transform is a real kernel (a Gaussian's neighbouring bins share some
// nine tenths of their noise). Bins taken as independent where the window has no centre.
// Kept per thread for the last window and reach: every harmonic of a spectrum asks for it.
const std::vector<double>& BinNoiseCorrelation(const std::vector<double>& w, int reach)
{
    thread_local std::vector<double> window, rho;
    if (window == w && rho.size() == static_cast<std::size_t>(std::max(reach, 0)) + 1)
        return rho;
    window = w;
    rho.assign(static_cast<std::size_t>(std::max(reach, 0)) + 1, 0.0);
    rho[0] = 1.0;
    double odd = 0.0;
    const double centre = SymmetryCentre(w, odd);
    const double energy = SquareSum(w);
    if (centre < 0.0 || !(energy > 0.0))
        return rho;
    const double n = static_cast<double>(w.size());
    for (std::size_t m = 1; m < rho.size(); ++m) {
        double sum = 0.0;
        for (std::size_t i = 0; i < w.size(); ++i)
            sum += w[i] * w[i] * std::cos(2.0 * M_PI * static_cast<double>(m) * (static_cast<double>(i) - centre) / n);
        rho[m] = sum / energy;
    }
    return rho;
}

// The lower Cholesky factor of the m x m matrix `a` (row-major), in place; false where `a` is not
// positive definite as far as the arithmetic tells.
bool CholeskyInPlace(std::vector<double>& a, std::size_t m)
{
    for (std::size_t j = 0; j < m; ++j) {
        double d = a[j * m + j];
        for (std::size_t k = 0; k < j; ++k)
            d -= a[j * m + k] * a[j * m + k];
        if (!(d > 0.0) || !std::isfinite(d))
            return false;
        a[j * m + j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < m; ++i) {
            double e = a[i * m + j];
            for (std::size_t k = 0; k < j; ++k)
                e -= a[i * m + k] * a[j * m + k];
            a[i * m + j] = e / a[j * m + j];
        }
    }
    return true;
}

// Solves a x = v in place, `factor` the lower Cholesky factor of a (m x m, row-major).
void CholeskySolve(const std::vector<double>& factor, std::size_t m, std::vector<double>& v)
{
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t k = 0; k < i; ++k)
            v[i] -= factor[i * m + k] * v[k];
        v[i] /= factor[i * m + i];
    }
    for (std::size_t i = m; i-- > 0;) {
        for (std::size_t k = i + 1; k < m; ++k)
            v[i] -= factor[k * m + i] * v[k];
        v[i] /= factor[i * m + i];
    }
}

// Generalised least squares of y on two columns with the bins' covariance `cov` (m by m, row
// by row): each column's weights on y (`rows`, 2 by m) and the two estimates' variances. False
// where the covariance or the columns leave it undetermined.
bool CorrelatedFit(const std::vector<double>& c1, const std::vector<double>& c2, std::vector<double> cov,
                   std::vector<double>& rows, double& v1, double& v2)
{
    const std::size_t m = c1.size();
    if (m < 3 || c2.size() != m || cov.size() != m * m)
        return false;
    // Cholesky factor in place (lower), then C^-1 applied to both columns.
    if (!CholeskyInPlace(cov, m))
        return false;
    auto solve = [&](std::vector<double> v) {
        CholeskySolve(cov, m, v);
        return v;
    };
    const std::vector<double> w1 = solve(c1), w2 = solve(c2);
    double a11 = 0.0, a12 = 0.0, a22 = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        a11 += c1[i] * w1[i];
        a12 += c1[i] * w2[i];
        a22 += c2[i] * w2[i];
    }
    const double det = a11 * a22 - a12 * a12;
    if (!(det > 1e-9 * a11 * a22))
        return false;
    rows.assign(2 * m, 0.0);
    for (std::size_t i = 0; i < m; ++i) {
        rows[i] = (a22 * w1[i] - a12 * w2[i]) / det;
        rows[m + i] = (a11 * w2[i] - a12 * w1[i]) / det;
    }
    v1 = a22 / det;
    v2 = a11 / det;
    return std::isfinite(v1) && std::isfinite(v2);
}

// The harmonic's power column `c1` and its beat column `c2` fitted to the lobe's bins `y` with
// the covariance the noise gives them as the window shares it between bins (`rho`): its own
// power's scatter, and its beat with the leakage, 2 Re(L N*), L one phase times the real
// `kernel` over the lobe, which moves the bins together; and each bin's `modelDoubt` (the
// leakage's, taken as a deviation of half of it). Weighed bin by bin as independent, one
// block's beat read a Gaussian lobe as far less certain than it is: the beat column takes most
// of it. Replaces p, g and p's weights on the bins; the two variances go to `vp`, `vg` (all
// left alone where the fit fails).
void CorrelatedHarmonicFit(const std::vector<double>& rho, const std::vector<double>& c1, const std::vector<double>& c2,
                           const std::vector<double>& y, const std::vector<double>& leak,
                           const std::vector<double>& kernel, const std::vector<double>& modelDoubt, double typical,
                           double noiseVariance, double blocks, double& p, double& g, std::vector<double>& rowP,
                           double& vp, double& vg)
{
    const std::size_t m = c1.size();
    std::vector<double> cov(m * m), amplitude(m), rows;
    for (std::size_t i = 0; i < m; ++i)
        amplitude[i] = std::copysign(std::sqrt(std::max(leak[i], 0.0)), kernel[i]);
    const std::size_t reach = rho.size() - 1;
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < m; ++j) {
            const std::size_t d = i > j ? i - j : j - i;
            const double r = d <= reach ? rho[d] : 0.0;
            cov[i * m + j] = noiseVariance * r * r + 2.0 * typical * amplitude[i] * amplitude[j] * r / std::max(blocks, 1.0);
            if (i == j)
                cov[i * m + j] += 0.25 * modelDoubt[i] * modelDoubt[i];
        }
    double v1 = 0.0, v2 = 0.0;
    try {
        if (!CorrelatedFit(c1, c2, cov, rows, v1, v2))
            return;
    } catch (const std::bad_alloc&) {
        return;
    }
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        a += rows[i] * y[i];
        b += rows[m + i] * y[i];
        rowP[i] = rows[i];
    }
    p = a;
    g = b;
    vp = v1;
    vg = v2;
}

} // namespace

ToneModel::HarmonicFit ToneModel::FitHarmonicOnLeakage(long a, long b, double place,
                                                             const std::vector<double>& fundamental,
                                                             const std::vector<unsigned char>& owner,
                                                             const std::vector<double>& leak, double typical,
                                                             double noiseVariance, double blocks,
                                                             double kernelError, const std::vector<double>* leakDoubt,
                                                             const std::vector<double>* offset, double offsetTurns,
                                                             double leakScatter, const std::vector<double>* quadrature,
                                                             const std::vector<double>* image,
                                                             const std::vector<double>* imageQuadrature, double tonePeak,
                                                             double toneTurns, double imageTurns,
                                                             const std::vector<double>* offsetKernel)
{
    // In every block the harmonic and the fundamental's leakage add 2 Re(H L*); for a
    // symmetric window both are a real kernel turned by the same phase over the lobe, so
    // that term is one unknown number times A(k - h) A(k - f) in every bin. Fitted with the
    // harmonic's power A(k - h)^2, it no longer counts as what the harmonic may be off by.
    HarmonicFit fit;
    const int W = LobeHalfWidth(windowType);
    if (fundamental.size() != bins)
        return fit;
    const bool quadratureKnown = kernelError > 0.0 && quadrature && quadrature->size() == bins && imageQuadrature &&
                                 imageQuadrature->size() == bins && tonePeak > 0.0;
    const bool imageKnown = image && image->size() == bins && tonePeak > 0.0;
    double s11 = 0.0, s12 = 0.0, s22 = 0.0, t1 = 0.0, t2 = 0.0, lobe = 0.0;
    std::vector<double> c1, c2, y, var, leakAt, kernelAt, lobeAt;
    std::vector<long> bin;
    for (long k = a; k <= b; ++k) {
        if (owner[static_cast<std::size_t>(k)] != 2)
            continue;
        bin.push_back(k);
        const double h = LobeKernel(static_cast<double>(k) - place, W);
        const double f = fundamental[static_cast<std::size_t>(k)];
        const double content = magnitude[k] - leak[static_cast<std::size_t>(k)];
        c1.push_back(h * h);
        lobeAt.push_back(h);
        leakAt.push_back(leak[static_cast<std::size_t>(k)]);
        c2.push_back(h * f);
        kernelAt.push_back(f);
        y.push_back(content - typical);
        // The noise's beat with the leakage scatters a bin by the noise's mean, whatever this
        // bin's draw holds: one whose beat cancelled the leakage holds less than nothing, and
        // weighed as exact, its residual passed for the scatter of every bin.
        var.push_back(noiseVariance + BinScatter(leak[static_cast<std::size_t>(k)], typical, typical, blocks, leakScatter));
        s11 += h * h * h * h;
        s12 += h * h * h * f;
        s22 += h * f * h * f;
        t1 += h * h * (content - typical);
        t2 += h * f * (content - typical);
        lobe += h * h;
    }
    const double det = s11 * s22 - s12 * s12;
    // Two bins give both columns: a 2nd harmonic of a tone three bins up keeps only two beside the
    // tone's lobe, and read as it stood where it cancelled the skirt there, its beat was bounded
    // by what it left of itself (THD+N 1.1 dB low).
    if (c1.size() < 2 || !(det > 1e-9 * s11 * s22) || !(lobe > 0.0))
        return fit;
    const double p = (t1 * s22 - t2 * s12) / det, g = (s11 * t2 - s12 * t1) / det;
    if (!std::isfinite(p) || !std::isfinite(g))
        return fit;
    std::vector<double> rowP(c1.size());
    double plainP = 0.0, plainG = 0.0; // the plain fit's variances of p and g from the bins' noise
    for (std::size_t i = 0; i < c1.size(); ++i) {
        rowP[i] = (s22 * c1[i] - s12 * c2[i]) / det;
        const double rowG = (s11 * c2[i] - s12 * c1[i]) / det;
        plainP += rowP[i] * rowP[i] * var[i];
        plainG += rowG * rowG * var[i];
    }
    // The fit's reading and its doubts from the estimates and p's weights on the bins; a
    // correlated fit (`correlatedP` its variance, >= 0) brings its variances with it.
    // `fd` is the offset's beat where a fit took it as a column of its own (`withOffset`).
    std::vector<double> withOffset;
    auto finish = [&](double fp, double fg, const std::vector<double>& weights, double correlatedP, double correlatedG,
                      double fd = 0.0) {
        HarmonicFit fit;
        const bool offsetFitted = withOffset.size() == c1.size();
        // |2 Re(H L*)| can't pass 2 |H| |L|: more means the fit read something else. The scatter
        // of the bins about the fit counts where it is larger than the noise's.
        double variance = 0.0, shape = 0.0, residual = 0.0, odd = 0.0, relative = 0.0;
        bool weighed = true;
        for (std::size_t i = 0; i < c1.size(); ++i) {
            const double cross = std::abs(fg * c2[i]);
            // Through the triangular windows the tone's column takes its image's beat too (their
            // skirts differ by a slow factor over a lobe), and one block's offset may cancel both
            // in the bins where their kernels have nulls: there the leakage left in the bin says
            // less than the two kernels do of how large the beat may be (one block's 3rd harmonic
            // beside a 2 % offset went unfitted, THD+N N/A where SNR read).
            auto mostFor = [&](double power) {
                const double pw = std::max(power, 0.0);
                // The leakage the bin may hold is what the model gives it, good to its doubt: near
                // a null of the tone's kernel that doubt outweighs the model's value (one Parzen
                // block's 3rd harmonic, its place in such a null beside a strong offset's skirt,
                // was refused for a beat the doubt allows, and THD+N read N/A where SNR read). A leaky
                // window's doubt spans its whole skirt and would admit any beat.
                const double held =
                    leakAt[i] + (leakDoubt && !LeakyWindow(windowType) ? (*leakDoubt)[static_cast<std::size_t>(bin[i])] : 0.0);
                const double inBin = 2.0 * std::sqrt(pw * c1[i] * std::max(held, 0.0));
                return TriangularWindow(windowType) && imageKnown
                           ? std::max(inBin, 2.0 * std::sqrt(pw * c1[i] * tonePeak) *
                                                 (std::abs(kernelAt[i]) +
                                                  std::abs((*image)[static_cast<std::size_t>(bin[i])])))
                           : inBin;
            };
            const double most = mostFor(fp);
            // The beat may pass what the harmonic's power allows by what the two readings'
            // deviations leave open, from the noise the correlated fit fitted with the harmonic's
            // beat or from the bins' own noise in the plain fit: a beat within that noise shows no
            // other line (one Parzen block 4.5 bins up, its lobes of noise refused on their edge
            // bins for a beat of that noise, kept THD+N N/A where SNR read).
            // (A Gaussian's bins share their noise, which the plain fit's deviations don't hold:
            // there only the correlated fit's serve; one Gaussian block of a plain tone had its
            // noise lobes' beats fitted away, THD+N 1.1 dB low.)
            const bool correlated = correlatedP >= 0.0;
            const bool plainNoiseKnown = windowType != TSmoothing::kGaussian;
            const double pVar = correlated ? correlatedP : plainNoiseKnown ? plainP : 0.0;
            const double gVar = correlated ? correlatedG : plainNoiseKnown ? plainG : 0.0;
            const bool beyond = std::abs(fg) > 2.0 * std::sqrt(gVar) &&
                                cross > 1.1 * mostFor(fp + 2.0 * std::sqrt(pVar)) + 2.0 * std::sqrt(gVar) * std::abs(c2[i]) &&
                                (correlated || (cross > 0.1 * std::abs(fp) * c1[i] &&
                                                kernelAt[i] * kernelAt[i] > kArithmeticFloor));
            // (Where the fundamental's kernel lies under the arithmetic's rounding, the bin holds none
            // of its leakage to beat with, and the beat read there is the rounding's: a Bartlett
            // harmonic on a bin, 39 dB down, went unfitted for a bin in the nulls of both kernels,
            // THD and THD+N N/A.)
            if (beyond)
                return fit;
            const double e = y[i] - fp * c1[i] - fg * c2[i] - (offsetFitted ? fd * withOffset[i] : 0.0);
            residual += e * e;
            if (var[i] > 0.0)
                relative += e * e / var[i];
            else
                weighed = false;
            shape += cross;
            // A window not quite symmetric leaves the leakage a part out of phase with the kernel:
            // what the harmonic adds with that part is not fitted, only bounded.
            if (kernelError > 0.0 && !quadratureKnown)
                odd += most * std::min(kernelError / std::max(std::abs(kernelAt[i]), 1e-300), 1.0);
        }
        // Given exactly by two bins, the fit shows no scatter: it is off by the bins' noise and the
        // leakage's doubt through its rows alone.
        const double freedom = static_cast<double>(c1.size() - (offsetFitted ? 3 : 2));
        const double scatter = freedom > 0.0 ? residual / freedom : 0.0;
        // The bins scatter unalike: under the tone's skirt by its beat with the noise, far more
        // than beside it. Their scatter about the fit counts where larger than the noise's, each
        // bin's as a share of its own: laid on every bin alike, what the skirt's bins scatter by
        // passed to the bins the harmonic is read from (a Bartlett harmonic on a bin, an odd
        // distance from the tone: read from its side bins, free of the skirt, its fit was taken as
        // uncertain as half itself, the lobe where it cancelled the skirt was read as it stood, and
        // THD+N 1.1 dB low). Where a bin has no scatter of its own, on every bin alike.
        const double beyondNoise = freedom > 0.0 ? std::max(relative / freedom, 1.0) : 1.0;
        // The harmonic beats with the offset's skirt too, which the fundamental's kernel does not
        // hold: bounded bin by bin, through the weight the fit gives each bin (a Bartlett harmonic
        // on a bin, read from side bins that hold a 10 % offset's skirt and none of the tone's,
        // read 2-3 dB high). Through the triangular windows the offset's transform keeps one sign
        // and its beat one phase over the lobe, as the image's does: it moves p by its column as
        // p's weights read it, which is nothing where the fit took that beat as a column.
        // On any window whose kernel is real the beat is one number times the two kernels' product
        // over the lobe, the offset's signs included: its skirt beyond its lobe turns sign from bin to
        // bin, and bounded bin by bin, a Gaussian 2nd harmonic beside a 3 % offset's skirt was held
        // uncertain by a tenth of the noise (THD+N N/A where SNR read).
        const bool offsetOneSign = TriangularWindow(windowType);
        const bool offsetSigned = offsetKernel && offsetKernel->size() == bins;
        double throughFit = 0.0, offsetBeat = 0.0, inQuadrature = 0.0, imageInQuadrature = 0.0, withImage = 0.0;
        for (std::size_t i = 0; i < c1.size(); ++i) {
            const double row = weights[i];
            const std::size_t k = static_cast<std::size_t>(bin[i]);
            if (quadratureKnown) {
                inQuadrature += row * lobeAt[i] * (*quadrature)[k];
                imageInQuadrature += row * lobeAt[i] * (*imageQuadrature)[k];
            }
            if (imageKnown)
                withImage += row * lobeAt[i] * (*image)[k];
            variance += row * row * (weighed ? var[i] * beyondNoise : std::max(var[i], scatter));
            if (leakDoubt)
                throughFit += std::abs(row) * (*leakDoubt)[static_cast<std::size_t>(bin[i])];
            if (offset)
                offsetBeat += (offsetSigned ? ((*offsetKernel)[k] < 0.0) != (lobeAt[i] < 0.0) ? -row : row
                               : offsetOneSign ? row
                                               : std::abs(row)) * 2.0 *
                              std::sqrt(std::max((*offset)[static_cast<std::size_t>(bin[i])], 0.0) * std::max(fp, 0.0) * c1[i]);
        }
        offsetBeat = std::abs(offsetBeat);
        // (The correlated fit's variance holds the scatter, the beat and the bins' shared noise.)
        if (correlatedP >= 0.0)
            variance = correlatedP;
        fit.fitted = true;
        fit.peak = fp;
        fit.power = fp * lobe;
        fit.deviation = std::sqrt(variance) * lobe;
        // Beside the fundamental's own image the leakage is not quite one kernel: a tenth of the
        // fitted term is left as uncertain.
        // The harmonic's beats the two columns leave out, each at a phase of its own: with the
        // tone's leakage in quadrature where the window is not quite symmetric (`quadrature`), and
        // on the triangular windows with the mirror image's skirt, which falls only as the square
        // of the distance (`image`). Each moves p by its column as p's weights read it, at most by
        // 2 sqrt(P T) (T the tone's peak): one triangular block's harmonic on a bin is read from its
        // side bins, where the tone's real kernel has its nulls and the part in quadrature is all
        // the leakage (bounded by the lobe's leakage as it stands, it passed 1.4 dB high; by each
        // bin's whole leakage, a DC's skirt there kept a clear THD+N N/A); an off-bin Bartlett
        // tone's 2nd harmonic, under a skirt of its image a ninth of the tone's, read 1.3 dB high.
        // The average keeps of each what the blocks' turning phases leave: the harmonic turns h - 1
        // times as fast as the tone, h + 1 times as fast as its image (taken whole, thirteen
        // Bartlett blocks of a tone 6.4 bins up hid a clear 8th harmonic under its image's skirt).
        const double otherBeats = 2.0 * std::sqrt(std::max(fp, 0.0) * tonePeak) *
                                  (toneTurns * std::abs(inQuadrature) +
                                   imageTurns * (std::abs(imageInQuadrature) + std::abs(withImage)));
        fit.shapeError = 0.1 * shape + odd + (offsetTurns * offsetBeat + otherBeats) * lobe;
        fit.leakDoubt = throughFit * lobe;
        return fit;
    };
    HarmonicFit best = finish(p, g, rowP, -1.0, 0.0);
    // Through the triangular windows the offset's beat is one number times the harmonic's kernel
    // and the offset's over the lobe, as the tone's is, but its pattern is its own: the offset's
    // skirt fills every other bin. Bounded, a strong offset's beat kept one block's clear 2nd and
    // 3rd harmonics as uncertain as a fifth of their power (THD+N N/A where SNR read); with a
    // bin to spare it is fitted too, and kept where it knows the harmonic better.
    if (TriangularWindow(windowType) && offset && offset->size() == bins && offsetTurns > 0.0 && c1.size() >= 5) {
        std::vector<double> c3(c1.size());
        double m[3][6] = {}, t[3] = {};
        for (std::size_t i = 0; i < c1.size(); ++i) {
            c3[i] = lobeAt[i] * std::sqrt(std::max((*offset)[static_cast<std::size_t>(bin[i])], 0.0));
            const double x[3] = {c1[i], c2[i], c3[i]};
            for (int r = 0; r < 3; ++r) {
                t[r] += x[r] * y[i];
                for (int c = 0; c < 3; ++c)
                    m[r][c] += x[r] * x[c];
            }
        }
        for (int r = 0; r < 3; ++r)
            m[r][3 + r] = 1.0;
        if (SquareSum(c3) > 0.0 && InvertAugmented(m, 3, 1e-12 * std::max({m[0][0], m[1][1], m[2][2]}))) {
            double x[3] = {};
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    x[r] += m[r][3 + c] * t[c];
            std::vector<double> rows(c1.size());
            for (std::size_t i = 0; i < c1.size(); ++i)
                rows[i] = m[0][3] * c1[i] + m[0][4] * c2[i] + m[0][5] * c3[i];
            // A beat past what the harmonic and the offset allow read something else.
            if (std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]) &&
                std::abs(x[2]) <= 2.2 * std::sqrt(std::max(x[0], 0.0))) {
                withOffset = c3;
                const HarmonicFit three = finish(x[0], x[1], rows, -1.0, 0.0, x[2]);
                withOffset.clear();
                auto doubt = [](const HarmonicFit& f) { return 2.0 * f.deviation + f.shapeError + f.leakDoubt; };
                if (three.fitted && (!best.fitted || doubt(three) < doubt(best)))
                    best = three;
            }
        }
    }
    // The triangular kernels vanish every other bin: a harmonic on a bin an even number of bins from
    // every other line (a tone on an even bin) has its peak bin to itself, and every beat lies in
    // the side bins, with the tone's, its image's, the offset's and the neighbouring harmonics'
    // skirts at once, which two columns can't take (a Bartlett tone on bin 4: its 2nd and 3rd
    // harmonics' fits, refused for that misfit, read as they stood, THD+N 1.2 dB low). Read from
    // that bin alone, the harmonic is off by the bin's noise and by its beat with what leakage
    // the bin may hold; kept where that knows it better.
    if (TriangularWindow(windowType)) {
        auto doubt = [](const HarmonicFit& f) { return 2.0 * f.deviation + f.shapeError + f.leakDoubt; };
        for (std::size_t i = 0; i < c1.size(); ++i) {
            if (std::abs(static_cast<double>(bin[i]) - place) > 1e-3 || !(c1[i] > 0.0))
                continue;
            const std::size_t k = static_cast<std::size_t>(bin[i]);
            const double fp = y[i] / c1[i];
            // The most the other lines may put into the bin, `other` (s), as an amplitude at the
            // harmonic's peak: the harmonic, a, reads a^2 within 2 a s of itself, and may be as
            // large as s + sqrt(s^2 + fp) (one that cancelled a skirt there reads below nothing).
            const double held = std::max(leakAt[i], 0.0) + (leakDoubt ? (*leakDoubt)[k] : 0.0);
            double other = std::sqrt(held / c1[i]);
            if (tonePeak > 0.0)
                other += std::sqrt(tonePeak / c1[i]) *
                         (toneTurns * std::abs(kernelAt[i]) + (imageKnown ? imageTurns * std::abs((*image)[k]) : 0.0));
            const double most = other + std::sqrt(std::max(other * other + fp, 0.0));
            const double beat = 2.0 * most * other;
            HarmonicFit one;
            one.fitted = true;
            one.peak = fp;
            one.power = fp * lobe;
            one.deviation = std::sqrt(std::max(var[i], 0.0)) / c1[i] * lobe;
            one.shapeError = beat * lobe;
            one.leakDoubt = (leakDoubt ? (*leakDoubt)[k] : 0.0) / c1[i] * lobe;
            if (!best.fitted || doubt(one) < doubt(best))
                best = one;
            break;
        }
    }
    // A Gaussian's bins share their noise with their neighbours: weighed as if they did not, one
    // block's beat of the noise with the leakage, alike over the lobe, read the harmonic far
    // less certain than the lobe tells (or passed for more beat than the harmonic allows). The
    // fit that takes the bins' shared noise is kept where it knows the harmonic better: through
    // its weights the leakage's doubt may count more.
    if (windowType == TSmoothing::kGaussian && typical > 0.0) {
        std::vector<double> modelDoubt(c1.size(), 0.0);
        for (std::size_t i = 0; leakDoubt && i < c1.size(); ++i)
            modelDoubt[i] = (*leakDoubt)[static_cast<std::size_t>(bin[i])];
        double cp = p, cg = g, vp = -1.0, vg = 0.0;
        std::vector<double> rows = rowP;
        CorrelatedHarmonicFit(BinNoiseCorrelation(WindowShape(), 2 * W + 2), c1, c2, y, leakAt, kernelAt, modelDoubt,
                              typical, noiseVariance, blocks, cp, cg, rows, vp, vg);
        // It must also know it better than the lobe read as it stands knows what it holds (the
        // leakage's doubt over it): a fit, even one not taken, widens the bound on that reading.
        auto doubt = [](const HarmonicFit& f) { return 2.0 * f.deviation + f.shapeError + f.leakDoubt; };
        const double standing = std::accumulate(modelDoubt.begin(), modelDoubt.end(), 0.0);
        if (vp >= 0.0) {
            const HarmonicFit correlated = finish(cp, cg, rows, vp, vg);
            if (correlated.fitted && doubt(correlated) < standing && (!best.fitted || doubt(correlated) < doubt(best)))
                best = correlated;
        }
    }
    return best;
}

namespace {

// Whether the complex column `c` (its real and imaginary parts) lies within the span of
// `columns` from `first` on, to `share` of its square.
bool Collinear(const std::vector<std::complex<double>>& c, const std::vector<std::vector<double>>& columns,
               std::size_t first, double share)
{
    // An orthonormal basis of the span, and what a column leaves beside it.
    std::vector<std::vector<double>> basis;
    auto residual = [&](std::vector<double> v) {
        for (const std::vector<double>& u : basis) {
            double dot = 0.0;
            for (std::size_t i = 0; i < v.size(); ++i)
                dot += v[i] * u[i];
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] -= dot * u[i];
        }
        return v;
    };
    for (std::size_t j = first; j < columns.size(); ++j) {
        std::vector<double> v = residual(columns[j]);
        const double left = SquareSum(v);
        if (left > 1e-12 * SquareSum(columns[j])) {
            for (double& e : v)
                e /= std::sqrt(left);
            basis.push_back(std::move(v));
        }
    }
    std::vector<double> re(c.size()), im(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        re[i] = c[i].real();
        im[i] = c[i].imag();
    }
    return SquareSum(residual(re)) <= share * SquareSum(re) && SquareSum(residual(im)) <= share * SquareSum(im);
}

} // namespace

ToneModel::HarmonicFit ToneModel::FitHarmonicBesideLeakyTone(long a, long b, double place, double fundamentalPlace,
                                                             double fundamental, const std::vector<unsigned char>& owner,
                                                             const std::vector<double>& leak, double typical,
                                                             double noiseVariance, double blocks, const BeatTurns& turns,
                                                             const std::vector<double>& dc,
                                                             const std::vector<double>* leakDoubt, double leakScatter)
{
    HarmonicFit fit;
    const std::vector<double>& w = WindowShape();
    const double energy = SquareSum(w);
    if (w.size() != N || !(energy > 0.0) || !(fundamental > 0.0))
        return fit;
    const double perTone = 1.0 / (static_cast<double>(N) * energy), crossScale = 2.0 * perTone * std::sqrt(fundamental);
    const int W = LobeHalfWidth(windowType);
    // Per bin: the harmonic's power column, its beats with the fundamental and with its mirror
    // image as complex columns, what is left to fit, and what bounds the rest.
    std::vector<double> own, y, variance, offsetBound, imageBound, doubt;
    std::vector<std::complex<double>> direct, mirror;
    double lobe = 0.0, kernelLobe = 0.0;
    for (long k = a; k <= b; ++k) {
        if (owner[static_cast<std::size_t>(k)] != 2)
            continue;
        const std::size_t i = static_cast<std::size_t>(k);
        const double x = static_cast<double>(k);
        const std::complex<double> h = TransformAt(w, x - place);
        direct.push_back(crossScale * h * std::conj(TransformAt(w, x - fundamentalPlace)));
        mirror.push_back(crossScale * h * std::conj(TransformAt(w, x + fundamentalPlace)));
        own.push_back(perTone * std::norm(h));
        const double content = magnitude[k] - leak[i];
        y.push_back(content - typical);
        variance.push_back(noiseVariance + BinScatter(leak[i], content, typical, blocks, leakScatter));
        offsetBound.push_back(2.0 * std::sqrt(std::max(dc[i], 0.0) * own.back()));
        imageBound.push_back(std::abs(mirror.back()));
        doubt.push_back(leakDoubt ? (*leakDoubt)[i] : 0.0);
        lobe += own.back();
        const double kernel = LobeKernel(x - place, W);
        kernelLobe += kernel * kernel;
    }
    const std::size_t n = own.size();
    // A beat's columns: its real and imaginary parts, or, where its phase stays put over the
    // lobe (a window symmetric about some point), the one direction it takes.
    constexpr int kMost = 5;
    std::vector<std::vector<double>> columns{own};
    auto addBeat = [&](const std::vector<std::complex<double>>& c) {
        double rr = 0.0, ii = 0.0, ri = 0.0;
        for (const std::complex<double>& v : c) {
            rr += v.real() * v.real();
            ii += v.imag() * v.imag();
            ri += v.real() * v.imag();
        }
        const double angle = 0.5 * std::atan2(2.0 * ri, rr - ii);
        const std::complex<double> turn = std::polar(1.0, -angle);
        std::vector<double> along(n), across(n);
        double a2 = 0.0, c2 = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::complex<double> v = c[i] * turn;
            along[i] = v.real();
            across[i] = v.imag();
            a2 += along[i] * along[i];
            c2 += across[i] * across[i];
        }
        columns.push_back(along);
        if (c2 > 1e-6 * a2)
            columns.push_back(across);
    };
    addBeat(direct);
    // A window of one pole (the exponential) has |H|^2 along Re H: the harmonic's power can't
    // be told from its beat with a steady leakage there.
    std::vector<std::complex<double>> ownColumn(own.begin(), own.end());
    if (Collinear(ownColumn, columns, 1, 1e-2))
        return fit;
    // The mirror image's beat turns otherwise than the fundamental's: fitted too where the lobe
    // has the bins to tell it, bounded where it has not. Where it takes the direct beat's shape
    // over the lobe (a tone and harmonic on bins), the direct beat's columns hold it too.
    const std::size_t withoutImage = columns.size();
    const bool imageHeld = Collinear(mirror, columns, 1, 1e-3);
    if (!imageHeld)
        addBeat(mirror);
    if (n < columns.size() + 2)
        columns.resize(withoutImage);
    const int m = static_cast<int>(columns.size());
    const bool imageFitted = imageHeld || m > static_cast<int>(withoutImage);
    if (m > kMost || static_cast<int>(n) < m + 2 || !(lobe > 0.0) || !(kernelLobe > 0.0))
        return fit;
    // Each column scaled to its largest value: the terms lie orders of magnitude apart.
    double norm[kMost] = {};
    for (int j = 0; j < m; ++j)
        for (double v : columns[j])
            norm[j] = std::max(norm[j], std::abs(v));
    double t[kMost][2 * kMost] = {}, aty[kMost] = {};
    for (std::size_t r = 0; r < n; ++r)
        for (int i = 0; i < m; ++i) {
            aty[i] += columns[i][r] / norm[i] * y[r];
            for (int j = 0; j < m; ++j)
                t[i][j] += columns[i][r] / norm[i] * columns[j][r] / norm[j];
        }
    for (int i = 0; i < m; ++i)
        t[i][m + i] = 1.0;
    if (std::find(norm, norm + m, 0.0) != norm + m || !InvertAugmented(t, m, 1e-9))
        return fit;
    double x[kMost] = {};
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < m; ++j)
            x[i] += t[i][m + j] * aty[j];
        x[i] /= norm[i];
    }
    double residual = 0.0, shape = 0.0;
    for (std::size_t r = 0; r < n; ++r) {
        double e = y[r];
        for (int j = 0; j < m; ++j) {
            e -= x[j] * columns[j][r];
            shape += j > 0 ? std::abs(x[j] * columns[j][r]) : 0.0;
        }
        residual += e * e;
    }
    const double scatter = residual / static_cast<double>(n - m);
    // How each bin moves each term: the rows of the fit's inverse.
    double spread[kMost] = {}, offsetBeat = 0.0, imageBeat = 0.0, throughFit = 0.0;
    const double power = std::max(x[0], 0.0);
    for (std::size_t r = 0; r < n; ++r)
        for (int i = 0; i < m; ++i) {
            double weight = 0.0;
            for (int j = 0; j < m; ++j)
                weight += t[i][m + j] * columns[j][r] / norm[j];
            weight /= norm[i];
            spread[i] += weight * weight * std::max(variance[r], scatter);
            if (i == 0) {
                offsetBeat += std::abs(weight) * offsetBound[r] * std::sqrt(power);
                imageBeat += std::abs(weight) * imageBound[r] * std::sqrt(power);
                throughFit += std::abs(weight) * doubt[r];
            }
        }
    // In no bin can the beats pass what the lines' amplitudes give there: more means the fit
    // read something else. (Over a few bins the two beats' columns may look alike and trade
    // off: only their sum is judged.)
    for (std::size_t r = 0; r < n; ++r) {
        double sum = 0.0;
        for (int j = 1; j < m; ++j)
            sum += x[j] * columns[j][r];
        const double most = std::sqrt(power) * (std::abs(direct[r]) + std::abs(mirror[r]));
        if (std::abs(sum) > 1.1 * most + 2.0 * std::sqrt(std::max(variance[r], scatter)))
            return fit;
    }
    if (!std::isfinite(x[0]) || !std::isfinite(spread[0]))
        return fit;
    fit.fitted = true;
    fit.power = x[0] * lobe;
    fit.peak = fit.power / kernelLobe;
    fit.deviation = std::sqrt(spread[0]) * lobe;
    // The fundamental's leakage is known to a few hundredths of a bin: a tenth of the fitted
    // beats is left as uncertain; the beats left unfitted count whole.
    fit.shapeError = 0.1 * shape + (turns.offset * offsetBeat + (imageFitted ? 0.0 : turns.image * imageBeat)) * lobe;
    fit.leakDoubt = throughFit * lobe;
    return fit;
}

void ToneModel::Use(const Spectrum& spectrum)
{
    magnitude = spectrum.power;
    bins = spectrum.bins;
    N = spectrum.fftSize;
    windowType = spectrum.windowType;
    binWidth = spectrum.binWidth;
    highFrequency = spectrum.highFrequency;
    averageBlocks = spectrum.averageBlocks;
    averageCount = spectrum.averageCount;
    phaseBin = spectrum.phaseBin;
    try {
        if (spectrum.blockPhases)
            blockPhases = *spectrum.blockPhases;
        else
            blockPhases.clear();
    } catch (const std::bad_alloc&) {
        // Without the phases every beat is taken as one that never turns.
        blockPhases.clear();
    }
}

double ToneModel::BeatCoherence(UINT k0, int m, const PhaseErrors& error) const
{
    const double total = error.Total();
    const double blockByBlock = PairCoherence(k0, m, 0, 0, total, 0.0);
    // Past a small error the first order below no longer holds.
    constexpr double kFirstOrder = 0.5;
    if (!(total < kFirstOrder))
        return blockByBlock;
    // To first order a block's m-th power is off by i m Im(r), r what the other lines put into
    // the tone's bin as a share of it. The mirror image's part turns against the tone twice as
    // fast and the offset's as fast, so summed over the blocks they meet the beat at the orders
    // m +- 2 and m +- 1, which the average mostly cancels too (bounding them block by block
    // kept a clear harmonic's THD N/A on the exponential window). Only the noise's part is
    // bounded block by block; what the first order leaves out is of the second.
    const double a = std::abs(m);
    auto kept = [&](int n) { return PairCoherence(k0, n, 0, 0, total, 0.0); };
    const double steady =
        0.5 * error.mirror * (kept(m + 2) + kept(m - 2)) + 0.5 * error.offset * (kept(m + 1) + kept(m - 1));
    const double second = (0.5 * a * a + a) * total * total;
    return std::min(blockByBlock, PairCoherence(k0, m, 0, 0, error.noise, 0.0) + a * steady + second);
}

double ToneModel::PairCoherence(long long k1, int m1, long long k2, int m2, double error1, double error2) const
{
    // The phases were read at the bin of the strongest tone as each block came; a tone a bin
    // from it holds that bin too.
    if (blockPhases.empty() || std::abs(k1 - static_cast<long long>(phaseBin)) > 1)
        return 1.0;
    // The second tone's phases as the latest blocks read them: a block that read them at
    // another bin (a neighbour's phase is another) tells nothing of this beat.
    const UINT second = blockPhases.back().secondBin;
    if (m2 != 0 && std::abs(k2 - static_cast<long long>(second)) > 1)
        return 1.0;
    std::complex<double> sum = 0.0;
    double known = 0.0;
    for (const BlockPhase& b : blockPhases) {
        const std::complex<double> z(b.value.real(), b.value.imag()), y(b.second.real(), b.second.imag());
        const double r = std::abs(z), q = std::abs(y);
        if (!(r > 0.0))
            return 1.0;
        if (m2 != 0 && (!(q > 0.0) || b.secondBin != second))
            continue;
        sum += b.weight * std::pow(z / r, m1) * (m2 != 0 ? std::pow(y / q, m2) : 1.0);
        known += b.weight;
    }
    // Blocks averaged before the history began may have met the beat at one phase; a phase
    // off by e turns the m-th power by m e.
    const double drift = std::abs(m1) * error1 + std::abs(m2) * error2;
    return std::min(1.0, std::abs(sum) + std::max(1.0 - known, 0.0) + drift * known);
}

const std::vector<double>& ToneModel::BlockOverlap()
{
    const std::vector<double>& w = WindowShape();
    if (blockOverlap.empty() && w.size() == N && N > 0) {
        blockOverlap = SharedTable(KeptTable<SharedTable::Values>(TableKey{windowType, N, kBlockOverlapTable, 0}, [&] {
            auto t = std::make_shared<SharedTable::Values>();
            const double energy = SquareSum(w);
            if (energy > 0.0) {
                t->v.assign(kOverlapSteps + 1, 0.0);
                for (int i = 0; i <= kOverlapSteps; ++i) {
                    const std::size_t lag = static_cast<std::size_t>(std::lround(static_cast<double>(i) * N / kOverlapSteps));
                    double r = 0.0;
                    for (std::size_t n = 0; n + lag < w.size(); ++n)
                        r += w[n] * w[n + lag];
                    t->v[static_cast<std::size_t>(i)] = r / energy;
                }
            }
            return t;
        }));
    }
    return blockOverlap.values();
}

double ToneModel::NoiseBeatKept(UINT k0, int m, const std::vector<double>& offsets, const std::vector<double>& weights,
                                const PhaseErrors& error)
{
    if (blockPhases.empty() || std::abs(static_cast<long long>(k0) - static_cast<long long>(phaseBin)) > 1)
        return 1.0;
    const std::vector<double>& overlap = BlockOverlap();
    if (overlap.size() != static_cast<std::size_t>(kOverlapSteps) + 1)
        return 1.0;
    // Blocks d apart share r(d hop) of a bin's noise, which turns against the line's skirt by the
    // line's own turn (the tone's phases read, m-fold) and 2 pi offset d hop / N: summed over the
    // pairs of blocks with their weights. The hop is not known: the largest sum at any hop.
    const std::size_t n = blockPhases.size();
    std::vector<std::complex<double>> turned(n);
    double known = 0.0;
    for (std::size_t b = 0; b < n; ++b) {
        const std::complex<double> z(blockPhases[b].value.real(), blockPhases[b].value.imag());
        if (!(std::abs(z) > 0.0))
            return 1.0;
        turned[b] = std::pow(z / std::abs(z), m);
        known += blockPhases[b].weight;
    }
    const std::size_t lags = std::min<std::size_t>(n, kOverlapSteps);
    std::vector<std::complex<double>> lagged(lags);
    std::vector<double> plain(lags);
    for (std::size_t d = 0; d < lags; ++d)
        for (std::size_t b = 0; b + d < n; ++b) {
            const double ww = blockPhases[b].weight * blockPhases[b + d].weight;
            lagged[d] += ww * turned[b + d] * std::conj(turned[b]);
            plain[d] += ww;
        }
    // A phase off by e turns a pair's beat by up to 2 |m| e.
    const double drift = std::min(2.0 * std::abs(m) * error.Total(), 2.0);
    double total = 0.0;
    for (std::size_t i = 0; i < offsets.size() && i < weights.size(); ++i)
        total += std::max(weights[i], 0.0);
    if (!(total > 0.0))
        return 1.0;
    // The turn at a lag of t steps of the window's length, for each offset.
    std::vector<std::vector<std::complex<double>>> turn(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        turn[i].resize(kOverlapSteps);
        for (int t = 0; t < kOverlapSteps; ++t)
            turn[i][static_cast<std::size_t>(t)] = std::polar(1.0, 2.0 * M_PI * offsets[i] * t / kOverlapSteps);
    }
    double most = 0.0;
    for (std::size_t j = 1; j <= static_cast<std::size_t>(kOverlapSteps); ++j) {
        double sum = 0.0;
        for (std::size_t i = 0; i < offsets.size() && i < weights.size(); ++i) {
            double v = plain[0];
            for (std::size_t d = 1, t = j; d < lags && t < static_cast<std::size_t>(kOverlapSteps); ++d, t += j)
                v += 2.0 * overlap[t] * ((lagged[d] * turn[i][t]).real() + drift * plain[d]);
            sum += std::max(weights[i], 0.0) * std::max(v, 0.0);
        }
        most = std::max(most, sum / total);
    }
    // The blocks averaged before the phases were kept may have met it at one phase.
    const double unknown = std::max(1.0 - known, 0.0);
    return std::min(std::pow(std::sqrt(most) + unknown, 2.0), 1.0);
}

double ToneModel::SkirtBeatBlocks(long a, long b, double place, UINT k0, double fundamentalPlace,
                                  const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                                  const std::vector<double>& kernel, double tonePeak, double typical, double blocks,
                                  const PhaseErrors& error)
{
    // The beat's turn is known only where the place is the harmonic's own, not a folded one.
    const int order = HarmonicOrder(place, fundamentalPlace);
    if (order < 2 || std::abs(place - order * fundamentalPlace) > 0.5 || kernel.size() != bins || !(tonePeak > 0.0) ||
        !(blocks >= 1.0))
        return blocks;
    std::vector<double> offsets, weights;
    for (long k = a; k <= b; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        if (owner[i] != 2)
            continue;
        const double content = std::max(static_cast<double>(magnitude[k]) - leak[i], 0.0);
        offsets.push_back(static_cast<double>(k) - place);
        weights.push_back(std::min(tonePeak * kernel[i] * kernel[i], std::max(leak[i], 0.0)) * std::min(content, typical));
    }
    // The harmonic's bins turn against the tone h - 1 times as fast as the tone turns.
    const double kept = std::min(NoiseBeatKept(k0, order - 1, offsets, weights, error), 1.0 / blocks);
    double whole = 0.0, held = 0.0;
    for (long k = a; k <= b; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        if (owner[i] != 2)
            continue;
        const double content = std::max(static_cast<double>(magnitude[k]) - leak[i], 0.0);
        const double l = std::max(leak[i], 0.0), noise = std::min(content, typical);
        const double skirt = std::min(tonePeak * kernel[i] * kernel[i], l);
        // The rest of the leakage (the image's, the offset's, other lines') as the noise scatters;
        // the two parts may meet at one phase.
        const double both = std::pow(std::sqrt(skirt * kept) + std::sqrt((l - skirt) / blocks), 2.0);
        whole += l * noise;
        held += std::min(both, l / blocks) * noise;
    }
    return held > 0.0 ? std::max(blocks, whole / held) : blocks;
}

ToneModel::Parts ToneModel::FitTone(const Spectrum& spectrum, UINT lo, UINT hi)
{
    Use(spectrum);
    if (!magnitude || bins == 0)
        return Parts{};
    FitKey key{lo, hi, N, bins, windowType, binWidth, highFrequency, averageBlocks, averageCount, phaseBin};
    try {
        key.phases = blockPhases;
    } catch (const std::bad_alloc&) {
        return Parts{};
    }
    const float* mag = magnitude;
    if (fitKept && fitKey == key && fitBins.size() == bins &&
        std::memcmp(fitBins.data(), mag, bins * sizeof(float)) == 0)
        return fit;
    fitKept = false;
    Parts parts;
    try {
        parts = FitToneAnew(lo, hi);
    } catch (const std::bad_alloc&) {
        // Too little memory to analyse: nothing is measured.
        return Parts{};
    }
    try {
        fitBins.assign(mag, mag + bins);
    } catch (const std::bad_alloc&) {
        // Not kept: the next measure analyses again.
        fitBins.clear();
        return parts;
    }
    fit = parts;
    fitKey = std::move(key);
    fitKept = true;
    return parts;
}

namespace {

// What the offset's lobe holds apart from the window's response to DC, beyond what the noise,
// the other parts' leakage and their beat with the offset allow in each bin, as a share of the
// offset's lobe: a line under DC's lobe that the fit can't part from the offset shows so.
double DcLobeMisfit(const float* magnitude, const std::vector<double>& response, int halfWidth, double scale,
                    double floor, const std::vector<double>& other, const std::vector<double>& otherSpread)
{
    double apart = 0.0, lobe = 0.0;
    for (int k = 1; k <= halfWidth; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const double expected = scale * response[i];
        const double before = other.empty() ? 0.0 : std::max(other[i], 0.0);
        const double held = magnitude[k] - before - floor;
        const double allowed = 4.0 * (floor + (otherSpread.empty() ? 0.0 : otherSpread[i])) +
                               2.0 * std::sqrt(std::max(expected, 0.0) * before);
        apart += std::max(std::abs(held - expected) - allowed, 0.0);
        lobe += expected;
    }
    return lobe > 0.0 ? apart / lobe : 0.0;
}

// How far the block's value at a tone's bin may turn beyond the noise's doing: the other lines'
// leakage there, which the three lines fitted near DC leave out.
constexpr double kPhaseSlack = 0.05;

// One block through the exponential window (a ratio `r` from sample to sample) is a sum of
// one-pole transforms: an offset and a tone hold |Q(u)|^2 / |D(u)|^2 in every bin k (u =
// e^(-2 pi i k / N), D the poles of the offset, the tone and its image, Q of the second degree),
// and Q's zeros mirrored across the unit circle give other offsets and tones with the very same
// power spectrum (a 7 % offset beside a tone 11 bins up: one 1 dB stronger, one 0.9 dB weaker).
// The block's value at the tone's peak bin k0 (`value`, known to within `phaseError` radians)
// tells them apart, but for the sign of the whole. Gives the tone's lobe power (bins k0 +- W) as
// the one the value picks has it (0 where the three lines alone don't hold the bins up to the
// lobe's end) and how far the others it leaves lie from that.
struct OnePoleLobe {
    double power = 0.0, spread = 0.0;
};
OnePoleLobe OnePoleReading(const float* mag, UINT N, double r, UINT k0, int W, const std::complex<double>* value,
                           double phaseError)
{
    const int last = static_cast<int>(k0) + W;
    if (!(r > 0.0 && r < 1.0) || k0 <= static_cast<UINT>(W) || static_cast<UINT>(last) >= N / 2)
        return {};
    using C = std::complex<double>;
    const double step = 2.0 * M_PI / static_cast<double>(N);
    auto unit = [&](double k) { return std::polar(1.0, -step * k); };
    struct Poles {
        C p[3]; // the offset's, the tone's, its image's
        C Den(C u) const { return (1.0 - p[0] * u) * (1.0 - p[1] * u) * (1.0 - p[2] * u); }
    };
    auto poles = [&](double place) {
        return Poles{{C(r, 0.0), r * std::polar(1.0, step * place), r * std::polar(1.0, -step * place)}};
    };
    // |Q|^2 is even in k: a quadratic in s = sin^2(pi k / N) (scaled by N / (pi k0) to keep the
    // regressors of one size), fitted to the bins as shares of each, at the place it fits best.
    const double sScale = static_cast<double>(N) / (M_PI * k0);
    const auto size = static_cast<std::size_t>(last) + 1;
    std::vector<double> y(size), weight(size), s(size);
    const std::vector<unsigned char> use(size, 1);
    for (std::size_t k = 0; k < size; ++k)
        s[k] = std::pow(std::sin(M_PI * static_cast<double>(k) / static_cast<double>(N)), 2) * sScale;
    auto regress = [&](int k, double* x) {
        x[0] = 1.0;
        x[1] = s[static_cast<std::size_t>(k)];
        x[2] = x[1] * x[1];
    };
    double beta[3] = {};
    auto misfit = [&](double place) {
        const Poles q = poles(place);
        for (std::size_t k = 0; k < size; ++k) {
            y[k] = std::max(static_cast<double>(mag[k]), 1e-300) * std::norm(q.Den(unit(static_cast<double>(k))));
            weight[k] = 1.0 / (y[k] * y[k]);
        }
        if (!FitOnBins(3, regress, y, weight, use, 0, last, beta))
            return HUGE_VAL;
        double sum = 0.0;
        for (std::size_t k = 0; k < size; ++k) {
            const double e = (beta[0] + beta[1] * s[k] + beta[2] * s[k] * s[k]) / y[k] - 1.0;
            sum += e * e;
        }
        return sum / static_cast<double>(size);
    };
    const double place = GoldenMinimum(misfit, k0 - 1.0, k0 + 1.0, 40);
    // Bins the three lines leave a thousandth of to the noise or other parts say nothing of this.
    if (!(misfit(place) < 1e-6) || !(std::abs(beta[2]) > 0.0))
        return {};
    // The zeros of |Q|^2 in s, each a pair z, 1/z in u: Q takes one of each (a real signal: both
    // of a complex pair alike).
    const C root = std::sqrt(C(beta[1] * beta[1] - 4.0 * beta[0] * beta[2], 0.0));
    const C zeroS[2] = {(-beta[1] + root) / (2.0 * beta[2]), (-beta[1] - root) / (2.0 * beta[2])};
    C z[2][2];
    for (int i = 0; i < 2; ++i) {
        const C t = 1.0 - 2.0 * zeroS[i] / sScale;
        const C d = std::sqrt(t * t - 1.0);
        z[i][0] = t + d;
        z[i][1] = t - d;
    }
    const Poles q = poles(place);
    const C u0 = unit(k0);
    const double s0 = s[k0], atPeak = beta[0] + beta[1] * s0 + beta[2] * s0 * s0;
    double lobeShape = 0.0;
    for (int k = static_cast<int>(k0) - W; k <= last; ++k)
        lobeShape += 1.0 / std::norm(1.0 - q.p[1] * unit(k));
    // Each real factorisation's tone lobe, and how far its phase at k0 lies from the block's.
    std::vector<std::pair<double, double>> lobes;
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b) {
            const C sum = z[0][a] + z[1][b], product = z[0][a] * z[1][b];
            if (std::abs(sum.imag()) > 1e-6 * (1.0 + std::abs(sum)) ||
                std::abs(product.imag()) > 1e-6 * (1.0 + std::abs(product)))
                continue;
            auto Q = [&](C u) { return (u - z[0][a]) * (u - z[1][b]); };
            const double kappa = std::sqrt(std::max(atPeak, 0.0)) / std::abs(Q(u0));
            const C tone = kappa * Q(1.0 / q.p[1]) / ((1.0 - q.p[0] / q.p[1]) * (1.0 - q.p[2] / q.p[1]));
            const double turn =
                value ? std::abs(std::remainder(std::arg(*value * std::conj(Q(u0) / q.Den(u0))), M_PI)) : 0.0;
            lobes.emplace_back(turn, std::norm(tone) * lobeShape);
        }
    if (lobes.empty())
        return {};
    std::sort(lobes.begin(), lobes.end());
    OnePoleLobe out;
    out.power = lobes.front().second;
    for (const auto& [turn, lobe] : lobes)
        if (turn <= lobes.front().first + phaseError)
            out.spread = std::max(out.spread, std::abs(lobe - out.power));
    return out;
}

} // namespace

const std::vector<double>& ToneModel::DcResponse()
{
    const std::vector<double>& w = WindowShape();
    if (dcResponse.size() != bins && w.size() == N && N > 0) {
        dcResponse = SharedTable(KeptTable<SharedTable::Values>(TableKey{windowType, N, kDcResponseTable, bins}, [&] {
            auto t = std::make_shared<SharedTable::Values>();
            std::vector<std::complex<double>> v(N);
            TurnWindow(w, 0.0, v);
            if (DoubleTransform(v)) {
                t->v.resize(bins);
                for (UINT k = 0; k < bins; ++k)
                    t->v[k] = std::norm(v[k]);
            }
            return t;
        }));
    }
    return dcResponse.values();
}

const std::vector<double>& ToneModel::SkirtEnvelope()
{
    const std::vector<double>& w = WindowShape();
    const int W = LobeHalfWidth(windowType);
    if (skirtEnvelope.size() != bins && w.size() == N && N > 0 && bins > static_cast<UINT>(W) + 2) {
        skirtEnvelope = SharedTable(KeptTable<SharedTable::Values>(TableKey{windowType, N, kSkirtTable, bins}, [&] {
            auto t = std::make_shared<SharedTable::Values>();
            // The response on bins and half-way between them: a line anywhere in its bin meets
            // a bin d away at d - 1..d + 1, whose sidelobe peaks these samples hold closely.
            std::vector<std::complex<double>> onBin(N), between(N);
            TurnWindow(w, 0.0, onBin);
            TurnWindow(w, 0.5, between);
            if (!DoubleTransform(onBin) || !DoubleTransform(between))
                return t;
            auto at = [&](const std::vector<std::complex<double>>& v, long k) {
                return std::norm(v[static_cast<std::size_t>(k >= 0 ? k : k + static_cast<long>(N))]);
            };
            // The lobe holds least of the line's power half a bin off.
            double lobe = 0.0;
            for (long m = -W; m <= W; ++m)
                lobe += at(between, m + 1);
            if (!(lobe > 0.0))
                return t;
            t->v.assign(bins, 1.0);
            for (long d = W + 1; d < static_cast<long>(bins); ++d) {
                double most = 0.0;
                for (long j = d - 1; j <= d + 1; ++j)
                    most = std::max({most, at(onBin, j), at(onBin, -j), at(between, j), at(between, 1 - j)});
                t->v[static_cast<std::size_t>(d)] = std::min(most / lobe, 1.0);
            }
            return t;
        }));
    }
    return skirtEnvelope.values();
}

double ToneModel::DcLeakage(double floor, const std::vector<double>& other, const std::vector<double>& otherSpread,
                            std::vector<double>& dc, double* hidden)
{
    if (hidden)
        *hidden = 0.0;
    // A DC offset is a tone at no offset at all: its lobe and skirt are the window's transform
    // at every bin, scaled to what its lobe holds beside bin 0 (bin 0 itself is read apart)
    // once the other parts' leakage there is taken away.
    dc.assign(bins, 0.0);
    const int W = LobeHalfWidth(windowType);
    const std::vector<double>& w = WindowShape();
    if (w.size() != N || N == 0 || bins <= static_cast<UINT>(W) + 1)
        return 0.0;
    if (DcResponse().size() != bins)
        return 0.0;
    // Each bin of the lobe gives the scale to within the noise and what the other parts' leakage
    // leaves uncertain there; the bins are weighed by how well they give it, so that a bin
    // where DC's response is small and a tone leaks much (Bartlett: every other bin) cannot
    // hide an offset that the rest of its lobe shows clearly.
    double lobe = 0.0, least = HUGE_VAL;
    std::vector<double> doubt(static_cast<std::size_t>(W) + 1, HUGE_VAL);
    for (int k = 1; k <= W; ++k) {
        const auto i = static_cast<std::size_t>(k);
        lobe += dcResponse[i];
        if (dcResponse[i] > 1e-12 * dcResponse[0])
            doubt[i] = (std::max(floor, 0.0) + (otherSpread.empty() ? 0.0 : otherSpread[i])) / dcResponse[i];
        least = std::min(least, doubt[i]);
    }
    // A window without leakage (uniform) keeps DC in bin 0.
    if (!(lobe > 1e-12 * dcResponse[0]) || !std::isfinite(least))
        return 0.0;
    double weights = 0.0, scale = 0.0, scaleDoubt = 0.0;
    for (int k = 1; k <= W; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (!std::isfinite(doubt[i]))
            continue;
        const double weight = least > 0.0 ? (least / doubt[i]) * (least / doubt[i]) : (doubt[i] > 0.0 ? 0.0 : 1.0);
        const double held = magnitude[k] - (other.empty() ? 0.0 : other[i]) - std::max(floor, 0.0);
        weights += weight;
        scale += weight * held / dcResponse[i];
        scaleDoubt += weight * doubt[i];
    }
    scale /= weights;
    scaleDoubt /= weights;
    // An offset that does not stand out of the noise and of what the other parts' leakage
    // leaves uncertain is not modelled.
    if (!(scale > 4.0 * scaleDoubt)) {
        if (hidden)
            *hidden = std::max(scale, 0.0) + 4.0 * scaleDoubt;
        return 0.0;
    }
    for (UINT k = 0; k < bins; ++k)
        dc[k] = scale * dcResponse[k];
    // The noise in the lobe and its beat with the offset leave the scale that uncertain.
    const double excess = scale * lobe, noise = std::max(floor, 0.0) * W;
    const double share = scaleDoubt / scale;
    // The exponential window's transform has no symmetry nor a run of equal samples to part a line
    // under DC's lobe from the offset (no fit takes the two together there): the offset, scaled to
    // hold that line, took it from the noise (a pair's low tone 3.4 bins up: THD+N 11.8 dB low).
    // Its lobe's misfit bounds it.
    const double misfit = windowType == TSmoothing::kExponential && !other.empty()
                              ? DcLobeMisfit(magnitude, dcResponse.values(), W, scale, std::max(floor, 0.0), other,
                                             otherSpread)
                              : 0.0;
    return AllowanceFor(windowType).model + share + 2.0 * std::sqrt(noise / excess) + misfit;
}

double ToneModel::BandScatter(int halfWidth) const
{
    std::vector<unsigned char> every(bins, 1);
    const double most = BlocksCounted();
    return std::max(NoiseScatter(magnitude, every, 1, static_cast<std::size_t>(2 * halfWidth + 1)), 1.0 / most);
}

double ToneModel::ChancePeak(UINT centre, int halfWidth, double typical, double lobeScatter, double blocks,
                             const std::vector<double>& dc, double dcError, UINT bandBins) const
{
    // The noise summed over a lobe reaches NoiseTail times its mean once in a million places;
    // the strongest lobe of a band of many, further (one Hann block of 65536 points read a peak
    // of noise alone, 52 times a bin's mean over five bins, as a tone).
    // DC's skirt is only as good as its fit, and beats with the noise by 2 Re(D N*): a
    // deviation of sqrt(2 D N / blocks) a bin that the window shares over the lobe, so the
    // bins' beats add as amplitudes; five deviations are as rare as the noise's tail.
    const int lobeBins = 2 * halfWidth + 1;
    double skirt = 0.0, beat = 0.0;
    for (UINT k = centre > static_cast<UINT>(halfWidth) ? centre - halfWidth : 1; k <= centre + halfWidth; ++k) {
        const double d = std::max(dc[k], 0.0);
        skirt += dcError * d;
        beat += std::sqrt(2.0 * d * typical / std::max(blocks, 1.0));
    }
    return typical * lobeBins * NoiseTail(lobeScatter, static_cast<double>(bandBins) / lobeBins) + skirt + 5.0 * beat;
}

double ToneModel::UnseenParity(UINT k0, double offset, double offsetError, const std::vector<UINT>& freeBin,
                               double typical, double lines, UINT bandBins)
{
    // A window whose response to a line on a bin vanishes at every other bin (Bartlett, Force)
    // leaves a tone on a bin leaking only into the bins an odd number away: where that leakage
    // hides the noise, the noise is read from the others alone. White noise holds as much in
    // each bin, but a signal that repeats within the block (a generated tone on a bin, its
    // rounding the only noise) has lines on bins too, whose skirts put only ENBW - 1 of their
    // power into the bins between (the noise read 1.8 dB high). From the bins between lines
    // alone the two cannot be told apart: the difference is that much doubt. Lines standing
    // out of the typical bin (`lines`, what the free bins hold beyond it) put ENBW - 1 of
    // their peaks into the hidden bins, unseen (the rounding read 1.2 dB low).
    if (!(std::abs(offset) <= offsetError) || freeBin.empty() || DcResponse().size() != bins || bins < 4 ||
        !(dcResponse[2] < 1e-6 * dcResponse[1]))
        return 0.0;
    std::size_t odd = 0;
    for (UINT k : freeBin)
        odd += (k > k0 ? k - k0 : k0 - k) % 2;
    // Where the free bins hold both, white noise and lines show alike and a tenth suffices.
    if (odd * 10 > freeBin.size())
        return 0.0;
    const std::vector<double>& w = WindowShape();
    double s1 = 0.0, s2 = 0.0;
    for (double v : w) {
        s1 += v;
        s2 += v * v;
    }
    const double enbw = s1 > 0.0 ? static_cast<double>(w.size()) * s2 / (s1 * s1) : 1.0;
    const double unseen = static_cast<double>(bandBins) / 2.0;
    return typical * unseen * std::abs(1.0 - (enbw - 1.0)) + (enbw - 1.0) * std::max(lines, 0.0);
}

ToneModel::ToneShape ToneModel::DcShape(const std::vector<double>& dc)
{
    ToneShape shape;
    const std::vector<double>& w = WindowShape();
    if (dc.size() != bins || w.size() != N || DcResponse().size() != bins || !(dcResponse[0] > 0.0) || !(dc[0] > 0.0))
        return shape;
    shape.v.resize(N);
    TurnWindow(w, 0.0, shape.v);
    if (!DoubleTransform(shape.v)) {
        shape.v.clear();
        return shape;
    }
    shape.scale = dc[0] / dcResponse[0];
    shape.dc = true;
    return shape;
}

namespace {

// A symmetric window's kernel at x bins, as a share of its peak: its transform turned back by
// the phase its centre gives; real but for what breaks the symmetry (a lone first sample).
std::complex<double> KernelAt(const std::vector<double>& w, double centre, double peak, double x)
{
    const double angle = 2.0 * M_PI * x * centre / static_cast<double>(w.size());
    return TransformAt(w, x) * std::complex<double>(std::cos(angle), std::sin(angle)) / peak;
}

// Beside DC a bin holds, averaged over the blocks, with the window's kernels of the tone
// K(k - f), its image K(k + f) and DC K(k): P (|K(k - f)|^2 + |K(k + f)|^2) + D |K(k)|^2 +
// 2 Re(z K(k - f) K*(k + f)) + 2 Re(u K(k) K*(k - f) + u* K(k) K*(k + f)) and the noise, z and u
// set by the mean of the tone's phase over the blocks. The columns of P, z, D and u, the parts
// of z and u that only a window not quite symmetric shows last. A second harmonic whose lobe
// reaches the tone's adds its power H (|K(k - 2f)|^2 + |K(k + 2f)|^2) and its beat with the tone
// 2 Re(v K(k - f) K*(k - 2f)), fitted only to keep them out of the others; a third harmonic
// whose lobe reaches them likewise, with its beats with the tone and the second; and where the
// window's skirt stays high, both harmonics' beats with the image's skirt K(k + f).
enum BesideDcColumn { kTone, kImage, kDc, kDcBeat, kImageOdd, kDcBeatOdd, kBesideDcColumns, kSecond = kBesideDcColumns,
                      kSecondBeat, kSecondImageBeat, kThird, kThirdBeat, kThirdSecondBeat, kThirdImageBeat,
                      kFitColumns };
using BesideDcRow = double[kFitColumns];

void RowBesideDc(std::complex<double> below, std::complex<double> above, std::complex<double> still, BesideDcRow& row)
{
    const std::complex<double> a = still * std::conj(below), b = still * std::conj(above), c = below * std::conj(above);
    row[kTone] = std::norm(below) + std::norm(above);
    row[kImage] = 2.0 * c.real();
    row[kImageOdd] = -2.0 * c.imag();
    row[kDc] = std::norm(still);
    row[kDcBeat] = 2.0 * (a.real() + b.real());
    row[kDcBeatOdd] = 2.0 * (b.imag() - a.imag());
    row[kSecond] = row[kSecondBeat] = row[kSecondImageBeat] = 0.0;
    row[kThird] = row[kThirdBeat] = row[kThirdSecondBeat] = row[kThirdImageBeat] = 0.0;
}

// The second harmonic's columns of a row: its kernels K(k - 2f), K(k + 2f) and the tone's K(k - f)
// and K(k + f). Its beat with the image's skirt is fitted only with the third harmonic, over the
// bins to the third's peak: the few bins to the second's own can't take a column more.
void SecondHarmonicRow(std::complex<double> second, std::complex<double> secondImage, std::complex<double> below,
                       std::complex<double> above, BesideDcRow& row)
{
    row[kSecond] = std::norm(second) + std::norm(secondImage);
    row[kSecondBeat] = 2.0 * (below * std::conj(second)).real();
    row[kSecondImageBeat] = 2.0 * (above * std::conj(second)).real();
}

// The third harmonic's: its kernels K(k - 3f), K(k + 3f), the tone's K(k - f) and K(k + f) and the
// second's K(k - 2f). A high-skirted window's image skirt, some 13 bins off, still beats with the
// third's lobe by a tenth of it on one block (a flat-top tone on bin 3.5: left out, the fit
// scattered thousands of its weights, the third was refused, and the second, read without it,
// took its lobe's edge: THD 1 dB high).
void ThirdHarmonicRow(std::complex<double> third, std::complex<double> thirdImage, std::complex<double> below,
                      std::complex<double> second, std::complex<double> above, BesideDcRow& row)
{
    row[kThird] = std::norm(third) + std::norm(thirdImage);
    row[kThirdBeat] = 2.0 * (below * std::conj(third)).real();
    row[kThirdSecondBeat] = 2.0 * (second * std::conj(third)).real();
    row[kThirdImageBeat] = 2.0 * (above * std::conj(third)).real();
}

// Weighted least squares of a bin's content over some of those columns, and the noise as one
// more unknown where asked.
class FitOfColumns {
public:
    FitOfColumns(std::initializer_list<int> columns, bool noise, bool second = false, bool third = false,
                 bool imageBeats = false)
        : m(0), noise(noise)
    {
        std::fill(std::begin(index), std::end(index), -1);
        for (int c : columns)
            index[c] = m++;
        if (second) {
            index[kSecond] = m++;
            index[kSecondBeat] = m++;
        }
        if (third) {
            index[kThird] = m++;
            index[kThirdBeat] = m++;
            if (second)
                index[kThirdSecondBeat] = m++;
            if (imageBeats) {
                if (second)
                    index[kSecondImageBeat] = m++;
                index[kThirdImageBeat] = m++;
            }
        }
        if (noise)
            ++m;
    }
    void Add(const BesideDcRow& row, double held, double weight)
    {
        double r[kFitColumns + 1] = {};
        for (int c = 0; c < kFitColumns; ++c)
            if (index[c] >= 0)
                r[index[c]] = row[c];
        if (noise)
            r[m - 1] = 1.0;
        for (int p = 0; p < m; ++p) {
            b[p] += weight * r[p] * held;
            for (int q = 0; q < m; ++q)
                a[p][q] += weight * r[p] * r[q];
        }
        yy += weight * held * held;
        ++rows;
    }
    // What is known of a column's value beforehand: about nothing, within `sigma`.
    void Prior(int column, double sigma)
    {
        if (index[column] >= 0 && sigma > 0.0)
            a[index[column]][index[column]] += 1.0 / (sigma * sigma);
    }
    // Solves the normal equations; false where the columns can't be told apart.
    // A part of a beat that a symmetric window doesn't show is held at nothing by a slight ridge.
    bool Solve()
    {
        for (auto [even, odd] : {std::pair{kImage, kImageOdd}, std::pair{kDcBeat, kDcBeatOdd}})
            if (index[even] >= 0 && index[odd] >= 0) {
                const double ridge = 1e-6 * (a[index[even]][index[even]] + a[index[odd]][index[odd]]);
                a[index[even]][index[even]] += ridge;
                a[index[odd]][index[odd]] += ridge;
            }
        // The columns' scales differ by many orders (a tone's power beside the noise in a bin):
        // the system is solved with each scaled to a unit diagonal.
        double scale[kFitColumns + 1] = {};
        for (int i = 0; i < m; ++i) {
            if (!(a[i][i] > 0.0) || !std::isfinite(a[i][i]))
                return false;
            scale[i] = 1.0 / std::sqrt(a[i][i]);
        }
        double t[kFitColumns + 1][2 * (kFitColumns + 1)] = {};
        for (int i = 0; i < m; ++i) {
            for (int j = 0; j < m; ++j)
                t[i][j] = a[i][j] * scale[i] * scale[j];
            t[i][m + i] = 1.0;
        }
        if (!InvertAugmented(t, m, 1e-12))
            return false;
        chi = yy;
        for (int i = 0; i < m; ++i) {
            x[i] = 0.0;
            for (int j = 0; j < m; ++j) {
                inv[i][j] = t[i][m + j] * scale[i] * scale[j];
                x[i] += inv[i][j] * b[j];
            }
        }
        for (int i = 0; i < m; ++i)
            chi -= x[i] * b[i];
        chi = std::max(chi, 0.0);
        return rows >= m + 2 && std::isfinite(chi);
    }
    double Value(int column) const { return index[column] >= 0 ? x[index[column]] : 0.0; }
    double Noise() const { return noise ? x[m - 1] : 0.0; }
    int Unknowns() const { return m; }
    // The covariance of two columns' values, the bins' scatter about the fit counted where it
    // is more than their weights say.
    double Covariance(int c1, int c2) const
    {
        return index[c1] >= 0 && index[c2] >= 0 ? inv[index[c1]][index[c2]] * Scatter() : 0.0;
    }
    double Scatter() const { return std::max(1.0, chi / Freedom()); }
    // The rows beyond the unknowns, which that scatter is measured on.
    int Freedom() const { return std::max(rows - m, 1); }
    double chi = HUGE_VAL;

private:
    int index[kFitColumns];
    int m;
    bool noise;
    int rows = 0;
    double a[kFitColumns + 1][kFitColumns + 1] = {}, b[kFitColumns + 1] = {}, yy = 0.0;
    double x[kFitColumns + 1] = {}, inv[kFitColumns + 1][kFitColumns + 1] = {};
};

// What the fitted terms put into a bin: the tone's part and its beats, and the offset's beat.
struct BesideDcParts {
    double tone, beat;
};

} // namespace

// The strongest bin from `from` to before `to` that stands above its neighbours: the peak of
// a tone within DC's lobe, whose own response only falls away from bin 0; 0 where none does.
UINT ToneModel::PeakBesideDc(UINT from, UINT to) const
{
    UINT best = 0;
    for (UINT k = std::max<UINT>(from, 1); k < to && k + 1 < bins; ++k)
        if (magnitude[k] > magnitude[k - 1] && magnitude[k] >= magnitude[k + 1] &&
            (best == 0 || magnitude[k] > magnitude[best]))
            best = k;
    return best;
}

bool ToneModel::KernelsBesideDc(double place, BesideDcKernels& out)
{
    // The window turned to the place gives K(m - place) at every m; its image's K(k + place)
    // is the conjugate of K at -k - place (the window is real); DC's is the window's own
    // transform.
    const std::vector<double>& w = WindowShape();
    double odd = 0.0;
    const double centre = SymmetryCentre(w, odd);
    double peak = 0.0;
    for (double v : w)
        peak += v;
    if (w.size() != N || N == 0 || centre < 0.0 || !(peak > 0.0))
        return false;
    std::vector<std::complex<double>> t(N);
    auto kernel = [&](long long m, double d) {
        const double angle = 2.0 * M_PI * (static_cast<double>(m) - d) * centre / static_cast<double>(N);
        return t[static_cast<std::size_t>(((m % N) + N) % N)] * std::complex<double>(std::cos(angle), std::sin(angle)) /
               peak;
    };
    out.below.resize(bins);
    out.above.resize(bins);
    TurnWindow(w, place, t);
    if (!DoubleTransform(t))
        return false;
    for (UINT k = 0; k < bins; ++k) {
        out.below[k] = kernel(k, place);
        out.above[k] = std::conj(kernel(-static_cast<long long>(k), place));
    }
    if (out.still.size() != bins) {
        out.still.resize(bins);
        TurnWindow(w, 0.0, t);
        if (!DoubleTransform(t))
            return false;
        for (UINT k = 0; k < bins; ++k)
            out.still[k] = kernel(k, 0.0);
    }
    return true;
}

namespace {

// Whether the second harmonic's lobe (half width W) of a tone peaking at `peak` reaches the
// bins to `last` that the fit beside DC always reads.
bool SecondHarmonicBesideTone(UINT peak, int W, UINT last)
{
    return 2 * static_cast<long long>(peak) - W <= static_cast<long long>(last);
}

// Whether the second harmonic's beat with the tone stands clear of its doubt: that beat needs a
// harmonic there (|v| <= sqrt(H P)), and shows it where its own power, under the tone's lobe,
// hardly shows beside the beat (its fitted power then doubts twice as much as it reads).
bool BeatShowsSecond(const FitOfColumns& fit)
{
    constexpr double kClearly = 5.0; // deviations, as for the bins left out of the whole fit
    return std::abs(fit.Value(kSecondBeat)) > kClearly * std::sqrt(std::max(fit.Covariance(kSecondBeat, kSecondBeat), 0.0));
}

// Where the third harmonic's lobe reaches the bins read, the harmonic must stand twice over what
// the third and its beat with the tone put there (`thirdEdge`, see ThirdAsSecond): unmodelled, they
// bend the offset below nothing and the harmonic's columns, beat and all, take them for theirs
// (Gaussian tones on bins 3.1 and 3.5 beside an offset, a 3rd harmonic 35-38 dB down: the offset
// and the third read as a 2nd harmonic 11 dB over its truth or where there is none, THD 1.5-3.7 dB
// high).
bool SecondOverThird(const FitOfColumns& fit, double thirdEdge)
{
    return fit.Value(kSecond) > 2.0 * thirdEdge * fit.Value(kTone);
}

// Whether, the offset fitted below nothing beside the second harmonic, the harmonic without
// the offset is what the bins hold: that fit must explain them about as well as the one with
// both (within what two unknowns more take by chance) and clearly better than the offset without
// the harmonic. Where neither part alone does, they traded columns, and the harmonic's are
// dropped (a Gaussian tone on bin 3 beside a strong offset: the place went 0.014 bin off).
// A harmonic read that way must also stand above what the next harmonic's lobe puts in the
// bins past it: some 60 dB under the tone for a third harmonic of a few per cent a lobe away
// (a Kaiser tone on bin 3.76 with no 2nd harmonic and no offset: the 3rd's lobe edge in bin 8,
// fitted as a 2nd harmonic 82 dB down, read THD 1.3 dB high), or show its beat with the tone,
// which no part but a harmonic there gives (BeatShowsSecond): a flat-top harmonic 69 dB down,
// refused, left the tone's beats bent to it and the noise read 2.4 dB low.
// Where the bins scatter more than their weights say, what two unknowns take by chance is judged
// against a scatter read from the few bins beyond the unknowns, itself uncertain: the chance
// `shows` stands for where the scatter is known (e^(-shows/2)) takes d (e^(shows/d) - 1) scatters
// over d such bins, about `shows` over many. Judged as if it were known, the model's own
// roughness in four bins passed for an offset (a Parzen tone 4.8 bins up with a 2nd harmonic
// 34 dB down: the harmonic refused by 0.6 %, THD and THD+N N/A). It must also pass
// SecondOverThird.
bool HarmonicWithoutOffset(const FitOfColumns& alone, const FitOfColumns& both, double offsetAlone, double shows,
                           double thirdEdge)
{
    constexpr double kNextLobeEdge = 1e-6;
    const double freedom = both.Freedom();
    const double byChance = both.chi > freedom ? freedom * std::expm1(shows / freedom) : shows;
    return alone.chi <= both.chi + byChance * both.Scatter() && alone.chi < offsetAlone - shows * alone.Scatter() &&
           (alone.Value(kSecond) > kNextLobeEdge * alone.Value(kTone) || BeatShowsSecond(alone)) &&
           SecondOverThird(alone, thirdEdge);
}

// What the third harmonic's lobe and its beat with the tone put into bins 1 to `last` beside a
// tone at place f, as the second harmonic's share of the tone that would put as much there: both
// tones read from their peak bins, the beat at its most.
double ThirdAsSecond(const std::vector<double>& w, double centre, double peakGain, const float* magnitude, UINT bins,
                     double f, UINT last)
{
    const long tonePeak = std::lround(f), thirdPeak = std::lround(3.0 * f);
    if (tonePeak <= 0 || thirdPeak >= static_cast<long>(bins))
        return 0.0;
    auto power = [&](long k, double place) {
        return magnitude[k] / std::max(std::norm(KernelAt(w, centre, peakGain, static_cast<double>(k) - place)), 1e-3);
    };
    const double tone = power(tonePeak, f), third = power(thirdPeak, 3.0 * f);
    if (!(tone > 0.0) || !(third > 0.0))
        return 0.0;
    double put = 0.0, second = 0.0;
    for (UINT k = 1; k <= last; ++k) {
        const double t = std::abs(KernelAt(w, centre, peakGain, k - 3.0 * f)),
                     p = std::abs(KernelAt(w, centre, peakGain, k - f));
        put += third * t * t + 2.0 * std::sqrt(third * tone) * t * p;
        second += std::norm(KernelAt(w, centre, peakGain, k - 2.0 * f));
    }
    return second > 0.0 ? put / (second * tone) : 0.0;
}

// Whether the bins call for both the offset and the second harmonic: left without either, the fit
// explains them far worse (`shows` squared of its deviations) than with both. There an offset read
// below nothing is its column trading with the tone's beats, not an offset the signal lacks (a
// Gaussian tone on bin 3 beside a 1 % offset and a 2nd harmonic 32 dB down, fitted again without
// the harmonic, placed 0.008 bin off: the tone read 0.9 dB low, SNR 1.2 dB low).
bool OffsetAndHarmonicBothShow(const FitOfColumns& both, double withoutOffset, double withoutHarmonic, double shows)
{
    const double past = both.chi + shows * shows * both.Scatter();
    return withoutOffset > past && withoutHarmonic > past;
}

// Whether the bins taken past the second harmonic's peak (to have enough of them) hold what the
// columns don't model: the third harmonic's skirt there leaves them scattering thousands of their
// deviations about the fit, and the harmonic's columns took it for theirs (a Kaiser tone on bin
// 3.2 with no 2nd harmonic and a 3rd 39 dB down: THD 1.9 dB high). More than `shows` deviations
// on average is more than the model's own roughness.
bool UnmodelledPast(double scatter, bool pastPeak, double shows)
{
    return pastPeak && scatter > shows * shows;
}

// Whether the bins taken past the second harmonic's peak lie under the third's lobe (half
// width `W` about `thirdPlace`) while the second reads weaker than a third of a few per cent
// puts there: its lobe edge a bin or two off stands some 40 dB under the tone, and fitted in
// the second's columns read as a second harmonic that is not there (a Blackman tone on bin
// 3.09 with a 3rd harmonic 65 dB down and no 2nd: THD 1.0 dB high).
bool ThirdReachesPast(double thirdPlace, int W, UINT last, double secondShare)
{
    constexpr double kThirdLobeEdge = 1e-4;
    return thirdPlace - W <= static_cast<double>(last) + 0.5 && secondShare < kThirdLobeEdge;
}

} // namespace

ToneModel::BesideDc ToneModel::FitBesideDc(UINT peak, double floor, bool secondAllowed)
{
    // In every block the window turns the offset d, the tone a and its image alike: the bin
    // holds d K(k) + a e^(i p) K(k - f) + a e^(-i p) K(k + f), p the tone's phase; averaged
    // over the blocks, for a place f, linear in the offset's and the tone's powers and in the
    // beats (RowBesideDc). Read apart, each takes the other's lobe for its own. The place
    // comes from the bins the lobes share; the powers and beats from every bin, where the
    // image's beat shows far out on a window whose skirt stays high.
    BesideDc best;
    const std::vector<double>& w = WindowShape();
    const int W = LobeHalfWidth(windowType);
    double odd = 0.0;
    const double centre = SymmetryCentre(w, odd);
    double peakGain = 0.0;
    for (double v : w)
        peakGain += v;
    // The bins the lobes share, to the tone's lobe's last bin but one: there the kernel nears
    // its null and the second harmonic's lobe reaches in; at least six, two more than the
    // unknowns. Bin 0 holds the band's top too.
    UINT last = std::max<UINT>(peak + static_cast<UINT>(W) - 1, 6);
    // Where the second harmonic's lobe reaches into those bins, its skirt and its beat with
    // the tone may bend the offset's fit (a Gaussian tone on bin 4: the offset read below
    // nothing and the harmonic's 3 dB taken into the tone's model); it is fitted with them
    // where it shows (below), over the bins to its peak where they are two more than the
    // unknowns (more bins take in the third harmonic's skirt, which bends it as much). A tone on
    // bin 3 puts its harmonic on bin 6, short of that: the two bins past it are taken (left
    // unfitted, a Gaussian harmonic 32 dB down moved the tone's place and was read 8 dB low).
    constexpr UINT kSecondRows = 8;
    const UINT toSecond = std::max({last, 2 * peak, kSecondRows});
    bool second = false, third = false;
    // The harmonic's columns were tried and refused as another line's misfit (see below).
    bool refused = false;
    if (w.size() != N || N == 0 || centre < 0.0 || LeakyWindow(windowType) || !(peakGain > 0.0) || peak < 2 ||
        last + 16 >= bins)
        return best;
    const double blocks = BlocksCounted();
    // Each bin weighs by how much it scatters: the noise `level` (never less than the
    // single-precision arithmetic's, once the tone is known), its beat with what the bin
    // holds, the spectrum's rounding, and how far the model it is judged by may be off there
    // (`doubt`).
    constexpr double kRounding = 1e-5;
    const double energy = SquareSum(w);
    double arithmetic = 0.0;
    auto weight = [&](double expected, double level, double doubt = 0.0) {
        const double v = std::max(expected, 0.0);
        level = std::max(level, arithmetic);
        const double variance =
            (level * level + 2.0 * v * level) / blocks + kRounding * kRounding * v * v + doubt * doubt;
        return variance > 0.0 ? 1.0 / variance : 0.0;
    };
    const UINT toThird = std::max(3 * peak + 2, 12u);
    // The flat-top's skirt stays some 65 dB down ten bins and more off, where other windows' have
    // fallen 20 dB further: only there does the image's skirt beat with the harmonics' lobes by a
    // share the fit must take.
    const bool imageBeats = FlatLobe(windowType);
    std::vector<std::complex<double>> still(std::max({last, toSecond, toThird}) + 1);
    for (UINT k = 1; k < still.size(); ++k)
        still[k] = KernelAt(w, centre, peakGain, k);
    // Where the offset's kernel meets only the first bin read (Hann's and Hamming's: beyond it a
    // ten-millionth), the offset and its beat with the tone are one unknown there, and their two
    // columns, free in the far bins, took up the model's roughness there: the offset read far
    // below nothing and was refused, and the tone took bin 1 for its own (a Hann tone 1.28 bins up
    // beside a 3.8 % offset, placed 0.065 bin off: THD+N 1.5 dB high). There bin 1 is the offset's
    // with its beat, one column, and the tone is placed by the other bins.
    constexpr double kOffsetBeyond = 1e-4;
    bool offsetInOneBin = still.size() > 2 && std::norm(still[1]) > 0.0;
    for (UINT k = 2; offsetInOneBin && k < still.size(); ++k)
        offsetInOneBin = std::norm(still[k]) <= kOffsetBeyond * std::norm(still[1]);
    if (offsetInOneBin)
        std::fill(still.begin() + 2, still.end(), std::complex<double>());
    auto columns = [&](bool withDc, bool beats) {
        if (withDc && offsetInOneBin)
            return FitOfColumns({kTone, kImage, kDc}, false, second, third, beats);
        return withDc ? FitOfColumns({kTone, kImage, kDc, kDcBeat}, false, second, third, beats)
                      : FitOfColumns({kTone, kImage}, false, second, third, beats);
    };
    // The image's beats are fitted only where the shared bins leave two more than the unknowns.
    auto beatsRead = [&](bool withDc) {
        return imageBeats && columns(withDc, true).Unknowns() + 2 <= static_cast<int>(last);
    };
    // The fit at place f over the shared bins, the noise taken as `floor`.
    auto solveAt = [&](double f, bool withDc) {
        FitOfColumns fit = columns(withDc, beatsRead(withDc));
        for (UINT k = 1; k <= last; ++k) {
            BesideDcRow row;
            const std::complex<double> below = KernelAt(w, centre, peakGain, k - f);
            const std::complex<double> twice = KernelAt(w, centre, peakGain, k - 2.0 * f);
            const std::complex<double> above = KernelAt(w, centre, peakGain, k + f);
            RowBesideDc(below, above, still[k], row);
            if (second)
                SecondHarmonicRow(twice, KernelAt(w, centre, peakGain, k + 2.0 * f), below, above, row);
            if (third)
                ThirdHarmonicRow(KernelAt(w, centre, peakGain, k - 3.0 * f), KernelAt(w, centre, peakGain, k + 3.0 * f),
                                 below, twice, above, row);
            fit.Add(row, magnitude[k] - std::max(floor, 0.0), weight(magnitude[k], floor));
        }
        if (!fit.Solve())
            fit.chi = HUGE_VAL;
        return fit;
    };
    // The place: the best of a grid over the peak bin and its neighbours' halves, then a
    // golden-section search about it (the residual has one minimum within a grid step), to
    // a ten-millionth of a bin: a place 2e-5 bins off leaves 5e-5 of the lobe unexplained,
    // which the far bins of a high-skirted window (flat-top) read as a beat 10 % off.
    auto search = [&](bool withDc) {
        return GridThenGolden([&](double x) { return solveAt(x, withDc).chi; }, peak, 6, 32);
    };
    // The second harmonic is fitted where the bins scatter clearly less about a fit that takes
    // it than about one without (two more unknowns take a few deviations by chance): an
    // unknown more where none is there costs the tone's place and power their precision.
    constexpr double kShows = 16.0;
    // A place whose fit leaves the bins scattering hundreds of times past their weights may lie
    // in a dip the columns bend the cost into: it is searched again about every dip of a finer
    // grid, and a place whose fit holds there taken.
    auto place = [&](bool withDc) {
        const double at = search(withDc);
        const FitOfColumns there = solveAt(at, withDc);
        if (!(there.chi > kShows * kShows * there.Freedom()))
            return at;
        // With the offset in bin 1 alone a tone up to a bin below its peak bin is placed by the
        // bins above, whose dips lie that far.
        const double other = GridThenGoldenAtEveryDip([&](double x) { return solveAt(x, withDc).chi; }, peak,
                                                      offsetInOneBin ? 32 : 24, 32, 1.0 / 32);
        const FitOfColumns fit = solveAt(other, withDc);
        return fit.chi <= kShows * fit.Freedom() ? other : at;
    };
    // Refused (as the third's lobe edge, or traded with the offset), the harmonic is no part of the
    // fit, whose other columns (on the Gaussian, of nearly one shape with its own) may have taken it
    // in: a harmonic mostly under the tone's lobe then goes missing, its own bins showing a sliver
    // read against the leakage that took it (a Gaussian tone 3 bins up, its 2nd harmonic 45 dB
    // down: THD 1.1 dB low). Its columns fitted at the tone's place `at` say how much that may be,
    // as a share of the tone; with the offset only where that fit reads one and explains the bins
    // better.
    auto unreadAt = [&](double at) {
        const UINT before = last;
        const bool secondBefore = second, thirdBefore = third;
        last = std::max(last, toSecond);
        second = true;
        third = false;
        const FitOfColumns withOffset = solveAt(at, true), without = solveAt(at, false);
        last = before;
        second = secondBefore;
        third = thirdBefore;
        const FitOfColumns& read = withOffset.Value(kDc) > 0.0 && withOffset.chi < without.chi ? withOffset : without;
        if (!std::isfinite(read.chi) || !(read.Value(kTone) > 0.0))
            return HUGE_VAL;
        return (std::max(read.Value(kSecond), 0.0) + 2.0 * std::sqrt(std::max(read.Covariance(kSecond, kSecond), 0.0))) /
               read.Value(kTone);
    };
    double plain = HUGE_VAL;
    if (secondAllowed && SecondHarmonicBesideTone(peak, W, last) && toSecond + 16 < bins) {
        const UINT alone = last;
        last = toSecond;
        // With the offset in bin 1 alone, the fit's cost dips narrower than the grid's step at the
        // tone's place (a Hann tone 1.8 bins up: its plain fit, taken in a shallow dip beside,
        // read hundreds of times its deviations, and a harmonic's columns passed for the better).
        const double plainAt = offsetInOneBin ? place(true) : search(true);
        plain = solveAt(plainAt, true).chi;
        second = true;
        const double at = offsetInOneBin ? place(true) : search(true);
        const FitOfColumns with = solveAt(at, true);
        const bool pastPeak = toSecond > 2 * peak;
        double secondShare = with.Value(kSecond) / with.Value(kTone);
        // An offset read below nothing traded its column with the tone's beat with its image (a
        // Gaussian's lobes and their products are all of one shape, so the two are nearly alike and
        // ran to hundreds of times the tone), and the harmonic's share read beside them is none:
        // it is read from the fit without the offset (read with it, a Gaussian 2nd harmonic 30 dB
        // down passed for the third's lobe edge and was refused; the tone's place went 0.014 bin
        // off). There the third's beat with the tone, which on such a window has the 2nd's very
        // shape and on a bin keeps its phase, is no harmonic: the share must stand twice over the
        // most that beat gives, 2 sqrt(T / P) |K(f)|^2, T read from the third's peak bin.
        const long thirdPeak = std::lround(3.0 * at);
        if (pastPeak && !(with.Value(kDc) > 0.0) && thirdPeak > 0 && thirdPeak < static_cast<long>(bins)) {
            const FitOfColumns alone = solveAt(search(false), false);
            const double third = magnitude[thirdPeak] /
                                 std::max(std::norm(KernelAt(w, centre, peakGain, static_cast<double>(thirdPeak) - 3.0 * at)), 1e-3);
            if (std::isfinite(alone.chi) && alone.Value(kTone) > 0.0) {
                const double share = alone.Value(kSecond) / alone.Value(kTone);
                const double thirdBeat =
                    2.0 * std::sqrt(std::max(third, 0.0) / alone.Value(kTone)) * std::norm(KernelAt(w, centre, peakGain, at));
                if (share > 2.0 * thirdBeat)
                    secondShare = share;
            }
        }
        const bool thirdReaches = pastPeak && ThirdReachesPast(3.0 * at, W, last, secondShare);
        const bool unmodelled = UnmodelledPast(with.Scatter(), pastPeak, kShows) || thirdReaches;
        // There the harmonic's two columns and the place are free enough to take the tone's lobe
        // for a tone beside it and its harmonic (a Hann tone 1.8 bins up, no harmonic: placed at
        // 1.49 with a 2nd 17 dB down, THD+N 1.2 dB high): a harmonic that moves the place past
        // what a place may be doubted is a misfit of the columns, not a harmonic.
        constexpr double kPlaceMoved = 0.1;
        const bool traded = offsetInOneBin && std::abs(at - plainAt) > kPlaceMoved;
        second = with.chi < plain - kShows * with.Scatter() && !unmodelled && !traded;
        refused = unmodelled || traded;
        if (!second)
            last = alone;
        // Not needed, its columns still say how strong a harmonic could be there.
        if (!second && !unmodelled)
            best.secondMost = std::max(with.Value(kSecond), 0.0) +
                              2.0 * std::sqrt(std::max(with.Covariance(kSecond, kSecond), 0.0));
    }
    // A third harmonic whose lobe reaches the bins read takes in the offset's part there, or the
    // second harmonic's (a Parzen tone on bin 3 with a 3rd harmonic 31 dB down: the offset refused,
    // the tone took its lobe and SNR read 1.4 dB high). Where the bins scatter clearly more than
    // their weights say, it is fitted with them, over the bins to two past its peak, and kept
    // where that explains them clearly better (those bins may hold the 4th harmonic's skirt too:
    // a fit that holds without it is kept).
    const bool thirdReachesFit = 3.0 * peak - W <= static_cast<double>(last) + 1.0 && toThird + 16 < bins;
    const double scatterBefore = thirdReachesFit ? solveAt(search(true), true).Scatter() : 0.0;
    if (scatterBefore > kShows) {
        const UINT before = last;
        const bool secondBefore = second;
        last = toThird;
        second = secondAllowed;
        const double without = solveAt(search(true), true).chi;
        third = true;
        const FitOfColumns with = solveAt(search(true), true);
        // The harmonic must show too, above what a lobe's edge puts there: its columns, free,
        // otherwise take up the model's roughness in the bins added (a Gaussian tone on bin 3 with
        // no 3rd harmonic: the offset and the 2nd harmonic refused, THD 3.5 dB low).
        constexpr double kLobeEdge = 1e-6;
        const double thirdValue = with.Value(kThird);
        third = with.chi < without - kShows * with.Scatter() && 4.0 * with.Scatter() < scatterBefore &&
                (!UnmodelledPast(with.Scatter(), true, kShows) || with.chi * kShows * kShows < without) &&
                thirdValue > 2.0 * std::sqrt(std::max(with.Covariance(kThird, kThird), 0.0)) &&
                thirdValue > kLobeEdge * with.Value(kTone);
        if (!third) {
            last = before;
            second = secondBefore;
        } else if (second) {
            // The fit with the harmonic is judged against the offset alone over the same bins.
            second = false;
            plain = solveAt(search(true), true).chi;
            second = true;
        }
    }
    double f = place(true);
    FitOfColumns shared = solveAt(f, true);
    bool withDc = true;
    // An offset fitted below nothing is none: the tone alone, the offset bounded by that fit.
    // With the second harmonic's columns in, they may have taken the offset's part (a Gaussian
    // tone on bin 3.5 beside a 0.5 % offset: the offset read as a harmonic 42 dB down, THD 3.5 dB
    // high): the fit is made again without them, unless the harmonic without the offset holds
    // what the bins show (an offset under a 32 dB harmonic two bins past a tone on bin 3), or the
    // bins call for both: then the fit with both stands, its offset bounded as none.
    if (std::isfinite(shared.chi) && !(shared.Value(kDc) > 0.0) && !offsetInOneBin) {
        const FitOfColumns both = shared;
        const double placeWithBoth = f;
        withDc = false;
        f = place(false);
        shared = solveAt(f, false);
        // The third harmonic's lobe edge, which neither fit models, may pass for the second.
        const double thirdEdge = second ? ThirdAsSecond(w, centre, peakGain, magnitude, bins, f, last) : 0.0;
        if (second && !HarmonicWithoutOffset(shared, both, plain, kShows, thirdEdge)) {
            if (!OffsetAndHarmonicBothShow(both, shared.chi, plain, kShows) ||
                !SecondOverThird(both, thirdEdge)) {
                BesideDc without = FitBesideDc(peak, floor, false);
                if (without.fitted)
                    without.secondUnread = unreadAt(without.place);
                return without;
            }
            withDc = true;
            f = placeWithBoth;
            shared = both;
        } else {
            best.dcDeviation = std::sqrt(std::max(both.Covariance(kDc, kDc), 0.0));
        }
    }
    if (!std::isfinite(shared.chi) || !(shared.Value(kTone) > 0.0))
        return best;
    if (refused && !second && !third)
        best.secondUnread = unreadAt(f);
    // The place is good to where the residual grows by one deviation (more where the bins
    // scatter more than their weights say); the tone's power follows the place that far.
    constexpr double kProbe = 0.01;
    const double curve =
        (solveAt(f - kProbe, withDc).chi - 2.0 * shared.chi + solveAt(f + kProbe, withDc).chi) / (kProbe * kProbe);
    if (!(curve > 0.0) || !std::isfinite(curve))
        return best;
    const double placeDeviation = std::sqrt(2.0 * shared.Scatter() / curve);
    double toneMoved = 0.0;
    for (double d : {-placeDeviation, placeDeviation}) {
        const FitOfColumns moved = solveAt(f + d, withDc);
        if (!std::isfinite(moved.chi))
            return best;
        toneMoved = std::max(toneMoved, std::abs(moved.Value(kTone) / shared.Value(kTone) - 1.0));
    }

    // The whole band at that place, with the noise as one more unknown. A bin holding another
    // part (a harmonic, another tone) is left out: more than five deviations above the fit
    // before, which may miss a tenth of what the beats there can do (the shared bins tell the
    // image's beat only roughly); then five of that fit's own deviations either way (a
    // harmonic may cancel the tone's skirt as well as add to it). The noise's level for the
    // weights is what the fit before leaves in the bins past the lobes.
    BesideDcKernels kernels, harmonic, thirdKernels;
    if (!KernelsBesideDc(f, kernels) || ((second || third) && !KernelsBesideDc(2.0 * f, harmonic)) ||
        (third && !KernelsBesideDc(3.0 * f, thirdKernels)))
        return best;
    if (offsetInOneBin)
        for (std::size_t k = 2; k < kernels.still.size(); ++k)
            kernels.still[k] = 0.0;
    const UINT top = bins - 2; // the last bin is not averaged
    double x[kFitColumns] = {};
    for (int c = 0; c < kFitColumns; ++c)
        x[c] = shared.Value(c);
    double noise = 0.0;
    arithmetic = kArithmeticFloor * x[kTone] * static_cast<double>(N) * energy / (peakGain * peakGain) / bins;
    std::vector<double> rest;
    rest.reserve(top - last);
    auto wholeFit = [&] {
        if (withDc && offsetInOneBin)
            return FitOfColumns({kTone, kImage, kDc, kImageOdd}, true, second, third, beatsRead(true));
        return withDc ? FitOfColumns({kTone, kImage, kDc, kDcBeat, kImageOdd, kDcBeatOdd}, true, second, third,
                                     beatsRead(true))
                      : FitOfColumns({kTone, kImage, kImageOdd}, true, second, third, beatsRead(false));
    };
    FitOfColumns whole = wholeFit();
    FitOfColumns before = whole;
    // The first harmonics' lobes lie beside the tone's: the beats, free to bend, would take a
    // harmonic's skirt there for their own and hide it (THD 8 dB low, one block averaged).
    auto underHarmonic = [&](UINT k) {
        for (int h = 2; h <= 4; ++h)
            if (std::abs(static_cast<double>(k) - h * f) <= W)
                return true;
        return false;
    };
    for (int pass = 0; pass < 2; ++pass) {
        auto doubt = [&](const BesideDcRow& row, double cross) {
            if (pass == 0)
                return 0.1 * cross;
            double variance = 0.0;
            for (int i = 0; i < kFitColumns; ++i)
                for (int j = 0; j < kFitColumns; ++j)
                    variance += row[i] * before.Covariance(i, j) * row[j];
            return 2.0 * std::sqrt(std::max(variance, 0.0));
        };
        auto model = [&](UINT k, BesideDcRow& row) {
            RowBesideDc(kernels.below[k], kernels.above[k], kernels.still[k], row);
            if (second)
                SecondHarmonicRow(harmonic.below[k], harmonic.above[k], kernels.below[k], kernels.above[k], row);
            if (third)
                ThirdHarmonicRow(thirdKernels.below[k], thirdKernels.above[k], kernels.below[k], harmonic.below[k],
                                 kernels.above[k], row);
            double v = 0.0;
            for (int c = 0; c < kFitColumns; ++c)
                v += row[c] * x[c];
            return v;
        };
        rest.clear();
        for (UINT k = last + 1; k <= top; ++k) {
            BesideDcRow row;
            rest.push_back(magnitude[k] - model(k, row));
        }
        std::nth_element(rest.begin(), rest.begin() + rest.size() / 2, rest.end());
        const double level = std::max(rest[rest.size() / 2], 0.0);
        whole = wholeFit();
        const double dcBeatMost = std::sqrt(std::max(x[kDc], 0.0) * std::max(x[kTone], 0.0));
        for (UINT k = 1; k <= top; ++k) {
            BesideDcRow row;
            const double expected = std::max(model(k, row), 0.0);
            const double cross = 2.0 * std::max(x[kTone], 0.0) * std::abs(kernels.below[k]) * std::abs(kernels.above[k]) +
                                 2.0 * dcBeatMost * std::abs(kernels.still[k]) *
                                     (std::abs(kernels.below[k]) + std::abs(kernels.above[k]));
            const double r = magnitude[k] - expected - level, w = weight(expected, level, doubt(row, cross));
            if (k > last && ((pass == 0 ? r : std::abs(r)) > 5.0 / std::sqrt(w) || underHarmonic(k)))
                continue;
            whole.Add(row, magnitude[k], w);
        }
        // The beats can't pass what the phases allow (|z| <= P, |u| <= sqrt(D P)): what the
        // bins can't tell of them (a nearly symmetric window's odd parts, the arithmetic's
        // rounding far out) stays within that.
        for (int c : {kImage, kImageOdd})
            whole.Prior(c, std::max(x[kTone], 0.0));
        for (int c : {kDcBeat, kDcBeatOdd})
            whole.Prior(c, dcBeatMost);
        // Two lines beat by no more than the root of their powers' product.
        auto beatMost = [&](int a, int b) { return std::sqrt(std::max(x[a], 0.0) * std::max(x[b], 0.0)); };
        if (second)
            for (int c : {kSecondBeat, kSecondImageBeat})
                whole.Prior(c, beatMost(kSecond, kTone));
        if (third) {
            for (int c : {kThirdBeat, kThirdImageBeat})
                whole.Prior(c, beatMost(kThird, kTone));
            whole.Prior(kThirdSecondBeat, beatMost(kThird, kSecond));
        }
        if (!whole.Solve())
            return best;
        before = whole;
        for (int c = 0; c < kFitColumns; ++c)
            x[c] = whole.Value(c);
        noise = whole.Noise();
    }
    if (!(x[kTone] > 0.0))
        return best;
    best.place = f;
    // As for the other tones, no place is known better than to a thousandth of a bin.
    best.placeError = std::max(2.0 * placeDeviation, 0.001);
    std::copy(x, x + kBesideDcColumns, best.values);
    for (int i = 0; i < kBesideDcColumns; ++i)
        for (int j = 0; j < kBesideDcColumns; ++j)
            best.covariance[i][j] = whole.Covariance(i, j);
    best.tone = x[kTone];
    best.toneDeviation = x[kTone] * std::sqrt(best.covariance[kTone][kTone] / (x[kTone] * x[kTone]) + toneMoved * toneMoved);
    if (withDc) {
        best.dc = x[kDc];
        best.dcDeviation = std::sqrt(std::max(best.covariance[kDc][kDc], 0.0));
        // Read with its beat in one bin, the offset is known only to the whole of what it reads.
        if (offsetInOneBin) {
            best.dc = std::max(x[kDc], 0.0);
            best.dcDeviation = std::max(best.dcDeviation, std::abs(x[kDc]));
        }
    }
    if (second) {
        // A harmonic the whole band does not show, or a beat with it far past what the two
        // powers allow (twice: the third harmonic's skirt in the bins moves it a little), is the
        // columns taking up another misfit (two tones half a bin apart read as one): the fit is
        // made again without them.
        best.second = x[kSecond];
        best.secondDeviation = std::sqrt(std::max(whole.Covariance(kSecond, kSecond), 0.0));
        const double beatMost = std::sqrt(std::max(x[kSecond], 0.0) * x[kTone]);
        const double beatDoubt = std::sqrt(std::max(whole.Covariance(kSecondBeat, kSecondBeat), 0.0));
        // So with the third harmonic's beat with the tone: past its bound, the third's columns took
        // up a misfit of the tone beside an offset the signal need not have (a Gaussian tone on bin 3,
        // no offset, its 3rd harmonic 32 dB down: an offset of most of the tone's power fitted, and a
        // 2nd harmonic 36 dB over its truth).
        const double thirdBeatMost = std::sqrt(std::max(x[kThird], 0.0) * x[kTone]);
        const double thirdBeatDoubt = std::sqrt(std::max(whole.Covariance(kThirdBeat, kThirdBeat), 0.0));
        const bool beatBeyond = std::abs(x[kSecondBeat]) > 2.0 * beatMost + 2.0 * beatDoubt ||
                                (third && std::abs(x[kThirdBeat]) > 2.0 * thirdBeatMost + 2.0 * thirdBeatDoubt);
        if (!(best.second > 2.0 * best.secondDeviation || BeatShowsSecond(whole)) || beatBeyond) {
            BesideDc without = FitBesideDc(peak, floor, false);
            // Too weak to be read, the harmonic is still bounded by that fit.
            if (!beatBeyond)
                without.secondMost = std::max(best.second, 0.0) + 2.0 * best.secondDeviation;
            return without;
        }
        best.secondBeat = x[kSecondBeat];
        for (int i : {0, 1})
            for (int j : {0, 1})
                best.secondCovariance[i][j] = whole.Covariance(kSecond + i, kSecond + j);
        // Only over the harmonic's lobe, which ends some W bins past twice the tone's peak.
        const UINT reach = std::min<UINT>(bins, 2 * (peak + static_cast<UINT>(W)) + 2);
        best.secondShape.assign(reach, 0.0);
        best.secondBeatShape.assign(reach, 0.0);
        for (UINT k = 1; k < reach; ++k) {
            BesideDcRow row;
            SecondHarmonicRow(harmonic.below[k], harmonic.above[k], kernels.below[k], kernels.above[k], row);
            best.secondShape[k] = row[kSecond];
            best.secondBeatShape[k] = row[kSecondBeat];
        }
    }
    // The beats can't pass what the phases allow (|z| <= P, |u| <= sqrt(D P)): more means the
    // bins hold a part the model doesn't. The tone must be known to 0.2 dB, its place to a
    // tenth of a bin.
    auto beyond = [&](int even, int odd, double most) {
        const double size = std::hypot(x[even], x[odd]);
        const double doubt = std::sqrt(std::max(best.covariance[even][even] + best.covariance[odd][odd], 0.0));
        return size > 1.2 * most + 2.0 * doubt;
    };
    constexpr double kToneDoubt = 0.05, kPlaceDoubt = 0.1;
    best.fitted = !beyond(kImage, kImageOdd, x[kTone]) &&
                  !beyond(kDcBeat, kDcBeatOdd, std::sqrt(std::max(best.dc, 0.0) * x[kTone])) &&
                  2.0 * best.toneDeviation <= kToneDoubt * x[kTone] && best.placeError <= kPlaceDoubt &&
                  std::isfinite(noise);
    return best;
}

std::pair<double, double> ToneModel::BesideDc::SecondHeldIn(long a, long b, const std::vector<unsigned char>& owner) const
{
    double shape = 0.0, beatShape = 0.0;
    for (long k = std::max(a, 0L); k <= b && static_cast<std::size_t>(k) < secondShape.size() &&
                                   static_cast<std::size_t>(k) < owner.size();
         ++k)
        if (owner[static_cast<std::size_t>(k)] == 2) {
            shape += secondShape[static_cast<std::size_t>(k)];
            beatShape += secondBeatShape[static_cast<std::size_t>(k)];
        }
    const double variance = shape * shape * secondCovariance[0][0] + 2.0 * shape * beatShape * secondCovariance[0][1] +
                            beatShape * beatShape * secondCovariance[1][1];
    return {second * shape + secondBeat * beatShape, 2.0 * std::sqrt(std::max(variance, 0.0))};
}

namespace {

// How many samples a window holds open (a run window's run of equal samples).
double RunLength(const std::vector<double>& w)
{
    double run = 0.0;
    for (double v : w)
        run += v > 0.0 ? 1.0 : 0.0;
    return run;
}

// The transform of a run of `run` equal samples in a block of n at x bins, as a share of its
// peak; real once the run's centre is taken as the time origin.
double RunKernel(double x, double run, double n)
{
    const double s = std::sin(M_PI * x / n);
    return std::abs(s) < 1e-12 ? 1.0 : std::sin(M_PI * x * run / n) / (run * s);
}

// What a line at `place`, known to `doubt` bins, puts into bin k through a run of `run` equal
// samples in a block of n, as a share of its peak, at the most over that doubt: the kernel's
// envelope 1 / (run sin(pi x / n)), held lower only where the whole doubt keeps it in a null.
double RunSkirtShare(double k, double place, double doubt, double run, double n)
{
    const double x = k - place, s = std::abs(std::sin(M_PI * x / n));
    if (!(s * run > 1.0))
        return 1.0;
    const double u = x * run / n, reach = doubt * run / n;
    const double top = std::floor(u - reach - 0.5) != std::floor(u + reach - 0.5)
                           ? 1.0
                           : std::max(std::abs(std::sin(M_PI * (u - reach))), std::abs(std::sin(M_PI * (u + reach))));
    const double share = std::min(1.0, top / (run * s));
    return share * share;
}

// A beat read past what the two powers allow (|z| <= most), brought back to that bound where the
// fit's own covariance (c00, c01, c11 of its even and odd parts) says it is likeliest: the part
// the bins tell least gives way first. Scaled down whole, a symmetric window's odd part, which
// only a lone first sample shows, took the well-read even part with it (a flat-top tone on bin
// 3.5 read its far skirt twice as strong and SNR 1.5 dB high).
void BeatToBound(double& even, double& odd, double most, double c00, double c01, double c11)
{
    const double size = std::hypot(even, odd);
    if (!(size > most))
        return;
    const double e = even, o = odd;
    // x(l) = (I + l C)^-1 x0 runs from x0 (l = 0) to nothing as l grows.
    auto at = [&](double l, double& xe, double& xo) {
        const double a = 1.0 + l * c00, b = l * c01, d = 1.0 + l * c11, det = a * d - b * b;
        xe = (d * e - b * o) / det;
        xo = (a * o - b * e) / det;
    };
    const double trace = c00 + c11;
    if (!(trace > 0.0) || !std::isfinite(trace) || !(c00 * c11 - c01 * c01 >= 0.0)) {
        even *= most / size;
        odd *= most / size;
        return;
    }
    double lo = 0.0, hi = 1.0 / trace, xe = e, xo = o;
    for (at(hi, xe, xo); std::hypot(xe, xo) > most && hi < 1e300; at(hi, xe, xo))
        hi *= 4.0;
    for (int i = 0; i < 200 && hi > lo * (1.0 + 1e-12); ++i) {
        const double mid = lo > 0.0 ? std::sqrt(lo * hi) : hi / 2.0;
        at(mid, xe, xo);
        (std::hypot(xe, xo) > most ? lo : hi) = mid;
    }
    at(hi, xe, xo);
    // The constrained point lies on the bound: taken there exactly.
    const double s = std::hypot(xe, xo);
    even = s > 0.0 ? xe * most / s : 0.0;
    odd = s > 0.0 ? xo * most / s : 0.0;
}

} // namespace

bool ToneModel::ImageMovesPlace(UINT centre, int halfWidth, double lobePower)
{
    // A force tone's mirror image leaks into the bins beside its lobe's peak with a skirt that
    // falls only as 1 / (pi f): its beat bends the lobe's shape and moves the place read from it
    // by about the skirt's share of the tone's amplitude (a tone 90 bins up read 0.005 bins off,
    // 21 bins up 0.022). In the window's nulls the leakage grows as the square of the offset, so
    // a quarter of the least place doubt (a thousandth of a bin) already shows across the band.
    // (The uniform window's bins beside a tone near a bin lie in its nulls, where the image
    // leaks as little as the tone: there the lobe alone places it better.)
    constexpr double kLeastPlaceDoubt = 0.001;
    const std::vector<double>& w = WindowShape();
    const double run = RunLength(w);
    const double s = std::abs(std::sin(2.0 * M_PI * centre / static_cast<double>(N)));
    if (!(run > 0.0) || (s > 0.0 && 1.0 / (run * s) <= kLeastPlaceDoubt / 4.0))
        return false;
    // The fit with the image models nothing else below the lobe: a stronger line there (the
    // fundamental under a harmonic, a pair's other tone) would lead it astray.
    for (UINT k = 1; k + static_cast<UINT>(halfWidth) < centre && k < bins; ++k)
        if (magnitude[k] > lobePower)
            return false;
    return true;
}

double ToneModel::PlaceBesideImage(UINT centre, int halfWidth, const std::vector<double>& other, double otherwise)
{
    // The lobe's shape alone placed a force tone four bins up 0.11 bins low: its image's skirt
    // and the offset's, both as high as a tenth of the lobe there, beat with it at a phase of
    // their own. Each bin holds, for a place f, P (K(k-f)^2 + K(k+f)^2) + 2 z K(k-f) K(k+f) +
    // D K(k)^2 + 2 u K(k) (K(k-f) + K(k+f)) with a real kernel K: linear in all but f.
    const std::vector<double>& w = WindowShape();
    const double support = SupportCentre(w);
    const double run = RunLength(w);
    // The bins from DC's to the lobe's last, at least six: five unknowns want a bin to spare.
    const UINT first = 1, last = std::max<UINT>(centre + static_cast<UINT>(halfWidth), 6);
    if (w.size() != N || support < 0.0 || !(run > 0.0) || other.size() != bins || last >= bins)
        return otherwise;
    const double n = N;
    // A line standing beyond the lobe (a pair's other tone a few bins up) whose skirt over the
    // lobe reaches a quarter of the image's: the fit, which knows only the image and the offset,
    // takes that skirt and its beat for theirs (a tone six bins up, its pair three bins above,
    // was placed 0.4 bins off, THD+N 1.4 dB low). The lobe alone places it better there. The
    // skirts fall as 1 / (pi d) from each line; the tone's own and its image's never rise again.
    // Not on the force window: its skirt, with nulls two bins apart, rises and falls bin by bin.
    const double imageReach = std::sqrt(std::max(static_cast<double>(magnitude[centre]), 0.0)) / (2.0 * centre);
    for (UINT k = centre + static_cast<UINT>(halfWidth) + 1;
         windowType == TSmoothing::kUniform && k + 1 < bins && k <= 3 * centre; ++k)
        if (magnitude[k] > magnitude[k - 1] && magnitude[k] >= magnitude[k + 1] &&
            std::sqrt(std::max(static_cast<double>(magnitude[k]), 0.0)) / static_cast<double>(k - centre) > 0.25 * imageReach)
            return otherwise;
    // The uniform window's DC leaks into no bin but its own: its columns stay out there.
    double dcMost = 0.0;
    for (UINT k = first; k <= last; ++k)
        dcMost = std::max(dcMost, std::abs(RunKernel(k, run, n)));
    const bool dcShows = dcMost > 1e-6;
    auto solveAt = [&](double f) {
        FitOfColumns fit =
            dcShows ? FitOfColumns({kTone, kImage, kDc, kDcBeat}, false) : FitOfColumns({kTone, kImage}, false);
        for (UINT k = first; k <= last; ++k) {
            BesideDcRow row;
            RowBesideDc(RunKernel(k - f, run, n), RunKernel(k + f, run, n), RunKernel(k, run, n), row);
            fit.Add(row, magnitude[k] - other[k], 1.0);
        }
        if (!fit.Solve() || !(fit.Value(kTone) > 0.0))
            fit.chi = HUGE_VAL;
        return fit.chi;
    };
    // The beats may give the residual more than one minimum over the bin.
    const double f = NearerMiddleEitherSide(solveAt, centre, GridThenGolden(solveAt, centre, 4, 24), 24);
    return std::isfinite(solveAt(f)) ? f - centre : otherwise;
}

bool ToneModel::ModelBesideDc(const BesideDc& fit, UINT peak, std::vector<double>& leak, std::vector<double>& spread,
                              std::vector<double>& dc, double& dcError, double& lobePower, double& share,
                              ToneShape& shape)
{
    const std::vector<double>& w = WindowShape();
    const int W = LobeHalfWidth(windowType);
    double peakGain = 0.0, energy = 0.0;
    for (double v : w) {
        peakGain += v;
        energy += v * v;
    }
    // The kernels at the tone's place and to either end of how far that may be off.
    BesideDcKernels at, early, late;
    if (!fit.fitted || w.size() != N || !(peakGain > 0.0) || leak.size() != bins || spread.size() != bins ||
        !KernelsBesideDc(fit.place, at))
        return false;
    early.still = late.still = at.still;
    if (!KernelsBesideDc(fit.place - fit.placeError, early) || !KernelsBesideDc(fit.place + fit.placeError, late))
        return false;
    // The beats can't pass what the two powers allow; the fit may read them a little beyond.
    double x[kBesideDcColumns];
    std::copy(fit.values, fit.values + kBesideDcColumns, x);
    auto bound = [&](int even, int odd, double most) {
        BeatToBound(x[even], x[odd], most, fit.covariance[even][even], fit.covariance[even][odd],
                    fit.covariance[odd][odd]);
    };
    bound(kImage, kImageOdd, fit.tone);
    bound(kDcBeat, kDcBeatOdd, std::sqrt(std::max(fit.dc, 0.0) * fit.tone));
    auto partsAt = [&](const BesideDcKernels& t, UINT k, BesideDcRow& row) {
        RowBesideDc(t.below[k], t.above[k], t.still[k], row);
        return BesideDcParts{x[kTone] * row[kTone] + x[kImage] * row[kImage] + x[kImageOdd] * row[kImageOdd],
                             x[kDcBeat] * row[kDcBeat] + x[kDcBeatOdd] * row[kDcBeatOdd]};
    };
    const double kModelError = AllowanceFor(windowType).model;
    const long long c = static_cast<long long>(peak);
    double lobe = 0.0;
    dc.assign(bins, 0.0);
    for (UINT k = 0; k < bins; ++k) {
        BesideDcRow row, other;
        const BesideDcParts own = partsAt(at, k, row);
        dc[k] = std::max(fit.dc, 0.0) * row[kDc];
        // The tone, the offset and their beat are the power of one sum: never below nothing.
        const double beat = std::max(own.beat, -(std::max(own.tone, 0.0) + dc[k]));
        leak[k] += own.tone + beat;
        if (std::llabs(static_cast<long long>(k) - c) <= W)
            lobe += row[kTone];
        // How far the fitted terms may be off here (the offset's own part in `dcError`), and
        // what the place's doubt moves the tone's leakage by.
        double variance = 0.0;
        for (int i = 0; i < kBesideDcColumns; ++i)
            for (int j = 0; j < kBesideDcColumns; ++j)
                if (i != kDc && j != kDc)
                    variance += row[i] * fit.covariance[i][j] * row[j];
        const double moved = std::max(std::abs(partsAt(early, k, other).tone - own.tone),
                                      std::abs(partsAt(late, k, other).tone - own.tone));
        spread[k] +=
            2.0 * std::sqrt(std::max(variance, 0.0)) + moved + kModelError * (std::abs(own.tone) + std::abs(beat));
        // An offset fitted to none is still bounded by its fit.
        if (!(fit.dc > 0.0))
            spread[k] += 2.0 * fit.dcDeviation * row[kDc];
    }
    // As the other tones: the share of the tone's power its lobe holds, of the whole
    // (N times the window's power at the peak's scale, Parseval).
    const double total = static_cast<double>(N) * energy / (peakGain * peakGain);
    if (!(lobe > 0.0) || !(total > 0.0))
        return false;
    lobePower = fit.tone * lobe;
    share = lobe / total;
    dcError = fit.dc > 0.0 ? kModelError + 2.0 * fit.dcDeviation / fit.dc : 0.0;
    shape.v.resize(N);
    TurnWindow(w, fit.place - static_cast<double>(peak), shape.v);
    if (!DoubleTransform(shape.v))
        shape.v.clear();
    shape.centre = c;
    shape.scale = fit.tone / (peakGain * peakGain);
    shape.dc = false;
    shape.beatsFitted = true;
    shape.scatter = 0.0;
    return true;
}

namespace {

// A tone's power where its kernel is 1, from what its lobe (bins k0 +- W) holds.
double TonePeak(const std::vector<double>& kernel, UINT k0, int W, double lobePower)
{
    double sum = 0.0;
    for (UINT k = k0 - W; k <= k0 + W && k < kernel.size(); ++k)
        sum += kernel[k] * kernel[k];
    return sum > 0.0 ? lobePower / sum : 0.0;
}

// What the lobe of bins k - W .. k + W holds, `clean` giving each bin's content.
template <class Clean> double LobeSum(const Clean& clean, UINT k, int W)
{
    double sum = 0.0;
    for (UINT j = k - W; j <= k + W; ++j)
        sum += clean(j);
    return sum;
}

// Whether bin k stands out as a tone's lobe does: above its neighbours and four times what
// lies just beyond the lobe on either side.
template <class Clean> bool StandsAsLobe(const Clean& clean, UINT k, int W, UINT bins)
{
    const double v = clean(k);
    const double beyond = std::max(clean(k - W - 1), k + W + 1 < bins ? clean(k + W + 1) : 0.0);
    return v > clean(k - 1) && v >= clean(k + 1) && v >= 4.0 * beyond;
}

// StandsAsLobe for a line beside a stronger one's lobe (peak bin k0): where the bin just beyond
// its lobe on that side lies next to the other's lobe, it holds the two lines' beat (two
// uniform tones four bins apart: a quarter of the weaker's peak), and only the far side tells.
template <class Clean> bool StandsBesideLobe(const Clean& clean, UINT k, int W, UINT bins, UINT k0)
{
    const long nearBeyond = k > k0 ? static_cast<long>(k) - W - 1 : static_cast<long>(k) + W + 1;
    if (std::labs(nearBeyond - static_cast<long>(k0)) > W + 1)
        return StandsAsLobe(clean, k, W, bins);
    const long farBeyond = k > k0 ? static_cast<long>(k) + W + 1 : static_cast<long>(k) - W - 1;
    const double v = clean(k);
    const double beyond =
        farBeyond >= 0 && farBeyond < static_cast<long>(bins) ? clean(static_cast<UINT>(farBeyond)) : 0.0;
    return v > clean(k - 1) && v >= clean(k + 1) && v >= 4.0 * beyond;
}

// Whether a bin from `from` to `to` beyond the lobe of bins k +- W holds more than that whole
// lobe: then the peak at k is no strongest line, which lies where lines crowd each other so that
// none stands as a lobe (two tones three bins apart on one uniform block).
template <class Clean> bool StrongerBinBeyond(const Clean& clean, UINT k, int W, UINT from, UINT to)
{
    const double lobe = LobeSum(clean, k, W);
    for (UINT j = from; j <= to; ++j)
        if ((j + W < k || j > k + W) && clean(j) > lobe)
            return true;
    return false;
}

// How much a harmonic THD does not count may hold: the lobe's own doubt `bound`, or, where what
// the lobe holds may all be a harmonic hiding under the leakage (`hides`), no more than such a
// harmonic could hold unseen. A Gaussian tone's skirt, five bins out, crosses its 2nd harmonic's
// lobe with a doubt far above what the bins beside it show the skirt read to: taken whole, it
// kept THD N/A where the harmonics stood 30 dB clear.
double UncountedDoubt(double bound, double unseen, bool hides)
{
    return hides ? std::min(bound, unseen) : bound;
}

// The most a harmonic read as its lobe stands may hold, for its beat with the leakage there: what
// the lobe holds beyond the leakage and `doubt`, and no less than a fit of its shape that holds
// (`fitted`, good to `deviation`) finds. A harmonic that cancels with the leakage leaves the lobe
// holding less than the leakage alone; bounded by that, its beat went missing and so did the
// harmonic (a triangular tone's 3rd on the leakage between two of its nulls: THD+N 1.3 dB low).
double StandingHarmonic(double excess, double doubt, double fitted, double deviation)
{
    return std::max({excess - doubt, fitted - 2.0 * deviation, 0.0});
}

// What a crowded lobe may hold of its own, for its beats with its neighbours: where its bins hold
// clearly less than the neighbours' skirts (`skirts`, their roots `skirtRoots` summed) would alone,
// a line of its own met them at one phase and cancelled part of them, and may be as large as what
// the bins hold and those skirts together (read as nothing, a Gaussian 9th harmonic between a
// strong 8th and 10th left its beats out of THD's doubt: THD 1.4 dB low).
double CrowdedLobeHeld(double own, double held, double skirts, double skirtRoots, double doubt)
{
    constexpr double kSkirtsShown = 0.5;
    if (held >= kSkirtsShown * skirts - doubt)
        return own;
    const double most = std::sqrt(std::max(held, 0.0)) + skirtRoots;
    return std::max(own, most * most);
}

// How far the cosine of a harmonic's phase with the `leakage` in a bin may move from its value at
// the tone's skirt (`kernel`, its power): nothing where the leakage meets it at one phase over its
// lobe, as the tone's own skirt does; `turn` where other parts turn it by that much (HUGE_VAL where
// that is not known). Through the triangular windows every part's transform keeps one sign, so the
// tone's, its image's and the offset's skirts turn alike from bin to bin and so does their sum:
// there the leakage need not be the tone's alone (their beats moved it from the tone's kernel by
// more than a tenth, each bin then bounded a harmonic by itself, up to four times the leakage, and
// THD+N read N/A where SNR read). But in the tone's nulls (a Bartlett tone on a bin leaks nothing
// two bins off) the leakage is the other parts' alone, at a phase of their own, any cosine (taken
// for the tone's, an offset's skirt there bounded a 2nd harmonic at half its power: THD+N 1.1 dB
// low); a harmonic still can't hide there by more than that little leakage cancels.
double PhaseTurnAt(WORD windowType, double kernel, double leakage, double turn)
{
    constexpr double kToneShare = 0.25, kAnyCosine = 2.0;
    if (TriangularWindow(windowType))
        return kernel >= kToneShare * leakage ? 0.0 : kAnyCosine;
    return std::abs(kernel - leakage) <= 0.1 * leakage ? 0.0 : turn;
}

// A bin a harmonic shows in: its share `h` of the harmonic's peak, the leakage's signed amplitude
// `f`, the bound `x` a pair takes, how far the leakage's phase may turn there, and what the bin
// holds beyond the leakage and the noise, within `doubt`.
struct SeenBin {
    double h, f, x, turn, held, doubt;
};

// The largest power up to `most` that `fits`, scanned down in steps of 5 % and taken one step up;
// `most` where none fits (the bins hold something else).
template <typename Fits>
double MostThatFits(double most, Fits fits)
{
    constexpr double kStep = 1.05, kLeast = 1e-6;
    for (double p = most; p >= kLeast * most; p /= kStep)
        if (fits(p))
            return std::min(p * kStep, most);
    return fits(0.0) ? kLeast * most : most;
}

// The largest power P up to `most` a harmonic may have where every bin holds it with its beat with
// the leakage at one phase: P h^2 + 2 sqrt(P) c h f within held +- doubt, the cosine c one for all
// bins but for each bin's turn.
double MostHeldAtOnePhase(const std::vector<SeenBin>& seen, double most)
{
    auto fits = [&](double p) {
        const double root = std::sqrt(p);
        double lo = -1.0, hi = 1.0;
        for (const SeenBin& b : seen) {
            const double g = 2.0 * root * b.h * b.f, rest = b.held - p * b.h * b.h;
            if (g == 0.0) {
                if (std::abs(rest) > b.doubt)
                    return false;
                continue;
            }
            const double c1 = (rest - b.doubt) / g, c2 = (rest + b.doubt) / g;
            const double cLo = std::max(std::min(c1, c2), -1.0), cHi = std::min(std::max(c1, c2), 1.0);
            if (cLo > cHi)
                return false;
            lo = std::max(lo, cLo - b.turn);
            hi = std::min(hi, cHi + b.turn);
        }
        return lo <= hi;
    };
    return MostThatFits(most, fits);
}

// How far the leakage's phase may turn in each bin of `a`..`b` from its phase at bin `ref`, where
// besides the tone's skirt (`tone`, its kernel; `tonePeak`, its power where that is 1) it holds its
// mirror image's (`image`, the kernel of a tone at minus its place) and the offset's (`dc`, its
// power); HUGE_VAL where those may outweigh the tone's. The image's skirt meets the tone's at one
// phase in every bin (their transforms turn alike from bin to bin), so the sum's phase turns only
// as the ratio r of the two changes: by at most |dr| / (1 - |r|)^2. The offset's, known by its
// power only, turns it by up to its arcsine.
std::vector<double> LeakageTurns(const std::vector<double>& tone, const std::vector<double>& image,
                                 const std::vector<double>& dc, double tonePeak, long ref, long a, long b)
{
    constexpr double kMostShare = 0.5;
    std::vector<double> turns(tone.size(), HUGE_VAL);
    const long n = static_cast<long>(tone.size());
    if (image.size() != tone.size() || dc.size() != tone.size() || !(tonePeak > 0.0) || ref < 0 || ref >= n)
        return turns;
    auto ratio = [&](long k) { return tone[k] != 0.0 ? image[k] / tone[k] : HUGE_VAL; };
    auto offsetTurn = [&](long k) {
        const double share = tone[k] != 0.0 ? std::sqrt(std::max(dc[k], 0.0) / tonePeak) / std::abs(tone[k]) : HUGE_VAL;
        return share < kMostShare ? std::asin(share) : HUGE_VAL;
    };
    const double r0 = ratio(ref), t0 = offsetTurn(ref);
    for (long k = std::max(a, 0L); k <= std::min(b, n - 1); ++k) {
        const double r = ratio(k), most = std::max(std::abs(r), std::abs(r0));
        if (most < kMostShare && t0 < HUGE_VAL)
            turns[static_cast<std::size_t>(k)] = std::abs(r - r0) / ((1.0 - most) * (1.0 - most)) + offsetTurn(k) + t0;
    }
    return turns;
}

// A bin a harmonic shows in, beside a tone's skirt and its mirror image's: its share `h` of the
// harmonic's peak, the two skirts' signed amplitudes `f` and `g`, the offset's amplitude `d`
// where its sign is not known or `o` signed where it is, and what the bin holds beyond the
// leakage and the noise, within `doubt`.
struct SkirtBin {
    double h, f, g, d, held, doubt;
    double o = 0.0;
};

// Whether a harmonic of power `p` may hide in every bin of `seen` at once: P h^2 + 2 sqrt(P) h
// (c1 f + c2 g + c3 o) within held +- doubt, c1, c2 and c3 its cosines with the tone, the image
// and the offset, each one for all bins (c3 taken as `c3` within `c3Slack`); the offset's beat,
// where its sign is not known, widens each bin by 2 sqrt(P) h d. The (c1, c2) square is cut by
// each bin's band; an empty remainder refuses it.
bool HidesBesideSkirtsAt(const std::vector<SkirtBin>& seen, double p, double c3, double c3Slack)
{
    using Point = std::array<double, 2>;
    std::vector<Point> shape{{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}}, cut;
    // Keeps the part of `shape` where a c1 + b c2 <= limit.
    auto keep = [&](double a, double b, double limit) {
        cut.clear();
        for (std::size_t i = 0; i < shape.size(); ++i) {
            const Point& u = shape[i];
            const Point& v = shape[(i + 1) % shape.size()];
            const double su = a * u[0] + b * u[1] - limit, sv = a * v[0] + b * v[1] - limit;
            if (su <= 0.0)
                cut.push_back(u);
            if ((su < 0.0 && sv > 0.0) || (su > 0.0 && sv < 0.0)) {
                const double t = su / (su - sv);
                cut.push_back({u[0] + t * (v[0] - u[0]), u[1] + t * (v[1] - u[1])});
            }
        }
        shape.swap(cut);
    };
    const double root = std::sqrt(p);
    for (const SkirtBin& s : seen) {
        const double a = 2.0 * root * s.h * s.f, b = 2.0 * root * s.h * s.g;
        const double rest = s.held - p * s.h * s.h - 2.0 * root * s.h * s.o * c3;
        const double doubt = s.doubt + 2.0 * root * s.h * (s.d + std::abs(s.o) * c3Slack);
        keep(a, b, rest + doubt);
        keep(-a, -b, doubt - rest);
        if (shape.empty())
            return false;
    }
    return true;
}

// The same with the offset's cosine one unknown over the lobe, where the bins know its sign: it is
// scanned in steps, each allowing half a step beside the bins' doubts. Taken bin by bin at any
// phase, a Gaussian tone's offset let its 2nd harmonic hide at seven times what the lobe allows.
bool HidesBesideSkirts(const std::vector<SkirtBin>& seen, double p)
{
    const bool signs = std::any_of(seen.begin(), seen.end(), [](const SkirtBin& s) { return s.o != 0.0; });
    if (!signs)
        return HidesBesideSkirtsAt(seen, p, 0.0, 0.0);
    constexpr int kSteps = 32;
    constexpr double kHalfStep = 1.0 / kSteps;
    for (int i = 0; i < kSteps; ++i)
        if (HidesBesideSkirtsAt(seen, p, -1.0 + (2.0 * i + 1.0) * kHalfStep, kHalfStep))
            return true;
    return false;
}

// The largest power up to `most` a harmonic may hide with (HidesBesideSkirts).
double MostHiddenBesideSkirts(const std::vector<SkirtBin>& seen, double most)
{
    return MostThatFits(most, [&](double p) { return HidesBesideSkirts(seen, p); });
}

// Whether a harmonic's fit shows more than `unseen` beyond its `doubt`: then the lobe does not
// hide it, though it holds less than the leakage there (a Parzen 2nd harmonic 66 dB down that
// cancelled the tone's skirt, fitted to a thousandth, was read as nothing: THD+N 3 dB low).
bool FitShowsBeyond(double fitted, double doubt, double unseen)
{
    return fitted - doubt > unseen;
}

// Whether a harmonic fitted over its lobe accounts for what the lobe holds: the two differ by
// the harmonic's beat with the leakage, what the fit and the leakage taken away leave
// uncertain, and the noise (four deviations), no more.
bool FitHoldsLobe(double fitted, double held, double beat, double doubt, double deviation)
{
    return std::abs(held - fitted) <= beat + doubt + 4.0 * deviation;
}

// Whether a harmonic's fit, off by `fitOff` with its noise, knows the lobe better than the lobe
// as it stands, off by its beat with the leakage and, where the fit's noise is not the lobe's
// too, by its own noise (`deviation`, twice). A triangular fit takes the beat away but leans on
// a few bins of one phase: beside one block their noise moved a 3rd harmonic's fit ten times as
// far as the lobe's own (THD+N N/A where SNR read).
bool FitKnowsLobeBetter(double fitOff, double unfittedBeat, double deviation)
{
    return fitOff < unfittedBeat + 2.0 * deviation;
}

// Whether a harmonic's place bin (the one nearest `place`) holds clearly less than the tone's skirt
// as the bins beside it show that skirt read: their shares off the model scatter alike by the
// model's error and the noise's beat with the leakage, and a bin short by far more than that
// scatter and its own noise has had a line cancel the skirt there.
bool CancelledInBin(const float* mag, const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                    double typical, double blocks, long a, long b, int W, double place)
{
    const long p = std::lround(place);
    const long reach = 2L * W + 3;
    if (p < a || p > b || !(leak[static_cast<std::size_t>(p)] > 0.0))
        return false;
    auto share = [&](long k) {
        return (static_cast<double>(mag[k]) - leak[static_cast<std::size_t>(k)] - typical) / leak[static_cast<std::size_t>(k)];
    };
    std::vector<double> beside;
    for (long k = std::max(1L, p - reach); k <= p + reach && k < static_cast<long>(owner.size()); ++k)
        if (k != p && (owner[static_cast<std::size_t>(k)] == 0 || (k >= a && k <= b)) &&
            leak[static_cast<std::size_t>(k)] > 0.0)
            beside.push_back(share(k));
    constexpr std::size_t kFewest = 4;
    if (beside.size() < kFewest)
        return false;
    double mean = 0.0;
    for (double r : beside)
        mean += r;
    mean /= static_cast<double>(beside.size());
    double scatter = 0.0;
    for (double r : beside)
        scatter = std::max(scatter, std::abs(r - mean));
    const double L = leak[static_cast<std::size_t>(p)];
    const double binDeviation = std::sqrt(typical * typical + 2.0 * L * std::max(typical, 0.0) / std::max(blocks, 1.0)) / L;
    return mean - share(p) > 3.0 * (scatter + binDeviation);
}

} // namespace

double ToneModel::HiddenBinDoubt(std::size_t i, const std::vector<double>& leak, const std::vector<double>& spread,
                                 const std::vector<double>& fitted, double typical, double binDeviation, double blocks,
                                 double spreadUsed)
{
    const double deviation = std::sqrt(binDeviation * binDeviation + 2.0 * std::max(leak[i], 0.0) * typical / blocks);
    // What the leakage model leaves uncertain and the noise's scatter have causes of their own:
    // they add as variances (summed as bounds, a Gaussian tone's 2nd harmonic beside a 1 %
    // offset could hide a quarter of the noise: THD+N N/A where SNR read).
    return std::hypot(spreadUsed * std::max(spread[i] - fitted[i], 0.0), 2.0 * deviation);
}

double ToneModel::UnseenHarmonic(long a, long b, double place, const std::vector<unsigned char>& owner,
                                 const std::vector<double>& leak, const std::vector<double>& spread,
                                 const std::vector<double>& fitted, double typical, double binDeviation,
                                 double blocks, const std::vector<double>& toneKernel, double tonePeak,
                                 double spreadUsed, const std::vector<double>& leakageTurns,
                                 const std::vector<double>& imageKernel, const std::vector<double>& offsetLeak,
                                 const BeatTurns* kept, const std::vector<double>& keptImageKernel,
                                 const LeakySkirt* skirt, const std::vector<double>& offsetKernel)
{
    // A harmonic shows most in the bins next to its place: each of those bounds its power by
    // what stands there above the noise, what the leakage taken away leaves uncertain and two
    // deviations of the noise and of its beat with the leakage, read through the window's
    // response there. The tightest of them bounds what the lobe may hold unseen. A harmonic
    // meets the leakage at a phase that stays put and may cancel with it: H - 2 sqrt(L H)
    // within that much x leaves H up to (sqrt(L) + sqrt(L + x))^2.
    // Two bins can't both hide it where the leakage's kernel and the harmonic's stand in other
    // ratios there: with e = P h^2 + 2 sqrt(P) c h f in each (c the cosine of their phase, f the
    // leakage's signed amplitude), c drops out and P (h2 / f2 - h1 / f1) is within
    // x1 / |h1 f1| + x2 / |h2 f2|. Only where the leakage there meets the harmonic at one phase
    // (PhaseTurnAt). Where other parts of the leakage turn its phase from bin to bin by up
    // to t (the mirror image's skirt, a tenth of a Gaussian tone's at its 2nd harmonic), c moves
    // by t between the two: P d - 2 sqrt(P) (t1 + t2) is within the same, d the ratios'
    // difference (refused, a hidden harmonic four times the leakage there kept THD+N N/A).
    // Bins holding a tenth of the harmonic's peak count: a harmonic of a tone on a bin through
    // the Bartlett window shows 0.16 of it beside its place, where the tone leaks nothing, and
    // those bound it far tighter than its peak bin, whose leakage it may cancel.
    const int W = LobeHalfWidth(windowType);
    double whole = 0.0, least = HUGE_VAL;
    std::vector<SeenBin> seen;
    std::vector<SkirtBin> skirts;
    const bool twoSkirts = imageKernel.size() == bins && offsetLeak.size() == bins && toneKernel.size() == bins &&
                           tonePeak > 0.0;
    // Where the blocks' phases turn the harmonic against the skirts, the average keeps only a share
    // of each beat: a harmonic can cancel no more of the leakage than that (taken whole, a Gaussian
    // tone's 2nd harmonic, its beat with the tone's skirt all but averaged away over 49 blocks,
    // could hide at a quarter of the noise: THD+N N/A where SNR read).
    std::vector<SkirtBin> keptSkirts;
    const bool offsetSigned = offsetKernel.size() == bins && offsetLeak.size() == bins;
    const bool turning = kept && (kept->direct < 1.0 || kept->image < 1.0 || kept->offset < 1.0) &&
                         keptImageKernel.size() == bins && offsetLeak.size() == bins && toneKernel.size() == bins &&
                         tonePeak > 0.0;
    // Where the kernel about the block's middle is not the window's (the force window's reads
    // nought beside its peak, and a harmonic's lobe was taken for half of what it holds), the
    // harmonic's share of its peak in each bin comes from the window's exact response.
    const double peakResponse = KernelAboutMiddle(WindowShape()) ? 0.0 : LobeResponse(0.0, W);
    auto share = [&](double x) {
        return peakResponse > 0.0 ? std::sqrt(LobeResponse(x, W) / peakResponse) : LobeKernel(x, W);
    };
    for (long k = std::max<long>(1, std::lround(place) - W); k <= std::min<long>(bins - 1, std::lround(place) + W); ++k) {
        const double h = share(static_cast<double>(k) - place);
        whole += h * h;
        if (k < a || k > b || owner[static_cast<std::size_t>(k)] != 2 || h * h < 0.1)
            continue;
        const std::size_t i = static_cast<std::size_t>(k);
        const double held = static_cast<double>(magnitude[k]) - leak[i] - typical;
        const double doubt = HiddenBinDoubt(i, leak, spread, fitted, typical, binDeviation, blocks, spreadUsed);
        const double x = std::max(held, 0.0) + doubt;
        const double L = std::max(leak[i], 0.0), root = std::sqrt(L) + std::sqrt(L + x);
        least = std::min(least, root * root / (h * h));
        // The pair's difference takes each bin's excess with its sign: a bin holding less than the
        // leakage by more than the noise and the leakage's doubt allow is as far from holding
        // nothing as one holding that much more (taken as nothing, a triangular tone's 2nd
        // harmonic went missing from THD+N).
        const double shortfall = std::max(-held - doubt, 0.0);
        // The offset's kernel, real and exact, gives its sign in each bin: its beat then takes one
        // phase over the lobe as the skirts' do.
        const double offset = std::sqrt(std::max(offsetLeak.size() == bins ? offsetLeak[i] : 0.0, 0.0));
        const double offsetSign = offsetSigned ? (offsetKernel[i] > 0.0 ? 1.0 : offsetKernel[i] < 0.0 ? -1.0 : 0.0) : 0.0;
        if (twoSkirts)
            skirts.push_back({h, std::sqrt(tonePeak) * toneKernel[i], std::sqrt(tonePeak) * imageKernel[i],
                              offsetSigned ? 0.0 : offset, held, doubt, offsetSign * offset});
        if (turning)
            keptSkirts.push_back({h, kept->direct * std::sqrt(tonePeak) * toneKernel[i],
                                  kept->image * std::sqrt(tonePeak) * keptImageKernel[i],
                                  offsetSigned ? 0.0 : kept->offset * offset, held, doubt,
                                  kept->offset * offsetSign * offset});
        if (toneKernel.size() != bins || !(L > 0.0))
            continue;
        const double turn = PhaseTurnAt(windowType, tonePeak * toneKernel[i] * toneKernel[i], L,
                                        leakageTurns.size() == bins ? leakageTurns[i] : HUGE_VAL);
        if (turn < HUGE_VAL)
            seen.push_back({h, std::copysign(std::sqrt(L), toneKernel[i]), x + shortfall, turn, held, doubt});
    }
    for (std::size_t i = 0; i < seen.size(); ++i)
        for (std::size_t j = i + 1; j < seen.size(); ++j) {
            const double apart = std::abs(seen[j].h / seen[j].f - seen[i].h / seen[i].f);
            const double x = seen[i].x / std::abs(seen[i].h * seen[i].f) + seen[j].x / std::abs(seen[j].h * seen[j].f);
            const double turn = seen[i].turn + seen[j].turn;
            if (apart > 0.0) {
                const double root = (turn + std::sqrt(turn * turn + apart * x)) / apart;
                least = std::min(least, root * root);
            }
        }
    // The pairs each allow their own phase and take each bin's excess as its worst either way: all
    // the bins at once, at one phase and each excess with its sign, tell more (one Hann block's 2nd
    // harmonic, bounded by its pairs, hid a fifth of the noise: THD+N N/A where SNR read).
    if (seen.size() >= 2 && least < HUGE_VAL)
        least = std::min(least, MostHeldAtOnePhase(seen, least));
    // The image's skirt moves the leakage from the tone's own (a Kaiser tone 7 bins up leaks a fifth
    // more at its 2nd harmonic): with both skirts' shapes known, the bins still bound the harmonic
    // together, the phases to each an unknown of their own.
    if (skirts.size() >= 2 && least < HUGE_VAL)
        least = std::min(least, MostHiddenBesideSkirts(skirts, least));
    if (!keptSkirts.empty() && least < HUGE_VAL)
        least = std::min(least, MostHiddenBesideSkirts(keptSkirts, least));
    // A window that leaks far turns the tone's skirt and the harmonic by the windows' complex
    // transforms, each bin its own way: the bins bound the harmonic together, its beat with the
    // skirt one complex number over the lobe, what the average keeps of it (bounded bin by bin,
    // a force harmonic could hide at four times the leakage in every lobe, where the bins beside
    // its place would show it).
    if (skirt && skirt->place > 0.0 && skirt->power > 0.0 && least < HUGE_VAL)
        least = std::min(least, MostHiddenInLeakySkirt(a, b, place, owner, leak, spread, fitted, typical, binDeviation,
                                                       blocks, spreadUsed, offsetLeak, *skirt, kept ? *kept : BeatTurns{},
                                                       least));
    return least < HUGE_VAL ? least * whole : HUGE_VAL;
}

double ToneModel::MostHiddenInLeakySkirt(long a, long b, double place, const std::vector<unsigned char>& owner,
                                         const std::vector<double>& leak, const std::vector<double>& spread,
                                         const std::vector<double>& fitted, double typical, double binDeviation,
                                         double blocks, double spreadUsed, const std::vector<double>& offsetLeak,
                                         const LeakySkirt& skirt, const BeatTurns& kept, double most)
{
    const std::vector<double>& w = WindowShape();
    const double energy = SquareSum(w);
    const double peak = std::abs(TransformAt(w, 0.0));
    if (w.size() != N || !(energy > 0.0) || !(peak > 0.0))
        return most;
    // In each bin, per unit of the harmonic's amplitude at its peak: its own share g, its beat's
    // coefficient with the tone's skirt c (what the average keeps of it), and the bound on its
    // beats with the image's skirt and the offset's (e); what the bin holds beyond the leakage,
    // within `doubt`.
    struct Bin {
        double g2, e, held, doubt;
        std::complex<double> c;
    };
    std::vector<Bin> seen;
    const double perTone = std::sqrt(skirt.power / (static_cast<double>(N) * energy));
    for (long k = std::max<long>(1, a); k <= std::min<long>(static_cast<long>(bins) - 1, b); ++k) {
        if (owner[static_cast<std::size_t>(k)] != 2)
            continue;
        const std::size_t i = static_cast<std::size_t>(k);
        const double x = static_cast<double>(k);
        const std::complex<double> g = TransformAt(w, x - place) / peak;
        if (std::norm(g) < 0.01)
            continue;
        const std::complex<double> direct = perTone * TransformAt(w, x - skirt.place);
        const double image = perTone * std::abs(TransformAt(w, x + skirt.place));
        const double offset = offsetLeak.size() == bins ? std::sqrt(std::max(offsetLeak[i], 0.0)) : 0.0;
        seen.push_back({std::norm(g), 2.0 * std::abs(g) * (kept.image * image + kept.offset * offset),
                        static_cast<double>(magnitude[k]) - leak[i] - typical,
                        HiddenBinDoubt(i, leak, spread, fitted, typical, binDeviation, blocks, spreadUsed),
                        2.0 * kept.direct * g * std::conj(direct)});
    }
    if (seen.size() < 2)
        return most;
    // The beat's phase is scanned in steps: within half a step, Re(c e^(i phi)) moves by no more
    // than |c| times half the step, which each bin allows beside its doubt.
    constexpr int kSteps = 256;
    const double slack = M_PI / kSteps;
    auto fits = [&](double p) {
        const double root = std::sqrt(p);
        for (int s = 0; s < kSteps; ++s) {
            const std::complex<double> turn = std::polar(1.0, 2.0 * M_PI * s / kSteps);
            bool all = true;
            for (const Bin& bin : seen) {
                const double beat = root * (bin.c * turn).real();
                if (std::abs(p * bin.g2 + beat - bin.held) > bin.doubt + root * (bin.e + std::abs(bin.c) * slack)) {
                    all = false;
                    break;
                }
            }
            if (all)
                return true;
        }
        return false;
    };
    return MostThatFits(most, fits);
}

ToneModel::SecondLine ToneModel::ModelSecondLine(UINT k0, UINT from, UINT hi, double lobePower, double floor,
                                                 const std::vector<double>& dc)
{
    SecondLine line;
    const int W = LobeHalfWidth(windowType);
    std::vector<double> first, firstSpread, spread;
    auto clean = [&](UINT k) {
        return static_cast<double>(magnitude[k]) - dc[k] - (first.empty() ? 0.0 : first[k]);
    };
    auto lobeSum = [&](UINT k) { return LobeSum(clean, k, W); };
    auto beyondLobes = [&](UINT k) { return k + 2 * W < k0 || k > k0 + 2 * W; };
    // Mostly there is none, and the fundamental's fit below is spared.
    bool any = false;
    for (UINT k = from; k + W <= hi && !any; ++k)
        any = beyondLobes(k) && lobeSum(k) > SecondLineShare(windowType) * lobePower;
    if (!any)
        return line;
    // The fundamental's leakage is taken away first: its sidelobes stand above their
    // neighbours as a tone's lobe does (a force window's, 7 bins out, hold a hundredth of it).
    std::vector<double> leak;
    try {
        first.resize(bins);
        firstSpread = spread = first;
    } catch (const std::bad_alloc&) {
        return line;
    }
    double at = 0.0, atError = 0.0;
    if (!(AddToneLeakage(k0, W, lobePower, floor, first, firstSpread, &at, &atError) > 0.0))
        return line;
    // Beyond both lobes, standing out of the fundamental's leakage as a tone's lobe does.
    UINT best = 0;
    double strongest = SecondLineShare(windowType) * lobePower;
    for (UINT k = from; k + W <= hi; ++k) {
        const bool stands =
            LeakyWindow(windowType) ? StandsBesideLobe(clean, k, W, bins, k0) : StandsAsLobe(clean, k, W, bins);
        if (beyondLobes(k) && lobeSum(k) > strongest && stands && clean(k) > 4.0 * firstSpread[k]) {
            best = k;
            strongest = lobeSum(k);
        }
    }
    if (best == 0)
        return line;
    // Its own fit reads the bins with the fundamental's leakage taken away.
    try {
        leak = first;
    } catch (const std::bad_alloc&) {
        return line;
    }
    // A harmonic of the fundamental lies where the fundamental's place puts it: its lobe, bent by
    // its beat with the fundamental's leakage, would read it up to half a bin off on a run window,
    // and its skirt with it.
    const double fc = static_cast<double>(k0) + at;
    // Midway between bins its lobe may be centred on either: half a bin holds as far as the
    // fundamental's place is doubted (held to half a bin exactly, a 7th harmonic of a tone 0.499995
    // bin off fell 0.50003 from its peak bin, was modelled as another tone and read 1.6 dB high).
    const int order = HarmonicOrder(best, fc);
    const bool harmonic =
        RunWindow(windowType) && order >= 2 && std::abs(order * fc - best) <= 0.5 + order * atError;
    // A uniform line under the fundamental's skirt is placed with their beat, as a pair's second
    // tone is: its lobe, the skirt taken away but not the beat, placed one 3.9 bins from a tone
    // 3 dB stronger 0.22 bins off, and its leakage read the noise 1.2 dB high.
    double place = harmonic ? order * fc : -1.0;
    const int apart = std::abs(static_cast<int>(best) - static_cast<int>(k0));
    const int reach = std::min(3, apart - W - 1);
    // The fundamental's power is read from its own bin where that bin holds most of it.
    const bool fcOwnBin = DirichletKernel(static_cast<double>(k0) - fc, N) > 0.5;
    if (!harmonic && windowType == TSmoothing::kUniform && reach >= 2 && best > static_cast<UINT>(4 * (W + 1)) &&
        best + static_cast<UINT>(reach) + 1 < bins && first[best] > floor) {
        double peakPower = 0.0;
        place = PlaceBesideSkirt(magnitude, N, fc, static_cast<int>(best), reach, fcOwnBin ? static_cast<int>(k0) : -1,
                                 &peakPower);
        strongest = LobeBesideSkirt(peakPower, place, best, W, N, strongest);
    }
    const double placeError = harmonic ? order * atError : 2.0 * std::sqrt(std::max(floor, 0.0) * (2 * W + 1) / strongest);
    if (!(AddToneLeakage(best, W, strongest, floor, leak, spread, nullptr, nullptr, nullptr, nullptr, &line.shape, 0.0,
                         1.0, 1.0, -1.0, place, placeError) > 0.0))
        return line;
    if (!harmonic && place >= 0.0) {
        line.place = place;
        line.reach = reach;
    }
    line.shape.harmonic = harmonic;
    line.shape.order = harmonic ? order : 0;
    line.power = strongest;
    for (UINT k = 0; k < bins; ++k)
        leak[k] -= first[k];
    line.leak = std::move(leak);
    line.spread = std::move(spread);
    line.peak = best;
    return line;
}

namespace {

// The square scatter of one bin's noise about its mean, read where the leakage `leak` taken
// away is weaker than the noise `level` and no tone owns the bin: the scatter of the whole band
// reads a tone's skirt falling from bin to bin as scatter. Where the leakage covers nearly every
// bin (a triangular window's skirt), as the `blocks` averaged would scatter if they were apart.
double QuietScatter(const float* mag, const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                    double level, UINT from, UINT to, int halfWidth, double blocks)
{
    std::vector<unsigned char> quiet(owner.size(), 0);
    for (UINT k = from; k <= to && k < owner.size(); ++k)
        quiet[k] = owner[k] == 0 && leak[k] <= level;
    bool measured = false;
    const double scatter = NoiseScatter(mag, quiet, 1, static_cast<std::size_t>(2 * halfWidth + 1), &measured);
    return measured ? scatter : 1.0 / std::max(blocks, 1.0);
}

// The square scatter of one bin's noise beside a pair of tones through a leaky window: what is
// left of the bins `mag` with the tones' leakage taken away (`rest`), read among the free bins
// (`free`, from `from` to `to`) where that leakage lies under the `noise`, and no less than the
// `blocks` averaged allow. Everywhere else the free bins hold what the skirts' model misses,
// alike from bin to bin under the uniform window (read as a noise that scatters little: weights
// five times the noise's and every product that much less sure) and from one bin to the next
// under the force window (read as a noise that scatters as one block's).
double LeakyNoiseScatter(const float* mag, const std::vector<double>& rest, const std::vector<unsigned char>& free,
                         double noise, int from, int to, int halfWidth, double blocks)
{
    std::vector<unsigned char> owner(free.size(), 1);
    std::vector<double> taken(free.size(), 0.0);
    std::vector<float> left(free.size(), 0.0f);
    for (int k = from; k <= to; ++k) {
        const auto b = static_cast<std::size_t>(k);
        owner[b] = free[b] ? 0 : 1;
        taken[b] = mag[k] - rest[b];
        left[b] = static_cast<float>(std::max(rest[b], 0.0));
    }
    return std::max(QuietScatter(left.data(), owner, taken, noise, static_cast<UINT>(from), static_cast<UINT>(to),
                                 halfWidth, blocks),
                    1.0 / blocks);
}

// The mean content of the half of the bins whose leakage taken away is best known (`spread` the
// doubt at each bin): chosen without looking at what they hold, it reads noise whose power sits
// in a few bins as well as any. Nothing where that half's doubt is more than a `certainty`th of it.
double BestKnownMean(const std::vector<double>& content, const std::vector<UINT>& bin, const std::vector<double>& spread,
                     double certainty = 10.0)
{
    if (content.empty())
        return 0.0;
    std::vector<std::size_t> order(content.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto half = order.begin() + static_cast<std::ptrdiff_t>((order.size() + 1) / 2);
    std::nth_element(order.begin(), half - 1, order.end(),
                     [&](std::size_t a, std::size_t b) { return spread[bin[a]] < spread[bin[b]]; });
    double sum = 0.0, doubt = 0.0;
    for (auto i = order.begin(); i != half; ++i) {
        sum += content[*i];
        doubt += spread[bin[*i]];
    }
    return sum > certainty * doubt ? sum / static_cast<double>(half - order.begin()) : 0.0;
}

// A tone on bin k0 of an N-point block repeats every N / gcd(k0, N) samples, and so does its
// rounding where that is all the noise (a generated file): its lines lie on the multiples of
// that gcd, and where the signal turns sign every half repeat, on every other one only: `spacing`
// apart from the tone. Those on the tone's and its harmonics' places are a part of them.
bool NoiseLinePlace(UINT k, UINT spacing, UINT k0)
{
    return (k > k0 ? k - k0 : k0 - k) % spacing == 0 && !(k % k0 == 0 && k / k0 <= kHarmonicOrders);
}

// Whether the free bins hold their noise in such lines: the median bin on the lines' places holds
// several times what the median bin midway between them does (the same, for white noise; a
// tone's skirt left over in a few bins moves neither). White noise whose bins scatter by
// `scatter` (their square scatter: 1 for one block) moves the median of n of them by some
// 1.44 sqrt(scatter / n) of itself: the contrast must also pass what that reaches once in a
// million (five deviations of the two medians' log ratio). One block of a Hann tone's white noise,
// 23 bins on the places against 63 between, stood 4.1 apart and passed for lines: SNR 3.8 dB high.
bool HeldInLines(const std::vector<double>& content, const std::vector<UINT>& bin, UINT step, UINT k0, double scatter)
{
    std::vector<double> on, off;
    for (std::size_t i = 0; i < content.size() && step > 1; ++i) {
        const UINT r = (bin[i] > k0 ? bin[i] - k0 : k0 - bin[i]) % step;
        if (r == 0)
            on.push_back(content[i]);
        else if (std::min(r, step - r) == step / 2)
            off.push_back(content[i]);
    }
    if (on.size() < kLineBins || off.size() < kLineBins)
        return false;
    constexpr double kMedianScatter = 1.44, kChance = 5.0;
    const double deviation = kMedianScatter * std::sqrt(std::max(scatter, 0.0) * (1.0 / static_cast<double>(on.size()) +
                                                                                 1.0 / static_cast<double>(off.size())));
    const double contrast = std::max(kLineContrast, std::exp(kChance * deviation));
    return PlainMedian(on) > contrast * std::max(PlainMedian(off), 0.0);
}

// Whether the quiet bins (no part's, and the leakage `leak` taken away under the noise `level`)
// scatter as one block's noise though `blocks` were averaged: a tone on a bin repeats every
// block, and so does a generated file's rounding, whose lines the window's lobe blurs into one
// another where they lie on every bin or two (no contrast between them tells). White noise
// averaged over 16 blocks scatters a third as much at 90 % overlap; read as white noise, the
// lines on the harmonics' places were counted as noise (SNR 1.1 dB low).
bool RepeatsEveryBlock(const float* mag, const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                       double level, UINT from, UINT to, int halfWidth, double blocks)
{
    if (blocks < 16.0)
        return false;
    std::vector<unsigned char> quiet(owner.size(), 0);
    for (UINT k = from; k <= to && k < owner.size(); ++k)
        quiet[k] = owner[k] == 0 && leak[k] <= level;
    bool measured = false;
    const double scatter = NoiseScatter(mag, quiet, 1, static_cast<std::size_t>(halfWidth) + 1, &measured);
    return measured && scatter >= 0.5;
}

// The sum of `f` over the bins of [from, to] that no free bin reads.
template <class F> double UnfreeSum(const std::vector<UINT>& freeBin, UINT from, UINT to, F f)
{
    double sum = 0.0;
    std::size_t i = 0; // the free bins come in rising order
    for (UINT k = from; k <= to; ++k) {
        while (i < freeBin.size() && freeBin[i] < k)
            ++i;
        if (i == freeBin.size() || freeBin[i] != k)
            sum += f(k);
    }
    return sum;
}

// The bins a tone on a bin's typical content stands for, each parity of its distance from the
// tone by the free bins of that parity. Such a tone repeats every block, and so does a generated
// file's rounding: its lines lie an even number of bins from the tone (on multiples of the bins
// the tone repeats in; an odd tone's rounding, which turns sign every half block, on the odd
// ones only). The triangular windows put a third of what a line leaves on its own bin into the
// bins an odd number away, where the tone's own leakage takes most bins from the free ones: one
// mean, held chiefly by the lines, stood for the bins between too (SNR 1.5 dB low). White noise
// holds as much at either parity, so the split is made only where the lines' parity holds at least
// twice as much (lines alone: three times), by over four deviations of the two means, each read
// from enough bins to stand for thousands. A smaller contrast, or the other way round, is the
// leakage's misfit beside the tone (one white block: 19 % apart, and split, SNR 0.2 dB higher).
// The lines lie on multiples of `step` (the bins the tone repeats in); a signal that turns sign
// every half of that repeat (no offset, no even harmonic) leaves the odd multiples empty too.
// Where the lines lie more than two bins apart, the even bins between them hold neither a line
// nor, through these windows, a line's skirt. They are read apart, from their free bins or, with
// too few of those, as they stand (`stands`, NaN where a lobe owns the bin): the lines' mean
// stood for them too, and read a tone on bin 196's rounding 5.5 dB high. They hold what the odd
// bins hold but the lines' skirts (`lineSkirt` of a line's power, ENBW - 1): that, and not the
// odd bins the tone's leakage leaves least uncertain, says what every odd bin holds (what that
// leakage's misfit left there read the rounding 1.8 dB high). Where that leakage leaves too few
// odd bins free to read, lines that repeat every block (`repeats`: the noise, averaged, scatters
// as one block's) still put only their skirts there (one mean stood for them, and a Bartlett tone
// on bin 6 read its rounding 1.8 dB high).
// Free bins another tone holds (`otherLine`: its lobe, and its skirt over the noise) are neither
// parity's noise nor a line of the tone's: they count as they stand, apart from both means and
// from every cut (a pair's second tone half a bin off, its peak on the lines' parity, stood for
// the lines' mean and had its lobe's odd bins cut as beats: THD+N 1.1 dB low).
template <class F, class S, class B, class O>
double ParityStandIn(const std::vector<double>& free, const std::vector<UINT>& freeBin, F spur, UINT k0, UINT from,
                     UINT to, double typical, double otherwise, UINT step, S stands, double lineSkirt, bool repeats,
                     B beat, O otherLine, double& beatsCut)
{
    beatsCut = 0.0;
    constexpr std::size_t kParityBins = 256;
    enum { kLine, kOdd, kBetween };
    // Which bins hold lines is read from the even bins as they stand: no tone, offset or
    // harmonic on a bin leaks into them through these windows. Chosen by what they hold, the free
    // bins would take only the full ones.
    UINT spacing = step;
    if (step >= 2) {
        std::array<double, 2> held{};
        std::array<std::size_t, 2> n{};
        for (UINT k = from; k <= to; ++k) {
            const UINT d = k > k0 ? k - k0 : k0 - k;
            const double v = d % step == 0 && !otherLine(k) ? stands(k) : NAN;
            if (!std::isnan(v)) {
                held[d / step % 2] += v;
                ++n[d / step % 2];
            }
        }
        if (n[0] >= kParityBins && n[1] >= kParityBins &&
            held[1] / static_cast<double>(n[1]) < 0.1 * held[0] / static_cast<double>(n[0]))
            spacing = 2 * step;
    }
    auto kind = [&](UINT k) {
        const UINT d = k > k0 ? k - k0 : k0 - k;
        return d % 2 ? kOdd : spacing > 2 && d % spacing ? kBetween : kLine;
    };
    std::array<double, 3> sum{}, square{};
    std::array<std::size_t, 3> count{};
    // The lines' skirts follow all their power, the strong lines (spurs to the typical content) too.
    double linesHeld = 0.0, strongestLine = 0.0;
    std::size_t lines = 0;
    for (std::size_t i = 0; i < free.size(); ++i) {
        if (otherLine(freeBin[i]))
            continue;
        const int p = kind(freeBin[i]);
        if (p == kLine) {
            linesHeld += free[i];
            strongestLine = std::max(strongestLine, free[i]);
            ++lines;
        }
        if (spur(i))
            continue;
        sum[p] += free[i];
        square[p] += free[i] * free[i];
        ++count[p];
    }
    const bool oddUnread = count[kOdd] < kParityBins;
    std::array<double, 3> mean{}, variance{};
    for (std::size_t p = 0; p < 3; ++p) {
        const double n = static_cast<double>(std::max<std::size_t>(count[p], 1));
        mean[p] = std::max(sum[p] / n, 0.0);
        variance[p] = std::max(square[p] / n - sum[p] / n * sum[p] / n, 0.0) / n;
    }
    // Even bins between the lines that hold a tenth of what the lines do, by many deviations, say
    // the signal repeats in lines as plainly as an averaged scatter would: white noise fills them
    // alike. (One Bartlett block of a tone on bin 4: its odd bins, left to the lines' mean, read
    // the rounding 1.6 dB high.)
    const bool emptyBetween = spacing > 2 && count[kBetween] >= kParityBins &&
                              mean[kLine] > 10.0 * mean[kBetween] &&
                              mean[kLine] - mean[kBetween] > 4.0 * std::sqrt(variance[kLine] + variance[kBetween]);
    if (!(typical > 0.0) || count[kLine] < kParityBins || (oddUnread && !repeats && !emptyBetween))
        return otherwise;
    if (!oddUnread &&
        !(mean[kLine] > 2.0 * mean[kOdd] && mean[kLine] - mean[kOdd] > 4.0 * std::sqrt(variance[kLine] + variance[kOdd])))
        return otherwise;
    if (spacing > 2 && count[kBetween] < kParityBins) {
        double held = 0.0;
        std::size_t n = 0;
        for (UINT k = from; k <= to; ++k) {
            const double v = kind(k) == kBetween && !otherLine(k) ? stands(k) : NAN;
            if (!std::isnan(v)) {
                held += v;
                ++n;
            }
        }
        // Bins between that a leaky window or DC fills past the lines are no empty bins: the
        // odd bins' mean bounds them.
        mean[kBetween] = n > 0 ? std::min(std::max(held / static_cast<double>(n), 0.0), mean[kOdd]) : mean[kOdd];
    }
    double moved = 0.0;
    if (spacing > 2 || oddUnread) {
        const double line = linesHeld / static_cast<double>(lines);
        const double odd = mean[kBetween] + 2.0 * lineSkirt * std::max(line - mean[kBetween], 0.0) / spacing;
        // That mean holds every line's skirt, those beside the lines too: an odd bin over the
        // limit is a spur only where it holds more than the strongest line and its beat with the
        // tone's leakage can give. Taken as they stood, the bins beside the lines counted their
        // skirts twice, and the beats that happened to add were kept (a triangular tone on bin 196
        // read its rounding 1.1 dB high). Those are taken off as they stand, apart from what the
        // typical content stands for.
        for (std::size_t i = 0; i < free.size(); ++i) {
            if (kind(freeBin[i]) != kOdd || otherLine(freeBin[i]))
                continue;
            if (!spur(i))
                moved += odd - free[i];
            else if (free[i] <= strongestLine + beat(i, strongestLine))
                beatsCut += free[i] - odd;
        }
        mean[kOdd] = odd;
    }
    return (UnfreeSum(freeBin, from, to, [&](UINT k) { return mean[kind(k)]; }) + moved) / typical;
}

} // namespace

double ToneModel::ArithmeticNoise(UINT bandBins) const
{
    double carried = 0.0;
    for (UINT k = 0; k < bins; ++k)
        carried += std::max(static_cast<double>(magnitude[k]), 0.0);
    const double stages = N > 1 ? std::log2(static_cast<double>(N)) : 1.0;
    return kRoundingPerStage * stages * carried * bandBins / std::max<UINT>(bins, 1);
}

namespace {

// What a modelled part leaks into the bins no lobe owns (`with` its leakage, `without` it):
// there it is taken away from the free bins and the typical content stands for the rest, so
// a harmonic's skirt beyond its lobe would go missing from what is not the tone (a force
// harmonic on a bin leaks a tenth of its power past its lobe: THD+N 0.4 dB low).
double SkirtBeyondLobes(const std::vector<double>& with, const std::vector<double>& without,
                        const std::vector<unsigned char>& owner, UINT from, UINT to)
{
    double sum = 0.0;
    for (UINT k = from; k <= to && k < with.size() && k < without.size() && k < owner.size(); ++k)
        if (owner[k] == 0)
            sum += with[k] - without[k];
    return sum;
}

// What a tone (the window's transform `v` turned to its place, about bin `centre`, scaled by
// `scale`) leaks by itself, its line and its image without their beats, into the bins no lobe
// owns; from the leakage it added (`with` over `without`) where its shape is unknown.
double OwnSkirtBeyondLobes(const std::vector<std::complex<double>>& v, long long centre, double scale,
                           const std::vector<double>& with, const std::vector<double>& without,
                           const std::vector<unsigned char>& owner, UINT from, UINT to)
{
    if (v.empty())
        return SkirtBeyondLobes(with, without, owner, from, to);
    const long long n = static_cast<long long>(v.size());
    auto power = [&](long long m) { return std::norm(v[static_cast<std::size_t>(((m % n) + n) % n)]); };
    double sum = 0.0;
    for (UINT k = from; k <= to && k < owner.size(); ++k)
        if (owner[k] == 0) {
            const long long kk = static_cast<long long>(k);
            sum += scale * (power(kk - centre) + power(-kk - centre));
        }
    return sum;
}

// The bins between `from` and `to` that the free bins' mean stands for scatter by their own noise,
// shared with their neighbours by rho(d)^2 (`rho` out to its reach, the rest of `noiseShared`
// taken as theirs alone); what they share with the free bins beside them moves the mean with
// them and cancels. Counting only the first, a low Hann tone's noise under its harmonics' lobes
// was doubted a tenth more than it scatters. In bins' worth of one bin's variance.
double StandInShared(const std::vector<double>& rho, double noiseShared, const std::vector<UINT>& freeBin, UINT from,
                     UINT to)
{
    if (to < from || rho.empty())
        return 0.0;
    const std::size_t count = to - from + 1;
    std::vector<unsigned char> isFree(count, 0);
    std::size_t freeCount = 0;
    for (UINT k : freeBin)
        if (k >= from && k <= to && !isFree[k - from]) {
            isFree[k - from] = 1;
            ++freeCount;
        }
    if (freeCount == 0 || freeCount == count)
        return static_cast<double>(count - freeCount) * noiseShared;
    // Each free bin puts standIn / free of itself into what the mean stands for.
    const double weight = static_cast<double>(count - freeCount) / static_cast<double>(freeCount);
    double reached = 1.0;
    for (std::size_t d = 1; d < rho.size(); ++d)
        reached += 2.0 * rho[d] * rho[d];
    const double beyond = std::max(noiseShared - reached, 0.0);
    const long long last = static_cast<long long>(count);
    double sum = 0.0;
    for (long long j = 0; j < last; ++j) {
        if (isFree[static_cast<std::size_t>(j)])
            continue;
        sum += 1.0 + beyond;
        for (std::size_t d = 1; d < rho.size(); ++d) {
            const double r = rho[d] * rho[d];
            for (const long long k : {j - static_cast<long long>(d), j + static_cast<long long>(d)})
                if (k >= 0 && k < last)
                    sum += isFree[static_cast<std::size_t>(k)] ? -2.0 * weight * r : r;
        }
    }
    return std::max(sum, 0.0);
}

// Whether the fit beside DC placed a tone: its power good to 1 dB at two deviations and its
// place to a tenth of a bin. For the two-tone fit the beats may pass what one tone and the
// offset allow: the band holds a second tone and its products, which that fit does not model
// and the two-tone fit does.
bool PlacedBesideDc(double place, double placeError, double tone, double toneDeviation)
{
    return place > 0.0 && tone > 0.0 && 2.0 * toneDeviation <= 0.25 * tone && placeError <= 0.1;
}

} // namespace

ToneModel::Parts ToneModel::FitToneAnew(UINT lo, UINT hi)
{
    Parts parts;
    if (!magnitude || bins < 8)
        return parts;
    const float* mag = magnitude;
    const int W = LobeHalfWidth(windowType);
    // DC and its lobe are never part of the band; the fundamental's lobe must clear it.
    const UINT bandLo = std::max<UINT>(lo, 1);
    hi = std::min(hi, bins - 1);
    const UINT from = std::max<UINT>(bandLo, static_cast<UINT>(W));
    const UINT searchFrom = std::max<UINT>(from, static_cast<UINT>(W + 1));
    if (hi <= searchFrom + static_cast<UINT>(W))
        return parts;
    // The strongest peak that stands out as a tone's lobe does: above its neighbours and four
    // times what lies just beyond the lobe on either side. The skirt of a DC offset, which
    // falls away from DC, never counts.
    // The noise floor as the median bin of the band, for how well the lobes can be read.
    // A window whose response to a line on a bin vanishes at every other bin (force, Bartlett)
    // leaves a tone on a bin leaking into half the bins only, and the force window's skirt
    // hardly falls: there the median may be that skirt. DC's lobe is read against the noise,
    // the lesser of the two halves' medians (against a force tone's skirt, a 0.1 % offset went
    // unmodelled and its skirt read as noise: THD+N 1.1 dB high).
    const bool everyOther = DcResponse().size() == bins && bins >= 4 && dcResponse[2] < 1e-6 * dcResponse[1];
    double floor = 0.0, dcFloor = 0.0;
    try {
        auto medianOf = [&](UINT first, UINT step) {
            std::vector<double> values;
            for (UINT k = first; k <= hi; k += step)
                values.push_back(mag[k]);
            return PlainMedian(std::move(values));
        };
        floor = medianOf(from, 1);
        dcFloor = everyOther ? std::min(medianOf(from, 2), medianOf(from + 1, 2)) : floor;
    } catch (const std::bad_alloc&) {
        return parts;
    }
    // DC with its lobe and skirt is a part of its own: never noise, never a tone.
    std::vector<double> dc;
    double dcError = DcLeakage(dcFloor, {}, {}, dc);
    auto clean = [&](UINT k) { return static_cast<double>(mag[k]) - dc[k]; };
    // Tones are compared by what their lobes hold: a tone between two bins shows a peak bin up
    // to 4 dB under its power (uniform window), and a weaker tone on a bin would pass for it.
    auto lobeSum = [&](UINT k) { return LobeSum(clean, k, W); };
    // ... and by the tone each shows (see StrongerTone). Only a lobe that may hold the stronger
    // tone is placed.
    const double leastShare = LeastLobeShare(W), whole = static_cast<double>(N) * SquareSum(WindowShape());
    auto lobeTone = [&](UINT k) {
        std::array<float, 2 * kWidestLobe + 1> lobe{};
        for (int m = -W; m <= W; ++m)
            lobe[static_cast<std::size_t>(m + W)] = static_cast<float>(clean(k + m));
        return LobeTone([&](double x) { return LobeResponse(x, W); }, lobe.data(), W, whole);
    };
    UINT k0 = 0;
    double strongest = 0.0, strongestTone = 0.0;
    for (UINT k = searchFrom; k + W <= hi; ++k) {
        if ((k0 != 0 && lobeSum(k) <= std::min(leastShare * strongestTone, strongest)) ||
            !StandsAsLobe(clean, k, W, bins))
            continue;
        if (clean(k) > 10.0 * dcError * dc[k]) {
            const double tone = lobeTone(k);
            if (k0 != 0 && !StrongerTone(lobeSum(k), tone, strongest, strongestTone))
                continue;
            k0 = k;
            strongest = lobeSum(k);
            strongestTone = tone;
        }
    }
    // A tone whose peak lies within DC's lobe is read together with the offset, where the
    // window lets the two be told apart; the stronger of it and the tone above is the
    // fundamental.
    BesideDc near;
    const UINT nearPeak = PeakBesideDc(std::max<UINT>(bandLo, 2), searchFrom);
    // The fit costs a few hundred transforms of the window: not made for a peak of the noise
    // beside a far stronger tone (the offset's beat may take from the lobe's bins, not three
    // quarters of them).
    double nearHeld = 0.0;
    for (UINT k = 1; nearPeak != 0 && k <= nearPeak + W && k < bins; ++k)
        nearHeld += mag[k];
    if (nearPeak != 0 && (k0 == 0 || nearHeld >= 0.25 * strongest))
        near = FitBesideDc(nearPeak, floor);
    double nearLobe = 0.0;
    for (int m = -W; m <= W && near.fitted; ++m)
        nearLobe += near.tone * LobeResponse(m - (near.place - nearPeak), W) / LobeResponse(0.0, W);
    const bool besideDc = near.fitted && (k0 == 0 || nearLobe > strongest);
    // Lines crowded closer than a lobe stand as no lobe above: a bin of theirs holding more than
    // the whole lobe of the tone beside DC says that tone is not the fundamental (a CCIF pair's
    // difference product and its double, fitted as a tone and its 2nd harmonic: THD+N read 49 dB).
    if (besideDc)
        for (UINT k = nearPeak + static_cast<UINT>(W) + 1; k <= hi; ++k)
            if (clean(k) > nearLobe)
                return parts;
    if (besideDc)
        k0 = nearPeak;
    if (k0 == 0 || (!besideDc && !(clean(k0) > 0.0)) || !(BinFrequency(k0) > 1.0f))
        return parts;
    // A peak of the noise taken for the fundamental beside two such tones read THD+N 79 dB high.
    if (!besideDc && StrongerBinBeyond(clean, k0, W, searchFrom, hi))
        return parts;
    // A stronger tone whose lobe meets DC's can be told neither from the offset nor from the
    // peak found above it (a harmonic of it, read as the fundamental, was 140 dB off).
    for (UINT k = bandLo; !besideDc && k < std::min(searchFrom, k0 - W); ++k)
        if (clean(k) > 0.25 * clean(k0))
            return parts;
    // Just above DC's lobe, the tone's second harmonic lies mostly under the tone's own lobe: its
    // own bins show a sliver of it (a third, a Parzen tone 4.6 bins up), and read from that its
    // doubt is twice itself. It is read as beside DC, from the fit of the tone with the offset
    // and the harmonic, which takes their beats too (a few hundred transforms: only there).
    const BesideDc underLobe = !besideDc && k0 <= static_cast<UINT>(W + 1) ? FitBesideDc(k0, floor) : BesideDc{};
    const BesideDc& secondFit = besideDc ? near : underLobe;
    // Where DC's lobe meets the tone's, the two beat under it and bend the shape the tone's place
    // is read from; the fit that takes that beat places it (a flat-top tone five bins up read
    // 0.015 bins off by its lobe alone, and its far skirt, which follows the place, fourfold).
    // The flat-top's lobe tells the place worst; a Hann tone three bins up placed so read its
    // harmonics' lobes as the tone's leakage (THD+N 4 dB high).
    const bool placedUnderLobe = FlatLobe(windowType) && underLobe.fitted && PlacedBesideDc(underLobe.place, underLobe.placeError,
                                                                    underLobe.tone, underLobe.toneDeviation);
    const double placeUnderLobe = placedUnderLobe ? underLobe.place : -1.0;
    const double placeUnderLobeError = placedUnderLobe ? underLobe.placeError : 0.0;

    // Bins already given to a tone: 1 fundamental, 2 harmonic. The fundamental's leakage is
    // taken from the harmonics; the harmonics' too from the noise.
    std::vector<unsigned char> owner;
    std::vector<double> leak, spread, leakAll, spreadAll;
    try {
        owner.assign(bins, 0);
        leak.assign(bins, 0.0);
        spread.assign(bins, 0.0);
    } catch (const std::bad_alloc&) {
        return parts;
    }
    double lobePower = 0.0;
    for (UINT k = k0 > static_cast<UINT>(W) ? k0 - W : 1; k <= k0 + W; ++k) {
        lobePower += clean(k);
        owner[k] = 1;
    }
    double offset = 0.0, offsetError = 0.0;
    std::vector<double> mirrorCross;
    try {
        mirrorCross.assign(bins, 0.0);
    } catch (const std::bad_alloc&) {
        return parts;
    }
    ToneShape fundamentalShape;
    // DC's skirt under the tone's lobe beats with it and bends the lobe the offset is read from.
    // Where DC's own lobe meets the tone's, the two are read together below instead.
    auto dcUnderLobe = [&] {
        double sum = 0.0;
        for (UINT k = std::max<UINT>(k0 - W, static_cast<UINT>(W) + 1); k <= k0 + W; ++k)
            sum += std::max(dc[k], 0.0);
        return sum;
    };
    // What the average keeps of a beat between two steady lines whose phases turn apart by m
    // times the tone's from block to block (a harmonic h and the tone: h - 1; a line and its
    // mirror image: twice its order; the offset and a line: its order). On the leaky windows
    // these beats are bounded rather than fitted, and they stand far above the noise.
    const PhaseErrors phaseError = BlockPhaseError(k0, k0, lobePower, floor, dc);
    auto turns = [&](int m) { return LeakyWindow(windowType) ? BeatCoherence(k0, m, phaseError) : 1.0; };
    // The offset's beats with the tone's leakage and with its harmonics are bounded, not fitted,
    // on the triangular windows too, where DC leaks into every other bin far over the noise: the
    // average keeps of them what the blocks' turning phases leave, as on the leaky windows (taken
    // whole, the beat of 45 Bartlett blocks' 2 % offset at the 2nd harmonic hid a clear 9th: THD+N
    // N/A where SNR read).
    auto offsetTurns = [&](int m) {
        return LeakyWindow(windowType) || TriangularWindow(windowType) ? BeatCoherence(k0, m, phaseError) : 1.0;
    };
    // The tone's beat with its own image is fitted on every window, and on every window the
    // average keeps no more of it than the blocks' phases leave: fitted beyond that from a few
    // bins, it bent the skirt at the 2nd harmonic past what a harmonic there could hide (four
    // Blackman blocks keeping a fifth of it, fitted whole: THD+N 1.3 dB low).
    const double imageKept = BeatCoherence(k0, 2, phaseError);
    // A second line (a second test tone) leaks over the band too: on a window that leaks far its
    // skirt passes for the fundamental's beat with its image (THD+N 1.3 dB off). It is modelled
    // first and taken away from what the fundamental's fit reads.
    SecondLine second;
    if (!besideDc)
        second = ModelSecondLine(k0, searchFrom, hi, lobePower, floor, dc);
    // A harmonic weaker than a second tone is modelled with the fundamental only where the average
    // keeps enough of its beats with the tone and its image to bend the tone's fit; thinned by the
    // blocks' turning phases, it is read with the other harmonics (fitted with the tone, eight
    // force blocks' 3rd harmonic 31 dB down was left too uncertain to read: THD N/A).
    if (second.shape.harmonic && second.power < kSecondLine * lobePower) {
        const int order = second.shape.order;
        const double kept = std::max(turns(order - 1), turns(order + 1));
        const double beat = AllowanceFor(windowType).model / 2.0;
        if (!(kept * kept * second.power > beat * beat * lobePower))
            second = SecondLine{};
    }
    // Under a uniform second line's skirt the tone's own lobe holds their beat, which the average
    // may keep (two equal CCIF tones 4.3 bins apart: the stronger read 0.55 dB high, THD+N 0.66 dB
    // low): its power is read from the fit that places it with that beat, as the line's was.
    if (second.place >= 0.0 && placeUnderLobe < 0.0 && k0 > static_cast<UINT>(second.reach) &&
        k0 + static_cast<UINT>(second.reach) + 1 < bins) {
        double peakPower = 0.0;
        const double placed =
            PlaceBesideSkirt(magnitude, N, second.place, static_cast<int>(k0), second.reach, -1, &peakPower);
        lobePower = LobeBesideSkirt(peakPower, placed, k0, W, N, lobePower);
    }
    // The two lines' beat kept by the average lies in the fundamental's lobe too, and moves the
    // power read from it by as much (two equal tones five bins apart, one block: 1.2 dB).
    double lobeBeat = 0.0;
    // Another fit of the fundamental's leakage, taken in place of the one made.
    auto adopt = [&](std::vector<double>& l, std::vector<double>& s, std::vector<double>& m, ToneShape& shape,
                     double at, double atError) {
        leak.swap(l);
        spread.swap(s);
        mirrorCross.swap(m);
        fundamentalShape = std::move(shape);
        offset = at;
        offsetError = atError;
    };
    // The fundamental's fit with the second line's leakage taken away; `partner` fits the two
    // lines' beat too.
    auto fitBeside = [&](double power, const ToneShape* partner, std::vector<double>& l, std::vector<double>& s,
                         std::vector<double>& m, ToneShape& shape, double& at, double& atError,
                         const std::vector<double>* under = nullptr) {
        if (second.leak.empty())
            std::fill(l.begin(), l.end(), 0.0);
        else
            std::copy(second.leak.begin(), second.leak.end(), l.begin());
        if (under)
            for (std::size_t k = 0; k < l.size(); ++k)
                l[k] += (*under)[k];
        std::fill(s.begin(), s.end(), 0.0);
        std::fill(m.begin(), m.end(), 0.0);
        // A harmonic h beats with the tone turning h - 1 times as fast, and with its image h + 1
        // times: the average keeps that much of each (held whole, eight force blocks' 3rd
        // harmonic left its lobe too uncertain to read: THD N/A).
        const int order = partner && partner->harmonic ? partner->order : 0;
        // Under a uniform second line's skirt the tone is placed with their beat too, as the line was.
        double placed = placeUnderLobe, placedError = placeUnderLobeError;
        if (placed < 0.0 && second.place >= 0.0 && k0 > static_cast<UINT>(second.reach) &&
            k0 + static_cast<UINT>(second.reach) + 1 < bins) {
            placed = PlaceBesideSkirt(magnitude, N, second.place, static_cast<int>(k0), second.reach);
            placedError = 2.0 * std::sqrt(std::max(floor, 0.0) * (2 * W + 1) / power);
        }
        const double got = AddToneLeakage(k0, W, power, floor, l, s, &at, &atError, &m, partner, &shape, dcUnderLobe(),
                                          imageKept, order > 0 ? turns(order - 1) : 1.0,
                                          order > 0 ? turns(order + 1) : -1.0, placed, placedError);
        for (std::size_t k = 0; k < second.leak.size(); ++k)
            l[k] -= second.leak[k];
        if (under)
            for (std::size_t k = 0; k < l.size(); ++k)
                l[k] -= (*under)[k];
        return got;
    };
    // The two lines' beat is left out where the average thinned it (their phases turn between
    // blocks); where it kept it (one block, or phases that meet again), the bins scatter far less
    // about a fit that takes it: a fifth less, where the noise alone moves it by a hundredth.
    // Kept but not told (the fit calls for more beat than the two lines can make), it is only
    // bounded.
    bool secondFitted = false; // the fundamental was fitted with the second line's beats
    auto fitFundamental = [&](double power) {
        lobeBeat = 0.0;
        secondFitted = false;
        double got = fitBeside(power, nullptr, leak, spread, mirrorCross, fundamentalShape, offset, offsetError);
        if (second.leak.empty())
            return got;
        try {
            std::vector<double> l(bins), s(bins), m(bins);
            ToneShape shape;
            double at = 0.0, atError = 0.0;
            const double paired = fitBeside(power, &second.shape, l, s, m, shape, at, atError);
            // A harmonic's beats refused by the fit would leave them only bounded where the tone's
            // alone were fitted (eight force blocks' 3rd harmonic: THD N/A).
            const bool harmonic = second.shape.harmonic;
            const double kept = harmonic ? kKeptRunBeat : kKeptBeat;
            if (paired > 0.0 && (!harmonic || shape.beatsFitted || !fundamentalShape.beatsFitted) &&
                (shape.scatter < kept * fundamentalShape.scatter || shape.pairPhased ||
                 (shape.beatsFitted && !fundamentalShape.beatsFitted))) {
                secondFitted = true;
                lobeBeat = 0.0;
                for (UINT k = k0 - W; k <= k0 + W; ++k)
                    lobeBeat += std::abs(l[k] - leak[k]);
                adopt(l, s, m, shape, at, atError);
                got = paired;
            }
        } catch (const std::bad_alloc&) {
            // The beat stays unfitted.
        }
        return got;
    };
    double share = besideDc ? 0.0 : fitFundamental(lobePower);
    if (besideDc && ModelBesideDc(near, k0, leak, spread, dc, dcError, lobePower, share, fundamentalShape)) {
        offset = near.place - k0;
        offsetError = near.placeError;
    }
    // Without the window's shape nothing can be told apart from the tone's leakage.
    if (!(share > 0.0))
        return parts;
    // The offset again, the tone's leakage under its lobe taken away.
    if (!besideDc)
        dcError = DcLeakage(dcFloor, leak, spread, dc);
    // A tone whose lobe reaches into DC's shares bins with the offset, and each was read with
    // the other's first guess there: the offset's, taken before the tone was known, held the
    // tone's lobe too and read the tone 2-4 dB low. Reading each again with the other's latest
    // estimate taken away settles slowly (the error halves at each pass where the lobes
    // overlap most), but as an affine map of the tone's lobe power: its fixed point follows
    // from two passes.
    double hiddenDc = 0.0;
    if (!besideDc && k0 <= static_cast<UINT>(2 * W)) {
        auto lobeClean = [&] {
            double sum = 0.0;
            for (UINT k = k0 - W; k <= k0 + W; ++k)
                sum += clean(k);
            return sum;
        };
        // The tone's leakage from its lobe power, and the offset again with it taken away;
        // returns the lobe power that offset leaves.
        auto pass = [&](double power) {
            share = fitFundamental(power);
            dcError = DcLeakage(dcFloor, leak, spread, dc, &hiddenDc);
            lobePower = power;
            return lobeClean();
        };
        const double t0 = lobePower, t1 = lobeClean(), t2 = pass(t1);
        const double curve = t0 - 2.0 * t1 + t2;
        double settled = t2;
        if (share > 0.0 && std::abs(curve) > 1e-9 * t2) {
            const double fixed = (t0 * t2 - t1 * t1) / curve;
            // A step of the map that shrinks the error (it does where the offset is modelled at
            // all) has its fixed point beyond the last pass, not past the lobe's whole content.
            if (fixed >= std::min(t1, t2) && fixed <= std::max(t1, t2) + 4.0 * std::abs(t2 - t1))
                settled = fixed;
        }
        if (share > 0.0)
            pass(settled);
        // Without the window's shape nothing can be told apart from the tone's leakage.
        if (!(share > 0.0))
            return parts;
    }
    // An offset whose lobe lies within the tone's may hide there, nothing of it standing out
    // once the tone's leakage is taken away, and still add to or cancel the tone's lobe by
    // 2 sqrt(D T) in every bin the two share. Neither the exponential window's tone nor the force
    // window's is fitted with the offset beside it (their transforms have no symmetry to part the
    // two; the force tone's fit with its image and the offset only places it, its power is read
    // from its lobe as it stands): what the offset may hide moves the lobe the tone is read from
    // (a 7 % offset beside one exponential block's tone 9 bins up: the tone read 1.4 dB low; one
    // force block of a pair whose low tone lies 3.4 bins up beside a 6 % offset: that tone read
    // 0.5 dB low, its skirt short with it, THD+N 1.4 dB high). The tone's power is that
    // uncertain, and with it every part read against it. (The uniform window keeps DC in its own
    // bin: nothing hides there.)
    double hiddenBeat = 0.0, readLobe = lobePower;
    if (hiddenDc > 0.0 && (windowType == TSmoothing::kExponential || windowType == TSmoothing::kForce) &&
        DcResponse().size() == bins) {
        const double kept = turns(1);
        for (UINT k = k0 - W; k <= k0 + W; ++k)
            hiddenBeat += 2.0 * kept * std::sqrt(hiddenDc * dcResponse[k] * std::max(leak[k], 0.0));
    }
    // One exponential block's power spectrum near DC fits other offsets and tones as well as the
    // one its lobe was read with (a 7 % offset beside a tone 11 bins up: the tone read 1 dB low
    // at one phase, right at the next): the tone is read from the one the block's phase picks,
    // and is as uncertain as the others that phase leaves.
    if (windowType == TSmoothing::kExponential && BlocksAveraged() <= 1.0 &&
        WindowShape().size() == N && N > 1) {
        const std::vector<double>& w = WindowShape();
        const bool known = !blockPhases.empty() && phaseBin == k0 && std::isfinite(phaseError.noise);
        const std::complex<double> v = known ? std::complex<double>(blockPhases.back().value.real(),
                                                                     blockPhases.back().value.imag())
                                             : std::complex<double>();
        try {
            // Without the block's value every reading the spectrum allows stays in doubt.
            const double slack = known ? kPhaseSlack + phaseError.noise : HUGE_VAL;
            const OnePoleLobe one = OnePoleReading(mag, N, std::pow(w[N - 1] / w[0], 1.0 / (N - 1.0)), k0, W,
                                                   known ? &v : nullptr, slack);
            if (one.power > 0.0) {
                readLobe = one.power;
                hiddenBeat += one.spread;
            }
        } catch (const std::bad_alloc&) {
            // The tone stays read from its lobe.
        }
    }
    // The offset and the tone add or cancel where both leak, by the tone's phase, which may
    // stay put from block to block: far from DC that beat is a tenth of the tone's leakage and
    // more on a window whose skirt falls slowly (Bartlett, triangular). Where there is an
    // offset, the tone is fitted again with it, its skirt taken away first, and kept where the
    // bins scatter less about that fit than about the tone's alone (another tone's or a
    // harmonic's leakage read as the beat otherwise: a second tone went missing from THD+N),
    // or where the tone's alone did not hold (the beat left unfitted bent it: a triangular
    // tone's skirt read 25 % high at its second harmonic); unfitted, the beat is only bounded.
    // A second line's beat the blocks' phases gave is kept: the tone is fitted with it again, the
    // offset's skirt now taken away, and the offset's beat, which the average turns away, bounded.
    const bool pairKept = secondFitted && fundamentalShape.pairPhased;
    if (pairKept) {
        // The line's own lobe held the beat: its power is read again without it.
        double held = 0.0;
        const UINT half = static_cast<UINT>(W);
        for (UINT k = second.peak > half ? second.peak - half : 0; k <= std::min(second.peak + half, bins - 1); ++k)
            held += mag[k] - dc[k] - leak[k];
        if (held > 0.0) {
            for (double& x : second.leak)
                x *= held / second.power;
            second.power = held;
        }
        std::vector<double> l(bins), s(bins), m(bins);
        ToneShape shape;
        double at = 0.0, atError = 0.0;
        if (fitBeside(lobePower, &second.shape, l, s, m, shape, at, atError, &dc) > 0.0 && shape.pairPhased) {
            lobeBeat = 0.0;
            for (UINT k = k0 - W; k <= k0 + W; ++k)
                lobeBeat += std::abs(l[k] - leak[k]);
            adopt(l, s, m, shape, at, atError);
        }
    }
    const ToneShape dcShape = !besideDc && !pairKept ? DcShape(dc) : ToneShape{};
    // Beside DC the beat was fitted with the tone.
    bool dcPartner = besideDc;
    std::vector<double> offsetBeatApart;
    if (!dcShape.v.empty()) {
        std::vector<double> withDc = dc, withDcSpread(bins, 0.0), withDcCross(bins, 0.0);
        ToneShape shape;
        double at = 0.0, atError = 0.0;
        dcPartner = AddToneLeakage(k0, W, lobePower, floor, withDc, withDcSpread, &at, &atError, &withDcCross, &dcShape,
                                   &shape, dcUnderLobe(), imageKept, turns(1), -1.0, placeUnderLobe,
                                   placeUnderLobeError) > 0.0 &&
                    shape.beatsFitted && (!fundamentalShape.beatsFitted || shape.scatter <= fundamentalShape.scatter);
        // The tone's fit alone takes the offset's beat into its image's only where it fitted that beat
        // freely: the average keeping it (near) whole, on a window whose beats are fitted (the leaky
        // and triangular ones bound the offset's).
        constexpr double kImageFree = 0.9;
        if (!dcPartner && fundamentalShape.beatsFitted && imageKept > kImageFree && !LeakyWindow(windowType) &&
            !TriangularWindow(windowType))
            offsetBeatApart = std::move(shape.offsetBeatApart);
        if (dcPartner) {
            for (UINT k = 0; k < bins; ++k)
                withDc[k] -= dc[k];
            adopt(withDc, withDcSpread, withDcCross, shape, at, atError);
            dcError = DcLeakage(dcFloor, leak, spread, dc);
        }
    }
    // Unfitted, the offset's beat with the tone is bounded by what the average keeps of it: it
    // turns as the tone does from block to block, on every window (bounded whole, a Gaussian
    // tone's skirt beside a 4 % offset hid a harmonic four times the noise: THD+N N/A where SNR
    // read).
    // The tone's fit alone read the offset's beat into its image's as far as the two have one shape:
    // only the rest of it is unfitted.
    const double dcTurns = BeatCoherence(k0, 1, phaseError);
    for (UINT k = 0; k < bins; ++k) {
        const double unfitted = offsetBeatApart.size() == bins ? offsetBeatApart[k] : 1.0;
        spread[k] += dcError * dc[k] +
                     (dcPartner ? 0.0 : 2.0 * dcTurns * unfitted * std::sqrt(dc[k] * std::max(leak[k], 0.0)));
        leak[k] += dc[k];
    }
    // The second line beats with the offset as the fundamental does, and one low in the band
    // meets DC's skirt where both stand far over the noise: unfitted, that beat is bounded by
    // what the average keeps of it, as the fundamental's is (one force block's low tone beside a
    // 9 % offset counted it in its power: THD+N 1.1 dB high).
    if (second.leak.size() == bins) {
        const double secondTurns = PairCoherence(phaseBin, 0, second.peak, 1, 0.0, 0.0);
        for (UINT k = 0; k < bins; ++k)
            spread[k] += 2.0 * secondTurns * std::sqrt(std::max(dc[k], 0.0) * std::max(second.leak[k], 0.0));
    }
    // Between DC's lobe and the fundamental's, what the offset's skirt and the tone's leakage
    // leave must be noise, or little beside the rest: a weaker tone whose lobe meets DC's is
    // fitted as a part of the offset and goes missing from the noise (THD+N read 4-6 dB low).
    // Such a tone's lobe falls away from DC there, as the offset's skirt does, but stands
    // above what the skirt was fitted to hold.
    double nearDc = 0.0, previous = HUGE_VAL;
    for (UINT k = static_cast<UINT>(W) + 1; k <= static_cast<UINT>(2 * W + 1) && k + W < k0; ++k) {
        const double excess = static_cast<double>(mag[k]) - leak[k];
        if (!(excess < previous))
            break;
        previous = excess;
        if (excess > 16.0 * floor + 4.0 * spread[k] + leak[k])
            nearDc += excess;
    }
    parts.fundamental = readLobe / share;

    // Harmonics h * f0, each read where the fundamental's frequency (as its lobe places it, to
    // a fraction of a bin) puts it; only those inside the band count. A search over many bins
    // would find the noise's largest bin where a harmonic holds only noise.
    struct Lobe {
        long centre, a, b;
        double power;  // leakage of the fundamental taken away
        double spread; // how far that may be off
        int bins;      // bins it owns
        double place;  // where the fundamental puts it, in bins
        // The most it may hold: where the fundamental's leakage meets it at a phase that stays
        // put, the two may cancel and leave less than the leakage alone (Bartlett, a tone on a
        // bin: every other bin), yet the harmonic leaks beside its lobe as strongly as ever.
        double most = 0.0;
        // The window's power over the harmonic's whole lobe, over the bins it took, and over
        // those the fundamental's lobe took (a fundamental a few bins up shares its lobe with
        // the second harmonic's).
        double whole = 0.0, taken = 0.0, underFundamental = 0.0;
        // The window's power over the bins of its whole lobe that lie past the band's edges.
        double beyondBand = 0.0;
        // The window's power the lobes of the harmonics below and above have over the bins it
        // took.
        double sharedBelow = 0.0, sharedAbove = 0.0;
        // What a generated tone's rounding lines but its own put into its bins, in lines.
        double noiseLines = 0.0;
        // The fundamental's fitted beats in the bins it took: their deviation summed bin by bin
        // (as in `spread`), and each fitted term's weight over those bins.
        double beatNoise = 0.0;
        double beatRow[kLeakColumns] = {};
        // A second line's skirt over the bins it took, and how far that may be off: part of
        // everything but the tone, but no harmonic. And the most other lines' skirts may put
        // there (see below).
        double otherLine = 0.0, otherSpread = 0.0, otherSkirts = 0.0;
    };
    std::vector<Lobe> lobes;
    const ToneShape& beats = fundamentalShape;
    const bool beatsKept = beats.beatColumns == kLeakColumns && beats.beatNoise.size() == bins &&
                           beats.beatNoiseHeld.size() == bins && beats.beatRows.size() == bins * std::size_t{kLeakColumns} &&
                           beats.beatCovariance.size() == kLeakColumns * std::size_t{kLeakColumns};
    // Harmonics closer than a lobe's width whose bins the one below took: their power lies in
    // their neighbours' lobes, which can't be read from the neighbours' own shape there.
    std::vector<double> crowded;
    const double f0 = BinFrequency(k0);
    const double fc = static_cast<double>(k0) + offset;
    // The lobe's offset is good to offsetError when the window matches the tone's shape well;
    // a tone near DC or a window without nulls may read a few hundredths of a bin off.
    const double placeError = std::max(offsetError, 0.02);
    // A tone is on its bin where its place reads within twice that: the skirts of an offset and of
    // strong harmonics bend the lobe a little past it (a Bartlett tone on bin 6 read 0.0011 off
    // for 0.001, and its rounding's lines were read as white noise: SNR 1.8 dB low).
    const bool onBin = std::abs(offset) <= 2.0 * offsetError;
    // A generated tone's rounding lines spread over the bins as the window's lobe does: what
    // the noise lines (not those on the tone's and harmonics' places) put into bin k, in lines.
    const UINT lineStep = std::gcd(k0, N);
    // A tone alone (no offset, no even harmonic) on an odd multiple of that step turns sign every
    // half repeat, and its rounding with it: the lines lie on every other multiple, the others
    // empty, as the bins there say (taken for lines too, the empty bins between read a flat-top
    // tone's rounding 5.8 dB high).
    UINT lineSpacing = lineStep;
    if (onBin) {
        std::vector<double> on, off;
        for (UINT k = from; k <= hi; ++k) {
            const UINT d = (k > k0 ? k - k0 : k0 - k) % (2 * lineStep);
            if (owner[k] == 0 && (d == 0 || d == lineStep))
                (d == 0 ? on : off).push_back(mag[k] - leak[k]);
        }
        if (on.size() >= kLineBins && off.size() >= kLineBins && PlainMedian(on) > 0.0 &&
            PlainMedian(off) < 0.1 * PlainMedian(on))
            lineSpacing = 2 * lineStep;
    }
    std::vector<double> lineShare(static_cast<std::size_t>(W) + 1, 0.0);
    {
        const double energy = SquareSum(WindowShape());
        for (int d = 0; d <= W && onBin && energy > 0.0; ++d)
            lineShare[static_cast<std::size_t>(d)] = LobeResponse(d, W) / (N * energy);
    }
    auto lineContent = [&](UINT k) {
        double sum = 0.0;
        if (!onBin)
            return sum;
        for (long j = static_cast<long>(k) - W; j <= static_cast<long>(k) + W; ++j)
            if (j > 0 && NoiseLinePlace(static_cast<UINT>(j), lineSpacing, k0))
                sum += lineShare[static_cast<std::size_t>(std::labs(j - static_cast<long>(k)))];
        return sum;
    };
    const int count = std::min(static_cast<int>(std::trunc(highFrequency / f0)) + 1, static_cast<int>(kHarmonicOrders));
    // A second line off every harmonic's place is another tone (the other of a pair): its skirt
    // in a harmonic's lobe is no harmonic (a clean pair's high tone, 7 bins from the 26th
    // harmonic's place through a Bartlett window, read THD 1.5 %). One on a harmonic's place is
    // that harmonic, however strong.
    bool secondApart = !second.leak.empty() && second.spread.size() == bins && !second.shape.harmonic;
    for (int h = 2; h <= count && secondApart; ++h)
        secondApart = std::abs(static_cast<double>(second.peak) - h * fc) > W + 1 + h * placeError;
    for (int h = 2; h <= count; ++h) {
        const double at = h * fc;
        if (at > static_cast<double>(hi))
            break;
        const long a = std::max<long>(from, std::lround(at - h * placeError)),
                   b = std::min<long>(hi, std::lround(at + h * placeError));
        // The strongest of those bins once the fundamental's leakage is taken away: a window
        // whose leakage comes and goes from bin to bin would otherwise lead the search astray.
        long best = -1;
        for (long k = a; k <= b; ++k)
            if (owner[static_cast<std::size_t>(k)] == 0 && (best < 0 || mag[k] - leak[k] > mag[best] - leak[best]))
                best = k;
        // A harmonic whose place the fundamental's lobe took (a fundamental a few bins up)
        // still shows in the rest of its lobe, and is read from there.
        if (best < 0 && a <= b && owner[static_cast<std::size_t>(std::clamp<long>(std::lround(at), a, b))] == 1)
            best = std::clamp<long>(std::lround(at), a, b);
        if (best < 0) {
            if (a <= b)
                crowded.push_back(at);
            continue;
        }
        ++parts.harmonicCount;
        // The last harmonic looked for has no neighbour above to share its lobe with.
        const bool above = h < count && (h + 1) * fc <= static_cast<double>(hi);
        const long end = above ? CrowdedLobeEnd(best, W, at, fc, k0 + W) : best + W;
        Lobe l{best, std::max<long>(from, best - W), std::min<long>(hi, end), 0.0, 0.0, 0, at};
        for (long k = std::max<long>(1, best - W); k <= std::min<long>(static_cast<long>(bins) - 1, best + W); ++k) {
            const double kernel = LobeKernel(static_cast<double>(k) - at, W);
            l.whole += kernel * kernel;
            if (owner[static_cast<std::size_t>(k)] == 1)
                l.underFundamental += kernel * kernel;
            else if (k < static_cast<long>(from) || k > static_cast<long>(hi))
                l.beyondBand += kernel * kernel;
            else if (owner[static_cast<std::size_t>(k)] == 0 && k >= l.a && k <= l.b) {
                l.taken += kernel * kernel;
                // Below the second harmonic lies the fundamental, whose leakage is modelled.
                const double below = h > 2 ? LobeKernel(static_cast<double>(k) - at + fc, W) : 0.0,
                             above = LobeKernel(static_cast<double>(k) - at - fc, W);
                l.sharedBelow += below * below;
                l.sharedAbove += above * above;
            }
        }
        for (long k = l.a; k <= l.b; ++k) {
            if (owner[static_cast<std::size_t>(k)] != 0)
                continue;
            owner[static_cast<std::size_t>(k)] = 2;
            l.noiseLines += lineContent(static_cast<UINT>(k));
            l.power += mag[k] - leak[k];
            if (secondApart) {
                l.otherLine += second.leak[k];
                l.otherSpread += second.spread[k];
            }
            // The fitted cross term with the fundamental's mirror image is good to a tenth
            // here, where the leakage is smooth over a few bins.
            l.spread += spread[k] - mirrorCross[static_cast<std::size_t>(k)];
            if (beatsKept) {
                l.beatNoise += beats.beatNoiseHeld[static_cast<std::size_t>(k)];
                for (int c = 1; c < kLeakColumns; ++c)
                    l.beatRow[c] += beats.beatRows[static_cast<std::size_t>(k) * kLeakColumns + c];
            }
            const double both = std::sqrt(std::max(static_cast<double>(mag[k]), 0.0)) + std::sqrt(std::max(leak[k], 0.0));
            l.most += both * both;
            ++l.bins;
        }
        lobes.push_back(l);
    }
    try {
        leakAll = leak;
        spreadAll = spread;
    } catch (const std::bad_alloc&) {
        return Parts{};
    }

    // The noise: what the bins no tone owns hold, and for the bins under the tones' lobes and
    // the excluded lobe of DC their typical content, so that the whole band counts. Where a
    // tone's leakage outweighs the noise, what is left after taking it away is only as good
    // as the prediction: those bins are left to the typical content too. Typical: the mean of
    // the free bins, leaving out spurs (ten times the median and more), which count once
    // where they are.
    std::vector<double> free;
    std::vector<UINT> freeBin;
    try {
        free.reserve(hi - from + 1);
        freeBin.reserve(hi - from + 1);
    } catch (const std::bad_alloc&) {
        return Parts{};
    }
    double freeSpread = 0.0, noiseRef = 0.0, freeBeat = 0.0;
    // The noise a spur is judged against (see SpurReference).
    double spurRef = 0.0;
    // A tone on a bin repeats every block, and so does its rounding where that is all the noise
    // (a generated file): lines on every few bins, the bins between holding no more than the
    // arithmetic's own rounding. Their median says nothing of the noise, and every line is
    // noise, none a spur (the lines beside the tone, taken as spurs, read SNR 4 dB low).
    bool lines = false;
    const double arithmeticBin = ArithmeticNoise(1);
    const double averaged = BlocksAveraged();
    // A bin judged against what it holds must hold more than the noise's beat with the leakage
    // there can give it (five deviations of one block's, whose mean noise is the median over
    // ln 2): otherwise only the bins beside a tone whose beat happens to add would be taken,
    // and read the noise high (at four deviations of the median, one such bin read SNR 1.4 dB
    // low).
    auto spurBeat = [&](UINT k, double ref) { return 5.0 * std::sqrt(2.0 * std::max(leakAll[k], 0.0) * ref / std::log(2.0)); };
    // A second line's lobe left out would stand for the typical content and go missing whole (its
    // peak bin beside a leaky window's skirt: THD+N 3 dB low); it is counted as it stands,
    // whatever the guard, off by no more than its doubt.
    auto secondLobe = [&](UINT k) {
        return second.peak != 0 && k + static_cast<UINT>(W) >= second.peak && k <= second.peak + static_cast<UINT>(W);
    };
    // Taken as it stands, the second line's bin keeps its beat with the tone's skirt there wherever
    // the fit left that beat out: the average keeps as much of it as the two lines' phases meet
    // alike from block to block (a uniform line 4 bins from a tone, on its bin, read 20 % low).
    const double secondBeatKept =
        second.peak != 0 && !secondFitted ? PairCoherence(k0, 1, second.peak, -1, phaseError.Total(), 0.0) : 0.0;
    double secondBeat = 0.0;
    // What a bin holds beyond the leakage taken away beats with it by 2 Re(L^1/2 N*), at a phase
    // the noise sets anew in every block: a deviation of sqrt(2 L N) for one block, narrowed by
    // the blocks averaged as the noise's scatter where the leakage is weaker shows. Under a
    // strong tone's skirt that is far more than the noise itself (one Gaussian block: runs of
    // bins 20 times the noise, SNR 1.3 dB low): such bins say less of the noise than the
    // typical content does.
    // A tone on a bin through the triangular windows leaks into every other bin, far over the
    // noise: those bins are read as the median of the most certain half says (left to the
    // typical content, the noise under a harmonic went missing: THD 1.5 dB high), their beat
    // counted in the doubt.
    const bool triangular = TriangularWindow(windowType);
    double bandScatter = 1.0;
    auto noiseBeat = [&](UINT k) { return std::sqrt(2.0 * std::max(leakAll[k], 0.0) * noiseRef * bandScatter); };
    auto collect = [&](double guard) {
        free.clear();
        freeBin.clear();
        freeSpread = freeBeat = secondBeat = 0.0;
        for (UINT k = from; k <= hi; ++k) {
            if (owner[k] != 0)
                continue;
            // A bin whose beat is more than the noise itself is left to the typical content; a
            // spur is judged against what it holds, far above that beat. Where the triangular
            // windows' median bin reads nothing there is no spur at all: their free bins' mean
            // holds the beat's rises too (one block of a tone on a bin read its noise 8 times high).
            const bool noise = std::isinf(guard) ||
                               (spreadAll[k] <= guard * noiseRef && (triangular || noiseBeat(k) <= noiseRef));
            const double held = mag[k] - leakAll[k];
            if (noise || secondLobe(k) ||
                (!lines && (noiseRef > 0.0 || !triangular) && held > 10.0 * spurRef + spurBeat(k, spurRef) &&
                 spreadAll[k] <= guard * held)) {
                free.push_back(mag[k] - leakAll[k]);
                freeBin.push_back(k);
                freeSpread += spreadAll[k];
                freeBeat += noise ? noiseBeat(k) * noiseBeat(k) : 0.0;
                if (secondLobe(k))
                    secondBeat += 2.0 * secondBeatKept * std::sqrt(std::max(leakAll[k], 0.0) * std::max(held, 0.0));
            }
        }
    };
    double freeSum = 0.0, typical = 0.0, limit = 0.0;
    // Where the noise is a generated tone's rounding: the mean power of one of its lines.
    double perLine = 0.0;
    // Neighbouring bins share the noise through the window: a mean over n bins scatters about
    // as one over n / c independent ones, c twice the window's noise bandwidth in bins.
    const int widest = 2 * W + 1;
    const std::vector<double>& shape = WindowShape();
    double s1 = 0.0, s2 = 0.0, s4 = 0.0;
    for (double v : shape) {
        s1 += v;
        s2 += v * v;
        s4 += v * v * v * v;
    }
    const double windowShared = s1 > 0.0 ? 2.0 * static_cast<double>(shape.size()) * s2 / (s1 * s1) : 2.0 * widest;
    // Two bins d apart share the noise's power by |rho(d)|^2, rho the transform of the squared
    // window: summed over every d that is N sum(w^4) / sum(w^2)^2 (Hann 1.94, Gaussian 4.0).
    const double noiseShared = s2 > 0.0 ? static_cast<double>(shape.size()) * s4 / (s2 * s2) : 1.0;
    const double sharedBins = std::clamp(windowShared, 1.0, 2.0 * widest);
    // A spur stands above the limit by more than the noise's beat with the leakage taken from its
    // bin can give it: that beat adds as often as it cancels, and leaving out only the bins where
    // it added read the noise low (one Gaussian block under a strong skirt: the noise read as
    // nothing, and a lobe of noise taken for a harmonic). Where the window leaks far, what stands
    // over the limit is the leakage's misfit, bounded apart. The triangular windows' skirt, on a
    // bin or off it, beats with the noise as any other's does: judged without that beat, the bins
    // where it added went as spurs (one block of a tone half a bin off: the typical content read
    // as nothing, THD+N 3.6 dB low; on a bin, no harmonic in the band: THD+N 2 dB low).
    const bool beatBound = LeakyWindow(windowType);
    auto spur = [&](std::size_t i) { return free[i] > limit + (beatBound ? 0.0 : spurBeat(freeBin[i], noiseRef)); };
    auto estimate = [&] {
        collect(HUGE_VAL);
        const std::size_t unowned = free.size();
        // The bins are judged against the noise as a whole, not against what each holds:
        // choosing the bins that happen to hold more would read the noise high. Only a spur
        // (ten times the median bin) is judged against itself.
        // The triangular windows' tone on a bin leaves every other bin its leakage's floor: the
        // median of the half the leakage leaves most certain. So does a force tone on a bin beside
        // an offset, whose beat with it, bounded, not fitted, fills the other half (its median read
        // near nothing, the bins standing above it taken for spurs: SNR 1.4 dB low). Elsewhere
        // the median bin (read from the certain half, a force window's generated tone near DC read
        // SNR 86 dB low).
        if (!free.empty())
            noiseRef = triangular || (everyOther && onBin) ? CertainMedian(free, freeBin, spreadAll) : PlainMedian(free);
        // Rounding lines of a generated tone on a bin; the triangular windows' hidden bins are
        // read apart (UnseenParity): taken as lines there, SNR read 37 dB low.
        if (onBin && !triangular) {
            const bool held = !LeakyWindow(windowType) && HeldInLines(free, freeBin, lineSpacing, k0, BandScatter(W));
            // Lines that stand plainly out of the bins between are read from their own mean; their
            // level sets only the spurs' limit and need be good to a third (a flat-top tone's bins,
            // each doubted by the arithmetic's rounding, were read as white noise: 5.8 dB high).
            const double level = BestKnownMean(free, freeBin, spreadAll, held ? 3.0 : 10.0);
            lines = level > 0.0 && ((noiseRef <= 4.0 * arithmeticBin && level >= 10.0 * noiseRef) || held ||
                                    (!LeakyWindow(windowType) && lineStep <= 2 &&
                                     RepeatsEveryBlock(mag, owner, leakAll, noiseRef, from, hi, W, averaged)));
            noiseRef = lines ? level : noiseRef;
        }
        spurRef = lines ? noiseRef : SpurReference(free, noiseRef);
        bandScatter = QuietScatter(mag, owner, leakAll, noiseRef, from, hi, W, BlocksAveraged());
        // The bins the leakage leaves most certain (against what they hold, or the median bin):
        // of the sets the guards give (a quarter of the free bins or more), the one that leaves
        // the noise's total least uncertain. More bins bring more of what the leakage taken away
        // leaves uncertain, fewer bins a mean that scatters more; both are judged without
        // looking at what the bins hold. A window that leaks everywhere ends with all free
        // bins, and their spread says what that is worth; a leakage floor above the noise (a
        // triangular tone on a bin, between the bins it leaks into most) leaves the best bins
        // about as uncertain as the median bin holds, still far better than all of them.
        double bestGuard = HUGE_VAL, leastDoubt = HUGE_VAL;
        for (double guard : {0.005, 0.02, 0.1, 0.5, 2.0, HUGE_VAL}) {
            collect(guard);
            if (free.size() < std::max<std::size_t>(8, unowned / 4))
                continue;
            const double n = static_cast<double>(free.size());
            const double doubt = freeSpread / n + kNoiseSigmas * noiseRef * std::sqrt(sharedBins / n) +
                                 kNoiseSigmas * std::sqrt(freeBeat) / n;
            if (doubt < leastDoubt) {
                leastDoubt = doubt;
                bestGuard = guard;
            }
        }
        collect(bestGuard);
        freeSum = typical = 0.0;
        if (free.empty())
            return;
        for (double v : free)
            freeSum += v;
        std::vector<double> sorted = free;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        // Rounding lines are the noise, but no line of it holds a hundred times its mean: a
        // harmonic's skirt not yet modelled is a spur still (taken as noise, it kept the
        // harmonic from being modelled: a Bartlett SNR read 28 dB low).
        limit = lines ? 100.0 * noiseRef : 10.0 * std::max(sorted[sorted.size() / 2], 0.0);
        std::size_t n = 0;
        double held = 0.0;
        auto sumBelowLimit = [&] {
            typical = held = 0.0;
            n = 0;
            for (std::size_t i = 0; i < free.size(); ++i) {
                if (!spur(i)) {
                    typical += free[i];
                    held += lines ? lineContent(freeBin[i]) : 0.0;
                    ++n;
                }
            }
        };
        sumBelowLimit();
        // The triangular tone on a bin leaves every other bin its skirt, many taken a little
        // large: their median may lie far under the noise, and ten times it pass a fifth of one
        // block's noise for spurs, the rest summing to less than nothing (the typical content
        // read as nothing while the free bins held noise, THD+N 3 dB low). There the free bins'
        // mean is the noise's measure.
        if (triangular && onBin && !lines && !(typical > 0.0) && freeSum > 0.0) {
            limit = 10.0 * freeSum / static_cast<double>(free.size());
            sumBelowLimit();
        }
        typical = n > 0 ? std::max(typical, 0.0) : 0.0;
        perLine = held > 0.0 ? typical / held : 0.0;
        typical = n > 0 ? typical / n : 0.0;
    };
    estimate();
    // Harmonics that stand well above the noise and what the fundamental's leakage leaves
    // uncertain leak into it as the fundamental does: the strongest ten are modelled too and
    // the noise estimated again.
    // The modelled harmonics' leakage beyond every lobe, and how far it may be off.
    double harmonicSkirt = 0.0, harmonicSkirtDoubt = 0.0;
    std::vector<std::size_t> order(lobes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return lobes[x].most > lobes[y].most; });
    bool changed = false;
    ToneShape harmonicShape;
    std::vector<double> toneLeak, toneSpread;
    try {
        toneLeak.assign(bins, 0.0);
        toneSpread.assign(bins, 0.0);
    } catch (const std::bad_alloc&) {
        return Parts{};
    }
    // The most a harmonic's lobe may hold as the bins nearest its place show it: in each bin its
    // line and the rest add as vectors, so its share there is at most the sum of their amplitudes
    // and what the noise reaches once in a million bins. Where the leakage cancels a harmonic in
    // some bins it need not in the others (a tone on a bin through the triangular windows leaves
    // its harmonics' places free of leakage and the bins beside them full: bounded by those alone,
    // a lobe of noise passed for a harmonic 300 times its size, and THD+N read N/A).
    const double noiseReach = NoiseTail(BandScatter(W)) * typical;
    auto mostByPeak = [&](const Lobe& l) {
        const double reach = std::max(1, HarmonicOrder(l.place, fc)) * placeError;
        auto share = [&](long k, double at) {
            const double h = LobeKernel(static_cast<double>(k) - at, W);
            return h * h;
        };
        double kernelSum = 0.0, most = HUGE_VAL;
        for (long k = l.a; k <= l.b; ++k) {
            if (owner[static_cast<std::size_t>(k)] != 2)
                continue;
            kernelSum += std::max({share(k, l.place), share(k, l.place - reach), share(k, l.place + reach)});
            const double least = std::min({share(k, l.place), share(k, l.place - reach), share(k, l.place + reach)});
            if (least < 0.5)
                continue;
            const double amplitude = std::sqrt(std::max(static_cast<double>(mag[k]), 0.0)) +
                                     std::sqrt(std::max(leakAll[static_cast<std::size_t>(k)], 0.0)) +
                                     std::sqrt(noiseReach);
            most = std::min(most, amplitude * amplitude / least);
        }
        return std::isfinite(most) ? most * kernelSum : HUGE_VAL;
    };
    // The least a harmonic's lobe holds as the same bins show it: in a bin holding more than the
    // leakage's and the noise's amplitudes allow, the harmonic's share is at least what is left
    // beyond them. Where the harmonic cancels a strong skirt in its other bins, the lobe as it
    // stands holds far less than the harmonic (and so does its own leakage modelled from it), and
    // its beat with that skirt is bounded by this least harmonic instead (a Bartlett tone 3.2 bins
    // up, its 2nd harmonic's peak bin under a skirt ten times as strong: the lobe read as a
    // twentieth of the harmonic, THD+N 2.3 dB low).
    // Taken at `place`, the line's own or a crowded neighbour's in the lobe's bins.
    auto leastByPeak = [&](const Lobe& l, double place) {
        const double reach = std::max(1, HarmonicOrder(place, fc)) * placeError;
        double peak = 0.0, kernelSum = 0.0;
        for (long k = l.a; k <= l.b; ++k) {
            if (owner[static_cast<std::size_t>(k)] != 2)
                continue;
            double top = 0.0, least = HUGE_VAL;
            for (double at : {place - reach, place, place + reach}) {
                const double h = LobeKernel(static_cast<double>(k) - at, W);
                top = std::max(top, h * h);
                least = std::min(least, h * h);
            }
            kernelSum += least;
            const double beyond = std::sqrt(std::max(static_cast<double>(mag[k]), 0.0)) -
                                  std::sqrt(std::max(leakAll[static_cast<std::size_t>(k)], 0.0)) - std::sqrt(noiseReach);
            if (least >= 0.25 && beyond > 0.0)
                peak = std::max(peak, beyond * beyond / top);
        }
        return peak * kernelSum;
    };
    // The length of a run window's run of equal samples (0 on other windows).
    const double run = RunWindow(windowType) ? RunLength(WindowShape()) : 0.0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Lobe& l = lobes[order[i]];
        // The typical content was read with the stronger harmonics' skirts still in the free bins
        // (through the triangular windows a harmonic on a bin fills every other bin far over the
        // noise): read again once they are modelled, before it turns a weaker harmonic away.
        // Left unmodelled and unbounded, a Bartlett tone's 4th harmonic, 26 dB over the band's
        // noise, put its skirt into the free bins beside its lobe: SNR 3.8 dB low.
        if (!(l.most > 100.0 * typical * (2 * W + 1)) && changed) {
            estimate();
            changed = false;
        }
        if (!(l.most > 100.0 * typical * (2 * W + 1)))
            break;
        // A harmonic's leakage and the tones' add or cancel by up to 2 sqrt(L H) in every bin,
        // by a phase that stays put from block to block: far more than H itself where the
        // harmonic is weak, and no noise.
        toneLeak = leakAll;
        std::fill(toneSpread.begin(), toneSpread.end(), 0.0);
        harmonicShape.v.clear();
        // A harmonic whose beats were fitted with the fundamental as the second line's: its
        // leakage is that fit's (fitted again beside the beats already taken, its lobe
        // was left too uncertain to model, and its skirt, a tenth of a force harmonic, went
        // missing: THD+N 0.4 dB low).
        const bool asSecond = secondFitted && second.shape.harmonic && second.leak.size() == bins &&
                              static_cast<long>(second.peak) >= l.a && static_cast<long>(second.peak) <= l.b;
        if (asSecond)
            for (UINT k = 0; k < bins; ++k) {
                toneLeak[k] += second.leak[k];
                toneSpread[k] = AllowanceFor(windowType).model * std::max(second.leak[k], 0.0);
            }
        // What is left of the fundamental's leakage is no harmonic to model.
        if (asSecond || (i < 10 && l.power > 10.0 * l.spread &&
            AddToneLeakage(static_cast<UINT>(l.centre), W, l.power, floor, toneLeak, toneSpread, nullptr, nullptr,
                           nullptr, &fundamentalShape, &harmonicShape, 0.0, turns(2 * HarmonicOrder(l.place, fc)),
                           turns(HarmonicOrder(l.place, fc) - 1), turns(HarmonicOrder(l.place, fc) + 1),
                           // Placed by its order where its own lobe tells its place poorly.
                           RunWindow(windowType) || FlatLobe(windowType) ? l.place : -1.0,
                           HarmonicOrder(l.place, fc) * placeError) > 0.0)) {
            // The leakage is scaled to what the lobe holds beyond the leakage under it, but the
            // two add or cancel there at a phase that stays put (a tone on a bin through the
            // Bartlett window leaks into every other harmonic's peak bin): the harmonic may hold
            // up to its `most` (or what its peak bins allow, where less), and all it leaks is
            // uncertain by that share.
            // Fitted as the second line, the harmonic may leave its lobe holding nothing beyond
            // that fit's leakage: its power is then the fit's (divided by what the lobe read, one
            // uniform block's share came out negative, and with it every bin's doubt: THD+N
            // 10 dB high).
            const double held = l.power > 0.0 ? l.power : asSecond ? second.power : 0.0;
            const double powerDoubt =
                held > 0.0 ? std::max(std::min(l.most, mostByPeak(l)) - l.power, 0.0) / held : 0.0;
            // Only the harmonic's own leakage is its power: its beats with the fundamental and the
            // other lines, modelled in the bins to read the noise there, are no part's power (over
            // a Bartlett tone's band they summed to as much as its 2nd harmonic: THD+N 2 dB high).
            const ToneShape& shape = asSecond ? second.shape : harmonicShape;
            const double skirt =
                OwnSkirtBeyondLobes(shape.v, shape.centre, shape.scale, toneLeak, leakAll, owner, from, hi);
            harmonicSkirt += skirt;
            harmonicSkirtDoubt += powerDoubt * std::abs(skirt);
            for (UINT k = 0; k < bins; ++k) {
                // The fit took the beat with the fundamental; with the other harmonics and DC's
                // skirt (Bartlett: both in every other bin, 40 dB over the noise) it is bounded.
                const double others = std::max(leakAll[k] - leak[k], 0.0) + std::max(dc[k], 0.0);
                const double own = std::max(toneLeak[k] - leakAll[k], 0.0);
                spreadAll[k] += toneSpread[k] + 2.0 * std::sqrt(others * own) + powerDoubt * own;
                leakAll[k] = toneLeak[k];
            }
            changed = true;
            continue;
        }
        // A harmonic not modelled leaks about as the fundamental does, scaled to its power:
        // that much of the bins around it is uncertain. Its skirt beats with the tone's (turning
        // h - 1 times as fast as the tone from block to block), its image's (h + 1) and the
        // offset's (h): the average keeps that much of each (bounded whole, a uniform tone's
        // unseen harmonics, each at the most its lobe could hide, summed to twice the leakage
        // model's doubt over the band: THD+N N/A where SNR read). What the modelled harmonics
        // leak beats with it whole.
        const double ratio = l.most / lobePower;
        const int unseenOrder = HarmonicOrder(l.place, fc);
        // Through a run window a line's far skirt follows the step its phase leaves at the run's
        // ends, and its image meets it there at that phase: the tone's own skirt is no measure of a
        // harmonic's where the two cancelled (a tone starting near a zero crossing leaks thousands
        // of times less far off than a line does on the whole). There the harmonic leaks as a line,
        // by the kernel's envelope, scaled to the most its lobe holds.
        double runPeak = 0.0;
        const double runDoubt = std::max(1, unseenOrder) * offsetError;
        if (run > 0.0) {
            double kernelSum = 0.0;
            for (long k = l.a; k <= l.b; ++k) {
                if (owner[static_cast<std::size_t>(k)] != 2)
                    continue;
                double least = HUGE_VAL;
                for (double at : {l.place - runDoubt, l.place, l.place + runDoubt}) {
                    const double kernel = RunKernel(static_cast<double>(k) - at, run, N);
                    least = std::min(least, kernel * kernel);
                }
                kernelSum += least;
            }
            runPeak = kernelSum > 0.0 ? l.most / kernelSum : l.most;
        }
        const double toneKept = std::max(turns(unseenOrder - 1), turns(unseenOrder + 1)),
                     offsetKept = offsetTurns(unseenOrder);
        for (UINT k = from; k <= hi; ++k) {
            // Below DC the fundamental has no leakage as far on that side: the window's
            // response is even, so it is read as far on the other side.
            const long long d = static_cast<long long>(k) - l.centre;
            const long long j = static_cast<long long>(k0) + d >= 0 ? static_cast<long long>(k0) + d
                                                                     : static_cast<long long>(k0) - d;
            if (run > 0.0 || j < static_cast<long long>(bins)) {
                // The fitted cross terms leave the leakage below nothing here and there.
                double h = j < static_cast<long long>(bins) ? ratio * std::max(leak[static_cast<std::size_t>(j)], 0.0) : 0.0;
                if (run > 0.0)
                    h = std::max(h, runPeak * RunSkirtShare(k, l.place, runDoubt, run, N));
                const double offsetPart = std::max(dc[k], 0.0), tonePart = std::max(leak[k] - dc[k], 0.0),
                             modelledPart = std::max(leakAll[k] - leak[k], 0.0);
                const double kept = toneKept * std::sqrt(tonePart) + offsetKept * std::sqrt(offsetPart) +
                                    std::sqrt(modelledPart);
                spreadAll[k] += h + 2.0 * std::sqrt(h) * std::min(std::sqrt(std::max(leakAll[k], 0.0)), kept);
            }
        }
        changed = true;
    }
    if (changed)
        estimate();

    // How much the noise in a run of m bins scatters, as a share of its mean power: measured
    // on the free bins themselves, since the averaging, the blocks' overlap and the window all
    // set it (three blocks averaged at 90 % overlap scatter nearly as much as one block).
    std::vector<double> scatter(static_cast<std::size_t>(widest) + 1, 1.0);
    int measured = 0;
    std::vector<double> sharedScatter;
    auto runShared = [&]() -> const std::vector<double>& {
        if (sharedScatter.empty())
            sharedScatter = SharedRunScatter(shape, widest);
        return sharedScatter;
    };
    std::vector<double> prefix;
    std::vector<std::size_t> spurs;
    try {
        prefix.assign(free.size() + 1, 0.0);
        spurs.assign(free.size() + 1, 0);
    } catch (const std::bad_alloc&) {
        return Parts{};
    }
    for (std::size_t i = 0; i < free.size(); ++i) {
        prefix[i + 1] = prefix[i] + free[i];
        spurs[i + 1] = spurs[i] + (spur(i) ? 1 : 0);
    }
    if (typical > 0.0) {
        for (int m = 1; m <= widest; ++m) {
            double sum = 0.0, sumSq = 0.0;
            std::size_t runs = 0;
            for (std::size_t i = 0; i + m <= free.size(); ++i) {
                if (freeBin[i + m - 1] - freeBin[i] != static_cast<UINT>(m - 1) || spurs[i + m] != spurs[i])
                    continue;
                const double run = prefix[i + m] - prefix[i];
                sum += run;
                sumSq += run * run;
                ++runs;
            }
            if (runs >= 16) {
                measured = m;
                const double mean = sum / runs;
                if (mean > 0.0)
                    scatter[static_cast<std::size_t>(m)] = std::max((sumSq / runs - mean * mean) / (mean * mean), 1e-4);
            } else if (m > 1) {
                // Too few runs to tell: as the window shares the noise between neighbouring bins
                // (taken as independent bins, a lobe of one exponential block's noise, its 17 bins
                // sharing it with their neighbours, read as a tone).
                scatter[static_cast<std::size_t>(m)] = scatter[1] * runShared()[static_cast<std::size_t>(m)];
            }
        }
    }
    // With no free bins to measure runs on, a lobe of noise scatters as one block's, shared as
    // the window shares it.
    const double lobeScatter = typical > 0.0 ? scatter[static_cast<std::size_t>(widest)]
                                             : runShared()[static_cast<std::size_t>(widest)];
    auto noiseDeviation = [&](int m) {
        m = std::clamp(m, 1, widest);
        return typical * m * std::sqrt(scatter[static_cast<std::size_t>(m)]);
    };

    // A harmonic counts where it stands out from the noise at its place: by four standard
    // deviations of the noise in its bins, beyond what the leakage taken away leaves
    // uncertain. Those that don't add nothing but the power they might hold unseen: what they
    // read above the noise (never less than nothing) and two deviations of their sum.
    const UINT bandBins = hi - bandLo + 1;
    const double blocks = std::clamp(1.0 / scatter[1], 1.0, BlocksCounted());
    // The noise's beat with the leakage under a harmonic's lobe narrows with the blocks averaged.
    // The free bins' scatter tells how many count, but under a far skirt they hold that beat too
    // (2 L N a bin for one block, beside the noise's own N^2): read as the noise's scatter alone,
    // a Gaussian tone's skirt over the band counted a fifth of its blocks, and the 2nd harmonic
    // that could hide under it was bounded twice too wide (THD+N N/A where SNR read). Read from a
    // few dozen bins at least, and no more than the blocks' weights allow ((sum w)^2 / sum w^2,
    // which counts an exponential average's blocks nearly twice) or the blocks averaged.
    double beatBlocks = blocks;
    if (typical > 0.0) {
        double seenScatter = 0.0, expectedScatter = 0.0;
        std::size_t counted = 0;
        for (std::size_t i = 0; i < free.size(); ++i) {
            if (spur(i))
                continue;
            const double d = free[i] - typical;
            seenScatter += d * d;
            expectedScatter += typical * (typical + 2.0 * std::max(leakAll[freeBin[i]], 0.0));
            ++counted;
        }
        double weights = 0.0, squares = 0.0;
        for (const BlockPhase& b : blockPhases) {
            weights += b.weight;
            squares += b.weight * b.weight;
        }
        const double most = std::max(BlocksCounted(), squares > 0.0 ? weights * weights / squares : 0.0);
        if (counted >= 32 && seenScatter > 0.0)
            beatBlocks = std::clamp(expectedScatter / seenScatter, blocks, std::max(blocks, most));
    }
    double harmonicPower = 0.0, unseenExcess = 0.0, unseenVariance = 0.0, noiseCrossVariance = 0.0;
    // The noise in each lobe is its own: the found harmonics' scatter adds to the unseen ones'
    // as variances (summed as bounds, three harmonics 15 dB over the noise read N/A).
    double foundVariance = 0.0;
    // A harmonic's lobe holds only part of its power, the less the further its place lies from
    // the lobe's centre bin (a uniform window's three bins hold 85 % half a bin off: THD read
    // 0.12 dB low on average). The rest, spread over the band, is no part of the lobe but of
    // the harmonic: THD takes it back by the window's response at the harmonic's place.
    double windowEnergy = 0.0;
    for (double v : WindowShape())
        windowEnergy += v * v;
    // The share at a place `d` bins from the lobe's centre; 0 where it is not known.
    auto shareAt = [&](double d) {
        double sum = 0.0;
        for (int m = -W; m <= W; ++m)
            sum += LobeResponse(m - d, W);
        const double share = windowEnergy > 0.0 ? sum / (N * windowEnergy) : 0.0;
        return share > 0.5 && share <= 1.0 ? share : 0.0;
    };
    auto lobeShare = [&](const Lobe& l) {
        const double share = shareAt(l.place - static_cast<double>(l.centre));
        return share > 0.0 && share < 1.0 ? share : 1.0;
    };
    // What the share taken back may be off by, as a share of the harmonic's power: as far as
    // the harmonic's place is known (h times the fundamental's), no more. Where the share is
    // not known, all that the lobe may miss (a leaky window's lobe misses 9-14 %: allowing it
    // all kept THD N/A for half the clear readings of the force window).
    auto shareDoubt = [&](const Lobe& l) {
        const double d = l.place - static_cast<double>(l.centre), s0 = shareAt(d);
        if (!(s0 > 0.0))
            return 1.0 - LeastLobeShare(W);
        const double reach = std::max(1.0, std::round(l.place / fc)) * placeError;
        double doubt = 0.0;
        for (int i = -4; i <= 4; ++i) {
            const double s = shareAt(d + reach * i / 4.0);
            doubt = std::max(doubt, s > 0.0 ? std::abs(s0 / s - 1.0) : 1.0 - LeastLobeShare(W));
        }
        return doubt;
    };
    // A harmonic meets its own mirror image in its lobe at a phase the average may keep: near the
    // band's top an exponential window's image skirt stands a tenth of the harmonic there in
    // amplitude, and the lobe read as the harmonic's power put THD 1 dB low. Only the leaky
    // windows' skirts reach that far: the most the beat may move the lobe, as a share of what it
    // holds.
    auto imageBeat = [&](const Lobe& l) {
        if (!LeakyWindow(windowType))
            return 0.0;
        const double kept = turns(2 * HarmonicOrder(l.place, fc));
        const std::vector<double>& w = WindowShape();
        if (!(kept > 0.0) || w.size() != N || l.a > l.b)
            return 0.0;
        // The image lies at -place, N - place in the band's terms: its skirt falls away from the
        // nearest bin, where one transform bounds it over the whole lobe.
        auto fromImage = [&](long k) {
            const double x = std::fmod(static_cast<double>(k) + l.place, static_cast<double>(N));
            return std::min(x, static_cast<double>(N) - x);
        };
        const long nearest = fromImage(l.a) <= fromImage(l.b) ? l.a : l.b;
        const bool far = fromImage(nearest) > W + 1.0;
        const double imageMost = far ? ResponseAt(w, fromImage(nearest)) : 0.0;
        double own = 0.0, beat = 0.0;
        for (long k = l.a; k <= l.b; ++k) {
            if (owner[static_cast<std::size_t>(k)] != 2)
                continue;
            const double r = LobeResponse(static_cast<double>(k) - l.place, W);
            own += r;
            beat += std::sqrt(r * (far ? imageMost : ResponseAt(w, static_cast<double>(k) + l.place)));
        }
        return own > 0.0 ? 2.0 * kept * beat / own : 0.0;
    };
    double lobeContent = 0.0, lobeDoubt = 0.0, standingCrossVariance = 0.0, lobeNoiseVariance = 0.0;
    // What the fundamental's fitted beats' own deviation adds to the doubts summed here, and how
    // the bins so counted weigh each fitted term.
    double lobeBeatNoise = 0.0, beatWeight[kLeakColumns] = {};
    // What the fitted beats' deviation widens the bounds of harmonics that may hide unseen by:
    // each a bound either way, so they add as they stand, never cancelling in the weighed sum.
    double unseenBeatNoise = 0.0;
    // What harmonics hiding unseen under the leakage may hold beyond that: whether one is there
    // has nothing to do with how well the leakage is modelled.
    double lobeHidden = 0.0;
    std::vector<double> withoutBeat;
    auto weighBeat = [&](UINT k, double weight) {
        for (int a = 1; a < kLeakColumns; ++a)
            beatWeight[a] += weight * beats.beatRows[static_cast<std::size_t>(k) * kLeakColumns + a];
    };
    const double beatFactor = NoiseBeatFactor(WindowShape());
    // Everything but the tone reads a harmonic's lobe with the leakage's doubt as the free bins
    // around it show it: the leakage's error changes along the skirt (steep beside the tone,
    // flat far out), so only those within a few lobes' widths tell. A tone whose lobe reaches
    // DC's has too few such bins of its kind.
    auto spreadUsedAt = [&](const Lobe& l) {
        // Where the noise is read as nothing, only a settled average tells the model's error from
        // the noise in the free bins (one uniform block of a tone between bins, its leakage in
        // every bin: the share read there let the misfit in a harmonic's lobe pass for the
        // harmonic, THD 7 dB high).
        constexpr double kSettledBlocks = 8.0;
        if (k0 <= static_cast<UINT>(W + 1) || (!(typical > 0.0) && averaged < kSettledBlocks))
            return 1.0;
        double least = HUGE_VAL, most = 0.0;
        for (long k = l.a; k <= l.b; ++k)
            if (owner[static_cast<std::size_t>(k)] == 2) {
                least = std::min(least, leak[static_cast<std::size_t>(k)]);
                most = std::max(most, leak[static_cast<std::size_t>(k)]);
            }
        const long reach = 4L * W;
        return LeakageSpreadUsed(mag, owner, static_cast<UINT>(std::max<long>(from, l.a - reach)),
                                 static_cast<UINT>(std::min<long>(hi, l.b + reach)), leakAll, spread, typical,
                                 scatter[1], blocks, least, most);
    };
    const double leakScatter = LeakageBeatScatter(freeBin, leakAll, typical);
    // Bins whose whole content the lobes above count as it stands (the typical content taken
    // off them comes back in the noise).
    UINT measuredBins = 0;
    bool fundamentalKernel = false;
    // The tone's kernel, and its and its image's parts in quadrature where the window is not quite
    // symmetric.
    std::vector<double> kernel, quadrature, imageQuadrature, leakDoubt, imageKernel, offsetKernel;
    // The offset's kernel for the bounds on hidden harmonics, tried once.
    std::vector<double> offsetSigns;
    const std::vector<double> noSigns;
    bool offsetSignsTried = false;
    double kernelError = 0.0;
    // On the leaky windows the harmonic's beats with the fundamental and its image are fitted
    // from the window's complex transform; what the average keeps of each needs no bound then.
    bool leakyFit = false;
    double leakyBound = HUGE_VAL;
    auto leakyTurns = [&](int h) { return BeatTurns{turns(h - 1), turns(h + 1), turns(h)}; };
    auto FitLeakyHarmonic = [&](const Lobe& l) {
        const int h = HarmonicOrder(l.place, fc);
        leakyBound = CoherentBeat(l.a, l.b, l.place, fc, parts.fundamental, owner, leak, typical, leakyTurns(h), dc);
        const HarmonicFit got = FitHarmonicBesideLeakyTone(l.a, l.b, l.place, fc, parts.fundamental, owner, leak, typical,
                                                           typical * typical * scatter[1], blocks, leakyTurns(h), dc,
                                                           &leakDoubt, leakScatter);
        leakyFit = got.fitted;
        return got;
    };
    // A harmonic's power at its peak as the bins it took show it, and what its neighbours' peaks
    // put into those bins: a weak neighbour's skirt does not keep a lobe from being fitted.
    auto lobePeak = [](const Lobe& l) { return l.taken > 0.0 ? std::max(l.power, 0.0) / l.taken : 0.0; };
    auto sharedPower = [&](const Lobe& l, const std::vector<Lobe>& all, double step) {
        double sum = 0.0;
        for (const Lobe& n : all) {
            if (std::abs(n.place - (l.place - step)) < 0.5)
                sum += l.sharedBelow * lobePeak(n);
            else if (std::abs(n.place - (l.place + step)) < 0.5)
                sum += l.sharedAbove * lobePeak(n);
        }
        return sum;
    };
    // The noise a lobe's bins hold: the typical content, or where the noise is a generated tone's
    // rounding, the lines on its bins (the line on a harmonic's place is a part of the harmonic;
    // taken as noise, a tone on bin 4 read SNR 1.4 dB low).
    auto lobeNoise = [&](const Lobe& l) { return lines ? perLine * l.noiseLines : typical * l.bins; };
    // The neighbours' skirts over a lobe with their noise left out, and their roots summed (at
    // one phase they add as amplitudes).
    auto neighbourSkirts = [&](const Lobe& l, double step) {
        std::pair<double, double> skirts{0.0, 0.0};
        for (const Lobe& n : lobes) {
            const double below = std::abs(n.place - (l.place - step)) < 0.5 ? l.sharedBelow : 0.0,
                         above = std::abs(n.place - (l.place + step)) < 0.5 ? l.sharedAbove : 0.0;
            const double peak = n.taken > 0.0 ? std::max(n.power - lobeNoise(n), 0.0) / n.taken : 0.0;
            skirts.first += (below + above) * peak;
            skirts.second += std::sqrt((below + above) * peak);
        }
        return skirts;
    };
    std::vector<double> ownHeld;
    // The owners with the bins a lobe shares with a neighbour (as near the other's place as its
    // own) given up; the owners themselves where it shares none.
    std::vector<unsigned char> crowdedOwner;
    auto sharedWith = [&](const Lobe& l, const Lobe& o, long k) {
        return &o != &l && owner[static_cast<std::size_t>(k)] == 2 &&
               std::abs(static_cast<double>(k) - o.place) <= std::abs(static_cast<double>(k) - l.place) + 0.01;
    };
    auto ownNearest = [&](const Lobe& l) -> const std::vector<unsigned char>& {
        bool crowded = false;
        for (const Lobe& o : lobes)
            for (long k = l.a; k <= l.b; ++k)
                if (sharedWith(l, o, k)) {
                    if (!crowded)
                        crowdedOwner = owner;
                    crowded = true;
                    crowdedOwner[static_cast<std::size_t>(k)] = 0;
                }
        return crowded ? crowdedOwner : owner;
    };
    // Lines standing clear in the free bins (a pair's products, hum) leak into the harmonics'
    // lobes as the second line does, unmodelled: THD bounds what their skirts may put there (a
    // product 33 dB under a pair's weaker tone, six bins from the 2nd harmonic's place, read as
    // that harmonic). A line holding less than the noise of a few lobes puts nothing that counts.
    // Where the free bins' typical content reads nothing (the leakage taken away outweighed the
    // noise), their median stands for the noise, and a line must stand as far above what the
    // leakage taken away leaves uncertain in its bins: a force tone's skirt, barely falling, is
    // no line of its own (unchecked, a triangular CCIF pair's sum product 11.6 bins above the high
    // tone's 2nd harmonic read THD -92 dB where there is none).
    {
        const std::vector<double>& envelope = SkirtEnvelope();
        constexpr double kStandingLine = 10.0;
        const bool byMedian = !(typical > 0.0);
        const double lineNoise = byMedian ? noiseRef : typical;
        auto clean = [&](UINT k) {
            return static_cast<double>(mag[k]) - leakAll[k] - (secondApart ? second.leak[k] : 0.0);
        };
        std::vector<std::pair<long, double>> others;
        if (envelope.size() == bins && lineNoise > 0.0 && !lobes.empty()) {
            for (UINT k = std::max<UINT>(from, static_cast<UINT>(2 * W + 1)); k <= hi && k + W + 1 < bins; ++k) {
                bool free = true;
                for (UINT j = k - W; j <= k + W && free; ++j)
                    free = owner[j] == 0;
                const double power = free && StandsAsLobe(clean, k, W, bins) ? LobeSum(clean, k, W) : 0.0;
                double doubt = 0.0;
                for (UINT j = k - W; byMedian && j <= k + W; ++j)
                    doubt += spreadAll[j];
                if (power > kStandingLine * std::max(lineNoise * (2 * W + 1), doubt))
                    others.emplace_back(static_cast<long>(k), power);
            }
        }
        for (Lobe& l : lobes)
            for (long k = l.a; k <= l.b; ++k)
                if (owner[static_cast<std::size_t>(k)] == 2)
                    for (const auto& [peak, power] : others)
                        l.otherSkirts += power * envelope[static_cast<std::size_t>(std::labs(k - peak))];
    }
    for (const Lobe& l : lobes) {
        const double spreadUsed = spreadUsedAt(l);
        // What the fundamental's lobe took of a harmonic's is read from the rest of its lobe
        // by the window's shape, where the rest holds most of it; past that it is hidden.
        // Only where its neighbours' skirts are a small part of its bins: it is read on from
        // its own part alone, and where they are not, the part unseen is all doubt.
        const double seen = l.whole > 0.0 ? 1.0 - l.underFundamental / l.whole : 1.0;
        const double shared = sharedPower(l, lobes, fc);
        auto apartAt = [&](double peak) {
            return shared <= (1.0 - kWholeLobe) * peak * l.whole &&
                   std::none_of(crowded.begin(), crowded.end(), [&](double p) {
                       return p >= static_cast<double>(l.a - W) && p <= static_cast<double>(l.b + W);
                   });
        };
        const bool apart = apartAt(lobePeak(l));
        // A harmonic just inside the band's edge has part of its lobe past it: that part is read
        // on from the bins it has, as the part the fundamental took is.
        const double inBand = seen - (l.whole > 0.0 ? l.beyondBand / l.whole : 0.0);
        const double widen = inBand >= 0.5 && apart ? 1.0 / inBand : 1.0;
        const double own = std::max(l.power - lobeNoise(l) - shared, 0.0);
        double excess = l.power - lobeNoise(l) + own * (widen - 1.0);
        // The harmonic beats with the noise in its bins as the leakage does: 2 Re(H N*), by a
        // phase the noise sets anew in every block but that the window shares over the lobe
        // (see NoiseBeatFactor; bounding it as if the bins' beats met at one phase read it
        // 1.6 times too wide, and clear harmonics N/A). Without the window's shape, so bounded.
        double beat = 0.0;
        for (long k = l.a; k <= l.b; ++k)
            if (owner[static_cast<std::size_t>(k)] == 2)
                beat += std::sqrt(std::max(mag[k] - leak[k] - typical, 0.0));
        // That beat grows with the harmonic's own power, not with what the lobe reads: a lobe
        // the beat left low would understate its own doubt (one Kaiser 2nd harmonic 23 dB over a
        // bin's noise, five blocks' worth, read 22 % low, its doubt taken from that reading just
        // inside a fifth: THD 1.1 dB low). It is taken at the most the harmonic may hold, its
        // reading and two deviations of its beat.
        const double beatShare = beatFactor / std::max(1.0, kBeatBlocksShare * blocks);
        const double lobeHeld = std::max(l.power - lobeNoise(l), 0.0);
        const double noiseBeat = beatFactor > 0.0
                                     ? beatShare * (lobeHeld + 2.0 * std::sqrt(2.0 * typical * beatShare * lobeHeld))
                                     : beat * beat / std::max(1.0, blocks / 2.0);
        double leakBeat = 0.0;
        for (long k = l.a; k <= l.b; ++k)
            if (owner[static_cast<std::size_t>(k)] == 2)
                leakBeat += std::sqrt(std::max(leak[k], 0.0) * leakScatter);
        const double beatVariance = 2.0 * typical * noiseBeat + leakBeat * leakBeat;
        const double deviation = widen * std::sqrt(noiseDeviation(l.bins) * noiseDeviation(l.bins) + beatVariance);
        // Only where the harmonics keep their phases (a tone on a bin) and no second tone leaves its
        // skirt off their places (the lobes beside it then fall short of what the neighbours' peaks
        // say).
        const auto [skirts, skirtRoots] = neighbourSkirts(l, fc);
        ownHeld.push_back(!onBin || second.peak != 0 ? own
                                                      : CrowdedLobeHeld(own, l.power - lobeNoise(l), skirts, skirtRoots,
                                                                        4.0 * deviation + 2.0 * l.spread));
        // The part read from the window's shape is as good as the shape at the harmonic's
        // place (a tenth); a part mostly hidden is not read at all.
        double hidden = widen > 1.0 ? 0.1 * own * (widen - 1.0)
                                    : (own + 2.0 * deviation) * (1.0 - seen) / std::max(seen, 1e-3);
        // A second harmonic mostly under the lobe of a tone beside DC was fitted with the tone and
        // the offset: it is read from that fit, not guessed from the sliver its own bins show (a
        // Parzen tone 3.6 bins up: THD+N 1 dB low, the harmonic's doubt read from that sliver).
        // Its beat with the leakage was fitted too, and the sliver's own is no part of it.
        // The fit must hold what the harmonic's own bins show, its beat with the tone there too
        // (one block keeps it whole: a Parzen tone 4.5 bins up, its sliver a third above the
        // harmonic's share alone, was refused and THD+N read N/A); a neighbour's skirt, which that
        // fit does not take, bends it (a flat-top THD 5 dB low beside a strong 3rd harmonic).
        // A sliver of half the lobe or more is read widened by the shape, its beat with the tone
        // only bounded (a Parzen tone 4.3 bins up: THD+N N/A): the fit is read there too where
        // the sliver holds it.
        const bool fittedWithDc =
            secondFit.fitted && seen < kSeenToFit && HarmonicOrder(l.place, fc) == 2 && secondFit.second > 0.0;
        const auto [sliverHeld, sliverDoubt] = fittedWithDc ? secondFit.SecondHeldIn(l.a, l.b, owner)
                                                            : std::pair<double, double>{0.0, 0.0};
        const bool fitHoldsSliver =
            fittedWithDc && std::abs(own - sliverHeld) <= 2.0 * deviation / widen + sliverDoubt +
                                                              AllowanceFor(windowType).crossFit * std::abs(sliverHeld);
        const bool fromDcFit = fittedWithDc && (seen < 0.5 || fitHoldsSliver);
        // A crowded neighbour (the 3rd harmonic, its bins taken by this lobe) whose place lies in
        // the sliver: the share of its lobe the fundamental's does not cover.
        double neighbourSeen = 0.0;
        for (double p : crowded) {
            if (!fromDcFit || fitHoldsSliver || p < static_cast<double>(l.a) || p > static_cast<double>(l.b))
                continue;
            double all = 0.0, under = 0.0;
            for (long k = std::max<long>(1, std::lround(p) - W); k <= std::lround(p) + W && k < static_cast<long>(bins); ++k) {
                const double kernel = LobeKernel(static_cast<double>(k) - p, W);
                all += kernel * kernel;
                under += owner[static_cast<std::size_t>(k)] == 1 ? kernel * kernel : 0.0;
            }
            const double neighbour = all > 0.0 ? 1.0 - under / all : 0.0;
            neighbourSeen = neighbourSeen > 0.0 ? std::min(neighbourSeen, neighbour) : neighbour;
        }
        const bool neighbourInSliver = neighbourSeen >= kSeenToFit;
        // What the sliver holds beyond the fit's share (its beat with the tone too, which may take
        // from the bins) is another line's, a crowded neighbour's whose peak lies in these bins:
        // it counts as it stands (dropped with the sliver, a 3rd harmonic 34 dB down went missing).
        // What the sliver may hide beyond it is still widened below: left out, one Gaussian block
        // of a tone 3.5 bins up read THD 2.5 dB high.
        // The fit with the offset takes no neighbour, whose skirt and its beat with the tone's in
        // the bins that fit reads may pass for this harmonic: where the neighbour stands in the
        // sliver, the two readings may be one line counted twice, as uncertain as the smaller
        // (a Gaussian tone on bin 3, its 3rd harmonic in the 2nd's sliver: THD+N 4.4 dB high).
        if (fromDcFit) {
            excess = secondFit.second / secondFit.tone * parts.fundamental * lobeShare(l);
            hidden = excess * (2.0 * secondFit.secondDeviation / secondFit.second + AllowanceFor(windowType).model);
            if (!fitHoldsSliver) {
                const double beyond = std::max(l.power - lobeNoise(l) - shared - sliverHeld, 0.0);
                if (neighbourInSliver)
                    hidden += std::min(std::max(excess, 0.0), beyond);
                excess += beyond;
            }
        }
        // Where that fit tried the harmonic's columns and it did not show, the most it could hold
        // bounds what hides under the tone's lobe (a Parzen tone 3.5 bins up: the skirts of the
        // harmonics above in the sliver, widened seventyfold, kept THD+N N/A).
        // The same bound holds for what the lobe may hide unseen where it is read with the
        // offset's and the tone's skirts (see readApart): its bins hold their misfit, and that
        // misfit's doubt, counted whole, kept THD+N N/A for Parzen tones 4.5-5 bins up with no
        // second harmonic beside an offset of 7 %.
        const double triedMost =
            secondFit.fitted && !fromDcFit && HarmonicOrder(l.place, fc) == 2 && std::isfinite(secondFit.secondMost)
                ? secondFit.secondMost / secondFit.tone * parts.fundamental * lobeShare(l) *
                      (1.0 + AllowanceFor(windowType).model)
                : HUGE_VAL;
        const double hiddenMost = seen < 0.5 ? triedMost : HUGE_VAL;
        // Where that fit refused the harmonic's columns, it may have taken the part under the tone's
        // lobe into its own: the sliver's reading bounds no part of that (see FitBesideDc).
        const double unreadLeast = secondFit.fitted && !fromDcFit && HarmonicOrder(l.place, fc) == 2 && seen < kSeenToFit
                                       ? secondFit.secondUnread * parts.fundamental * lobeShare(l) * (1.0 - seen)
                                       : 0.0;
        // That fit bounds this harmonic alone: a crowded neighbour whose place lies in the lobe's
        // bins (its own lobe not listed) leaves its power there too, and the lobe is read as it
        // stands (bounded by the fit, a Gaussian 3rd harmonic in a 2nd's lobe went missing from
        // THD+N: 1.3 dB low).
        const bool holdsNeighbour = std::any_of(crowded.begin(), crowded.end(), [&](double p) {
            return p >= static_cast<double>(l.a) - 0.5 && p <= static_cast<double>(l.b) + 0.5;
        });
        const double wholeMost = holdsNeighbour ? HUGE_VAL : triedMost;
        // The fundamental's leakage and a harmonic meet at one phase in every block when both
        // stay put between blocks: they may add or cancel. With noise the phase changes from
        // block to block, and the average over the blocks narrows it.
        // With a harmonic the phase is the same in every bin of its lobe; with the noise it
        // is another in every bin, so those parts add as variances.
        // The fitted cross terms leave the leakage a little below nothing in some bins: no beat
        // there (its root made every bound of the harmonic NaN, and THD N/A).
        auto leakIn = [&](long k) { return std::max(leak[static_cast<std::size_t>(k)], 0.0); };
        // On a window that leaks far, leakage fitted well below nothing on a harmonic's peak took
        // part of the harmonic into its beats: it is off by at least its size, and the harmonic
        // beats with that much (bounded by nothing there, one force block's 2nd harmonic was read
        // as it stood, its beat with the tone's skirt and image kept whole: THD 1.4 dB high).
        auto beatPartner = [&](long k) {
            const double v = leak[static_cast<std::size_t>(k)];
            return LeakyWindow(windowType) ? std::abs(v) : std::max(v, 0.0);
        };
        // The noise's beat with the tone's skirt turns from block to block against the noise the
        // blocks share: the average keeps less of it than of the noise's own scatter (taken as
        // that, a Hann tone 122 dB over its noise at 90 % overlap read THD+N N/A where SNR read).
        double skirtBlocks = blocks;
        if (blocks > 1.0 && !blockPhases.empty() && !LeakyWindow(windowType)) {
            try {
                if (!fundamentalKernel) {
                    fundamentalKernel = true;
                    kernel = ShiftedKernel(fc, &kernelError, &quadrature);
                }
                skirtBlocks = SkirtBeatBlocks(l.a, l.b, l.place, k0, fc, owner, leak, kernel,
                                              TonePeak(kernel, k0, W, lobePower), typical, blocks, phaseError);
            } catch (const std::bad_alloc&) {
                skirtBlocks = blocks;
            }
        }
        double crossSpread = 0.0, crossVariance = 0.0;
        for (long k = l.a; k <= l.b; ++k) {
            if (owner[static_cast<std::size_t>(k)] != 2)
                continue;
            const double content = std::max(mag[k] - leak[k], 0.0);
            crossSpread += 2.0 * std::sqrt(beatPartner(k) * std::max(content - typical, 0.0));
            crossVariance += leakIn(k) * std::min(content, typical) / skirtBlocks;
        }
        // Where the two cancel, the bins beside the harmonic's place hold less than the
        // leakage alone and say nothing of the harmonic: what they may add or cancel by is
        // taken with the harmonic's power as the bin its beat moves least gives it (a real
        // kernel meets the skirt at one phase over the lobe, each bin moved by its leakage per
        // share of the harmonic). Not the strongest bin: through the triangular windows the
        // skirts fill every other bin, and a harmonic's peak bin may cancel one there while the
        // bin beside it, nearly free of it, shows the harmonic whole (one triangular block beside
        // a 7 % offset, its 3rd harmonic read as a fifth of itself: THD+N 1.6 dB low). Where the
        // kernel is not real about the block's middle that bin may be the one where they cancel: a
        // force harmonic on a bin meets the tone's skirt only there, its neighbours holding its part
        // in quadrature (read as nothing, a clear 8th harmonic went missing and THD read 1.2 dB
        // low); there the most any bin holding a fair share of the lobe gives serves.
        {
            const bool realKernel = KernelAboutMiddle(WindowShape());
            double peak = 0.0, leastMoved = HUGE_VAL;
            for (long k = l.a; k <= l.b; ++k) {
                if (owner[static_cast<std::size_t>(k)] != 2)
                    continue;
                const double share = LobePowerShare(static_cast<double>(k) - l.place, W);
                if (share <= 0.25)
                    continue;
                const double implied = std::max(mag[k] - leak[k] - typical, 0.0) / share;
                const double moved = beatPartner(k) / share;
                if (!realKernel)
                    peak = std::max(peak, implied);
                else if (moved < leastMoved) {
                    leastMoved = moved;
                    peak = implied;
                }
            }
            if (peak > 0.0) {
                double beside = 0.0;
                for (long k = l.a; k <= l.b; ++k) {
                    if (owner[static_cast<std::size_t>(k)] != 2)
                        continue;
                    beside += 2.0 * std::sqrt(beatPartner(k) * peak * LobePowerShare(static_cast<double>(k) - l.place, W));
                }
                // Where that bin holds next to no leakage, the harmonic it shows is clear of its beat,
                // and so bounds the beat in every other bin; what those bins hold beyond the leakage is
                // the beat itself, not more harmonic to beat with (a Parzen harmonic on a bin, the
                // tone's and an offset's skirts between its nulls: THD and THD+N N/A where clear).
                constexpr double kClearBeat = 0.05;
                const bool peakClear = realKernel && 2.0 * std::sqrt(leastMoved * peak) <= kClearBeat * peak;
                crossSpread = peakClear ? beside : std::max(crossSpread, beside);
            }
        }
        // Through the triangular windows a harmonic meets the tone's skirt at one phase over its
        // whole lobe, and in one block may cancel it there: its bins then all hold less than the
        // leakage, and nothing stands out to bound a beat by (read as the shortfall it left, one
        // Bartlett block's 2nd harmonic 62 dB down went missing, THD+N 1.5 dB low). A shortfall
        // beyond the noise, its beat with the leakage and the leakage's doubt is such a beat, at
        // least that large: the harmonic is fitted with it. Beside the tone the leakage's misfit
        // leaves a few hundredths of it short now and then, more than its doubt allows (fitted,
        // that shortfall made a harmonic where none was, and THD+N that read right N/A): a
        // harmonic's is a fair share of the leakage.
        bool shortfallFit = false;
        if (TriangularWindow(windowType) && crossSpread == 0.0) {
            double shortBy = 0.0, leakNoise = 0.0, lobeLeakage = 0.0;
            for (long k = l.a; k <= l.b; ++k)
                if (owner[static_cast<std::size_t>(k)] == 2) {
                    shortBy += std::max(leak[k] - mag[k] - typical, 0.0);
                    leakNoise += 2.0 * std::max(leak[k], 0.0) * typical / blocks;
                    lobeLeakage += std::max(leak[k], 0.0);
                }
            constexpr double kCancelledShare = 0.25;
            if (!fromDcFit && shortBy > 2.0 * (deviation + std::sqrt(leakNoise)) + l.spread &&
                shortBy > kCancelledShare * lobeLeakage) {
                crossSpread = shortBy;
                shortfallFit = true;
            }
        }
        if (fromDcFit)
            crossSpread = 0.0;
        // Where the harmonic's part in the fundamental's leakage can be fitted, it is no
        // longer what the harmonic may be off by.
        const double hiddenBeforeFit = hidden;
        HarmonicFit fit;
        leakyFit = false;
        if (crossSpread > 0.0) {
            try {
                if (!fundamentalKernel) {
                    fundamentalKernel = true;
                    kernel = ShiftedKernel(fc, &kernelError, &quadrature);
                }
                if (kernelError > 0.0 && imageQuadrature.empty())
                    ShiftedKernel(-fc, nullptr, &imageQuadrature);
                if (imageKernel.empty())
                    imageKernel = ShiftedKernel(-fc);
                leakDoubt.resize(bins);
                for (long k = l.a; k <= l.b; ++k) {
                    const std::size_t i = static_cast<std::size_t>(k);
                    leakDoubt[i] = spreadUsed * std::max(spread[i] - mirrorCross[i], 0.0);
                }
                // Only a lobe of its own: crowded ones hold their neighbours' beats too.
                if (LeakyWindow(windowType) && seen >= 1.0 && apart)
                    fit = FitLeakyHarmonic(l);
                // A bin as near a neighbouring harmonic's place as to this one's holds that one's
                // skirt as much as this one's, which the fit's two columns can't take: it is left
                // out of the fit (kept, a Gaussian tone on bin 8 had its 2nd harmonic's fit bent
                // past what its beat allows by its 3rd's lobe edge, refused, and THD read N/A).
                const std::vector<unsigned char>& fitOwner = ownNearest(l);
                // The offset's signs over the lobe, where its kernel is real and exact.
                if (offsetKernel.empty() && !LeakyWindow(windowType) && !TriangularWindow(windowType) &&
                    KernelAboutMiddle(WindowShape()) && dc.size() == bins && dc[0] > 0.0) {
                    double asymmetry = 0.0;
                    offsetKernel = ShiftedKernel(0.0, &asymmetry);
                    if (asymmetry > 0.0)
                        offsetKernel.clear();
                }
                if (!fit.fitted) {
                    fit = FitHarmonicOnLeakage(l.a, l.b, l.place, kernel, fitOwner, leak, typical,
                                               typical * typical * scatter[1], skirtBlocks, kernelError, &leakDoubt, &dc,
                                               offsetTurns(HarmonicOrder(l.place, fc)), leakScatter, &quadrature,
                                               &imageKernel, &imageQuadrature,
                                               TonePeak(kernel, k0, W, lobePower), offsetTurns(HarmonicOrder(l.place, fc) - 1),
                                               BeatCoherence(k0, HarmonicOrder(l.place, fc) + 1, phaseError),
                                               offsetKernel.empty() ? nullptr : &offsetKernel);
                    // Read over fewer bins, it still stands for every bin the lobe owns.
                    if (fit.fitted && &fitOwner != &owner) {
                        double all = 0.0, used = 0.0;
                        for (long k = l.a; k <= l.b; ++k) {
                            const double h = LobeKernel(static_cast<double>(k) - l.place, W);
                            all += owner[static_cast<std::size_t>(k)] == 2 ? h * h : 0.0;
                            used += fitOwner[static_cast<std::size_t>(k)] == 2 ? h * h : 0.0;
                        }
                        const double r = used > 0.0 ? all / used : 1.0;
                        fit.power *= r;
                        fit.deviation *= r;
                        fit.shapeError *= r;
                        fit.leakDoubt *= r;
                    }
                }
            } catch (const std::bad_alloc&) {
                fit = HarmonicFit{};
            }
        }
        if (fit.fitted) {
            fit.deviation = std::sqrt(fit.deviation * fit.deviation + beatVariance);
            // What the harmonic and the leakage may add or cancel by, with the harmonic as
            // fitted: where the two cancel, the bins hold less than the leakage alone and would
            // say nothing of it.
            double fittedCross = 0.0;
            for (long k = l.a; k <= l.b; ++k) {
                if (owner[static_cast<std::size_t>(k)] != 2)
                    continue;
                fittedCross += 2.0 * std::sqrt(beatPartner(k) *
                                               std::max(fit.peak * LobePowerShare(static_cast<double>(k) - l.place, W), 0.0));
            }
            crossSpread = std::max(crossSpread, fittedCross);
            // Read as it stands, the lobe's beat is bounded as an unfitted one would be.
            if (leakyFit)
                crossSpread = std::min(crossSpread, leakyBound);
            // A lobe mostly under the fundamental's may read less than nothing where the tone's
            // fit took some of the harmonic with it (a 2nd harmonic on the lobe's edge, THD+N
            // 4 dB low): what the fit sees of it says what may hide.
            if (widen == 1.0 && !fitHoldsSliver)
                hidden = std::max(hidden, (fit.power + 2.0 * fit.deviation) * (1.0 - seen) / std::max(seen, 1e-3));
        } else if (LeakyWindow(windowType) && crossSpread > 0.0) {
            // A window without nulls or symmetry leaks far, its beat is not fitted, and bounding
            // it bin by bin, as if it met the harmonic at one phase in every bin, kept THD N/A
            // for most clear harmonics. The fundamental and the harmonic meet at one phase over
            // the lobe, but each bin turns it by the windows' transforms there: their sum is
            // bounded by its modulus. The rest of the leakage there (DC's, the mirror image's)
            // is bounded bin by bin. Each beat keeps what the blocks' turning phases leave of
            // it: the harmonic turns h - 1 times as fast as the tone against the tone, h + 1
            // against its mirror image, h against the offset.
            const int h = HarmonicOrder(l.place, fc);
            crossSpread = std::min(crossSpread, CoherentBeat(l.a, l.b, l.place, fc, parts.fundamental, owner, leak, typical,
                                                             leakyTurns(h), dc));
        }
        // Unfitted, the part seen may have cancelled with the leakage by as much as their beat
        // (one block of a 2nd harmonic on the edge of a Parzen tone's lobe 4 bins up read as
        // nothing, THD+N 3 dB low): so much more may hide. Read from the fit with the tone, the
        // whole harmonic and its beat were fitted: where the sliver holds the fit's share of it,
        // it hides nothing more.
        if (!fit.fitted && widen == 1.0 && !fitHoldsSliver && !neighbourInSliver)
            hidden = std::max(hidden, (own + 2.0 * deviation + crossSpread) * (1.0 - seen) / std::max(seen, 1e-3));
        // What the sliver holds beyond the fit's share is the crowded neighbour's, whose lobe lies
        // mostly clear of the fundamental's: only its own hidden share may hide (widened by the
        // second harmonic's, a Parzen tone 3.6 bins up with a 3rd harmonic 34 dB down kept THD and
        // THD+N N/A where SNR read).
        if (neighbourInSliver)
            hidden = std::max(hidden, (std::max(own - sliverHeld, 0.0) + 2.0 * deviation) * (1.0 - neighbourSeen) /
                                          std::max(neighbourSeen, 1e-3));
        hidden = std::max(std::min(hidden, hiddenMost), unreadLeast);
        // Everything but the tone needs no harmonic told from the noise: what the lobe holds
        // counts as it stands, only as good as the leakage taken from it and its beat with it.
        // Harmonics closer than a lobe's width share bins, each bin counted with the first
        // lobe that takes it: the fit, which reads the whole lobe from the bins a harmonic
        // owns, would count the shared part twice (THD 1.5 dB high at a fundamental 5 bins up).
        // A lobe that lost no more than its edge to its neighbours, nor took more of theirs,
        // keeps it; what the fundamental's lobe took is read from the rest by the shape, where
        // the rest holds the harmonic's peak. A lobe that cancelled its leakage reads no peak of
        // its own: its neighbours' share is weighed against the fitted one.
        const bool apartAsFitted = apart || (shortfallFit && fit.fitted && apartAt(std::max(fit.peak, 0.0)));
        const bool lobeWhole =
            l.whole > 0.0 && l.taken + l.underFundamental >= kWholeLobe * l.whole && seen >= kSeenToFit && apartAsFitted;
        // The fit reads the lobe by the harmonic's shape at its place; a lobe holding more or
        // less than that shape and its beat with the leakage can give holds another line (a
        // second tone beside the place, of which the fit read a thirtieth: THD+N 15 dB low),
        // and is read as it stands.
        if (fit.fitted && !FitHoldsLobe(widen * fit.power, excess, crossSpread,
                                        l.spread + hidden + widen * (fit.shapeError + fit.leakDoubt) +
                                            widen * fit.power * shareDoubt(l),
                                        deviation))
            fit = HarmonicFit{};
        // Unfitted, the beat is at most 2 sqrt(L H) over the lobe, H what stands out of the
        // noise's scatter there, of its beat with the leakage and of what the leakage taken away
        // leaves uncertain: a place holding only noise, or only what is left of the leakage, has
        // none to beat with (the noise's beat with a Bartlett tone's leakage, known closely at its
        // second harmonic, passed for a harmonic: THD+N N/A). One block's beat is a single draw,
        // far out now and then: what stands out of it may still be a harmonic (a lobe 3.6 of its
        // deviations out read THD+N 1.3 dB high). Elsewhere the leakage there is known less
        // closely: taken off there, it let a Gaussian tone's plain noise read THD+N 1.7 dB high.
        const double noiseBeatShown =
            TriangularWindow(windowType) && BlocksAveraged() >= 2.0 ? 2.0 * std::sqrt(crossVariance) : 0.0;
        double lobeLeak = 0.0;
        for (long k = l.a; k <= l.b; ++k)
            if (owner[static_cast<std::size_t>(k)] == 2)
                lobeLeak += std::max(leak[k], 0.0);
        // Where the tone's lobe reaches DC's, the lobes are read with the offset's and the tone's
        // skirts at once, and only as they stand, their beat bounded over the whole lobe.
        const bool readApart = k0 > static_cast<UINT>(W + 1);
        // A lobe holding clearly less than its bins show the harmonic to be has had the harmonic
        // cancel the leakage there: the beat is bounded by that least harmonic.
        // A crowded neighbour whose place the lobe's bins hold (the 3rd harmonic of a tone 3.5 bins
        // up, in the 2nd's bins) is its line as much: its peak bins tell where it cancelled the
        // skirt (one Parzen block's 3rd harmonic, cancelling the tone's sidelobe beside it, was
        // read a third short as it stood: THD+N 1.2 dB low).
        double shownLeast = leastByPeak(l, l.place);
        for (double p : crowded)
            if (p >= static_cast<double>(l.a) - 0.5 && p <= static_cast<double>(l.b) + 0.5)
                shownLeast = std::max(shownLeast, leastByPeak(l, p));
        const double cancelled = shownLeast > excess + 2.0 * deviation + l.spread ? shownLeast : 0.0;
        double unfittedBeat =
            fromDcFit ? 0.0
                      : std::min(2.0 * std::sqrt(lobeLeak * std::max(StandingHarmonic(excess, 2.0 * deviation + l.spread +
                                                                                          noiseBeatShown,
                                                                                      fit.fitted ? fit.power : 0.0,
                                                                                      fit.deviation),
                                                                     cancelled)),
                                 readApart || LeakyWindow(windowType) ? crossSpread : HUGE_VAL);
        // A leaky window's fit is taken only where it knows the harmonic better than that bound:
        // over a few bins its columns may look alike, and the leakage's doubt weighs far more
        // through it. That holds for the plain kernel fit too (a uniform harmonic on a bin has
        // both columns in one bin: read 1-2 dB off, its leakage's doubt as large as itself).
        // Through the uniform window a harmonic on a bin puts its whole lobe into that one bin,
        // where the tone's skirt meets it at one phase: the fit's two columns are one there, and
        // what the bin holds beyond the leakage tells the harmonic from its beat no better (one
        // block's 2nd harmonic, 5 dB over the skirt, cancelled it and went missing: THD 2.2 dB
        // low). The fit is off by as much of that beat as the average keeps (the blocks' turning
        // phases thin it; refused whole, harmonics that 31 blocks read to 0.01 dB went N/A). Only
        // within some 0.05 bin of the bin: farther off, the bins beside it hold enough of the
        // harmonic for the fit to read its beat there (taken as one bin, a clear 9th harmonic 0.14
        // bin off went N/A).
        bool oneBinLobe = false;
        double peakLeak = 0.0;
        if (windowType == TSmoothing::kUniform && readApart && !fromDcFit) {
            double lobeKernel = 0.0, peakKernel = 0.0;
            for (long k = l.a; k <= l.b; ++k)
                if (owner[static_cast<std::size_t>(k)] == 2) {
                    const double v = LobeKernel(static_cast<double>(k) - l.place, W);
                    lobeKernel += v * v;
                    if (v * v > peakKernel) {
                        peakKernel = v * v;
                        peakLeak = leakIn(k);
                    }
                }
            constexpr double kOneBinShare = 0.995;
            oneBinLobe = lobeKernel > 0.0 && peakKernel >= kOneBinShare * lobeKernel;
        }
        const int beatOrder = HarmonicOrder(l.place, fc);
        const double beatKept = std::max(turns(beatOrder - 1), turns(beatOrder + 1));
        if (oneBinLobe && fit.fitted) {
            const double blind = 2.0 * beatKept * std::sqrt(peakLeak * std::max({fit.power, excess, 0.0}));
            fit.leakDoubt = std::max(fit.leakDoubt, blind - 2.0 * fit.deviation - fit.shapeError);
        }
        // Such a bin holds C = H + 2 k sqrt(H L) cos(phase) of a harmonic H beside leakage L, the
        // average keeping k of the beat: H may pass C by 2 k^2 L + 2 k sqrt(L (k^2 L + C)), which
        // THD, counting the harmonics alone, can't tell from nothing (a 2nd harmonic that left its
        // bin 8 % over the skirt went missing: THD 1.3 dB low). C is what the bin holds: the fit,
        // blind there, may read far more.
        const double inBinHidden =
            oneBinLobe ? 2.0 * beatKept * beatKept * peakLeak +
                             2.0 * beatKept * std::sqrt(peakLeak * (beatKept * beatKept * peakLeak + std::max(excess, 0.0)))
                       : 0.0;
        const double fitOff = 2.0 * fit.deviation + fit.shapeError + fit.leakDoubt;
        // A fit whose beat its bins tell only to their noise knows the lobe no better than its
        // standing reading does. A Gaussian's standing reading doesn't hold the noise its bins
        // share, and its fit does: weighed so, one Gaussian block of a plain tone read its noise
        // lobes as they stood, THD+N 1.1 dB low.
        const bool useFit = fit.fitted && fit.shapeError < crossSpread && lobeWhole &&
                            (!LeakyWindow(windowType) || FitKnowsLobeBetter(fitOff, unfittedBeat, 0.0)) &&
                            (windowType == TSmoothing::kGaussian || FitKnowsLobeBetter(fitOff, unfittedBeat, deviation));
        // A shortfall whose fit is not taken is read as it stands, as one never fitted is: its
        // beat is no larger for the fit tried (bounded by the shortfall, one Bartlett block's
        // plain lobe beside strong harmonics kept THD+N N/A where SNR read).
        if (shortfallFit && !useFit) {
            fit = HarmonicFit{};
            crossSpread = 0.0;
            hidden = hiddenBeforeFit;
            if (widen == 1.0 && !fitHoldsSliver)
                hidden = std::max(hidden, (own + 2.0 * deviation) * (1.0 - seen) / std::max(seen, 1e-3));
            hidden = std::max(std::min(hidden, hiddenMost), unreadLeast);
            unfittedBeat = std::min(
                2.0 * std::sqrt(lobeLeak * std::max(StandingHarmonic(excess, 2.0 * deviation + l.spread + noiseBeatShown, 0.0, 0.0),
                                                    cancelled)),
                readApart ? 0.0 : HUGE_VAL);
        }
        // Where the bin falls short of the skirt that the bins beside it show read closely, a
        // harmonic cancelled it there, and everything but the tone is that uncertain too; elsewhere
        // an empty place is no more uncertain there than before (bounded so at every place, one
        // block's THD+N of a plain tone read N/A where SNR read).
        if (oneBinLobe && !useFit && CancelledInBin(mag, owner, leak, typical, blocks, l.a, l.b, W, l.place)) {
            crossSpread = std::max(crossSpread, inBinHidden);
            unfittedBeat = std::max(unfittedBeat, inBinHidden);
        }
        if (useFit) {
            fit.power *= widen;
            fit.deviation *= widen;
            fit.shapeError *= widen;
        }
        const double standing = useFit ? fit.power : excess;
        // Unfitted, the beat is bounded either way: over the lobe as a whole, or as found above
        // (bin by bin, or over the lobe by the windows' transforms on a window that leaks far,
        // where the blocks' turning phases bound it too).
        // Read from the fit, the lobe is as good as the leakage under the bins the fit leans on
        // (a triangular tone 3.5 bins up: the fit made a harmonic of the leakage's misfit where
        // the lobe held nothing, THD+N 92 dB high).
        double standingDoubt =
            hidden + spreadUsed * l.spread +
            (useFit ? fit.shapeError + fit.leakDoubt : unfittedBeat);
        // A lobe holding clearly less than the noise says that the leakage taken from it was
        // too much by at least that (a tone near DC, where its leakage, its image's and the
        // offset's meet): what the lobe adds is no better known.
        // THD's bound takes it too: the unseen lobes' sum would let it cancel another's excess
        // (a 2nd harmonic on the edge of a tone's lobe 4 bins up went missing, THD 8 dB low).
        // Below by no more than the noise's beat with the leakage there (counted with the lobe's
        // noise), it says nothing of the leakage (counted again here, a Hann tone's THD+N read N/A
        // where its SNR read).
        // Through the triangular kernels a shortfall too small to fit a harmonic's beat to, yet far
        // beyond the leakage's misfit, is what a harmonic cancelling the leakage L there leaves:
        // the lobe holds L + H - 2 k sqrt(H L) (k the share of the beat the average keeps), so H may
        // be as large as (k sqrt(L) + sqrt(k^2 L - s))^2 for a shortfall s (one triangular block's
        // 2nd harmonic, 6 dB over the skirt, left 16 % of it short and went missing: THD 1.1 dB
        // low, THD+N 1.5 dB).
        double shortfall = std::max(-standing - 2.0 * deviation - 2.0 * std::sqrt(crossVariance), 0.0);
        constexpr double kMisfitShare = 0.05;
        if (TriangularWindow(windowType) && !fromDcFit && !useFit && shortfall > kMisfitShare * lobeLeak) {
            const double keptLeak = beatKept * beatKept * lobeLeak;
            if (-standing <= keptLeak) {
                const double root = std::sqrt(keptLeak) + std::sqrt(keptLeak + standing);
                shortfall = std::max(shortfall, root * root);
            }
        }
        standingDoubt += shortfall;
        parts.harmonicsSpread += shortfall;
        // The single-precision window and transform leave spurs of their own some 135 dB under
        // the tone, at its harmonics' places too: a harmonic under them is none (a generated
        // tone's rounding read THD -148 dB where it has no harmonic).
        const double spur = kArithmeticFloor * lobePower;
        const double lobeSpread = LeakyWindow(windowType) ? spreadUsed * l.spread : l.spread;
        auto standsOut = [&](double power, double doubt) {
            return useFit ? power > 4.0 * fit.deviation +
                                        2.0 * (lobeSpread + fit.shapeError + 2.0 * std::sqrt(crossVariance) + doubt) &&
                                power > spur
                          : power > 4.0 * deviation +
                                        2.0 * (lobeSpread + crossSpread + 2.0 * std::sqrt(crossVariance) + doubt) &&
                                power > spur;
        };
        const bool found = standsOut(useFit ? fit.power : excess, 0.0);
        // THD counts the lobe without the second line's skirt, everything but the tone with it.
        // Where the free bins sum to nothing (the leakage taken away beside a second tone as
        // strong fell short of them), their median still tells the noise a harmonic must stand
        // out of (a lobe of it read THD -131 dB where there was none).
        const double harmonicHeld = (useFit ? fit.power : excess) - l.otherLine;
        const int lobeBins = std::clamp(l.bins, 1, widest);
        const double medianNoise = typical > 0.0 || lines ? 0.0 : noiseRef * lobeBins,
                     medianDeviation = medianNoise * std::sqrt(scatter[static_cast<std::size_t>(lobeBins)]);
        // A lobe on the rising skirt of a line no part models (a pair's product a few bins from a
        // harmonic's place) holds that skirt: two free bins beyond it on one side, each holding
        // more than the harmonic read and rising away from it (a Hann CCIF pair's sum product 7.6
        // bins above the low tone's 2nd harmonic read THD -110 dB where there is no harmonic).
        auto onRisingSkirt = [&] {
            auto cleanAt = [&](long k) { return static_cast<double>(mag[k]) - leakAll[static_cast<std::size_t>(k)]; };
            auto rises = [&](long k1, long k2) {
                return k1 >= 1 && k2 >= 1 && k1 < static_cast<long>(bins) && k2 < static_cast<long>(bins) &&
                       owner[static_cast<std::size_t>(k1)] == 0 && owner[static_cast<std::size_t>(k2)] == 0 &&
                       cleanAt(k1) > harmonicHeld && cleanAt(k2) > cleanAt(k1);
            };
            return rises(l.b + 1, l.b + 2) || rises(l.a - 1, l.a - 2);
        };
        const bool harmonicFound = found && standsOut(harmonicHeld, l.otherSpread + l.otherSkirts) &&
                                   harmonicHeld > medianNoise + 4.0 * medianDeviation && !onRisingSkirt();
        // Where no harmonic stands out, its lobe may be read as the noise elsewhere is, with
        // only what a harmonic could hold unseen as its doubt: where the fundamental's skirt
        // crosses the lobe, what the leakage taken away leaves uncertain there is far more
        // than a harmonic could hide at its own place.
        if (!found && !fundamentalKernel) {
            fundamentalKernel = true;
            try {
                kernel = ShiftedKernel(fc, &kernelError, &quadrature);
            } catch (const std::bad_alloc&) {
                kernel.clear();
            }
        }
        // A tone's mirror image turns the leakage's phase at a harmonic (the Gaussian's leaks far;
        // near DC any window's does): the harmonic is still bounded by how far. (Bins whose leakage
        // the image's beat moved by a tenth were left out: one Hann block of a tone 4.5 bins up,
        // its 2nd harmonic bounded by two bins, could hide a fifth of THD+N where it read.)
        std::vector<double> turnsHere;
        if (!found && readApart && !TriangularWindow(windowType) && !LeakyWindow(windowType) &&
            kernel.size() == bins) {
            try {
                if (imageKernel.empty())
                    imageKernel = ShiftedKernel(-fc);
                turnsHere = LeakageTurns(kernel, imageKernel, dc, TonePeak(kernel, k0, W, lobePower),
                                         std::lround(l.place), l.a, l.b);
            } catch (const std::bad_alloc&) {
                turnsHere.clear();
            }
        }
        // Kaiser's and Blackman's own skirts fall so low that the mirror image's matches them at the
        // harmonics: there both shapes bound a harmonic the bins may hide. So do the Gaussian's, where
        // its truncated skirts meet the image's and the offset's at like levels, their signs turning
        // from bin to bin.
        const bool skirtsHere = !found && readApart &&
                                (windowType == TSmoothing::kKaiser || windowType == TSmoothing::kBlackman ||
                                 windowType == TSmoothing::kGaussian) &&
                                kernel.size() == bins;
        if (skirtsHere && imageKernel.empty()) {
            try {
                imageKernel = ShiftedKernel(-fc);
            } catch (const std::bad_alloc&) {
                imageKernel.clear();
            }
        }
        // On a window that leaks far the tone's skirt turns the harmonic bin by bin (see
        // MostHiddenInLeakySkirt).
        const LeakySkirt skirtHere = LeakyWindow(windowType) ? LeakySkirt{fc, parts.fundamental} : LeakySkirt{};
        // What the average keeps of a hidden harmonic's beats with the tone's skirt, its image's and
        // the offset's: the harmonic turns against them h - 1, h + 1 and h times as fast as the tone.
        const int order = HarmonicOrder(l.place, fc);
        const BeatTurns kept{BeatCoherence(k0, order - 1, phaseError), BeatCoherence(k0, order + 1, phaseError),
                             BeatCoherence(k0, order, phaseError)};
        const bool keptLess = !found && readApart && kernel.size() == bins &&
                              (kept.direct < 1.0 || kept.image < 1.0 || kept.offset < 1.0);
        if (keptLess && imageKernel.empty()) {
            try {
                imageKernel = ShiftedKernel(-fc);
            } catch (const std::bad_alloc&) {
                imageKernel.clear();
            }
        }
        // The offset's signs over the lobe, where its kernel is real and exact, let its beat take one
        // phase there with the skirts'.
        if ((skirtsHere || keptLess) && !offsetSignsTried && !TriangularWindow(windowType) &&
            KernelAboutMiddle(WindowShape()) && dc.size() == bins && dc[0] > 0.0) {
            offsetSignsTried = true;
            try {
                double asymmetry = 0.0;
                offsetSigns = ShiftedKernel(0.0, &asymmetry);
                if (asymmetry > 0.0)
                    offsetSigns.clear();
            } catch (const std::bad_alloc&) {
                offsetSigns.clear();
            }
        }
        const std::vector<double>& offsetSignsHere = skirtsHere || keptLess ? offsetSigns : noSigns;
        const double unseen = found ? HUGE_VAL : !readApart ? wholeMost
                                    : UnseenHarmonic(l.a, l.b, l.place, owner, leak, spread, mirrorCross, typical,
                                                     noiseDeviation(1), blocks, kernel, TonePeak(kernel, k0, W, lobePower),
                                                     spreadUsed, turnsHere, skirtsHere ? imageKernel : std::vector<double>{}, dc,
                                                     &kept, keptLess ? imageKernel : std::vector<double>{}, &skirtHere,
                                                     offsetSignsHere);
        // The same bound with the fitted beats' own deviation taken out of each bin's doubt: what
        // the bound is wider by is the noise's doing through those beats, one error for all lobes
        // (see beatPart below), not the model's.
        double unseenBeat = 0.0;
        if (beatsKept && !found && readApart && std::isfinite(unseen) && l.beatNoise > 0.0 &&
            mirrorCross.size() == bins) {
            try {
                if (withoutBeat.empty()) {
                    withoutBeat = mirrorCross;
                    for (std::size_t i = 0; i < withoutBeat.size(); ++i)
                        withoutBeat[i] += beats.beatNoiseHeld[i];
                }
                const double apart =
                    UnseenHarmonic(l.a, l.b, l.place, owner, leak, spread, withoutBeat, typical, noiseDeviation(1), blocks,
                                   kernel, TonePeak(kernel, k0, W, lobePower), spreadUsed, turnsHere,
                                   skirtsHere ? imageKernel : std::vector<double>{}, dc, &kept,
                                   keptLess ? imageKernel : std::vector<double>{}, &skirtHere, offsetSignsHere);
                unseenBeat = std::isfinite(apart) ? std::clamp(unseen - apart, 0.0, unseen) : 0.0;
            } catch (const std::bad_alloc&) {
                withoutBeat.clear();
                unseenBeat = 0.0;
            }
        }
        // Fitted with its beat, the harmonic is read mostly from the bins next to its place:
        // the leakage's uncertainty counts there, as far as the fit weighs those bins.
        const double scale = useFit ? 1.0 : widen;
        const double fittedDoubt =
            fit.fitted && lobeWhole && readApart
                ? scale * (2.0 * fit.deviation + fit.shapeError + fit.leakDoubt) + hidden
                : HUGE_VAL;
        // Each reading must agree with what the lobe holds as it stands, within both doubts:
        // where it does not, the lobe holds what the harmonic's shape does not (another tone).
        // Read as it stands, the lobe also keeps its beat with the noise (counted with the other
        // lobes' below): the readings are weighed with it.
        const double standingBeat = 2.0 * std::sqrt(crossVariance);
        const bool agrees = std::abs(scale * fit.power - standing) <= fittedDoubt + standingDoubt + standingBeat;
        // Read as it stands, the lobe's share of the fitted beats' deviation is counted once with
        // the free bins' (below), as is the bound's share read as a place a harmonic may hide:
        // the two readings are weighed without it.
        const double standingBeatNoise = beatsKept && !useFit ? spreadUsed * l.beatNoise : 0.0;
        // A lobe holding less than the leakage may hide a harmonic that cancels it, but not one
        // its fit shows far above what could hide there.
        const bool hides = standing <= unseen + standingDoubt + standingBeat &&
                           !(fit.fitted && FitShowsBeyond(fit.power, 2.0 * fit.deviation + fit.shapeError, unseen));
        // Counted, the bound narrows the noise's beat with the leakage by the blocks that beat shows
        // (beatBlocks). Weighed against the lobe as it stands, the wider bound still decides where
        // the standing reading's beat counts whole, since that adds as a variance below: there a
        // narrower bound took over from a Bartlett lobe that read closer as it stood (THD+N N/A
        // where it read); the narrower one takes over only where it is the smaller doubt itself.
        double narrow = unseen;
        if (hides && readApart && beatBlocks > blocks && std::isfinite(unseen))
            narrow = std::min(unseen, UnseenHarmonic(l.a, l.b, l.place, owner, leak, spread, mirrorCross, typical,
                                                     noiseDeviation(1), beatBlocks, kernel,
                                                     TonePeak(kernel, k0, W, lobePower), spreadUsed, turnsHere,
                                                     skirtsHere ? imageKernel : std::vector<double>{}, dc, &kept,
                                                     keptLess ? imageKernel : std::vector<double>{}, &skirtHere,
                                                     offsetSignsHere));
        const double narrowBeat = unseen > 0.0 && std::isfinite(unseen) ? unseenBeat * narrow / unseen : 0.0;
        if (agrees && fittedDoubt < std::min(hides ? unseen : HUGE_VAL, standingDoubt + standingBeat)) {
            lobeContent += scale * fit.power;
            // The fit's deviation is the noise in the lobe's own bins, apart from every other
            // lobe's: those add as variances, with the lobes' beats with the noise (summed as
            // bounds over a low Hamming tone's thirty harmonics, they kept THD+N N/A where SNR
            // read).
            const double fittedNoise = scale * fit.deviation;
            lobeDoubt += fittedDoubt - 2.0 * fittedNoise;
            lobeNoiseVariance += fittedNoise * fittedNoise;
        } else if (hides && (unseen - unseenBeat < standingDoubt + standingBeat - standingBeatNoise ||
                             narrow - narrowBeat < standingDoubt - standingBeatNoise)) {
            lobeHidden += narrow - narrowBeat;
            unseenBeatNoise += narrowBeat;
        } else {
            lobeContent += standing;
            lobeDoubt += standingDoubt;
            measuredBins += useFit ? 0 : static_cast<UINT>(l.bins);
            // Read as it stands, the lobe moves with the fitted beats bin by bin.
            if (beatsKept && !useFit) {
                lobeBeatNoise += spreadUsed * l.beatNoise;
                for (int c = 1; c < kLeakColumns; ++c)
                    beatWeight[c] += spreadUsed * l.beatRow[c];
            }
            standingCrossVariance += crossVariance;
            // Read from its fit, the lobe's bins no longer count in the noise: what the noise
            // there moves the fit by is its own, beyond its beat with the leakage just counted
            // (left out, one Bartlett block's 2nd harmonic, fitted to 70 % of its power, read
            // THD+N 2 dB low; left out on a Gaussian, a plain tone's empty 2nd-harmonic lobe,
            // fitted 2.6 of its deviations high, read THD+N 1.7 dB high).
            if (useFit)
                lobeNoiseVariance += std::max(fit.deviation * fit.deviation - crossVariance, 0.0);
        }
        parts.harmonicsSpread += l.otherSpread + l.otherSkirts;
        if (useFit) {
            if (harmonicFound) {
                ++parts.harmonicsFound;
                harmonicPower += harmonicHeld / lobeShare(l);
                foundVariance += fit.deviation * fit.deviation / (lobeShare(l) * lobeShare(l));
                parts.harmonicsSpread +=
                    lobeSpread + fit.shapeError + harmonicHeld / lobeShare(l) * (shareDoubt(l) + imageBeat(l));
            } else {
                unseenExcess += harmonicHeld;
                unseenVariance += fit.deviation * fit.deviation;
                parts.harmonicsSpread += std::max(UncountedDoubt(lobeSpread + fit.shapeError, unseen, hides), inBinHidden);
            }
        } else if (harmonicFound) {
            ++parts.harmonicsFound;
            harmonicPower += harmonicHeld / lobeShare(l);
            foundVariance += deviation * deviation / (lobeShare(l) * lobeShare(l));
            parts.harmonicsSpread +=
                lobeSpread + crossSpread + hidden + harmonicHeld / lobeShare(l) * (shareDoubt(l) + imageBeat(l));
        } else {
            unseenExcess += harmonicHeld;
            unseenVariance += deviation * deviation;
            parts.harmonicsSpread += std::max(UncountedDoubt(lobeSpread + crossSpread + hidden, unseen, hides), inBinHidden);
        }
        noiseCrossVariance += crossVariance;
    }
    parts.harmonics = harmonicPower;
    const double hiddenShare = hiddenBeat / lobePower;
    parts.harmonicsSpread += harmonicPower * hiddenShare;
    {
        // Harmonics closer than their lobes' width beat with each other over the bins they share,
        // each with what its lobe holds of its own (its neighbours' skirts taken away).
        std::vector<double> places;
        for (const Lobe& l : lobes)
            places.push_back(l.place);
        // Through a symmetric window two lines' beat meets every bin at one phase, in proportion to
        // the product of their kernels there. Where it cancels, each lobe holds less than its own
        // line, and a beat bounded by what the lobes hold is bounded by what it left of them (a
        // Gaussian tone 3.5 bins up, its 7th harmonic left at a fifth of itself beside a strong 8th:
        // THD+N 1.1 dB low, sure of it within a fifth). Fitted over the lobes' bins with every line's
        // shape and each neighbouring pair's product, the lines are read apart from their beats: a
        // lobe holds at least its line's share of its bins.
        if (!LeakyWindow(windowType) && ownHeld.size() == lobes.size() && lobes.size() >= 2) {
            try {
                std::vector<double> y;
                std::vector<long> at;
                for (long k = lobes.front().a; k <= lobes.back().b; ++k)
                    if (owner[static_cast<std::size_t>(k)] == 2) {
                        at.push_back(k);
                        y.push_back(mag[k] - leak[static_cast<std::size_t>(k)] - typical);
                    }
                const std::vector<double> peaks =
                    CrowdedLinesFit(places, 2.0 * W, at, y,
                                    [&](double x) { return std::abs(x) <= W + 1.0 ? LobeKernel(x, W) : 0.0; });
                for (std::size_t i = 0; i < peaks.size(); ++i) {
                    // A lobe mostly under the fundamental's holds that one's misfit as much as its
                    // line (what it may hide is bounded above); and a line cancelled by its
                    // neighbours is at most what its bins hold and their skirts there together.
                    const Lobe& l = lobes[i];
                    const double seen = l.whole > 0.0 ? 1.0 - l.underFundamental / l.whole : 1.0;
                    if (seen < kSeenToFit)
                        continue;
                    const double skirtRoots = neighbourSkirts(l, fc).second;
                    const double most = std::sqrt(std::max(l.power - lobeNoise(l), 0.0)) + skirtRoots;
                    ownHeld[i] = std::max(ownHeld[i], std::min(peaks[i] * l.taken, most * most));
                }
            } catch (const std::bad_alloc&) {
                // Unfitted, each lobe holds what it holds.
            }
        }
        // (The leaky windows bound each lobe's beats with all the leakage there already.)
        const double beat = LeakyWindow(windowType) ? 0.0 : CrowdedBeat(WindowShape(), places, ownHeld, 4.0 * W + 4.0);
        parts.harmonicsSpread += beat;
        lobeDoubt += beat;
    }
    // The single-precision transform's rounding is no white noise where the tone lies on a bin: its
    // stages cancel the tone's images N/8 apart (N/2 - k0, N/4 +- k0, ...), leaving there a few
    // tenths of all the rounding the band holds, at a phase that stays put. A line on such an image
    // (a harmonic, or a generated tone's rounding) reads as much off as that beats with it (a
    // generated 1 kHz tone at 8 kHz, its rounding's only line on the 3rd harmonic's place: THD+N
    // 1.3 dB low). At most all the rounding lies on the images, so their beats are bounded
    // together: 2 sqrt(L A), beside the rounding A itself, counted with the noise.
    const UINT imageStep = N / 8;
    auto onImage = [&](long k) {
        return onBin && imageStep > 0 && ((k - static_cast<long>(k0)) % static_cast<long>(imageStep) == 0 ||
                                          (k + static_cast<long>(k0)) % static_cast<long>(imageStep) == 0);
    };
    double harmonicsOnImages = 0.0;
    for (const Lobe& l : lobes)
        if (onImage(HarmonicOrder(l.place, fc) * static_cast<long>(k0)))
            harmonicsOnImages += std::max(l.power, 0.0);
    if (harmonicsOnImages > 0.0) {
        const double rounding = ArithmeticNoise(bandBins);
        parts.harmonicsSpread += 2.0 * std::sqrt(harmonicsOnImages * rounding) + rounding;
    }
    // The noise's part, at two deviations; at three where the noise holds fewer than three
    // independent blocks: the harmonics' lobes are a few bins each, whose noise then scatters as a
    // chi-square of few degrees, its tail far heavier than a normal variate's (THD 1.0-1.1 dB off,
    // one reading in some ten thousand). The blocks the noise shows count, not those averaged:
    // three exponential blocks at 90 % overlap hold one or two (THD 1.0 dB off again).
    const double noiseDeviations = blocks < 3.0 ? 3.0 : 2.0;
    parts.harmonicsSpread += std::max(unseenExcess, 0.0) +
                             noiseDeviations * std::sqrt(foundVariance + unseenVariance + noiseCrossVariance);
    // The bins the typical content stands for; where the noise is a generated tone's rounding,
    // the lines on them.
    // Odd bins' beats with a triangular tone's leakage read over the limit (see ParityStandIn).
    double oddBeatsCut = 0.0;
    const double standIn =
        lines && typical > 0.0 ? perLine * UnfreeSum(freeBin, bandLo, hi, lineContent) / typical
        : triangular && onBin  ? ParityStandIn(free, freeBin, spur, k0, bandLo, hi, typical,
                                               static_cast<double>(bandBins - free.size()), lineStep,
                                               [&](UINT k) {
                                                   return owner[k] != 0 ? NAN : mag[k] - leakAll[k];
                                               },
                                               s1 > 0.0 ? static_cast<double>(shape.size()) * s2 / (s1 * s1) - 1.0 : 0.0,
                                               RepeatsEveryBlock(mag, owner, leakAll, noiseRef, from, hi, W, averaged),
                                               [&](std::size_t i, double level) { return spurBeat(freeBin[i], level); },
                                               [&](UINT k) {
                                                   return secondApart &&
                                                          (secondLobe(k) || second.leak[k] > std::max(noiseRef, typical));
                                               },
                                               oddBeatsCut)
                               : static_cast<double>(bandBins - free.size());
    parts.noise = freeSum - oddBeatsCut + typical * standIn;
    // The typical content is a mean over the free bins: with few of them (a window that leaks
    // far) it is itself uncertain, and so is the noise it stands for under the tones.
    // Neighbouring bins share the noise through the window: a mean over n bins scatters as one
    // over n / c independent ones, c measured over the widest runs, and never less than the
    // window's noise bandwidth: what the leakage taken away leaves of the bins may scatter
    // from one bin to the next where the noise does not, and so read the runs short.
    // Runs no longer than a lobe see only part of that sharing where the window's kernel reaches
    // further (a Gaussian's nine-bin runs 3.5 of its 4.0): the whole is the least taken.
    double c = windowShared;
    if (measured > 1)
        c = std::max(scatter[static_cast<std::size_t>(measured)] * measured / scatter[1], std::max(c / 2.0, noiseShared));
    c = std::clamp(c, 1.0, 2.0 * widest);
    // The scatter is itself measured on those bins: with a few hundred of them it reads a third
    // low now and then (and a mean off by a fifth passed for one off by a seventh: SNR 1.1 dB
    // high), so it is taken two of its own deviations high.
    const double independent = free.empty() ? 1.0 : static_cast<double>(free.size()) / c;
    const double typicalScatter = scatter[1] * (1.0 + 2.0 * std::sqrt(2.0 / independent));
    const double typicalDeviation = free.empty() ? 0.0 : typical * std::sqrt(typicalScatter * c / free.size());
    parts.noiseSpread = free.empty() ? HUGE_VAL
                                     : freeSpread * bandBins / free.size() +
                                           kNoiseSigmas * typicalDeviation * standIn;
    // The free bins count as they stand, each with its beat with the leakage taken from it.
    const double freeBeatPart = kNoiseSigmas * std::sqrt(freeBeat);
    parts.noiseSpread += freeBeatPart;
    parts.noiseSpread += secondBeat;
    parts.noiseSpread += UnseenParity(k0, offset, offsetError, freeBin, typical,
                                      freeSum - typical * static_cast<double>(free.size()), bandBins);
    // The spectrum went through a single-precision window and transform: their rounding lies
    // some 140 dB under all the power they carried (the offset's too) and is no part of the
    // signal's noise; known to within its own size, a noise near it is not read.
    const double arithmetic = ArithmeticNoise(bandBins);
    parts.noise -= arithmetic;
    parts.noiseSpread += arithmetic;
    {
        // A generated tone's rounding lines on the tone's images beat with the rounding there too
        // (see above), block after block; white noise meets it at a new phase in every block.
        double noiseOnImages = 0.0;
        for (UINT k = bandLo; k <= hi && lines; ++k) {
            bool near = false;
            for (long d = -W; d <= W && !near; ++d)
                near = onImage(static_cast<long>(k) + d);
            if (near && owner[k] == 0)
                noiseOnImages += std::max(static_cast<double>(mag[k]) - leakAll[k], 0.0);
        }
        parts.noiseSpread += 2.0 * std::sqrt(noiseOnImages * arithmetic);
        // Everything but the tone meets the one rounding with all the lines on the images.
        lobeDoubt += 2.0 * (std::sqrt((harmonicsOnImages + noiseOnImages) * arithmetic) -
                            std::sqrt(noiseOnImages * arithmetic));
    }
    parts.noiseSpread += parts.noise * (lobeBeat / lobePower + hiddenShare);
    // The bins the typical content stands for hold noise of their own, which scatters about what
    // the free bins' mean puts there, a cause independent of every doubt above: it adds to their
    // sum as a variance. Left out, one Kaiser block of a low tone, half the band under its
    // harmonics' places, read SNR 1 dB high. A generated file's rounding lines don't scatter so.
    // Where it stands for every bin that is not free, those bins are counted one by one.
    const double standInShared =
        lines || free.empty() ? 0.0
        : static_cast<double>(bandBins - free.size()) == standIn
            ? StandInShared(BinNoiseCorrelation(shape, 2 * W + 2), noiseShared, freeBin, bandLo, hi)
            : noiseShared * std::max(standIn, 0.0);
    const double standInPart = kNoiseSigmas * typical * std::sqrt(typicalScatter * standInShared);
    const double ownPart =
        std::isfinite(parts.noiseSpread) ? std::hypot(parts.noiseSpread, standInPart) - parts.noiseSpread : 0.0;
    parts.noiseSpread += ownPart;
    parts.distortionAndNoise = parts.noise + lobeContent + harmonicSkirt;
    // Everything but the tone takes the harmonics' lobes as they stand: there the typical
    // content's doubt cancels, and only what it stands for elsewhere is uncertain.
    // Three doubts of independent causes add as variances (summed as bounds, they kept a plain
    // tone's THD+N, good to a few tenths of a dB, N/A where its SNR read): what the leakage model
    // and the lobes' readings leave uncertain (one model, its errors alike in the free bins and
    // the lobes: those add as they stand), the noise the free bins read (the typical content's
    // deviation over the bins it still stands for, and the free bins' beat with the leakage,
    // which that content holds too), and the lobes' own noise: its beat with the leakage there and
    // what the fitted lobes' readings scatter by.
    const double typicalPart = kNoiseSigmas * typicalDeviation * standIn;
    const double freeNoise =
        kNoiseSigmas * typicalDeviation * (standIn - std::min(static_cast<double>(measuredBins), standIn)) + freeBeatPart;
    // So does the leakage's doubt that content carries from the free bins into them (counted
    // there too, flat-top and Hamming tones' THD+N read N/A where their SNR read).
    const double typicalLeakPart =
        free.empty() ? 0.0 : freeSpread * std::min(static_cast<double>(measuredBins), standIn) / free.size();
    // The arithmetic's rounding, counted in the noise as SNR counts it, is a cause of its own
    // beside what the harmonics' lobes and skirts may hold: those two add as variances (summed as
    // bounds, a Kaiser tone 130 dB over its noise, near that rounding, read THD+N N/A where SNR
    // read).
    const double harmonicDoubt = lobeDoubt + harmonicSkirtDoubt;
    // (THD+N reads the harmonics' lobes as they stand, most of those bins: it keeps its own doubt.)
    const double modelled = parts.noiseSpread - ownPart - typicalPart - freeBeatPart - typicalLeakPart - arithmetic +
                            std::sqrt(arithmetic * arithmetic + harmonicDoubt * harmonicDoubt) +
                            std::abs(lobeContent + harmonicSkirt) * hiddenShare;
    const double lobeNoiseBeat = 2.0 * std::sqrt(standingCrossVariance + lobeNoiseVariance);
    // The fitted beats' own deviation is the noise's doing, not the model's: it is a cause of its
    // own beside the model's errors. And it is one error of a few fitted terms for all bins, which
    // moves some bins up and others down: summed bin by bin over a low Hamming tone's lobes and free
    // bins, it outweighed the noise (THD+N N/A where SNR read). Its bound over the bins counted
    // here is that of their weighed sum, never more than the bins' own bounds summed.
    double beatPart = 0.0, beatSummed = 0.0, beatTaken = 0.0;
    if (beatsKept && !free.empty()) {
        const double freeWeight =
            (static_cast<double>(bandBins) - std::min(static_cast<double>(measuredBins), standIn)) / free.size();
        double freeBeatNoise = 0.0;
        for (UINT k : freeBin) {
            freeBeatNoise += beats.beatNoise[k];
            weighBeat(k, freeWeight);
        }
        beatSummed = freeWeight * freeBeatNoise + lobeBeatNoise;
        // The lobes' part went in with the arithmetic's rounding as variances.
        const double lobesApart = std::max(harmonicDoubt - lobeBeatNoise, 0.0);
        beatTaken = freeWeight * freeBeatNoise + std::sqrt(arithmetic * arithmetic + harmonicDoubt * harmonicDoubt) -
                    std::sqrt(arithmetic * arithmetic + lobesApart * lobesApart);
        double variance = 0.0;
        for (int a = 1; a < kLeakColumns; ++a)
            for (int b = 1; b < kLeakColumns; ++b)
                variance += beatWeight[a] * beats.beatCovariance[static_cast<std::size_t>(a * kLeakColumns + b)] *
                            beatWeight[b];
        beatPart = std::min(2.0 * std::sqrt(std::max(variance, 0.0)), beatSummed) + unseenBeatNoise;
    }
    const double modelledApart = std::max(modelled - beatTaken, 0.0);
    // The bins the typical content still stands for hold noise of their own, as SNR counts it
    // (left out, one triangular block of a tone high in the band, no harmonic inside it, read
    // THD+N 1 dB low where SNR, the same noise, read N/A).
    const double standInHere =
        standIn > 0.0 ? (standIn - std::min(static_cast<double>(measuredBins), standIn)) / standIn : 0.0;
    const double ownNoise = standInPart * std::sqrt(standInHere);
    // A harmonic hiding unseen is a cause of its own beside the model's errors and the noise (summed
    // with the leakage's doubt in the free bins, a force tone's THD+N read N/A where SNR read).
    // That harmonic is a doubt one way only: uncounted, it is either there, the reading short by
    // it, or not (taken as a doubt either way, a Gaussian tone's 2nd harmonic that could hide at a
    // fifth of the noise kept THD+N N/A where SNR read, though it could move it 0.9 dB at most).
    parts.distortionAndNoiseSpreadBelow =
        std::sqrt(modelledApart * modelledApart + beatPart * beatPart + freeNoise * freeNoise +
                  lobeNoiseBeat * lobeNoiseBeat + ownNoise * ownNoise);
    parts.distortionAndNoiseSpread = std::hypot(parts.distortionAndNoiseSpreadBelow, lobeHidden);
    // A tone stands 10 dB above the noise in as many bins as its lobe: above the band's
    // typical content, and above what lies around it once its leakage is taken away (a peak
    // in a band of noise is no tone). Where the leakage covers every bin, what is left of it may
    // sum to a little less than nothing: no tone near DC is missing from that.
    std::vector<double> around;
    for (long j = W + 1; j <= W + 16; ++j)
        for (long k : {static_cast<long>(k0) - j, static_cast<long>(k0) + j})
            if (k >= static_cast<long>(from) && k <= static_cast<long>(hi))
                around.push_back(mag[k] - leakAll[static_cast<std::size_t>(k)]);
    double local = 0.0;
    if (!around.empty()) {
        std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
        local = std::max(around[around.size() / 2], 0.0);
    }
    // Whether the noise alone could raise such a lobe is judged against the noise the band would
    // hold were there no tone: its median bin beside the lobe (the median of a gamma variate of
    // `blocks`' shape lies at about (1 - 1/(9 blocks))^3 of its mean). Where every bin lies under
    // some lobe (a window that leaks far), the few bins left free may read the noise far low, or
    // not at all, and a peak of one block's noise passed for a tone (THD+N read 8 dB).
    double bandNoise = 0.0;
    try {
        std::vector<double> beside;
        beside.reserve(hi - from + 1);
        for (UINT k = from; k <= hi; ++k)
            if (owner[k] != 1)
                beside.push_back(std::max(static_cast<double>(mag[k]) - leakAll[k], 0.0));
        if (!beside.empty()) {
            const double shrink = 1.0 - 1.0 / (9.0 * blocks);
            bandNoise = PlainMedian(std::move(beside)) / (shrink * shrink * shrink);
        }
    } catch (const std::bad_alloc&) {
        return Parts{};
    }
    parts.tone = lobePower > 10.0 * typical * (2 * W + 1) && lobePower > 10.0 * local * (2 * W + 1) &&
                 !(nearDc > 0.02 * std::max(parts.distortionAndNoise, 0.0)) &&
                 lobePower > ChancePeak(k0, W, std::max(typical, bandNoise), lobeScatter, blocks, dc, dcError, bandBins);
    return parts;
}

double ToneModel::PlaceBesideDc(UINT peak, double floor, double otherwise, double& doubt)
{
    const BesideDc near = FitBesideDc(peak, floor);
    if (!PlacedBesideDc(near.place, near.placeError, near.tone, near.toneDeviation))
        return otherwise;
    doubt = near.placeError;
    return near.place;
}

UINT ToneModel::ToneBesideDc(int from, int to, double floor, int k1, BesideDc& fit)
{
    const UINT peak = PeakBesideDc(static_cast<UINT>(std::max(from, 1)), static_cast<UINT>(std::max(to, 1)));
    if (peak == 0 || std::abs(static_cast<int>(peak) - k1) <= LobeHalfWidth(windowType) ||
        !(magnitude[peak] > 10.0 * floor) || !(magnitude[peak] >= 1e-4 * magnitude[k1]))
        return 0;
    fit = FitBesideDc(peak, floor);
    return PlacedBesideDc(fit.place, fit.placeError, fit.tone, fit.toneDeviation) ? peak : 0;
}

ToneModel::TwoTones ToneModel::FitTwoTones(const Spectrum& spectrum, UINT firstBin, UINT lowFrequencyBin, UINT highFrequencyBin)
{
    Use(spectrum);
    return FitTwoTonesAt(firstBin, lowFrequencyBin, highFrequencyBin, nullptr, 0);
}

ToneModel::TwoTones ToneModel::FitTwoTonesAt(UINT firstBin, UINT lowFrequencyBin, UINT highFrequencyBin, const double* given,
                                             int pass)
{
    if (!magnitude || bins < 16)
        return {};
    const float* mag = magnitude;
    const int n = static_cast<int>(bins);
    const int W = LobeHalfWidth(windowType);
    auto response = [&](double x) { return std::abs(x) > W + 1 ? 0.0 : LobeResponse(x, W); };
    // A tone's place to a small fraction of a bin, from the shape of its lobe.
    auto place = [&](int k) {
        if (k - W < 0 || k + W >= n)
            return static_cast<double>(k);
        return k + ToneOffset(response, &mag[k - W], W);
    };
    const int k1 = static_cast<int>(firstBin);
    if (k1 < 1 || k1 + W + 1 >= n || !(mag[k1] > 0.0f) || WindowShape().size() != N)
        return {};
    const int lowBin = std::max(static_cast<int>(lowFrequencyBin), W + 1);
    const int highBin = std::min(static_cast<int>(highFrequencyBin), n - W - 2);
    if (highBin <= lowBin)
        return {};
    std::vector<float> sorted(mag + lowBin, mag + highBin + 1);
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double floor = sorted[sorted.size() / 2];
    // A place is good to about the amplitude of what else its lobe holds, as a share of the
    // peak's, in bins. A first tone whose lobe meets DC's is placed by the fit with the offset:
    // its lobe holds the offset's (later passes are given its place).
    auto placeDoubt = [&](int k, double beside) {
        return std::sqrt(std::max({static_cast<double>(floor), beside, 0.0}) / mag[k]);
    };
    // What a peak's lobe holds beyond one line's shape at its place c, as power in a bin: a
    // neighbour whose lobe meets it (a harmonic beside the next, a few bins apart under a wide
    // lobe) moves its place by up to a bin, and a harmonic placed so passed for a second tone.
    auto crowding = [&](int k, double c) {
        if (k - W < 0 || k + W >= n)
            return 0.0;
        return std::sqrt(std::max(LobeMismatch(response, &mag[k - W], W, c - k), 0.0) / (2 * W + 1));
    };
    double c1 = given ? given[0] : place(k1);
    double firstDoubt = placeDoubt(k1, 0.0);
    if (!given && k1 <= 2 * W + 2)
        c1 = PlaceBesideDc(static_cast<UINT>(k1), floor, c1, firstDoubt);
    // A harmonic of the first tone is no second tone (taken for one, its difference product
    // fell on the first tone and read 100 %). Its place tells it where the places are known
    // well enough for the order; where they are not (a high order, a first tone of a few
    // bins), only the low orders a harmonic reaches are taken for harmonics. Its level tells
    // it too: no harmonic of order h holds more than 1/h^2 of the tone's power (a square
    // wave's do), so the high tone of a 4:1 pair on a multiple of the low one (250 Hz +
    // 8 kHz) is a second tone. A window that leaks much places a weak peak beside a strong
    // tone's leakage only to half its lobe.
    auto lobeOf = [&](int k) {
        double sum = 0.0;
        for (int j = std::max(k - W, 0); j <= std::min(k + W, n - 1); ++j)
            sum += mag[j];
        return sum;
    };
    const double firstLobe = lobeOf(k1);
    const double placeSlack = AllowanceFor(windowType).model > 0.002 ? 0.5 * W : 0.0;
    // Its place is known to five times what the places may be off by (`doubt` the peak's),
    // and a hundredth of a bin an order for what the lobe's model misses: a tone a fifth of a
    // bin from the third multiple of a tone 8 bins up, 130 dB above the noise, is no harmonic.
    auto harmonicOfFirst = [&](double c, double lobe, double doubt) {
        const double h = std::round(c / c1);
        if (h < 2.0 || lobe > firstLobe / (h * h))
            return false;
        // A place found at the edge of its search, half a bin from the peak, says only that the
        // lobe is no one line's shape (a harmonic crowded by its neighbours, taken for a second
        // tone: IMD read on one tone): it is known no better than a peak bin.
        const bool placed = std::abs(c - std::floor(c) - 0.5) > 1e-3;
        const double tolerance =
            (placed ? std::min(0.3 + 0.05 * h, 0.01 * (h + 1.0) + 5.0 * (doubt + h * firstDoubt)) : 0.3 + 0.05 * h) +
            placeSlack;
        if (tolerance >= c1 / 4.0)
            return h <= 10.0;
        return std::abs(c - h * c1) <= tolerance;
    };
    // The second tone: the strongest peak clear of the first tone's lobe that is no harmonic
    // of it, and stands out of the noise (ten times the median bin) and of its surroundings
    // (four times what lies in the two bins just beyond its lobe; a sidelobe does not). A
    // peak 40 dB under the first tone is no test tone but a sidelobe of a harmonic.
    // Beside the first tone, the bins beyond a peak's lobe that lie in the first tone's lobe
    // hold that tone, not the peak's surroundings (a CCIF pair five bins apart lost its second
    // tone to their difference product): there the peak must stand out of the first tone's
    // leakage instead, from the window's transform at its place.
    std::vector<std::complex<double>> firstTurned(N);
    const long long firstRounded = std::llround(c1);
    TurnWindow(WindowShape(), c1 - static_cast<double>(firstRounded), firstTurned);
    // A leaky window's far leakage is not known well enough to count under every peak, but its
    // lobe's next bins are: a peak beside the first tone is judged against them on every window.
    const bool firstKernel = DoubleTransform(firstTurned);
    const bool firstKnown = !LeakyWindow(windowType) && firstKernel;
    auto firstLeak = [&](int k) {
        auto at = [&](long long m) { return std::norm(firstTurned[static_cast<std::size_t>(((m % N) + N) % N)]); };
        return at(k - firstRounded) + at(-k - firstRounded);
    };
    const double firstScale = firstKernel ? LobeScale(mag, n, c1, W, firstLeak) : 0.0;
    // What the first tone leaves in a peak's lobe moves its place: the most of it over the lobe
    // (a Bartlett tone on a bin leaks nothing into its 2nd harmonic's bin but all around it, and
    // the harmonic, placed 0.04 bin off, passed for a second tone).
    auto firstLeakOver = [&](int k) {
        double most = 0.0;
        if (firstKnown)
            for (int j = std::max(k - W, 0); j <= std::min(k + W, n - 1); ++j)
                most = std::max(most, firstScale * firstLeak(j));
        return most;
    };
    // What a peak's lobe holds of its own: a harmonic whose lobe meets the first tone's held that
    // tone's skirt too and was taken for a tone no harmonic can match.
    auto ownLobe = [&](int k) {
        if (!firstKnown)
            return lobeOf(k);
        double sum = 0.0;
        for (int j = std::max(k - W, 0); j <= std::min(k + W, n - 1); ++j)
            sum += std::max(mag[j] - firstScale * firstLeak(j), 0.0);
        return sum;
    };
    int k2 = -1;
    double c2 = 0.0;
    for (int k = lowBin; k <= highBin; ++k) {
        if (std::abs(k - k1) <= W || !(mag[k] >= mag[k - 1] && mag[k] > mag[k + 1]))
            continue;
        if (k2 >= 0 && !(mag[k] > mag[k2]))
            continue;
        float beyond = 0.0f;
        bool besideFirst = false;
        for (int j = W + 1; j <= W + 2; ++j)
            for (int b : {std::max(k - j, 0), std::min(k + j, n - 1)}) {
                if (firstKernel && std::abs(b - c1) <= W + 0.5)
                    besideFirst = true;
                else
                    beyond = std::max(beyond, mag[b]);
            }
        if (!(mag[k] > 10.0 * floor) || !(mag[k] >= 4.0f * beyond) || !(mag[k] >= 1e-4f * mag[k1]) ||
            (besideFirst && !(mag[k] >= 4.0 * firstScale * firstLeak(k))))
            continue;
        const double c = place(k);
        if (harmonicOfFirst(c, ownLobe(k), placeDoubt(k, std::max(firstLeakOver(k), crowding(k, c)))))
            continue;
        k2 = k;
        c2 = c;
    }
    // A second tone whose lobe meets DC's: below the search's first bin, or where the bins
    // beyond its lobe hold DC's, it is not found above. A peak there is one that DC's lobe,
    // falling away from bin 0, never makes, where the fit with the offset takes it for a tone
    // stronger than the peak found above. Later passes are given its place.
    const int besideDcTo = 2 * W + 3;
    if (given && (k2 < 0 || std::abs(k2 - given[1]) > 1.0)) {
        k2 = static_cast<int>(std::lround(given[1]));
        c2 = given[1];
    } else if (!given && !(k2 >= 0 && k2 < besideDcTo)) {
        BesideDc near;
        const UINT peak = ToneBesideDc(std::max(static_cast<int>(lowFrequencyBin), 3), besideDcTo, floor, k1, near);
        if (peak != 0 && (k2 < 0 || near.tone > mag[k2]) &&
            !harmonicOfFirst(near.place, ownLobe(static_cast<int>(peak)), near.placeError)) {
            k2 = static_cast<int>(peak);
            c2 = near.place;
        } else if (peak == 0 && k2 >= 0) {
            // A peak beside DC stronger than the one found above that the fit with the offset
            // does not place may be the second tone, and the one above its product (a Hann pair
            // whose low tone sat three bins up read IMD -1 dB for -42): nothing is read.
            const UINT unplaced = PeakBesideDc(static_cast<UINT>(std::max(static_cast<int>(lowFrequencyBin), 3)),
                                               static_cast<UINT>(besideDcTo));
            if (unplaced != 0 && std::abs(static_cast<int>(unplaced) - k1) > W && mag[unplaced] > mag[k2] &&
                mag[unplaced] > 10.0 * floor)
                return {};
        }
        // Nearer DC than the search reaches, a peak (which DC's lobe, falling from bin 0, never
        // makes) stronger than the second tone found is a tone too close to DC to be read, and
        // the one found may be its product with the first (a Hann SMPTE pair whose low tone lay
        // 1.6 bins up: 2f2 - f1 passed for the second tone, and f2 - f1 for a product of the
        // two: IMD 7 dB high). Nothing is read.
        const int searchedFrom = std::max(static_cast<int>(lowFrequencyBin), 3);
        const UINT below = PeakBesideDc(1, static_cast<UINT>(std::min(searchedFrom, besideDcTo)));
        if (below != 0 && k2 >= searchedFrom && std::abs(static_cast<int>(below) - k1) > W &&
            mag[below] > mag[k2] && mag[below] > 10.0 * floor)
            return {};
    }
    // A tone whose lobe reaches DC shares its peak with the offset and with its own mirror
    // image: its place is not read from its lobe. The fit takes the offset, the mirror and what
    // they add or cancel by, and its shift terms move the places until they settle (below);
    // a tone within two and a half bins of DC is too much the offset's to be told from it.
    if (k2 < 0 || std::min(c1, c2) <= 2.5)
        return {};
    // A uniform tone under the other one's skirt is placed with their beat, over bins clear of
    // the other tone's lobe, of the products a spacing away and of its own image (the weaker
    // first: the stronger's skirt bends it most).
    if (!given && windowType == TSmoothing::kUniform) {
        constexpr int kSkirtReach = 3;
        auto beside = [&](int k, double c, int other, double otherPlace) {
            const double skirt = mag[other] * std::pow(DirichletKernel(k - otherPlace, N) / DirichletKernel(other - otherPlace, N), 2);
            return k > 4 * (W + 1) && k + kSkirtReach < n && std::abs(k - other) >= kSkirtReach + W + 2 && skirt > floor
                       ? PlaceBesideSkirt(mag, N, otherPlace, k, kSkirtReach)
                       : c;
        };
        c2 = beside(k2, c2, k1, c1);
        c1 = beside(k1, c1, k2, c2);
    }
    const bool nearDc = std::min(c1, c2) <= 2 * W + 2;
    if (given) {
        c1 = given[0];
        c2 = given[1];
        // A first tone beside DC was placed to a whole bin only, and a harmonic's order read
        // from that one off: at its fitted place that harmonic is told again.
        if (harmonicOfFirst(c2, ownLobe(k2), placeDoubt(k2, firstLeakOver(k2))))
            return {};
    }

    // The tones and the products that can be told apart: a product on DC (where an offset or
    // hum lies), on a tone or on a product already counted (2(f2+f1) is 2f2+2f1) is skipped;
    // one below DC shows at its mirror place. One beside DC is fitted with the offset, as a
    // tone there is: left out within two lobes of DC, the strongest product of a pair read
    // 5 dB low.
    std::vector<double> places = {c1, c2};
    // Each part's frequency as so many times the first tone's and the second's, signed as it
    // shows (a product below DC turns the other way).
    std::vector<std::pair<int, int>> made = {{1, 0}, {0, 1}};
    // A product within a bin and a half of another part is not told from it and does not count;
    // one near that edge (and a product it nears), as far as the tones' places may be off, may
    // count or not: it is fitted, never read, and what it may hold is doubt (skipped at 1.498
    // bins from a tone it was 1.502 from, its power went unseen: IMD 5.7 dB low).
    constexpr double kApart = 1.5, kEdge = 0.02;
    std::vector<char> nearEdge(2, 0);
    const int products[9][2] = {{1, 1}, {1, -1}, {1, 2}, {1, -2}, {2, 2}, {2, 1}, {2, -1}, {2, 2}, {2, -2}};
    for (const auto& pr : products) {
        const double signedPlace = pr[0] * c2 + pr[1] * c1;
        const double c = std::abs(signedPlace);
        if (c <= 2.5 || c + W + 1 >= n)
            continue;
        if (std::any_of(places.begin(), places.end(), [&](double t) { return std::abs(c - t) < kApart - kEdge; }))
            continue;
        bool edge = false;
        for (std::size_t j = 0; j < places.size(); ++j)
            if (std::abs(c - places[j]) < kApart + kEdge) {
                nearEdge[j] = 1;
                edge = true;
            }
        nearEdge.push_back(edge);
        places.push_back(c);
        made.push_back(signedPlace < 0 ? std::pair{-pr[1], -pr[0]} : std::pair{pr[1], pr[0]});
    }
    const std::size_t m = places.size();
    // Each tone's leakage over every bin, beyond the reach of its kernel and at its mirror
    // image too: far sidelobes (Hamming's fall slowly) lie where products are read.
    std::vector<std::complex<double>> turned[2];
    long long rounded[2] = {};
    for (std::size_t i = 0; i < 2; ++i) {
        rounded[i] = std::llround(places[i]);
        turned[i].assign(N, 0.0);
        TurnWindow(WindowShape(), places[i] - static_cast<double>(rounded[i]), turned[i]);
        if (!DoubleTransform(turned[i]))
            return {};
    }
    auto at = [&](std::size_t i, long long m) { return std::norm(turned[i][static_cast<std::size_t>(((m % N) + N) % N)]); };
    auto fullLeakage = [&](std::size_t i, int k) { return at(i, k - rounded[i]) + at(i, -k - rounded[i]); };
    // The spectrum with the tones' far leakage taken away where the noise is read, each tone
    // scaled by what its lobe holds: Hamming's far sidelobes lie over the noise across the
    // band; read as noise, they were counted twice (once more in the tones' columns) and
    // scattered nothing, and the fit's misfit that left swelled every product's deviation.
    // The leaky windows' skirts cover the whole band: read as noise, they set every bin's
    // weight and left the fit a misfit that swelled every product's deviation.
    double toneScale[2] = {};
    for (std::size_t i = 0; i < 2; ++i)
        toneScale[i] = LobeScale(mag, n, places[i], W, [&](int k) { return fullLeakage(i, k); });
    // Only where neither tone stands within a few lobes of its mirror image: nearer, the image
    // bends a tone's place by more than its doubt here tells (one block of a SMPTE pair whose low
    // tone lay four bins up: its difference product, taken on the bin beside, read IMD 2 dB low).
    constexpr double kImageReach = 4.0;
    if (windowType == TSmoothing::kUniform && std::min(places[0], places[1]) > kImageReach * (W + 1))
        PlaceOnBins(places, made, placeDoubt(static_cast<int>(rounded[0]), toneScale[1] * fullLeakage(1, static_cast<int>(rounded[0]))),
                    placeDoubt(static_cast<int>(rounded[1]), toneScale[0] * fullLeakage(0, static_cast<int>(rounded[1]))));
    std::vector<double> leftOver(mag, mag + n);
    for (int k = lowBin; k <= highBin; ++k)
        leftOver[static_cast<std::size_t>(k)] = mag[k] - toneScale[0] * fullLeakage(0, k) - toneScale[1] * fullLeakage(1, k);
    // What the noise adds to every bin: the mean of the band's bins away from the tones and
    // products, leaving out spurs.
    std::vector<unsigned char> near(bins, 0);
    for (int k = 0; k <= std::min(n - 1, W + 1); ++k)
        near[static_cast<std::size_t>(k)] = 1;
    for (double c : places)
        for (int k = std::max(0, static_cast<int>(std::lround(c)) - W - 1); k <= std::min(n - 1, static_cast<int>(std::lround(c)) + W + 1); ++k)
            near[static_cast<std::size_t>(k)] = 1;
    double leakyNoise = NAN;
    if (windowType == TSmoothing::kUniform || windowType == TSmoothing::kForce) {
        std::vector<unsigned char> noiseOnly(bins, 0);
        for (int k = lowBin; k <= highBin; ++k)
            noiseOnly[static_cast<std::size_t>(k)] = !near[static_cast<std::size_t>(k)] && mag[k] <= 10.0 * floor;
        auto turnedAt = [&](std::size_t i, long long m) { return turned[i][static_cast<std::size_t>((m % N + N) % N)]; };
        // The tones' direct lines beat as their mirror images do, by one number a0 a1* however
        // the blocks average; left out, an exact CCIF pair's images, beating at one phase in
        // every block, left the noise read as nothing.
        auto tonesBeat = [&](int k) {
            return turnedAt(0, k - rounded[0]) * std::conj(turnedAt(1, k - rounded[1])) +
                   turnedAt(0, -k - rounded[0]) * std::conj(turnedAt(1, -k - rounded[1]));
        };
        leakyNoise = TakeTonesBeat(leftOver,
                                   LeakageWeights(leftOver, noiseOnly, lowBin, highBin, AllowanceFor(windowType).model,
                                                  [&](int k) { return mag[k] - leftOver[static_cast<std::size_t>(k)]; }),
                                   noiseOnly, lowBin, highBin, tonesBeat);
    }
    std::vector<float> rest(mag, mag + n);
    for (int k = lowBin; k <= highBin; ++k)
        rest[static_cast<std::size_t>(k)] = static_cast<float>(std::max(leftOver[static_cast<std::size_t>(k)], 0.0));
    double noise = 0.0;
    std::size_t noiseBins = 0;
    for (int k = lowBin; k <= highBin; ++k)
        if (!near[static_cast<std::size_t>(k)] && mag[k] <= 10.0 * floor) {
            noise += rest[static_cast<std::size_t>(k)];
            ++noiseBins;
        }
    noise = noiseBins > 0 ? noise / noiseBins : floor;
    // Under the uniform and force windows the skirts' misfit, far above the noise, swells the
    // plain mean.
    if (leakyNoise > 0.0 && leakyNoise < noise)
        noise = leakyNoise;
    // How far the noise summed over a lobe's bins strays from its mean, measured on runs of
    // that many noise bins (the averaging, the blocks' overlap and the window all set it): with
    // one or two blocks averaged a lobe of noise alone reads several times its mean now and
    // then, and no product may be read from that.
    const int lobeBins = 2 * W + 1;
    std::vector<unsigned char> free(bins, 0);
    for (int k = lowBin; k <= highBin; ++k)
        free[static_cast<std::size_t>(k)] = !near[static_cast<std::size_t>(k)] && mag[k] <= 10.0 * floor;
    const auto lobe = static_cast<std::size_t>(lobeBins);
    // One bin's, for the noise's beat with what a bin holds.
    const double measuredScatter = NoiseScatter(rest.data(), free, 1, lobe);
    const double blocks = BlocksCounted();
    const double binScatter =
        LeakyWindow(windowType) ? LeakyNoiseScatter(mag, leftOver, free, noise, lowBin, highBin, W, blocks) : measuredScatter;
    const double lobeScatter = std::min(NoiseScatter(rest.data(), free, lobe, lobe), measuredScatter);
    // Never under four times its mean above it.
    const double lobeThreshold = std::max(4.0, NoiseTail(lobeScatter) - 1.0) * noise * lobeBins;
    // Each part's power, fitted to the bins of all lobes at once: a product beside a tone sits
    // on the tone's leakage, and lobes of parts a few bins apart share bins.
    // DC, an offset or none, is a part of the fit too, over its lobe beside bin 0.
    const std::vector<double>& dcShape = DcResponse();
    const bool withDc = dcShape.size() == bins && dcShape[1] > 1e-12 * dcShape[0];
    std::vector<int> fitBins;
    for (int k = 1; k < n; ++k)
        if ((withDc && k <= W) ||
            std::any_of(places.begin(), places.end(), [&](double c) { return std::abs(k - c) <= W + 0.5; }))
            fitBins.push_back(k);
    // The columns of the fit: each part's response as power at every bin of the fit, and
    // where parts lie close, what they add or cancel by. In one block two parts at c_i and c_j
    // add 2 Re(a_i a_j* V(k - c_i) V*(k - c_j)); for a symmetric window V(x) is a real
    // kernel A(x) turned by a phase linear in x, so that term is one unknown number times
    // A(k - c_i) A(k - c_j) over all bins, however the blocks average. Left out, it read a
    // sideband beside a tone 40 times stronger 2.5 dB off either way. A tone near DC meets
    // its own mirror image the same way.
    const std::vector<double>& shape = WindowShape();
    // A window is symmetric about (N - 1) / 2, or about N / 2 with its first coefficient left
    // without a partner (Kaiser's, flat-top's): that one, a hundredth of the largest at most,
    // moves the transform off the real kernel by less than the far leakage read.
    bool symmetric = true;
    double largest = 0.0;
    for (double v : shape)
        largest = std::max(largest, std::abs(v));
    for (UINT i = 0; i < N / 2 && symmetric; ++i)
        symmetric = std::abs(shape[i] - shape[N - 1 - i]) <= 1e-6 * largest;
    double symmetryCentre = (static_cast<double>(N) - 1.0) / 2.0;
    if (!symmetric && N >= 4 && std::abs(shape[0]) <= 0.01 * largest) {
        symmetric = true;
        for (UINT j = 1; j < N / 2 && symmetric; ++j)
            symmetric = std::abs(shape[N / 2 + j] - shape[N / 2 - j]) <= 1e-6 * largest;
        symmetryCentre = static_cast<double>(N / 2);
    }
    // The triangular window rises to its top a sample late: within its kernel's reach the
    // transform stays within a few thousandths of the real kernel, and the beats are fitted as
    // for a symmetric one (bounded instead, they kept IMD N/A in one clear read of six).
    if (!symmetric) {
        double asymmetry = 0.0;
        const double centre = SymmetryCentre(shape, asymmetry);
        if (centre >= 0.0 && asymmetry > 0.0) {
            symmetric = true;
            symmetryCentre = centre;
        }
    }
    // The force window is the uniform one over the first half of the block: real about that
    // half's middle, its beats are fitted as the uniform window's (bounded instead, they kept
    // IMD N/A in one clear read of five).
    if (!symmetric && SupportCentre(shape) >= 0.0) {
        symmetric = true;
        symmetryCentre = SupportCentre(shape);
    }
    constexpr double kReach = 16.0; // bins beyond which a part's sidelobes are left out
    auto kernel = [&](double x) {
        // A(x): the window's transform about its centre, with a rotation restarted against drift.
        const double step = 2.0 * M_PI * x / N, centre = symmetryCentre;
        const double cs = std::cos(step), sn = std::sin(step);
        double sum = 0.0, ur = 0.0, ui = 0.0;
        for (UINT i = 0; i < N; ++i) {
            if ((i & 255) == 0) {
                ur = std::cos(step * (i - centre));
                ui = std::sin(step * (i - centre));
            }
            sum += shape[i] * ur;
            const double t = ur * cs - ui * sn;
            ui = ur * sn + ui * cs;
            ur = t;
        }
        return sum;
    };
    const std::size_t B = fitBins.size();
    std::vector<std::vector<double>> columns;
    std::vector<double> direct(B * m, 0.0), mirror(B * m, 0.0);
    for (std::size_t b = 0; b < B; ++b)
        for (std::size_t i = 0; i < m; ++i) {
            const double x = fitBins[b] - places[i], y = fitBins[b] + places[i];
            if (symmetric) {
                direct[b * m + i] = std::abs(x) <= kReach ? kernel(x) : 0.0;
                mirror[b * m + i] = i < 2 && std::abs(y) <= kReach ? kernel(y) : 0.0;
            } else {
                direct[b * m + i] = std::abs(x) <= W + 1 ? LobeResponse(x, W) : std::abs(x) <= kReach ? ResponseAt(shape, x) : 0.0;
            }
        }
    // What the fit's columns leave out of a tone's leakage at bin k.
    auto farLeakage = [&](std::size_t i, int k) {
        const double x = k - places[i], y = k + places[i];
        double far = std::abs(x) > (symmetric ? kReach : (std::abs(x) <= W + 1 ? W + 1.0 : kReach)) ? at(i, k - rounded[i]) : 0.0;
        if (!symmetric || std::abs(y) > kReach)
            far += at(i, -k - rounded[i]);
        return far;
    };
    // A product's far skirt too: a strong product's lies over a weak one's lobe a few tens of
    // bins off (a triangular window's falls only as the square of the distance), and left out it
    // was a misfit thousands of times the bins' scatter that made every product as unsure. Not
    // over the tones' lobes, where it is nothing beside the tone and its column traded with the
    // tone's; nor on the leaky windows, whose skirts reach every lobe (one exponential block of
    // a CCIF pair read a product of nothing 11 dB over the tones).
    auto inToneLobe = [&](int k) { return std::abs(k - places[0]) <= W + 0.5 || std::abs(k - places[1]) <= W + 0.5; };
    std::vector<std::complex<double>> productTurned;
    for (std::size_t i = 0; i < m; ++i) {
        std::vector<double> col(B);
        const long long r = std::llround(places[i]);
        bool far = false;
        if (i >= 2 && !LeakyWindow(windowType))
            for (std::size_t b = 0; b < B && !far; ++b)
                far = std::abs(fitBins[b] - places[i]) > kReach && !inToneLobe(fitBins[b]);
        if (far) {
            productTurned.assign(N, 0.0);
            TurnWindow(WindowShape(), places[i] - static_cast<double>(r), productTurned);
            far = DoubleTransform(productTurned);
        }
        for (std::size_t b = 0; b < B; ++b) {
            const double d = direct[b * m + i], e = mirror[b * m + i];
            col[b] = (symmetric ? d * d + e * e : d) + (i < 2 ? farLeakage(i, fitBins[b]) : 0.0);
            if (far && std::abs(fitBins[b] - places[i]) > kReach && !inToneLobe(fitBins[b]))
                col[b] += std::norm(productTurned[static_cast<std::size_t>((((fitBins[b] - r) % N) + N) % N)]);
        }
        columns.push_back(std::move(col));
    }
    // The cross terms fitted between a tone and a part beside it: (tone, part, column).
    // `image`: the beat of the tone's mirror image with the part (and of the tone with the
    // part's image), which turns as the sum of their phases rather than the difference.
    struct Cross {
        std::size_t tone, part, column;
        bool image = false;
    };
    std::vector<Cross> crossOf;
    // The kernel of part i at fit bin b, beyond the reach of `direct` too.
    auto kernelAt = [&](std::size_t i, std::size_t b) {
        const double x = fitBins[b] - places[i];
        return std::abs(x) <= kReach ? direct[b * m + i] : kernel(x);
    };
    // The kernel of tone i's mirror image at fit bin b.
    auto imageAt = [&](std::size_t i, std::size_t b) {
        const double y = fitBins[b] + places[i];
        return std::abs(y) <= kReach ? mirror[b * m + i] : kernel(y);
    };
    // The most tone i's direct and mirror leakage add or cancel by over any product's lobe, as
    // a share of what that lobe holds (the tone's power `scale` in the units of its leakage).
    auto MirrorBeatShare = [&](std::size_t i, double scale) {
        double most = 0.0;
        for (std::size_t j = 2; j < m; ++j) {
            double beat = 0.0, held = 0.0;
            const int c = static_cast<int>(std::lround(places[j]));
            for (int k = std::max(c - W, 0); k <= std::min(c + W, n - 1); ++k) {
                beat += 2.0 * scale * std::sqrt(at(i, k - rounded[i]) * at(i, -k - rounded[i]));
                held += mag[k];
            }
            most = std::max(most, held > 0.0 ? beat / held : 1.0);
        }
        // DC's lobe is fitted too, bin by bin beside the offset's own: where the window leaves a
        // bin of it empty (every other one, the triangular windows') a far tone's direct and
        // mirror skirts meet there alone, and taken as adding in power they bent the tone's fit
        // down to that bin (a Bartlett SMPTE pair read IMD 1 dB high).
        for (int k = 1; withDc && k <= std::min(W, n - 1); ++k) {
            const double beat = 2.0 * scale * std::sqrt(at(i, k - rounded[i]) * at(i, -k - rounded[i]));
            most = std::max(most, mag[k] > 0.0f ? beat / mag[k] : beat > 0.0 ? 1.0 : 0.0);
        }
        return most;
    };
    // The most the tones' sum beat (each one's skirt with the other's mirror image, turning as
    // the sum of their phases) adds or cancels by over any product's lobe, as a share of what
    // that lobe holds (the tones' powers `scale0`, `scale1` in the units of their leakage).
    auto SumBeatShare = [&](double scale0, double scale1) {
        double most = 0.0;
        for (std::size_t j = 2; j < m; ++j) {
            double beat = 0.0, held = 0.0;
            const int c = static_cast<int>(std::lround(places[j]));
            for (int k = std::max(c - W, 0); k <= std::min(c + W, n - 1); ++k) {
                beat += 2.0 * std::sqrt(scale0 * scale1) *
                        (std::sqrt(at(0, k - rounded[0]) * at(1, -k - rounded[1])) +
                         std::sqrt(at(1, k - rounded[1]) * at(0, -k - rounded[0])));
                held += mag[k];
            }
            most = std::max(most, held > 0.0 ? beat / held : 1.0);
        }
        return most;
    };
    // Whether tone i's beat with product j is fitted (else it is bounded as an uncertainty).
    std::vector<unsigned char> beatFitted(2 * m, symmetric ? 1 : 0);
    // A tone's beat with a part that lies where a third part's own lobe does (a Gaussian's beats
    // take its lobes' shape, midway between the two: a tone and the product two spacings below it
    // meet on the product one spacing below): the fit can't tell the beat from that part's power,
    // and the beat's bound is that part's doubt too (a Gaussian pair's beat passed for a product
    // of nothing 36 dB over its truth: IMD 1.2 dB high). `held`: the beat's column over that lobe.
    struct BeatOnPart {
        std::size_t tone, part, on;
        double held;
    };
    std::vector<BeatOnPart> beatsOnParts;
    // The uniform window's kernel is the Dirichlet kernel, whose products over whole bins
    // A(k - c_i) A(k - c_j) are combinations of cot(pi (k - c_i) / N) and cot(pi (k - c_j) / N):
    // the second tone's beats with the products are combinations of the first tone's (with
    // each other's), and fitted apart they left the fit singular. They are fitted through the
    // first tone's, whose term then holds `absorbed` times the second's. A part on a bin
    // leaks nowhere: its beats lie in its own bin alone, where they are bounded instead.
    std::vector<double> absorbed(m, 0.0);
    auto onBin = [&](std::size_t i) { return std::abs(places[i] - std::round(places[i])) < kOnBin; };
    auto beatLikePart = [&](std::size_t t, std::size_t j, const std::vector<double>& col) {
        // Alike to a fiftieth of the beat's square (a Gaussian pair's, 3.65 bins apart: a two-hundredth).
        constexpr double kAlike = 2e-2;
        const std::vector<std::complex<double>> beat(col.begin(), col.end());
        for (std::size_t p = 2; p < m; ++p) {
            if (p == j || !Collinear(beat, {columns[p]}, 0, kAlike))
                continue;
            double held = 0.0;
            for (std::size_t b = 0; b < B; ++b)
                if (std::abs(fitBins[b] - places[p]) <= W + 0.5)
                    held += std::abs(col[b]);
            beatsOnParts.push_back({t, j, p, held});
        }
    };
    if (symmetric) {
        for (std::size_t i = 0; i < 2; ++i) {
            // Far apart too: the linear phase holds at any distance, and a tone's far leakage
            // beats with a product (or the other tone) in its lobe by more than the noise.
            // But not where that beat could not move the product's lobe by a share worth
            // fitting: there the column is the transform of the window's single-precision
            // rounding, not of its shape, and soaked up what the model misses of the
            // product (its place) as a cross term far beyond what two parts can make.
            const double scale = toneScale[i] > 0.0 ? toneScale[i]
                                                     : LobeScale(mag, n, places[i], W, [&](int k) { return fullLeakage(i, k); });
            for (std::size_t j = i + 1; j < m; ++j) {
                if (windowType == TSmoothing::kUniform) {
                    if (onBin(i) || onBin(j)) {
                        beatFitted[2 * j + i] = 0;
                        continue;
                    }
                    if (i == 1 && j >= 2 && beatFitted[2 * j] && beatFitted[2]) {
                        absorbed[j] = DirichletShare(places[0], places[1], places[j], N);
                        continue;
                    }
                }
                if (j >= 2 && BeatShare(mag, n, places[j], W, scale, [&](int k) { return fullLeakage(i, k); }) <
                                  kNegligibleBeat) {
                    beatFitted[2 * j + i] = 0;
                    continue;
                }
                // The tones' mirror images beat by the same number as their direct lines: that
                // counts where the images leak far, on the leaky and triangular windows (on a
                // Hamming pair, where it is next to nothing, it moved a one-block fit of a product
                // inside a tone's lobe to read IMD 2.7 dB low).
                std::vector<double> col(B, 0.0);
                const bool imagesBeat = LeakyWindow(windowType) || TriangularWindow(windowType);
                for (std::size_t b = 0; b < B; ++b) {
                    const double other = j < 2 ? kernelAt(j, b) : direct[b * m + j];
                    col[b] = (other == 0.0 ? 0.0 : kernelAt(i, b) * other) +
                             (j < 2 && imagesBeat ? imageAt(i, b) * imageAt(j, b) : 0.0);
                }
                if (j >= 2)
                    beatLikePart(i, j, col);
                crossOf.push_back({i, j, columns.size()});
                columns.push_back(std::move(col));
                // Each tone's skirt beats with the other's mirror image too, by one number over all
                // bins that turns as the sum of their phases: a triangular skirt falls so slowly that
                // this reaches the products' lobes, and on a pair of exact multiples the average
                // keeps it whole; left out, it was read as products (IMD 16 dB high, or read where
                // there are none).
                if (j == 1 && TriangularWindow(windowType) &&
                    SumBeatShare(scale, toneScale[1] > 0.0 ? toneScale[1] : LobeScale(mag, n, places[1], W, [&](int k) {
                        return fullLeakage(1, k);
                    })) >= kNegligibleBeat) {
                    std::vector<double> sumCol(B);
                    for (std::size_t b = 0; b < B; ++b)
                        sumCol[b] = kernelAt(0, b) * imageAt(1, b) + kernelAt(1, b) * imageAt(0, b);
                    crossOf.push_back({0, 1, columns.size(), true});
                    columns.push_back(std::move(sumCol));
                }
            }
            // A tone meets its own mirror image beside DC, and far out too where its sidelobes
            // fall slowly (Hamming's): there its direct and mirror leakage, a few times apart,
            // add or cancel by up to a half over a product's lobe, which read the fit's misfit
            // hundreds of times its bins' scatter and made every product as unsure. A leaky
            // window's lobes of a bin or two leave no bins for that column.
            if (places[i] <= W + 4 || (!LeakyWindow(windowType) && MirrorBeatShare(i, scale) >= kNegligibleBeat)) {
                std::vector<double> col(B);
                for (std::size_t b = 0; b < B; ++b) {
                    col[b] = kernelAt(i, b) * imageAt(i, b);
                }
                columns.push_back(std::move(col));
            }
        }
    }
    // A tone's place is read from a lobe that the products beside it bend: a ten-thousandth
    // of a bin off, the slope of a tone 40 dB above its sidebands was fitted as sideband
    // power (half a dB at 2.5 bins). A column for each tone's shift lets the fit move it.
    std::size_t shiftColumn[2] = {};
    for (std::size_t i = 0; i < 2; ++i) {
        constexpr double h = 1e-3;
        shiftColumn[i] = columns.size();
        auto powerAt = [&](double x, double y) {
            if (!symmetric)
                return std::abs(x) <= W + 1 ? LobeResponse(x, W) : std::abs(x) <= kReach ? ResponseAt(shape, x) : 0.0;
            const double d = std::abs(x) <= kReach ? kernel(x) : 0.0;
            const double e = std::abs(y) <= kReach ? kernel(y) : 0.0;
            return d * d + e * e;
        };
        std::vector<double> col(B);
        for (std::size_t b = 0; b < B; ++b) {
            const double x = fitBins[b] - places[i], y = fitBins[b] + places[i];
            col[b] = (powerAt(x - h, y + h) - powerAt(x + h, y - h)) / (2 * h);
        }
        columns.push_back(std::move(col));
    }
    std::size_t dcColumn = 0; // none
    std::size_t firstDcBeat = std::numeric_limits<std::size_t>::max();
    // The offset's beats with tones far from DC: (tone, column).
    std::vector<std::pair<std::size_t, std::size_t>> farDcBeats;
    // The offset's power in the units of its response, read from DC's lobe.
    auto dcLeak = [&](int k) { return withDc ? dcShape[static_cast<std::size_t>(k)] : 0.0; };
    const double dcScale = LobeScale(mag, n, 0.0, W, dcLeak);
    std::vector<unsigned char> dcBeatBounded(m, 0);
    if (withDc) {
        std::vector<double> col(B);
        for (std::size_t b = 0; b < B; ++b)
            col[b] = dcShape[static_cast<std::size_t>(fitBins[b])];
        dcColumn = columns.size();
        columns.push_back(std::move(col));
        // An offset is a part at 0 whose own mirror is itself: with a part beside it (a tone's
        // direct and mirror images alike) it adds or cancels by one number times
        // A(k) (A(k - c) + A(k + c)), as two parts do. Left out, the offset's beat with a low
        // tone was taken for the tone and its products.
        // As with a tone's beat, an offset's beat with a product that could not move its lobe
        // by a share worth fitting is bounded instead: beyond DC's lobe a cosine window's
        // offset leaves only the rounding of its coefficients, and its column, all but the
        // product's own, made the product's power a hundred times less sure.
        firstDcBeat = columns.size();
        // A tone far from DC meets the offset too where both skirts reach a product's lobe (the
        // triangular windows': each falls as the square of the distance). The most they add or
        // cancel by in any bin there, as a share of that bin: in the bins beside a product on a
        // bin, where the tone's skirt passes near a zero, it was four tenths, and left out it was
        // fitted as the product (IMD 5 dB high).
        auto dcToneBeat = [&](std::size_t i) {
            double most = 0.0;
            for (std::size_t j = 2; j < m; ++j) {
                const int c = static_cast<int>(std::lround(places[j]));
                for (int k = std::max(c - W, 1); k <= std::min(c + W, n - 1); ++k)
                    if (mag[k] > 0.0f)
                        most = std::max(most, 2.0 * std::sqrt(dcScale * dcLeak(k) * toneScale[i] * fullLeakage(i, k)) / mag[k]);
            }
            return most;
        };
        // A product far from DC meets the offset's skirt as one near it does: through the
        // triangular windows that skirt still moved a product 25 bins up by a quarter, neither
        // fitted nor bounded (IMD 1.1 dB low). Far off, a beat that moves the lobe by little is
        // bounded: fitted, its column and the neighbouring products' traded against each other.
        std::vector<double> dcKernel;
        auto dcKernelAt = [&](std::size_t b) {
            if (dcKernel.empty()) {
                dcKernel.resize(B);
                for (std::size_t c = 0; c < B; ++c)
                    dcKernel[c] = kernel(fitBins[c]);
            }
            return dcKernel[b];
        };
        if (symmetric)
            for (std::size_t i = 0; i < m; ++i) {
                if (i < 2 && places[i] > 2 * W + 4) {
                    if (dcToneBeat(i) >= kNegligibleBeat) {
                        std::vector<double> cross(B);
                        for (std::size_t b = 0; b < B; ++b)
                            cross[b] = dcKernelAt(b) * (kernelAt(i, b) + imageAt(i, b));
                        farDcBeats.push_back({i, columns.size()});
                        columns.push_back(std::move(cross));
                    }
                    continue;
                }
                if (i >= 2 && BeatShare(mag, n, places[i], W, dcScale, dcLeak) <
                                  (places[i] > 2 * W + 4 ? kSharedLobeBeat : kNegligibleBeat)) {
                    dcBeatBounded[i] = 1;
                    continue;
                }
                std::vector<double> cross(B);
                for (std::size_t b = 0; b < B; ++b)
                    cross[b] = dcKernelAt(b) * (direct[b * m + i] + mirror[b * m + i]);
                columns.push_back(std::move(cross));
            }
    }
    std::size_t M = columns.size();
    std::vector<double> lobeSum(m, 0.0);
    for (std::size_t b = 0; b < B; ++b)
        for (std::size_t i = 0; i < m; ++i)
            if (std::abs(fitBins[b] - places[i]) <= W + 0.5)
                lobeSum[i] += columns[i][b];
    // Least squares over the fit's bins, each bin weighed by `weight`: the solution, and the
    // diagonal of the normal matrix's inverse (each term's variance where the weights are the
    // bins' inverse variances). The columns differ in scale by many decades: they are
    // brought to one before Gauss-Jordan elimination with partial pivoting.
    std::vector<double> power(M, 0.0), variance(M, 0.0);
    // The bins' covariance as a lower Cholesky factor (B by B, row by row), where the fit takes
    // the bins as sharing their noise; empty: each bin apart, weighed by `weight`.
    std::vector<double> factor;
    // Solves factor z = v in place (the bins' values whitened).
    auto whiten = [&](std::vector<double>& v) {
        for (std::size_t i = 0; i < B; ++i) {
            double t = v[i];
            for (std::size_t k = 0; k < i; ++k)
                t -= factor[i * B + k] * v[k];
            v[i] = t / factor[i * B + i];
        }
    };
    std::size_t undetermined = std::numeric_limits<std::size_t>::max();
    // Each term's prior precision (none where 0): a tone's beat with a product is known to lie
    // within what the two amplitudes and the blocks' turns allow (below).
    std::vector<double> prior;
    auto solve = [&](const std::vector<double>& weight) {
        std::vector<double> a(M * 2 * M, 0.0), atb(M, 0.0), scale(M, 0.0);
        if (!factor.empty()) {
            std::vector<std::vector<double>> x(M);
            std::vector<double> y(B);
            for (std::size_t b = 0; b < B; ++b)
                y[b] = mag[fitBins[b]] - noise;
            whiten(y);
            for (std::size_t i = 0; i < M; ++i) {
                x[i] = columns[i];
                whiten(x[i]);
            }
            for (std::size_t i = 0; i < M; ++i)
                for (std::size_t b = 0; b < B; ++b) {
                    atb[i] += x[i][b] * y[b];
                    for (std::size_t j = 0; j < M; ++j)
                        a[i * 2 * M + j] += x[i][b] * x[j][b];
                }
        } else {
            for (std::size_t b = 0; b < B; ++b) {
                const double target = mag[fitBins[b]] - noise;
                for (std::size_t i = 0; i < M; ++i) {
                    const double wi = weight[b] * columns[i][b];
                    atb[i] += wi * target;
                    for (std::size_t j = 0; j < M; ++j)
                        a[i * 2 * M + j] += wi * columns[j][b];
                }
            }
        }
        for (std::size_t i = 0; i < M && i < prior.size(); ++i)
            a[i * 2 * M + i] += prior[i];
        for (std::size_t i = 0; i < M; ++i) {
            if (!(a[i * 2 * M + i] > 0.0) || !std::isfinite(a[i * 2 * M + i]))
                return false;
            scale[i] = 1.0 / std::sqrt(a[i * 2 * M + i]);
        }
        for (std::size_t i = 0; i < M; ++i) {
            for (std::size_t j = 0; j < M; ++j)
                a[i * 2 * M + j] *= scale[i] * scale[j];
            a[i * 2 * M + M + i] = 1.0;
        }
        for (std::size_t c = 0; c < M; ++c) {
            std::size_t pivot = c;
            for (std::size_t r = c + 1; r < M; ++r)
                if (std::abs(a[r * 2 * M + c]) > std::abs(a[pivot * 2 * M + c]))
                    pivot = r;
            // A column the others make up to a millionth leaves its term undetermined.
            if (!(std::abs(a[pivot * 2 * M + c]) > 1e-12)) {
                undetermined = c;
                return false;
            }
            for (std::size_t j = 0; j < 2 * M; ++j)
                std::swap(a[c * 2 * M + j], a[pivot * 2 * M + j]);
            const double d = a[c * 2 * M + c];
            for (std::size_t j = 0; j < 2 * M; ++j)
                a[c * 2 * M + j] /= d;
            for (std::size_t r = 0; r < M; ++r) {
                const double f = a[r * 2 * M + c];
                if (r == c || f == 0.0)
                    continue;
                for (std::size_t j = 0; j < 2 * M; ++j)
                    a[r * 2 * M + j] -= f * a[c * 2 * M + j];
            }
        }
        for (std::size_t i = 0; i < M; ++i) {
            double v = 0.0;
            for (std::size_t j = 0; j < M; ++j)
                v += a[i * 2 * M + M + j] * scale[j] * atb[j];
            power[i] = scale[i] * v;
            variance[i] = scale[i] * scale[i] * a[i * 2 * M + M + i];
        }
        return true;
    };
    // Each bin weighed by what it may stray by: the noise's own scatter and its beat with what
    // the bin holds (2 P_noise P_content a block, shrinking with the averaging as the noise's
    // scatter does), and the leakage model's error. Beside a tone the beat far outweighs the
    // noise: a product read from it alone was the noise's scatter over the skirt. What a bin
    // holds is read first from the bin itself, then from the fit: a first fit with every bin
    // alike followed the tones' lobes alone and left bins beside a product holding nothing,
    // whose weight of the noise alone then outweighed the rest of its lobe a thousandfold.
    const LeakageAllowance allowance = PairAllowance(windowType);
    std::vector<double> weight(B, 1.0), content(B, 0.0);
    for (std::size_t b = 0; b < B; ++b)
        content[b] = std::max(static_cast<double>(mag[fitBins[b]]) - noise, 0.0);
    // The single-precision spectrum holds no bin better than its rounding. That lies in every
    // bin, where the noise is read too: where those bins hold less (a long transform, its
    // rounding 150 dB under the tone), the floor is lower, and taken above them it left a
    // product 14 dB out of that floor unread. The triangular windows' far leakage is known
    // less well than such a noise, and so is the leaky windows' (a uniform CCIF pair read IMD
    // 60 dB high): their bins keep the floor.
    const bool triangular = TriangularWindow(windowType);
    const double roundingFloor = kArithmeticFloor * *std::max_element(content.begin(), content.end());
    // A noise read as nothing (the tones' leakage covers every free bin) lies somewhere under
    // that leakage: the bins keep the floor too (weighed as exact, a flat-top pair's fit bent
    // its first tone to the far bins and read IMD 1.1 dB high).
    const double rounding = triangular || LeakyWindow(windowType) || !(noise > 0.0) ? roundingFloor
                                                                                    : std::min(roundingFloor, noise);
    // A window symmetric but for its first coefficient (flat-top's, Kaiser's) puts that
    // coefficient's share of a tone into every bin alike: far out it outweighs the real kernel,
    // and there the tone's direct and mirror skirts beat by what the kernels' beat column can't
    // hold. That beat is bounded, not fitted: weighed as exact, the far bins bent a flat-top
    // pair's low tone to their floor (IMD 1.1 dB high).
    std::vector<double> unfitBeat(B, 0.0);
    if (symmetric)
        for (std::size_t i = 0; i < 2; ++i)
            for (std::size_t b = 0; b < B; ++b) {
                const int k = fitBins[b];
                const double whole = std::sqrt(at(i, k - rounded[i]) * at(i, -k - rounded[i]));
                unfitBeat[b] += 2.0 * toneScale[i] * std::max(whole - std::abs(kernelAt(i, b) * imageAt(i, b)), 0.0);
            }
    auto weigh = [&] {
        for (std::size_t b = 0; b < B; ++b) {
            const double modelError = allowance.model * content[b];
            const double spread = binScatter * noise * (noise + 2.0 * content[b]) + modelError * modelError +
                                  rounding * rounding + unfitBeat[b] * unfitBeat[b];
            weight[b] = spread > 0.0 ? 1.0 / spread : 1.0;
        }
    };
    // An offset's beat with a tone that the other columns make up (a cosine window's offset
    // reaches only the bin beside DC, which the offset's own column takes) is left to them.
    auto solveLeavingDcBeat = [&] {
        while (!solve(weight)) {
            if (undetermined < firstDcBeat || undetermined >= M)
                return false;
            columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(undetermined));
            for (std::size_t f = farDcBeats.size(); f-- > 0;) {
                if (farDcBeats[f].second == undetermined)
                    farDcBeats.erase(farDcBeats.begin() + static_cast<std::ptrdiff_t>(f));
                else if (farDcBeats[f].second > undetermined)
                    --farDcBeats[f].second;
            }
            if (undetermined < prior.size())
                prior.erase(prior.begin() + static_cast<std::ptrdiff_t>(undetermined));
            M = columns.size();
            power.assign(M, 0.0);
            variance.assign(M, 0.0);
        }
        return true;
    };
    weigh();
    if (!solveLeavingDcBeat())
        return {};
    // An offset fitted far beyond what DC's lobe holds was traded against its beats, whose
    // columns then took up the misfit beside a low tone (two Hamming blocks and no offset: one
    // read a thousand times what DC's bins hold, and a product of nothing beside the tone as
    // sure as a clear one, IMD 2 dB high). The beats are bounded instead, by what DC's lobe holds.
    if (withDc && firstDcBeat < M && OffsetOutweighsItsLobe(power[dcColumn], dcShape, mag, W, n)) {
        columns.resize(firstDcBeat);
        farDcBeats.clear();
        for (std::size_t i = 2; i < m; ++i)
            dcBeatBounded[i] = 1;
        M = columns.size();
        power.assign(M, 0.0);
        variance.assign(M, 0.0);
        if (!solveLeavingDcBeat())
            return {};
    }
    // A tone's beat with a product, 2 Re(a_t a_p*) a block, is never more than 2 sqrt(P_t P_p),
    // and the average keeps of it only what the blocks' turns leave (the phases read at the
    // tones' bins tell it). Free, two such beats of far skirts made up a product's own column
    // between them over its few bins, and a product of nothing read as unsure as its lobe was
    // full (IMD N/A in the clear). Each is held to that bound at a deviation of 1/sqrt(2) of it,
    // the product taken at the most its lobe holds; only where the turns take half of it away or
    // more: a beat kept whole (one block) may stand near its bound, where such a prior pulls it in
    // (a product in a Hamming tone's lobe read IMD 2.8 dB low).
    constexpr double kKeptForPrior = 0.5;
    double errors[2] = {HUGE_VAL, HUGE_VAL};
    {
        for (std::size_t t = 0; t < 2; ++t) {
            const int k = static_cast<int>(t == 0 ? phaseBin : static_cast<UINT>(rounded[1]));
            const auto where = std::lower_bound(fitBins.begin(), fitBins.end(), k);
            if (where != fitBins.end() && *where == k)
                errors[t] = PhaseError(mag[k], noise,
                                       OtherLines(columns, power, direct, m, t, static_cast<std::size_t>(where - fitBins.begin()),
                                                  symmetric, dcColumn));
        }
        prior.assign(M, 0.0);
        for (const Cross& x : crossOf) {
            // The tones' sum beat is held so always: fitted free, its column and the tones' direct
            // beat traded tens of times past their bound and took a strong product with them.
            if (x.part == 1 && x.image && power[0] > 0.0 && power[1] > 0.0) {
                const double keptSum = std::clamp(PairCoherence(rounded[0], 1, rounded[1], 1, errors[0], errors[1]), 1e-3, 1.0);
                const double bound = keptSum * 2.0 * std::sqrt(power[0] * power[1]);
                prior[x.column] = 2.0 / (bound * bound);
            }
            if (x.part < 2 || !(power[x.tone] > 0.0) || !(lobeSum[x.part] > 0.0))
                continue;
            double held = 0.0;
            for (int k : fitBins)
                if (std::abs(k - places[x.part]) <= W + 0.5)
                    held += mag[k];
            const int turn = x.image ? 1 : -1;
            auto keptOf = [&](std::size_t t) {
                return std::clamp(PairCoherence(rounded[0], made[x.part].first + (t == 0 ? turn : 0), rounded[1],
                                                made[x.part].second + (t == 1 ? turn : 0), errors[0], errors[1]),
                                  1e-3, 1.0);
            };
            const double kept = keptOf(x.tone);
            double bound = kept * 2.0 * std::sqrt(power[x.tone] * held / lobeSum[x.part]);
            // A uniform column that holds the second tone's beat too holds `absorbed` times that.
            double beside = 0.0;
            if (x.tone == 0 && absorbed[x.part] > 0.0 && !x.image) {
                beside = keptOf(1);
                bound += absorbed[x.part] * beside * 2.0 * std::sqrt(std::max(power[1], 0.0) * held / lobeSum[x.part]);
            }
            if (std::max(kept, beside) <= kKeptForPrior && bound > 0.0)
                prior[x.column] = 2.0 / (bound * bound);
        }
    }
    for (std::size_t b = 0; b < B; ++b) {
        content[b] = 0.0;
        for (std::size_t i = 0; i < M; ++i)
            content[b] += power[i] * columns[i][b];
        content[b] = std::max(content[b], 0.0);
    }
    weigh();
    // The weights take the bins as independent, but the window shares each bin's noise with its
    // neighbours, and a part's beat with the noise, 2 Re(P N*), moves its lobe's bins together:
    // summed along the part's shape that beat scatters by up to N sum(w^4) / sum(w^2)^2 times
    // what independent bins give (2.3 Blackman, 4.1 flat-top). Weighed bin by bin, one to five
    // blocks read a product 10 dB out of the noise 1-1.5 dB off and as sure. The fit is made
    // with the bins' covariance instead: the noise's own, rho^2 n^2, and its beat with every
    // part, 2 n rho sqrt(P_i P_j) A_i A_j, from the parts' signed kernels (a symmetric window's
    // only, as the first fit has them), each bin keeping its own spread as weighed. The
    // triangular windows' bins keep theirs: their far skirts, known less well than the noise,
    // set it.
    if (symmetric && !LeakyWindow(windowType) && !triangular && noise > 0.0) {
        const int reach = 2 * W + 2;
        const std::vector<double>& rho = BinNoiseCorrelation(shape, reach);
        if (rho.size() == static_cast<std::size_t>(reach) + 1 && std::abs(rho[1]) > 1e-6) {
            // Each part's amplitude in every bin, signed by its kernel: the tones' direct and
            // mirror lines, the products and the offset's lobe.
            std::vector<std::vector<double>> amplitude;
            for (std::size_t i = 0; i < m; ++i) {
                const double root = std::sqrt(std::max(power[i], 0.0));
                std::vector<double> line(B), image(B);
                for (std::size_t b = 0; b < B; ++b) {
                    line[b] = root * (i < 2 ? kernelAt(i, b) : direct[b * m + i]);
                    image[b] = i < 2 ? root * imageAt(i, b) : 0.0;
                }
                amplitude.push_back(std::move(line));
                if (i < 2)
                    amplitude.push_back(std::move(image));
            }
            if (withDc) {
                std::vector<double> offset(B, 0.0);
                for (std::size_t b = 0; b < B && fitBins[b] <= W; ++b)
                    offset[b] = std::sqrt(std::max(power[dcColumn], 0.0) * dcShape[static_cast<std::size_t>(fitBins[b])]);
                amplitude.push_back(std::move(offset));
            }
            factor.assign(B * B, 0.0);
            const double n2 = binScatter * noise;
            for (std::size_t b = 0; b < B; ++b)
                for (std::size_t c = 0; c <= b; ++c) {
                    const int d = fitBins[b] - fitBins[c];
                    if (d > reach)
                        continue;
                    double beat = 0.0;
                    for (const auto& amp : amplitude)
                        beat += amp[b] * amp[c];
                    const double r = rho[static_cast<std::size_t>(d)];
                    const double v = n2 * (noise * r * r + 2.0 * r * beat);
                    // The diagonal keeps the bin's spread as weighed where that is more (the
                    // model's error, the rounding, the parts' own cross terms).
                    factor[b * B + c] = c == b ? std::max(v + rounding * rounding, weight[b] > 0.0 ? 1.0 / weight[b] : 0.0) : v;
                }
            // Cholesky in place; a covariance the parts' content leaves short of positive keeps
            // the bins apart.
            if (!factor.empty() && !CholeskyInPlace(factor, B))
                factor.clear();
        }
    }
    if (!solveLeavingDcBeat())
        return {};
    // Solves with the cross columns added from `before` on, or, where they leave the fit singular,
    // without them again (false where even that fails).
    auto solveOrDropFrom = [&](std::size_t before, std::size_t crossesBefore) {
        M = columns.size();
        power.resize(M, 0.0);
        variance.resize(M, 0.0);
        if (M == before || solve(weight))
            return true;
        columns.resize(before);
        crossOf.resize(crossesBefore);
        prior.resize(std::min(prior.size(), before));
        M = before;
        power.resize(M);
        variance.resize(M);
        return solve(weight);
    };
    // A tone's mirror image beats with a product too, by another number: their phases add, and
    // over the bins that beat is one number times A(k + c_t) A(k - c_p) + A(k - c_t) A(k + c_p).
    // A slowly falling skirt (Hamming's) holds at the image's distance a tenth of the near
    // sidelobes' amplitude; where the tones lie on exact multiples of each other that beat keeps
    // one phase from block to block while the direct one averages away, and left out, a product
    // under a tone's first sidelobe read 1.7 dB high after 37 blocks. It is fitted where the
    // powers fitted and the blocks' turns say it could move the product's lobe by a share worth
    // fitting, and its shape over the lobe is not the direct beat's.
    if (symmetric && !LeakyWindow(windowType) && !triangular) {
        // Below a tenth of the product (0.4 dB) the column costs the fit more than it mends.
        constexpr double kImageBeatShare = 0.1;
        const std::size_t before = columns.size(), crossesBefore = crossOf.size();
        for (std::size_t c = 0; c < crossesBefore; ++c) {
            const Cross x = crossOf[c];
            if (x.part < 2 || x.image || !(power[x.tone] > 0.0) || !(power[x.part] > 0.0) || !(lobeSum[x.part] > 0.0))
                continue;
            const std::size_t t = x.tone, j = x.part;
            const double keptSum = PairCoherence(rounded[0], made[j].first + (t == 0 ? 1 : 0), rounded[1],
                                                 made[j].second + (t == 1 ? 1 : 0), errors[0], errors[1]);
            std::vector<double> col(B, 0.0);
            double shared = 0.0, own = 0.0, along = 0.0, directNorm = 0.0;
            for (std::size_t b = 0; b < B; ++b) {
                if (direct[b * m + j] == 0.0)
                    continue;
                col[b] = imageAt(t, b) * direct[b * m + j] +
                         (std::abs(fitBins[b] - places[t]) <= kReach ? kernelAt(t, b) * kernel(fitBins[b] + places[j]) : 0.0);
                if (std::abs(fitBins[b] - places[j]) <= W + 0.5) {
                    const double d = columns[x.column][b];
                    shared += std::abs(col[b]);
                    own += col[b] * col[b];
                    along += col[b] * d;
                    directNorm += d * d;
                }
            }
            // What the direct beat's column makes up of it over the lobe is fitted there already:
            // only the rest, its share of the beat's amplitude, counts.
            const double apart = directNorm > 0.0 ? own - along * along / directNorm : own;
            if (!(own > 0.0) || 2.0 * keptSum * std::sqrt(power[t] * power[j]) * shared * std::sqrt(std::max(apart, 0.0) / own) <=
                                    kImageBeatShare * power[j] * lobeSum[j])
                continue;
            // Held to what the two amplitudes and the blocks' turns allow, as the direct beats are.
            const double most = std::max(power[j], 0.0) + 2.0 * std::sqrt(std::max(variance[j], 0.0));
            const double bound = keptSum * 2.0 * std::sqrt(power[t] * most);
            prior.resize(columns.size(), 0.0);
            prior.push_back(keptSum <= kKeptForPrior && bound > 0.0 ? 2.0 / (bound * bound) : 0.0);
            crossOf.push_back({t, j, columns.size(), true});
            columns.push_back(std::move(col));
        }
        if (!solveOrDropFrom(before, crossesBefore))
            return {};
    }
    // Products whose lobes share bins add or cancel by what two tones do (a low tone a few bins
    // up sets its products that close): left out, their beat in one or two blocks read the
    // stronger product 1-2 dB off. Where the powers fitted say the beat could move either
    // lobe by a share worth fitting it is fitted; elsewhere it is bounded at two deviations
    // (fitted beside a product of nothing, it made that one unsure, and so the reading). The
    // windows whose far leakage is fitted otherwise keep their own way.
    std::vector<double> pairBeat(m, 0.0);
    if (symmetric && !LeakyWindow(windowType) && !triangular) {
        const std::size_t before = columns.size(), crossesBefore = crossOf.size();
        for (std::size_t i = 2; i < m; ++i)
            for (std::size_t j = i + 1; j < m; ++j) {
                if (std::abs(places[i] - places[j]) > 2.0 * W + 1.0)
                    continue;
                // What the fit says each holds, and the most it may hold at two deviations. A
                // product fitted below nothing was traded against this beat, left out: its size
                // says what it may hold (a Kaiser pair's difference product, two bins from the
                // product below, read far under nothing and its beat was held to naught: IMD
                // 1.5 dB low).
                auto held = [&](std::size_t t) { return std::abs(power[t]); };
                auto most = [&](std::size_t t) { return held(t) + 2.0 * std::sqrt(std::max(variance[t], 0.0)); };
                double shared = 0.0;
                for (std::size_t b = 0; b < B; ++b)
                    shared += std::abs(direct[b * m + i] * direct[b * m + j]);
                if (2.0 * std::sqrt(held(i) * held(j)) * shared <=
                    kNegligibleBeat * std::max(held(i) * lobeSum[i], held(j) * lobeSum[j])) {
                    const double bound = 2.0 * std::sqrt(most(i) * most(j)) * shared;
                    pairBeat[i] += bound;
                    pairBeat[j] += bound;
                    continue;
                }
                std::vector<double> col(B);
                for (std::size_t b = 0; b < B; ++b)
                    col[b] = direct[b * m + i] * direct[b * m + j];
                crossOf.push_back({i, j, columns.size()});
                columns.push_back(std::move(col));
            }
        // Columns that the others make up leave the beats bounded as they were.
        if (!solveOrDropFrom(before, crossesBefore))
            return {};
    }
    // Bins that stray from the fit by more than that hold something the model lacks (a tone's
    // beat with the other's far leakage, coloured noise): every term but the tones' (read from
    // their lobes, far above it) is that much less sure. Where DC's own lobe, no part in it,
    // strays more than the parts' bins do, it is left out: the tones' far skirts beating with
    // their mirror images there say nothing of the parts (on the default settings, three blocks
    // averaged, that misfit made a clear SMPTE pair's products a hundred times less sure on half
    // the reads, and IMD N/A).
    {
        double misfit = 0.0, partsMisfit = 0.0;
        std::size_t partBins = 0;
        std::vector<double> residual(B);
        for (std::size_t b = 0; b < B; ++b) {
            double r = mag[fitBins[b]] - noise;
            for (std::size_t i = 0; i < M; ++i)
                r -= power[i] * columns[i][b];
            residual[b] = r;
        }
        if (!factor.empty())
            whiten(residual);
        for (std::size_t b = 0; b < B; ++b) {
            const double e = (factor.empty() ? weight[b] : 1.0) * residual[b] * residual[b];
            misfit += e;
            const int k = fitBins[b];
            if (std::any_of(places.begin(), places.end(), [&](double c) { return std::abs(k - c) <= W + 0.5; })) {
                partsMisfit += e;
                ++partBins;
            }
        }
        double excess = B > M ? misfit / static_cast<double>(B - M) : 1.0;
        if (partBins > M)
            excess = std::min(excess, partsMisfit / static_cast<double>(partBins - M));
        if (excess > 1.0)
            for (std::size_t i = 2; i < M; ++i)
                variance[i] *= excess;
    }
    // A tone beside DC: its fitted shift s (power times place) moves its place by s / P, as a
    // Gauss-Newton step; the fit is made again at the moved places until the step is a
    // thousandth of a bin. A fit that does not settle reads nothing.
    // So on the triangular windows: their skirts, falling only as the square of the distance,
    // beat with a product several bins off, and the fitted beat takes up what the product's
    // place (set by the tones') is off (a hundredth of a bin read a CCIF product 1-2 dB off).
    // So on the uniform window where a tone lies within the mirror image's reach (above): there
    // no product is taken onto a bin, and a low tone placed from its lobe alone, 0.015 bin off,
    // set its difference product twice that off (IMD 2 dB high).
    const bool imageBendsPlace =
        windowType == TSmoothing::kUniform && std::min(places[0], places[1]) <= kImageReach * (W + 1);
    if (nearDc || TriangularWindow(windowType) || imageBendsPlace) {
        constexpr int kPasses = 6;
        constexpr double kSettled = 1e-3, kLargestStep = 0.5;
        // The places, then the steps that moved them. A step that turns back on the last one
        // overshot (a strong tone far up swung by a thousandth and a half of a bin from pass to
        // pass and never settled): half of it goes.
        double moved[4] = {c1, c2, 0.0, 0.0}, largest = 0.0;
        for (std::size_t i = 0; i < 2; ++i) {
            if (!(power[i] > 0.0))
                return {};
            double step = std::clamp(power[shiftColumn[i]] / power[i], -kLargestStep, kLargestStep);
            if (given && pass > 0 && step * given[2 + i] < 0.0)
                step *= 0.5;
            moved[i] += step;
            moved[2 + i] = step;
            largest = std::max(largest, std::abs(step));
        }
        if (largest > kSettled)
            return pass + 1 < kPasses ? FitTwoTonesAt(firstBin, lowFrequencyBin, highFrequencyBin, moved, pass + 1)
                                      : TwoTones{};
    }
    // Over all bins every part's response sums to the same (Parseval): the fitted powers
    // compare as they stand.
    const double tones = power[0] + power[1];
    if (!(power[0] > 0.0) || !(power[1] > 0.0) || !std::isfinite(tones))
        return {};
    // The tones' power must be good to 1 dB (a quarter) at five deviations: a tone that DC's
    // lobe or its own mirror image overlaps so far that the fit can't tell them apart is not.
    if (kProductSigmas * (std::sqrt(std::max(variance[0], 0.0)) + std::sqrt(std::max(variance[1], 0.0))) > 0.25 * tones)
        return {};
    // A product counts where it stands four times above the noise in its lobe and twice above
    // what the tones' leakage there leaves uncertain: the model's own error, and what the
    // product and the leakage may add or cancel by where that is not fitted. The noise and
    // the leakage are never read as distortion, and without a product that stands out there
    // is none to read. Products that do not count may hold what they read unseen; with that,
    // the leakage's uncertainty and what the fit may have every product off by (at three
    // deviations: the scatter of the blocks averaged, which one block leaves wide), the sum
    // must be good to 1 dB. A fixed share of one deviation let readings of one to three
    // blocks through that were 1 dB off.
    // Where a leaky window's beats are bounded, not fitted, the average keeps of each only what
    // the blocks' turns leave: read from the tones' phases in every block, each off by what
    // the other lines in its bin move it.
    double phaseError[2] = {HUGE_VAL, HUGE_VAL};
    if (LeakyWindow(windowType))
        for (std::size_t t = 0; t < 2; ++t) {
            const int k = static_cast<int>(t == 0 ? phaseBin : static_cast<UINT>(rounded[1]));
            const auto where = std::lower_bound(fitBins.begin(), fitBins.end(), k);
            if (where != fitBins.end() && *where == k)
                phaseError[t] = PhaseError(mag[k], noise,
                                           OtherLines(columns, power, direct, m, t,
                                                      static_cast<std::size_t>(where - fitBins.begin()), symmetric, dcColumn));
        }
    auto kept = [&](int m1, int m2) {
        return LeakyWindow(windowType) ? PairCoherence(rounded[0], m1, rounded[1], m2, phaseError[0], phaseError[1]) : 1.0;
    };
    // Where a beat is bounded, how much of that bound the shapes allow over part i's lobe: its
    // transform against each tone's direct skirt and mirror image there ([tone][image]).
    std::vector<std::complex<double>> partTurned;
    auto beatShapes = [&](std::size_t i, double shares[2][2]) {
        shares[0][0] = shares[0][1] = shares[1][0] = shares[1][1] = 1.0;
        if (!LeakyWindow(windowType) || (beatFitted[2 * i] && beatFitted[2 * i + 1]))
            return;
        const long long r = std::llround(places[i]);
        partTurned.assign(N, 0.0);
        TurnWindow(WindowShape(), places[i] - static_cast<double>(r), partTurned);
        if (!DoubleTransform(partTurned))
            return;
        auto value = [&](const std::vector<std::complex<double>>& v, long long m) { return v[static_cast<std::size_t>(((m % N) + N) % N)]; };
        std::vector<std::complex<double>> part, skirt[2][2];
        for (int k : fitBins)
            if (std::abs(k - places[i]) <= W + 0.5) {
                part.push_back(value(partTurned, k - r));
                for (std::size_t t = 0; t < 2; ++t) {
                    skirt[t][0].push_back(value(turned[t], k - rounded[t]));
                    skirt[t][1].push_back(std::conj(value(turned[t], -k - rounded[t])));
                }
            }
        for (std::size_t t = 0; t < 2; ++t)
            for (std::size_t j = 0; j < 2; ++j)
                shares[t][j] = LobeCorrelation(part, skirt[t][j]);
    };
    // The most the offset may hold, for its beats with the tones.
    const double dcDeviation = withDc ? std::sqrt(std::max(variance[dcColumn], 0.0)) : 0.0;
    const double dcMost = withDc ? std::max(power[dcColumn], 0.0) + 2.0 * dcDeviation : 0.0;
    double sum = 0.0, doubt = 0.0, scatter = 0.0;
    int found = 0;
    for (std::size_t i = 2; i < m; ++i) {
        if (!(lobeSum[i] > 0.0))
            continue;
        double shapes[2][2];
        beatShapes(i, shapes);
        double leakages[2] = {}, straight[2] = {}, far = 0.0, dcHeld = 0.0;
        for (int k : fitBins)
            if (std::abs(k - places[i]) <= W + 0.5) {
                for (std::size_t t = 0; t < 2; ++t) {
                    leakages[t] += power[t] * fullLeakage(t, k);
                    straight[t] += power[t] * at(t, k - rounded[t]);
                }
                dcHeld += dcScale * dcLeak(k);
                far += power[0] * farLeakage(0, k) + power[1] * farLeakage(1, k);
            }
        const double part = power[i] * lobeSum[i];
        // Beside a tone the fit took the leakage's shape, its shift and what the two add or
        // cancel by; farther off only the leakage's power, and the beats with its direct and
        // mirror images as much as the average keeps of them.
        double uncertain = allowance.model * far, reach = 0.0;
        for (std::size_t t = 0; t < 2; ++t)
            if (!beatFitted[2 * i + t]) {
                const int m1 = made[i].first, m2 = made[i].second, d1 = t == 0 ? 1 : 0, d2 = t == 1 ? 1 : 0;
                const double keptDirect = kept(m1 - d1, m2 - d2) * shapes[t][0], keptImage = kept(m1 + d1, m2 + d2) * shapes[t][1];
                reach += std::sqrt(straight[t] * keptDirect * keptDirect +
                                   std::max(leakages[t] - straight[t], 0.0) * keptImage * keptImage);
            }
        if (dcBeatBounded[i])
            reach += std::sqrt(dcHeld);
        // Each beat is bounded by the skirts' amplitude `reach` times the product's. A uniform
        // product on a bin has its beats in that bin alone, all of them in its fitted power
        // P^2 + 2 P s cos(phi): the product holds up to (s + sqrt(s^2 + fitted))^2, and bounded by
        // the fitted amplitude, one the skirts cancelled in one block was fitted as nothing and
        // left out unseen (IMD 2-3 dB low). Elsewhere a beat is bounded only where it moves what
        // the lobe holds by a hundredth at most, and the fitted amplitude serves (the most there,
        // a weak product inside a Hamming tone's lobe left IMD N/A that read right).
        const double amplitude = windowType == TSmoothing::kUniform && onBin(i)
                                     ? reach + std::sqrt(std::max(part + reach * reach, 0.0))
                                     : std::sqrt(std::max(part, 0.0));
        uncertain += 2.0 * reach * amplitude;
        uncertain += pairBeat[i];
        for (const BeatOnPart& x : beatsOnParts)
            if (x.on == i)
                uncertain += 2.0 * std::sqrt(std::max(power[x.tone], 0.0) *
                                             (std::max(power[x.part], 0.0) + 2.0 * std::sqrt(std::max(variance[x.part], 0.0)))) *
                             x.held;
        // The offset's beats with the far tones are 2 sqrt(P_dc P_t) at most, whether or not it
        // stands out of the fit: fitted beyond that, their columns took up what the model misses
        // of the tones' skirts, which a leaky window's skirt makes alike over a product's lobe.
        // What they put there is not known (one force block of a CCIF pair without products or an
        // offset read IMD -50 dB; two beside a 1 % offset, a product 7 dB high and another of
        // nothing 42 dB over its truth: IMD 8 dB high).
        for (const auto& [tone, column] : farDcBeats) {
            const double most = 1.25 * 2.0 * std::sqrt(dcMost * std::max(power[tone], 0.0)) +
                                kProductSigmas * std::sqrt(std::max(variance[column], 0.0));
            const double beat = std::abs(power[column]);
            if (!(beat > most))
                continue;
            double held = 0.0;
            for (std::size_t b = 0; b < B; ++b)
                if (std::abs(fitBins[b] - places[i]) <= W + 0.5)
                    held += std::abs(columns[column][b]);
            uncertain += (beat - most) * held;
        }
        // What a tone and a part add or cancel by is bounded by their amplitudes: 2 sqrt(P_t P_p).
        // A fit that needs more took what the model misses of the tone's sidelobes for a
        // product and a cross term that cancel each other: the product is not read from it.
        bool consistent = true;
        for (const Cross& x : crossOf)
            if (x.part == i && !(std::abs(power[x.column]) <= 1.25 * 2.0 * std::sqrt(std::max(power[x.tone] * power[i], 0.0)) +
                                                                  (x.tone == 0 ? 2.5 * absorbed[i] * std::sqrt(std::max(power[1] * power[i], 0.0)) : 0.0) +
                                                                  kProductSigmas * std::sqrt(std::max(variance[x.column], 0.0))))
                consistent = false;
        // How far the fit may have the product off, as the bins' scatter has it; it stands out
        // where it would not be read from that scatter once in a million (five deviations).
        // Under the spectrum's rounding nothing is read.
        const double deviation = std::sqrt(std::max(variance[i], 0.0)) * lobeSum[i];
        // A part holds no more than its lobe does: a fit that says it holds several times that
        // traded its columns against each other (one force block: the second tone read 29 dB
        // low and a product 56 dB above its truth), and nothing is read from it.
        double held = 0.0;
        for (int k : fitBins)
            if (std::abs(k - places[i]) <= W + 0.5)
                held += mag[k];
        if (part > 4.0 * (held + 2.0 * uncertain + kProductSigmas * deviation))
            return {};
        if (!nearEdge[i] && consistent && part > lobeThreshold + 2.0 * uncertain + kProductSigmas * deviation &&
            power[i] > 10.0 * kArithmeticFloor * tones) {
            // No product outweighs the weaker tone: one that does is a tone the search missed (a
            // flat-top tone 3 bins up, under DC's lobe, read as a product of the tone and of the
            // strongest product, taken for the second tone: IMD 37 dB high).
            if (power[i] > std::min(power[0], power[1]))
                return {};
            sum += power[i];
            doubt += uncertain / lobeSum[i];
            scatter += std::max(variance[i], 0.0);
            ++found;
        } else {
            // A product left out is missed by no more than its lobe can hold, however loosely
            // the fit pins it (one whose column the others nearly make up read a deviation ten
            // times its lobe, and kept a clear IMD unread).
            double others = 0.0;
            for (std::size_t b = 0; b < B; ++b)
                if (std::abs(fitBins[b] - places[i]) <= W + 0.5)
                    others += noise + OtherParts(columns, power, m, i, b);
            const double most = MostInLobe(held, others) / (kDoubtSigmas * lobeSum[i]);
            // Inside a tone's lobe a fit whose columns traded says nothing of the product: its
            // lobe may hold all it can (one Kaiser block's difference product 3 bins beside the
            // high tone, a third of the products' power, fitted as nothing: IMD 1.8 dB low).
            const bool underTone = !consistent && std::min(std::abs(places[i] - places[0]),
                                                           std::abs(places[i] - places[1])) <= W + 0.5;
            scatter += underTone ? most * most : std::min(std::max(variance[i], 0.0), most * most);
            doubt += ((consistent ? std::max(part, 0.0) : std::abs(part)) + uncertain) / lobeSum[i];
        }
    }
    if (found == 0 || doubt + kDoubtSigmas * std::sqrt(scatter) > 0.2 * sum)
        return {};
    return {true, tones, sum};
}
