// 1/N-octave bands, the A, B and C weighting curves and the response-table loader
// (*.mic microphone compensation, *.flt filter response) of SpectralData.
#include "dsp/SpectralData.h"

#include "numerics/CubicSpline.h"
#include "platform/core/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxTableEntries = 524288;
constexpr float kMaxTableFrequency = 1e6f; // Hz

// Weighting curves: (Hz, dB).
constexpr float kWeightA[][2] = {
    {10, -70.4f},   {12.59f, -63.4f}, {15.85f, -56.7f}, {19.95f, -50.5f}, {25.12f, -44.7f}, {31.62f, -39.4f},
    {39.81f, -34.6f}, {50.12f, -30.2f}, {63.1f, -26.2f},  {79.43f, -22.5f}, {100, -19.1f},    {125.9f, -16.1f},
    {158.5f, -13.4f}, {199.5f, -10.9f}, {251.2f, -8.6f},  {316.2f, -6.6f},  {398.1f, -4.8f},  {501.2f, -3.2f},
    {631, -1.9f},     {794.3f, -0.8f},  {1000, 0},        {1259, 0.6f},     {1585, 1.0f},     {1995, 1.2f},
    {2512, 1.3f},     {3162, 1.2f},     {3981, 1.0f},     {5012, 0.5f},     {6310, -0.1f},    {7943, -1.1f},
    {10000, -2.5f},   {12590, -4.3f},   {15850, -6.6f},   {19950, -9.3f},   {25120, -10.0f},  {31620, -15.0f},
    {39810, -20.0f}};
constexpr float kWeightB[][2] = {
    {10, -37},     {20, -24},      {30, -17},     {40, -13},     {50, -11.5f}, {60, -10},    {70, -8.5f},
    {80, -7.2f},   {90, -6.3f},    {100, -5.4f},  {200, -2.0f},  {300, -0.8f}, {400, -0.5f}, {500, 0},
    {700, 0},      {1000, 0},      {2000, 0},     {3000, 0},     {4000, -0.5f}, {5000, -0.8f}, {6000, -1.2f},
    {7000, -2.0f}, {8000, -3.0f},  {10000, -5.0f}, {20000, -10.0f}};
constexpr float kWeightC[][2] = {
    {10, -14.3f},   {12.59f, -11.2f}, {15.85f, -8.5f}, {19.95f, -6.2f}, {25.12f, -4.4f}, {31.62f, -3.0f},
    {39.81f, -2.0f}, {50.12f, -1.3f}, {63.1f, -0.8f},  {79.43f, -0.5f}, {100, -0.3f},    {125.9f, -0.2f},
    {158.5f, -0.1f}, {199.5f, 0},     {251.2f, 0},     {316.2f, 0},     {398.1f, 0},     {501.2f, 0},
    {631, 0},        {794.3f, 0},     {1000, 0},       {1259, 0},       {1585, -0.1f},   {1995, -0.2f},
    {2512, -0.3f},   {3162, -0.5f},   {3981, -0.8f},   {5012, -1.3f},   {6310, -2.0f},   {7943, -3.0f},
    {10000, -4.4f},  {12590, -6.2f},  {15850, -8.5f},  {19950, -11.2f}, {25120, -15.0f}, {31620, -18.0f},
    {39810, -20.0f}};

constexpr int kPreferred[] = {
    100, 103, 106, 109, 112, 115, 118, 121, 125, 130, 133, 137, 140, 145, 150, 155, 160, 165, 170, 175, 180,
    185, 190, 195, 200, 206, 212, 218, 224, 230, 237, 244, 250, 257, 265, 272, 280, 290, 300, 307, 315, 325,
    335, 345, 355, 365, 375, 387, 400, 412, 425, 437, 450, 462, 475, 487, 500, 515, 530, 545, 560, 580, 600,
    615, 630, 650, 670, 690, 710, 730, 750, 775, 800, 825, 850, 875, 900, 925, 950, 975, 1000};

template <typename T>
bool AllocZeroed(std::unique_ptr<T[]>& p, std::size_t n)
{
    p.reset(new (std::nothrow) T[n == 0 ? 1 : n]());
    return p != nullptr;
}

// Reads one whole line (any length); false at the end of the file.
bool ReadLine(std::FILE* f, std::string& line)
{
    line.clear();
    char buf[256];
    bool any = false;
    while (std::fgets(buf, sizeof buf, f)) {
        any = true;
        line += buf;
        if (!line.empty() && line.back() == '\n')
            break;
    }
    return any;
}

