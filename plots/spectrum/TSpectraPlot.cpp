// The spectrum window: creation, controls, layout, the per-block update, commands, the pop-up
// menus, zoom and scrolling, text export and autoscale. Drawing and the pixel geometry are in
// TSpectraPlotDrawing.cpp.
#include "plots/spectrum/TSpectraPlot.h"

#include "records/AppMessages.h"
#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/MarkerSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "dsp/SpectralData.h"
#include "dsp/TOverlayData.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "plots/CToolBtn.h"
#include "plots/PlotTextClipboard.h"
#include "plots/TLimitScroll.h"
#include "plots/TMarkerOptionsDialog.h"
#include "plots/TOverlaySourceSelectDialog.h"
#include "records/PathSettings.h"
#include "res/resource.h"
#include "plots/CDataView.h"
#include "plots/LevelScaleFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {
enum : UINT {
    kZoomIn = 401,
    kZoomFull = 402,
    kZoom2xIn = 403,
    kZoom2xOut = 404,
    kOptions = 420,
    kPlotTopEdit = 450,
    kPlotTopSpin = 451,
    kPlotRangeEdit = 452,
    kPlotRangeSpin = 453,
    kLine = 471,
    kBar = 472,
    kStepBar = 473,
    kAutoscale = 480,
    kAuxEdit = 490,
    kPeakHold = 510,
    kMarkerOptions = 511,
    kCepstrum = 801,
    kCopyText = 802,
    kInverseFft = 803,
    kViewData = 804,
    kSetMarker1 = 811,
    kSetMarker6 = 816,
    kClearSpectrum = 818,
    kClearPeakHold = 819,
    kAutoscaleMenu = 820,
    kQualityFactor = 821,
    kSetMarker7 = 822,
    kSetMarker8 = 823,
    kSmoothNone = 830,
    kSmooth15 = 837,
    kClearMarker1 = 851,
    kClearMarker8 = 858,
    kClearMarkerAll = 859,
    kMarkerOptionsMenu = 860,
    kPullCursor = 870,
    kStoreA = 1201,
    kShowA = 1221,
    kStoreB = 1211,
    kShowB = 1231,
    kOverlayDialogA = 1400,
    kOverlayDialogB = 1401,
    kToolbarToggle = 1410,
    kMeterToggle = 1411,
    kOverlayToggle = 1412,
    kProperties = 1500,
    kHelp = 1501,
    kCopyBitmap = 1502,
    kCopyCursor = 1503,
    kWriteText = 1520,
};

constexpr const char* kSmoothMessage =
    "This feature requires narrowband frequency scaling and logarithmic amplitude scaling.";
constexpr const char* kMemoryMessage = "Spectrum Plot - Insufficient memory available for clipboard operation";

double ReadNumber(CWnd* edit, int chars)
{
    char text[48] = {};
    edit->GetWindowText(text, std::min<int>(chars + 1, static_cast<int>(sizeof text)));
    return std::strtod(text, nullptr);
}

void SetNumber(CWnd* edit, const char* format, double value)
{
    edit->SetWindowText(TLimitScroll::FormatValue(format, value).c_str());
}
} // namespace

BYTE TSpectraPlot::s_copySource = 0;

BEGIN_MESSAGE_MAP(TSpectraPlot, TSettingsPlot<SpectrumPlotSettings>)
    ON_WM_SIZE()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_COMMAND_RANGE(kZoomIn, kZoom2xOut, &TSpectraPlot::OnZoom)
    ON_COMMAND_RANGE(kLine, kStepBar, &TSpectraPlot::OnStyleCommand)
    ON_COMMAND(kOptions, &TSpectraPlot::OnProperties)
    ON_COMMAND(kProperties, &TSpectraPlot::OnProperties)
    ON_COMMAND(kAutoscale, &TSpectraPlot::OnAutoscaleCommand)
    ON_COMMAND(kAutoscaleMenu, &TSpectraPlot::OnAutoscaleCommand)
    ON_COMMAND(kCopyText, &TSpectraPlot::OnCopyText)
    ON_COMMAND(kWriteText, &TSpectraPlot::OnWriteText)
    ON_COMMAND(kCopyBitmap, &TSpectraPlot::OnCopyBitmap)
    ON_COMMAND(kClearSpectrum, &TSpectraPlot::OnClearSpectrum)
    ON_COMMAND(kClearPeakHold, &TSpectraPlot::OnClearPeakHold)
    ON_COMMAND_RANGE(kSetMarker1, kSetMarker6, &TSpectraPlot::OnSetMarker)
    ON_COMMAND_RANGE(kSetMarker7, kSetMarker8, &TSpectraPlot::OnSetMarker)
    ON_COMMAND_RANGE(kClearMarker1, kClearMarker8, &TSpectraPlot::OnClearMarker)
    ON_COMMAND(kClearMarkerAll, &TSpectraPlot::OnClearAllMarkers)
    ON_COMMAND(kPullCursor, &TSpectraPlot::OnPullCursor)
    ON_COMMAND_RANGE(kCepstrum, kCepstrum, &TSpectraPlot::OnChannelCommand)
    ON_COMMAND_RANGE(kInverseFft, kInverseFft, &TSpectraPlot::OnChannelCommand)
    ON_COMMAND_RANGE(kQualityFactor, kQualityFactor, &TSpectraPlot::OnChannelCommand)
    ON_COMMAND(kHelp, &TSpectraPlot::OnHelp)
    ON_COMMAND_RANGE(kSmoothNone, kSmooth15, &TSpectraPlot::OnSmooth)
    ON_COMMAND_RANGE(kToolbarToggle, kOverlayToggle, &TSpectraPlot::OnToggle)
    ON_COMMAND_RANGE(kStoreA, kStoreA + kOverlaySlots - 1, &TSpectraPlot::OnStoreOverlay)
    ON_COMMAND_RANGE(kStoreB, kStoreB + kOverlaySlots - 1, &TSpectraPlot::OnStoreOverlay)
    ON_COMMAND_RANGE(kShowA, kShowA + kOverlaySlots - 1, &TSpectraPlot::OnShowOverlay)
    ON_COMMAND_RANGE(kShowB, kShowB + kOverlaySlots - 1, &TSpectraPlot::OnShowOverlay)
    ON_COMMAND_RANGE(kOverlayDialogA, kOverlayDialogB, &TSpectraPlot::OnOverlayDialog)
    ON_EN_CHANGE(kPlotTopEdit, &TSpectraPlot::OnPlotTopChanged)
    ON_EN_CHANGE(kPlotRangeEdit, &TSpectraPlot::OnPlotRangeChanged)
    ON_EN_KILLFOCUS(kPlotTopEdit, &TSpectraPlot::FinishTyping)
    ON_EN_KILLFOCUS(kPlotRangeEdit, &TSpectraPlot::FinishTyping)
    ON_CBN_SELCHANGE(kPeakHold, &TSpectraPlot::OnPeakHoldChanged)
    ON_COMMAND(kMarkerOptions, &TSpectraPlot::OnMarkerOptions)
    ON_COMMAND(kMarkerOptionsMenu, &TSpectraPlot::OnMarkerOptions)
    ON_COMMAND(kViewData, &TSpectraPlot::OnViewDataValues)
    ON_MESSAGE(WM_DATAVIEW_CLOSING, &TSpectraPlot::OnDataViewClosing)
END_MESSAGE_MAP()

TSpectraPlot::TSpectraPlot()
{
    m_toolStripHeight = 30;
    m_topMargin = 50;
    m_leftMargin = 62;
    m_rightMargin = 40;
    m_paneGap = 20;
    m_xBoxWidth = 90;
    m_yBoxWidth = 58;
    m_xFormat = 4;
    m_yFormat = 2;
    std::strcpy(m_xUnit, " Hz");
}

TSpectraPlot::~TSpectraPlot() { m_dataView.reset(); }

