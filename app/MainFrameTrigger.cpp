// Triggering: the search for a trigger event in a live run's trigger channel, the collection of
// the samples after it, and the accept prompt; and the pieces that live and post-process
// triggering share (the piece in volts, the delay, the question).
//
// Live positions are the device's sample numbers counted from the run's first sample, not ring
// indexes: a delay before or after an event, the ring's wrap and an overrun then need no
// modulo arithmetic, and a read either finds its samples in the ring or says why not.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "platform/core/MessageBox.h"
#include "plots/TSeriesPlot.h"
#include "records/CommonRoutines.h"
#include "wave/TSampleBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

std::unique_ptr<TSampleBuffer> CMainFrame::NewTriggerPiece(DWORD count, const TPcmFormat& format, float gain) const
{
    std::unique_ptr<TSampleBuffer> piece(new (std::nothrow) TSampleBuffer(count, format, 1, false));
    if (piece == nullptr || piece->IsError())
        return nullptr;
    // Volts at the channel's gain: the threshold is in volts.
    ChannelCalibration volts;
    ZeroRecord(volts);
    volts.IsEnabled = 1;
    volts.DTGain = gain;
    volts.DTCalVersion = 1000;
    ComputeCalibrationFactors(volts);
    piece->SetScaling(&volts);
    return piece;
}

long long CMainFrame::TriggerDelaySamples(DWORD sampleRate) const
{
    const TriggerSettings& trig = Settings.Trigger;
    // Rounded: 10 ms at 8 kHz is 80 samples, where a truncated float product gives 79.
    const double samples = std::max(0.0, double(trig.DelayMsec) * sampleRate / 1000.0);
    const long long delay = std::isfinite(samples) ? std::llround(std::min(samples, 4.0e9)) : 0;
    return trig.DelayType == 0 ? -delay : delay;
}

int CMainFrame::AskToAcceptTrigger(int channel, const char* question)
{
    if (TimeSeriesPlot[channel] == nullptr)
        OpenTimeSeriesPlot(channel);
    if (TSeriesPlot* plot = TimeSeriesPlot[channel]) {
        if (plot->IsIconic())
            plot->ShowWindow(SW_RESTORE);
        MDIActivate(plot);
        plot->UpdateFrame(0.0f);
    }
    return AfxMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION);
}

bool CMainFrame::IsAnalogTriggerLive() const
{
    const TriggerSettings& trig = Settings.Trigger;
    return trig.TriggerEnabled != 0 && trig.TriggerSource == 0 && trig.TriggerChannel < DWORD(kChannels) &&
           Settings.Device.Channels[trig.TriggerChannel].bIsEnabled == 1;
}

bool CMainFrame::IsRecordingHeldForTrigger() const
{
    const TriggerSettings& trig = Settings.Trigger;
    // An analog trigger on a channel that is not acquired is never searched: the run goes
    // untriggered, and so does its recording.
    const bool held = IsAnalogTriggerLive() || (trig.TriggerEnabled != 0 && trig.TriggerSource == 1);
    return held && !RecordingTriggered;
}