bool IsBlank(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// A data line: two finite numbers, frequency and level.
bool ParseDataLine(const std::string& line, float& f, float& level)
{
    if (std::sscanf(line.c_str(), "%f %f", &f, &level) != 2)
        return false;
    return std::isfinite(f) && std::isfinite(level);
}

} // namespace

// ---------------------------------------------------------------- bands

void SpectralData::BuildBandTable()
{
    bandTable.reset();
    bandBins.reset();
    bandCount = 0;
    const double octave = OctaveNumber == 0 ? 1.0 : OctaveNumber;
    double f = 0.0;
    UINT count = 0;
    while (f < span) {
        ++count;
        f = std::pow(10.0, 3.0 * count / (10.0 * octave));
    }
    if (count == 0)
        return;
    if (!AllocZeroed(bandTable, count)) {
        ReportWorkingMemory();
        return;
    }
    bandCount = count;
    for (UINT k = 0; k < count; ++k) {
        const double c = std::pow(10.0, 3.0 * k / (10.0 * octave));
        Band& b = bandTable[k];
        b.centre = static_cast<float>(c);
        b.nominal = NominalFrequency(static_cast<float>(c));
        b.upper = static_cast<float>(c * std::pow(2.0, 0.5 / octave));
        b.lower = k > 0 ? bandTable[k - 1].upper : static_cast<float>(c * std::pow(0.5, 0.5 / octave));
    }
}

float SpectralData::NominalFrequency(float centre) const
{
    const double c = centre;
    if (c <= 1.0)
        return 1.0f;
    if (c >= 1000000.0)
        return 1000000.0f;
    const UINT octave = OctaveNumber == 0 ? 1 : OctaveNumber;
    if (octave <= 24) {
        double s;
        if (c < 10.0)
            s = 100.0;
        else if (c < 100.0)
            s = 10.0;
        else if (c < 1000.0)
            s = 1.0;
        else if (c < 10000.0)
            s = 0.1;
        else if (c < 100000.0)
            s = 0.01;
        else
            s = 0.001;
        const double v = std::trunc(c * s + 0.5);
        double bestDistance = 1000.0;
        int best = 100;
        for (int p : kPreferred) {
            const double d = std::fabs(p - v);
            if (d < bestDistance) {
                bestDistance = d;
                best = p;
            }
        }
        return static_cast<float>(best / s);
    }
    double s;
    if (c < 10.0)
        s = 1000.0;
    else if (c < 100.0)
        s = 100.0;
    else if (c < 1000.0)
        s = 10.0;
    else if (c < 10000.0)
        s = 1.0;
    else if (c < 100000.0)
        s = 0.1;
    else
        s = 0.01;
    return static_cast<float>(std::trunc(c * s) / s);
}

void SpectralData::BuildBandBinTable()
{
    bandBins.reset();
    if (!bandTable || bandCount == 0)
        return;
    if (!AllocZeroed(bandBins, bandCount)) {
        ReportWorkingMemory();
        return;
    }
    for (UINT b = 0; b < bandCount; ++b) {
        const Band& band = bandTable[b];
        BandBins& e = bandBins[b];
        e.first = NarrowbandBin(band.lower);
        e.firstWeight = (BinFrequency(e.first) + binWidth / 2.0f - band.lower) / binWidth;
        e.last = NarrowbandBin(band.upper);
        e.lastWeight = (band.upper - (BinFrequency(e.last) - binWidth / 2.0f)) / binWidth;
    }
}

void SpectralData::BuildOctaveBands(bool mean)
{
    if (!magnitude || !bandTable || !bandBins || !bandLevels)
        return;
    const float* mag = magnitude.get();
    for (UINT b = 0; b < bandCount; ++b) {
        const BandBins& e = bandBins[b];
        double sum;
        if (e.first >= e.last) {
            // A band inside one bin takes its share of that bin; its mean is the bin itself.
            const double share = (bandTable[b].upper - bandTable[b].lower) / binWidth;
            sum = mean ? mag[e.first] : mag[e.first] * share;
        } else {
            sum = mag[e.first] * static_cast<double>(e.firstWeight) + mag[e.last] * static_cast<double>(e.lastWeight);
            for (UINT k = e.first + 1; k < e.last; ++k)
                sum += mag[k];
            if (mean) {
                const double divisor =
                    static_cast<double>(e.last - e.first - 1) + e.firstWeight + e.lastWeight;
                if (divisor != 0.0)
                    sum /= divisor;
            }
        }
        bandLevels[b] = sum > 0.0 ? static_cast<float>(10.0 * std::log10(sum)) : kNoLevelDb;
    }
}

