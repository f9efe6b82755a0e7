#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target> (or below the folder
given). The corpora are kept in the repository; run this again after changing the seeds."""
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


def wave_seeds():
    pcm16 = fmt(1, 2, 8000, 4, 16)
    samples = bytes(range(256)) * 2
    cal = bytearray(2048)
    cal[0:5] = b'seed\0'
    # Slot A with a reference level and a ratio that are not numbers.
    nan_cal = bytearray(cal)
    nan_cal[260 + 4:260 + 8] = struct.pack('<f', float('nan'))
    nan_cal[260 + 144:260 + 148] = struct.pack('<f', float('inf'))
    return {
        'stereo16': riff(pcm16 + chunk(b'data', samples)),
        'mono8_odd': riff(fmt(1, 1, 8000, 1, 8) + chunk(b'data', samples[:33])),
        'mono24_list': riff(fmt(1, 1, 4000, 3, 24) + chunk(b'LIST', b'INFOxxxx') + chunk(b'data', samples[:300])),
        'ext32': riff(fmt(0xFFFE, 2, 48000, 8, 32, struct.pack('<HI', 32, 3) + struct.pack('<H', 1) + bytes(14))
                      + chunk(b'data', samples)),
        'calibrated': riff(pcm16 + chunk(b'data', samples)) + chunk(b'\x66\0\0\0', bytes(cal)),
        'nan_calibration': riff(pcm16 + chunk(b'data', samples)) + chunk(b'\x66\0\0\0', bytes(nan_cal)),
        'legacy_cal': riff(pcm16 + chunk(b'data', samples)) + chunk(b'\x65\0\0\0', bytes(1024)),
        'truncated': riff(pcm16 + chunk(b'data', samples, 100000), 0xFFFFFFFF)[:400],
        'float': riff(fmt(3, 1, 8000, 4, 32) + chunk(b'data', samples)),
        'late_fmt': riff(chunk(b'data', samples[:400]) + pcm16),
    }


def working_file_seeds():
    pcm24 = fmt(1, 1, 4000, 3, 24)
    samples = bytes(range(256)) * 12
    head = riff(pcm24 + chunk(b'data', samples[:300]), 36 + 300)
    cal = 'calibration=' + '00' * 2048 + '\n'
    return {
        'take_lagging': b'kind=take\nchannel=2\nrun=1-2/0\n' + cal.encode() + b'\0' + head + samples[:600],
        'ring_wrapped': b'kind=realtime\nchannel=0\nrun=1-2/0\nring=0000000800 0000000256 0000000512\n\0'
                        + riff(pcm24 + chunk(b'data', samples[:2400])),
        'ring_early': b'kind=realtime\nchannel=3\nring=0000000000 0000000512 0000000768\n\0' + head + samples[:7],
        'backup': b'kind=backup\noriginal=/data/g_Crown.wav\n\0' + riff(pcm24 + chunk(b'data', samples[:30])),
    }


def crlf(lines):
    return ('\r\n'.join(lines) + '\r\n').encode()


def configuration_seeds():
    device = ['[Device]', 'DTInputDeviceIndex=0', 'DTOutputDeviceIndex=0', 'SamplingRate=4000', 'BitsPerSample=24',
              'AnalogInputType=0', 'UseSoundCardForOutput=0', 'SoundCardDeviceIndex=0', 'SigGenSamplingRate=50000',
              'SigGenNumChannels=1', 'SigGenBitsPerSample=24']
    channel = ['[ChannelInfo_2]', 'bIsEnabled=0', 'Gain=0.000000', 'CouplingType=0', 'FilterFreq=1000.000000']
    settings = ['[Settings_3]', 'FFTsize=2048', 'SamplingRate=8000', 'BytesPerSample=3', 'AverageBlocks=10',
                'DecimationRatio=4', 'SmoothingWindow=2', 'OverlapPercent=50']
    calibration = ['[Calibration_0]', 'Filename=EEG', 'IsEnabled=1', 'RefLevel=20.000000', 'LabelLinear=millivolts',
                   'CalRatio=377.123627', 'TransducerSensitivityVolts=1.000000e-01', 'ChannelName=Channel 0']
    placements = ['[PlotStatus]', 'Main Window=1', 'Time Series Plot 1=1', '[PlotPlacement]',
                  'Main Window=0, 1, {-1,-1}, {-1,-1}, {10,10,800,600}',
                  'Time Series Plot 1=0, 1, {-1,-1}, {-1,-1}, {0,0,400,300}']
    return {
        'start': crlf(device + channel + settings + calibration + ['[Mode]', 'OpMode=2', '[Main]',
                                                                    'MasterDisplayGain=-3'] + placements),
        'lower_case': '\n'.join(l.lower() for l in settings + ['[mode]', 'opmode=1']).encode(),
        'twice': crlf(settings + ['[Settings_3]', 'FFTsize=64']),
        'markers': crlf(['[Marker_1]', 'Enabled_0=1', 'Freq_0=1000.000000', 'LabelType_0=2',
                         'CustomLabel_0=a very long custom label that does not fit its field', 'MarkPeakHoldFlag=1',
                         '[SpectrumOpts_4]', 'PlotRange=60.000000000', 'Show1_3=1', 'Color_3=255']),
        'damaged': crlf(device[:4]) + b'\x00\x01binary\xff\r\n=novalue\r\n[unclosed\r\n',
        # Values no dialog allows: a window of gigabytes, a block of 2^20 x 50 samples.
        'huge_window': crlf(['[PlotStatus]', 'MainWindow=1', '[PlotPlacement]',
                             'MainWindow=0, 1, {-1,-1}, {-1,-1}, {0,0,60000,40000}',
                             'SignalGenerator=0, 1, {-1,-1}, {-1,-1}, {2147483000,2147483000,2147483647,2147483647}']),
        'huge_block': crlf([l for ch in range(8) for l in ('[Settings_%d]' % ch, 'FFTsize=1048576',
                                                             'DecimationRatio=50', 'AverageBlocks=4000000000')]),
        'control_characters': crlf(['[PrintOpts]', 'Annotation1=a\x01b\x08c\x1ad', '[Marker_0]',
                                    'CustomLabel_0=\x1b[1m']),
    }


def profile_seeds():
    return {
        'profile': crlf(['[Install]', 'Default=0', '[Paths]', 'Wav=/data/wave', 'Tmp=/data/temp', 'cfg=/data/config',
                         '[FileIO]', 'WaveFileMode=1', 'MaxRamRecordingTimeSecs=3600', 'MakeBackup=1',
                         'MaxDiskRecordingSizeBytes=500', 'AutoReopenOnLaunch=0', 'HideLogo=TRUE']),
        'quoted': b'\xef\xbb\xbf; comment\n[paths]\n  wav = "C:\\Data\\wave"  \n[FILEIO]\nmakebackup=0x10\n',
        'install': crlf(['[Install]', 'WindowsInstall=1', 'Default=1']),
        'huge_buffer': crlf(['[FileIO]', 'RealTimeWaveBufferLengthSecs=4294967295', 'MaxRamRecordingTimeSecs=-1',
                             'WaveFileMode=7']),
    }


def import_seeds():
    # The first byte chooses the source type and options; the rest is the source file.
    return {
        'integers': b'\x00' + b'1\n-2\n3\n-4\n32767\n-32768\n',
        'columns': b'\x21' + b'time\tvalue\n0.0\t1.5\n0.1\t-2.25\n0.2\t3e2\n',
        'floats_header': b'\x51' + b'header line\n0.5\n-0.25\n1e-3\n',
        'binary16': b'\x03' + struct.pack('<8h', 0, 1, -1, 1000, -1000, 32767, -32768, 5),
        'binary_float': b'\x05' + struct.pack('<4f', 0.5, -0.5, 1e10, -1e-10),
        'malformed': b'\x01' + b'1.0\nabc\n2.0\n',
    }


def group_seeds():
    return {
        'group': crlf(['[TestInfo]', 'TestName=Bridge', 'Technician=Ada', 'Comments=first run',
                       'TestDate=1700000000', '[Filenames]', 'Crown=take_Crown.wav', 'Heart=sub/take_Heart.wav',
                       'Base=/abs/take_Base.wav', 'Throat=C:\\Data\\old.wav', 'Brow=..\\up.wav']),
        'negative_date': crlf(['[TestInfo]', 'TestDate=-5', '[Filenames]', 'Solar=./a/../b.wav']),
        'colon_second': crlf(['[TestInfo]', 'TestName=b', '[Filenames]', 'Crown=b:wav', 'Brow=./c:d.wav',
                              'Heart=D:/x.wav']),
    }


def calibration_seeds():
    return {
        'measured': crlf(['[Calibration]', 'IsEnabled=1', 'RefLevel=94.000000', 'RefUnits=4', 'RefType=1',
                          'ConversionType=0', 'IntegrationType=0', 'LabelLinear=Pascals', 'LabelLog=dB SPL',
                          'LabelType=1', 'PctFullScaleLeft=0.053033', 'CalRatioLeft=377.123627',
                          'DTGain=1.000000', 'DTCalVersion=1000', 'Filename=Mic', 'CalCreateMode=2',
                          'TransducerSensitivityVolts=5.000000e-02', 'MeasuredInputVoltage=0.375000',
                          'RefOffset=0.000000']),
        'sensitivity': crlf(['[Calibration]', 'CalCreateMode=1', 'RefUnits=99', 'TransducerSensitivityVolts=0',
                             'DTGain=-1', 'RefType=7']),
        'percent': crlf(['[calibration]', 'calcreatemode=3', 'pctfullscaleleft=1e40', 'reflevel=nan']),
    }


def source_seeds():
    # The simulator's file source: the wave seeds, and headers whose rates would loop for days.
    seeds = dict(wave_seeds())
    seeds['one_sample_a_second'] = riff(fmt(1, 1, 1, 1, 8) + chunk(b'data', bytes(range(256)) * 16))
    seeds['float_at_44100'] = riff(fmt(3, 1, 44100, 4, 32) + chunk(b'data', struct.pack('<4f', 0.5, -0.5, 1e30, 1.0)))
    return seeds


def overlay_seeds():
    rows = ''.join('%f\t%f\n' % (20.0 * 1.05 ** i, -0.1 * i) for i in range(120))
    return {
        'named': b';Reference run\n20.000000\t-31.500000\n100.000000\t-10.000000\n1000.000000\t0.000000\n',
        'spline_off': b';SPLINE OFF\r\n;Mic 4\r\n100 0\r\n200 10\r\n400 -10\r\nEnd of table\r\n',
        'spectrum': (';stored\n' + rows).encode(),
        'out_of_order': b'100\t1\n200\t2\n150\t3\n300\t4\n400\t5\n',
        'beyond_1mhz': b';mic\n100\t0\n1000\t1\n1e20\t2\n',
        'repeated': b'100 0\n200 6\n200 8\n400 0\n',
        'wide_values': b'0 -3e38\n1 3e38\n2 -3e38\n3 1e-40\n',
    }


def reverb_file(bands, times, offset=0, magic=50270, level0=0.0):
    out = struct.pack('<Iii', magic, bands, len(times))
    for r, t in enumerate(times):
        freqs = [125.0 * (b + 1) for b in range(bands - 1)] + [-999.0] + [0.0] * (31 - bands)
        levels = [level0 - 12.0 * r - b for b in range(bands)] + [-999.0] * (31 - bands)
        out += struct.pack('<94f', *(freqs + levels + levels + [t]))
    return out + (struct.pack('<i', offset) if magic == 50270 else b'')


def reverb_seeds():
    return {
        'three_records': reverb_file(4, [0.0, 4.8, 9.6], 250),
        'old_layout': reverb_file(3, [0.0, 0.0093, 0.0186, 0.0279], magic=13211),
        'wideband_only': reverb_file(1, [0.0, 0.5]),
        'all_bands': reverb_file(31, [0.01 * r for r in range(12)], 1000),
        'day_long': reverb_file(2, [0.0, 43200.0, 86400.0]),
        'last_time_1e6': reverb_file(4, [0.0, 4.8, 1e6]),
        'last_time_huge': reverb_file(4, [0.0, 4.8, 2.07e37]),
        'no_offset': reverb_file(4, [0.0, 1.0])[:-4],
    }


def thd_file(points_a, points_b=(), start=20.0, stop=20000.0, top=10.0, bottom=0.001):
    out = struct.pack('<ii4f', 5000, len(points_a), start, stop, top, bottom)
    for f, v in list(points_a) + list(points_b):
        out += struct.pack('<2f', f, v)
    return out


def thd_seeds():
    a = [(20.0 * 2 ** (i / 3), 0.01 + 0.001 * i) for i in range(30)]
    b = [(f, v * 2) for f, v in a]
    return {
        'one_channel': thd_file(a),
        'two_channels': thd_file(a, b, top=1.0, bottom=0.0001),
        'single_point': thd_file([(1000.0, 0.5)], start=1000.0, stop=1000.0),
        'narrow_span': thd_file([(150.0, 3.0), (155.0, 2.0)], start=150.0, stop=157.0, top=5.0, bottom=0.0),
        'damaged_range': thd_file([(1e20, 0.5), (1.5e30, 1.0)], start=1e30, stop=2e30),
        'short': thd_file(a)[:60],
    }


def main(folder):
    targets = {
        'wave_reader': (wave_seeds(), '.wav'),
        'simulator_source': (source_seeds(), '.wav'),
        # Three bytes choose the open mode and the edits before the file.
        'wave_editor': ({name: bytes([i % 3, 8, i * 37 % 256]) + b'\x11\x22\x33\x44\x55\x66\x77\x88' + data
                         for i, (name, data) in enumerate(wave_seeds().items())}, '.bin'),
        'configuration': (configuration_seeds(), '.cfg'),
        'profile': (profile_seeds(), '.ini'),
        'import_text': (import_seeds(), '.bin'),
        'file_group': (group_seeds(), '.qrx'),
        'calibration': (calibration_seeds(), '.cal'),
        'overlay_table': (overlay_seeds(), '.mic'),
        'reverb_file': (reverb_seeds(), '.rvb'),
        'thd_file': (thd_seeds(), '.thd'),
        'working_file': (working_file_seeds(), '.bin'),
    }
    for target, (seeds, ext) in targets.items():
        out = os.path.join(folder, target)
        os.makedirs(out, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(out, name + ext), 'wb') as f:
                f.write(data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus'))
