// The frame started headless (FrameFixture) with helpers of the file-command tests: mono
// 16-bit wave files written and read by Python's wave module, a channel's file opened as the
// File commands open it, and the enabled state of a command.
#pragma once

#include "FrameFixture.h"

#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Wnd.h"
#include "wave/TWaveFile.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace filesframe {

using namespace frametest;

inline bool WriteWave(const std::string& path, int rate, const std::vector<int>& samples)
{
    std::ostringstream list;
    for (int s : samples)
        list << s << ",";
    return Python("import wave, struct\n"
                  "w = wave.open('" + path + "', 'wb')\n"
                  "w.setnchannels(1); w.setsampwidth(2); w.setframerate(" + std::to_string(rate) + ")\n"
                  "v = [" + list.str() + "]\n"
                  "w.writeframes(struct.pack('<%dh' % len(v), *v))\n"
                  "w.close()\n");
}

// A wave of `frames` frames from a Python expression in i (the frame index).
inline bool WriteWaveOf(const std::string& path, int rate, int frames, const std::string& expression)
{
    return Python("import wave, struct, math\n"
                  "w = wave.open('" + path + "', 'wb')\n"
                  "w.setnchannels(1); w.setsampwidth(2); w.setframerate(" + std::to_string(rate) + ")\n"
                  "w.writeframes(b''.join(struct.pack('<h', max(-32767, min(32767, int(" + expression +
                  ")))) for i in range(" + std::to_string(frames) + ")))\n"
                  "w.close()\n");
}

inline std::vector<long> ReadWave(const std::string& path, const std::string& scratch)
{
    std::vector<long> out;
    if (!Python("import wave, struct\n"
                "w = wave.open('" + path + "', 'rb')\n"
                "d = w.readframes(w.getnframes())\n"
                "open('" + scratch + "', 'w').write(' '.join(str(x) for x in struct.unpack('<%dh' % (len(d) // 2), d)))\n"))
        return out;
    std::ifstream in(scratch);
    long v;
    while (in >> v)
        out.push_back(v);
    return out;
}

// The samples of channel 0 of an open wave.
inline std::vector<long> Samples(TWaveFile* f)
{
    std::vector<long> out;
    for (DWORD i = 0; i < f->GetEndFrame(); ++i)
        out.push_back(static_cast<long>(f->GetSample(i, 0, false)));
    return out;
}

inline bool CommandEnabled(CMainFrame* frame, UINT id)
{
    CTestCmdUI ui;
    ui.m_nID = id;
    ui.DoUpdate(frame, TRUE);
    return ui.m_bEnabled != 0;
}

// The row of the highest pixel in the colour inside the pane, or -1.
inline int HighestRow(CWnd* plot, const CRect& pane, COLORREF colour)
{
    AfxPumpMessages();
    CClientDC dc(plot);
    for (int y = pane.top; y < pane.bottom; ++y)
        for (int x = pane.left; x < pane.right; ++x)
            if (dc.GetPixel(x, y) == colour)
                return y;
    return -1;
}

class FilesFrame : public FrameFixture {
protected:
    // Post Process mode with the wave at `path` as channel `channel`'s file, opened as the
    // frame reopens files (streamed, the profile's backup choice).
    bool OpenChannel(int channel, const std::string& path)
    {
        if (frame->Settings.OpMode != 2)
            frame->SetModePostProcess(false);
        std::strncpy(frame->Settings.Files[channel].FilePath, path.c_str(), 259);
        if (!frame->ReopenChannelFile(channel) || frame->Settings.Files[channel].File == nullptr)
            return false;
        // As the File commands re-apply a channel whose file changed.
        frame->InitChannelScaling(channel);
        frame->SetupChannelProcessing(channel);
        frame->AttachWaveFileToPlots(channel);
        frame->ReleaseChannelProcessing(channel);
        return true;
    }

    // Channel 0 as a 1 kHz tone of `frames` frames at 8 kHz, with its spectrum averaged over the
    // first second and drawn from 0 to 4 kHz, scaled to fit; nullptr when any step fails.
    TSpectraPlot* ToneSpectrum(int frames)
    {
        if (!WriteWaveOf(Data("wave/t.wav"), 8000, frames, "round(12000 * math.sin(2 * math.pi * 1000 * i / 8000))") ||
            !OpenChannel(0, Data("wave/t.wav")))
            return nullptr;
        frame->ComputeSegmentAverageSpectrum(0, 0.0f, 1.0f, false);
        TSpectraPlot* plot = frame->SpectrumPlot[0];
        if (plot == nullptr)
            return nullptr;
        SpectrumPlotSettings& s = frame->Settings.SpectrumOpts[0];
        s.StartFreq = 0.0f;
        s.StopFreq = 4000.0f;
        plot->UpdateLayout();
        plot->Autoscale();
        return plot;
    }

    // The frame's close asks about files with unsaved edits; the test's close answers No.
    void AnswerNoOnClose() { user.ExpectBox(IDNO, "The file has not been saved."); }

    // Opens (and so activates) the channel's time-series plot and selects [start, end) seconds
    // in it, as a drag across the plot does.
    TSeriesPlot* Select(int channel, float start, float end)
    {
        if (frame->TimeSeriesPlot[channel] == nullptr)
            frame->OpenTimeSeriesPlot(channel);
        TSeriesPlot* plot = frame->TimeSeriesPlot[channel];
        if (plot == nullptr)
            return nullptr;
        frame->MDIActivate(plot);
        plot->SetTimeRange(start, end);
        plot->UpdateLayout();
        plot->SelectAll();
        return plot;
    }
};

} // namespace filesframe
