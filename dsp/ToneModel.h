// The tone and leakage model of one averaged power spectrum: the parts a distortion measure is
// made of (the fundamental, its harmonics, the noise; or two test tones and their products),
// each fitted with the window's leakage and given with how far it may be off.
//
// Threads: one model is used by one thread at a time. The model keeps its last fit between
// calls; the window's tables it holds are shared with every model of the same window type and
// size, in any thread. The spectrum it reads belongs to the caller.
#pragma once

#include "platform/core/WinTypes.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <utility>
#include <vector>

class ToneModel {
public:
    // One averaged block's complex value at the bin its phase is read from, and the block's
    // weight in the average; and its value at the strongest peak clear of that bin's lobe
    // (`secondBin`, where a second tone of a pair lies).
    struct BlockPhase {
        double weight = 0.0;
        std::complex<float> value;
        std::complex<float> second;
        UINT secondBin = 0;
        bool operator==(const BlockPhase&) const = default;
    };
    // How far from a tone's bin another peak must lie for its phase to be read apart.
    static int LobeReach(WORD windowType);

    // The spectrum a fit reads and what it was made with.
    struct Spectrum {
        const float* power = nullptr; // averaged power per bin
        UINT bins = 0;
        UINT fftSize = 0;
        WORD windowType = 0;
        float binWidth = 0.0f;      // Hz
        float highFrequency = 0.0f; // top of the analysed band, Hz
        float averageBlocks = 1.0f; // the averaging's length in blocks
        int averageCount = 0;       // blocks averaged so far
        // The blocks' phases at bin phaseBin (the strongest tone's), where known: a line and
        // another's leakage beat by a phase that may turn from block to block, and the
        // average keeps only what the turns leave of it. Null: taken as never turning.
        const std::vector<BlockPhase>* blockPhases = nullptr;
        UINT phaseBin = 0;
    };

    // The powers a distortion measure is made of, between two bins, each with how far it may
    // be off (what the leakage taken away and the noise under the harmonics leave uncertain).
    struct Parts {
        bool tone = false;       // a fundamental above the noise, clear of DC
        double fundamental = 0.0;
        double harmonics = 0.0;  // the harmonics' power, the noise under them taken away
        double harmonicsSpread = 0.0;
        int harmonicCount = 0;   // harmonics inside the band
        int harmonicsFound = 0;  // of those, the ones that stand out of the noise at their place
        double distortionAndNoise = 0.0; // everything but the fundamental
        double distortionAndNoiseSpread = 0.0;
        // Of that spread, how far it may lie under the reading: a harmonic hidden under the
        // leakage, left uncounted, can only have made it read low.
        double distortionAndNoiseSpreadBelow = 0.0;
        double noise = 0.0;      // everything but the fundamental and its harmonics
        double noiseSpread = 0.0;
    };

    // Two test tones and their intermodulation products.
    struct TwoTones {
        bool found = false;    // two tones, and a product standing out of the noise
        double tones = 0.0;    // both tones' power
        double products = 0.0; // the power of the products that stand out
    };