UINT SpectralData::FrequencyToBand(float f) const
{
    if (!bandTable || bandCount == 0)
        return 0;
    if (bandTable[0].lower > f)
        return 0;
    if (bandTable[bandCount - 1].upper <= f)
        return bandCount - 1;
    // Edges are shared, so a frequency on an edge belongs to the band above it.
    for (UINT b = 0; b < bandCount; ++b)
        if (bandTable[b].lower <= f && f < bandTable[b].upper)
            return b;
    return 0;
}

float SpectralData::GetBandCentre(UINT band) const
{
    return (bandTable && band < bandCount) ? bandTable[band].nominal : 0.0f;
}

float SpectralData::GetBandLower(UINT band) const
{
    return (bandTable && band < bandCount) ? bandTable[band].lower : 0.0f;
}

float SpectralData::GetBandUpper(UINT band) const
{
    return (bandTable && band < bandCount) ? bandTable[band].upper : 0.0f;
}

UINT SpectralData::GetFirstBand() const
{
    if (!bandBins)
        return 0;
    for (UINT b = 0; b < bandCount; ++b)
        if (bandBins[b].last >= bandBins[b].first + 2)
            return b;
    return 0;
}

UINT SpectralData::GetLastBand() const
{
    return bandCount > 0 ? bandCount - 1 : 0;
}

// ---------------------------------------------------------------- weighting

void SpectralData::BuildWeightingTable(int slot, int kind)
{
    std::unique_ptr<float[]>* target = nullptr;
    if (slot == 0)
        target = &weighting;
    else if (slot >= 1 && slot <= 3)
        target = &totalWeighting[slot - 1];
    else
        return;
    target->reset();
    if (kind < 1 || kind > 3 || bins == 0)
        return;
    if (!AllocZeroed(*target, bins)) {
        ReportWorkingMemory();
        return;
    }
    const float* points = nullptr;
    UINT count = 0;
    switch (kind) {
    case 1:
        points = &kWeightA[0][0];
        count = static_cast<UINT>(std::size(kWeightA));
        break;
    case 2:
        points = &kWeightB[0][0];
        count = static_cast<UINT>(std::size(kWeightB));
        break;
    default:
        points = &kWeightC[0][0];
        count = static_cast<UINT>(std::size(kWeightC));
        break;
    }
    float* t = target->get();
    InterpolatePointTable(points, count, t, false);
    for (UINT k = 0; k < bins; ++k) {
        t[k] = std::pow(10.0f, t[k] / 20.0f);
        if (t[k] == 0.0f)
            t[k] = 1.0f;
    }
}

// ---------------------------------------------------------------- response tables

void SpectralData::SetCompensation(const char* fileName, bool enable)
{
    compensation.reset();
    if (!enable || !fileName || fileName[0] == '\0' || bins == 0)
        return;
    std::unique_ptr<float[]> table;
    if (!AllocZeroed(table, bins)) {
        ReportWorkingMemory();
        return;
    }
    if (!LoadCompensationFile(fileName, table.get()))
        return;
    for (UINT k = 0; k < bins; ++k) {
        table[k] = std::pow(10.0f, table[k] / 20.0f);
        if (table[k] == 0.0f)
            table[k] = 1.0f;
    }
    compensation = std::move(table);
    ComputeScaleTable();
}