CToolBtn* TSpectraPlot::GetButton(UINT id) const
{
    switch (id) {
    case kZoomIn: return m_zoomIn.get();
    case kZoomFull: return m_zoomFull.get();
    case kZoom2xIn: return m_zoom2xIn.get();
    case kZoom2xOut: return m_zoom2xOut.get();
    case kLine: return m_lineButton.get();
    case kBar: return m_barButton.get();
    case kStepBar: return m_stepBarButton.get();
    case kOptions: return m_optionsButton.get();
    case kAutoscale: return m_autoscaleButton.get();
    case kMarkerOptions: return m_markerButton.get();
    default: return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Creation and binding

BOOL TSpectraPlot::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings* processing,
                          ChannelScalingSettings* scaling, MarkerSettings* markers, SpectrumPlotSettings* settings,
                          SpectralData* traceA, SpectralData* traceB, int channel)
{
    m_title = title ? std::string(title).substr(0, 260) : std::string();
    m_processing = processing;
    m_scaling = scaling;
    m_markers = markers;
    m_channel = channel;
    m_traceA = traceA;
    m_traceB = traceB;
    m_traceCount = (traceA && traceB) ? 2 : 1;
    m_paneMode = m_traceCount;
    UseSettings(settings);
    m_tempFolder = m_paths ? m_paths->Tmp : "";
    m_overlayFolder = m_workingPaths ? m_workingPaths->ovl : "";
    m_rightMargin = RightMargin();
    m_creatingControls = 1;
    m_inLayout = 0;
    HCURSOR cross = LoadCursor(nullptr, static_cast<UINT>(IDC_PLOT_CROSS));
    CBrush* face = GetSysColorBrush(COLOR_BTNFACE);
    LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS, cross, face ? reinterpret_cast<HBRUSH>(face->GetSafeHandle()) : nullptr,
                                     nullptr);
    if (!CMDIChildWnd::Create(cls, m_title.c_str(), style, rect ? *rect : rectDefault, nullptr)) {
        m_creatingControls = 0;
        return FALSE;
    }
    CreateControls();
    return TRUE;
}

void TSpectraPlot::SetTitle(const char* text)
{
    m_title = text ? std::string(text).substr(0, 260) : std::string();
    if (m_hWnd)
        SetWindowText(m_title.c_str());
}

void TSpectraPlot::SetData(SpectralData* traceA, SpectralData* traceB)
{
    m_traceA = traceA;
    m_traceB = traceB;
    if (m_dataView)
        m_dataView->SetSource(m_traceA);
}

bool TSpectraPlot::IsPaneB(const CRect& rect) const
{
    return m_traceCount == 2 && rect.left == m_paneB.left && rect.top == m_paneB.top && rect.right == m_paneB.right &&
           rect.bottom == m_paneB.bottom;
}

namespace {
// Overlay rows close up to the boxes' own height in a short window, and closer still (the boxes
// with them) where even that leaves no room; each trace's column is its rows and its
// "Options..." button.
constexpr int kOverlayMinPitch = 14, kOverlayLeastPitch = 10, kOverlayButton = 18, kOverlaySpace = 4;
constexpr int kOverlayButtonWidth = 64;
// Room for the "Set" and "On" captions between the pane's top and the first row.
constexpr int kOverlayCaptions = 22;
} // namespace

TSpectraPlot::OverlayGrid TSpectraPlot::OverlayGridFor(int clientHeight) const
{
    OverlayGrid grid;
    const int traces = m_paneMode == 2 ? 2 : 1;
    const int limit = clientHeight - 14;
    const int top = m_topMargin + kOverlayCaptions;
    const int column = kOverlaySlots * kOverlayMinPitch + kOverlayButton;
    if (top + traces * column + (traces - 1) * kOverlaySpace <= limit)
        return grid;
    // Each trace keeps one column, its rows just below the header (the "Set" and "On" captions
    // give way to them); two traces' columns stand side by side.
    grid.sideBySide = true;
    // Rows keep the boxes' own height as long as they can: with no room under them the button
    // stands beside the last of them, and only then do the rows close up further.
    const int room = limit - (m_topMargin + 2);
    grid.buttonBeside = room < kOverlaySlots * kOverlayMinPitch + kOverlayButton;
    grid.pitch = grid.buttonBeside ? std::clamp(room / kOverlaySlots, kOverlayLeastPitch, kOverlayMinPitch)
                                   : kOverlayMinPitch;
    return grid;
}

int TSpectraPlot::RightMargin() const
{
    int margin = 40;
    if (m_settings && m_settings->ShowOverlayControls) {
        margin += 8 * m_settings->OverlayLegendSize;
        CRect client(0, 0, 0, 0);
        if (m_hWnd)
            GetClientRect(&client);
        if (m_hWnd && m_paneMode == 2 && OverlayGridFor(client.Height()).sideBySide)
            margin += 32 + 8 * m_settings->OverlayLegendSize;
    }
    if (m_settings && m_settings->ShowPowerMeter)
        margin += 66;
    return margin;
}

void TSpectraPlot::LayoutOverlayGrid(const OverlayGrid& grid, int x)
{
    const int columnWidth = 32 + 8 * m_settings->OverlayLegendSize;
    const int top = m_paneA.top + 2;
    const int box = grid.pitch; // the boxes close up with the rows
    CRect client;
    GetClientRect(&client);
    m_overlayPitch = grid.pitch;
    for (int trace = 0; trace < (m_paneMode == 2 ? 2 : 1); ++trace) {
        const int left = x + trace * columnWidth;
        for (int i = 0; i < kOverlaySlots; ++i) {
            const int row = top + i * grid.pitch;
            (trace == 0 ? m_storeA : m_storeB)[i]->MoveWindow(left - 1, row - 1, box, box, TRUE);
            (trace == 0 ? m_showA : m_showB)[i]->MoveWindow(left + 16, row, box, box, TRUE);
        }
        CButton* options = (trace == 0 ? m_overlayDialogA : m_overlayDialogB).get();
        const int end = top + kOverlaySlots * grid.pitch;
        if (grid.buttonBeside)
            // Never lower than the toggles along the bottom, however far the rows have to run.
            options->MoveWindow(left + 32, std::min(end, static_cast<int>(client.bottom) - 14) - kOverlayButton,
                                std::min(kOverlayButtonWidth, std::max(columnWidth - 34, 30)), kOverlayButton, TRUE);
        else
            options->MoveWindow(left - 4, end, kOverlayButtonWidth, kOverlayButton, TRUE);
    }
}

