#include "utilities/TReverb.h"

#include "plots/PlotTextClipboard.h"
#include "plots/TLimitScroll.h"
#include "records/AppMessages.h"
#include "records/PathSettings.h"
#include "records/PrintSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "utilities/CReverbOptionsDialog.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

BEGIN_MESSAGE_MAP(TReverb, TLiveTestWindow)
    ON_BN_CLICKED(kStart, &TReverb::OnStart)
    ON_BN_CLICKED(kReverbTimes, &TReverb::OnReverbTimes)
    ON_BN_CLICKED(kDecayPlot, &TReverb::OnDecayPlot)
    ON_BN_CLICKED(kSurface, &TReverb::OnSurface)
    ON_BN_CLICKED(kLoad, &TReverb::OnLoad)
    ON_BN_CLICKED(kSave, &TReverb::OnSave)
    ON_BN_CLICKED(kPrint, &TReverb::OnPrintButton)
    ON_BN_CLICKED(kOptions, &TReverb::OnOptions)
    ON_CBN_SELCHANGE(kSelection, &TReverb::OnSelectionChanged)
    ON_CBN_SELCHANGE(kExtent, &TReverb::OnExtentChanged)
    ON_EN_CHANGE(kOffsetEdit, &TReverb::OnStartOffsetEdited)
    ON_COMMAND(kCopyText, &TReverb::OnCopyTextCommand)
    ON_COMMAND(kCopyBitmap, &TReverb::OnCopyBitmapCommand)
    ON_COMMAND(kProperties, &TReverb::OnOptions)
    ON_COMMAND(kPropertiesCommand, &TReverb::OnOptions)
    ON_COMMAND(kHelpMenu, &TReverb::OnHelp)
    ON_COMMAND(kHelpCommand, &TReverb::OnHelp)
    ON_COMMAND(kClearOffset, &TReverb::OnClearOffset)
    ON_WM_SIZE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_RBUTTONDOWN()
    ON_WM_VSCROLL()
END_MESSAGE_MAP()

