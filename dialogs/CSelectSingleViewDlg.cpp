#include "dialogs/CSelectSingleViewDlg.h"

#include "res/PlotSelectionDialogIds.h"

namespace {
const int* const kColumns[5] = {kSingleViewSeriesIds, kSingleViewSpectrumIds, kSingleViewPhaseIds,
                                kSingleViewSpectrogramIds, kSingleViewSurfaceIds};
}

CSelectSingleViewDlg::CSelectSingleViewDlg(CWnd* parent, WORD mode, BYTE* series, BYTE* spectrum, BYTE* phase,
                                           BYTE* spectrogram, BYTE* surface, const BYTE* enabled)
    : CDialog(IDD_SELECT_SINGLE_VIEW, parent), m_mode(mode), m_wanted{series, spectrum, phase, spectrogram, surface},
      m_enabled(enabled)
{
}

BOOL CSelectSingleViewDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int row = 0; row < 8; ++row) {
        const bool usable = m_mode == 2 || (m_enabled && m_enabled[row] != 0);
        for (int kind = 0; kind < 5; ++kind) {
            const int id = kColumns[kind][row];
            CheckDlgButton(id, m_wanted[kind] && m_wanted[kind][row] ? 1 : 0);
            if (CWnd* box = GetDlgItem(id)) {
                box->EnableWindow(usable);
                // The eighth row is never offered.
                if (row == 7)
                    box->ShowWindow(SW_HIDE);
            }
        }
    }
    return TRUE;
}

void CSelectSingleViewDlg::OnOK()
{
    for (int kind = 0; kind < 5; ++kind)
        if (m_wanted[kind])
            for (int row = 0; row < 8; ++row)
                m_wanted[kind][row] = IsDlgButtonChecked(kColumns[kind][row]) ? 1 : 0;
    CDialog::OnOK();
}