void TSpectraPlot::CreateControls()
{
    m_creatingControls = 1;
    TPlotBase::CreateControls();
    const CRect placeholder(0, 0, 1, 1);
    CFont* font = &m_readoutFont;
    auto button = [&](std::unique_ptr<CButton>& b, const char* text, UINT id, DWORD extra) {
        b = std::make_unique<CButton>();
        b->Create(text, WS_CHILD | extra, placeholder, this, id);
        b->SetFont(font);
    };
    button(m_overlayDialogA, "Options...", kOverlayDialogA, BS_PUSHBUTTON);
    button(m_overlayDialogB, "Options...", kOverlayDialogB, BS_PUSHBUTTON);
    for (int i = 0; i < kOverlaySlots; ++i) {
        const char label[2] = {i == 6 ? 'C' : static_cast<char>('1' + i), 0};
        button(m_storeA[i], label, kStoreA + i, BS_PUSHBUTTON);
        button(m_storeB[i], label, kStoreB + i, BS_PUSHBUTTON);
        button(m_showA[i], "", kShowA + i, BS_AUTOCHECKBOX);
        button(m_showB[i], "", kShowB + i, BS_AUTOCHECKBOX);
    }
    m_zoomIn = std::make_unique<CToolBtn>(this, kZoomIn, "ZoomInUp", "ZoomInDn", "ZoomInGry",
                                          "Zoom in along frequency axis");
    m_zoomFull = std::make_unique<CToolBtn>(this, kZoomFull, "ZoomFullUp", "ZoomFullDn", "ZoomFullGry",
                                            "Zoom out to show full frequency span");
    m_zoom2xIn = std::make_unique<CToolBtn>(this, kZoom2xIn, "Zoom2XInUp", "Zoom2XInDn", "Zoom2XInGry",
                                            "Zoom in by a factor of 2x");
    m_zoom2xOut = std::make_unique<CToolBtn>(this, kZoom2xOut, "Zoom2XOutUp", "Zoom2XOutDn", "Zoom2XOutGry",
                                             "Zoom out by a factor of 2x");
    m_lineButton = std::make_unique<CToolBtn>(this, kLine, "GraphLineUp", "GraphLineDn", nullptr,
                                              "Display spectrum as line graph");
    m_barButton = std::make_unique<CToolBtn>(this, kBar, "GraphBarUp", "GraphBarDn", nullptr,
                                             "Display spectrum as bar graph");
    m_stepBarButton = std::make_unique<CToolBtn>(this, kStepBar, "GraphStepBarUp", "GraphStepBarDn", nullptr,
                                                 "Display spectrum as stepped bar graph");
    m_optionsButton = std::make_unique<CToolBtn>(this, kOptions, "OptionsUp", "OptionsDn", nullptr,
                                                 "Set additional spectrum display options");
    m_plotTopEdit = std::make_unique<CEdit>();
    m_plotTopEdit->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, placeholder, this, kPlotTopEdit);
    m_plotTopSpin = std::make_unique<TLimitScroll>(this, kPlotTopSpin, m_plotTopEdit.get(), 300.0f, -300.0f, 5.0f);
    m_plotRangeEdit = std::make_unique<CEdit>();
    m_plotRangeEdit->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, placeholder, this, kPlotRangeEdit);
    m_plotRangeSpin =
        std::make_unique<TLimitScroll>(this, kPlotRangeSpin, m_plotRangeEdit.get(), 200.0f, -200.0f, 5.0f);
    m_autoscaleButton = std::make_unique<CToolBtn>(this, kAutoscale, "AutoScaleUp", "AutoScaleDn", "AutoGr",
                                                   "Autoscale current spectrum");
    m_peakHoldCombo = std::make_unique<CComboBox>();
    m_peakHoldCombo->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | CBS_DROPDOWNLIST, CRect(0, 0, 100, 200),
                            this, kPeakHold);
    const char* holds[] = {"Off", "Fast", "Medium", "Slow", "Forever"};
    for (int i = 0; i < 5; ++i)
        m_peakHoldCombo->SetItemData(m_peakHoldCombo->AddString(holds[i]), static_cast<DWORD_PTR>(i));
    if (m_settings)
        m_peakHoldCombo->SetCurSel(std::min<int>(m_settings->PeakHold, 4));
    m_markerButton = std::make_unique<CToolBtn>(this, kMarkerOptions, "MarkerUp", "MarkerDown", nullptr,
                                                "Marker Options");
    m_auxEdit = std::make_unique<CEdit>();
    m_auxEdit->Create(WS_CHILD | WS_BORDER, CRect(0, 0, 56, 16), this, kAuxEdit);
    m_plotTopEdit->SetFont(font);
    m_plotRangeEdit->SetFont(font);
    m_peakHoldCombo->SetFont(font);
    m_auxEdit->SetFont(font);

    ApplyAmpScaleControls();
    AllocatePointArrays();
    if (m_settings)
        SetFrequencyRange(m_settings->StartFreq, m_settings->StopFreq);
    PressStyleButton();
    for (int i = 0; i < kOverlaySlots; ++i) {
        if (m_settings) {
            m_showA[i]->SetCheck(m_settings->Overlays[i].Show1 ? BST_CHECKED : BST_UNCHECKED);
            m_showB[i]->SetCheck(m_settings->Overlays[i].Show2 ? BST_CHECKED : BST_UNCHECKED);
        }
    }
    m_auxEdit->ShowWindow(SW_HIDE);
    button(m_toolbarToggle, "+", kToolbarToggle, BS_PUSHBUTTON | BS_FLAT | WS_VISIBLE);
    button(m_meterToggle, "+", kMeterToggle, BS_PUSHBUTTON | BS_FLAT | WS_VISIBLE);
    button(m_overlayToggle, "+", kOverlayToggle, BS_PUSHBUTTON | BS_FLAT | WS_VISIBLE);
    SetWindowText(m_title.c_str());
    m_creatingControls = 0;
    UpdateLayout();
    LayoutToolStrip();
    LayoutOverlayControls();
}

const char* TSpectraPlot::PlotTopFormat() const
{
    const int type = m_scaling ? m_scaling->AmpScaleType : 1;
    return type == 0 ? "%3.3f" : type == 2 ? "%3.4f" : "%3.2f";
}

void TSpectraPlot::ApplyAmpScaleControls()
{
    if (!m_plotTopEdit || !m_settings || !m_scaling)
        return;
    SetNumber(m_plotTopEdit.get(), PlotTopFormat(), m_settings->PlotTop);
    switch (m_scaling->AmpScaleType) {
    case 0:
        m_plotTopSpin->SetPrecision(3);
        m_plotTopSpin->SetStep(1.0f, 0);
        m_plotTopSpin->SetLimits(1e7f, 1e-9f);
        m_plotRangeEdit->SetWindowText("N/A");
        m_plotRangeEdit->ShowWindow(SW_HIDE);
        m_plotRangeSpin->ShowWindow(SW_HIDE);
        break;
    case 2:
        m_plotTopSpin->SetPrecision(4);
        m_plotTopSpin->SetStep(2.0f, 1);
        m_plotTopSpin->SetLimits(10000.0f, 0.000001f);
        SetNumber(m_plotRangeEdit.get(), "%3.9f", m_settings->PlotRange);
        m_plotRangeSpin->SetPrecision(9);
        m_plotRangeSpin->SetStep(2.0f, 1);
        m_plotRangeSpin->SetLimits(100.0f, 1e-9f);
        break;
    default:
        m_plotTopSpin->SetPrecision(2);
        m_plotTopSpin->SetStep(5.0f, 0);
        m_plotTopSpin->SetLimits(300.0f, -400.0f);
        SetNumber(m_plotRangeEdit.get(), "%3.1f", m_settings->PlotRange);
        m_plotRangeSpin->SetPrecision(2);
        m_plotRangeSpin->SetStep(5.0f, 0);
        m_plotRangeSpin->SetLimits(400.0f, -400.0f);
        break;
    }
    if (m_scaling->AmpScaleType != 0 && m_settings->ShowToolbar) {
        m_plotRangeEdit->ShowWindow(SW_SHOW);
        m_plotRangeSpin->ShowWindow(SW_SHOW);
    }
}

void TSpectraPlot::PressStyleButton()
{
    if (!m_lineButton || !m_settings)
        return;
    m_lineButton->SetPressed(m_settings->PlotType == 0);
    m_barButton->SetPressed(m_settings->PlotType == 1);
    m_stepBarButton->SetPressed(m_settings->PlotType == 2);
}

// ---------------------------------------------------------------------------------------------
// Layout

void TSpectraPlot::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    SetToolStripShown(show);
    CWnd* controls[] = {m_zoomIn.get(),        m_zoomFull.get(),    m_zoom2xIn.get(),     m_zoom2xOut.get(),
                        m_optionsButton.get(), m_plotTopEdit.get(), m_plotTopSpin.get(),  m_plotRangeEdit.get(),
                        m_plotRangeSpin.get(), m_lineButton.get(),  m_stepBarButton.get(), m_barButton.get(),
                        m_autoscaleButton.get(), m_markerButton.get(), m_peakHoldCombo.get()};
    for (CWnd* c : controls)
        if (c && c->GetSafeHwnd())
            c->ShowWindow(show ? SW_SHOW : SW_HIDE);
    // A linear axis has no range to edit.
    if (show && m_scaling && m_scaling->AmpScaleType == 0 && m_plotRangeEdit) {
        m_plotRangeEdit->ShowWindow(SW_HIDE);
        m_plotRangeSpin->ShowWindow(SW_HIDE);
    }
    if (show)
        LayoutToolStrip();
    UpdateLayout();
}

