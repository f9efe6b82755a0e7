// Analyses of a selected time segment (or one time) of an input channel's wave file: average
// spectrum, spectrum at a time, spectrogram and surface rebuilds, inverse FFT, cepstrum,
// quality factor, RMS level, crest factor, Hilbert envelope, Schroeder integration and DTMF
// detection. The work is in dsp/; here are the plots, captions, progress and messages.
#include "app/CMainFrame.h"

#include "app/CAskZeroPadDlg.h"
#include "app/TChannelProcessing.h"
#include "records/ChannelCalibration.h"
#include "dsp/DtmfScan.h"
#include "dsp/SegmentAnalysis.h"
#include "dsp/SegmentProgress.h"
#include "dsp/SegmentSpectrum.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "platform/ui/LongOperation.h"
#include "plots/TOverlaySourceSelectDialog.h"
#include "plots/TSeriesPlot.h"
#include "records/AppMessages.h"
#include "records/CommonRoutines.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr const char* kSelectSegment = "You must first select a time segment.";

DWORD BlockFrames(const ChannelProcessingSettings& p) { return BlockLengthOf(p); }

// Showing progress and asking whether the user pressed Esc both let the window system run
// (paints, queued input), which costs more than a history line takes to draw. A rebuild does
// both every few lines, and sooner once a moment has passed since it last did, so that slow
// lines still show their progress and answer Esc at once.
class SparseProgress {
public:
    explicit SparseProgress(const SegmentProgress& hooks) : m_hooks(hooks), m_last(Clock::now()) {}
    // After a line: true when the user cancelled. `show` puts the lines drawn so far on the
    // window before the window system runs.
    template <class Show> bool Step(int percent, const Show& show)
    {
        const Clock::time_point now = Clock::now();
        if (++m_lines < kLines && now - m_last < kInterval)
            return false;
        m_lines = 0;
        m_last = now;
        show();
        m_hooks.Report(percent);
        return m_hooks.Cancelled();
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kLines = 32;
    static constexpr std::chrono::milliseconds kInterval{50};
    const SegmentProgress& m_hooks;
    Clock::time_point m_last;
    int m_lines = 0;
};

std::unique_ptr<TSampleBuffer> MakeWorkBlock(const ChannelProcessingSettings& p)
{
    std::unique_ptr<TSampleBuffer> work(
        new (std::nothrow) TSampleBuffer(BlockFrames(p), p.SampleFormat, std::max<DWORD>(p.DecimationRatio, 1),
                                         p.ApplyLowPassFilter != 0));
    if (work && work->IsError())
        work.reset();
    return work;
}

// The file's calibration of a channel slot, for a temporary engine.
void GiveFileCalibration(TWaveFile& file, int slot, SpectralData& engine)
{
    ChannelCalibration cal;
    file.GetChannelCalibration(cal, slot);
    if (cal.IsEnabled != 0)
        engine.SetScaling(&cal);
}

void ClampTimes(float& start, float& end)
{
    start = std::max(start, 0.0f);
    end = std::max(end, 0.0f);
}

} // namespace

void CMainFrame::ShowSegmentTimeSeries(int channel, float start, float end)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return;
    ClampTimes(start, end);
    if (start == end) {
        AfxMessageBox(kSelectSegment, MB_OK | MB_ICONERROR);
        return;
    }
    CWaitCursor wait;
    if (TimeSeriesPlot[channel] == nullptr)
        OpenTimeSeriesPlot(channel);
    else
        MDIActivate(TimeSeriesPlot[channel]);
    TSeriesPlot* plot = TimeSeriesPlot[channel];
    if (plot == nullptr)
        return;
    if (start > end)
        end = start + static_cast<float>(
                          Settings.Files[channel].File->FramesToSeconds(BlockFrames(Settings.Processing[channel])));
    plot->SetTimeRange(start, end);
    plot->UpdateLayout();
}

void CMainFrame::ComputeSegmentAverageSpectrum(int channel, float start, float end, bool composite)
{
    if (composite) {
        ComputeCompositeSegmentAverageSpectrum(channel, start, end);
        return;
    }
    if (channel < 0 || channel >= kChannels)
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    SpectralData* engine = Spectral[channel];
    if (file == nullptr || engine == nullptr || Smoothing[channel] == nullptr)
        return;
    if (start == end) {
        AfxMessageBox(kSelectSegment, MB_OK | MB_ICONERROR);
        return;
    }
    ClampTimes(start, end);
    if (!(end - start > 0.0f))
        return;
    if (SpectrumPlot[channel] == nullptr)
        OpenSpectrumPlot(channel);
    else
        MDIActivate(SpectrumPlot[channel]);
    CWaitCursor wait;
    const DWORD position = file->GetPosition();
    const ChannelProcessingSettings& p = Settings.Processing[channel];
    std::unique_ptr<TSampleBuffer> work = MakeWorkBlock(p);
    if (!work)
        return;
    const DWORD hop = GetPostProcessHop(p) * std::max<DWORD>(p.DecimationRatio, 1);
    const auto askZeroPad = [this] {
        int choice = IDCANCEL;
        CAskZeroPadDlg dlg(this, &choice);
        dlg.DoModal();
        return choice;
    };
    BeginLongOperation("Computing average spectrum... press <Esc> to cancel.");
    const SegmentAverageResult result =
        ComputeSegmentAverage(*file, static_cast<int>(Settings.Files[channel].FileChannel),
                              file->SecondsToFrames(start), file->SecondsToFrames(end), hop, *work, *engine,
                              *Smoothing[channel], p, askZeroPad, LongOperationHooks());
    EndLongOperation();
    if (result == SegmentAverageResult::ReadFailed) {
        file->Seek(position);
        return;
    }
    if (TSpectraPlot* plot = SpectrumPlot[channel]) {
        plot->SetTimeUnitsMsec(false);
        plot->UpdateFrame(0.0f);
    }
    file->Seek(position);
    UpdateUtilityViews();
}

