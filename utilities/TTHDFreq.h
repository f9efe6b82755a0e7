// The THD+N-versus-frequency window: an MDI child that the frame owns and deletes. It shows
// the THD+N of one or two channels against frequency (channel A above, B below), reads and
// writes *.thd result files and copies the points as text.
//
// The measurement and the files live in ThdFreqAnalysis; the settings are the frame's
// ThdFreqSettings record, handed over in ThdFreqLinks.
//
// Threads: user-interface thread only.
#pragma once

#include "dsp/ThdFreqAnalysis.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "utilities/TUtilityPlot.h"

#include <memory>
#include <string>
#include <vector>

struct PathSettings;

struct ThdFreqLinks {
    ThdFreqSettings* settings = nullptr;
    const PathSettings* paths = nullptr;  // thd: where bare result file names lie
    PathSettings* workingPaths = nullptr; // thd: the folder the file dialogs start in
};

class TTHDFreq : public TUtilityPlot {
public:
    enum : UINT { kLoad = 107, kSave = 108, kProgress = 105, kCopyText = 802 };

    TTHDFreq();
    ~TTHDFreq() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* frame, const ThdFreqLinks* links = nullptr);

    bool QuerySave() override;
    bool LoadThdFile(const std::string& name);
    bool SaveThdFile(const std::string& name);
    void OnLoad();
    void OnSave();
    void OnCopyText();

    void UpdateLayout() override;
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;

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
    std::string StatusText() const;
    COLORREF StatusColor() const;
    CButton* GetButton(UINT id) const;

protected:
    std::string PaneCaption() const override { return {}; }
    COLORREF PlotBackgroundColor() const override;
    void OnClose();
    void OnRButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    using TPlotBase::Create;
    ThdFreqSettings& Settings() const { return *m_links.settings; }
    void DrawPane(CDC* dc, const CRect& pane, const std::vector<ThdPoint>& points, bool labels, bool status,
                  const char* title);

    ThdFreqSettings m_ownSettings;
    ThdFreqLinks m_links;
    std::unique_ptr<ThdFreqAnalysis> m_analysis;
    BYTE m_initialising = 1;
    CFont m_font;
    std::unique_ptr<CButton> m_buttons[2]; // Load, Save
};