void TSpectraPlot::LayoutToolStrip()
{
    if (!m_settings || !m_settings->ShowToolbar || !m_zoomIn || !m_hWnd)
        return;
    const std::pair<CToolBtn*, int> buttons[] = {
        {m_zoomIn.get(), 2},         {m_zoom2xIn.get(), 32},       {m_zoom2xOut.get(), 62}, {m_zoomFull.get(), 92},
        {m_lineButton.get(), 129},   {m_stepBarButton.get(), 159}, {m_barButton.get(), 189}, {m_optionsButton.get(), 226},
        {m_markerButton.get(), 256}, {m_autoscaleButton.get(), 293}};
    for (const auto& [b, x] : buttons)
        b->MoveWindow(x, 1, 28, 28, TRUE);
    // The boxes with their labels stand at their places when the window is wide enough; in a
    // narrower one they wrap onto further rows of the strip, so that each stays reachable.
    CRect client;
    GetClientRect(&client);
    StripFlow flow(this, m_font, client.Width() >= 703 + 100 + 4, 325);
    const int row = 30;
    const CPoint top = flow.Place("Plot Top:", 381, 56 + 2 + 12);
    m_plotTopEdit->MoveWindow(top.x, top.y + row / 2 - 10, 56, 20, TRUE);
    m_plotTopSpin->MoveWindow(top.x + 58, top.y + row / 2 - 10, 12, 20, TRUE);
    m_plotTopSpin->ShowWindow(SW_SHOW);
    // The range box keeps its place (room for its longer label) on every amplitude scale, so
    // that a change of scale does not move the plot.
    const CPoint bottom = flow.Place("Plot Bottom:", 527, 86 + 2 + 12);
    m_plotRangeEdit->MoveWindow(bottom.x, bottom.y + row / 2 - 10, 86, 20, TRUE);
    m_plotRangeSpin->MoveWindow(bottom.x + 88, bottom.y + row / 2 - 10, 12, 20, TRUE);
    // The list drops 200 pixels; the box itself keeps its one-line height.
    CRect box;
    m_peakHoldCombo->GetWindowRect(&box);
    const CPoint hold = flow.Place("Peak Hold:", 703, 100);
    m_peakHoldCombo->MoveWindow(hold.x, hold.y + row / 2 - 12, 100, box.Height(), TRUE);
    if (flow.Rows() * row != m_toolStripHeight) {
        SetToolStripShown(true, flow.Rows());
        if (!m_inLayout)
            UpdateLayout();
    }
    if (m_zoomIn->IsPressed()) {
        m_zoomIn->Release();
        m_selectionMode = 0;
    }
    m_auxEdit->MoveWindow(m_plotRect.Width() / 2 + 54, m_toolStripHeight + 2, 56, 16, TRUE);
    CRect strip;
    GetClientRect(&strip);
    strip.bottom = strip.top + m_toolStripHeight;
    InvalidateRect(&strip, TRUE);
}

void TSpectraPlot::LayoutOverlayControls()
{
    if (!m_settings || !m_storeA[0] || !m_hWnd)
        return;
    const bool shown = m_settings->ShowOverlayControls != 0;
    for (int i = 0; i < kOverlaySlots; ++i) {
        m_storeA[i]->ShowWindow(shown ? SW_SHOW : SW_HIDE);
        m_showA[i]->ShowWindow(shown ? SW_SHOW : SW_HIDE);
        m_storeB[i]->ShowWindow(shown && m_paneMode == 2 ? SW_SHOW : SW_HIDE);
        m_showB[i]->ShowWindow(shown && m_paneMode == 2 ? SW_SHOW : SW_HIDE);
    }
    m_overlayDialogA->ShowWindow(shown ? SW_SHOW : SW_HIDE);
    m_overlayDialogB->ShowWindow(shown && m_paneMode == 2 ? SW_SHOW : SW_HIDE);
    if (!shown && !m_printing)
        return;
    const int meter = m_settings->ShowPowerMeter ? 66 : 0;
    const int x = m_paneA.right + 8 + meter;
    const int xo = m_plotRect.right + 4 + meter;
    // Each trace's column is seven rows and its "Options..." button under them. Rows stand 16
    // pixels apart where the window has the height; in a short window they close up (never
    // below the boxes' own 14 pixels) and trace B's column moves down; shorter still, the
    // columns stand side by side, so that no control covers another, the header or the toggles
    // along the bottom.
    constexpr int kButton = kOverlayButton, kSpace = kOverlaySpace;
    CRect client;
    GetClientRect(&client);
    const int limit = client.bottom - 14;
    if (const OverlayGrid grid = OverlayGridFor(client.Height()); grid.sideBySide) {
        LayoutOverlayGrid(grid, x);
        return;
    }
    const int topA = m_paneA.top + kOverlayCaptions;
    const int columns = m_paneMode == 2 ? 2 : 1;
    const int room = (limit - topA - columns * kButton - (columns - 1) * kSpace) / (columns * kOverlaySlots);
    m_overlayPitch = std::clamp(room, 14, 16);
    const int column = kOverlaySlots * m_overlayPitch + kButton;
    const int topB = std::max(std::min(m_paneB.top + 22, limit - column), topA + column + kSpace);
    for (int i = 0; i < kOverlaySlots; ++i) {
        const int rowA = topA + m_overlayPitch * i;
        m_storeA[i]->MoveWindow(x - 1, rowA - 1, 14, 14, TRUE);
        m_showA[i]->MoveWindow(x + 16, rowA, 14, 14, TRUE);
        if (m_paneMode == 2) {
            const int rowB = topB + m_overlayPitch * i;
            m_storeB[i]->MoveWindow(x - 1, rowB - 1, 14, 14, TRUE);
            m_showB[i]->MoveWindow(x + 16, rowB, 14, 14, TRUE);
        }
    }
    m_overlayDialogA->MoveWindow(xo, topA + m_overlayPitch * kOverlaySlots, 64, kButton, TRUE);
    if (m_paneMode == 2)
        m_overlayDialogB->MoveWindow(xo, topB + m_overlayPitch * kOverlaySlots, 64, kButton, TRUE);
}

void TSpectraPlot::PlaceToggles()
{
    if (!m_toolbarToggle)
        return;
    CRect client;
    GetClientRect(&client);
    const bool toolbar = m_settings && m_settings->ShowToolbar;
    const bool meter = m_settings && m_settings->ShowPowerMeter;
    const bool overlays = m_settings && m_settings->ShowOverlayControls;
    m_toolbarToggle->MoveWindow(client.left + 4, client.top + m_toolStripHeight + 4, 10, 10, TRUE);
    m_toolbarToggle->SetWindowText(toolbar ? "-" : "+");
    m_meterToggle->MoveWindow(m_plotRect.right + 16, client.bottom - 12, 10, 10, TRUE);
    m_meterToggle->SetWindowText(meter ? "-" : "+");
    m_overlayToggle->MoveWindow(m_plotRect.right + m_rightMargin - 12, client.bottom - 12, 10, 10, TRUE);
    m_overlayToggle->SetWindowText(overlays ? "-" : "+");
}

void TSpectraPlot::UpdateLayout()
{
    if (m_creatingControls || m_inLayout)
        return;
    m_inLayout = 1;
    if (m_settings)
        ShowToolbar(m_settings->ShowToolbar != 0);
    m_paneGap = 20;
    m_rightMargin = RightMargin();
    m_traceCount = (m_traceA && m_traceB) ? 2 : 1;
    SetPaneMode(m_traceCount);
    if (m_settings)
        SetFrequencyRange(m_settings->StartFreq, m_settings->StopFreq);
    if (m_settings && m_scaling) {
        // Levels carried over from another amplitude scale become ones this axis can show.
        const LevelScale fit =
            FitLevelScale(m_scaling->AmpScaleType, {m_settings->PlotTop, m_settings->PlotRange}, 1e-9, 0.1);
        m_settings->PlotTop = fit.top;
        m_settings->PlotRange = fit.range;
    }
    ApplyAmpScaleControls();
    PressStyleButton();
    if (m_auxEdit)
        m_auxEdit->ShowWindow(SW_HIDE);
    if (m_peakHoldCombo && m_settings)
        m_peakHoldCombo->SetCurSel(std::min<int>(m_settings->PeakHold, 4));
    if (m_dataView && m_dataView->GetSafeHwnd())
        m_dataView->Invalidate();
    TPlotBase::UpdateLayout();
    if (m_zoomIn && m_zoomIn->IsPressed()) {
        m_zoomIn->Release();
        m_selectionMode = 0;
    }
    PlaceToggles();
    AllocatePointArrays();
    ReloadOverlays();
    UpdateFrame(0.0f);
    SetWindowText(m_title.c_str());
    LoadWatermark();
    if (m_hWnd) {
        Invalidate();
        UpdateWindow();
    }
    m_inLayout = 0;
}

