#include "siggen/CSigGen.h"

#include "records/AppMessages.h"
#include "platform/core/MessageBox.h"
#include "platform/core/SysTime.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"
#include "siggen/WaveformDialogs.h"
#include "siggen/WaveformSynthesis.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#ifndef MM_WOM_DONE
#define MM_WOM_DONE 0x3BD
#endif

namespace {
constexpr UINT kRunId = 401, kStopId = 402, kIoId = 403, kCombo1Id = 404, kCombo2Id = 405, kDetails1Id = 406,
               kDetails2Id = 407, kSaveId = 408;

struct WaveformItem {
    const char* text;
    int type;
};
constexpr WaveformItem kWaveforms[] = {
    {"White Noise", 0},     {"Pink Noise", 1}, {"Noise Burst", 2},  {"1 kHz Tone", 3},  {"Multiple Tones", 4},
    {"Tone Burst", 5},      {"IMD Test Tones", 6}, {"Freq Sweep", 7}, {"Freq Step", 16}, {"Level Sweep", 8},
    {"Sawtooth", 9},        {"Triangular", 10}, {"Pulse", 11},      {"Square", 12},     {"DTMF", 14},
    {"Digital Zero", 15},   {"User Defined", 13}};

bool HasParameters(int type)
{
    return type != SigGenType::WhiteNoise && type != SigGenType::PinkNoise && type != SigGenType::Tone1k &&
           type != SigGenType::DigitalZero;
}

void Stop(const std::string& text) { AfxMessageBox(text, MB_OK | MB_ICONSTOP); }
} // namespace

BEGIN_MESSAGE_MAP(CSigGen, CWnd)
    ON_WM_PAINT()
    ON_WM_CLOSE()
    ON_WM_SIZE()
    ON_BN_CLICKED(kRunId, &CSigGen::OnRun)
    ON_BN_CLICKED(kStopId, &CSigGen::OnStop)
    ON_BN_CLICKED(kIoId, &CSigGen::OnIoSettings)
    ON_BN_CLICKED(kSaveId, &CSigGen::OnSaveSignal)
    ON_BN_CLICKED(kDetails1Id, &CSigGen::OnDetails1)
    ON_BN_CLICKED(kDetails2Id, &CSigGen::OnDetails2)
    ON_CBN_SELCHANGE(kCombo1Id, &CSigGen::OnWaveform1Changed)
    ON_CBN_SELCHANGE(kCombo2Id, &CSigGen::OnWaveform2Changed)
    ON_MESSAGE(WM_WAVEFORM_BUILT, &CSigGen::OnWaveformBuilt)
    ON_MESSAGE(MM_WOM_DONE, &CSigGen::OnWaveOutDone)
END_MESSAGE_MAP()

CSigGen::CSigGen() = default;

CSigGen::~CSigGen()
{
    // The builder writes nothing of the window's, but it must be gone before the wave it may
    // hand over and the controls it reports to.
    m_builder.Abort();
    m_builder.Join();
    if (m_sound) {
        m_sound->Stop();
        m_sound.reset();
    }
    m_device.StopOutput();
    m_wave.reset();
    if (m_hWnd)
        DestroyWindow();
}

BOOL CSigGen::CreateWnd(CWnd* frame, int x, int y, const SigGenLinks& links)
{
    m_frame = frame ? frame : AfxGetMainWnd();
    m_links = links;
    LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
    if (!CreateEx(WS_EX_TOOLWINDOW, cls, "SigGen", WS_POPUP | WS_CAPTION | WS_SYSMENU, CRect(x, y, x + 216, y + 120),
                  m_frame, 0))
        return FALSE;
    // The rectangle is the window's outer one, title bar included, as its recorded placement
    // is: placed by its client area it would climb by a title bar at every reopening.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(&placement);
    placement.showCmd = SW_HIDE;
    placement.rcNormalPosition = RECT{x, y, x + 216, y + 120};
    SetWindowPlacement(&placement);
    m_font.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SetupWindow();
    return TRUE;
}

