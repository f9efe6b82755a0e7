#include "app/CStatusbar.h"

#include "records/AppMessages.h"
#include "app/CMainFrame.h"
#include "acquisition/TUsbDevice.h"
#include "records/CommonRoutines.h"
#include "numerics/TSmoothing.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cstdio>
#include <string>

int CStatusbar::LastProgressPosition = 0;

BEGIN_MESSAGE_MAP(CStatusbar, CWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_MESSAGE(WM_STATUS_SHOWPROGRESS, &CStatusbar::OnShowProgressMsg)
    ON_MESSAGE(WM_STATUS_HIDEPROGRESS, &CStatusbar::OnHideProgressMsg)
    ON_MESSAGE(WM_STATUS_SETPROGRESS, &CStatusbar::OnSetProgressMsg)
END_MESSAGE_MAP()

namespace {
constexpr int kPaneTop = 3;
constexpr int kPaneBottom = 20;
constexpr int kMeterLeft = 596;
constexpr COLORREF kRed = RGB(255, 0, 0);

RECT Pane(int left, int right) { return RECT{left, kPaneTop, right, kPaneBottom}; }
} // namespace

CStatusbar::CStatusbar() = default;
CStatusbar::~CStatusbar() = default;

BOOL CStatusbar::Create(CWnd* pParentWnd)
{
    const RECT r{0, 0, 8000, kHeight};
    const BOOL created = CWnd::Create(nullptr, "Statusbar", WS_CHILD | WS_VISIBLE, r, pParentWnd, kWindowId);
    if (created && !progress_) {
        progress_ = std::make_unique<CProgressCtrl>();
        if (progress_->Create(WS_CHILD | WS_VISIBLE | PBS_SMOOTH, StatePane, this, kProgressId))
            progress_->SetRange32(0, 100);
        HideProgress();
    }
    return created;
}

CMainFrame* CStatusbar::Frame() const { return dynamic_cast<CMainFrame*>(GetParent()); }

// ---- Layout ---------------------------------------------------------------------------

void CStatusbar::RecalcLayout()
{
    StatePane = Pane(3, 123);
    ModePane = Pane(126, 226);
    RatePane = Pane(229, 299);
    BitsPane = Pane(302, 352);
    ChannelPane = Pane(355, 415);
    FftPane = Pane(418, 518);
    WindowPane = Pane(521, 593);

    ComputeMeterColumns();
    RECT client{};
    GetClientRect(&client);
    const int right = client.right - 3;
    const int n = MeterColumnCount;
    const int width = (right - kMeterLeft - (n - 1) * 3) / n;
    for (int c = 0; c < 4; ++c)
        MeterColumns[c] = RECT{};
    for (int c = 0; c < n; ++c) {
        const int left = kMeterLeft + c * (width + 3);
        MeterColumns[c] = RECT{left, kPaneTop, left + width, kPaneBottom};
    }
    std::fill(std::begin(PreviousLevels), std::end(PreviousLevels), 0);
}

void CStatusbar::ComputeMeterColumns()
{
    int highest = 0;
    if (CMainFrame* f = Frame()) {
        for (int ch = 0; ch < 8; ++ch) {
            const bool inUse = f->Settings.OpMode == 2 ? f->Settings.Files[ch].File != nullptr
                                                        : f->Settings.Device.Channels[ch].bIsEnabled == 1;
            if (inUse)
                highest = ch;
        }
    }
    MeterColumnCount = highest / 2 + 1;
}

void CStatusbar::PositionProgress()
{
    if (progress_ && IsWindow(progress_->GetSafeHwnd())) {
        progress_->MoveWindow(&StatePane, TRUE);
        progress_->Invalidate();
        progress_->UpdateWindow();
    }
}

// ---- Levels ---------------------------------------------------------------------------

void CStatusbar::UpdateLevels()
{
    std::copy(std::begin(Levels), std::end(Levels), std::begin(PreviousLevels));
    CMainFrame* f = Frame();
    for (int ch = 0; ch < 8; ++ch) {
        int level = 0;
        if (f) {
            const bool enabled = f->Settings.Device.Channels[ch].bIsEnabled == 1;
            if (f->Settings.OpMode != 2) {
                if (enabled)
                    level = DeviceLevel ? DeviceLevel(ch)
                            : f->InputDevice ? static_cast<int>(f->InputDevice->GetChannelLevel(ch))
                                             : 0;
            } else if (f->Settings.Files[ch].File && f->SampleBuffer[ch]) {
                level = static_cast<int>(f->SampleBuffer[ch]->GetPeakLevelPercent());
            }
            if (!f->IsRunning())
                level = 0;
            if (level >= 100)
                ++f->OverloadCount[ch];
        }
        Levels[ch] = level;
    }
}

// ---- Update and progress ----------------------------------------------------------------

void CStatusbar::Update(int mode)
{
    if (!IsWindow(GetSafeHwnd()))
        return;
    if (mode == 1) {
        COLORREF colour = 0;
        if (StateText(&colour) != m_paintedState || colour != m_paintedStateColour)
            InvalidateRect(&StatePane, FALSE);
    } else if (mode == 2) {
        RecalcLayout();
        UpdateLevels();
        Invalidate(FALSE);
    } else if (mode == 3) {
        UpdateLevels();
        for (int c = 0; c < MeterColumnCount; ++c)
            if (Levels[2 * c] != PreviousLevels[2 * c] || Levels[2 * c + 1] != PreviousLevels[2 * c + 1])
                InvalidateRect(&MeterColumns[c], FALSE);
    }
    UpdateWindow();
}

void CStatusbar::ShowProgress()
{
    if (progress_ && IsWindow(progress_->GetSafeHwnd())) {
        progress_->SetPos(0);
        progress_->ShowWindow(SW_RESTORE);
    }
}

void CStatusbar::SetProgress(int position)
{
    if (position < 0 || position >= 100 || !progress_ || position == LastProgressPosition ||
        !IsWindow(progress_->GetSafeHwnd()))
        return;
    progress_->SetPos(position);
    progress_->Invalidate();
    progress_->UpdateWindow();
    LastProgressPosition = position;
}

void CStatusbar::HideProgress()
{
    if (progress_ && IsWindow(progress_->GetSafeHwnd())) {
        progress_->SetPos(0);
        progress_->ShowWindow(SW_HIDE);
    }
}

LRESULT CStatusbar::OnShowProgressMsg(WPARAM, LPARAM)
{
    ShowProgress();
    return 1;
}

LRESULT CStatusbar::OnHideProgressMsg(WPARAM, LPARAM)
{
    HideProgress();
    return 1;
}

LRESULT CStatusbar::OnSetProgressMsg(WPARAM, LPARAM lParam)
{
    SetProgress(static_cast<int>(lParam));
    return 1;
}

void CStatusbar::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    RecalcLayout();
    PositionProgress();
    SetProgress(0);
    Update(2);
}

