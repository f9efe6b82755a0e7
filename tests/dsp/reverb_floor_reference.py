#!/usr/bin/env python3
"""A room's decay over a noise floor, and its reverberation times measured the ISO 3382 way.

usage: reverb_floor_reference.py RATE SECONDS FLOOR_DB SEED OUT.wav OUT.txt [T60_SCALE [room]]

Writes a mono 24-bit wave (the swept decay; "room" below): in every one-third-octave band of
BANDS (those below the Nyquist frequency) a decay that starts at t = 0 with unit power and falls 60 dB in that band's T60 (times
T60_SCALE, 1 by default), over
a steady pink noise floor FLOOR_DB (negative) per band against that start. Then measures each
band and the whole signal on its own: a third-octave Butterworth filter, Lundeby's iteration for
the point where the decay meets the floor, Schroeder's backward integral of the energy truncated
there with the cut-off tail added from the fitted decay, and least-squares lines over -5..-25 dB
(T20) and -5..-35 dB (T30). OUT.txt holds one line "centre T20 T30 T60" a band (the whole signal
as centre -999), T60 being the one synthesised (0 for the whole signal); "nan" where the decay
does not span 10 dB more than the range above its floor.

"room": steady pink noise played into a room and cut off, as the interrupted-noise method records
it. The room's impulse response is white noise split into power-complementary one-third-octave
bands, each decaying with its own T60 (ROOM_T60 times T60_SCALE, smooth in frequency) and scaled to
the same steady power. The noise is cut after long enough for every band to be steady; SECONDS of
the decay follow, over steady pink noise FLOOR_DB below the steady level in every band. The wave
holds the decay from the cut on (what a user selects); the bands are filtered from the start of the
noise, so that numpy measures the same decay from a steady filter.
"""
import sys
import wave

import numpy as np
from scipy import signal

# Band centres (base ten) and their reverberation times, several different ones side by side.
BANDS = [(100, 1.1), (125, 1.0), (160, 1.05), (200, 0.95), (250, 1.0), (315, 1.1), (400, 0.95), (500, 0.9),
         (630, 0.8), (800, 1.0), (1000, 0.85), (1250, 0.75), (1600, 0.7), (2000, 0.65), (2500, 0.6),
         (3150, 0.7), (4000, 0.55), (5000, 0.5), (6300, 0.45), (8000, 0.4)]


# T60 per octave of the room, interpolated in log frequency (held beyond the ends).
ROOM_T60 = [(63, 1.15), (125, 1.1), (250, 1.0), (500, 0.95), (1000, 0.9), (2000, 0.8), (4000, 0.7), (8000, 0.6),
            (16000, 0.5)]


def room_t60(f, scale):
    octs, t60s = zip(*ROOM_T60)
    return scale * float(np.interp(np.log2(max(f, 1.0)), np.log2(octs), t60s))


def band_power(x, rate, fc):
    """The mean power of x within the one-third octave about fc."""
    f = np.fft.rfftfreq(len(x), 1 / rate)
    inband = (f >= fc * 2 ** (-1 / 6)) & (f < fc * 2 ** (1 / 6))
    return 2 * np.sum(np.abs(np.fft.rfft(x)[inband]) ** 2) / len(x) ** 2