void CSigGen::SetupWindow()
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    m_run.Create("Run", style | BS_PUSHBUTTON, CRect(4, 4, 110, 30), this, kRunId);
    m_stop.Create("Stop", style | BS_PUSHBUTTON, CRect(4, 4, 46, 30), this, kStopId);
    m_io.Create("I/O Settings", style | BS_PUSHBUTTON, CRect(116, 4, 206, 30), this, kIoId);
    m_combo[0].Create(style | CBS_DROPDOWNLIST | WS_VSCROLL, CRect(4, 36, 110, 436), this, kCombo1Id);
    m_combo[1].Create(style | CBS_DROPDOWNLIST | WS_VSCROLL, CRect(20, 64, 110, 464), this, kCombo2Id);
    m_details[0].Create("Details...", style | BS_PUSHBUTTON, CRect(116, 36, 206, 59), this, kDetails1Id);
    m_details[1].Create("Details...", style | BS_PUSHBUTTON, CRect(116, 64, 206, 87), this, kDetails2Id);
    m_save.Create("Save Signal To Wave File...", style | BS_PUSHBUTTON, CRect(4, 64, 206, 87), this, kSaveId);
    for (CControlWnd* c : {static_cast<CControlWnd*>(&m_run), static_cast<CControlWnd*>(&m_stop),
                           static_cast<CControlWnd*>(&m_io), static_cast<CControlWnd*>(&m_save),
                           static_cast<CControlWnd*>(&m_combo[0]),
                           static_cast<CControlWnd*>(&m_combo[1]), static_cast<CControlWnd*>(&m_details[0]),
                           static_cast<CControlWnd*>(&m_details[1])})
        c->SetFont(&m_font);
    FillWaveformCombo(0);
    FillWaveformCombo(1);

    std::unique_ptr<TWaveFile> pink(TWaveFile::FromResource("PinkWave", "PINKWAVE"));
    if (pink && !pink->IsError() && pink->GetBytesPerSample() == 2 && pink->GetLength() > 0) {
        std::vector<std::int16_t> samples(pink->GetLength());
        std::memcpy(samples.data(), pink->GetData(), samples.size() * sizeof(std::int16_t));
        m_builder.SetPinkNoise(std::move(samples));
    } else {
        MessageBoxA(this, "Failure Loading Resources - insufficient memory.", "Signal Generator", MB_OK | MB_ICONSTOP);
    }
    PrepareFormat();
    BuildWaveform();
    ShowWindow(SW_SHOW);
    m_initialised = 1;
    Layout();
}

int CSigGen::ChannelCount() const
{
    return m_links.Output && m_links.Output->SigGenNumChannels == 2 ? 2 : 1;
}

void CSigGen::SendToStatusBar(UINT message)
{
    if (m_links.StatusBar && m_links.StatusBar->GetSafeHwnd())
        m_links.StatusBar->SendMessage(message, 0, 0);
}

void CSigGen::PrepareFormat()
{
    SigGenOutputChoice choice;
    choice.Output = m_links.Output;
    choice.Channel = m_links.Channel;
    choice.SoundCard = !m_links.UseSoundCard || *m_links.UseSoundCard != 0;
    choice.DeviceIndex = m_links.DaOutputIndex ? *m_links.DaOutputIndex : -1;
    choice.TempFolder = m_links.TempFolder;
    // The D/A device is asked only whether it opens; it reports no output capabilities.
    m_format = PrepareOutputFormat(choice, [this](int index) {
        const bool ok = m_device.OpenDevice(this, index, 1);
        m_device.CloseDevice();
        return ok;
    });
}

