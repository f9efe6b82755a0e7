// "Scaling": frequency and amplitude scale, weightings, power spectral density and the
// transducer compensation file of every input channel, on the sheet's working copies.
#pragma once

#include "dialogs/CSheetPage.h"
#include "records/ChannelScalingSettings.h"

#include <string>
#include <vector>

class CScalingDlg : public CSheetPage {
public:
    CScalingDlg();

    ChannelScalingSettings* m_Scaling = nullptr; // the sheet's eight working records
    std::string m_CompensationFolder;            // where the *.mic files are

    BOOL OnInitDialog() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int source, const BYTE destinations[8]) override;
    void ApplyChannelEnables() override;

    // The frequency-scale list position of a record, and back.
    static int FrequencyScaleIndex(WORD type, WORD octave);
    static void StoreFrequencyScale(int index, ChannelScalingSettings& record);

private:
    std::string CompensationPath(const std::string& fileName) const;

    std::vector<std::string> m_micFiles; // names with extension, in list order after "None"
};
