// The THD+N-versus-frequency window: an MDI child that the frame owns and deletes. It runs the
// stepped-sine test (stimulus out through the sound card while one or two device input channels
// are captured, the analysis once playback has ended), shows the THD+N of one or two channels
// against frequency (channel A above, B below) with optional limit curves, reads and writes
// *.thd result files, copies the points as text or the plot as a bitmap, and prints.
//
// The measurement and the files live in ThdFreqAnalysis; the settings are the frame's
// ThdFreqSettings record and the devices and sound output the frame's, handed over in
// ThdFreqLinks.
//
// Threads: user-interface thread only. The analysis runs on it and looks for Esc between
// steps; the main frame is disabled while a test runs.
#pragma once

#include "dsp/ThdFreqAnalysis.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "utilities/TLiveTestWindow.h"
#include "utilities/ThdFreqLinks.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class TOverlayData;

class TTHDFreq : public TLiveTestWindow {
public:
    enum : UINT {
        kStart = 101, kProgress = 105, kLoad = 107, kSave = 108, kPrint = 109, kOptions = 110,
        kCopyText = 802, kProperties = 1500, kHelpCommand = 1501, kCopyBitmap = 1502,
    };

    TTHDFreq();
    ~TTHDFreq() override;

    // links: the frame's records and objects; without them the window keeps settings of its own
    // and has no devices.
    BOOL Create(DWORD style, const RECT& rect, CWnd* frame, const ThdFreqLinks* links = nullptr);

    bool QuerySave() override;
    bool LoadThdFile(const std::string& name);
    bool SaveThdFile(const std::string& name);
    void OnLoad();
    void OnSave();
    void OnCopyText();
    void OnCopyBitmap();
    void OnOptions();

    // The test: Start, Esc and every failure end in AbortTest; the end of playback analyses.
    void OnStart();
    void AbortTest();
    void ProcessCapture();

    void UpdateLayout() override;
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;

    // Mapping of a pane: column of a frequency, row (from the pane's bottom) of a value.
    int FrequencyToPixel(float f, int width) const;
    int AmplitudeToPixel(float v, int height) const;
    struct Tick {
        int offset;
        std::string label;
    };
    std::vector<Tick> FrequencyTicks(int width) const;
    std::vector<Tick> AmplitudeTicks(int height) const;

    ThdFreqAnalysis& Analysis() { return *m_analysis; }
    const ThdFreqLinks& Links() const { return m_links; }
    bool IsRunning() const { return TestRunning(); }
    std::string StatusText() const;
    COLORREF StatusColor() const;
    CButton* GetButton(UINT id) const;

protected:
    std::string PaneCaption() const override { return {}; }
    COLORREF PlotBackgroundColor() const override;
    void CreateControls() override;
    void OnPrint();
    void OnHelp() {}
    void OnSize(UINT nType, int cx, int cy);
    void OnRButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    using TPlotBase::Create;
    ThdFreqSettings& Settings() const { return *m_links.settings; }
    // The live test's state and ends, for the window base.
    const LiveTestLinks& TestLinks() const override { return m_links; }
    bool TestRunning() const override { return m_analysis && m_analysis->running != 0; }
    bool TestCancelled() const override { return m_analysis->IsCancelled(); }
    void CancelTest() override { m_analysis->Cancel(); }
    void AbandonTest() override { AbortTest(); }
    void CompleteTest() override { ProcessCapture(); }
    // The open or save dialog of result files; the chosen path (its folder remembered), or
    // empty when cancelled.
    std::string AskFileName(bool open);
    void DrawPane(CDC* dc, const CRect& pane, const std::vector<ThdPoint>& points, bool labels, bool status,
                  const char* title, const TOverlayData* limit);
    void DrawLimitCurve(CDC* dc, const CRect& pane, const TOverlayData& limit);
    // A limit file read once and again only when it changes on disk, so that a damaged file
    // is reported once rather than at every paint.
    struct LimitCurve {
        std::string path;
        std::filesystem::file_time_type time{};
        std::uintmax_t size = 0;
        std::unique_ptr<TOverlayData> data;
    };
    const TOverlayData* Limit(LimitCurve& cache, bool enabled, const char* file);
    // Test steps.
    double OutputAmplitude(int channel) const;
    void StartSoundCardOutput();
    void StartDeviceOutput();
    void StartCapture();
    // Refuses (reported) a test the input device can't analyse or whose stop lies past its band.
    bool CheckInput();
    void StopFrequencyMessage(double half);
    bool ReadCapture();
    void WriteDebugCapture();

    ThdFreqSettings m_ownSettings;
    ThdFreqLinks m_links;
    std::unique_ptr<ThdFreqAnalysis> m_analysis;
    BYTE m_initialising = 1;
    CFont m_controlFont;
    std::unique_ptr<CButton> m_buttons[5]; // Start, Load, Save, Print, Options
    LimitCurve m_limits[2]; // channel A, channel B
};