void TSpectraPlot::OnSize(UINT nType, int cx, int cy)
{
    // The overlay columns stand side by side in a short window: the margin follows the height.
    if (!m_creatingControls)
        m_rightMargin = RightMargin();
    TPlotBase::OnSize(nType, cx, cy);
    if (m_creatingControls)
        return;
    LayoutToolStrip();
    LayoutOverlayControls();
}

void TSpectraPlot::UpdateScrollRange()
{
    if (!m_traceA)
        return;
    const int first = m_traceA->GetFirstBin();
    const int last = m_traceA->GetLastBin();
    m_visibleStart = std::max(m_visibleStart, first);
    m_visibleEnd = std::min(m_visibleEnd, last);
    if (m_visibleEnd <= m_visibleStart) {
        m_visibleStart = first;
        m_visibleEnd = last;
    }
    const bool full = m_visibleStart == first && m_visibleEnd == last;
    if (full) {
        HidePlotScrollBar();
    } else {
        ShowPlotScrollBar();
        if (m_scrollBar)
            m_scrollBar->SetScrollPos(m_visibleStart, TRUE);
    }
    if (m_zoomIn) {
        m_zoomIn->Enable();
        m_zoom2xIn->Enable();
        if (full) {
            m_zoom2xOut->Disable();
            m_zoomFull->Disable();
        } else {
            m_zoom2xOut->Enable();
            m_zoomFull->Enable();
        }
    }
    if (m_settings) {
        if (m_visibleStart == first)
            m_settings->StartFreq = m_traceA->GetLowFrequency();
        if (m_visibleEnd == last)
            m_settings->StopFreq = m_traceA->GetHighFrequency();
        m_settings->StopFreq = std::min(m_settings->StopFreq, m_traceA->GetHighFrequency());
        m_settings->StartFreq = std::max(m_settings->StartFreq, m_traceA->GetLowFrequency());
    }
    BuildColumnTable();
    BuildFrequencyLabels();
    BuildAmplitudeLabels();
    BuildAmplitudeLabelsB();
}

void TSpectraPlot::UpdateScrollPos()
{
    if (!m_traceA)
        return;
    const int first = m_traceA->GetFirstBin();
    const int total = m_traceA->GetLastBin() - first;
    const int span = m_visibleEnd - m_visibleStart;
    // The bar's position is the first visible bin, so its range starts at bin 0 and must reach
    // the first bin of the last full view.
    m_scrollMax = span < total ? first + (total - span) : 0;
}

// ---------------------------------------------------------------------------------------------
// Per-block update

void TSpectraPlot::UpdateFrame(float time)
{
    if (!m_traceA || !m_hWnd)
        return;
    if (m_settings && m_settings->IntervalFlag && time > 0.0f) {
        if (time < m_lastFrameTime + m_settings->IntervalSecs) {
            if (time < m_lastFrameTime)
                m_lastFrameTime = 0.0f;
            return;
        }
        m_lastFrameTime = time;
    }
    if (m_dataView)
        m_dataView->Refresh();
    if (m_pointCapacity > 0 && !IsIconic()) {
        // A measuring cursor held over a live trace: off while the block is drawn, then back.
        ToggleDragMarks();
        {
            CClientDC dc(this);
            RedrawFrame(&dc);
        }
        ToggleDragMarks();
    }
}

// ---------------------------------------------------------------------------------------------
// Frequency range, zoom and scrolling

void TSpectraPlot::SetFrequencyRange(float low, float high)
{
    if (!m_traceA)
        return;
    const float lo0 = m_traceA->GetLowFrequency();
    const float hi0 = m_traceA->GetHighFrequency();
    if (low < lo0)
        low = lo0;
    if (high > hi0)
        high = hi0;
    if (high <= low) {
        low = lo0;
        high = hi0;
    }
    m_visibleStart = m_traceA->FrequencyToBin(low);
    m_visibleEnd = m_traceA->FrequencyToBin(high);
    // The layout takes the range from the record, so a range set from outside is kept there.
    if (m_settings) {
        m_settings->StartFreq = low;
        m_settings->StopFreq = high;
    }
    UpdateLayout();
}

void TSpectraPlot::SetSelectionRect(CRect rect)
{
    if (!m_traceA)
        return;
    rect.NormalizeRect();
    const float f0 = ColumnToFrequency(rect.left);
    const float f1 = ColumnToFrequency(rect.right);
    const int b0 = m_traceA->FrequencyToBin(f0);
    const int b1 = m_traceA->FrequencyToBin(f1);
    if (b1 - b0 < 4) {
        // Too narrow to show: the zoom stays armed for another drag.
        m_selectionMode = 1;
        m_selection.SetRectEmpty();
        return;
    }
    m_visibleStart = b0;
    m_visibleEnd = b1;
    if (m_settings) {
        m_settings->StartFreq = f0;
        m_settings->StopFreq = f1;
    }
    UpdateLayout();
    if (m_zoomIn)
        m_zoomIn->Release();
    m_selectionMode = 0;
    m_selection.SetRectEmpty();
}

void TSpectraPlot::OnZoom(UINT id)
{
    if (!m_traceA)
        return;
    CToolBtn* b = GetButton(id);
    if (b && b->IsDisabled())
        return;
    if (id == kZoomIn) {
        if (m_zoomIn->IsPressed()) {
            m_zoomIn->Release();
            m_selectionMode = 0;
        } else {
            m_selectionAxis = 0;
            m_selectionMode = 1;
            m_selection.SetRectEmpty();
            m_zoomIn->Press();
        }
        return;
    }
    const unsigned firstBin = static_cast<unsigned>(m_traceA->GetFirstBin());
    const unsigned lastBin = static_cast<unsigned>(m_traceA->GetLastBin());
    unsigned first = static_cast<unsigned>(m_visibleStart);
    unsigned last = static_cast<unsigned>(m_visibleEnd);
    const unsigned span = last - first;
    const unsigned total = lastBin - firstBin;
    switch (id) {
    case kZoom2xIn:
        if (span < 4)
            return;
        first += span / 4;
        last -= span / 4;
        break;
    case kZoom2xOut: {
        if (span >= total)
            return;
        const unsigned q = span / 4;
        first = q >= first ? firstBin : first - q;
        last += q;
        if (last > total)
            last = lastBin;
        break;
    }
    case kZoomFull:
        if (span >= total)
            return;
        first = firstBin;
        last = lastBin;
        break;
    default:
        return;
    }
    m_visibleStart = static_cast<int>(first);
    m_visibleEnd = static_cast<int>(last);
    if (m_settings) {
        m_settings->StartFreq = m_traceA->GetBinFrequency(first);
        m_settings->StopFreq = m_traceA->GetBinFrequency(last);
    }
    UpdateLayout();
}

void TSpectraPlot::ScrollView(UINT code, UINT position)
{
    if (!m_traceA || !m_scrollBar)
        return;
    const int span = m_visibleEnd - m_visibleStart;
    const int p = m_scrollBar->GetScrollPos();
    switch (code) {
    case SB_LINELEFT: m_scrollBar->SetScrollPos(p - 1, FALSE); break;
    case SB_LINERIGHT: m_scrollBar->SetScrollPos(p + 1, FALSE); break;
    case SB_PAGELEFT: m_scrollBar->SetScrollPos(p - span / 4, FALSE); break;
    case SB_PAGERIGHT: m_scrollBar->SetScrollPos(p + span / 4, FALSE); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: m_scrollBar->SetScrollPos(static_cast<int>(position), FALSE); break;
    default: return;
    }
    m_visibleStart = m_scrollBar->GetScrollPos();
    m_visibleEnd = m_visibleStart + span;
    if (m_settings) {
        m_settings->StartFreq = m_traceA->GetBinFrequency(static_cast<UINT>(m_visibleStart));
        m_settings->StopFreq = m_traceA->GetBinFrequency(static_cast<UINT>(m_visibleEnd));
    }
    UpdateLayout();
}

void TSpectraPlot::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    if (m_scrollBar && pScrollBar == m_scrollBar.get())
        ScrollView(nSBCode, nPos);
}