void CSigGen::BuildWaveform()
{
    if (!m_links.Output || !m_links.Channel)
        return;
    // Nothing may play from the wave that is about to be replaced.
    if (m_sound) {
        m_sound->Stop();
        m_sound.reset();
    }
    m_run.EnableWindow(FALSE);
    m_stop.EnableWindow(FALSE);
    if (m_hWnd)
        SetWindowText("Building Waveform...");
    SendToStatusBar(WM_STATUS_SHOWPROGRESS);
    PrepareFormat();
    SigGenBuildRequest request;
    request.Format = m_format;
    request.Output = *m_links.Output;
    request.Channel[0] = m_links.Channel[0];
    request.Channel[1] = m_links.Channel[1];
    request.TempFolder = m_links.TempFolder;
    // User wave files are read here: a file that fails may show its own message, and message
    // boxes belong to this thread.
    request.UserWaveLoaded = true;
    for (int c = 0; c < static_cast<int>(m_format.Channels) && c < 2; ++c) {
        const SigGenChannelSettings& s = request.Channel[c];
        if (s.Type != SigGenType::UserDefined)
            continue;
        const std::string path(s.UserWave.Path, strnlen(s.UserWave.Path, sizeof s.UserWave.Path));
        std::shared_ptr<TWaveFile> file;
        try {
            if (!path.empty())
                file = std::make_shared<TWaveFile>(path, TWaveFile::kMemory, false, m_links.TempFolder);
        } catch (const std::bad_alloc&) {
            file.reset();
        }
        if (file && !file->IsError())
            request.UserWave[c] = file;
        else
            Stop(UserWaveFailureText(path));
    }
    m_wave.reset();
    m_length = 0;
    m_position = 0;
    m_buildCollected = false;
    const HWND status = m_links.StatusBar ? m_links.StatusBar->GetSafeHwnd() : nullptr;
    m_buildSerial = m_builder.Start(request, m_hWnd, status);
}

void CSigGen::FinishBuild()
{
    if (m_buildCollected || m_builder.IsBuilding())
        return;
    m_buildCollected = true;
    m_wave = m_builder.TakeWave();
    for (const std::string& text : m_builder.TakeReports())
        Stop(text);
    if (m_builder.LastStatus() == kBuildNoMemory)
        MessageBoxA(this, "Signal Generator - insufficient memory available to build selected waveform.", "",
                    MB_OK | MB_ICONSTOP);
    m_length = m_wave ? m_wave->GetLength() : 0;
    m_position = 0;
    if (m_hWnd && !m_running)
        SetWindowText("Signal Generator");
    m_run.EnableWindow(TRUE);
    m_stop.EnableWindow(TRUE);
    UpdateDetailsButtons();
    SendToStatusBar(WM_STATUS_HIDEPROGRESS);
}

LRESULT CSigGen::OnWaveformBuilt(WPARAM, LPARAM serial)
{
    // A build that was replaced by a newer one reports too; only the newest counts.
    if (serial == m_buildSerial)
        FinishBuild();
    return 1;
}

bool CSigGen::WaitWhileBuilding()
{
    for (int check = 0; check < 101; ++check) {
        if (!m_builder.IsBuilding())
            return false;
        Sleep(100);
    }
    return m_builder.IsBuilding();
}

void CSigGen::FillWaveformCombo(int channel)
{
    CComboBox& combo = m_combo[channel];
    combo.ResetContent();
    if (channel == 1 && ChannelCount() == 1) {
        combo.AddString("N/A");
        combo.SetCurSel(0);
        return;
    }
    const int type = m_links.Channel ? m_links.Channel[channel].Type : -1;
    for (const WaveformItem& item : kWaveforms) {
        const int at = combo.AddString(item.text);
        combo.SetItemData(at, static_cast<DWORD_PTR>(item.type));
        if (item.type == type)
            combo.SetCurSel(at);
    }
}

