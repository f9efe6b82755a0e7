#include "app/CToolbar.h"

#include "records/AppMessages.h"
#include "app/CMainFrame.h"
#include "records/CommonRoutines.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "res/resource.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

BEGIN_MESSAGE_MAP(CToolbar, CWnd)
    ON_BN_CLICKED(CToolbar::IDC_RUN, &CToolbar::OnRun)
    ON_BN_CLICKED(CToolbar::IDC_STOP, &CToolbar::OnStop)
    ON_BN_CLICKED(CToolbar::IDC_RECORD, &CToolbar::OnRecord)
    ON_BN_CLICKED(CToolbar::IDC_REWIND, &CToolbar::OnRewind)
    ON_BN_CLICKED(CToolbar::IDC_FORWARD, &CToolbar::OnForward)
    ON_BN_CLICKED(CToolbar::IDC_TILE, &CToolbar::OnTile)
    ON_EN_CHANGE(CToolbar::IDC_GAIN, &CToolbar::OnEditChange)
    ON_EN_KILLFOCUS(CToolbar::IDC_GAIN, &CToolbar::OnGainKillFocus)
    ON_CBN_SELCHANGE(CToolbar::IDC_AVERAGING, &CToolbar::OnAveraging)
    ON_CBN_SELCHANGE(CToolbar::IDC_CONFIGURATION, &CToolbar::OnConfiguration)
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_TIMER()
    ON_WM_PAINT()
END_MESSAGE_MAP()

namespace {
// The path handed to the frame with WM_LOAD_CONFIGURATION; it must outlive the posted message.
std::string& PostedPath()
{
    static std::string path;
    return path;
}

constexpr DWORD kBlockCounts[30] = {1,  2,  3,  4,  5,  6,  7,  8,   9,   10,  15,  20,  30,  40,  50,
                                    60, 70, 80, 90, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 100000};
constexpr const char* kSpeeds[5] = {"Off", "Fast", "Medium", "Slow", "Forever"};

bool EndsWithCfg(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".cfg";
}

// The input channel whose averaging the active plot shows (a composite's source channel), or
// -1 when no plot is active or the active one is a time series.
int AveragingChannel(const CMainFrame& f)
{
    int kind = 0, channel = 0, composite = 0;
    if (!f.GetActivePlot(&kind, &channel, &composite) || kind == 1)
        return -1;
    const int ch = composite ? f.GetCompositeSource(channel >= 8 ? channel - 8 : channel) : channel;
    return std::clamp(ch, 0, 7);
}

bool LessNoCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}
} // namespace

CToolbar::CToolbar() = default;

CToolbar::~CToolbar()
{
    // The controls go before the window that holds them.
    run_.reset();
    stop_.reset();
    record_.reset();
    rewind_.reset();
    forward_.reset();
    tile_.reset();
    gain_.reset();
    spinner_.reset();
    averaging_.reset();
    position_.reset();
    configs_.reset();
}

CMainFrame* CToolbar::Frame() const { return dynamic_cast<CMainFrame*>(GetParent()); }

BOOL CToolbar::Create(CWnd* pParentWnd)
{
    const RECT r{0, 0, 8000, kHeight};
    const BOOL created = CWnd::Create(nullptr, "Toolbar", WS_CHILD | WS_VISIBLE | WS_BORDER, r, pParentWnd, kWindowId);
    font_.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    if (created)
        OnCreate();
    return created;
}

int CToolbar::OnCreate()
{
    run_ = std::make_unique<CToolBtn>(this, IDC_RUN, "RunUp", "RunDown", nullptr, "Run analyzer");
    stop_ = std::make_unique<CToolBtn>(this, IDC_STOP, "StopUp", "StopDown", nullptr, "Stop analyzer");
    record_ = std::make_unique<CToolBtn>(this, IDC_RECORD, "RecUp", "RecDown", nullptr, "Record wave file");
    rewind_ = std::make_unique<CToolBtn>(this, IDC_REWIND, "RwdUp", "RwdDown", nullptr, "Rewind to beginning of file");
    forward_ = std::make_unique<CToolBtn>(this, IDC_FORWARD, "FwdUp", "FwdDown", nullptr, "Move forward to end of file");
    tile_ = std::make_unique<CToolBtn>(this, IDC_TILE, "TileUp", "TileDown", nullptr,
                                       "Arrange all plots in a tile format");

    const RECT one{0, 0, 1, 1};
    gain_ = std::make_unique<CEdit>();
    gain_->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, one, this, IDC_GAIN);
    gain_->SetFont(&font_);

    // The spinner: a vertical bar whose arrows step the gain box by 1 within -20..+20.
    spinner_ = std::make_unique<CScrollBar>();
    spinner_->Create(WS_CHILD | WS_VISIBLE | SBS_VERT, one, this, IDC_GAIN_SPIN);
    if (CMainFrame* f = Frame()) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", f->Settings.MasterDisplayGain);
        gain_->SetWindowText(text);
    }

    averaging_ = std::make_unique<CComboBox>();
    averaging_->Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, one, this, IDC_AVERAGING);
    position_ = std::make_unique<CScrollBar>();
    position_->Create(WS_CHILD | WS_VISIBLE | SBS_HORZ, one, this, IDC_POSITION);
    configs_ = std::make_unique<CComboBox>();
    configs_->Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, one, this, IDC_CONFIGURATION);

    ArrangeControls();
    FillConfigurations();
    position_->SetScrollRange(0, 1000);
    created_ = 1;
    return 0;
}

