// In-place real FFT on the caller's float array.
//
// Packing of the N transformed floats (forward):
//   [0] = 2*X[0] (DC, real), [1] = 2*X[N/2] (Nyquist, real),
//   [2k], [2k+1] = 2*Re X[k], 2*Im X[k] for k = 1 .. N/2-1,
// with X[k] = sum x[n] exp(-2*pi*i*k*n/N). The factor of two is relied upon by the spectrum
// engine's scale table, so a cosine of amplitude A on bin k reads |bin k| = A*N.
// Inverse(Forward(x)) returns x.
//
// The object owns no memory. Twiddle and permutation tables are built once per size on first
// use and shared (read-only afterwards, safe from any thread); a transform allocates nothing.
#pragma once

#include "platform/core/WinTypes.h"

class TFft {
public:
    explicit TFft(UINT size) : error(0), size(size) {}
    ~TFft() = default;

    void SetSize(UINT newSize)
    {
        size = newSize;
        ValidateSize();
    }
    void ValidateSize();
    static UINT Log2Size(UINT n);
    UINT GetSize() const { return size; }
    bool HasError() const { return error != 0; }

    // Both return false (and leave data alone) when the size is not a power of two >= 4.
    bool Forward(float* data) const { return Transform(data, static_cast<int>(size), +1); }
    bool Inverse(float* data) const { return Transform(data, static_cast<int>(size), -1); }

    // Real transform of count floats; direction +1 forward, anything else inverse.
    static bool Transform(float* data, int count, int direction);
    // count complex values (2*count floats), interleaved. Forward: exp(-i...), unscaled.
    // Inverse (direction != +1): exp(+i...), scaled by 1/count.
    static bool ComplexTransform(float* data, int count, int direction);
    // Turns the count/2-point complex transform of the packed real signal into the packed
    // real spectrum (+1), or back (other directions). The usual factors of 1/2 are left out.
    static bool RealSplit(float* data, int count, int direction);

    BYTE error;
    UINT size;
};