namespace {

// One member channel of a composite segment average: its file, window and temporary objects.
struct CompositeMember {
    int channel = 0;
    TWaveFile* file = nullptr;
    int slot = 0;
    const TSmoothing* window = nullptr;
    DWORD blockFrames = 0;
    DWORD ratio = 1;
    DWORD position = 0; // restored at the end
    DWORD start = 0;
    DWORD end = 0;
    std::unique_ptr<TSampleBuffer> work;
    std::unique_ptr<SpectralData> engine;
};

// The member channels of a composite, each with its own work block and engine built from the
// channel's settings and its file's calibration, with the file's position saved. False when
// the composite has no members (its type names none) or a member lacks its file (said so),
// window or memory.
bool GatherMembers(CMainFrame& frame, int composite, std::vector<CompositeMember>& members)
{
    for (int ch = 0; ch < CMainFrame::kChannels; ++ch) {
        if (!frame.IsChannelInComposite(ch, composite))
            continue;
        CompositeMember m;
        m.channel = ch;
        m.file = frame.Settings.Files[ch].File.get();
        m.window = frame.Smoothing[ch];
        if (m.file == nullptr) {
            char text[120];
            std::snprintf(text, sizeof text, "Composite Channel %c: Input Channel %d has no wave file.",
                          GetChannelLetter(composite), ch);
            AfxMessageBox(text, MB_OK | MB_ICONSTOP);
            return false;
        }
        if (m.window == nullptr)
            return false;
        const ChannelProcessingSettings& p = frame.Settings.Processing[ch];
        m.slot = static_cast<int>(frame.Settings.Files[ch].FileChannel);
        m.blockFrames = BlockFrames(p);
        m.ratio = std::max<DWORD>(p.DecimationRatio, 1);
        m.work = MakeWorkBlock(p);
        m.engine = MakeSpectralData(p, frame.Settings.Scaling[ch], 0);
        if (!m.work || !m.engine || m.engine->HasError())
            return false;
        GiveFileCalibration(*m.file, m.slot, *m.engine);
        m.position = m.file->GetPosition();
        members.push_back(std::move(m));
    }
    return !members.empty();
}

// The members of a composite over the selected segment. False when no segment is selected
// (said so), the segment is empty or the members can't be had.
bool GatherSegmentMembers(CMainFrame& frame, int composite, float start, float end,
                          std::vector<CompositeMember>& members)
{
    if (start == end) {
        AfxMessageBox(kSelectSegment, MB_OK | MB_ICONERROR);
        return false;
    }
    ClampTimes(start, end);
    if (!(end - start > 0.0f) || !GatherMembers(frame, composite, members))
        return false;
    for (CompositeMember& m : members) {
        m.start = m.file->SecondsToFrames(start);
        m.end = m.file->SecondsToFrames(end);
    }
    return true;
}

// The member whose counts (block length, hop) the composite follows: its source channel.
const CompositeMember& SourceMember(const CMainFrame& frame, int composite, const std::vector<CompositeMember>& members)
{
    const int source = frame.GetCompositeSource(composite);
    for (const CompositeMember& m : members)
        if (m.channel == source)
            return m;
    return members.front();
}

// The members' current spectra summed into the result, which counts as the first member.
void CombineMembers(SpectralData& result, std::vector<CompositeMember>& members, WORD compositeType)
{
    std::vector<const float*> spectra;
    for (CompositeMember& m : members)
        spectra.push_back(m.engine->GetTimeBuffer());
    CMainFrame::SumCompositeSpectra(result, spectra, compositeType, members.front().engine.get());
}

using CompositeEngines = std::array<SpectralData*, 4>; // reference, transfer, result, coherence

// The composite of the members' current blocks into its engines: a sum from the members'
// spectra, the two-channel types from their work blocks. False when it can't be computed.
bool ComputeFromMembers(CMainFrame& frame, int composite, std::vector<CompositeMember>& members,
                        const CompositeEngines& engines)
{
    const WORD type = frame.Settings.Composite[composite].CompositeType;
    if (type == 0 || type == 5) {
        if (engines[2] == nullptr)
            return false;
        CombineMembers(*engines[2], members, type);
        return true;
    }
    TSampleBuffer* blocks[CMainFrame::kChannels] = {};
    SpectralData* spectra[CMainFrame::kChannels] = {};
    for (CompositeMember& m : members) {
        blocks[m.channel] = m.work.get();
        spectra[m.channel] = m.engine.get();
    }
    return frame.ComputeTwoChannelComposite(composite, blocks, spectra, engines[0], engines[1], engines[2], engines[3]);
}

// The engines of composite `composite` when it has a result engine and the composites'
// settings can be computed (else said so).
bool ComputableComposite(CMainFrame& frame, int composite, CompositeEngines& engines)
{
    if (composite < 0 || composite >= CMainFrame::kComposites)
        return false;
    engines = frame.CompositeSpectral[composite];
    return engines[2] != nullptr && frame.ValidateCompositeChannels(0);
}

// The composite's own engines back to the averaging of its source channel, whose count a
// rebuild gives them all (composites have no processing record of their own).
void RestoreCompositeAveraging(const CMainFrame& frame, const CompositeEngines& engines, int source)
{
    const ChannelProcessingSettings& p = frame.Settings.Processing[source];
    for (SpectralData* e : engines)
        if (e != nullptr)
            e->SetAveraging(p.AverageSpeed, p.AverageBlocks);
}

// A spectrogram or a 3-D surface plot, as the history rebuilds drive either one.
struct HistoryTarget {
    TSpectrogram* spectrogram = nullptr;
    TSurfacePlot* surface = nullptr;

