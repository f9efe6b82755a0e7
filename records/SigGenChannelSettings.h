// The generator record of one output channel (two in the frame, never stored in a
// configuration). The first field is the waveform type; each waveform's parameters form a
// sub-record that its dialog edits in place.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct SigGenNoiseBurst {
    INT NoiseType; // 0 white, 1 pink
    INT BurstMsec;
    INT CycleMsec;
};

struct SigGenFreqSweep {
    float StartFreq;
    float StopFreq;
    INT SweepMsec;
    INT SweepType;    // 1 linear, 2 logarithmic
    BYTE SingleSweep;
    BYTE SweepBack;   // 0 jump back, 1 sweep back
};

struct SigGenFreqStep {
    float StartFreq;
    float StopFreq;
    float StepFreq;      // linear step, Hz
    INT OctaveFraction;  // 1, 3, 6, 9, 12, 24, 48, 96
    INT DwellMsec;       // per step
    INT StepType;        // 1 linear, 2 octave
    BYTE SinglePass;
    BYTE StepBack;       // 0 jump back, 1 step back
};

struct SigGenLevelSweep {
    float StartLevelDb;
    float StopLevelDb;
    float Frequency;
    INT SweepMsec;
};

struct SigGenTone {
    BYTE Enabled;
    float Frequency;
    float LevelDb;   // relative level, dBr
    float Amplitude; // 10^(LevelDb/20)
    float PhaseDeg;
};

struct SigGenTones {
    SigGenTone Tone[10];
};

struct SigGenToneBurst {
    INT Frequency;
    INT BurstMsec;
    INT CycleMsec;
};

struct SigGenImdTones {
    INT ToneSet; // 0 standard set 1, 1 standard set 2, 2 custom
    float LowFreq;
    float HighFreq;
    float PowerRatio;
};

struct SigGenPulse {
    INT WidthUsec;
    INT IntervalUsec;
    BYTE SingleShot;
};

struct SigGenSawtooth {
    INT Slope; // +1 positive, -1 negative
    float Frequency;
};

struct SigGenTriangular {
    float Frequency;
};

struct SigGenSquare {
    float Frequency;
    INT DutyPercent;
};

struct SigGenUserWave {
    char Path[260];
    BYTE Repeat;
};

struct SigGenDtmf {
    char Keys[100];
    INT PulseMsec;
    INT SpacingMsec;
    float TwistDb;
    BYTE Repeat;
};

struct SigGenChannelSettings {
    INT Type; // SigGenWaveformType 0..16; 3 is the 1 kHz tone
    SigGenNoiseBurst NoiseBurst;
    SigGenFreqSweep FreqSweep;
    SigGenFreqStep FreqStep;
    SigGenLevelSweep LevelSweep;
    SigGenTones Tones;
    SigGenToneBurst ToneBurst;
    SigGenImdTones ImdTones;
    SigGenPulse Pulse;
    SigGenSawtooth Sawtooth;
    SigGenTriangular Triangular;
    SigGenSquare Square;
    SigGenUserWave UserWave;
    SigGenDtmf Dtmf;

    SigGenChannelSettings()
    {
        ZeroRecord(*this);
        Type = 3;
        NoiseBurst = {1, 1000, 2000};
        FreqSweep.StartFreq = 1000.0f;
        FreqSweep.StopFreq = 2000.0f;
        FreqSweep.SweepMsec = 10000;
        FreqSweep.SweepType = 1;
        FreqStep.StartFreq = 20.0f;
        FreqStep.StopFreq = 22000.0f;
        FreqStep.StepFreq = 1000.0f;
        FreqStep.OctaveFraction = 3;
        FreqStep.DwellMsec = 1000;
        FreqStep.StepType = 1;
        LevelSweep.StartLevelDb = -20.0f;
        LevelSweep.StopLevelDb = 0.0f;
        LevelSweep.Frequency = 1000.0f;
        LevelSweep.SweepMsec = 10000;
        for (int i = 0; i < 10; ++i) {
            SigGenTone& t = Tones.Tone[i];
            t.Enabled = i == 0 ? 1 : 0; // one tone on, so the defaults pass the tone dialog
            t.Frequency = 1000.0f * static_cast<float>(i + 1);
            t.LevelDb = 0.0f;
            t.Amplitude = 1.0f;
            t.PhaseDeg = 0.0f;
        }
        ToneBurst = {1000, 1000, 2000};
        ImdTones.ToneSet = 0;
        ImdTones.LowFreq = 100.0f;
        ImdTones.HighFreq = 5000.0f;
        ImdTones.PowerRatio = 4.0f;
        Pulse.WidthUsec = 200;
        Pulse.IntervalUsec = 10000;
        Sawtooth.Slope = 1;
        Sawtooth.Frequency = 1000.0f;
        Triangular.Frequency = 1000.0f;
        Square.Frequency = 2000.0f;
        Square.DutyPercent = 50;
        UserWave.Repeat = 1;
        CopyField(Dtmf.Keys, "1234567890*#ABCD");
        Dtmf.PulseMsec = 100;
        Dtmf.SpacingMsec = 100;
        Dtmf.TwistDb = 3.0f;
    }
};