void CSigGen::Layout()
{
    if (!m_initialised)
        return;
    auto place = [](CWnd& w, bool shown, int x, int y, int cx, int cy) {
        if (shown)
            w.MoveWindow(x, y, cx, cy);
        w.ShowWindow(shown ? SW_SHOW : SW_HIDE);
    };
    const bool two = ChannelCount() == 2;
    // The boxes get at least the room their longest waveform name needs in this font; what
    // stands right of them moves over by as much.
    const int boxWidth = two ? 90 : 106;
    const int wider = std::max(0, WaveformBoxWidth() - boxWidth);
    // The save button takes one more row below the waveform rows.
    int width = 216 + wider, height = two ? 148 : 116;
    if (m_running) {
        place(m_run, false, 0, 0, 0, 0);
        place(m_stop, true, 4, 4, 42, 26);
        place(m_io, false, 0, 0, 0, 0);
        place(m_save, false, 0, 0, 0, 0);
        for (int c = 0; c < 2; ++c) {
            place(m_combo[c], false, 0, 0, 0, 0);
            place(m_details[c], false, 0, 0, 0, 0);
        }
        SetWindowText("");
        width = 56;
        height = 58;
    } else {
        place(m_run, true, 4, 4, 106 + wider, 26);
        place(m_stop, false, 0, 0, 0, 0);
        place(m_io, true, 116 + wider, 4, 90, 26);
        place(m_combo[0], true, two ? 20 : 4, 36, boxWidth + wider, 400);
        place(m_details[0], true, 116 + wider, 36, 90, 23);
        place(m_combo[1], two, 20, 64, boxWidth + wider, 400);
        place(m_details[1], two, 116 + wider, 64, 90, 23);
        place(m_save, true, 4, two ? 92 : 64, 202 + wider, 23);
        if (!m_builder.IsBuilding() || m_buildCollected)
            SetWindowText("Signal Generator");
    }
    // The sizes are the window's outer ones; the platform sizes the client area, so the frame
    // it adds around it is taken off first.
    CRect outer, client;
    GetWindowRect(&outer);
    GetClientRect(&client);
    const int frameX = std::max(0, outer.Width() - client.Width());
    const int frameY = std::max(0, outer.Height() - client.Height());
    SetWindowPos(nullptr, 0, 0, width - frameX, height - frameY, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
    UpdateDetailsButtons();
}

int CSigGen::WaveformBoxWidth()
{
    COMBOBOXINFO info;
    CRect box;
    m_combo[0].GetWindowRect(&box);
    if (!m_combo[0].GetComboBoxInfo(&info) || box.Width() <= 0)
        return 0;
    // The box's own room: its frame, the arrow and the margins around the text.
    const int around = box.Width() - (info.rcItem.right - info.rcItem.left);
    CClientDC dc(this);
    CFont* old = dc.SelectObject(&m_font);
    int widest = 0;
    for (const WaveformItem& item : kWaveforms)
        widest = std::max(widest, static_cast<int>(dc.GetTextExtent(item.text).cx));
    dc.SelectObject(old);
    return widest + around + 2;
}

void CSigGen::UpdateDetailsButtons()
{
    if (!m_links.Channel)
        return;
    m_details[0].EnableWindow(HasParameters(m_links.Channel[0].Type));
    m_details[1].EnableWindow(m_format.Channels != 1 && HasParameters(m_links.Channel[1].Type));
}

void CSigGen::OnSize(UINT, int, int)
{
    Layout();
}

void CSigGen::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    CFont* old = dc.SelectObject(&m_font);
    dc.SetTextAlign(TA_LEFT | TA_TOP);
    dc.SetBkMode(TRANSPARENT);
    if (m_format.Channels == 2) {
        const bool card = !m_links.UseSoundCard || *m_links.UseSoundCard != 0;
        dc.TextOut(6, 40, card ? "L" : "0");
        dc.TextOut(6, 68, card ? "R" : "1");
    }
    dc.SelectObject(old);
}

bool CSigGen::IsLoopedWaveform() const
{
    if (!m_links.Channel)
        return true;
    const SigGenChannelSettings& s = m_links.Channel[0];
    switch (s.Type) {
    case SigGenType::Pulse: return s.Pulse.SingleShot != 1;
    case SigGenType::Dtmf: return s.Dtmf.Repeat != 0;
    case SigGenType::FreqSweep: return s.FreqSweep.SingleSweep != 1;
    case SigGenType::FreqStep: return s.FreqStep.SinglePass != 1;
    case SigGenType::UserDefined: return s.UserWave.Repeat != 0;
    default: return true;
    }
}

void CSigGen::OnRun()
{
    m_userRan = true;
    m_userStart = true;
    StartOutput();
    m_userStart = false;
}

void CSigGen::StartOutput()
{
    if (m_running || WaitWhileBuilding())
        return;
    FinishBuild();
    SendToStatusBar(WM_STATUS_HIDEPROGRESS);
    SetWindowText("Signal Generator");
    m_running = 1;
    Layout();
    const bool card = !m_links.UseSoundCard || *m_links.UseSoundCard != 0;
    m_running = (card ? StartSoundOutput() : StartDeviceOutput()) ? 1 : 0;
    if (!m_running)
        Layout();
}