    TPlotBase* Plot() const { return surface != nullptr ? static_cast<TPlotBase*>(surface) : spectrogram; }
    float HistoryStart() const
    {
        return surface != nullptr ? surface->GetHistoryStartTime() : spectrogram->GetHistoryStartTime();
    }
    float HistoryEnd() const { return surface != nullptr ? surface->GetHistoryEndTime() : spectrogram->GetHistoryEndTime(); }
    // The lines the picture shows: a line beyond the last row would be computed for nothing.
    int Lines() const { return surface != nullptr ? surface->GetRebuildLines() : spectrogram->GetRebuildLines(); }
    // The plot line of the i-th block: the surface fills from its back line forward.
    int Line(int i, int lines) const
    {
        return surface != nullptr ? lines - 1 - i : SegmentRebuildLine(i, lines, spectrogram->GetScrollType());
    }
    int Percent(int i, int lines) const { return (surface != nullptr ? i + 1 : i) * 100 / lines; }
    const char* Caption() const
    {
        return surface != nullptr ? "Rebuilding 3-D Surface plot... press <Esc> to cancel."
                                  : "Rebuilding Spectrogram plot... press <Esc> to cancel.";
    }
    void Draw(int line, SpectralData* spectrum, SpectralData* second, float time) const
    {
        if (surface != nullptr) {
            surface->Rebuild(spectrum, second);
            surface->SetHistoryLine(line, time);
        } else {
            spectrogram->Rebuild(line, spectrum, second);
            spectrogram->SetHistoryLine(line, time);
        }
    }
    // Lays the plot out for the lines to come: a spectrogram leaves what they cover to them.
    void LayOut() const
    {
        if (spectrogram != nullptr)
            spectrogram->UpdateLayoutForRebuild();
        else
            surface->UpdateLayout();
    }
    // The lines drawn so far, on the window (a surface shows each line as it draws it).
    void Show() const
    {
        if (spectrogram != nullptr)
            spectrogram->ShowRebuiltLines();
    }
    // The last lines shown, and what the lines were to cover and did not, painted.
    void EndLines() const
    {
        if (spectrogram != nullptr)
            spectrogram->EndRebuild();
    }
    // After an Esc the lines drawn so far are no picture of the segment: the history is emptied.
    void Finish(bool cancelled = false) const
    {
        EndLines();
        if (cancelled) {
            if (surface != nullptr)
                surface->ClearHistory();
            else
                spectrogram->ClearHistory();
            Plot()->UpdateLayout();
        }
        if (surface != nullptr)
            surface->UpdateTimeStrings();
        else
            spectrogram->UpdateTimeStrings();
        Plot()->SetHighlight();
    }
};

// A history plot laid out for a rebuild's lines; however the rebuild ends, what they were to
// cover is painted.
class LinesLaidOut {
public:
    explicit LinesLaidOut(const HistoryTarget& plot) : m_plot(plot) { m_plot.LayOut(); }
    ~LinesLaidOut() { m_plot.EndLines(); }
    LinesLaidOut(const LinesLaidOut&) = delete;
    LinesLaidOut& operator=(const LinesLaidOut&) = delete;

private:
    const HistoryTarget& m_plot;
};

constexpr int kSpectrogramKind = 4;
constexpr int kSurfaceKind = 5;

HistoryTarget HistoryPlotOf(const CMainFrame& frame, int index, bool composite, bool surface)
{
    HistoryTarget target;
    if (surface)
        target.surface = static_cast<TSurfacePlot*>(frame.GetPlot(kSurfaceKind, index, composite));
    else
        target.spectrogram = static_cast<TSpectrogram*>(frame.GetPlot(kSpectrogramKind, index, composite));
    return target;
}

// The history plot, opened when it is not yet (a new plot comes up active).
HistoryTarget OpenHistoryPlot(CMainFrame& frame, int index, bool composite, bool surface, bool activate)
{
    const int kind = surface ? kSurfaceKind : kSpectrogramKind;
    if (TPlotBase* plot = frame.GetPlot(kind, index, composite)) {
        if (activate)
            frame.MDIActivate(plot);
    } else {
        frame.OpenPlot(kind, index, composite);
    }
    return HistoryPlotOf(frame, index, composite, surface);
}

// Rebuilds a history plot over the time span it shows now.
void RebuildShownHistory(CMainFrame& frame, int index, bool composite, bool activate, bool surface)
{
    const HistoryTarget target = HistoryPlotOf(frame, index, composite, surface);
    if (target.Plot() == nullptr || !(target.HistoryEnd() > target.HistoryStart()))
        return;
    if (surface)
        frame.RebuildSurfaceFromSegment(index, target.HistoryStart(), target.HistoryEnd(), composite, activate);
    else
        frame.RebuildSpectrogramFromSegment(index, target.HistoryStart(), target.HistoryEnd(), composite, activate);
}

} // namespace

