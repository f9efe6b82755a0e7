// The spectrum window's overlays: storing a trace into a slot file, the composite seventh
// slot, showing and hiding slots, reloading them after every layout, the overlay dialogs, and
// turning a curve into a polyline across a pane.
#include "plots/spectrum/TSpectraPlot.h"

#include "dsp/SpectralData.h"
#include "dsp/TOverlayData.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Controls.h"
#include "plots/TCompositeOverlayDialog.h"
#include "plots/TOverlayDialog.h"
#include "plots/TOverlaySourceSelectDialog.h"
#include "records/ChannelScalingSettings.h"
#include "records/CommonRoutines.h"
#include "records/PathSettings.h"
#include "records/SpectrumPlotSettings.h"

#include <new>

BYTE TSpectraPlot::s_storeSource = 0;

void TSpectraPlot::SetPaths(const PathSettings* paths, PathSettings* workingPaths)
{
    m_paths = paths;
    m_workingPaths = workingPaths;
}

bool TSpectraPlot::OverlayTraceValid(int trace) const
{
    return trace == 1 || (trace == 2 && m_paneMode == 2);
}

const CRect& TSpectraPlot::OverlayPane(int trace) const
{
    if (trace == 2)
        return m_paneB;
    return m_paneMode == 1 ? m_plotRect : m_paneA;
}

std::string TSpectraPlot::OverlaySlotPath(int trace, int slot) const
{
    // Without a temporary folder there are no slot files (never the current directory).
    if (m_tempFolder.empty())
        return {};
    return TOverlayDialog::SlotPath(m_tempFolder, m_channel, trace, slot);
}

const TOverlayData* TSpectraPlot::GetOverlay(int trace, int slot) const
{
    if ((trace != 1 && trace != 2) || slot < 0 || slot >= kOverlaySlots)
        return nullptr;
    return m_overlays[trace - 1][slot].get();
}

void TSpectraPlot::FreeOverlay(int trace, int slot)
{
    m_overlays[trace - 1][slot].reset();
    m_overlayPoints[trace - 1][slot] = {};
}

void TSpectraPlot::LoadOverlay(int trace, int slot)
{
    FreeOverlay(trace, slot);
    if (!m_settings || !m_scaling)
        return;
    const SpectrumOverlaySlot& s = m_settings->Overlays[slot];
    const BYTE logFlag = m_scaling->AmpScaleType == 2 ? 1 : 0;
    const std::string path = OverlaySlotPath(trace, slot);
    try {
        auto curve = std::make_unique<TOverlayData>(path.c_str(), m_scaling->FreqScaleType,
                                                    trace == 2 ? s.Offset2 : s.Offset1, 0, logFlag);
        BuildOverlayPoints(curve.get(), OverlayPane(trace), m_overlayPoints[trace - 1][slot]);
        m_overlays[trace - 1][slot] = std::move(curve);
    } catch (const std::bad_alloc&) {
        // Nothing is drawn for a curve that does not fit in memory.
        FreeOverlay(trace, slot);
    }
}

void TSpectraPlot::BuildOverlayPoints(const TOverlayData* overlay, const CRect& pane, std::vector<POINT>& points)
{
    const int W = pane.Width();
    if (!m_traceA || !overlay || !m_settings || !m_scaling || m_columns.empty() ||
        static_cast<int>(m_columns.size()) < W || W <= 0)
        return;
    // A curve that is empty or unreadable answers 0 everywhere; drawn, it would pass for a
    // reference at 0 dB.
    if (overlay->ErrorFlag() || overlay->GetEntryCount() == 0) {
        points.clear();
        return;
    }
    if (m_scaling->AmpScaleType == 0 && m_settings->PlotTop <= 0.0f)
        m_settings->PlotTop = 1.0f;
    HeightMap map;
    if (!MakeHeightMap(pane, map))
        return;
    // Built aside, so that the polyline stays as it was when the curve cannot be drawn; the
    // buffer is kept, since a band spectrum's trace comes this way on every block.
    std::vector<POINT>& out = m_curvePoints;
    out.clear();
    out.reserve(static_cast<size_t>(2 * W + 2));
    const int bottom = pane.bottom;
    const bool octave = m_scaling->FreqScaleType == 2;
    const bool steps = octave && !overlay->GetSplineOff() && (m_settings->PlotType == 1 || m_settings->PlotType == 2);
    int hPrev = 0;
    if (steps) {
        int prevBin = -1;
        for (int c = 0; c < W; ++c) {
            const Column& col = m_columns[static_cast<size_t>(c)];
            if (col.bin == prevBin && c != W - 1)
                continue;
            const float f = m_traceA->GetBinFrequency(static_cast<UINT>(std::max(col.bin, 0)));
            const int h = map(overlay->ValueAt(f));
            const int x = pane.left + c - 1;
            if (c == 0)
                out.push_back({x, bottom - h});
            else {
                out.push_back({x, bottom - hPrev});
                out.push_back({x, bottom - h});
            }
            hPrev = h;
            prevBin = col.bin;
        }
    } else {
        float fPrev = 0.0f;
        for (int c = 0; c < W; ++c) {
            const float f = m_columns[static_cast<size_t>(c)].frequency;
            const float v = octave ? overlay->ValueAt(f) : overlay->ValueOverBand(fPrev, f);
            const int h = map(v);
            const int x = pane.left + c - 1;
            // Each point carries the column to its left, as the live trace does.
            if (c == 0) {
                out.push_back({x, bottom - h});
                hPrev = h;
            }
            out.push_back({x, bottom - hPrev});
            hPrev = h;
            fPrev = f;
        }
    }
    points.assign(out.begin(), out.end());
}