void TSpectraPlot::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    for (TLimitScroll* spin : {m_plotTopSpin.get(), m_plotRangeSpin.get()}) {
        if (!spin || pScrollBar != spin)
            continue;
        if (nSBCode == SB_LINEUP)
            spin->StepUp();
        else if (nSBCode == SB_LINEDOWN)
            spin->StepDown();
    }
}

// ---------------------------------------------------------------------------------------------
// Amplitude limits, peak hold, style

void TSpectraPlot::OnPlotTopChanged()
{
    if (m_creatingControls || m_inLayout || !m_settings || !m_scaling || DeferTyping(m_plotTopEdit.get()))
        return;
    ApplyPlotTop(static_cast<float>(ReadNumber(m_plotTopEdit.get(), 20)));
}

void TSpectraPlot::ApplyPlotTop(float value)
{
    switch (m_scaling->AmpScaleType) {
    case 0: {
        static const std::pair<float, float> steps[] = {
            {1e-7f, 1e-8f},   {1.1e-6f, 1e-7f}, {1.1e-5f, 1e-6f}, {1.1e-4f, 1e-5f}, {0.0011f, 1e-4f},
            {0.011f, 0.001f}, {0.11f, 0.01f},   {1.1f, 0.1f},     {11.0f, 1.0f},    {110.0f, 10.0f},
            {1100.0f, 100.0f}, {11000.0f, 1000.0f}, {110000.0f, 10000.0f}, {1.1e6f, 1e5f}, {1.1e7f, 1e6f},
            {1.1e8f, 1e7f}};
        float step = 1e8f;
        for (const auto& [limit, s] : steps)
            if (value <= limit) {
                step = s;
                break;
            }
        m_plotTopSpin->SetStep(step, 0);
        const int decimals = step >= 1000.0f ? 0 : std::min(7, static_cast<int>(std::lround(3 - std::log10(step))));
        m_plotTopSpin->SetPrecision(decimals);
        m_plotTopSpin->SetLimits(1e7f, 1e-9f);
        m_settings->PlotTop = value;
        break;
    }
    case 1:
        m_plotTopSpin->SetPrecision(2);
        m_plotTopSpin->SetStep(5.0f, 0);
        m_plotTopSpin->SetLimits(300.0f, -300.0f);
        m_settings->PlotTop = value;
        break;
    case 2:
        m_plotTopSpin->SetPrecision(4);
        m_plotTopSpin->SetStep(2.0f, 1);
        m_plotTopSpin->SetLimits(10000.0f, static_cast<float>(10.0 * m_settings->PlotRange));
        value = std::clamp(value, 1e-6f, 10000.0f);
        m_settings->PlotTop = value;
        break;
    default:
        return;
    }
    AfterLimitChange();
}

void TSpectraPlot::OnPlotRangeChanged()
{
    if (m_creatingControls || m_inLayout || !m_settings || !m_scaling || DeferTyping(m_plotRangeEdit.get()))
        return;
    ApplyPlotRange(ReadNumber(m_plotRangeEdit.get(), 40));
}

bool TSpectraPlot::ApplyTypedBoxes(bool finished)
{
    if (!m_settings || !m_scaling)
        return false;
    bool pending = false;
    for (CEdit* box : {m_plotTopEdit.get(), m_plotRangeEdit.get()}) {
        if (!box || !box->GetModify())
            continue;
        const bool top = box == m_plotTopEdit.get();
        double value = 0.0;
        // A dB range below the smallest waits for more digits ("0" of "0.5") until Enter.
        const bool taken =
            TypedValue(box, value) && (top || m_scaling->AmpScaleType != 1 || value >= 0.1 || finished);
        if (!taken) {
            pending = pending || !finished;
            if (finished)
                SetNumber(box, "%3.6f", top ? m_settings->PlotTop : m_settings->PlotRange);
            continue;
        }
        box->SetModify(FALSE);
        if (top)
            ApplyPlotTop(static_cast<float>(value));
        else
            ApplyPlotRange(value);
    }
    return pending;
}

void TSpectraPlot::ApplyPlotRange(double value)
{
    switch (m_scaling->AmpScaleType) {
    case 1:
        m_plotRangeSpin->SetPrecision(2);
        m_plotRangeSpin->SetStep(5.0f, 0);
        m_plotRangeSpin->SetLimits(300.0f, 0.1f);
        // Also what keeps the dB mapping from dividing by a range of 0 ("N/A" reads as 0).
        if (!(value >= 0.1)) {
            value = 0.1;
            m_inLayout = 1;
            m_plotRangeEdit->SetWindowText("0.1");
            m_inLayout = 0;
        }
        m_settings->PlotRange = value;
        break;
    case 2:
        m_plotRangeSpin->SetPrecision(9);
        m_plotRangeSpin->SetStep(2.0f, 1);
        m_plotRangeSpin->SetLimits(m_settings->PlotTop / 10.0f, 1e-9f);
        if (!(value >= 1e-9))
            value = 1e-9;
        m_settings->PlotRange = value;
        break;
    default:
        return;
    }
    AfterLimitChange();
}

void TSpectraPlot::AfterLimitChange()
{
    BuildAmplitudeLabels();
    BuildAmplitudeLabelsB();
    ReloadOverlays();
    UpdateFrame(0.0f);
    Invalidate();
    UpdateWindow();
}

void TSpectraPlot::OnPeakHoldChanged()
{
    if (m_creatingControls || !m_settings || !m_peakHoldCombo)
        return;
    const int sel = m_peakHoldCombo->GetCurSel();
    if (sel < 0)
        return;
    const WORD hold = static_cast<WORD>(m_peakHoldCombo->GetItemData(sel));
    if (hold == m_settings->PeakHold)
        return;
    m_settings->PeakHold = hold;
    if (m_traceA) {
        m_traceA->SetPeakDecay(hold);
        Invalidate();
    }
    if (m_traceB) {
        m_traceB->SetPeakDecay(0);
        Invalidate();
    }
}

void TSpectraPlot::OnStyle(WORD type)
{
    if (!m_settings)
        return;
    m_settings->PlotType = type;
    UpdateLayout();
    UpdateFrame(0.0f);
    Invalidate();
    UpdateWindow();
}

void TSpectraPlot::SmoothSpectrum(int bins)
{
    if (!m_scaling || m_scaling->FreqScaleType == 2 || m_scaling->AmpScaleType == 0 || m_scaling->AmpScaleType == 2) {
        MessageBoxA(this, kSmoothMessage, "", MB_OK | MB_ICONSTOP);
        return;
    }
    if (m_traceA)
        m_traceA->SmoothSpectrum(bins);
    if (m_traceB)
        m_traceB->SmoothSpectrum(bins);
    UpdateFrame(0.0f);
}

void TSpectraPlot::ClearSpectrum()
{
    if (m_traceA)
        m_traceA->ClearSpectra();
    if (m_traceB)
        m_traceB->ClearSpectra();
    UpdateFrame(0.0f);
    Invalidate();
    UpdateWindow();
}

void TSpectraPlot::ClearPeakHold()
{
    if (m_traceA)
        m_traceA->ClearPeakHold();
    if (m_traceB)
        m_traceB->ClearPeakHold();
    UpdateFrame(0.0f);
    for (auto* points : {&m_peakPoints, &m_prevPeak})
        for (POINT& p : *points)
            p.y = 0;
    Invalidate();
    UpdateWindow();
}

void TSpectraPlot::SetMarker(int index)
{
    if (!m_markers || index < 0 || index >= MarkerSettings::kMarkers)
        return;
    m_markers->Freq[index] = ColumnToFrequency(m_cursorPoint.x);
    m_markers->Enabled[index] = 1;
    InvalidateRect(&m_plotRect, TRUE);
}

void TSpectraPlot::ClearMarker(int index)
{
    if (!m_markers || index < 0 || index >= MarkerSettings::kMarkers)
        return;
    m_markers->Enabled[index] = 0;
    InvalidateRect(&m_plotRect, TRUE);
}

void TSpectraPlot::SetTimeUnitsMsec(bool on)
{
    if (static_cast<BYTE>(on) == m_quefrency)
        return;
    m_quefrency = on ? 1 : 0;
    std::strcpy(m_xUnit, on ? " msec" : " Hz");
    UpdateLayout();
}