CToolBtn* CToolbar::Button(UINT id) const
{
    switch (id) {
    case IDC_RUN: return run_.get();
    case IDC_STOP: return stop_.get();
    case IDC_RECORD: return record_.get();
    case IDC_REWIND: return rewind_.get();
    case IDC_FORWARD: return forward_.get();
    case IDC_TILE: return tile_.get();
    default: return nullptr;
    }
}

void CToolbar::ArrangeControls()
{
    struct Place {
        CWnd* wnd;
        int x, y, w, h;
        bool shown;
    };
    auto place = [](const Place& p) {
        if (!p.wnd)
            return;
        p.wnd->MoveWindow(p.x, p.y, p.w, p.h, TRUE);
        p.wnd->ShowWindow(p.shown ? SW_SHOW : SW_HIDE);
    };
    const bool realTime = mode_ == 0;
    const bool recorder = mode_ == 1;
    const int off = realTime ? 0 : 360; // Recorder and Post Process make room for the file controls
    place({run_.get(), 2, 1, 40, 32, !recorder});
    place({record_.get(), 2, 1, 40, 32, recorder});
    place({stop_.get(), 44, 1, 40, 32, true});
    place({rewind_.get(), 86, 1, 40, 32, !realTime});
    place({forward_.get(), 128, 1, 40, 32, !realTime});
    place({position_.get(), 240, 9, 150, 16, !realTime});
    place({gain_.get(), 180 + off, 8, 26, 20, true});
    place({spinner_.get(), 210 + off, 1, 16, 32, true});
    place({tile_.get(), 240 + off, 1, 40, 32, true});
    place({configs_.get(), 290 + off, 6, 300, 840, true});
    place({averaging_.get(), realTime ? 146 : 230, 6, 66, 480, false});
}

void CToolbar::SetMode(WORD mode)
{
    mode_ = mode;
    FillConfigurations();
    ArrangeControls();
    Invalidate();
    UpdateWindow();
}

void CToolbar::ReloadBitmaps()
{
    for (UINT id : {IDC_RUN, IDC_STOP, IDC_RECORD, IDC_REWIND, IDC_FORWARD, IDC_TILE})
        if (CToolBtn* b = Button(id))
            b->LoadBitmaps();
}

// ---- Buttons --------------------------------------------------------------------------

void CToolbar::OnRun()
{
    if (CMainFrame* f = Frame())
        f->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RUN, 0), 0);
}

void CToolbar::OnStop()
{
    if (CMainFrame* f = Frame())
        f->SendMessage(WM_COMMAND, MAKEWPARAM(ID_STOP, 0), 0);
}

void CToolbar::OnRecord() { OnRun(); }

void CToolbar::StopRecordingBeforeMoving()
{
    // A recording writes at its files' position: moved while recording, the next samples
    // would land over the take. The take ends first, whole, as Stop ends it.
    CMainFrame* f = Frame();
    if (f != nullptr && f->Settings.OpMode == 1 && f->AcquisitionRunning)
        OnStop();
}

void CToolbar::OnRewind()
{
    StopRecordingBeforeMoving();
    if (CMainFrame* f = Frame())
        f->RewindWaveFiles();
}

void CToolbar::OnForward()
{
    StopRecordingBeforeMoving();
    if (CMainFrame* f = Frame())
        f->SeekWaveFilesToEnd();
}

void CToolbar::OnTile()
{
    if (CMainFrame* f = Frame())
        f->TilePlots();
}

void CToolbar::UpdateRunButtons()
{
    CMainFrame* f = Frame();
    const bool running = f && f->IsRunning();
    run_->SetPressed(running);
    record_->SetPressed(running);
    stop_->SetPressed(!running);
}

// ---- File position --------------------------------------------------------------------