namespace {

constexpr const char* kTitle = "Reverberation Time (RT-60)";
// The extent list holds tenths of a second up to this many seconds: a file whose decay lasts a
// day would otherwise fill it with 864,000 entries.
constexpr int kExtentListSeconds = 100;

std::string PrintfInt(const char* format, int value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

TReverb::TReverb() : TLiveTestWindow(WM_REVERB_REQUEST, kReverbStopActivity, kReverbDeviceStopped) {}

TReverb::~TReverb() { EndTestOnClose(); }

BOOL TReverb::CreateReverbWindow(DWORD style, const RECT& rect, CWnd* frame, const ReverbLinks* links)
{
    if (links)
        m_links = *links;
    if (!m_links.settings)
        m_links.settings = &m_ownSettings;
    if (!m_links.frame)
        m_links.frame = frame;
    m_analysis = std::make_unique<ReverbAnalysis>(m_links.settings);
    m_analysis->progress = [this](int percent, const char* text) { SetProgress(percent, text); };

    m_toolStripHeight = 38;
    m_topMargin = 58;
    m_bottomMargin = 30;
    m_leftMargin = 60;
    m_rightMargin = 80;
    m_paneGap = 20;
    m_paneMode = 1;
    m_xBoxWidth = 78;
    m_yBoxWidth = 58;
    ReverbAnalysis& a = *m_analysis;
    a.fftSize = 8192;
    a.overlap = 95;
    a.maxDecayTime = Settings().MaxDecayTime;
    SetTestTiming();
    a.AllocateRecords();
    m_initialising = 1;
    if (!CreateUtilityWindow(kTitle, style, rect, frame))
        return FALSE;
    CreateControls();
    return TRUE;
}

COLORREF TReverb::PlotBackgroundColor() const
{
    return m_printing ? RGB(255, 255, 255) : Settings().BackgroundColor;
}

// ---- Controls and layout ------------------------------------------------------------------

void TReverb::CreateControls()
{
    m_fontHeight = 14;
    m_font.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
    static const char* const names[8] = {"Start", "Reverb Times", "Decay Plot", "3-D Surface",
                                         "Load...", "Save...",      "Print...",   "Options..."};
    static const UINT ids[8] = {kStart, kReverbTimes, kDecayPlot, kSurface, kLoad, kSave, kPrint, kOptions};
    for (int i = 0; i < 8; ++i) {
        m_buttons[i] = std::make_unique<CButton>();
        m_buttons[i]->Create(names[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 0, 86, 30), this, ids[i]);
        m_buttons[i]->SetFont(&m_font);
    }
    CreateProgress(CRect(364, 20, 574, 34), kProgress);
    m_extent = std::make_unique<CComboBox>();
    m_extent->Create(WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, CRect(364, 8, 464, 508), this, kExtent);
    m_extent->SetFont(&m_font);
    m_selection = std::make_unique<CComboBox>();
    m_selection->Create(WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, CRect(468, 8, 568, 508), this, kSelection);
    m_selection->SetFont(&m_font);
    m_offsetEdit = std::make_unique<CEdit>();
    m_offsetEdit->Create(WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, CRect(640, 9, 683, 29), this, kOffsetEdit);
    m_offsetEdit->SetFont(&m_font);
    m_spin = std::make_unique<TLimitScroll>(this, kOffsetSpin, CRect(685, 9, 697, 29), m_offsetEdit.get(), 1000.0f,
                                            0.0f, 1.0f);
    m_spin->SetStep(1.0f, 0);
    m_spin->SetPrecision(0);
    SetStartOffset(Settings().StartOffset);
    HideProgress();
    m_initialising = 0;
    LayoutControls();
    UpdateLayout();
}

CButton* TReverb::GetButton(UINT id) const
{
    static const UINT ids[8] = {kStart, kReverbTimes, kDecayPlot, kSurface, kLoad, kSave, kPrint, kOptions};
    for (int i = 0; i < 8; ++i)
        if (ids[i] == id)
            return m_buttons[i].get();
    return nullptr;
}

void TReverb::LayoutControls()
{
    if (m_initialising || !m_buttons[0])
        return;
    for (int i = 0; i < 4; ++i)
        m_buttons[i]->MoveWindow(4 + 90 * i, 4, 86, 30);
    m_extent->MoveWindow(364, 8, 100, 500);
    m_selection->MoveWindow(468, 8, 100, 500);
    m_offsetEdit->MoveWindow(640, 9, 43, 20);
    m_spin->MoveWindow(685, 9, 12, 20);
    for (int k = 0; k < 4; ++k)
        m_buttons[4 + k]->MoveWindow(m_plotRect.right + 6, m_plotRect.top + 4 + 28 * k, m_rightMargin - 12, 24);
}

void TReverb::UpdateLayout()
{
    if (m_initialising || !m_analysis)
        return;
    const bool data = m_analysis->viewMode != 0;
    for (UINT id : {kReverbTimes, kDecayPlot, kSurface, kSave, kPrint})
        if (CButton* b = GetButton(id))
            b->EnableWindow(data && !IsRunning());
    for (UINT id : {kStart, kLoad, kOptions})
        if (CButton* b = GetButton(id))
            b->EnableWindow(!IsRunning());
    m_bottomMargin = m_analysis->viewMode == 1 ? 45 : 30;
    SetReadoutFormats();
    TPlotBase::UpdateLayout();
    SetPaneMode(1);
    RecalcLayout();
    LayoutControls();
    UpdateControls();
    Invalidate();
    const std::string title =
        m_analysis->fileName.empty() ? std::string(kTitle) : std::string(kTitle) + " - " + m_analysis->fileName;
    if (GetWindowTextString() != title)
        SetWindowText(title.c_str());
}

void TReverb::SelectExtentEntry()
{
    const float tenths = Settings().TimeExtent * 10.0f + 0.05f;
    if (!(tenths >= 0.0f && tenths < 10.0f * kExtentListSeconds))
        return;
    const auto wanted = static_cast<DWORD_PTR>(tenths);
    for (int i = 0; i < m_extent->GetCount(); ++i)
        if (m_extent->GetItemData(i) == wanted)
            m_extent->SetCurSel(i);
}

void TReverb::UpdateControls()
{
    if (!m_extent)
        return;
    const ReverbAnalysis& a = *m_analysis;
    if (a.running) {
        m_extent->ShowWindow(SW_HIDE);
        m_selection->ShowWindow(SW_HIDE);
        m_offsetEdit->ShowWindow(SW_HIDE);
        m_spin->ShowWindow(SW_HIDE);
        return;
    }
    m_extent->ResetContent();
    // The list reaches the extent in use too: a segment's analysis sets it a second past the
    // segment's length, a file's to its longest decay.
    const float listed = std::max(a.maxDecayTime + 1.0f, Settings().TimeExtent + 0.1f);
    for (int s = 0; static_cast<float>(s) < listed && s < kExtentListSeconds; ++s) {
        for (int d = 0; d <= 9; ++d) {
            const int v = 10 * s + d;
            if (v <= 0)
                continue;
            char text[32];
            std::snprintf(text, sizeof text, "%d.%d seconds", s, d);
            m_extent->SetItemData(m_extent->AddString(text), static_cast<DWORD_PTR>(v));
        }
    }
    SelectExtentEntry();
    const DWORD view = a.viewMode;
    const int show = view == 0 ? SW_HIDE : SW_SHOW;
    m_extent->ShowWindow(show);
    m_offsetEdit->ShowWindow(show);
    m_spin->ShowWindow(show);
    m_selection->ShowWindow(view == 1 || view == 2 ? SW_SHOW : SW_HIDE);
    m_selection->ResetContent();
    if (view == 1) {
        for (int k = 1; k <= 6; ++k)
            m_selection->AddString(PrintfInt("RT-%d", 10 * k).c_str());
        m_selection->SetCurSel(static_cast<int>(std::min<DWORD>(Settings().RtChoice, 5)));
    } else if (view == 2) {
        for (int b = 0; b < a.bandCount; ++b) {
            if (b == a.bandCount - 1)
                m_selection->AddString("Wideband");
            else
                m_selection->AddString(PrintfInt("%d Hz", WholeHz(a.results[b].Frequency)).c_str());
        }
        m_selection->SetCurSel(static_cast<int>(Settings().SelectedBand));
    }
}

void TReverb::OnSize(UINT nType, int cx, int cy)
{
    TPlotBase::OnSize(nType, cx, cy);
    if (!m_initialising)
        UpdateLayout();
}

// ---- Commands -----------------------------------------------------------------------------

void TReverb::OnReverbTimes()
{
    if (m_analysis->viewMode == 0)
        return;
    m_analysis->viewMode = 1;
    UpdateLayout();
}

void TReverb::OnDecayPlot()
{
    if (m_analysis->viewMode == 0)
        return;
    m_analysis->viewMode = 2;
    UpdateLayout();
}

void TReverb::OnSurface()
{
    if (m_analysis->viewMode == 0)
        return;
    m_analysis->viewMode = 3;
    UpdateLayout();
}

void TReverb::OnSelectionChanged()
{
    const int sel = m_selection->GetCurSel();
    if (sel < 0)
        return;
    if (m_analysis->viewMode == 1)
        Settings().RtChoice = static_cast<DWORD>(std::min(sel, 5));
    else if (m_analysis->viewMode == 2)
        Settings().SelectedBand = static_cast<DWORD>(sel);
    UpdateLayout();
}

void TReverb::OnExtentChanged()
{
    const int sel = m_extent->GetCurSel();
    if (sel < 0)
        return;
    Settings().TimeExtent = static_cast<float>(m_extent->GetItemData(sel)) / 10.0f;
    UpdateLayout();
}

void TReverb::SetStartOffset(int milliseconds)
{
    if (milliseconds < 0 || milliseconds > 1000)
        milliseconds = 0;
    Settings().StartOffset = milliseconds;
    if (m_offsetEdit)
        m_offsetEdit->SetWindowText(PrintfInt("%d", milliseconds).c_str());
    if (m_spin && m_analysis->recordCount >= 2)
        m_spin->SetStep(std::max(m_analysis->RecordSpacing() * 1000.0f, 1.0f), 0);
}

void TReverb::OnStartOffsetEdited()
{
    if (m_initialising)
        return;
    char text[81] = {};
    m_offsetEdit->GetWindowText(text, sizeof text);
    long value = std::strtol(text, nullptr, 10);
    if (value < 0 || value > 1000)
        value = 0;
    Settings().StartOffset = static_cast<INT>(value);
    ReverbAnalysis& a = *m_analysis;
    a.cutoffHint = 0;
    if (!a.running) {
        a.SmoothDecay();
        a.ComputeDecayTimes();
        a.MarkDataPresent();
    }
    UpdateLayout();
}

void TReverb::OnClearOffset()
{
    SetStartOffset(0);
    OnOptions();
}

void TReverb::OnOptions()
{
    if (IsRunning())
        return;
    ReverbSettings copy = Settings();
    CReverbOptionsDialog dialog(this, &copy, m_links);
    if (dialog.DoModal() != IDOK)
        return;
    Settings() = copy;
    SetStartOffset(copy.StartOffset);
    UpdateLayout();
}

void TReverb::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    if (!m_spin || pScrollBar != m_spin.get())
        return;
    if (nSBCode == SB_LINEUP)
        m_spin->StepUp();
    else if (nSBCode == SB_LINEDOWN)
        m_spin->StepDown();
}

// ---- Saving, closing ----------------------------------------------------------------------

bool TReverb::QuerySave()
{
    ReverbAnalysis& a = *m_analysis;
    return AskToSaveResults("Reverberation Data has changed.  Do you want to save it?", a.modified,
                            Settings().PromptToSave != 0, a.fileName, [this] { OnSave(); });
}

bool TReverb::SaveReverbFile(const std::string& name)
{
    if (m_analysis->records.empty() || name.empty())
        return false;
    const std::string folder = m_links.paths ? m_links.paths->rvb : "";
    const bool ok = m_analysis->SaveFile(ReverbAnalysis::ReverbFilePath(name, folder));
    UpdateLayout();
    return ok;
}

bool TReverb::LoadReverbFile(const std::string& name)
{
    const std::string folder = m_links.paths ? m_links.paths->rvb : "";
    ReverbAnalysis& a = *m_analysis;
    const bool ok = a.LoadFile(ReverbAnalysis::ReverbFilePath(name, folder));
    if (ok) {
        SelectExtentEntry();
        SetStartOffset(Settings().StartOffset);
    }
    UpdateLayout();
    return ok;
}

namespace {

// Remembers the folder of a chosen file as the frame's result-file folder.
void RememberFolder(PathSettings* paths, const std::string& file)
{
    if (!paths)
        return;
    const std::string folder = std::filesystem::path(file).parent_path().string();
    CopyField(paths->rvb, folder.c_str());
}

} // namespace

void TReverb::OnLoad()
{
    if (IsRunning())
        return;
    if (m_analysis->modified && !QuerySave())
        return;
    m_analysis->cancel = 0;
    CFileDialog dialog(TRUE, "rvb", "*.rvb", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                       "Reverb Files (*.rvb)|*.rvb||", this);
    dialog.m_ofn.lpstrTitle = "Open Reverb File";
    const std::string initial = m_links.workingPaths ? m_links.workingPaths->rvb : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    RememberFolder(m_links.workingPaths, path);
    LoadReverbFile(path);
}

void TReverb::OnSave()
{
    if (m_analysis->records.empty() || m_analysis->recordCount <= 0)
        return;
    CFileDialog dialog(FALSE, "rvb", "*.rvb", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT,
                       "Reverb Files (*.rvb)|*.rvb||", this);
    dialog.m_ofn.lpstrTitle = "Save Reverb File";
    const std::string initial = m_links.workingPaths ? m_links.workingPaths->rvb : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    RememberFolder(m_links.workingPaths, path);
    SaveReverbFile(path);
}

// ---- Clipboard ----------------------------------------------------------------------------

void TReverb::CopyAsText()
{
    const ReverbAnalysis& a = *m_analysis;
    if (a.records.empty() || a.viewMode == 0)
        return;
    CopyPlotTextToClipboard(this, a.ViewText(a.viewMode), nullptr,
                            "Reverb Clipboard error - insufficient memory available", MB_OK);
}

void TReverb::CopyAsBitmap() { CopyPlotBitmapToClipboard(this, m_toolStripHeight); }

// ---- Mouse and keys -----------------------------------------------------------------------

float TReverb::ReverbXValueAt(int x, int) const
{
    const ReverbAnalysis& a = *m_analysis;
    const int W = m_plotRect.Width();
    const float E = Settings().TimeExtent;
    if (a.viewMode == 1) {
        if (a.bandCount <= 0)
            return 0.0f;
        const int pitch = W / a.bandCount;
        if (pitch < 1)
            return 0.0f;
        const int b = std::clamp((x - m_plotRect.left) / pitch, 0, a.bandCount - 1);
        return b == a.bandCount - 1 ? 0.0f : a.results[b].Frequency;
    }
    if (a.viewMode == 2 && E > 0.0f && W > 0)
        return static_cast<float>(x - m_plotRect.left) / (static_cast<float>(W) / E);
    return 0.0f;
}

float TReverb::ReverbYValueAt(int, int y) const
{
    const ReverbAnalysis& a = *m_analysis;
    const int H = m_plotRect.Height();
    const float E = Settings().TimeExtent;
    if (a.viewMode == 1 && E > 0.0f && H > 0)
        return static_cast<float>(m_plotRect.bottom - y) / (static_cast<float>(H) / E);
    if (a.viewMode == 2 && H > 0) {
        const float range = Settings().PlotRange;
        return Settings().PlotTop - range + static_cast<float>(m_plotRect.bottom - y) / (static_cast<float>(H) / range);
    }
    return 0.0f;
}

double TReverb::PixelToXValue(int x, int y) { return ReverbXValueAt(x, y); }

double TReverb::PixelToYValue(int x, int y) { return ReverbYValueAt(x, y); }

void TReverb::SetReadoutFormats()
{
    const DWORD view = m_analysis->viewMode;
    const char* xUnit = view == 2 ? " sec" : " Hz";
    const char* yUnit = view == 1 ? " sec" : view == 2 ? " dB" : " Sec";
    m_xFormat = view == 2 ? 3 : 2;
    m_yFormat = 2;
    std::snprintf(m_xUnit, sizeof m_xUnit, "%s", xUnit);
    std::snprintf(m_yUnit, sizeof m_yUnit, "%s", yUnit);
}

void TReverb::OnLButtonDown(UINT nFlags, CPoint point)
{
    if (IsRunning() || !HasCursor())
        return;
    // Harmonic and sideband marks mean nothing on these axes; Ctrl still measures a difference.
    TPlotBase::OnLButtonDown(nFlags & ~static_cast<UINT>(MK_SHIFT), point);
}

void TReverb::OnLButtonUp(UINT nFlags, CPoint point)
{
    // A cursor already on screen is always taken away, whatever the view has become.
    if (HasCursor() || IsTracking())
        TPlotBase::OnLButtonUp(nFlags, point);
}

void TReverb::HandleMouseMove(UINT flags, CPoint point)
{
    if (HasCursor() || IsTracking())
        TPlotBase::HandleMouseMove(flags, point);
}

void TReverb::TrackCursorMenu(CPoint point)
{
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kCopyCursorValues, "Copy measurement cursor Values to clipboard");
    menu.AppendMenu(MF_STRING, kCopyCursorBitmap, "Copy to clipboard as Bitmap");
    CPoint screen = point;
    ClientToScreen(&screen);
    const auto chosen = static_cast<UINT>(menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD |
                                                                   TPM_NONOTIFY,
                                                               screen.x, screen.y, this));
    if (chosen == kCopyCursorValues)
        CopyCursorValuesToClipboard(this, "Freq", GetXReadoutValue(), "Amp", GetYReadoutValue());
    else if (chosen == kCopyCursorBitmap)
        CopyAsBitmap();
}