// ---- Texts ----------------------------------------------------------------------------

std::string CStatusbar::StateText(COLORREF* colour) const
{
    COLORREF c = RGB(0, 0, 0);
    std::string text;
    char buf[64];
    CMainFrame* f = Frame();
    if (!f) {
        text = "Stopped";
    } else if (!f->IsRunning()) {
        text = f->Playing ? "Playing..." : "Stopped";
    } else if (f->Settings.Trigger.TriggerEnabled) {
        c = kRed;
        if (f->PostTriggerCapture) {
            if (f->CapturePercent >= 10) {
                std::snprintf(buf, sizeof buf, "Acquiring FFT (%d%%)", f->CapturePercent);
                text = buf;
            } else {
                text = "Trigger Detected...";
            }
        } else {
            text = f->TriggerDetected ? "Trigger Detected..." : "Waiting For Trigger...";
        }
    } else if (f->FftsProcessed > 0) {
        text = f->Playing ? "Playing..." : f->Settings.OpMode == 1 ? "Recording..." : "Running...";
        // Channels the last step could not read while it read others, short enough for the pane.
        std::string skipped;
        for (int ch = 0; ch < CMainFrame::kChannels; ++ch)
            if (f->SkippedChannels & (1u << ch))
                skipped += (skipped.empty() ? "" : ",") + std::to_string(ch);
        if (!skipped.empty()) {
            text = "Skipped Ch " + skipped;
            c = kRed;
        }
        // Packets the device dropped leave gaps in the take: said while it runs.
        const long long lost = f->InputDevice != nullptr ? f->InputDevice->GetLostPackets() : 0;
        if (skipped.empty() && lost > 0 && !f->Playing) {
            std::snprintf(buf, sizeof buf, "%s - %lld lost", f->Settings.OpMode == 1 ? "Recording" : "Running", lost);
            text = buf;
            c = kRed;
        }
    } else if (f->Settings.RunControl.StartDelayFlag) {
        float remaining = f->Settings.RunControl.StartDelaySecs - (GetSecondsOfDay() - f->RunStartTime);
        if (remaining < 0.0f)
            remaining = f->Settings.RunControl.StartDelaySecs;
        std::snprintf(buf, sizeof buf, "Start Delay (%1.1f)...", remaining);
        text = buf;
    } else {
        const DWORD block = f->MinChannelBlock();
        const DWORD fill = RingFill                 ? RingFill()
                           : f->InputDevice ? static_cast<DWORD>(std::max(0, f->InputDevice->GetRingFill()))
                                            : 0;
        const int percent = block ? static_cast<int>(static_cast<unsigned long long>(fill) * 100 / block) : 0;
        std::snprintf(buf, sizeof buf, "Acquiring FFT (%d%%)", percent);
        text = buf;
    }
    if (colour)
        *colour = c;
    return text;
}