def synthesise_room(rate, seconds, floor_db, rng, scale):
    longest = max(t for _, t in ROOM_T60) * scale
    ir_len = int(rate * longest * 1.4)  # 84 dB of decay
    steady = int(rate * max(1.5, 1.2 * longest))
    total = steady + int(rate * seconds)
    size = 1 << int(np.ceil(np.log2(total + ir_len)))
    f = np.fft.rfftfreq(size, 1 / rate)
    # The impulse response, band by band: power-complementary raised-cosine masks in log frequency.
    white = np.fft.rfft(rng.standard_normal(ir_len))
    fi = np.fft.rfftfreq(ir_len, 1 / rate)
    t = np.arange(ir_len) / rate
    h = np.zeros(ir_len)
    logf = np.log2(np.maximum(fi, 1.0) / 1000) * 3  # in one-third octaves from 1 kHz
    for k in range(int(np.floor(logf[1])) - 1, int(np.ceil(logf[-1])) + 2):
        mask = np.where(np.abs(logf - k) < 1, np.cos(np.pi / 2 * (logf - k)), 0.0)
        mask[0] = 0.0
        if not np.any(mask):
            continue
        t60 = room_t60(1000 * 2 ** (k / 3), scale)
        band = np.fft.irfft(white * mask, ir_len)
        # The same steady power in every band: the energy of 10^(-6t/T) is T / (6 ln 10).
        h += band * 10 ** (-3.0 * t / t60) / np.sqrt(t60)
    # Steady pink noise, cut (after the pinking filter, so that nothing of it leaks past the cut),
    # through the room.
    shape = np.zeros_like(f)
    shape[1:] = 1 / np.sqrt(f[1:])
    pink = np.fft.irfft(np.fft.rfft(rng.standard_normal(size)) * shape, size)
    pink[steady:] = 0.0
    y = np.fft.irfft(np.fft.rfft(pink) * np.fft.rfft(h, size), size)[:total]
    # The floor: pink noise FLOOR_DB below the steady level in the 1 kHz band (pink: in every band).
    noise = np.fft.irfft(np.fft.rfft(rng.standard_normal(size)) * shape, size)[:total]
    level = band_power(y[steady // 3: steady], rate, 1000)
    y += noise * np.sqrt(10 ** (floor_db / 10) * level / band_power(noise, rate, 1000))
    used = [(fc, room_t60(fc, scale)) for fc, _ in BANDS if fc * 2 ** (1 / 6) < 0.45 * rate]
    return y, used, steady


def synthesise(rate, seconds, floor_db, rng, scale):
    n = int(rate * seconds)
    t = np.arange(n) / rate
    x = np.zeros(n)
    used = []
    for fc, t60 in BANDS:
        t60 *= scale
        if fc * 2 ** (1 / 6) >= 0.45 * rate:
            continue
        used.append((fc, t60))
        # A tone swept to and fro across the middle of the band: its power stays in the band
        # and is the same at every moment, so that the decay is exactly the envelope's.
        sweep = fc * (2 ** 0.1 - 1)
        rate_of_sweep = max(2.0, 0.02 * fc)
        phase = rng.uniform(0, 2 * np.pi, 2)
        band = np.sqrt(2) * np.cos(2 * np.pi * fc * t + phase[0] +
                                   sweep / rate_of_sweep * np.sin(2 * np.pi * rate_of_sweep * t + phase[1]))
        x += band * 10 ** (-3.0 * t / t60)
    # Pink noise: white noise shaped by 1/sqrt(f), scaled to the floor in the 1 kHz band.
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.fft.rfftfreq(n, 1 / rate)
    shape = np.zeros_like(f)
    shape[1:] = 1 / np.sqrt(f[1:])
    pink = np.fft.irfft(spectrum * shape, n)
    y = np.fft.rfft(pink)
    inband = (f >= 1000 * 2 ** (-1 / 6)) & (f < 1000 * 2 ** (1 / 6))
    band_power = 2 * np.sum(np.abs(y[inband]) ** 2) / n ** 2
    x += pink * np.sqrt(10 ** (floor_db / 10) / band_power)
    return x, used, 0


def lundeby(e, rate):
    """Where the decay meets its floor: (crossing time, floor dB, intercept dB, slope dB/s)."""
    step = int(0.01 * rate)
    m = len(e) // step
    env = e[: m * step].reshape(m, step).mean(axis=1)
    db = 10 * np.log10(env / env[:3].mean() + 1e-300)
    tt = (np.arange(m) + 0.5) * step / rate
    tail = max(m // 10, 1)
    noise = 10 * np.log10(np.mean(10 ** (db[-tail:] / 10)))
    a = b = None
    cross = tt[-1]
    for _ in range(10):
        end = np.argmax(db <= noise + 10) if np.any(db <= noise + 10) else m
        if end < 3:
            break
        b, a = np.polyfit(tt[:end], db[:end], 1)
        if b >= 0:
            a = b = None
            break
        new_cross = (noise - a) / b
        start = np.searchsorted(tt, new_cross + 10 / -b)
        start = min(start, m - tail)
        noise = 10 * np.log10(np.mean(10 ** (db[start:] / 10)))
        settled = abs(new_cross - cross) < 0.01
        cross = new_cross
        if settled:
            break
    return cross, noise, a, b, env[:3].mean()


def decay_times(x, rate):
    e = x * x
    cross, noise, a, b, ref = lundeby(e, rate)
    if b is None:
        return float('nan'), float('nan')
    span = a - noise
    c = min(int(cross * rate), len(e))
    # The energy the cut leaves out, from the fitted decay: power p(t) = ref 10^((a + b t)/10).
    k = -b * np.log(10) / 10
    tail = ref * 10 ** ((a + b * c / rate) / 10) / k * rate
    curve = np.cumsum(e[:c][::-1])[::-1] + tail
    level = 10 * np.log10(curve / curve[0])
    t = np.arange(c) / rate
    out = []
    for fall in (20, 30):
        if span < fall + 15:
            out.append(float('nan'))
            continue
        sel = (level <= -5) & (level >= -5 - fall)
        slope = np.polyfit(t[sel], level[sel], 1)[0]
        out.append(-60 / slope)
    return out[0], out[1]


def main():
    rate, seconds, floor_db, seed = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
    rng = np.random.default_rng(seed)
    scale = float(sys.argv[7]) if len(sys.argv) > 7 else 1.0
    room = len(sys.argv) > 8 and sys.argv[8] == 'room'
    x, used, cut = (synthesise_room if room else synthesise)(rate, seconds, floor_db, rng, scale)
    x *= 0.5 / np.max(np.abs(x))
    full = np.round(x * 8388607).astype(np.int32)
    samples = full[cut:]
    raw = samples.astype('<i4').tobytes()
    packed = b''.join(raw[i:i + 3] for i in range(0, len(raw), 4))
    with wave.open(sys.argv[5], 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(3)
        w.setframerate(rate)
        w.writeframes(packed)
    xs = full / 8388607.0
    lines = []
    for fc, t60 in used:
        sos = signal.butter(3, [fc * 2 ** (-1 / 6), fc * 2 ** (1 / 6)], btype='bandpass', fs=rate, output='sos')
        t20, t30 = decay_times(signal.sosfilt(sos, xs)[cut:], rate)
        lines.append(f"{fc} {t20:.5f} {t30:.5f} {t60:.5f}")
    t20, t30 = decay_times(xs[cut:], rate)
    lines.append(f"-999 {t20:.5f} {t30:.5f} 0")
    with open(sys.argv[6], 'w') as out:
        out.write("\n".join(lines) + "\n")


if __name__ == '__main__':
    main()
