// "Overlay Options": per trace of a spectrum plot, the legend name, offset, colour and disk
// storage of the seven overlay slots, and the legend width.
//
// The dialog edits the caller's working copy of the plot settings; the caller takes the copy
// only on OK. The slot files ("Ch_%d_%d.ovl" for trace 1, "Ch2_%d_%d.ovl" for trace 2, in
// the slot folder) are read and written at once by Load, Save and OK; Cancel does not undo
// them. Load and Save start in the working overlay folder and remember the folder chosen.
//
// User-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"
#include "platform/ui/GdiObjects.h"
#include "plots/TLimitScroll.h"

#include <string>

struct PathSettings;
struct SpectrumPlotSettings;

class TOverlayDialog : public CDialog {
public:
    static constexpr int kSlots = 7;
    static constexpr int kMaxLegendSize = 24;

    // trace: 1 (A) or 2 (B); freqScaleType 2 reads and writes curves as octave bands.
    TOverlayDialog(CWnd* parent, SpectrumPlotSettings* settings, PathSettings* workingPaths, std::string slotFolder,
                   int channel, WORD freqScaleType, int trace);

    // The slot file of slot 0..6 of a trace.
    static std::string SlotPath(const std::string& folder, int channel, int trace, int slot);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void OnSlotButton(UINT id);
    void OnSave(UINT id);
    void OnLoad(UINT id);
    void OnChangeColor(UINT id);
    void OnDefaults();
    void OnHelp() {}
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    DECLARE_MESSAGE_MAP()

private:
    float& SlotOffset(int slot);
    void MakeBrush(int slot);
    // The offset edit as a number within -100..100; false for anything else.
    bool ReadOffset(int slot, float& value) const;

    SpectrumPlotSettings* m_settings;
    PathSettings* m_workingPaths;
    std::string m_slotFolder;
    int m_channel;
    WORD m_freqScaleType;
    int m_trace;
    TLimitScroll m_spins[kSlots];
    CBrush m_brushes[kSlots];
};
