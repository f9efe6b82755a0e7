// "Digital Filtering (FIR)": edits the frame's FilterSettings for Edit > Filter. Frequencies
// are checked against the Nyquist limit of the wave file's rate. Values stored before a
// failing check stay in the record, so the next opening shows them.
#pragma once

#include "dsp/FilterSettings.h"
#include "platform/ui/Dialog.h"

class CFilterDialog : public CDialog {
public:
    CFilterDialog(CWnd* parent, DWORD sampleRate, FilterSettings* settings);

    // The remembered folder of filter response files (260 characters), updated by Select File.
    void SetFilterFolder(char* folder) { filterFolder_ = folder; }

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    DECLARE_MESSAGE_MAP()
    void OnFilterTypeChanged();
    void OnDefaults();
    void OnHelp();
    void OnSelectFile();
    void OnEditFile();

private:
    DWORD CheckedType() const; // the record's type when no radio is checked

    DWORD sampleRate_;
    FilterSettings* settings_;
    char* filterFolder_ = nullptr;
};
