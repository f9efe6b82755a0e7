#include "dialogs/CSelectCompositeViewDlg.h"

#include "dialogs/CCompositeSettingsDlg.h"
#include "platform/core/MessageBox.h"
#include "res/PlotSelectionDialogIds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void FormatCompositeOperation(CompositeChannelSettings r, std::string* shortText, std::string* longText)
{
    std::string s = "TBD";
    std::string l = "TBD";
    char buf[96];
    switch (r.CompositeType) {
    case 0:
    case 5: {
        int count = 0;
        for (BYTE f : r.IncludeInAverage)
            count += f ? 1 : 0;
        if (count == 1) {
            s = l = "Channel: ";
        } else if (r.CompositeType == 0) {
            s = "Sum (Complex): ";
            l = "Sum (Complex) of Channels: ";
        } else {
            s = "Sum (Real): ";
            l = "Sum (Real) of Channels: ";
        }
        int seen = 0;
        for (int i = 0; i < 16; ++i) {
            if (!r.IncludeInAverage[i])
                continue;
            ++seen;
            l += std::to_string(i);
            if (seen < count)
                l += ",";
            if (seen <= 6) {
                s += std::to_string(i);
                if (seen < 6 && seen < count)
                    s += ",";
            }
        }
        if (count > 6)
            s += "...";
        break;
    }
    case 1:
        std::snprintf(buf, sizeof buf, "Real T/F: %u vs %u", unsigned(r.TransferChannel), unsigned(r.ReferenceChannel));
        s = buf;
        std::snprintf(buf, sizeof buf, "Real Transfer Function: %u vs %u", unsigned(r.TransferChannel),
                      unsigned(r.ReferenceChannel));
        l = buf;
        break;
    case 2:
    case 3:
        std::snprintf(buf, sizeof buf, r.CompositeType == 2 ? "Complex T/F: %u vs %u" : "Complex T/F + Coh: %u vs %u",
                      unsigned(r.TransferChannel), unsigned(r.ReferenceChannel));
        s = buf;
        std::snprintf(buf, sizeof buf, "Complex Transfer Function: %u vs %u", unsigned(r.TransferChannel),
                      unsigned(r.ReferenceChannel));
        l = buf;
        break;
    case 4:
        std::snprintf(buf, sizeof buf, "Cross Spectrum: %u vs %u", unsigned(r.TransferChannel),
                      unsigned(r.ReferenceChannel));
        s = l = buf;
        break;
    default:
        break;
    }
    if (shortText)
        *shortText = s;
    if (longText)
        *longText = l;
}

BEGIN_MESSAGE_MAP(CSelectCompositeViewDlg, CDialog)
    ON_CONTROL_RANGE(BN_CLICKED, 1122, 1146, &CSelectCompositeViewDlg::OnEnableClicked)
    ON_CONTROL_RANGE(BN_CLICKED, 1353, 1428, &CSelectCompositeViewDlg::OnOperationClicked)
END_MESSAGE_MAP()

CSelectCompositeViewDlg::CSelectCompositeViewDlg(CWnd* parent, WORD mode, CompositeChannelSettings* records,
                                                 const ChannelProcessingSettings* processing, BYTE* spectrum,
                                                 BYTE* phase, BYTE* spectrogram, BYTE* surface, const BYTE* enabled)
    : CDialog(IDD_SELECT_COMPOSITE_VIEW, parent), m_mode(mode), m_records(records), m_processing(processing),
      m_wanted{spectrum, phase, spectrogram, surface}, m_enabled(enabled)
{
}

BOOL CSelectCompositeViewDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int c = 0; c < 16; ++c) {
        CheckDlgButton(kCompositeEnableIds[c], m_records && m_records[c].bIsEnabled ? 1 : 0);
        std::string text;
        if (m_records)
            FormatCompositeOperation(m_records[c], &text, nullptr);
        SetDlgItemText(kCompositeOperationIds[c], text);
        if (m_records) {
            char name[81] = {};
            std::memcpy(name, m_records[c].ChannelName, sizeof m_records[c].ChannelName);
            SetDlgItemText(kCompositeNameFirstId + c, name);
        }
        for (int k = 0; k < 4; ++k)
            CheckDlgButton(kCompositePlotFirstId + 4 * c + k, m_wanted[k] && m_wanted[k][c] ? 1 : 0);
        UpdateRowState(c);
    }
    return TRUE;
}