bool CMainFrame::WaitForTrigger()
{
    if (!IsAnalogTriggerLive() || InputDevice == nullptr || InputDevice->GetRingLength() <= 0)
        return true;
    const TriggerSettings& trig = Settings.Trigger;
    const int t = int(trig.TriggerChannel);
    // Every enabled channel reads its whole block from the block start, so all of it must be
    // there, not only the trigger channel's FFT size.
    const long long need = std::max<long long>(MaxChannelBlock(), 1);
    const long long ring = InputDevice->GetRingLength();

    if (PostTriggerCapture) {
        const long long have = std::clamp(InputDevice->GetSampleCounter() - TriggerBlockStart, 0LL, need);
        if (have < need) {
            CapturePercent = int(double(have) * 100.0 / double(need));
            StatusbarUpdate(1);
            return false;
        }
        PostTriggerCapture = false;
        CapturePercent = 0;
        // On past the block, and never back to the event itself (a pre-trigger delay longer
        // than the block would find it again).
        TriggerSearchFrame = std::max(TriggerBlockStart + need, TriggerEventSample + 1);
        TriggerDetected = true;
        StatusbarUpdate(1);
        return AcceptTriggerEvent();
    }

    const int step = InputDevice->GetSamplesPerPacketBlock();
    std::vector<int> samples;
    try {
        samples.resize(std::size_t(step) + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::unique_ptr<TSampleBuffer> piece =
        NewTriggerPiece(DWORD(step) + 1, Settings.Processing[t].SampleFormat, float(Settings.Device.Channels[t].Gain));
    if (piece == nullptr)
        return false;
    TriggerDetected = false;
    StatusbarUpdate(1);
    // Everything that has come since the last step is searched, piece by piece: one piece a
    // step would fall behind the device for good. What the ring no longer holds is skipped.
    const long long counter = InputDevice->GetSampleCounter();
    const long long oldest = std::max(0LL, counter - ring);
    TriggerSearchFrame = std::clamp(TriggerSearchFrame, oldest, counter);
    bool found = false;
    long long event = 0;
    while (!found && TriggerSearchFrame + step <= counter) {
        // The piece starts one sample early, so that an edge between two pieces is seen.
        const long long first = TriggerSearchFrame > oldest ? TriggerSearchFrame - 1 : TriggerSearchFrame;
        const int count = int(TriggerSearchFrame + step - first);
        if (InputDevice->ReadSamples(t, first, count, samples.data()) != TUsbDevice::RingRead::Ok)
            break;
        for (int i = 0; i < count; ++i)
            piece->SetSample(DWORD(i), samples[std::size_t(i)]);
        TriggerSearchFrame += step;
        DWORD index = 0;
        if (piece->FindTrigger(trig, 0, DWORD(count), index)) {
            found = true;
            event = first + index;
        }
    }
    if (!found) {
        StatusbarUpdate(1);
        return false;
    }
    const long long start = event + TriggerDelaySamples(piece->GetSampleRate());
    // A block reaching back before the run's first sample, or before what the ring still
    // holds, cannot be read: the event is passed over.
    if (start < 0 || start < std::max(0LL, InputDevice->GetSampleCounter() - ring)) {
        TriggerDetected = false;
        StatusbarUpdate(1);
        return false;
    }
    TriggerEventSample = event;
    TriggerBlockStart = start;
    const long long have = std::clamp(InputDevice->GetSampleCounter() - start, 0LL, need);
    if (have < need) {
        PostTriggerCapture = true;
        CapturePercent = int(double(have) * 100.0 / double(need));
        StatusbarUpdate(1);
        return false;
    }
    TriggerDetected = true;
    StatusbarUpdate(1);
    return AcceptTriggerEvent();
}

bool CMainFrame::AcceptTriggerEvent()
{
    const TriggerSettings& trig = Settings.Trigger;
    if (trig.PromptToAccept == 0)
        return true;
    const int t = int(trig.TriggerChannel);
    if (t < 0 || t >= kChannels || SampleBuffer[t] == nullptr || InputDevice == nullptr)
        return false;
    // The trigger channel's plot shows the block the event would analyse.
    TSampleBuffer* buffer = SampleBuffer[t];
    const DWORD length = ChannelBlockLength(t);
    if (Settings.Device.Channels[t].bIsEnabled == 1 && length > 0 && buffer->GetCount() >= length) {
        std::vector<int> block;
        try {
            block.resize(length);
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (Channel(t).ReadBlock(*InputDevice, TriggerBlockStart + length, block) == TUsbDevice::RingRead::Ok)
            buffer->CompactChannels();
    }
    char question[200];
    if (Settings.RunControl.RunMode == 1)
        std::snprintf(question, sizeof question, "Trigger Number %d of %d\r\rAccept This Trigger Event?", FftsProcessed + 1,
                      int(Settings.RunControl.FftLimit));
    else
        std::snprintf(question, sizeof question, "Trigger Number %d\r\rAccept This Trigger Event?", FftsProcessed + 1);
    const int answer = AskToAcceptTrigger(t, question);
    // What arrived while the question was open is not searched.
    TriggerSearchFrame = InputDevice->GetSampleCounter();
    if (answer == IDYES)
        return true;
    TriggerDetected = false;
    StatusbarUpdate(1);
    if (answer == IDCANCEL)
        StopDataAcquisition();
    return false;
}