    // The fundamental (the strongest tone between bins lo and hi), its harmonics and the noise.
    // The last fit is kept with all it was made from and given again for the same spectrum.
    Parts FitTone(const Spectrum& spectrum, UINT lo, UINT hi);
    // The tone at `firstBin` and the strongest other tone between bins lowBin and highBin
    // (no harmonic of the first), and the products of the two; may throw bad_alloc.
    TwoTones FitTwoTones(const Spectrum& spectrum, UINT firstBin, UINT lowBin, UINT highBin);

private:
    void Use(const Spectrum& spectrum);
    float BinFrequency(UINT k) const { return static_cast<float>(k) * binWidth; }
    // The blocks in the average: those averaged so far, up to the averaging's length.
    double BlocksAveraged() const { return std::min<double>(averageCount, averageBlocks); }
    // The same, never fewer than one: what a spectrum not yet averaged counts as.
    double BlocksCounted() const { return std::max(1.0, BlocksAveraged()); }
    Parts FitToneAnew(UINT lo, UINT hi);
    // The noise the spectrum's own single-precision arithmetic adds to `bandBins` bins.
    double ArithmeticNoise(UINT bandBins) const;
    // The square scatter of one bin's noise about its mean, as the band shows it (one block's
    // at most, the blocks averaged at least).
    double BandScatter(int halfWidth) const;
    // What the lobe of bins centre +- halfWidth, the strongest of a band of `bandBins`, may hold
    // by chance without a tone: the noise (`typical` a bin, its sum over the lobe scattering by
    // `lobeScatter` of its square mean, averaged over `blocks`) and DC's skirt `dc`, good to
    // `dcError` of itself.
    double ChancePeak(UINT centre, int halfWidth, double typical, double lobeScatter, double blocks,
                      const std::vector<double>& dc, double dcError, UINT bandBins) const;
    // FitTwoTones with the tones' places `given` (refined by an earlier pass, and after them the
    // steps that pass moved them by), or read from their lobes where null.
    TwoTones FitTwoTonesAt(UINT firstBin, UINT lowBin, UINT highBin, const double* given, int pass);
    // A tone's place where its lobe meets DC's, from the fit with the offset, and into `doubt`
    // how far it may be off (`otherwise`, `doubt` untouched, where that fit finds none).
    double PlaceBesideDc(UINT peak, double floor, double otherwise, double& doubt);
    // The power a DC offset puts in every bin into `dc`, from its lobe above the noise `floor`
    // per bin and the leakage `other` of the parts modelled before (good to `otherSpread`);
    // returns how far that may be off, as a share of it. Where no offset stands out, `hidden`
    // (if given) receives the most one could hold unseen, in the units of `dc` per unit of the
    // window's response; 0 where one is modelled.
    // The window's response as power at every bin from DC (empty without the window's shape).
    const std::vector<double>& DcResponse();
    double DcLeakage(double floor, const std::vector<double>& other, const std::vector<double>& otherSpread,
                     std::vector<double>& dc, double* hidden = nullptr);
    // The most a line's lobe power puts into one bin d bins from its peak bin, as a share of it,
    // wherever in its bin the line lies (empty without the window's shape).
    const std::vector<double>& SkirtEnvelope();
    // Adds the predicted share of a tone's power in every bin (the window's response at the
    // tone's offset from the bin, scaled to `lobePower` over the lobe of `centre`) to `leak`,
    // and how far that prediction may be off to `spread`; `floor` is the noise in one bin.
    // Returns the share of the tone's power its lobe holds (0 when the window's shape is not
    // known); `offset` receives the tone's distance from `centre` in bins and `offsetError` how
    // far that may be off; `mirrorCross` what of `spread` is the fitted cross term with the
    // tone's mirror image.
    // `partner`, a tone modelled before (in `leak`), has what the two add or cancel by fitted
    // too; `self` receives this tone's shape for that.
    // A DC offset is a partner too: one line with no mirror image, fitted beside the tone's
    // own beat with its image.
    // The average keeps `imageTurns` of the tone's beat with its image, `partnerTurns` of that
    // with the partner and `partnerImageTurns` of the partner's with the image (as
    // `partnerTurns` where negative; see BeatCoherence): bounds shrink by them.
    // `place`, where not negative and within half a bin of `centre`, is the tone's place known
    // beforehand (good to `placeError` bins), in place of the one its lobe gives.
    struct ToneShape {
        std::vector<std::complex<double>> v; // the window's transform turned to the tone's offset
        long long centre = 0;
        double scale = 0.0;
        bool dc = false;
        bool beatsFitted = false; // the tone's beats with its image and partner were fitted
        bool pairPhased = false;  // its beat with the partner was taken from the blocks' phases
        double scatter = 0.0;     // how far the bins scatter about that fit, weighted
        // Fitted with an offset: the share of the offset's beat in each bin that the tone's beat
        // with its image can't take up over the bins read (empty otherwise).
        std::vector<double> offsetBeatApart;
        bool harmonic = false;    // a harmonic of the tone it is fitted beside, placed by it
        // Its order there (0: none). Read from its peak bin and the tone's, a harmonic midway
        // between bins of a tone midway too can round to the next (the 7th at bin 60 of a tone
        // at 8.5 read as the 8th).
        int order = 0;
        // What the fitted beats' own deviation adds to each bin's spread, as a free bin counts it
        // and as a harmonic's lobe does (empty where the beats were not fitted), with each bin's
        // columns of those beats (`beatColumns` a bin) and their covariance: the noise moves the
        // fitted terms once for all bins, so their effect on a sum of bins is bounded as one.
        std::vector<double> beatNoise, beatNoiseHeld, beatRows, beatCovariance;
        int beatColumns = 0;
    };
    double AddToneLeakage(UINT centre, int halfWidth, double lobePower, double floor, std::vector<double>& leak,
                          std::vector<double>& spread, double* offset = nullptr, double* offsetError = nullptr,
                          std::vector<double>* mirrorCross = nullptr, const ToneShape* partner = nullptr,
                          ToneShape* self = nullptr, double beating = 0.0, double imageTurns = 1.0,
                          double partnerTurns = 1.0, double partnerImageTurns = -1.0, double place = -1.0,
                          double placeError = 0.0);
    // The offset's shape as a partner of the fundamental's fit, scaled as `dc` is (empty
    // without an offset).
    ToneShape DcShape(const std::vector<double>& dc);
    // Where the leakage covers every bin and no noise is read beside it (`typical` nothing), the
    // noise still beats with the leakage: the mean of r^2 / L over the free bins, r what a bin
    // holds beyond its leakage L, so that a lobe holding leakage L scatters by the root of L
    // times that (0 where the noise is read).
    double LeakageBeatScatter(const std::vector<UINT>& freeBin, const std::vector<double>& leak, double typical) const;
    // A tone whose lobe reaches DC's, fitted together with the offset over the bins they share
    // (peak the tone's strongest bin): both powers at their peaks and what the tone adds or
    // cancels by with the offset and with its own image, each with how far it may be off.
    // Only for a symmetric window, whose beats are a few numbers over all bins.
    struct BesideDc {
        bool fitted = false;
        double place = 0.0, placeError = 0.0; // bins
        double dc = 0.0, tone = 0.0;           // at their peaks, as the spectrum holds them
        double dcDeviation = 0.0, toneDeviation = 0.0;
        double second = 0.0, secondDeviation = 0.0; // the second harmonic at its peak, where fitted too
        // The most the second harmonic could hold at its peak where its columns were tried and it
        // did not show (HUGE_VAL where that is not known).
        double secondMost = HUGE_VAL;
        // Where its columns were tried and refused (another line's misfit may pass for it), the
        // most it may hold as a share of the tone, which the fit without them may have taken in.
        double secondUnread = 0.0;
        // Where fitted: what the harmonic (its lobe and image) and its beat with the tone put into
        // each bin, per unit of each, with their values' covariance.
        std::vector<double> secondShape, secondBeatShape;
        double secondBeat = 0.0, secondCovariance[2][2] = {};
        // What those put into the bins from a to b that `owner` gives the harmonics (2), and two
        // deviations of that.
        std::pair<double, double> SecondHeldIn(long a, long b, const std::vector<unsigned char>& owner) const;
        double values[6] = {};                 // the fit's terms (the model's columns)
        double covariance[6][6] = {};
    };
    // `secondAllowed`: the second harmonic may be fitted with them where its lobe reaches theirs.
    BesideDc FitBesideDc(UINT peak, double floor, bool secondAllowed = true);
    // The offset from `centre` of a tone near DC on a window that is one run of equal samples
    // (uniform, force), from its lobe and DC's (`other` taken away) fitted with its mirror
    // image, the offset and their beats; `otherwise` where that can't be fitted.
    double PlaceBesideImage(UINT centre, int halfWidth, const std::vector<double>& other, double otherwise);
    // Whether a force tone's image moves the place its lobe alone gives by more than a place
    // can be doubted, and no stronger line below it keeps the fit with the image from telling it.
    bool ImageMovesPlace(UINT centre, int halfWidth, double lobePower);
    // The window's kernels (complex where it is not quite symmetric) of a tone at `place`,
    // K(k - place), of its image, K(k + place), and of DC (made when `still` is empty) at
    // every bin, as shares of the peak.
    struct BesideDcKernels {
        std::vector<std::complex<double>> below, above, still;
    };
    bool KernelsBesideDc(double place, BesideDcKernels& out);
    // The strongest line beyond the fundamental's lobe at k0 (lobe power `lobePower`) between
    // bins from and hi, DC's skirt `dc` and the fundamental's leakage taken away, standing within
    // 26 dB of the fundamental: its leakage in every bin and its shape as AddToneLeakage gives
    // them (empty where there is none).
    struct SecondLine {
        std::vector<double> leak;
        std::vector<double> spread; // how far `leak` may be off
        ToneShape shape;
        UINT peak = 0; // its lobe's centre bin
        double power = 0.0; // what its lobe holds
        double place = -1.0; // where read with its beat with the fundamental's skirt (-1: from its lobe)
        int reach = 0;       // over so many bins either side of either peak
    };
    SecondLine ModelSecondLine(UINT k0, UINT from, UINT hi, double lobePower, double floor,
                               const std::vector<double>& dc);
    // The strongest bin from `from` to before `to` standing above its neighbours (0: none).
    UINT PeakBesideDc(UINT from, UINT to) const;
    // The strongest peak in bins from..to-1, beside DC, clear of the first tone's lobe (peak
    // bin k1), ten times above the noise `floor` and no more than 40 dB under the first tone,
    // that the fit with the offset takes for a tone (`fit`); 0 where there is none.
    UINT ToneBesideDc(int from, int to, double floor, int k1, BesideDc& fit);
    // That fit's leakage in every bin: the tone's (with both beats) into `leak`, the offset's
    // into `dc`, how far each may be off into `spread` and `dcError` (as a share of `dc`);
    // the tone's shape, lobe power and lobe share as AddToneLeakage gives them.
    bool ModelBesideDc(const BesideDc& fit, UINT peak, std::vector<double>& leak, std::vector<double>& spread,
                       std::vector<double>& dc, double& dcError, double& lobePower, double& share,
                       ToneShape& shape);
    // How far the noise in the bins a tone on a bin leaks into may be off, read from the others
    // (`lines`: what those hold beyond the typical bin).
    double UnseenParity(UINT k0, double offset, double offsetError, const std::vector<UINT>& freeBin, double typical,
                        double lines, UINT bandBins);
    // What the average keeps of a harmonic's beats with the fundamental's leakage, with its mirror
    // image's and with the offset's, as shares of beats that never turn (see BeatCoherence).
    struct BeatTurns {
        double direct = 1.0, image = 1.0, offset = 1.0;
    };
    // The most a harmonic at `place` may hold over its lobe (bins a..b it owns) without showing
    // above the noise (`typical` a bin, scattering by `binDeviation`, averaged over `blocks`)
    // and what the leakage `leak` taken away leaves uncertain (`spread`, less its `fitted` part);
    // HUGE_VAL where none of the bins near its place is its own. `toneKernel` is the
    // fundamental's kernel at every bin (empty if not known), `tonePeak` its power where that is 1.
    // `spreadUsed`: the share of `spread` the bins around show the leakage to need.
    // `leakageTurns`: how far the leakage's phase may turn in each bin from its phase at the
    // harmonic's place (empty if not known: then only where it is the tone's alone, none).
    // `kept`: what the average keeps of the harmonic's beats with the skirts (all where null); where less
    // than all, `keptImageKernel` (the image's kernel at every bin) bounds the harmonic with both.
    // `skirt`, on a window that leaks far: the fundamental's place and power (null: none).
    // `offsetKernel`: the offset's real kernel at every bin (empty if not known), whose signs
    // let the offset's beat take one phase over the lobe.
    struct LeakySkirt {
        double place = -1.0, power = 0.0;
    };
    double UnseenHarmonic(long a, long b, double place, const std::vector<unsigned char>& owner,
                          const std::vector<double>& leak, const std::vector<double>& spread,
                          const std::vector<double>& fitted, double typical, double binDeviation, double blocks,
                          const std::vector<double>& toneKernel, double tonePeak, double spreadUsed,
                          const std::vector<double>& leakageTurns = {}, const std::vector<double>& imageKernel = {},
                          const std::vector<double>& offsetLeak = {}, const BeatTurns* kept = nullptr,
                          const std::vector<double>& keptImageKernel = {}, const LeakySkirt* skirt = nullptr,
                          const std::vector<double>& offsetKernel = {});
    // That bound from the complex transforms of the harmonic and the skirt at every bin of its
    // lobe, no more than `most` (a peak power, as UnseenHarmonic's).
    double MostHiddenInLeakySkirt(long a, long b, double place, const std::vector<unsigned char>& owner,
                                  const std::vector<double>& leak, const std::vector<double>& spread,
                                  const std::vector<double>& fitted, double typical, double binDeviation,
                                  double blocks, double spreadUsed, const std::vector<double>& offsetLeak,
                                  const LeakySkirt& skirt, const BeatTurns& kept, double most);
    // How far what bin `i` holds beyond the leakage may be off, as UnseenHarmonic's bins weigh it.
    static double HiddenBinDoubt(std::size_t i, const std::vector<double>& leak, const std::vector<double>& spread,
                                 const std::vector<double>& fitted, double typical, double binDeviation, double blocks,
                                 double spreadUsed);
    struct HarmonicFit {
        bool fitted = false;
        double power = 0.0;      // the harmonic's power in its lobe
        double peak = 0.0;       // its power at its place
        double deviation = 0.0;  // one standard deviation of it from the noise
        double shapeError = 0.0; // what the fitted cross term may be off by
        double leakDoubt = 0.0;  // what the leakage's uncertainty in the bins makes of the power
    };
    // A harmonic's power over bins a..b fitted together with what it adds to or takes from the
    // fundamental's leakage `leak`; `fundamental` is the fundamental's kernel at every bin, good to
    // `kernelError` of its peak. `offset`, the offset's skirt (a part of `leak`), beats with the
    // harmonic too; the average keeps `offsetTurns` of that beat. `offsetKernel`, where given,
    // is the offset's real kernel at every bin (its signs), for a window whose kernel is real.
    HarmonicFit FitHarmonicOnLeakage(long a, long b, double place, const std::vector<double>& fundamental,
                                     const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                                     double typical, double noiseVariance, double blocks, double kernelError = 0.0,
                                     const std::vector<double>* leakDoubt = nullptr,
                                     const std::vector<double>* offset = nullptr, double offsetTurns = 1.0,
                                     double leakScatter = 0.0, const std::vector<double>* quadrature = nullptr,
                                     const std::vector<double>* image = nullptr,
                                     const std::vector<double>* imageQuadrature = nullptr, double tonePeak = 0.0,
                                     double toneTurns = 1.0, double imageTurns = 1.0,
                                     const std::vector<double>* offsetKernel = nullptr);
    // How far a harmonic at `place` and the fundamental's leakage may add or cancel by over the
    // bins a..b it owns, from the window's complex transform at both places; the rest of the
    // leakage `leak` there bounded bin by bin. The fundamental's power is `fundamental`.
    // The average keeps `turns` of the harmonic's beats with the fundamental's leakage, with its
    // mirror image's and with the offset's (`dc`, a part of `leak`).
    double CoherentBeat(long a, long b, double place, double fundamentalPlace, double fundamental,
                        const std::vector<unsigned char>& owner, const std::vector<double>& leak, double typical,
                        const BeatTurns& turns, const std::vector<double>& dc);
    // The same harmonic fitted with its beats with the fundamental and its mirror image on a window
    // without symmetry, from the window's complex transform at each place: each beat is one
    // complex number over the lobe. The offset's beat (`dc`) is bounded.
    HarmonicFit FitHarmonicBesideLeakyTone(long a, long b, double place, double fundamentalPlace, double fundamental,
                                           const std::vector<unsigned char>& owner, const std::vector<double>& leak,
                                           double typical, double noiseVariance, double blocks,
                                           const BeatTurns& turns, const std::vector<double>& dc,
                                           const std::vector<double>* leakDoubt, double leakScatter = 0.0);
    // How far each block's phase at the phase bin may be off, in radians, by cause: the noise,
    // and the lines whose phases turn against the tone's, its mirror image (twice as fast) and
    // the offset (as fast). The noise's part is infinite where the phases were not read at the tone.
    struct PhaseErrors {
        double noise = HUGE_VAL, mirror = 0.0, offset = 0.0;
        double Total() const { return noise + mirror + offset; }
    };
    // Those errors for a fundamental at `fundamentalPlace` (bins) of power `fundamental`, noise
    // `typical` a bin and the offset `dc`.
    PhaseErrors BlockPhaseError(UINT k0, double fundamentalPlace, double fundamental, double typical,
                                const std::vector<double>& dc);
    // The window's real transform about its centre at x bins (|x| within the lobe and a bin),
    // relative to its value at 0.
    double LobeKernel(double x, int halfWidth);
    // A line's power x bins from its place as a share of its peak's: the kernel's square, or the
    // window's exact response where its kernel is not real about the block's middle.
    double LobePowerShare(double x, int halfWidth);
    // The same at k - offset for every bin k of the spectrum; empty for an asymmetric window.
    // `asymmetry` receives how far the window's transform may be from the real kernel, as a
    // share of its peak (0 for a symmetric window), and `quadrature` the transform's part in
    // quadrature with the kernel at every bin (what that asymmetry leaks).
    std::vector<double> ShiftedKernel(double offset, double* asymmetry = nullptr, std::vector<double>* quadrature = nullptr);
    // The smallest share of a tone's power the window's lobe holds, at any offset.
    double LeastLobeShare(int halfWidth);
    // The window's response as power at x bins from a tone, |x| <= halfWidth + 1.
    double LobeResponse(double x, int halfWidth);
    const std::vector<double>& WindowShape();
    // What the average leaves of a beat whose phase turns m times as fast as the tone at bin
    // `k0` does from block to block, as a share of a beat that never turns (1 where the
    // blocks' phases are not known); each block's phase may be off by `error`.
    double BeatCoherence(UINT k0, int m, const PhaseErrors& error) const;
    // The same for a beat whose phase turns as m1 times the tone at bin k1's and m2 times the
    // one at k2's (a second tone's, read where its blocks' values were kept), each block's
    // phases off by `error1` and `error2` radians.
    double PairCoherence(long long k1, int m1, long long k2, int m2, double error1, double error2) const;
    // How far one block's phase read at a bin holding `held` may be off, in radians, where the
    // noise puts `noise` and lines turning otherwise `other` into it.
    static double PhaseError(double held, double noise, double other);
    // What the average keeps of the noise's beat with a line's skirt in bins `offsets` bins from
    // where that beat turns m times as fast as the tone at bin `k0` does from block to block, as a
    // share of one block's over those bins (each weighing `weights`; 1 where the blocks' phases are
    // not known), whatever the blocks' overlap; each block's phase may be off by `error`.
    double NoiseBeatKept(UINT k0, int m, const std::vector<double>& offsets, const std::vector<double>& weights,
                         const PhaseErrors& error);
    // How far the noise in one block's bin goes with that in a block x of the window's length
    // later, at x = i / kOverlapSteps (empty without the window's shape).
    static constexpr int kOverlapSteps = 1024;
    const std::vector<double>& BlockOverlap();
    // The blocks the noise's beat with the leakage `leak` over a harmonic's lobe (bins a..b that
    // `owner` gives it, its place `place`, the typical noise `typical` a bin) counts as, its part
    // with the tone's skirt (`kernel` about the tone at `fundamentalPlace`, `tonePeak` its peak)
    // kept as NoiseBeatKept gives and the rest as the noise's own scatter (`blocks`).
    double SkirtBeatBlocks(long a, long b, double place, UINT k0, double fundamentalPlace,
                           const std::vector<unsigned char>& owner,
                           const std::vector<double>& leak, const std::vector<double>& kernel, double tonePeak,
                           double typical, double blocks, const PhaseErrors& error);