void CMainFrame::ComputeCompositeSegmentAverageSpectrum(int composite, float start, float end)
{
    CompositeEngines engines{};
    if (!ComputableComposite(*this, composite, engines))
        return;
    std::vector<CompositeMember> members;
    if (!GatherSegmentMembers(*this, composite, start, end, members))
        return;

    // The counts come from the composite's source channel.
    const CompositeMember& ref = SourceMember(*this, composite, members);
    const int source = ref.channel;
    const DWORD hop = GetPostProcessHop(Settings.Processing[source]) * ref.ratio;
    const std::int64_t frames = std::int64_t(ref.end) - std::int64_t(ref.start);
    const SegmentAveragePlan plan = PlanSegmentAverage(frames, ref.blockFrames, hop);
    int choice = SEGMENT_ZEROPAD;
    if (plan.blocks == 0) {
        choice = IDCANCEL;
        CAskZeroPadDlg dlg(this, &choice);
        dlg.DoModal();
        if (choice != SEGMENT_ZEROPAD && choice != SEGMENT_INCLUDE_NEIGHBOURS)
            return;
    }

    if (CompositeSpectrumPlot[composite] == nullptr)
        OpenCompositeSpectrumPlot(composite);
    else
        MDIActivate(CompositeSpectrumPlot[composite]);
    for (CompositeMember& m : members)
        m.engine->SetAveraging(4, 100000);
    CWaitCursor wait;
    BeginLongOperation("Computing average spectrum... press <Esc> to cancel.");
    // Every engine of the composite starts afresh: a reference or transfer average left from a
    // run would otherwise weigh in the segment's transfer function and coherence.
    for (SpectralData* e : engines)
        if (e != nullptr) {
            e->SetAveraging(4, 100000);
            e->ResetAverages();
        }

    const SegmentProgress hooks = LongOperationHooks();
    // A member that can't be read (reported once) stops the average: it would not be valid.
    bool read = true;
    bool cancelled = false;
    for (std::int64_t i = 0; read && i < plan.blocks; ++i) {
        hooks.Report(static_cast<int>(i * 100 / plan.blocks));
        for (CompositeMember& m : members)
            if (!(read = ProcessSegmentBlock(*m.file, m.slot, m.start + static_cast<DWORD>(i * hop), *m.work,
                                             *m.engine, *m.window)))
                break;
        if (read)
            read = ComputeFromMembers(*this, composite, members, engines);
        if ((cancelled = hooks.Cancelled()))
            break;
    }
    if (read && !cancelled && plan.finalBlock) {
        for (CompositeMember& m : members) {
            if (plan.blocks >= 1)
                read = ProcessSegmentBlock(*m.file, m.slot, m.end >= m.blockFrames ? m.end - m.blockFrames : 0,
                                           *m.work, *m.engine, *m.window);
            else
                read = ProcessShortSegmentBlock(*m.file, m.slot, m.start, m.end - m.start, choice, *m.work, *m.engine,
                                                *m.window);
            if (!read)
                break;
        }
        if (read)
            read = ComputeFromMembers(*this, composite, members, engines);
    }
    EndLongOperation();
    // An average cut short by Esc is not the segment's: it shows nothing.
    if (cancelled)
        for (SpectralData* e : engines)
            if (e != nullptr)
                e->ResetAverages();
    TSpectraPlot* plot = read ? CompositeSpectrumPlot[composite] : nullptr;
    if (plot != nullptr) {
        plot->SetTimeUnitsMsec(false);
        plot->UpdateFrame(0.0f);
    }
    RestoreCompositeAveraging(*this, engines, source);
    for (CompositeMember& m : members)
        m.file->Seek(m.position);
    UpdateUtilityViews();
}