std::string CStatusbar::ModeText() const
{
    const CMainFrame* f = Frame();
    const int mode = f ? f->Settings.OpMode : 0;
    return mode == 1 ? "Recorder" : mode == 2 ? "Post Process" : "Real Time";
}

void CStatusbar::InfoTexts(std::string& rate, std::string& bits, std::string& channel, std::string& fft,
                           std::string& window) const
{
    rate.clear();
    bits.clear();
    channel.clear();
    fft.clear();
    window.clear();
    CMainFrame* f = Frame();
    if (!f)
        return;
    int kind = 0, ch = 0, composite = 0;
    const bool active = f->GetActivePlot(&kind, &ch, &composite);
    // The record behind the panes: an input channel's own; a composite's is the input record
    // of its index, or past the eight input records its source channel's.
    int record = ch;
    if (composite) {
        const int index = std::clamp(ch >= 16 ? ch - 8 : ch, 0, 15);
        record = index < 8 ? index : f->GetCompositeSource(index);
    }
    record = std::clamp(record, 0, 7);
    const ChannelProcessingSettings& p = f->Settings.Processing[record];

    char buf[64];
    const int mode = f->Settings.OpMode;
    if (mode == 2 && !active)
        return;
    DWORD sampleRate = 0, bitCount = 0;
    if (mode == 2) {
        sampleRate = p.SampleFormat.SampleRate;
        bitCount = p.SampleFormat.BytesPerSample * 8u;
    } else {
        sampleRate = f->Settings.Device.SamplingRate;
        bitCount = f->Settings.Device.BitsPerSample < 1 ? 16 : f->Settings.Device.BitsPerSample;
        if (mode == 1 && ch >= 0 && ch < 8 && f->Settings.Files[ch].File) {
            const TPcmFormat fmt = f->Settings.Files[ch].File->GetFormat();
            sampleRate = fmt.SampleRate;
            bitCount = fmt.BitsPerSample;
        }
    }
    std::snprintf(buf, sizeof buf, "%d Hz", static_cast<int>(sampleRate));
    rate = buf;
    std::snprintf(buf, sizeof buf, "%d Bit", static_cast<int>(bitCount));
    bits = buf;
    std::snprintf(buf, sizeof buf, "FFT %d pts", static_cast<int>(p.FFTsize));
    fft = buf;
    char name[64] = {};
    TSmoothing::GetTypeName(p.SmoothingWindow, name);
    window = name;
    if (active) {
        if (composite) {
            const int index = std::clamp(ch >= 16 ? ch - 8 : ch, 0, 15);
            std::snprintf(buf, sizeof buf, "Ch %c", GetChannelLetter(index));
        } else {
            std::snprintf(buf, sizeof buf, "Ch %d", ch);
        }
        channel = buf;
    }
}

// ---- Painting -------------------------------------------------------------------------

void CStatusbar::DrawPaneFrame(CDC& dc, const RECT& r)
{
    CPen light(PS_SOLID, 1, RGB(230, 230, 230));
    CPen dark(PS_SOLID, 1, RGB(140, 140, 140));
    CPen* old = dc.SelectObject(&light);
    dc.MoveTo(r.left, r.bottom);
    dc.LineTo(r.right, r.bottom);
    dc.LineTo(r.right, r.top - 1);
    dc.SelectObject(&dark);
    dc.MoveTo(r.right, r.top);
    dc.LineTo(r.left, r.top);
    dc.LineTo(r.left, r.bottom + 1);
    dc.SelectObject(old);
}

