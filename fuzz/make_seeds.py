#!/usr/bin/env python3
"""Writes the seed corpus of the wave reader's fuzz target into the folder given."""
import os
import struct
import sys


def chunk(cid, body, size=None):
    size = len(body) if size is None else size
    return cid + struct.pack('<I', size) + body + (b'\0' if len(body) & 1 else b'')


def fmt(tag, channels, rate, align, bits, extra=b''):
    body = struct.pack('<HHIIHH', tag, channels, rate, rate * align, align, bits)
    if extra:
        body += struct.pack('<H', len(extra)) + extra
    return chunk(b'fmt ', body)


def riff(body, size=None):
    body = b'WAVE' + body
    return b'RIFF' + struct.pack('<I', len(body) if size is None else size) + body


def main(folder):
    os.makedirs(folder, exist_ok=True)
    pcm16 = fmt(1, 2, 8000, 4, 16)
    samples = bytes(range(256)) * 2
    cal = bytearray(2048)
    cal[0:5] = b'seed\0'
    seeds = {
        'stereo16': riff(pcm16 + chunk(b'data', samples)),
        'mono8_odd': riff(fmt(1, 1, 8000, 1, 8) + chunk(b'data', samples[:33])),
        'mono24_list': riff(fmt(1, 1, 4000, 3, 24) + chunk(b'LIST', b'INFOxxxx') + chunk(b'data', samples[:300])),
        'ext32': riff(fmt(0xFFFE, 2, 48000, 8, 32, struct.pack('<HI', 32, 3) + struct.pack('<H', 1) + bytes(14))
                      + chunk(b'data', samples)),
        'calibrated': riff(pcm16 + chunk(b'data', samples)) + chunk(b'\x66\0\0\0', bytes(cal)),
        'legacy_cal': riff(pcm16 + chunk(b'data', samples)) + chunk(b'\x65\0\0\0', bytes(1024)),
        'truncated': riff(pcm16 + chunk(b'data', samples, 100000), 0xFFFFFFFF)[:400],
        'float': riff(fmt(3, 1, 8000, 4, 32) + chunk(b'data', samples)),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name + '.wav'), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main(sys.argv[1])