int CToolbar::ActiveChannel() const
{
    CMainFrame* f = Frame();
    int kind = 0, channel = 0, composite = 0;
    if (!f || !f->GetActivePlot(&kind, &channel, &composite))
        return 0;
    return channel;
}

void CToolbar::UpdateState(bool redrawPosition, bool redrawLength)
{
    CMainFrame* f = Frame();
    if (mode_ == 0 || !f || !created_)
        return;
    const int ch = ActiveChannel();
    const double p = ch >= 0 && ch < 8 ? f->GetChannelFileTime(ch) : 0.0;
    const double length = ch >= 0 && ch < 8 ? f->GetChannelFileDuration(ch) : 0.0;
    position_->SetScrollPos(length > 0 ? static_cast<int>(p * 1000.0 / length) : 0, TRUE);
    if (redrawPosition) {
        const RECT r{170, 5, 238, 22};
        InvalidateRect(&r);
    }
    if (redrawLength) {
        const RECT r{392, 5, 462, 22};
        InvalidateRect(&r);
    }
    UpdateWindow();
}

void CToolbar::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    CMainFrame* f = Frame();
    if (mode_ == 0 || !f || pScrollBar != position_.get())
        return;
    int pos = position_->GetScrollPos();
    switch (nSBCode) {
    case SB_LINELEFT: pos -= 10; break;
    case SB_LINERIGHT: pos += 10; break;
    case SB_PAGELEFT: pos -= 100; break;
    case SB_PAGERIGHT: pos += 100; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = static_cast<int>(nPos); break;
    default: return;
    }
    StopRecordingBeforeMoving();
    pos = std::clamp(pos, 0, 1000);
    position_->SetScrollPos(pos, FALSE);
    const int ch = ActiveChannel();
    const double length = ch >= 0 && ch < 8 ? f->GetChannelFileDuration(ch) : 0.0;
    const float seconds = static_cast<float>(pos * length / 1000.0);
    for (int c = 0; c < 8; ++c)
        f->SetChannelFileTime(c, seconds);
    UpdateState(true, false);
}

// ---- Display gain ---------------------------------------------------------------------

void CToolbar::StepGain(int delta)
{
    char text[64] = {};
    gain_->GetWindowText(text, sizeof text);
    const int value = std::clamp(std::atoi(text) + delta, -20, 20);
    std::snprintf(text, sizeof text, "%d", value);
    gain_->SetWindowText(text); // notifies EN_CHANGE, which starts the timer
}

void CToolbar::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    if (pScrollBar != spinner_.get())
        return;
    if (nSBCode == SB_LINEUP)
        StepGain(+1);
    else if (nSBCode == SB_LINEDOWN)
        StepGain(-1);
}

void CToolbar::OnEditChange()
{
    if (!created_)
        return;
    CMainFrame* f = Frame();
    KillTimer(kTimerEdit);
    SetTimer(kTimerEdit, f && f->AcquisitionRunning ? 10 : 500);
}

void CToolbar::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kTimerEdit)
        return;
    KillTimer(kTimerEdit);
    char text[257] = {};
    gain_->GetWindowText(text, 256);
    CMainFrame* f = Frame();
    if (!f)
        return;
    // Text that is no whole number (yet: "-" while typing "-5") changes nothing; the box
    // shows the gain in force again when it loses the focus.
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == text || !end || *end != '\0')
        return;
    f->SetDisplayGainShift(errno == ERANGE ? (value < 0 ? -20 : 20) : static_cast<int>(std::clamp(value, -1000L, 1000L)));
    // A value outside -20..+20 was clamped: show what is in force.
    if (value != f->Settings.MasterDisplayGain)
        ShowDisplayGain();
}

void CToolbar::ShowDisplayGain()
{
    CMainFrame* f = Frame();
    if (!f || !gain_)
        return;
    char text[16];
    std::snprintf(text, sizeof text, "%d", f->Settings.MasterDisplayGain);
    char shown[257] = {};
    gain_->GetWindowText(shown, 256);
    if (std::strcmp(shown, text) != 0)
        gain_->SetWindowText(text);
}

void CToolbar::OnGainKillFocus() { ShowDisplayGain(); }

// ---- Configuration list ---------------------------------------------------------------

void CToolbar::FillConfigurations()
{
    configs_->ResetContent();
    configFiles_.clear();
    configs_->AddString("Load Configuration");
    if (CMainFrame* f = Frame()) {
        std::error_code ec;
        std::vector<std::string> names;
        // Stepped with an error code so a folder that fails part-way ends the list quietly.
        std::filesystem::directory_iterator it(f->Settings.Paths.cfg, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code typeError;
            if (EndsWithCfg(name) && it->is_regular_file(typeError))
                names.push_back(name);
        }
        // Listed as the Windows folder search returns them: by name, without regard to case.
        std::sort(names.begin(), names.end(), LessNoCase);
        for (const std::string& name : names) {
            configFiles_.push_back(name);
            configs_->AddString(name.substr(0, name.size() - 4).c_str());
        }
    }
    configs_->SetCurSel(0);
}