void TReverb::OnLButtonDblClk(UINT, CPoint point)
{
    ReverbAnalysis& a = *m_analysis;
    if (a.running)
        return;
    if (!m_plotRect.PtInRect(point)) {
        OnOptions();
        return;
    }
    const int W = m_plotRect.Width();
    if (a.bandCount <= 0)
        return;
    int band = -1;
    if (a.viewMode == 1) {
        const int pitch = W / a.bandCount;
        if (pitch < 1)
            return;
        band = (point.x - m_plotRect.left) / pitch;
    } else if (a.viewMode == 3) {
        const float pitch = 0.8f * static_cast<float>(W) / static_cast<float>(a.bandCount);
        if (pitch <= 0.0f)
            return;
        band = static_cast<int>(static_cast<float>(point.x - m_plotRect.left) / pitch + 0.5f);
    } else {
        return;
    }
    Settings().SelectedBand = static_cast<DWORD>(std::clamp(band, 0, a.bandCount - 1));
    a.viewMode = 2;
    UpdateLayout();
}

void TReverb::OnRButtonDown(UINT, CPoint point)
{
    if (!m_plotRect.PtInRect(point) || IsRunning())
        return;
    if (IsTracking() && !IsSelectionMode()) {
        TrackCursorMenu(point);
        OnLButtonUp(0, point);
        return;
    }
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kCopyText, "Copy as &Text");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy As &Bitmap");
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    if (m_analysis->viewMode == 2)
        menu.AppendMenu(MF_STRING, kSetOffset, "Set Decay Start Time Offset");
    if (Settings().StartOffset > 0)
        menu.AppendMenu(MF_STRING, kClearOffset, "Clear Decay Start Time Offset");
    menu.AppendMenu(MF_STRING, kProperties, "&Properties");
    menu.AppendMenu(MF_STRING, kHelpMenu, "&Help");
    CPoint screen = point;
    ClientToScreen(&screen);
    const UINT chosen = static_cast<UINT>(menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD |
                                                                  TPM_NONOTIFY,
                                                              screen.x, screen.y, this));
    if (chosen == kSetOffset) {
        // The curve starts at the current offset, so the clicked point lies that much further on.
        const float seconds = ReverbXValueAt(point.x, point.y);
        SetStartOffset(Settings().StartOffset + static_cast<int>(seconds * 1000.0f));
    } else if (chosen != 0) {
        SendMessage(WM_COMMAND, chosen, 0);
    }
}