bool CSigGen::StartSoundOutput()
{
    if (!m_wave || !m_wave->GetData())
        return false;
    if (m_sound) {
        m_sound->Stop();
        m_sound.reset();
    }
    // A machine without a sound card is told so once while the window is open, not at every
    // Run, and only once the user has run the generator: a live run that starts a window
    // merely left open (restored at start-up) must not stop on a box; the generator stays idle.
    if (TSoundPort::OutputDeviceCount() == 0) {
        if (!m_toldNoSoundCard && m_userRan) {
            AfxMessageBox("No sound card is available on this system.", MB_OK | MB_ICONERROR);
            m_toldNoSoundCard = true;
        }
        return false;
    }
    const int device = m_links.SoundCardIndex ? static_cast<int>(*m_links.SoundCardIndex) : 0;
    m_sound = std::make_unique<TSoundOutput>(device);
    m_sound->SetFormat(m_format.SamplingRate, static_cast<WORD>(m_format.Channels),
                       static_cast<WORD>(m_format.BitsPerSample / 8));
    if (!m_sound->Open(this, false)) {
        m_sound.reset();
        return false;
    }
    UINT result = 0;
    // A write or start the port refused plays nothing: the generator stays idle rather than
    // showing a running state with no sound.
    if (!m_sound->Write(m_wave->GetData(), m_wave->GetDataBytes(), 0, IsLoopedWaveform(), &result) ||
        !m_sound->Restart()) {
        m_sound->Stop();
        m_sound.reset();
        return false;
    }
    return true;
}

bool CSigGen::StartDeviceOutput()
{
    if (!m_wave)
        return false;
    // The KDR-5200 has no analog output, so the D/A path never starts. Only the user's own Run
    // tries it and says why; a live run that starts the generator with it leaves the generator
    // idle without a box, also after the user was told once (at every Run it would say so again).
    // The device is not even opened for it, as its opening says what fails in boxes of its own.
    if (!m_userStart)
        return false;
    const int index = m_links.DaOutputIndex ? *m_links.DaOutputIndex : -1;
    if (index < 0) {
        Stop("There are no Durnex KDR-5200 Series data acquisition devices available on your system.");
        return false;
    }
    if (!m_device.OpenDevice(this, index, 1)) {
        Stop("Failure opening Durnex KDR-5200 Series data acquisition device.  Please check the cabling and retry.");
        return false;
    }
    // The device refuses analog output: the user is told, not left waiting. The device opened
    // above is shared with a live run's input, which goes on undisturbed.
    m_position = 0;
    if (!m_device.OpenOutput(static_cast<int>(m_format.SamplingRate), static_cast<int>(m_format.BitsPerSample),
                             static_cast<int>(m_format.Channels)) ||
        !QueueDeviceBlocks() || !m_device.StartOutput()) {
        m_device.StopOutput();
        m_device.CloseDevice();
        Stop("Failure Configuring KDR5200 Output subsystem.");
        return false;
    }
    return true;
}

bool CSigGen::QueueDeviceBlocks()
{
    constexpr int kBlocks = 20;
    constexpr int kSlots = 8192;
    std::vector<std::int32_t> block(kSlots);
    for (int b = 0; b < kBlocks; ++b) {
        FillDeviceOutputBlock(*m_wave, m_position, IsLoopedWaveform(), block);
        if (!m_device.WriteOutputBuffer(b, kSlots, block.data(), static_cast<int>(m_format.BitsPerSample)))
            return false;
    }
    return true;
}

void CSigGen::OnStop() { StopOutput(); }

void CSigGen::StopOutput()
{
    if (m_builder.IsBuilding())
        return;
    if (m_sound) {
        m_sound->Stop();
        m_sound.reset();
    }
    m_device.StopOutput();
    m_running = 0;
    Layout();
}

LRESULT CSigGen::OnWaveOutDone(WPARAM, LPARAM)
{
    if (!m_wave || IsLoopedWaveform())
        return 0;
    if (m_sound && m_sound->IsHeaderDone(0))
        StopOutput();
    return 0;
}

void CSigGen::OnWaveformChanged(int channel)
{
    if (!m_links.Channel)
        return;
    m_builder.Abort();
    const int sel = m_combo[channel].GetCurSel();
    if (sel == CB_ERR || (channel == 1 && ChannelCount() == 1))
        return;
    m_links.Channel[channel].Type = static_cast<INT>(m_combo[channel].GetItemData(sel));
    StopOutput();
    ShowDetailsDialog(channel);
    UpdateDetailsButtons();
    BuildWaveform();
}

