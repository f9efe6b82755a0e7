#include "plots/CPlotOptionsMain.h"

#include "dialogs/PageHelpers.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Rect.h"
#include "records/CommonRoutines.h"
#include "res/PlotOptionsDialogIds.h"

#include <algorithm>
#include <string>

BEGIN_MESSAGE_MAP(CPlotOptionsMain, CPropertySheet)
    ON_COMMAND(IDOK, &CPlotOptionsMain::OnOK)
    ON_CBN_SELCHANGE(IDC_PLOTOPTS_CHANNEL, &CPlotOptionsMain::OnSelChangeChannel)
    ON_BN_CLICKED(IDC_PLOTOPTS_PREV, &CPlotOptionsMain::OnPrevChannel)
    ON_BN_CLICKED(IDC_PLOTOPTS_NEXT, &CPlotOptionsMain::OnNextChannel)
END_MESSAGE_MAP()

CPlotOptionsMain::CPlotOptionsMain(LPCSTR caption, CWnd* parent, int kind, int channel, TimeSeriesPlotSettings* series,
                                   SpectrumPlotSettings* spectrum, MarkerSettings* markers, PhasePlotSettings* phase,
                                   SpectrogramPlotSettings* spectrogram, SurfacePlotSettings* surface, BYTE composite)
    : CPropertySheet(caption, parent, 0), m_kind(kind), m_channel(channel), m_composite(composite ? 1 : 0),
      m_series(composite ? nullptr : series), m_spectrum(spectrum), m_markers(markers), m_phase(phase),
      m_spectrogram(spectrogram), m_surface(surface)
{
    std::fill(std::begin(m_ampScale), std::end(m_ampScale), WORD(1));
    // A channel outside the arrays would point the pages past their ends.
    if (m_channel < 0 || m_channel >= ChannelCount())
        m_channel = 0;
    AttachPagesToChannel();
    for (CPlotOptionsPage* page : Pages())
        AddPage(page);
}

std::vector<CPlotOptionsPage*> CPlotOptionsMain::Pages()
{
    std::vector<CPlotOptionsPage*> pages;
    if (!m_composite)
        pages.push_back(&m_SeriesPage);
    pages.insert(pages.end(), {&m_SpectrumPage, &m_PhasePage, &m_SpectrogramPage, &m_SurfacePage});
    return pages;
}

void CPlotOptionsMain::SetAmpScaleTypes(const WORD* types, int count)
{
    for (int i = 0; i < 16; ++i)
        m_ampScale[i] = types && i < count && types[i] <= 2 ? types[i] : WORD(1);
}

int CPlotOptionsMain::AmpScaleType() const { return m_ampScale[m_channel]; }

void CPlotOptionsMain::AttachPagesToChannel()
{
    const int ch = m_channel;
    m_SeriesPage.m_record = m_series ? &m_series[ch] : nullptr;
    m_SpectrumPage.m_record = m_spectrum ? &m_spectrum[ch] : nullptr;
    m_SpectrumPage.m_markers = m_markers ? &m_markers[ch] : nullptr;
    m_PhasePage.m_record = m_phase ? &m_phase[ch] : nullptr;
    m_SpectrogramPage.m_record = m_spectrogram ? &m_spectrogram[ch] : nullptr;
    m_SurfacePage.m_record = m_surface ? &m_surface[ch] : nullptr;
    for (CPlotOptionsPage* page : Pages())
        page->LoadSettings();
}