namespace {

// The spectrum plot of a channel or composite, opened or brought forward, drawing the spectrum
// its engine now holds with its x unit back in hertz.
void ShowNewSpectrum(CMainFrame& frame, int index, bool composite)
{
    TSpectraPlot* plot = composite ? frame.CompositeSpectrumPlot[index] : frame.SpectrumPlot[index];
    if (plot == nullptr) {
        if (composite)
            frame.OpenCompositeSpectrumPlot(index);
        else
            frame.OpenSpectrumPlot(index);
        plot = composite ? frame.CompositeSpectrumPlot[index] : frame.SpectrumPlot[index];
    } else {
        frame.MDIActivate(plot);
    }
    if (plot != nullptr) {
        plot->SetTimeUnitsMsec(false);
        plot->UpdateFrame(0.0f);
    }
    frame.UpdateUtilityViews();
}

} // namespace

void CMainFrame::ComputeSpectrumAtTime(int channel, float time)
{
    if (channel < 0 || channel >= kChannels)
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    SpectralData* engine = Spectral[channel];
    if (file == nullptr || engine == nullptr || Smoothing[channel] == nullptr)
        return;
    const ChannelProcessingSettings& p = Settings.Processing[channel];
    std::unique_ptr<TSampleBuffer> work = MakeWorkBlock(p);
    if (!work)
        return;
    const std::optional<float> start = ComputeSegmentSpectrumAtTime(
        *file, static_cast<int>(Settings.Files[channel].FileChannel), time, *work, *engine, *Smoothing[channel], p);
    if (!start)
        return;
    const float blockStart = *start;
    ShowNewSpectrum(*this, channel, false);
    // The position stays at the block's start.
    file->SeekSeconds(blockStart);
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->ShowTimePosition(blockStart);
    ToolbarUpdateState();
}

LRESULT CMainFrame::OnPlotSegmentMessage(WPARAM code, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const PlotSegmentRequest*>(lParam);
    if (request == nullptr)
        return 0;
    const int channel = request->Channel;
    const bool composite = request->Composite != 0;
    const float start = request->Start;
    const float end = request->End;
    switch (code) {
    case PLOT_SEGMENT_REBUILD:
        if (request->Surface != 0)
            RebuildSurface(channel, composite, false);
        else
            RebuildSpectrogram(channel, composite, false);
        return 1;
    case PLOT_SEGMENT_SPECTRUM_AT:
        if (composite) {
            ComputeCompositeSpectrumAtTime(channel, start);
            return 1;
        }
        ComputeSpectrumAtTime(channel, start);
        ShowSegmentTimeSeries(channel, start, 0.0f);
        return 1;
    case 801: OnEditCut(); return 1;
    case 802: OnEditCopy(); return 1;
    case 803: OnEditMute(); return 1;
    case 804: OnEditFilter(); return 1;
    case 805:
        if (composite)
            return 0;
        return StartSegmentPlayback(channel, start, end) ? 1 : 0;
    case 806:
        if (composite)
            return 0;
        ShowSegmentTimeSeries(channel, start, end);
        return 1;
    case 807: ComputeSegmentAverageSpectrum(channel, start, end, composite); return 1;
    case 808: RebuildSpectrogramFromSegment(channel, start, end, composite, true); return 1;
    case 809: RebuildSurfaceFromSegment(channel, start, end, composite, true); return 1;
    default: return 0;
    }
}

void CMainFrame::RebuildSpectrogram(int channel, bool composite, bool activate)
{
    RebuildShownHistory(*this, channel, composite, activate, false);
}

void CMainFrame::RebuildSurface(int channel, bool composite, bool activate)
{
    RebuildShownHistory(*this, channel, composite, activate, true);
}

void CMainFrame::RebuildSpectrogramFromSegment(int channel, float start, float end, bool composite, bool activate)
{
    if (composite)
        RebuildCompositeSpectrogramFromSegment(channel, start, end, activate);
    else
        RebuildChannelHistory(channel, start, end, activate, false);
}

void CMainFrame::RebuildSurfaceFromSegment(int channel, float start, float end, bool composite, bool activate)
{
    if (composite)
        RebuildCompositeSurfaceFromSegment(channel, start, end, activate);
    else
        RebuildChannelHistory(channel, start, end, activate, true);
}

namespace {

// The rebuild of `lines` history lines over a segment of a file in a channel's settings.
SegmentRebuildPlan PlanRebuild(const TWaveFile& file, float start, float end, const ChannelProcessingSettings& p, int lines)
{
    const DWORD hop = CMainFrame::GetPostProcessHop(p) * std::max<DWORD>(p.DecimationRatio, 1);
    return PlanSegmentRebuild(file, start, end, BlockFrames(p), hop, static_cast<int>(std::max<DWORD>(p.AverageBlocks, 1)),
                              lines);
}

} // namespace

