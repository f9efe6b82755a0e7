#!/usr/bin/env python3
"""An independent rendering of the generator's waveforms, for bit-for-bit comparison.

Usage: render_reference.py CASE.json WAVE.wav [PINK.raw]

CASE.json names the waveform and its parameters, the amplitude and the channel to compare.
The script renders the channel from the formulas with numpy (the run-time's 15-bit generator
reimplemented here, started from seed 1), reads WAVE.wav with Python's wave module, and exits 0
when every sample matches; otherwise it prints the first difference and exits 1.

Sines, powers and logarithms go through Python's math module (the C library's own functions),
so the comparison tests the arithmetic, not two sine implementations.
"""
import json
import math
import sys
import wave

import numpy as np

TWO_PI = 6.283185308
HEADROOM = 0.999
F32 = np.float32


class Rand:
    def __init__(self):
        self.seed = 1

    def next(self):
        self.seed = (self.seed * 214013 + 2531011) & 0xFFFFFFFF
        return (self.seed >> 16) & 0x7FFF

    def dither(self):
        a = F32(self.next() / 32767.0)
        b = F32(self.next() / 32767.0)
        return F32((float(a) - 0.5) + (float(b) - 0.5))


def limits(nbytes):
    return {1: (255, 0, 127), 2: (32767, -32767, 0), 3: (8388607, -8388607, 0),
            4: (2147483647, -2147483647, 0)}[nbytes]


def trunc(x):
    return int(math.trunc(x))