void TSpectraPlot::DrawOverlays(CDC* dc, const CRect& pane, const RECT& update)
{
    if (!m_settings)
        return;
    const int trace = IsPaneB(pane) ? 2 : 1;
    for (int k = 0; k < kOverlaySlots; ++k) {
        const SpectrumOverlaySlot& s = m_settings->Overlays[k];
        if ((trace == 1 ? s.Show1 : s.Show2) && m_overlays[trace - 1][k])
            DrawPolyline(dc, pane, update, m_overlayPoints[trace - 1][k], s.Color, k);
    }
}

void TSpectraPlot::RepaintOverlayPane(int trace)
{
    if (!m_hWnd)
        return;
    const CRect pane = OverlayPane(trace);
    InvalidateRect(&pane, FALSE);
    UpdateWindow();
    CRect client;
    GetClientRect(&client);
    const CRect strip(m_plotRect.right + m_rightMargin / 4, m_plotRect.top, client.right, m_plotRect.bottom);
    InvalidateRect(&strip, TRUE);
}

void TSpectraPlot::StoreOverlay(int trace, int slot)
{
    if (!OverlayTraceValid(trace) || slot < 0 || slot >= kOverlaySlots - 1 || !m_settings)
        return;
    SpectralData* spectrum = trace == 1 ? m_traceA : m_traceB;
    if (!spectrum)
        return;
    m_overlayFolder = m_workingPaths ? m_workingPaths->ovl : "";
    if (!CheckFolderExists(m_overlayFolder.c_str()) || !CheckFolderExists(m_tempFolder.c_str()))
        return;
    if (m_settings->PeakHold == 0 || trace == 2) {
        s_storeSource = 0;
    } else {
        TOverlaySourceSelectDialog dialog(this, &s_storeSource);
        if (dialog.DoModal() != IDOK)
            return;
    }
    SpectrumOverlaySlot& s = m_settings->Overlays[slot];
    const std::string path = OverlaySlotPath(trace, slot);
    try {
        auto curve = std::make_unique<TOverlayData>(spectrum, trace == 2 ? s.Offset2 : s.Offset1, s_storeSource);
        // The slot keeps the name it was given in the overlay dialog.
        const TOverlayData previous(path.c_str(), 0, 0.0f, 1);
        const std::string name = previous.GetName();
        if (curve->ErrorFlag() || !curve->WriteFile(path.c_str(), name.c_str())) {
            if (!curve->ErrorReported())
                AfxMessageBox("Unable to write the overlay file " + path, MB_OK | MB_ICONSTOP);
            return;
        }
        m_overlays[trace - 1][slot] = std::move(curve);
    } catch (const std::bad_alloc&) {
        return;
    }
    CButton* box = (trace == 1 ? m_showA : m_showB)[slot].get();
    if (box && box->GetCheck() != BST_CHECKED) {
        box->SetCheck(BST_CHECKED);
        (trace == 1 ? s.Show1 : s.Show2) = 1;
    }
    ReloadOverlays();
    UpdateAutoOverlay(trace);
    const SpectrumOverlaySlot& composite = m_settings->Overlays[kOverlaySlots - 1];
    if (trace == 1 ? composite.Show1 : composite.Show2)
        ShowOverlay(trace, kOverlaySlots - 1);
    RepaintOverlayPane(trace);
}

void TSpectraPlot::StoreAutoOverlay(int trace)
{
    if (!OverlayTraceValid(trace) || !m_settings)
        return;
    OverlayCompositeSettings block = OverlayCompositeSettings::FromPlot(*m_settings, trace);
    TCompositeOverlayDialog dialog(this, &block);
    if (dialog.DoModal() != IDOK)
        return;
    block.ApplyTo(*m_settings, trace);
    UpdateAutoOverlay(trace);
    CButton* box = (trace == 1 ? m_showA : m_showB)[kOverlaySlots - 1].get();
    if (box && box->GetCheck() != BST_CHECKED) {
        box->SetCheck(BST_CHECKED);
        SpectrumOverlaySlot& s = m_settings->Overlays[kOverlaySlots - 1];
        (trace == 1 ? s.Show1 : s.Show2) = 1;
    }
    ShowOverlay(trace, kOverlaySlots - 1);
}