bool SpectralData::LoadCompensationFile(const char* fileName, float* out)
{
    if (!fileName || fileName[0] == '\0' || !out)
        return false;
    std::FILE* f = std::fopen(fileName, "r");
    if (!f) {
        AfxMessageBox(std::string("Failure opening mic compensation file: ") + fileName, MB_ICONSTOP);
        return false;
    }
    std::vector<float> points;
    bool linear = false;
    bool badLine = false;
    try {
        std::string line;
        while (ReadLine(f, line)) {
            if (line.compare(0, 11, ";SPLINE OFF") == 0) {
                linear = true;
                continue;
            }
            if (!line.empty() && line[0] == ';')
                continue;
            // Blank lines carry nothing; they neither count nor end the table.
            if (IsBlank(line))
                continue;
            float freq = 0, level = 0;
            if (!ParseDataLine(line, freq, level)) {
                // A line that is no data ends the table; data after it would be lost unseen,
                // so that is reported below instead.
                std::string rest;
                while (ReadLine(f, rest)) {
                    float a, b;
                    if (rest[0] != ';' && ParseDataLine(rest, a, b)) {
                        badLine = true;
                        break;
                    }
                }
                break;
            }
            level = std::clamp(level, -240.0f, 240.0f);
            points.push_back(freq);
            points.push_back(level);
            if (points.size() / 2 >= kMaxTableEntries)
                break;
        }
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        AfxMessageBox("SpectralData - Insufficient memory available for compensation data table", MB_ICONSTOP);
        return false;
    }
    std::fclose(f);
    if (badLine) {
        AfxMessageBox(std::string("Failure reading mic compensation file: ") + fileName +
                          "\rA line holds no frequency and level.",
                      MB_ICONSTOP);
        return false;
    }
    const std::size_t count = points.size() / 2;
    if (count < 3) {
        AfxMessageBox(std::string("Failure reading mic compensation file: ") + fileName +
                          "\rIt holds fewer than 3 lines of frequency and level.",
                      MB_ICONSTOP);
        return false;
    }
    float previous = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float fr = points[2 * i];
        if (fr < 0.0f || fr < previous) {
            AfxMessageBox(std::string("Failure reading mic compensation file: ") + fileName +
                              "\rIts frequencies are not in ascending order from 0 Hz.",
                          MB_ICONSTOP);
            return false;
        }
        // No measurement reaches beyond 1 MHz; such a table would only overflow the spline.
        if (fr > kMaxTableFrequency) {
            AfxMessageBox(std::string("Failure reading mic compensation file: ") + fileName +
                              "\rA frequency lies beyond 1 MHz.",
                          MB_ICONSTOP);
            return false;
        }
        previous = fr;
    }
    // A repeated frequency is accepted; the spline needs distinct abscissas, so the first
    // entry of each run of equal frequencies stands for the run.
    std::size_t kept = 1;
    for (std::size_t i = 1; i < count; ++i) {
        if (points[2 * i] == points[2 * (kept - 1)])
            continue;
        points[2 * kept] = points[2 * i];
        points[2 * kept + 1] = points[2 * i + 1];
        ++kept;
    }
    InterpolatePointTable(points.data(), static_cast<UINT>(kept), out, linear);
    return true;
}

void SpectralData::InterpolatePointTable(const float* points, UINT count, float* out, bool linear) const
{
    if (!points || !out || count == 0 || bins == 0)
        return;
    const UINT a = NarrowbandBin(points[0]);
    const UINT b = NarrowbandBin(points[2 * (count - 1)]);
    for (UINT k = 0; k <= a && k < bins; ++k)
        out[k] = points[1];
    for (UINT k = b; k < bins; ++k)
        out[k] = points[2 * (count - 1) + 1];
    if (b <= a + 1)
        return;
    CubicSpline spline;
    spline.Init(points, count, linear ? CubicSpline::kLinear : CubicSpline::kCubic);
    for (UINT k = a + 1; k < b; ++k)
        out[k] = std::clamp(spline.Evaluate(BinFrequency(k)), -240.0f, 240.0f);
}

bool SpectralData::LoadFilterResponse(const char* fileName, UINT count, float* out)
{
    if (!fileName || fileName[0] == '\0' || count < bins || !out || !magnitude)
        return false;
    std::unique_ptr<float[]> db;
    if (!AllocZeroed(db, bins)) {
        AfxMessageBox("SpectralData - Insufficient memory available for filter coefficients", MB_ICONSTOP);
        return false;
    }
    if (!LoadCompensationFile(fileName, db.get()))
        return false;
    for (UINT k = 0; k < bins; ++k)
        magnitude[k] = std::pow(10.0f, db[k] / 10.0f);
    ComputeInverse();
    if (!inverse)
        return false;
    const long h = (static_cast<long>(count) - 1) / 2;
    for (UINT i = 0; i < bins; ++i) {
        if (h + static_cast<long>(i) < static_cast<long>(count))
            out[h + i] = inverse[i];
        if (h - static_cast<long>(i) >= 0)
            out[h - i] = inverse[i];
    }
    float hi = out[0], lo = out[0];
    for (UINT i = 1; i < count; ++i) {
        hi = std::max(hi, out[i]);
        lo = std::min(lo, out[i]);
    }
    const float s = hi == lo ? 0.5f : 0.5f / (hi - lo);
    for (UINT i = 0; i < count; ++i)
        out[i] *= s;
    return true;
}