void TSpectraPlot::RefreshSysColors()
{
    TPlotBase::RefreshSysColors();
    for (CToolBtn* b : {m_zoomIn.get(), m_zoomFull.get(), m_zoom2xIn.get(), m_zoom2xOut.get(), m_lineButton.get(),
                        m_stepBarButton.get(), m_barButton.get(), m_autoscaleButton.get(), m_optionsButton.get(),
                        m_markerButton.get()})
        if (b)
            b->LoadBitmaps();
}

COLORREF TSpectraPlot::PlotBackgroundColor() const
{
    return m_settings ? m_settings->BackgroundColor : RGB(255, 255, 255);
}

// ---------------------------------------------------------------------------------------------
// Commands and menus

void TSpectraPlot::OnStyleCommand(UINT id) { OnStyle(static_cast<WORD>(id == kLine ? 0 : id == kBar ? 1 : 2)); }

void TSpectraPlot::OnProperties()
{
    if (CWnd* frame = AfxGetMainWnd())
        frame->PostMessage(WM_COMMAND, ID_PLOT_OPTIONS, 0);
}

void TSpectraPlot::OnMarkerOptions()
{
    if (!m_markers)
        return;
    TMarkerOptionsDialog dialog(this, m_markers);
    if (dialog.DoModal() != IDCANCEL)
        InvalidateRect(&m_plotRect, TRUE);
}

void TSpectraPlot::OnViewDataValues()
{
    if (m_dataView) {
        m_dataView.reset();
        return;
    }
    const bool composite = m_channel >= 8;
    CRect r = m_plotRect;
    r.left += 20;
    r.top += 20;
    ClientToScreen(&r);
    auto view = std::make_unique<CDataView>();
    if (!view->Create(this, r, m_traceA, composite ? m_channel - 8 : m_channel, composite, 2))
        return;
    view->ShowWindow(SW_SHOW);
    m_dataView = std::move(view);
}

LRESULT TSpectraPlot::OnDataViewClosing(WPARAM, LPARAM)
{
    m_dataView.reset();
    return 1;
}

void TSpectraPlot::OnAutoscaleCommand() { Autoscale(); }
void TSpectraPlot::OnCopyText() { CopyDataToClipboard(); }
void TSpectraPlot::OnWriteText() { WriteTextFile(); }
void TSpectraPlot::OnCopyBitmap() { CopyBitmapWithoutToggles(); }
void TSpectraPlot::OnClearSpectrum() { ClearSpectrum(); }
void TSpectraPlot::OnClearPeakHold() { ClearPeakHold(); }

void TSpectraPlot::OnSetMarker(UINT id)
{
    SetMarker(id == kSetMarker7 ? 6 : id == kSetMarker8 ? 7 : static_cast<int>(id - kSetMarker1));
}

void TSpectraPlot::OnClearMarker(UINT id) { ClearMarker(static_cast<int>(id - kClearMarker1)); }

void TSpectraPlot::OnClearAllMarkers()
{
    for (int i = 0; i < MarkerSettings::kMarkers; ++i)
        ClearMarker(i);
}

void TSpectraPlot::OnPullCursor()
{
    if (m_settings)
        m_settings->GrabCursorFlag = m_settings->GrabCursorFlag == 1 ? 0 : 1;
}

// Cepstrum, inverse FFT and Q factor work on the channel's processing objects, which the
// frame owns; composite windows do not offer them.
void TSpectraPlot::OnChannelCommand(UINT id)
{
    if (m_channel < 8)
        if (CWnd* frame = AfxGetMainWnd())
            frame->SendMessage(WM_SPECTRUM_COMMAND, id, reinterpret_cast<LPARAM>(this));
}

void TSpectraPlot::OnHelp() {}

void TSpectraPlot::OnSmooth(UINT id)
{
    SmoothSpectrum(id == kSmoothNone ? 1 : static_cast<int>(2 * (id - kSmoothNone) + 1));
}

void TSpectraPlot::OnToggle(UINT id)
{
    if (m_creatingControls || m_inLayout || !m_settings)
        return;
    if (id == kToolbarToggle) {
        m_settings->ShowToolbar = m_settings->ShowToolbar ? 0 : 1;
        UpdateLayout();
        LayoutToolStrip();
        return;
    }
    BYTE& flag = id == kMeterToggle ? m_settings->ShowPowerMeter : m_settings->ShowOverlayControls;
    flag = flag ? 0 : 1;
    UpdateLayout();
    LayoutOverlayControls();
    if (m_zoomIn)
        m_zoomIn->SetFocus();
}

void TSpectraPlot::CopyBitmapWithoutToggles()
{
    for (CButton* b : {m_toolbarToggle.get(), m_meterToggle.get(), m_overlayToggle.get()})
        if (b)
            b->ShowWindow(SW_HIDE);
    CopyBitmapToClipboard();
    for (CButton* b : {m_toolbarToggle.get(), m_meterToggle.get(), m_overlayToggle.get()})
        if (b)
            b->ShowWindow(SW_SHOW);
}

void TSpectraPlot::OnRButtonDown(UINT, CPoint point)
{
    if (CMDIFrameWnd* frame = GetMDIFrame())
        frame->MDIActivate(this);
    if (m_tracking) {
        ShowCursorMenu(point);
        return;
    }
    m_cursorPoint = point;
    const CRect pane = GetPaneAtPoint(point);
    if (pane.PtInRect(point))
        ShowPlotMenu(point);
}

void TSpectraPlot::OnRButtonUp(UINT, CPoint) {}

void TSpectraPlot::ShowCursorMenu(CPoint client)
{
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kCopyCursor, "Copy measurement cursor Values to clipboard");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy to clipboard as Bitmap");
    CPoint screen = client;
    ClientToScreen(&screen);
    // The choice comes back here rather than as a command, so no item waits for a handler.
    const UINT chosen =
        static_cast<UINT>(menu.TrackPopupMenu(TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, screen.x, screen.y, this));
    menu.DestroyMenu();
    if (chosen == kCopyCursor) {
        CopyCursorValuesToClipboard(this, "Freq", static_cast<double>(m_xValue), "Amp", static_cast<double>(m_yValue));
    } else if (chosen == kCopyBitmap) {
        CopyBitmapWithoutToggles();
    }
    // The drag ends as if the button had been released here.
    TPlotBase::OnLButtonUp(0, client);
}

void TSpectraPlot::ShowPlotMenu(CPoint client)
{
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kCopyText, "&Copy As Text");
    menu.AppendMenu(MF_STRING, kWriteText, "Write to &Text File...");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy As &Bitmap");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kClearSpectrum, "Clear &Spectrum");
    menu.AppendMenu(MF_STRING, kClearPeakHold, "Clear &Peak Hold");
    menu.AppendMenu(MF_STRING, kAutoscaleMenu, "&Autoscale Spectrum");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | (m_settings && m_settings->GrabCursorFlag ? MF_CHECKED : 0), kPullCursor,
                    "Pull Cursor To Trace");
    menu.AppendMenu(MF_SEPARATOR);
    if (m_channel < 8) {
        menu.AppendMenu(MF_STRING, kInverseFft, "&Inverse FFT");
        menu.AppendMenu(MF_STRING, kCepstrum, "Compute Cepstrum");
        menu.AppendMenu(MF_STRING, kQualityFactor, "Bandwidth and &Q Factor");
        menu.AppendMenu(MF_SEPARATOR);
    }
    CMenu setMarker;
    setMarker.CreatePopupMenu();
    const UINT setIds[8] = {811, 812, 813, 814, 815, 816, 822, 823};
    for (int i = 0; i < 8; ++i) {
        const char name[2] = {static_cast<char>('1' + i), 0};
        setMarker.AppendMenu(MF_STRING, setIds[i], name);
    }
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(setMarker.Detach()), "Set Marker");
    CMenu clearMarker;
    clearMarker.CreatePopupMenu();
    for (int i = 0; i < 8; ++i) {
        const char name[2] = {static_cast<char>('1' + i), 0};
        const bool set = m_markers && m_markers->Enabled[i] == 1;
        clearMarker.AppendMenu(MF_STRING | (set ? 0 : MF_GRAYED), kClearMarker1 + i, name);
    }
    clearMarker.AppendMenu(MF_STRING, kClearMarkerAll, "All");
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(clearMarker.Detach()), "Clear Marker");
    menu.AppendMenu(MF_STRING, kMarkerOptionsMenu, "Marker &Options...");
    menu.AppendMenu(MF_SEPARATOR);
    CMenu smooth;
    smooth.CreatePopupMenu();
    const char* smoothNames[] = {"None", "3 bins", "5 bins", "7 bins", "9 bins", "11 bins", "13 bins", "15 bins"};
    for (UINT i = 0; i < 8; ++i)
        smooth.AppendMenu(MF_STRING, kSmoothNone + i, smoothNames[i]);
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(smooth.Detach()), "Smooth Spectrum");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | (m_dataView ? MF_CHECKED : 0), kViewData, "&View Data Values");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kProperties, "&Properties");
    menu.AppendMenu(MF_STRING, kHelp, "&Help");
    CPoint screen = client;
    ClientToScreen(&screen);
    menu.TrackPopupMenu(TPM_LEFTALIGN, screen.x, screen.y, this);
    menu.DestroyMenu();
}