void CMainFrame::RebuildChannelHistory(int channel, float start, float end, bool activate, bool surface)
{
    if (channel < 0 || channel >= kChannels)
        return;
    TWaveFile* file = Settings.Files[channel].File.get();
    if (file == nullptr || Smoothing[channel] == nullptr)
        return;
    if (start == end) {
        AfxMessageBox(kSelectSegment, MB_OK | MB_ICONERROR);
        return;
    }
    const ChannelProcessingSettings& p = Settings.Processing[channel];
    if (!PlanSegmentRebuild(*file, start, end, BlockFrames(p), 1, 1, 2).run)
        return;
    const HistoryTarget plot = OpenHistoryPlot(*this, channel, false, surface, activate);
    if (plot.Plot() == nullptr)
        return;
    const LinesLaidOut laidOut(plot);
    const int lines = plot.Lines();
    if (lines <= 0)
        return;
    const SegmentRebuildPlan plan = PlanRebuild(*file, start, end, p, lines);
    if (!plan.run)
        return;
    if (plan.resolutionNote)
        AfxMessageBox("Note: You have reached the maximum time resolution that can be produced with the current "
                      "sampling rate",
                      MB_OK);
    CWaitCursor wait;
    const DWORD position = file->GetPosition();
    std::unique_ptr<TSampleBuffer> work = MakeWorkBlock(p);
    std::unique_ptr<SpectralData> engine = MakeSpectralData(p, Settings.Scaling[channel], 0);
    if (!work || !engine || engine->HasError())
        return;
    const int slot = static_cast<int>(Settings.Files[channel].FileChannel);
    GiveFileCalibration(*file, slot, *engine);
    BeginLongOperation(plot.Caption());
    const SegmentProgress hooks = LongOperationHooks();
    SparseProgress progress(hooks);
    bool cancelled = false;
    for (int i = 0; i < lines; ++i) {
        const int line = plot.Line(i, lines);
        if (!ProcessRebuildLine(*file, slot, plan, i, *work, *engine, *Smoothing[channel]))
            break; // reported; the lines so far stay
        plot.Draw(line, engine.get(), nullptr, static_cast<float>(file->FramesToSeconds(plan.LineMiddle(i))));
        if ((cancelled = progress.Step(plot.Percent(i, lines), [&] { plot.Show(); })))
            break;
    }
    EndLongOperation();
    plot.Finish(cancelled);
    file->Seek(position);
}

void CMainFrame::RebuildCompositeSpectrogramFromSegment(int composite, float start, float end, bool activate)
{
    RebuildCompositeHistory(composite, start, end, activate, false);
}

void CMainFrame::RebuildCompositeSurfaceFromSegment(int composite, float start, float end, bool activate)
{
    RebuildCompositeHistory(composite, start, end, activate, true);
}

void CMainFrame::RebuildCompositeHistory(int composite, float start, float end, bool activate, bool surface)
{
    if (composite < 0 || composite >= kComposites)
        return;
    const CompositeChannelSettings& settings = Settings.Composite[composite];
    if (settings.bIsEnabled == 0 || !ValidateCompositeChannels(0))
        return;
    std::vector<CompositeMember> members;
    if (!GatherSegmentMembers(*this, composite, start, end, members))
        return;

    const HistoryTarget plot = OpenHistoryPlot(*this, composite, true, surface, activate);
    if (plot.Plot() == nullptr)
        return;
    const LinesLaidOut laidOut(plot);
    const int lines = plot.Lines();
    if (lines <= 0)
        return;
    // Every member's lines at the same times, planned by the composite's source channel.
    const CompositeMember& source = SourceMember(*this, composite, members);
    const SegmentRebuildPlan plan = PlanRebuild(*source.file, start, end, Settings.Processing[source.channel], lines);
    if (!plan.run)
        return;

    // The composite's engines of its own, built as the running composite's are.
    TCompositeProcessing engines(Settings, composite);
    engines.Rebuild(nullptr);
    SpectralData* result = engines.Get(TCompositeProcessing::kResult);
    SpectralData* coherence = engines.Get(TCompositeProcessing::kCoherence);
    if (result == nullptr || result->HasError())
        return;
    const bool sum = settings.CompositeType == 0 || settings.CompositeType == 5;
    TSampleBuffer* blocks[kChannels] = {};
    SpectralData* spectra[kChannels] = {};
    for (CompositeMember& m : members) {
        blocks[m.channel] = m.work.get();
        spectra[m.channel] = m.engine.get();
    }

    CWaitCursor wait;
    BeginLongOperation(plot.Caption());
    const SegmentProgress hooks = LongOperationHooks();
    SparseProgress progress(hooks);
    bool cancelled = false;
    for (int i = 0; i < lines; ++i) {
        const int line = plot.Line(i, lines);
        bool atEnd = false;
        bool read = true;
        // Each line from its own blocks only: every engine starts afresh.
        for (int e = 0; e < TCompositeProcessing::kEngines; ++e)
            if (SpectralData* engine = engines.Get(e))
                engine->ResetAverages();
        for (CompositeMember& m : members)
            m.engine->ResetAverages();
        DWORD frame = plan.FirstBlockOfLine(i);
        for (int k = 0; read && k < plan.blocksPerLine; ++k, frame += plan.hopFrames) {
            for (CompositeMember& m : members) {
                if (!(read = ProcessSegmentBlock(*m.file, m.slot, frame, *m.work, *m.engine, *m.window)))
                    break; // reported; the lines so far stay
                // The spectrogram stops at the end of the shortest file (this line is the last);
                // the other members still read this line's blocks, so that it sums one instant.
                if (!surface && plan.LineMiddle(i) + plan.step >= m.file->GetLength())
                    atEnd = true;
            }
            if (!read)
                break;
            if (sum)
                CombineMembers(*result, members, settings.CompositeType);
            else if (!ComputeTwoChannelComposite(composite, blocks, spectra, engines.Get(TCompositeProcessing::kReference),
                                                 engines.Get(TCompositeProcessing::kTransfer), result, coherence))
                read = false;
        }
        if (!read)
            break;
        plot.Draw(line, result, coherence, static_cast<float>(source.file->FramesToSeconds(plan.LineMiddle(i))));
        if ((cancelled = progress.Step(plot.Percent(i, lines), [&] { plot.Show(); })) || atEnd)
            break;
    }
    EndLongOperation();
    plot.Finish(cancelled);
    for (CompositeMember& m : members)
        m.file->Seek(m.position);
}

