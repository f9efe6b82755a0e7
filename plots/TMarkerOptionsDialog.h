// "Marker Options": the eight frequency markers of a spectrum display (enabled, frequency,
// label type, custom label) and whether markers sit on the peak-hold trace.
//
// The dialog works on its own copy and writes the caller's record only when OK succeeds, so a
// refused OK followed by Cancel leaves the record as it was. The caller owns the record and
// decides what to refresh.
//
// User-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"
#include "records/MarkerSettings.h"

class TMarkerOptionsDialog : public CDialog {
public:
    TMarkerOptionsDialog(CWnd* parent, MarkerSettings* record);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void OnEnabledClicked(UINT id);
    void OnLabelTypeChanged(UINT id);
    DECLARE_MESSAGE_MAP()

private:
    void ApplyRowState(int marker);

    MarkerSettings* m_record;
    MarkerSettings m_work;
};
