#!/usr/bin/env python3
"""The reference of bench_segment_average: the average spectrum of one channel of a wave file
by scipy.signal.welch, with the symmetric Hann window, the given segment length and hop, no
detrending, mean of the segments, one-sided power spectrum.

Usage: welch_reference.py WAVE CHANNEL NPERSEG HOP RESULT

Times the read of the channel and the welch call (not the interpreter's start) and writes the
seconds and then the N/2 + 1 powers (rms^2, full scale 1), one a line, to RESULT.
"""
import sys
import time
import wave

import numpy as np
import scipy.signal


def read_channel(path, channel):
    with wave.open(path, "rb") as w:
        channels, width = w.getnchannels(), w.getsampwidth()
        frames = w.readframes(w.getnframes())
    raw = np.frombuffer(frames, dtype=np.uint8).reshape(-1, channels * width)
    b = raw[:, channel * width:(channel + 1) * width].astype(np.int32)
    value = np.zeros(len(b), dtype=np.int32)
    for i in range(width):
        value |= b[:, i] << (8 * i)
    shift = 32 - 8 * width
    value = (value << shift) >> shift  # sign extension
    full_scale = float(2 ** (8 * width - 1) - 1)
    return value.astype(np.float32) / np.float32(full_scale)


def main():
    path, channel, nperseg, hop, result = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
    t0 = time.perf_counter()
    x = read_channel(path, channel)
    window = scipy.signal.windows.hann(nperseg, sym=True).astype(np.float32)
    _, pxx = scipy.signal.welch(x, fs=1.0, window=window, nperseg=nperseg, noverlap=nperseg - hop,
                                detrend=False, scaling="spectrum", average="mean")
    seconds = time.perf_counter() - t0
    with open(result, "w") as out:
        out.write(f"{seconds!r}\n")
        out.write("\n".join(repr(float(v)) for v in pxx))
        out.write("\n")


if __name__ == "__main__":
    main()