void CMainFrame::InverseFftToTimeSeries(int channel)
{
    if (channel < 0 || channel >= kChannels || Spectral[channel] == nullptr || Smoothing[channel] == nullptr ||
        SampleBuffer[channel] == nullptr)
        return;
    StopRunAndPlayback();
    InverseSpectrumToSamples(*Spectral[channel], *Smoothing[channel], *SampleBuffer[channel]);
    // A plot opened now binds itself to the file; the computed signal is what it shows.
    if (TimeSeriesPlot[channel] == nullptr)
        OpenTimeSeriesPlot(channel);
    else
        MDIActivate(TimeSeriesPlot[channel]);
    Settings.TimeSeriesOpts[channel].TimeSeriesDataSource = 1;
    if (TSeriesPlot* plot = TimeSeriesPlot[channel]) {
        plot->SaveView();
        plot->UpdateLayout();
    }
}

void CMainFrame::ComputeCepstrum(int channel)
{
    if (channel < 0 || channel >= kChannels || Spectral[channel] == nullptr || Smoothing[channel] == nullptr)
        return;
    if (AcquisitionRunning || PostProcessBusy)
        OnStop();
    ComputeSpectrumCepstrum(*Spectral[channel], *Smoothing[channel]);
    if (TSpectraPlot* plot = SpectrumPlot[channel]) {
        plot->SetTimeUnitsMsec(true);
        plot->Autoscale();
    }
}

void CMainFrame::ShowPeakQualityFactor(int channel, float lowHz, float highHz)
{
    if (channel < 0 || channel >= kChannels || Spectral[channel] == nullptr || Smoothing[channel] == nullptr)
        return;
    if (Settings.Scaling[channel].FreqScaleType == 2) {
        AfxMessageBox("You must use narrowband frequency scaling for this feature.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    // With peak hold on the user says which spectrum to measure; the choice is offered again.
    static BYTE fromPeakHold = 0;
    bool peak = false;
    if (Settings.SpectrumOpts[channel].PeakHold != 0) {
        TOverlaySourceSelectDialog dlg(this, &fromPeakHold);
        if (dlg.DoModal() != IDOK)
            return;
        peak = fromPeakHold == 1;
    }
    MessageBoxA(this, QualityFactorReport(*Spectral[channel], lowHz, highHz, peak), "Quality Factor", MB_OK);
}

void CMainFrame::ShowSegmentStatistics(int channel, float start, float end)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return;
    CWaitCursor wait;
    ChannelCalibration cal;
    std::memcpy(static_cast<void*>(&cal), &Settings.Calibration[channel], sizeof cal);
    const std::string text = SegmentRmsLevelReport(*Settings.Files[channel].File,
                                                   static_cast<int>(Settings.Files[channel].FileChannel), start, end, cal);
    wait.Restore();
    AfxMessageBox(text, MB_OK);
}

void CMainFrame::ShowCrestFactor(int channel, float start, float end)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return;
    CWaitCursor wait;
    const std::string text = SegmentCrestFactorReport(*Settings.Files[channel].File,
                                                      static_cast<int>(Settings.Files[channel].FileChannel), start, end);
    wait.Restore();
    AfxMessageBox(text, MB_OK);
}