void CSigGen::OnDetails(int channel)
{
    m_builder.Abort();
    const bool wasRunning = m_running != 0;
    m_builder.Join();
    StopOutput();
    ShowDetailsDialog(channel);
    BuildWaveform();
    if (wasRunning)
        StartOutput();
}

void CSigGen::OnIoSettings()
{
    m_builder.Abort();
    m_builder.Join();
    StopOutput();
    if (m_frame && m_frame->GetSafeHwnd())
        m_frame->SendMessage(WM_SIGGEN_IO_SETTINGS, 6, reinterpret_cast<LPARAM>(this));
}

// Saving is the frame's command: it checks the chosen file against the channels' open files.
void CSigGen::OnSaveSignal()
{
    if (m_frame && m_frame->GetSafeHwnd())
        m_frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_UTIL_SAVE_SIGNAL, 0), 0);
}

bool CSigGen::ShowDetailsDialog(int channel)
{
    if (!m_links.Channel)
        return false;
    StopOutput();
    PrepareFormat();
    const int limit = static_cast<int>(m_format.SamplingRate / 2);
    SigGenChannelSettings& s = m_links.Channel[channel];
    std::unique_ptr<CDialog> dialog;
    switch (s.Type) {
    case SigGenType::NoiseBurst: dialog = std::make_unique<CNoiseBurst>(this, &s.NoiseBurst); break;
    case SigGenType::MultipleTones: dialog = std::make_unique<CTones>(this, &s.Tones, limit); break;
    case SigGenType::ToneBurst: dialog = std::make_unique<CToneBurst>(this, &s.ToneBurst, limit); break;
    case SigGenType::ImdTones: dialog = std::make_unique<CIMDtones>(this, &s.ImdTones, limit); break;
    case SigGenType::FreqSweep: dialog = std::make_unique<CFreqSweep>(this, &s.FreqSweep, limit); break;
    case SigGenType::LevelSweep: dialog = std::make_unique<CLevelSweep>(this, &s.LevelSweep, limit); break;
    case SigGenType::Sawtooth: dialog = std::make_unique<CSawtooth>(this, &s.Sawtooth, limit); break;
    case SigGenType::Triangular: dialog = std::make_unique<CTriangular>(this, &s.Triangular, limit); break;
    case SigGenType::Pulse: dialog = std::make_unique<CPulse>(this, &s.Pulse, limit); break;
    case SigGenType::Square: dialog = std::make_unique<CSquare>(this, &s.Square, limit); break;
    case SigGenType::UserDefined:
        dialog = std::make_unique<CUserWaveDialog>(this, &s.UserWave, m_links.WaveFolder);
        break;
    case SigGenType::Dtmf: dialog = std::make_unique<CDTMF>(this, &s.Dtmf); break;
    case SigGenType::FreqStep: dialog = std::make_unique<CFreqStep>(this, &s.FreqStep, limit); break;
    default: return true;
    }
    return dialog->DoModal() == IDOK;
}

void CSigGen::Refresh()
{
    m_builder.Abort();
    m_builder.Join();
    StopOutput();
    BuildWaveform();
    FillWaveformCombo(0);
    FillWaveformCombo(1);
    // The channel count may have changed: the second row appears or goes.
    Layout();
    UpdateDetailsButtons();
    Invalidate();
}

void CSigGen::OnClose()
{
    m_builder.Abort();
    m_builder.Join();
    StopOutput();
    if (m_frame && m_frame->GetSafeHwnd())
        m_frame->SendMessage(WM_UTILITY_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}

double CSigGen::GetSignalSeconds() const
{
    return m_wave ? m_wave->FramesToSeconds(m_wave->GetLength()) : 0.0;
}

bool CSigGen::SaveSignalToFile(const char* path, DWORD repeats)
{
    if (WaitWhileBuilding())
        return false;
    FinishBuild();
    if (!m_wave || !path)
        return false;
    CWaitCursor wait;
    const int copies = static_cast<int>(std::clamp<DWORD>(repeats, 1, 1000000));
    if (WriteSignalFile(*m_wave, path, copies, m_links.TempFolder))
        return true;
    Stop(std::string("The signal could not be written to ") + path + ".");
    return false;
}