// ---- Printing -----------------------------------------------------------------------------

void TReverb::OnPrintButton()
{
    if (m_links.frame)
        m_links.frame->SendMessage(WM_REVERB_REQUEST, kReverbPrint, 1);
}

void TReverb::PrintMethodLines(CDC* dc, const PrintSettings& settings)
{
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    CFont font;
    font.CreateFont(-(dpiY * 9 / 72), 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* old = dc->SelectObject(&font);
    static const char* const rt[3] = {"RT 10", "RT 20", "RT 30"};
    static const char* const sm[3] = {"None", "Averaging", "Schroeder"};
    const int x = static_cast<int>(settings.MarginLeft * dpiX);
    const int y = static_cast<int>(settings.MarginTop * dpiY) + dpiY * 9 / 72 * 3 / 2 * 2;
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->TextOut(x, y, std::string("Extrapolation Method: ") + rt[std::min<DWORD>(Settings().ExtrapolationMethod, 2)]);
    dc->TextOut(x, y + dpiY * 9 / 72 * 3 / 2,
                std::string("Smoothing Method: ") + sm[std::min<DWORD>(Settings().SmoothingMethod, 2)]);
    dc->SelectObject(old);
}

void TReverb::PrintPlot(CDC* dc, const PrintSettings* settings, bool, WORD)
{
    if (!dc)
        return;
    const PrintSettings margins = settings ? *settings : PrintSettings();
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int pageW = dc->GetDeviceCaps(HORZRES), pageH = dc->GetDeviceCaps(VERTRES);
    // Room for axis labels inside the margins, below the header band.
    const CRect page(static_cast<int>(dpiX * margins.MarginLeft) + dpiX * 3 / 4,
                     static_cast<int>(dpiY * margins.MarginTop) + dpiY * 3 / 2,
                     pageW - static_cast<int>(dpiX * margins.MarginRight) - dpiX / 2,
                     pageH - static_cast<int>(dpiY * margins.MarginBottom) - dpiY * 3 / 4);
    if (page.IsRectEmpty())
        return;
    const CRect saved = m_plotRect;
    const int savedFontHeight = m_fontHeight;
    m_printing = 1;
    m_plotRect = page;
    m_fontHeight = std::max(dpiY / 8, 1);
    CFont printFont;
    printFont.CreateFont(-m_fontHeight, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* old = dc->SelectObject(&printFont);
    DrawPaneFrame(dc, page, 0);
    DrawPlot(dc, true, page);
    dc->SelectObject(old);
    m_plotRect = saved;
    m_fontHeight = savedFontHeight;
    m_printing = 0;
    UpdateLayout();
}