void TSpectraPlot::ShowOverlay(int trace, int slot)
{
    if (!OverlayTraceValid(trace) || slot < 0 || slot >= kOverlaySlots || !m_settings)
        return;
    CButton* box = (trace == 1 ? m_showA : m_showB)[slot].get();
    SpectrumOverlaySlot& s = m_settings->Overlays[slot];
    BYTE& shown = trace == 1 ? s.Show1 : s.Show2;
    if (!box || box->GetCheck() != BST_CHECKED) {
        shown = 0;
        FreeOverlay(trace, slot);
    } else {
        shown = 1;
        LoadOverlay(trace, slot);
    }
    if (slot == kOverlaySlots - 1)
        ReloadOverlays();
    RepaintOverlayPane(trace);
}

void TSpectraPlot::UpdateAutoOverlay(int trace)
{
    if (!OverlayTraceValid(trace) || !m_settings || !m_scaling)
        return;
    const SpectrumOverlaySlot& composite = m_settings->Overlays[kOverlaySlots - 1];
    if (!(trace == 1 ? composite.Show1 : composite.Show2))
        return;
    SpectralData* spectrum = trace == 1 ? m_traceA : m_traceB;
    if (!spectrum)
        return;
    try {
        std::unique_ptr<TOverlayData> sources[TOverlayData::kCompositeSources];
        const TOverlayData* pointers[TOverlayData::kCompositeSources] = {};
        const BYTE logFlag = m_scaling->AmpScaleType == 2 ? 1 : 0;
        for (int k = 0; k < TOverlayData::kCompositeSources; ++k) {
            const SpectrumOverlaySlot& s = m_settings->Overlays[k];
            sources[k] = std::make_unique<TOverlayData>(OverlaySlotPath(trace, k).c_str(), m_scaling->FreqScaleType,
                                                        trace == 2 ? s.Offset2 : s.Offset1, 0, logFlag);
            pointers[k] = sources[k].get();
        }
        TOverlayData result;
        result.BuildFromSpectrum(spectrum, pointers, OverlayCompositeSettings::FromPlot(*m_settings, trace));
        const std::string path = OverlaySlotPath(trace, kOverlaySlots - 1);
        const TOverlayData previous(path.c_str(), 0, 0.0f, 1);
        const std::string name = previous.GetName();
        // Runs on every layout: a folder that cannot be written was reported by the store.
        result.WriteFile(path.c_str(), name.c_str());
    } catch (const std::bad_alloc&) {
    }
}

void TSpectraPlot::ReloadOverlays()
{
    if (m_creatingControls || !m_settings)
        return;
    // The composite file first, so that the seventh slot shows what its sources hold now.
    UpdateAutoOverlay(1);
    if (m_paneMode == 2)
        UpdateAutoOverlay(2);
    for (int k = 0; k < kOverlaySlots; ++k) {
        FreeOverlay(1, k);
        if (m_settings->Overlays[k].Show1)
            LoadOverlay(1, k);
        FreeOverlay(2, k);
        if (m_paneMode == 2 && m_settings->Overlays[k].Show2)
            LoadOverlay(2, k);
    }
    // The strip belongs to the screen; a printed page does not move the controls.
    if (!m_printing)
        LayoutOverlayControls();
}

void TSpectraPlot::OnStoreOverlay(UINT id)
{
    const int trace = id >= 1211 ? 2 : 1;
    const int slot = static_cast<int>(id) - (trace == 2 ? 1211 : 1201);
    if (slot == kOverlaySlots - 1)
        StoreAutoOverlay(trace);
    else
        StoreOverlay(trace, slot);
}

void TSpectraPlot::OnShowOverlay(UINT id)
{
    const int trace = id >= 1231 ? 2 : 1;
    ShowOverlay(trace, static_cast<int>(id) - (trace == 2 ? 1231 : 1221));
}

void TSpectraPlot::OnOverlayDialog(UINT id)
{
    const int trace = id == 1401 ? 2 : 1;
    if (!OverlayTraceValid(trace) || !m_settings || !m_scaling)
        return;
    SpectrumPlotSettings copy = *m_settings;
    TOverlayDialog dialog(this, &copy, m_workingPaths, m_tempFolder, m_channel, m_scaling->FreqScaleType, trace);
    if (dialog.DoModal() != IDOK)
        return;
    *m_settings = copy;
    m_rightMargin = RightMargin();
    UpdateLayout();
    ReloadOverlays();
    Invalidate();
    UpdateWindow();
}
