#include "plots/TOverlayDialog.h"

#include "dsp/TOverlayData.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/LongOperation.h"
#include "records/NumberText.h"
#include "records/PathSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "res/OverlayDialogIds.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

constexpr int kStride = kOverlaySlotIdStride;
constexpr int kLastSlotId = IDC_OVERLAY_NAME + kStride * 6;

int SlotOf(UINT id, int first) { return (static_cast<int>(id) - first) / kStride; }

void RememberFolder(PathSettings* paths, const std::string& file)
{
    if (!paths)
        return;
    const std::string folder = std::filesystem::path(file).parent_path().string();
    std::snprintf(paths->ovl, sizeof paths->ovl, "%s", folder.c_str());
}

} // namespace

BEGIN_MESSAGE_MAP(TOverlayDialog, CDialog)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_OVERLAY_NAME, kLastSlotId + kStride - 1, &TOverlayDialog::OnSlotButton)
    ON_BN_CLICKED(IDC_OVERLAY_DEFAULTS, &TOverlayDialog::OnDefaults)
    ON_BN_CLICKED(IDC_OVERLAY_HELP, &TOverlayDialog::OnHelp)
    ON_WM_VSCROLL()
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

TOverlayDialog::TOverlayDialog(CWnd* parent, SpectrumPlotSettings* settings, PathSettings* workingPaths,
                               std::string slotFolder, int channel, WORD freqScaleType, int trace)
    : CDialog(IDD_OVERLAY_OPTIONS, parent), m_settings(settings), m_workingPaths(workingPaths),
      m_slotFolder(std::move(slotFolder)), m_channel(channel), m_freqScaleType(freqScaleType),
      m_trace(trace == 2 ? 2 : 1)
{
}

std::string TOverlayDialog::SlotPath(const std::string& folder, int channel, int trace, int slot)
{
    char name[48];
    std::snprintf(name, sizeof name, trace == 2 ? "Ch2_%d_%d.ovl" : "Ch_%d_%d.ovl", channel, slot + 1);
    return (std::filesystem::path(folder) / name).string();
}

float& TOverlayDialog::SlotOffset(int slot)
{
    return m_trace == 2 ? m_settings->Overlays[slot].Offset2 : m_settings->Overlays[slot].Offset1;
}

void TOverlayDialog::MakeBrush(int slot)
{
    m_brushes[slot].DeleteObject();
    m_brushes[slot].CreateSolidBrush(m_settings->Overlays[slot].Color);
}

BOOL TOverlayDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    for (int k = 0; k < kSlots; ++k) {
        const int base = IDC_OVERLAY_NAME + kStride * k;
        const std::string path = SlotPath(m_slotFolder, m_channel, m_trace, k);
        TOverlayData slot(path.c_str(), m_freqScaleType, 0.0f, 1);
        SetDlgItemText(base, slot.GetName());
        std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(SlotOffset(k)));
        SetDlgItemText(base + 1, text);
        m_spins[k].SubclassDlgItem(static_cast<UINT>(base + 2), this);
        m_spins[k].Attach(GetDlgItem(base + 1), 100.0f, -100.0f, 1.0f, 0);
        m_spins[k].SetPrecision(1);
        MakeBrush(k);
    }
    std::snprintf(text, sizeof text, "%d", m_settings->OverlayLegendSize);
    SetDlgItemText(IDC_OVERLAY_LEGEND_SIZE, text);
    Invalidate();
    return TRUE;
}

void TOverlayDialog::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    if (!pScrollBar)
        return;
    const int id = pScrollBar->GetDlgCtrlID();
    for (int k = 0; k < kSlots; ++k) {
        if (id != IDC_OVERLAY_SPIN + kStride * k)
            continue;
        if (nSBCode == SB_LINEUP)
            m_spins[k].StepUp();
        else if (nSBCode == SB_LINEDOWN)
            m_spins[k].StepDown();
    }
}