class Renderer:
    def __init__(self, case, pink):
        self.c = case
        self.rate = case["rate"]
        self.n = case["frames"]
        self.a = case["amp"]
        self.max, self.min, self.zero = limits(case["bytes"])
        self.bytes = case["bytes"]
        self.rand = Rand()
        self.pink = pink

    def sine(self, k, f):
        return math.sin((k + 1.0) * TWO_PI * f / self.rate)

    def dithered(self, s):
        x = F32(self.zero + self.a * HEADROOM * float(self.max - self.zero) * s)
        return self.add_dither(x)

    def add_dither(self, x):
        x = F32(x + self.rand.dither())
        return trunc(float(x) + 0.5)

    def white(self):
        r = self.rand.next()
        v = trunc(0.5 * self.a * float(2 * r - 32768) * self.max / 32768.0)
        return v + (self.zero if self.bytes == 1 else 0)

    def pink_loop(self):
        loop = len(self.pink) - 20
        return loop - 1 if loop % 2 else loop

    def render(self):
        return getattr(self, "r_" + self.c["type"])()

    # Each waveform, straight from its formula.
    def r_tone(self):
        return [self.dithered(self.sine(i, 1000.0)) for i in range(self.n)]

    def r_tones(self):
        rows = self.c["tones"]  # [enabled, freq, amplitude, phase]
        count = sum(1 for r in rows if r[0])
        out = []
        for i in range(self.n):
            total = 0.0
            for en, f, amp, ph in rows:
                if en != 1:
                    continue
                period = F32(self.rate / float(F32(f)))
                shift = float(F32(period * F32(ph))) / 360.0
                total += float(F32(amp)) * math.sin((i + shift + 1.0) * TWO_PI * float(F32(f)) / self.rate)
            x = F32(self.zero + self.a * HEADROOM * float(self.max - self.zero) * total / count) if count else F32(0)
            out.append(self.add_dither(x))
        return out

    def r_toneburst(self):
        p = trunc(self.c["cycle"] * self.rate / 1000.0)
        b = trunc(self.c["burst"] * self.rate / 1000.0)
        out = []
        for i in range(self.n):
            k = i % p
            out.append(self.zero if k < p - b else self.dithered(self.sine(i, float(self.c["freq"]))))
        return out

    def r_imd(self):
        low, high, w = 250.0, 8020.0, 0.25
        if self.c["set"] == 1:
            low, high = 60.0, 7000.0
        elif self.c["set"] == 2:
            low, high = float(F32(self.c["low"])), float(F32(self.c["high"]))
            if self.c["ratio"] > 0:
                w = 1.0 / float(F32(self.c["ratio"]))
        return [self.dithered((1.0 * self.sine(i, low) + w * self.sine(i, high)) / 2.0) for i in range(self.n)]

    def r_levelsweep(self):
        n = self.c["time"] * self.rate // 1000
        start, stop = F32(self.c["start"]), F32(self.c["stop"])
        step = float(F32(stop - start)) / n
        out = []
        for i in range(self.n):
            k = i % n
            g = math.pow(10.0, (float(start) + k * step) / 20.0)
            out.append(self.dithered(g * self.sine(k, float(F32(self.c["freq"])))))
        return out

    def shaped(self, r):
        return trunc(math.trunc(r) * self.a)

    def cycles(self, duty=0.0):
        """(frame in cycle, cycle length, frames before duty % of the period) per frame: cycle j
        starts at trunc(j x rate / f), so a fractional period alternates between the two
        nearest whole lengths, and the duty edge is counted from the cycle's exact start."""
        p = min(max(self.rate / float(F32(self.c["freq"])), 1.0), 4.0e9)
        out = []
        j = 0
        while len(out) < self.n:
            start = math.trunc(j * p)
            length = max(1, math.trunc((j + 1) * p) - start)
            edge = min(max(math.trunc(j * p + p * duty / 100.0) - start, 0), length)
            out.extend((k, length, edge) for k in range(length))
            j += 1
        return out[:self.n]

    def r_sawtooth(self):
        lo, hi = HEADROOM * self.min, HEADROOM * self.max
        if self.c["slope"] == -1:
            return [self.shaped(hi - float(k) * (hi - lo) / p) for k, p, _ in self.cycles()]
        return [self.shaped(lo + float(k) * (hi - lo) / p) for k, p, _ in self.cycles()]

    def r_triangular(self):
        lo, hi = HEADROOM * self.min, HEADROOM * self.max
        out = []
        for k, p, _ in self.cycles():
            h = max(1, p // 2)
            r = lo + k * (hi - lo) / h if k < h else lo + ((hi - lo) - (k - h) * (hi - lo) / h)
            out.append(self.shaped(r))
        return out

    def r_square(self):
        return [self.shaped(HEADROOM * self.max if k < edge else HEADROOM * self.min)
                for k, _, edge in self.cycles(self.c["duty"])]

    def r_pulse(self):
        r = trunc(self.c["interval"] * self.rate / 1e6)
        w = trunc(self.c["width"] * self.rate / 1e6)
        high = trunc(self.a * HEADROOM * self.max)
        return [high if i % r < w else self.zero for i in range(self.n)]

    def r_dtmf(self):
        rows = {"1": 697, "2": 697, "3": 697, "A": 697, "4": 770, "5": 770, "6": 770, "B": 770,
                "7": 852, "8": 852, "9": 852, "C": 852, "*": 941, "0": 941, "#": 941, "D": 941}
        cols = {"1": 1209, "4": 1209, "7": 1209, "*": 1209, "2": 1336, "5": 1336, "8": 1336, "0": 1336,
                "3": 1477, "6": 1477, "9": 1477, "#": 1477, "A": 1633, "B": 1633, "C": 1633, "D": 1633}
        keys = self.c["keys"].upper()
        w = self.rate * self.c["pulse"] // 1000
        period = w + self.rate * self.c["gap"] // 1000
        total = self.rate * ((self.c["pulse"] + self.c["gap"]) * len(keys)) // 1000
        twist = float(F32(self.c["twist"]))
        t = math.pow(10.0, abs(twist) / 20.0)
        rw, cw = (1.0 / t, 1.0) if twist >= 0 else (1.0, 1.0 / t)
        out = []
        for i in range(self.n):
            k = i % total
            index = k // period
            key = keys[index if index < len(keys) else 0]
            # The on/off counter runs with the frame, not with the key-string counter.
            on = (i % period) + 1 <= w
            s = rw * self.sine(k, rows.get(key, 0)) + cw * self.sine(k, cols.get(key, 0)) if on else 0.0
            x = F32(self.zero + self.a * HEADROOM * float(self.max - self.zero) * s / 2.0)
            out.append(self.add_dither(x))
        return out

    def r_zero(self):
        return [self.zero] * self.n

    def r_white(self):
        return [self.white() for _ in range(self.n)]

    def pink_value(self, j):
        v = trunc(float(self.pink[j]) * self.a * self.max / 32768.0)
        return v + (self.zero if self.bytes == 1 else 0)

    def r_pink(self):
        loop = self.pink_loop()
        return [self.pink_value(i % loop) for i in range(self.n)]

    def r_noiseburst(self):
        p = trunc(self.c["cycle"] * self.rate / 1000.0)
        b = trunc(self.c["burst"] * self.rate / 1000.0)
        loop = self.pink_loop() if self.c["pink"] else 0
        out = []
        for i in range(self.n):
            v = self.pink_value(i % loop) if self.c["pink"] else self.white()
            out.append(self.zero if i % p < p - b else v)
        return out

    def repeat(self, first, span):
        out = [self.zero] * self.n
        for i, v in enumerate(first[: self.n]):
            out[i] = v
        if span < self.n and self.n // span > 1:
            for i in range(span, self.n):
                out[i] = out[i % span]
        return out

    def r_sweep(self):
        n = trunc(self.c["time"] * self.rate / 1000.0)
        f1 = min(float(F32(self.c["start"])), self.rate / 2.0)
        f2 = min(float(F32(self.c["stop"])), self.rate / 2.0)
        back = self.c["back"]
        rev = False
        if self.c["log"]:
            f1, f2 = max(f1, 1.0) / 10.0, max(f2, 1.0) / 10.0
            if f1 > f2:
                f1, f2, rev = f2, f1, True
            k = 0.5 * (math.log10(f2 / 2.0) - math.log10(f1 / 2.0)) / n
            if f2 != f1 and n >= 1000:
                it = 0
                while True:
                    z, prev = [], None
                    for i in range(n - 1, -1, -1):
                        x = min(max(math.log10(f1) + i * k, -200.0), 200.0)
                        sign = 1 if self.sine(i, math.pow(10.0, x)) > 0 else -1
                        if prev is not None and sign != prev:
                            z.append(i)
                            if len(z) == 7:
                                break
                        prev = sign
                    z += [-1] * (7 - len(z))
                    fe = 3.0 * self.rate / (z[0] - z[6]) if z[0] != z[6] else f2
                    if fe >= f2:
                        break
                    k *= 1.001
                    it += 1
                    if it > 10000:
                        break
            f1, f2 = f1 * 10.0, f2 * 10.0
            l1 = math.log10(f1)
            freq = lambda i: math.pow(10.0, min(max(l1 + i * k, -200.0), 200.0))
        else:
            k = (f2 - f1) / n / 2.0
            freq = lambda i: f1 + i * k
        span = 2 * n if back else n
        first = [self.zero] * span
        for i in range(n):
            v = self.dithered(self.sine(i, freq(i)))
            first[n - 1 - i if rev else i] = v
            if back:
                first[n + i if rev else 2 * n - 1 - i] = v
        return self.repeat(first, span)

    def r_step(self):
        d = trunc(self.c["dwell"] * self.rate / 1000.0)
        start, stop = float(F32(self.c["start"])), float(F32(self.c["stop"]))
        lo, hi = min(start, stop), max(start, stop)
        if self.c["octave"]:
            b = self.c["fraction"]
            sb, eb, j = -1, -1, 1
            while True:
                edge = math.pow(10.0, 3.0 * j / (10.0 * b)) * math.pow(0.5, 0.5 / b)
                if lo >= edge:
                    sb = j
                if hi >= edge:
                    eb = j
                if edge > hi:
                    break
                j += 1
            steps = max(1, eb - sb + 1)
            if stop < start:
                sb = eb
            table = [math.pow(10.0, 3.0 * (sb - s if stop < start else sb + s) / (10.0 * b)) for s in range(steps)]
        else:
            step = float(F32(self.c["step"]))
            steps = max(1, trunc((hi - lo) / step + 1))
            table = [start - s * step if stop < start else start + s * step for s in range(steps)]
        n = steps * d
        span = 2 * n if self.c["back"] else n
        first = [self.zero] * span
        for i in range(n):
            m, c = min(i // d, steps - 1), i % d
            v = self.dithered(self.sine(c, table[m]))
            first[i] = v
            if self.c["back"]:
                first[2 * n - 1 - i] = v
        return self.repeat(first, span)


def read_channel(path, channel, nbytes):
    with wave.open(path, "rb") as w:
        channels, width, frames = w.getnchannels(), w.getsampwidth(), w.getnframes()
        data = w.readframes(frames)
    assert width == nbytes, (width, nbytes)
    raw = np.frombuffer(data, dtype=np.uint8).reshape(frames, channels, width)[:, channel, :].astype(np.int64)
    value = sum(raw[:, b] << (8 * b) for b in range(width))
    if width > 1:
        sign = 1 << (8 * width - 1)
        value = np.where(value >= sign, value - (1 << (8 * width)), value)
    return value


def main():
    case = json.load(open(sys.argv[1]))
    pink = None
    if len(sys.argv) > 3:
        pink = np.fromfile(sys.argv[3], dtype="<i2").astype(np.int64)
    want = Renderer(case, pink).render()
    got = read_channel(sys.argv[2], case.get("channel", 0), case["bytes"])
    if len(got) != len(want):
        print("length", len(got), "expected", len(want))
        return 1
    # 8-bit samples are stored unsigned: compare the stored byte.
    if case["bytes"] == 1:
        want = [v & 0xFF for v in want]
    for i, (g, w) in enumerate(zip(got.tolist(), want)):
        if g != w:
            print("frame", i, "got", g, "expected", w)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