BOOL CPlotOptionsMain::OnInitDialog()
{
    const BOOL result = CPropertySheet::OnInitDialog();
    sheet::PlaceOkCancel(*this);
    CRect client;
    GetClientRect(&client);
    const int top = client.bottom - 28;
    m_channelList = std::make_unique<CComboBox>();
    m_channelList->Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, CRect(10, top, 140, 2000),
                          this, IDC_PLOTOPTS_CHANNEL);
    // 80 pixels wide, or wider where the sheet's font needs more room for the text.
    int buttonWidth = 80;
    {
        CClientDC dc(this);
        CFont* old = dc.SelectObject(GetFont());
        for (const char* text : {"Prev Channel", "Next Channel"})
            buttonWidth = std::max(buttonWidth, static_cast<int>(dc.GetTextExtent(text).cx) + 16);
        dc.SelectObject(old);
    }
    m_prev = std::make_unique<CButton>();
    m_prev->Create("&Prev Channel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                   CRect(150, top, 150 + buttonWidth, top + 24), this, IDC_PLOTOPTS_PREV);
    m_next = std::make_unique<CButton>();
    m_next->Create("&Next Channel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                   CRect(160 + buttonWidth, top, 160 + 2 * buttonWidth, top + 24), this, IDC_PLOTOPTS_NEXT);
    m_channelList->SetFont(GetFont());
    for (CButton* b : {m_prev.get(), m_next.get()}) {
        b->ShowWindow(SW_SHOW);
        b->SetFont(GetFont());
    }
    // The channel sheet lists channels 0 to 6 only: channel 7 shares its input with channel 0.
    if (m_composite) {
        for (int c = 0; c < 16; ++c) {
            const std::string text = std::string("Composite Channel ") + static_cast<char>('A' + c);
            m_channelList->SetItemData(m_channelList->AddString(text.c_str()), static_cast<DWORD_PTR>(c));
        }
    } else {
        for (int ch = 0; ch < 7; ++ch) {
            const std::string text = std::string("Channel - ") + GetChannelLocationName(ch);
            m_channelList->SetItemData(m_channelList->AddString(text.c_str()), static_cast<DWORD_PTR>(ch));
        }
    }
    // Every page's window is made and loaded now, so that OK and the channel walk store them all.
    const std::vector<CPlotOptionsPage*> pages = Pages();
    for (CPlotOptionsPage* page : pages)
        SetActivePage(page);
    const int index = m_composite ? m_kind - 2 : m_kind - 1;
    SetActivePage(pages[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(pages.size()) - 1))]);
    SelectCurrentChannel();
    UpdateChannelButtons();
    return result;
}

void CPlotOptionsMain::SelectCurrentChannel()
{
    if (!m_channelList)
        return;
    int at = -1;
    for (int i = 0; i < m_channelList->GetCount(); ++i)
        if (m_channelList->GetItemData(i) == static_cast<DWORD_PTR>(m_channel))
            at = i;
    m_channelList->SetCurSel(at);
}

void CPlotOptionsMain::UpdateChannelButtons()
{
    if (!m_channelList || !m_prev || !m_next)
        return;
    const int sel = m_channelList->GetCurSel();
    m_prev->EnableWindow(sel != 0 ? TRUE : FALSE);
    m_next->EnableWindow(sel < m_channelList->GetCount() - 1 ? TRUE : FALSE);
}

bool CPlotOptionsMain::StorePages()
{
    for (CPlotOptionsPage* page : Pages())
        if (!page->StoreSettings()) {
            if (GetActivePage() != page)
                SetActivePage(page);
            return false;
        }
    return true;
}

void CPlotOptionsMain::OnSelChangeChannel()
{
    if (!m_channelList)
        return;
    const int sel = m_channelList->GetCurSel();
    if (sel == CB_ERR)
        return;
    const DWORD_PTR data = m_channelList->GetItemData(sel);
    if (data >= static_cast<DWORD_PTR>(ChannelCount()) || static_cast<int>(data) == m_channel)
        return;
    if (!StorePages()) {
        SelectCurrentChannel();
        UpdateChannelButtons();
        return;
    }
    m_channel = static_cast<int>(data);
    AttachPagesToChannel();
    UpdateChannelButtons();
}

void CPlotOptionsMain::OnPrevChannel()
{
    if (!m_channelList || m_channelList->GetCount() == 0)
        return;
    const int sel = m_channelList->GetCurSel();
    // A channel without an entry (channel 7) steps back to the last entry.
    m_channelList->SetCurSel(sel == CB_ERR ? m_channelList->GetCount() - 1 : std::max(sel - 1, 0));
    OnSelChangeChannel();
}

void CPlotOptionsMain::OnNextChannel()
{
    if (!m_channelList || m_channelList->GetCount() == 0)
        return;
    const int sel = m_channelList->GetCurSel();
    m_channelList->SetCurSel(sel == CB_ERR ? 0 : std::min(sel + 1, m_channelList->GetCount() - 1));
    OnSelChangeChannel();
}

void CPlotOptionsMain::OnOK()
{
    if (StorePages())
        EndDialog(IDOK);
}

void CPlotOptionsMain::CopySettingsToAllChannels()
{
    const CPropertyPage* active = GetActivePage();
    const int ch = m_channel;
    auto copy = [&](auto* array) {
        if (!array)
            return;
        const auto source = array[ch];
        for (int i = 0; i < ChannelCount(); ++i)
            array[i] = source;
    };
    if (active == &m_SeriesPage)
        copy(m_series);
    else if (active == &m_SpectrumPage)
        copy(m_spectrum); // never the markers
    else if (active == &m_PhasePage)
        copy(m_phase);
    else if (active == &m_SpectrogramPage)
        copy(m_spectrogram);
    else if (active == &m_SurfacePage)
        copy(m_surface);
}