    // The spectrum in use.
    const float* magnitude = nullptr;
    UINT bins = 0;
    UINT N = 0;
    WORD windowType = 0;
    float binWidth = 0.0f;
    float highFrequency = 0.0f;
    float averageBlocks = 1.0f;
    int averageCount = 0;
    std::vector<BlockPhase> blockPhases; // a copy: compared with the last fit's
    UINT phaseBin = 0;

    // A table of the window's, shared by every model of the same window type and size: made
    // once in the process (each costs hundreds of transforms of the whole window) and never
    // changed, so any thread may read it.
    class SharedTable {
    public:
        struct Values {
            std::vector<double> v;
            double share = 0.0; // the lobe response's least lobe share
        };
        SharedTable() = default;
        explicit SharedTable(std::shared_ptr<const Values> t) : m_table(std::move(t)) {}
        const std::vector<double>& values() const;
        double share() const { return m_table ? m_table->share : 0.0; }
        std::size_t size() const { return m_table ? m_table->v.size() : 0; }
        bool empty() const { return size() == 0; }
        double operator[](std::size_t i) const { return m_table->v[i]; }

    private:
        std::shared_ptr<const Values> m_table;
    };
    SharedTable windowShape;       // the window's coefficients, made on first use
    WORD windowShapeType = 0xFFFF; // the window type windowShape was made for
    // The window's response as power over its lobe, in steps of 1/64 bin, made with the shape.
    SharedTable lobeResponse;
    SharedTable lobeKernel; // the signed transform over the lobe, as lobeResponse
    SharedTable dcResponse; // the window's response as power at each bin from DC
    SharedTable skirtEnvelope; // see SkirtEnvelope
    SharedTable blockOverlap; // see BlockOverlap
    // The last fit and all it was made from: the spectrum's bins (compared whole, as anyone
    // holding the buffer may write them), the band, the window and the averaging.
    struct FitKey {
        UINT lo = 0, hi = 0, N = 0, bins = 0;
        WORD windowType = 0;
        float binWidth = 0.0f, highFrequency = 0.0f, averageBlocks = 0.0f;
        int averageCount = 0;
        UINT phaseBin = 0;
        std::vector<BlockPhase> phases;
        bool operator==(const FitKey&) const = default;
    };
    bool fitKept = false;
    FitKey fitKey;
    std::vector<float> fitBins;
    Parts fit;
};