void CToolbar::OnConfiguration()
{
    CMainFrame* f = Frame();
    if (!created_ || !f)
        return;
    const int sel = configs_->GetCurSel();
    if (sel <= 0 || sel > static_cast<int>(configFiles_.size()))
        return;
    f->OnStop();
    std::string folder = f->Settings.Paths.cfg;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    PostedPath() = folder + configFiles_[static_cast<std::size_t>(sel - 1)];
    f->PostMessage(WM_LOAD_CONFIGURATION, 0, reinterpret_cast<LPARAM>(PostedPath().c_str()));
}

// ---- Averaging list -------------------------------------------------------------------

int CToolbar::FindAveragingIndex(DWORD blocks)
{
    long n = static_cast<long>(blocks);
    if (n < 1)
        n = 1;
    long snapped;
    if (n <= 10)
        snapped = n;
    else if (n <= 12)
        snapped = 10;
    else if (n <= 17)
        snapped = 15;
    else if (n <= 24)
        snapped = 20;
    else if (n <= 94)
        snapped = ((n + 5) / 10) * 10;
    else if (n <= 149)
        snapped = 100;
    else if (n <= 949)
        snapped = ((n + 50) / 100) * 100;
    else if (n <= 1999)
        snapped = 1000;
    else if (n >= 2001)
        snapped = 100000;
    else
        return 0; // exactly 2000 falls between the bands
    for (int i = 0; i < 30; ++i)
        if (static_cast<long>(kBlockCounts[i]) == snapped)
            return i;
    return 0;
}

void CToolbar::FillAveraging()
{
    CMainFrame* f = Frame();
    const int ch = f != nullptr ? AveragingChannel(*f) : -1;
    if (ch < 0) {
        averaging_->ResetContent();
        averaging_->EnableWindow(FALSE);
        averaging_->Invalidate();
        return;
    }
    const ChannelProcessingSettings& p = f->Settings.Processing[ch];
    averaging_->ResetContent();
    averaging_->EnableWindow(TRUE);
    if (p.AverageMode != 0) {
        for (const char* s : kSpeeds)
            averaging_->AddString(s);
        averaging_->SetCurSel(p.AverageSpeed);
    } else {
        for (int i = 0; i < 30; ++i) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", static_cast<int>(kBlockCounts[i]));
            const int index = averaging_->AddString(i == 29 ? "Infinite" : text);
            averaging_->SetItemData(index, kBlockCounts[i]);
        }
        averaging_->SetCurSel(FindAveragingIndex(p.AverageBlocks));
    }
}

void CToolbar::OnAveraging()
{
    CMainFrame* f = Frame();
    if (!created_ || !f)
        return;
    const int ch = AveragingChannel(*f);
    if (ch < 0) {
        averaging_->ResetContent();
        averaging_->EnableWindow(FALSE);
        return;
    }
    ChannelProcessingSettings& p = f->Settings.Processing[ch];
    const int sel = averaging_->GetCurSel();
    if (sel < 0)
        return;
    if (p.AverageMode != 0)
        p.AverageSpeed = static_cast<WORD>(sel);
    else
        p.AverageBlocks = static_cast<DWORD>(averaging_->GetItemData(sel));
    f->ApplyChannelAveraging(ch);
    Invalidate();
}

// ---- Painting -------------------------------------------------------------------------

void CToolbar::OnPaint()
{
    CPaintDC dc(this);
    RECT client{};
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    CFont* old = dc.SelectObject(&font_);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextAlign(TA_RIGHT);
    if (mode_ == 0) {
        dc.TextOut(176, 9, "Display Gain");
    } else {
        dc.TextOut(536, 9, "Display Gain");
        CMainFrame* f = Frame();
        const int ch = ActiveChannel();
        const bool valid = f && ch >= 0 && ch < 8;
        const float p = valid ? static_cast<float>(f->GetChannelFileTime(ch)) : 0.0f;
        const float length = valid ? f->GetChannelFileDuration(ch) : 0.0f;
        dc.TextOut(238, 9, FormatTime(p, true, false));
        dc.SetTextAlign(TA_LEFT);
        dc.TextOut(393, 9, FormatTime(length, true, false));
    }
    dc.SetTextAlign(TA_LEFT);
    dc.SelectObject(old);
}
