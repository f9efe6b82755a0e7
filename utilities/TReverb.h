// The RT-60 reverberation window: an MDI child that the frame owns and deletes. It runs the
// live test (a 1 kHz synchronisation tone and a pink-noise burst played through the sound card
// while one device input channel is captured), analyses a segment of a recording handed over
// by the frame, and shows the results three ways: reverberation time per one-third-octave band
// as bars, the decay curve of one band, and a waterfall of all bands. Results are saved to and
// loaded from *.rvb files and copied as text or as a bitmap.
//
// The measurement itself lives in ReverbAnalysis; the settings are the frame's ReverbSettings
// record and the devices and sound output the frame's, handed over in ReverbLinks.
//
// Threads: user-interface thread only. A test and an analysis run on it and look for Esc
// between steps; the main frame is disabled meanwhile.
#pragma once

#include "dsp/ReverbAnalysis.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "utilities/ReverbLinks.h"
#include "utilities/TLiveTestWindow.h"

#include <memory>
#include <string>

class TLimitScroll;
class TWaveData;

class TReverb : public TLiveTestWindow {
public:
    enum : UINT {
        kStart = 701, kReverbTimes = 702, kDecayPlot = 703, kSurface = 704, kProgress = 705, kSelection = 706,
        kLoad = 707, kSave = 708, kPrint = 709, kOptions = 710, kExtent = 711, kOffsetEdit = 720, kOffsetSpin = 721,
        kCopyText = 801, kCopyBitmap = 802, kProperties = 804, kHelpMenu = 805, kSetOffset = 810,
        kClearOffset = 811, kPropertiesCommand = 1500, kHelpCommand = 1501, kCopyCursorBitmap = 1502,
        kCopyCursorValues = 1503,
    };

    TReverb();
    ~TReverb() override;

    // links: the frame's records and objects; without them the window keeps settings of its own
    // and has no devices.
    BOOL CreateReverbWindow(DWORD style, const RECT& rect, CWnd* frame, const ReverbLinks* links = nullptr);

    // Asks to save changed data; false when the user cancels.
    bool QuerySave() override;

    // The frame's segment road: analyses seconds t0..t1 of the first channel of a wave.
    void AnalyzeSegment(TWaveData& wave, float t0, float t1);
    // Live test: Start checks the rates and runs the steps below in turn. A test may also be
    // driven step by step: PrepareTest (running, timing, records, test signal), the playback,
    // and AnalyzeTestCapture on the capture the test holds.
    void OnStart();
    // The message that refuses these rates, or null when a test may run.
    static const char* LiveRateProblem(DWORD inputRate, DWORD outputRate);
    // Why the live test can't run on an input device of this rate range; empty when it can.
    static std::string DeviceRateProblem(int minRate, int maxRate);
    void PrepareTest(const TPcmFormat& input, const TPcmFormat& output);
    void PlayThroughSoundCard();
    void StartCapture();
    void StopTest();
    void FinishTest();
    // Copies what the device has captured into the capture wave (after the input has stopped).
    void CollectCapture();
    void AnalyzeTestCapture();
    // Results.
    bool LoadReverbFile(const std::string& name);
    bool SaveReverbFile(const std::string& name);
    void CopyAsText();
    void CopyAsBitmap();
    void SetStartOffset(int milliseconds);
    void OnOptions();
    void OnReverbTimes();
    void OnDecayPlot();
    void OnSurface();
    void OnLoad();
    void OnSave();
    // Draws the plot on a printer page inside the margins of `settings`; the frame prints the
    // page around it.
    void PrintPlot(CDC* dc, const PrintSettings* settings, bool timeOrSpectrum, WORD position) override;
    void PrintMethodLines(CDC* dc, const PrintSettings& settings);

    void UpdateLayout() override;
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;
    float ReverbXValueAt(int x, int y) const;
    float ReverbYValueAt(int x, int y) const;
    // The measurement cursor reads the current view's values: a bar's frequency and seconds,
    // or seconds and decibels along the decay.
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;
    void HandleMouseMove(UINT flags, CPoint point) override;

    // State for the frame and tests.
    ReverbAnalysis& Analysis() { return *m_analysis; }
    const ReverbLinks& Links() const { return m_links; }
    DWORD GetViewMode() const { return m_analysis->viewMode; }
    bool IsRunning() const { return TestRunning(); }
    std::string StatusText() const;
    CButton* GetButton(UINT id) const;
    CComboBox* GetExtentCombo() const { return m_extent.get(); }
    // The time axes' label of division i (0 .. TimeSteps()) of the time extent.
    std::string TimeLabelAt(int i) const;
    CComboBox* GetSelectionCombo() const { return m_selection.get(); }
    CEdit* GetOffsetEdit() const { return m_offsetEdit.get(); }

protected:
    std::string PaneCaption() const override { return {}; }
    COLORREF PlotBackgroundColor() const override;

    void CreateControls() override;
    void LayoutControls();
    void UpdateControls();
    void OnSelectionChanged();
    void OnExtentChanged();
    void OnStartOffsetEdited();
    void OnPrintButton();
    void OnHelp() {}
    void OnCopyTextCommand() { CopyAsText(); }
    void OnCopyBitmapCommand() { CopyAsBitmap(); }
    void OnClearOffset();
    void OnSize(UINT nType, int cx, int cy);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    DECLARE_MESSAGE_MAP()

private:
    ReverbSettings& Settings() const { return *m_links.settings; }
    // The live test's state and ends, for the window base.
    const LiveTestLinks& TestLinks() const override { return m_links; }
    bool TestRunning() const override { return m_analysis && m_analysis->running != 0; }
    bool TestCancelled() const override { return m_analysis->IsCancelled(); }
    void CancelTest() override { m_analysis->Cancel(); }
    void AbandonTest() override { StopTest(); }
    void CompleteTest() override { FinishTest(); }
    // Test steps.
    void SetTestTiming();
    bool BuildTestSignal();
    void PlayThroughDeviceOutput();
    // Drawing.
    void DrawTitleAndLabels(CDC* dc);
    void DrawStatusMessage(CDC* dc);
    void DrawReverbTimes(CDC* dc);
    void DrawDecay(CDC* dc);
    void DrawSurface(CDC* dc);
    void DrawTimeGrid(CDC* dc, bool vertical);
    void DrawFrequencyLabel(CDC* dc, int band, int x, int bottom);
    int TimeSteps() const;
    // A band centre in whole hertz for its label; 0 for what no band has.
    static int WholeHz(float f);
    std::string TimeLabel(float seconds) const;
    std::string SelectionText() const;
    void SelectExtentEntry();
    // Only the bars and the decay curve have a cursor.
    bool HasCursor() const { return m_analysis->viewMode == 1 || m_analysis->viewMode == 2; }
    void SetReadoutFormats();
    void TrackCursorMenu(CPoint point);

    ReverbSettings m_ownSettings;
    ReverbLinks m_links;
    std::unique_ptr<ReverbAnalysis> m_analysis;
    BYTE m_initialising = 1;
    bool m_captureStarted = false; // the device input runs for the current test
    CFont m_font;
    int m_fontHeight = 14;
    std::unique_ptr<CButton> m_buttons[8]; // Start, Reverb Times, Decay Plot, 3-D Surface, Load, Save, Print, Options
    std::unique_ptr<CComboBox> m_extent;
    std::unique_ptr<CComboBox> m_selection;
    std::unique_ptr<CEdit> m_offsetEdit;
    std::unique_ptr<TLimitScroll> m_spin;
};