void CSelectCompositeViewDlg::UpdateRowState(int c)
{
    const bool on = IsDlgButtonChecked(kCompositeEnableIds[c]) != 0;
    if (CWnd* w = GetDlgItem(kCompositeNameFirstId + c))
        w->EnableWindow(on);
    for (int k = 0; k < 4; ++k)
        if (CWnd* w = GetDlgItem(kCompositePlotFirstId + 4 * c + k))
            w->EnableWindow(on);
    if (CWnd* w = GetDlgItem(kCompositeOperationIds[c]))
        w->EnableWindow(on);
}

void CSelectCompositeViewDlg::OnOperationClicked(UINT id)
{
    if (!m_records)
        return;
    for (int c = 0; c < 16; ++c) {
        if (kCompositeOperationIds[c] != static_cast<int>(id))
            continue;
        CCompositeSettingsDlg settings(this, m_mode, &m_records[c], m_enabled);
        settings.SetCalibrations(m_calibrations);
        if (settings.DoModal() == IDOK) {
            std::string text;
            FormatCompositeOperation(m_records[c], &text, nullptr);
            SetDlgItemText(kCompositeOperationIds[c], text);
        }
        return;
    }
}

void CSelectCompositeViewDlg::OnEnableClicked(UINT id)
{
    for (int c = 0; c < 16; ++c)
        if (kCompositeEnableIds[c] == static_cast<int>(id))
            UpdateRowState(c);
}

bool CSelectCompositeViewDlg::CheckCompositeConsistency()
{
    if (!m_records || !m_processing)
        return true;
    char msg[160];
    for (int c = 0; c < 16; ++c) {
        const CompositeChannelSettings& r = m_records[c];
        if (r.bIsEnabled != 1)
            continue;
        const char letter = static_cast<char>('A' + c);
        if (r.CompositeType >= 1 && r.CompositeType <= 4) {
            // Channels outside the eight have no record to compare; they are left to the frame's check.
            if (r.TransferChannel >= 8 || r.ReferenceChannel >= 8)
                continue;
            const ChannelProcessingSettings& t = m_processing[r.TransferChannel];
            const ChannelProcessingSettings& f = m_processing[r.ReferenceChannel];
            if (t.FFTsize != f.FFTsize) {
                std::snprintf(msg, sizeof msg,
                              "Composite Channel %c: The Transfer Channel and Reference Channels must use the same FFT size.",
                              letter);
                AfxMessageBox(msg, MB_ICONSTOP);
                return false;
            }
            if (t.DecimationRatio != f.DecimationRatio) {
                std::snprintf(msg, sizeof msg,
                              "Composite Channel %c: The Transfer Channel and Reference Channels must use the same Decimation Ratio.",
                              letter);
                AfxMessageBox(msg, MB_ICONSTOP);
                return false;
            }
        } else if (r.CompositeType == 0 || r.CompositeType == 5) {
            int first = -1;
            for (int i = 0; i < 8; ++i) {
                if (!r.IncludeInAverage[i])
                    continue;
                if (first < 0) {
                    first = i;
                    continue;
                }
                if (m_processing[i].FFTsize != m_processing[first].FFTsize) {
                    std::snprintf(msg, sizeof msg,
                                  "Composite Channel %c:  All of the Channels included in the Average must use the same FFT size.",
                                  letter);
                    AfxMessageBox(msg, MB_ICONSTOP);
                    return false;
                }
                if (m_processing[i].DecimationRatio != m_processing[first].DecimationRatio) {
                    std::snprintf(msg, sizeof msg,
                                  "Composite Channel %c:  All of the Channels included in the Average must use the same Decimation Ratio.",
                                  letter);
                    AfxMessageBox(msg, MB_ICONSTOP);
                    return false;
                }
            }
        }
    }
    return true;
}

void CSelectCompositeViewDlg::OnOK()
{
    for (int c = 0; c < 16; ++c) {
        if (m_records) {
            m_records[c].bIsEnabled = IsDlgButtonChecked(kCompositeEnableIds[c]) ? 1 : 0;
            std::string name;
            GetDlgItemText(kCompositeNameFirstId + c, name);
            std::memset(m_records[c].ChannelName, 0, sizeof m_records[c].ChannelName);
            std::memcpy(m_records[c].ChannelName, name.data(),
                        std::min(name.size(), sizeof m_records[c].ChannelName - 1));
        }
        for (int k = 0; k < 4; ++k)
            if (m_wanted[k])
                m_wanted[k][c] = IsDlgButtonChecked(kCompositePlotFirstId + 4 * c + k) ? 1 : 0;
    }
    if (!CheckCompositeConsistency())
        return;
    CDialog::OnOK();
}