namespace {

void ComputeSignal(CMainFrame& frame, SegmentSignal kind, int channel, float start, float end)
{
    if (channel < 0 || channel >= CMainFrame::kChannels)
        return;
    TWaveFile* file = frame.Settings.Files[channel].File.get();
    if (file == nullptr || frame.SampleBuffer[channel] == nullptr)
        return;
    CWaitCursor wait;
    const ChannelProcessingSettings& p = frame.Settings.Processing[channel];
    WORD& source = frame.Settings.TimeSeriesOpts[channel].TimeSeriesDataSource;
    if (source == 1) {
        // The plot already shows a computed signal: transform it again in place.
        ApplySegmentSignal(kind, *frame.SampleBuffer[channel], p.FFTsize);
    } else {
        const DWORD first = file->SecondsToFrames(std::max(start, 0.0f));
        const DWORD last = file->SecondsToFrames(std::max(end, 0.0f));
        if (last <= first)
            return;
        ChannelCalibration cal;
        std::memcpy(static_cast<void*>(&cal), &frame.Settings.Calibration[channel], sizeof cal);
        frame.BeginLongOperation(kind == SegmentSignal::Hilbert
                                     ? "Computing Hilbert Transform... press <Esc> to cancel."
                                     : "Computing Schroeder Integration... press <Esc> to cancel.");
        std::unique_ptr<TSampleBuffer> signal =
            ComputeSegmentSignal(kind, *file, static_cast<int>(frame.Settings.Files[channel].FileChannel), first, last,
                                 p, cal, frame.LongOperationHooks());
        frame.EndLongOperation();
        // Without memory for the new signal the channel keeps the buffer it had.
        if (!signal)
            return;
        // A plot opened now binds itself to the file, so it is opened before it gets the signal.
        if (frame.TimeSeriesPlot[channel] == nullptr)
            frame.OpenTimeSeriesPlot(channel);
        std::unique_ptr<TSampleBuffer> old = frame.SwapSampleBuffer(channel, std::move(signal));
        if (TSeriesPlot* plot = frame.TimeSeriesPlot[channel])
            plot->SetBuffer(frame.SampleBuffer[channel], 0);
        old.reset();
        source = 1;
    }
    if (frame.TimeSeriesPlot[channel] == nullptr)
        frame.OpenTimeSeriesPlot(channel);
    else
        frame.MDIActivate(frame.TimeSeriesPlot[channel]);
    if (TSeriesPlot* plot = frame.TimeSeriesPlot[channel]) {
        plot->SaveView();
        plot->UpdateLayout();
    }
}

} // namespace

void CMainFrame::ComputeHilbertTransform(int channel, float start, float end)
{
    ComputeSignal(*this, SegmentSignal::Hilbert, channel, start, end);
}

void CMainFrame::ComputeSchroederIntegration(int channel, float start, float end)
{
    ComputeSignal(*this, SegmentSignal::Schroeder, channel, start, end);
}

void CMainFrame::RunDtmfDetection(int channel, float start, float end)
{
    if (channel < 0 || channel >= kChannels || Settings.Files[channel].File == nullptr)
        return;
    CWaitCursor wait;
    ClampTimes(start, end);
    if (!(end - start > 0.0f))
        return;
    std::string keys;
    BeginLongOperation("Performing DTMF Analysis... press <Esc> to cancel.");
    const bool scanned = ScanDtmfKeys(*Settings.Files[channel].File, static_cast<int>(Settings.Files[channel].FileChannel),
                                      start, end, Settings.Processing[channel], Settings.Scaling[channel],
                                      LongOperationHooks(), keys);
    EndLongOperation();
    wait.Restore();
    if (scanned)
        AfxMessageBox(FormatDtmfMessage(keys), MB_OK);
}

void CMainFrame::ComputeCompositeSpectrumAtTime(int composite, float time)
{
    CompositeEngines engines{};
    if (!ComputableComposite(*this, composite, engines))
        return;
    std::vector<CompositeMember> members;
    if (!GatherMembers(*this, composite, members))
        return;
    // The block of the source channel centred on the time, at the same time in every member.
    const CompositeMember& ref = SourceMember(*this, composite, members);
    const int source = ref.channel;
    const float blockStart =
        std::max(time - static_cast<float>(ref.file->FramesToSeconds(ref.blockFrames / 2)), 0.0f);
    for (SpectralData* e : engines)
        if (e != nullptr)
            e->ResetAverages();
    RestoreCompositeAveraging(*this, engines, source);
    bool read = true;
    for (CompositeMember& m : members)
        if (!(read = ProcessSegmentBlock(*m.file, m.slot, m.file->SecondsToFrames(blockStart), *m.work, *m.engine,
                                         *m.window)))
            break;
    if (read)
        read = ComputeFromMembers(*this, composite, members, engines);
    if (!read) {
        for (CompositeMember& m : members)
            m.file->Seek(m.position);
        return;
    }
    ShowNewSpectrum(*this, composite, true);
    // As for a channel, the members' positions stay at the block's start, all in step.
    for (const CompositeMember& m : members)
        SetChannelFileTime(m.channel, blockStart);
    ToolbarUpdateState();
}

void CMainFrame::RebuildCompositeHistoriesOf(int channel)
{
    // A composite's history shows its members' samples: a member's edit is an edit of it.
    for (int c = 0; c < kComposites; ++c)
        if (IsChannelInComposite(channel, c)) {
            RebuildSpectrogram(c, true, false);
            RebuildSurface(c, true, false);
        }
}
