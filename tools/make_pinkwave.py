#!/usr/bin/env python3
"""Makes the program's pink-noise wave ("PINKWAVE"): 60 s of pink noise, mono, 16-bit,
44100 Hz, from our own generator.

The generator is integer-only (a 32-bit linear congruential source feeding a 16-row
Voss-McCartney sum), so the same seed always gives the same bytes. The build runs this script
and assembles its output into the program (res/PinkWave.cpp).

Usage: make_pinkwave.py OUTPUT.wav [--seconds N]
"""
import argparse
import struct
import sys

RATE = 44100
ROWS = 16
SEED = 0x5EED1234


def pink_samples(count):
    x = SEED
    rows = [0] * ROWS

    def white():
        nonlocal x
        x = (x * 1664525 + 1013904223) & 0xFFFFFFFF
        return (x >> 16) - 32768

    for r in range(ROWS):
        rows[r] = white()
    total = sum(rows)
    out = bytearray()
    for n in range(1, count + 1):
        # Row k changes every 2^k samples: the row of the lowest set bit of n.
        tz = (n & -n).bit_length() - 1
        if tz < ROWS:
            total -= rows[tz]
            rows[tz] = white()
            total += rows[tz]
        v = ((total + white()) * 11) >> 7
        v = max(-32767, min(32767, v))
        out += struct.pack('<h', v)
    return bytes(out)


def chunk(cid, body):
    pad = b'\0' if len(body) & 1 else b''
    return cid + struct.pack('<I', len(body)) + body + pad


def wave_image(samples):
    frames = len(samples) // 2
    fmt = struct.pack('<HHIIHH', 1, 1, RATE, RATE * 2, 2, 16)
    info = b'INFO' + chunk(b'INAM', b'Pink noise\0') + chunk(b'ISFT', b'Durnex make_pinkwave\0')
    body = (b'WAVE' + chunk(b'fmt ', fmt) + chunk(b'LIST', info) +
            chunk(b'fact', struct.pack('<I', frames)) + chunk(b'data', samples))
    return b'RIFF' + struct.pack('<I', len(body)) + body


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('output')
    parser.add_argument('--seconds', type=int, default=60)
    args = parser.parse_args()
    image = wave_image(pink_samples(args.seconds * RATE))
    with open(args.output, 'wb') as f:
        f.write(image)
    return 0


if __name__ == '__main__':
    sys.exit(main())