void CStatusbar::DrawMeterBar(CDC& dc, const RECT& column, int level, bool upper)
{
    const int W = column.right - column.left;
    const int H = (column.bottom - column.top - 6) / 2;
    const int x0 = column.left + 2;
    const int y0 = upper ? column.top + 2 : column.top + H + 4;
    if (W <= 4)
        return;
    int L = static_cast<int>(static_cast<long long>(W) * level / 100);
    L = std::clamp(L, 0, W - 1);
    if (level >= 100) {
        const RECT r{x0 + 1, y0, x0 + W - 2, y0 + H};
        dc.FillSolidRect(&r, kRed);
        return;
    }
    // One column of the first row at a time, copied down the bar's height.
    for (int x = 1; x < L; ++x) {
        const int r = x * 255 / W;
        COLORREF c = RGB(r, 255 - r / 3, 0);
        if (x >= 0.98 * W)
            c = kRed;
        if (x % 4 == 0)
            c = RGB(128, 128, 128);
        dc.FillSolidRect(x0 + x, y0, 1, H + 1, c);
    }
}

void CStatusbar::DrawMeters(CDC& dc)
{
    for (int c = 0; c < MeterColumnCount; ++c) {
        DrawMeterBar(dc, MeterColumns[c], Levels[2 * c], true);
        DrawMeterBar(dc, MeterColumns[c], Levels[2 * c + 1], false);
    }
}

void CStatusbar::OnPaint()
{
    CPaintDC dc(this);
    RECT client{};
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    CPen white(PS_SOLID, 1, RGB(255, 255, 255));
    CPen* oldPen = dc.SelectObject(&white);
    dc.MoveTo(0, 0);
    dc.LineTo(8000, 0);
    dc.SelectObject(oldPen);

    for (const RECT* r : {&StatePane, &ModePane, &RatePane, &BitsPane, &ChannelPane, &FftPane, &WindowPane})
        DrawPaneFrame(dc, *r);
    for (int c = 0; c < MeterColumnCount; ++c)
        DrawPaneFrame(dc, MeterColumns[c]);

    if (!m_font.GetSafeHandle())
        m_font.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* oldFont = dc.SelectObject(&m_font);
    dc.SetBkMode(TRANSPARENT);

    // Texts are laid out only where they are painted: a step's meters repaint their columns
    // alone. A text may run past its pane's right edge; where it last ended says whether a
    // partial repaint reaches it (the texts change only with a repaint of the whole bar).
    const CRect paint(dc.m_ps.rcPaint);
    COLORREF colour = 0;
    const std::string state = StateText(&colour);
    m_paintedState = state;
    m_paintedStateColour = colour;
    CRect meet;
    if (meet.IntersectRect(&paint, &StatePane)) {
        dc.SaveDC();
        dc.IntersectClipRect(&StatePane);
        dc.SetTextColor(colour);
        dc.TextOut(StatePane.left + 4, 4, state);
        dc.RestoreDC(-1);
    }
    dc.SetTextColor(RGB(0, 0, 0));

    const RECT* panes[6] = {&ModePane, &RatePane, &BitsPane, &ChannelPane, &FftPane, &WindowPane};
    bool reached[6] = {};
    for (int i = 0; i < 6; ++i) {
        const CRect reach(panes[i]->left, 0, std::max<int>(panes[i]->right, m_textRight[i]), kHeight);
        reached[i] = meet.IntersectRect(&paint, &reach) != FALSE;
    }
    if (std::find(std::begin(reached), std::end(reached), true) != std::end(reached)) {
        std::string texts[6];
        texts[0] = ModeText();
        InfoTexts(texts[1], texts[2], texts[3], texts[4], texts[5]);
        for (int i = 0; i < 6; ++i) {
            if (!reached[i])
                continue;
            dc.TextOut(panes[i]->left + 4, 4, texts[i]);
            m_textRight[i] = panes[i]->left + 4 + dc.GetTextExtent(texts[i]).cx;
        }
    }
    dc.SelectObject(oldFont);

    DrawMeters(dc);
}