HBRUSH TOverlayDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    if (pWnd && nCtlColor == CTLCOLOR_STATIC) {
        const int id = pWnd->GetDlgCtrlID();
        for (int k = 0; k < kSlots; ++k) {
            if (id == IDC_OVERLAY_SWATCH + kStride * k) {
                pDC->SetBkColor(m_settings->Overlays[k].Color);
                return static_cast<HBRUSH>(m_brushes[k].GetSafeHandle());
            }
        }
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

// The slots' buttons interleave, so one range takes them all and the place in the row decides.
void TOverlayDialog::OnSlotButton(UINT id)
{
    switch (static_cast<int>(id) - IDC_OVERLAY_NAME - kStride * SlotOf(id, IDC_OVERLAY_NAME)) {
    case IDC_OVERLAY_SAVE - IDC_OVERLAY_NAME: OnSave(id); break;
    case IDC_OVERLAY_LOAD - IDC_OVERLAY_NAME: OnLoad(id); break;
    case IDC_OVERLAY_COLOR - IDC_OVERLAY_NAME: OnChangeColor(id); break;
    default: break;
    }
}

void TOverlayDialog::OnChangeColor(UINT id)
{
    const int k = SlotOf(id, IDC_OVERLAY_COLOR);
    CColorDialog dialog(m_settings->Overlays[k].Color, CC_FULLOPEN | CC_ANYCOLOR, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_settings->Overlays[k].Color = dialog.GetColor();
    MakeBrush(k);
    Invalidate();
}

void TOverlayDialog::OnLoad(UINT id)
{
    const int k = SlotOf(id, IDC_OVERLAY_LOAD);
    CFileDialog dialog(TRUE, "ovl", "*.ovl; *.mic; *.flt", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                       "Overlay *.ovl; mic comp *.mic; Filter *.flt|*.ovl; *.mic; *.flt||", this);
    dialog.m_ofn.lpstrTitle = "Load Overlay File";
    const std::string initial = m_workingPaths ? m_workingPaths->ovl : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string chosen = dialog.GetPathName();
    RememberFolder(m_workingPaths, chosen);
    CWaitCursor wait;
    TOverlayData curve(chosen.c_str(), m_freqScaleType, 0.0f);
    // A file that cannot be used leaves the slot as it was, so a slip of the mouse does not
    // wipe a stored curve.
    if (curve.ErrorFlag()) {
        if (!curve.ErrorReported())
            AfxMessageBox("The file " + chosen +
                              " holds no overlay data: it needs at least 3 rows of frequency and value.",
                          MB_OK | MB_ICONSTOP);
        return;
    }
    const std::string slot = SlotPath(m_slotFolder, m_channel, m_trace, k);
    if (!curve.WriteFile(slot.c_str(), curve.GetName())) {
        AfxMessageBox("Unable to write the overlay file " + slot, MB_OK | MB_ICONSTOP);
        return;
    }
    const int base = IDC_OVERLAY_NAME + kStride * k;
    SetDlgItemText(base, curve.GetName());
    SetDlgItemText(base + 1, "0.0");
}

void TOverlayDialog::OnSave(UINT id)
{
    const int k = SlotOf(id, IDC_OVERLAY_SAVE);
    CFileDialog dialog(FALSE, "ovl", "*.ovl", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       "Overlay (*.ovl)|*.ovl|miccomp (*.mic)|*.mic|Filter (*.flt)|*.flt||", this);
    dialog.m_ofn.lpstrTitle = "Save Overlay File";
    const std::string initial = m_workingPaths ? m_workingPaths->ovl : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string chosen = dialog.GetPathName();
    RememberFolder(m_workingPaths, chosen);
    const int base = IDC_OVERLAY_NAME + kStride * k;
    char name[TOverlayData::kNameSize] = {};
    GetDlgItemText(base, name, sizeof name);
    float offset = 0.0f;
    if (!ReadOffset(k, offset)) {
        AfxMessageBox("Overlay Offset must be between -100 and +100 dB", MB_OK | MB_ICONSTOP);
        return;
    }
    CWaitCursor wait;
    const std::string slot = SlotPath(m_slotFolder, m_channel, m_trace, k);
    TOverlayData curve(slot.c_str(), m_freqScaleType, offset);
    // An empty slot would make a file that no overlay can be loaded from.
    if (curve.ErrorFlag()) {
        if (!curve.ErrorReported())
            AfxMessageBox("Overlay slot " + std::string(k == 6 ? "C" : std::to_string(k + 1)) +
                              " holds no overlay data to save.",
                          MB_OK | MB_ICONSTOP);
        return;
    }
    if (!curve.WriteFile(chosen.c_str(), name))
        AfxMessageBox("Unable to write the overlay file " + chosen, MB_OK | MB_ICONSTOP);
}

void TOverlayDialog::OnDefaults()
{
    static const COLORREF colours[kSlots] = {RGB(0, 128, 0),   RGB(0, 174, 174), RGB(128, 0, 128), RGB(255, 0, 255),
                                             RGB(128, 64, 0),  RGB(255, 128, 64), RGB(0, 0, 0)};
    for (int k = 0; k < kSlots; ++k) {
        const int base = IDC_OVERLAY_NAME + kStride * k;
        SetDlgItemText(base, k == 6 ? std::string("Composite") : "Overlay " + std::to_string(k + 1));
        SetDlgItemText(base + 1, "0.0");
        m_settings->Overlays[k].Color = colours[k];
        MakeBrush(k);
    }
    SetDlgItemText(IDC_OVERLAY_LEGEND_SIZE, "8");
    Invalidate();
}

bool TOverlayDialog::ReadOffset(int slot, float& value) const
{
    std::string text;
    GetDlgItemText(IDC_OVERLAY_OFFSET + kStride * slot, text);
    double v = 0.0;
    if (!ParseTypedNumber(text, v) || v < -100.0 || v > 100.0)
        return false;
    value = static_cast<float>(v);
    return true;
}

void TOverlayDialog::OnOK()
{
    std::string text;
    GetDlgItemText(IDC_OVERLAY_LEGEND_SIZE, text);
    double size = 0.0;
    if (!ParseTypedNumber(text, size) || size != std::floor(size) || size < 4 || size > kMaxLegendSize) {
        char message[64];
        std::snprintf(message, sizeof message, "Overlay Legend size must be between 4 and %d", kMaxLegendSize);
        AfxMessageBox(message, MB_OK | MB_ICONSTOP);
        return;
    }
    m_settings->OverlayLegendSize = static_cast<WORD>(size);

    CWaitCursor wait;
    for (int k = 0; k < kSlots; ++k) {
        char name[TOverlayData::kNameSize] = {};
        GetDlgItemText(IDC_OVERLAY_NAME + kStride * k, name, sizeof name);
        const std::string slot = SlotPath(m_slotFolder, m_channel, m_trace, k);
        // Only the name changes: the curve's rows stay as stored, whatever state they are in.
        TOverlayData current(slot.c_str(), m_freqScaleType, 0.0f, 1);
        if (!current.ErrorFlag() && std::strcmp(current.GetName(), name) == 0)
            continue;
        if (!TOverlayData::WriteName(slot.c_str(), name))
            AfxMessageBox("Unable to write the overlay file " + slot, MB_OK | MB_ICONSTOP);
    }

    for (int k = 0; k < kSlots; ++k) {
        float offset = 0.0f;
        if (!ReadOffset(k, offset)) {
            AfxMessageBox("Overlay Offset must be between -100 and +100 dB", MB_OK | MB_ICONSTOP);
            return;
        }
        SlotOffset(k) = offset;
    }
    CDialog::OnOK();
}
