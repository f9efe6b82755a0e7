#include "dialogs/CScalingDlg.h"

#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "res/ProcessingDialogIds.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {
const char* const kFreqScales[10] = {"Linear",      "Logarithmic", "1/1 Octave",  "1/3 Octave",  "1/6 Octave",
                                     "1/9 Octave",  "1/12 Octave", "1/24 Octave", "1/48 Octave", "1/96 Octave"};
constexpr WORD kOctaves[8] = {1, 3, 6, 9, 12, 24, 48, 96};
const char* const kAmpScales[3] = {"Linear", "Logarithmic", "Log Magnitude"};
const char* const kWeightings[4] = {"Flat", "A", "B", "C"};
const char* const kDensities[3] = {"Off", "Units^2/Hz", "Units/Sqrt(Hz)"};

void FillList(CComboBox* c, const char* const* names, int count, int select)
{
    if (!c)
        return;
    c->ResetContent();
    for (int i = 0; i < count; ++i)
        c->AddString(names[i]);
    c->SetCurSel(select >= 0 && select < count ? select : -1);
}

bool HasMicExtension(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext == ".mic";
}
} // namespace

CScalingDlg::CScalingDlg() : CSheetPage(IDD_SCALING_PAGE) {}

int CScalingDlg::FrequencyScaleIndex(WORD type, WORD octave)
{
    if (type == 1)
        return 1;
    if (type == 2) {
        for (int i = 0; i < 8; ++i)
            if (kOctaves[i] == octave)
                return 2 + i;
    }
    return 0;
}

void CScalingDlg::StoreFrequencyScale(int index, ChannelScalingSettings& R)
{
    if (index <= 0) {
        R.FreqScaleType = 0;
    } else if (index == 1) {
        R.FreqScaleType = 1;
    } else if (index < 10) {
        R.FreqScaleType = 2;
        R.OctaveNumber = kOctaves[index - 2];
    }
}

std::string CScalingDlg::CompensationPath(const std::string& fileName) const
{
    return (std::filesystem::path(m_CompensationFolder) / fileName).string();
}

BOOL CScalingDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    Fill();
    return TRUE;
}