// ---------------------------------------------------------------------------------------------
// Text export

namespace {
std::string DataRow(SpectralData* a, SpectralData* b, int bin, bool peak)
{
    auto level = [&](SpectralData* s) {
        return FormatPlotNumber("%f", peak ? s->GetPeakHoldValue(static_cast<UINT>(bin)) : s->GetLevel(bin));
    };
    std::string row = FormatPlotNumber("%6.6f", a->GetBinFrequency(static_cast<UINT>(bin)));
    row += '\t';
    row += level(a);
    if (b) {
        row += '\t';
        row += level(b);
    }
    row += "\r\n";
    return row;
}
} // namespace

void TSpectraPlot::CopyDataToClipboard()
{
    if (!m_traceA)
        return;
    if (m_settings && m_settings->PeakHold != 0) {
        TOverlaySourceSelectDialog dialog(this, &s_copySource);
        if (dialog.DoModal() != IDOK)
            return;
    } else {
        s_copySource = 0;
    }
    SpectralData* b = m_traceCount == 2 ? m_traceB : nullptr;
    std::string text = ";Freq(Hz)\t";
    text += m_traceA->GetAmplitudeLabel();
    text += ": ";
    text += m_traceA->GetUnitsLabel();
    text += "\r\n";
    for (int bin = m_visibleStart; bin <= m_visibleEnd; ++bin)
        text += DataRow(m_traceA, b, bin, s_copySource == 1);
    CopyPlotTextToClipboard(this, text, "QorinDT;Data;Spectrum;;", kMemoryMessage, MB_ICONSTOP);
}

void TSpectraPlot::WriteTextFile()
{
    if (!m_traceA)
        return;
    char path[260] = "*.txt";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetSafeHwnd();
    ofn.lpstrFilter = "Text Files (*.txt)\0*.txt\0\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrTitle = "Save Text File";
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&ofn))
        return;
    // A file that cannot be made or written is said so: the user would take silence for success.
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        MessageBoxA(this, std::string("Unable to create the file ") + path + ".", "", MB_OK | MB_ICONSTOP);
        return;
    }
    char header[400];
    std::snprintf(header, sizeof header, ";Channel: %d %s\r\n", m_channel, m_traceA->GetUnitsLabel());
    file << header;
    file << ";Freq(Hz)\t" << m_traceA->GetAmplitudeLabel() << "\r\n";
    SpectralData* b = m_traceCount == 2 ? m_traceB : nullptr;
    for (int bin = m_visibleStart; bin <= m_visibleEnd; ++bin)
        file << DataRow(m_traceA, b, bin, false);
    file.close();
    if (file.fail())
        MessageBoxA(this, std::string("Unable to write the file ") + path + ".", "", MB_OK | MB_ICONSTOP);
}

// ---------------------------------------------------------------------------------------------
// Autoscale

bool TSpectraPlot::FindAutoscaleLimits(const SpectralData* spectrum, int first, int last, double* top,
                                       double* bottom) const
{
    if (!spectrum || !top || !bottom || !m_settings)
        return false;
    double highest = 100.0;
    if (m_settings->PeakHold != 0) {
        highest = spectrum->MaxPeakHold(first, last);
        if (m_settings->ShowPowerMeter)
            highest = spectrum->GetPeakHoldOverallLevel();
    } else {
        highest = spectrum->MaxLevel(first, last);
    }
    if (m_settings->ShowPowerMeter) {
        if (m_settings->PeakHold != 0)
            highest = std::max(highest, static_cast<double>(spectrum->GetPeakHoldOverallLevel()));
        highest = std::max(highest, static_cast<double>(spectrum->GetOverallLevel()));
    }
    float minFreq = 0.0f;
    float minLevel = 0.0f;
    spectrum->FindMinimumInRange(static_cast<UINT>(std::max(first, 0)), static_cast<UINT>(std::max(last, 0)), &minFreq,
                                 &minLevel);
    double lowest = minLevel;

    switch (spectrum->GetAmpScaleType()) {
    case 1: {
        highest = std::min(highest, 300.0);
        lowest = std::max(lowest, -300.0);
        const double span = highest - lowest;
        if (!(span > 1e-6))
            return false;
        const double step = span > 20 ? 10 : span > 10 ? 5 : span > 1 ? 1 : span > 0.1 ? 0.1 : 0.01;
        double t = step * std::trunc(highest / step);
        if (highest > 0)
            t += step;
        double b = step * std::trunc(lowest / step);
        if (lowest < 0)
            b -= step;
        if (step / 4 > span) {
            t += 4 * step;
            b += 4 * step;
        }
        *top = t;
        *bottom = b;
        return true;
    }
    case 0: {
        highest = std::min(highest, 1e9);
        lowest = std::max(lowest, 0.0);
        if (!(highest - lowest > 1e-6))
            return false;
        const double unit = highest > 1e-8 ? std::pow(10.0, std::trunc(std::log10(highest))) : 1.0;
        double t = unit * std::trunc(highest / unit + 1);
        if (t <= 1e-7)
            t = 1.0;
        *top = t;
        return true;
    }
    case 2: {
        highest = std::min(highest, 10000.0);
        lowest = std::max(lowest, 1e-9);
        if (!(highest - lowest > 1e-9))
            return false;
        const double unit = highest > 1e-8 ? std::pow(10.0, std::trunc(std::log10(highest))) : 1.0;
        double t = unit * std::trunc(highest / unit + 1);
        if (t <= 1e-7)
            t = 1.0;
        const double unitLow = lowest > 1e-11 ? std::pow(10.0, std::trunc(std::log10(lowest))) : 1.0;
        double b = unitLow / 10;
        if (b <= 1e-10)
            b = 1.0;
        *top = t;
        *bottom = b;
        return true;
    }
    default:
        return true;
    }
}

void TSpectraPlot::Autoscale()
{
    if (!m_settings || !m_traceA || (m_paneMode == 2 && !m_traceB))
        return;
    const double start = m_settings->PlotTop;
    double topA = start, bottomA = start - m_settings->PlotRange;
    if (!FindAutoscaleLimits(m_traceA, m_visibleStart, m_visibleEnd, &topA, &bottomA))
        return;
    double topB = topA, bottomB = bottomA;
    if (m_paneMode == 2 && !FindAutoscaleLimits(m_traceB, m_visibleStart, m_visibleEnd, &topB, &bottomB))
        return;
    double top = std::max(topA, topB);
    double bottom = std::min(bottomA, bottomB);
    switch (m_traceA->GetAmpScaleType()) {
    case 1: {
        top = std::clamp(top, -300.0, 300.0);
        double range = std::min(top - bottom, 200.0);
        if (range < 1)
            range = 10;
        m_settings->PlotTop = static_cast<float>(top);
        m_settings->PlotRange = range;
        break;
    }
    case 0:
        m_settings->PlotTop = static_cast<float>(top);
        break;
    case 2:
        top = std::clamp(top, 1e-5, 10000.0);
        if (bottom > 1000)
            bottom = 1000;
        if (bottom < 1e-6)
            bottom = 1e-9;
        m_settings->PlotTop = static_cast<float>(top);
        m_settings->PlotRange = bottom;
        break;
    default:
        break;
    }
    UpdateLayout();
}
