// One FFT window as a table of N coefficients, computed once when the window is built, and the
// multiplication of sample blocks by it. The table may carry an amplitude (option 2) or energy
// (option 1) correction factor; the spectrum engine's level scaling relies on it.
#pragma once

#include "platform/core/WinTypes.h"

#include <memory>

class TSmoothing {
public:
    static constexpr WORD kTypeCount = 12;
    enum : WORD {
        kBartlett = 0, kBlackman, kExponential, kFlattop, kForce, kHamming, kHanning,
        kKaiser, kParzen, kTriangular, kUniform, kGaussian
    };
    enum : WORD { kNoCorrection = 0, kEnergyCorrection = 1, kAmplitudeCorrection = 2 };

    TSmoothing(UINT length, WORD type, WORD option);
    ~TSmoothing() = default;
    TSmoothing(const TSmoothing&) = delete;
    TSmoothing& operator=(const TSmoothing&) = delete;

    void SetLength(UINT length);
    void SetType(WORD type); // recomputes into the existing table
    void Set(UINT length, WORD type, WORD option);
    UINT GetLength() const { return length; }
    WORD GetType() const { return type; }
    const float* GetTable() const { return table.get(); }
    bool HasError() const { return error != 0; }

    static int GetTypeCount() { return kTypeCount; }
    // Copies the type's name (at most 20 characters) into out, which holds at least 21;
    // an unknown type gives "".
    static void GetTypeName(WORD type, char* out);

    void Apply(float* data) const;                       // data[n] *= table[n]
    void ApplyTo(const float* in, float* out) const;     // out[n] = in[n] * table[n]
    void Remove(const float* in, float* out) const;      // out[n] = in[n] / table[n]
    void RemoveInPlace(float* data) const;               // data[n] /= table[n]

    // The correction factor of a type and option for a table of `length` (1.0 where none
    // applies).
    static double CorrectionFactor(WORD type, WORD option, UINT length);
    // 1/ENBW (the equivalent noise bandwidth in bins) of the type's table of `length`: summed
    // bin powers of amplitude-corrected noise times this give its power. 1.0 for the
    // Exponential and Uniform windows and unknown types.
    static double NoiseBandwidthFactor(WORD type, UINT length);

    BYTE error = 0;

private:
    void Validate();
    void Allocate();
    void Compute();
    // The factor for an uncorrected table `shape` of the type (null: computed when needed).
    static double CorrectionFactor(const float* shape, UINT length, WORD type, WORD option);
    // Without a table (or for the uniform window) copies in to out and returns true.
    bool CopyWhenPlain(const float* in, float* out) const;

    UINT length = 0;
    WORD type = 0;
    std::unique_ptr<float[]> table;
    WORD option = 0;
};