void CScalingDlg::Fill()
{
    if (!m_Scaling)
        return;
    // The folder's files in name order, so that every row and every opening lists them alike.
    m_micFiles.clear();
    std::error_code ec;
    if (!m_CompensationFolder.empty())
        for (std::filesystem::directory_iterator it(m_CompensationFolder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (HasMicExtension(name) && it->is_regular_file(ec))
                m_micFiles.push_back(name);
        }
    std::sort(m_micFiles.begin(), m_micFiles.end());

    for (int r = 0; r < 8; ++r) {
        const ChannelScalingSettings& R = m_Scaling[r];
        FillList(sheet::Combo(*this, kFreqScaleIds[r]), kFreqScales, 10, FrequencyScaleIndex(R.FreqScaleType, R.OctaveNumber));
        FillList(sheet::Combo(*this, kAmpScaleIds[r]), kAmpScales, 3, R.AmpScaleType);
        FillList(sheet::Combo(*this, kSpectrumWeightingIds[r]), kWeightings, 4, R.StandardWeighting);
        FillList(sheet::Combo(*this, kWidebandWeightingIds[r]), kWeightings, 4, R.TotalPowerWeighting);
        int density = 0;
        if (R.SpectralDensityFlag == 1 && R.SpectralDensityType <= 1)
            density = 1 + R.SpectralDensityType;
        FillList(sheet::Combo(*this, kDensityIds[r]), kDensities, 3, density);
        if (CComboBox* c = sheet::Combo(*this, kCompensationIds[r])) {
            c->ResetContent();
            c->AddString("None");
            const std::string stored = sheet::Field(R.MicCompFilename, sizeof R.MicCompFilename);
            int match = 0;
            for (const std::string& name : m_micFiles) {
                const std::string shown = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
                const int at = c->AddString(shown.c_str());
                if (!stored.empty() && CompensationPath(name) == stored)
                    match = at;
            }
            c->SetCurSel(R.MicCompEnable ? match : 0);
        }
    }
    for (int id : {kFreqScaleIds[7], kAmpScaleIds[7], kSpectrumWeightingIds[7], kWidebandWeightingIds[7], kDensityIds[7],
                   kCompensationIds[7]})
        sheet::Show(*this, id, false);
}

bool CScalingDlg::ValidateAndStore()
{
    if (!m_Scaling || !GetSafeHwnd())
        return true;
    for (int r = 0; r < 8; ++r) {
        ChannelScalingSettings& R = m_Scaling[r];
        StoreFrequencyScale(sheet::Selection(*this, kFreqScaleIds[r]), R);
        const int amp = sheet::Selection(*this, kAmpScaleIds[r]);
        const int spectrum = sheet::Selection(*this, kSpectrumWeightingIds[r]);
        const int wideband = sheet::Selection(*this, kWidebandWeightingIds[r]);
        if (amp != CB_ERR)
            R.AmpScaleType = static_cast<WORD>(amp);
        if (spectrum != CB_ERR)
            R.StandardWeighting = static_cast<WORD>(spectrum);
        if (wideband != CB_ERR)
            R.TotalPowerWeighting = static_cast<WORD>(wideband);
        const int density = sheet::Selection(*this, kDensityIds[r]);
        if (density == 0) {
            R.SpectralDensityFlag = 0;
        } else if (density == 1 || density == 2) {
            R.SpectralDensityFlag = 1;
            R.SpectralDensityType = static_cast<WORD>(density - 1);
        }
        const int mic = sheet::Selection(*this, kCompensationIds[r]);
        if (mic > 0 && static_cast<std::size_t>(mic) <= m_micFiles.size()) {
            R.MicCompEnable = 1;
            sheet::Store(R.MicCompFilename, sizeof R.MicCompFilename, CompensationPath(m_micFiles[static_cast<std::size_t>(mic - 1)]));
        } else {
            R.MicCompEnable = 0;
        }
        if (R.SpectralDensityFlag == 1 && R.FreqScaleType == 2) {
            MessageBoxA(this, "PSD cannot be used with Octave frequency scaling!", "Scaling Options", MB_OK | MB_ICONERROR);
            return false;
        }
    }
    return true;
}

void CScalingDlg::Defaults()
{
    if (!m_Scaling)
        return;
    for (int r = 0; r < 8; ++r) {
        ChannelScalingSettings& R = m_Scaling[r];
        R.FreqScaleType = 0;
        R.AmpScaleType = 1;
        R.OctaveNumber = 3;
        R.StandardWeighting = 0;
        R.TotalPowerWeighting = 0;
        R.SpectralDensityFlag = 0;
        R.SpectralDensityType = 0;
        R.MicCompEnable = 0;
        sheet::Store(R.MicCompFilename, sizeof R.MicCompFilename, "");
    }
    Fill();
}

void CScalingDlg::Copy(int s, const BYTE flags[8])
{
    if (s < 0 || s >= 8)
        return;
    for (int d = 0; d < 8; ++d) {
        if (!flags[d] || d == s)
            continue;
        for (const int* ids : {kFreqScaleIds, kAmpScaleIds, kSpectrumWeightingIds, kWidebandWeightingIds, kDensityIds,
                               kCompensationIds})
            if (CComboBox* c = sheet::Combo(*this, ids[d]))
                c->SetCurSel(sheet::Selection(*this, ids[s]));
    }
}

void CScalingDlg::ApplyChannelEnables()
{
    for (int r = 0; r < 7; ++r)
        for (const int* ids : {kFreqScaleIds, kAmpScaleIds, kSpectrumWeightingIds, kWidebandWeightingIds, kDensityIds,
                               kCompensationIds})
            sheet::Enable(*this, ids[r], ChannelRowEnabled(r));
}
