// What every page of the plot options sheet shares: the record it edits (set by the sheet to
// the current channel's working entry), loading and storing it, the colour buttons and their
// swatches, the spin controls beside the number boxes, the update-interval radios, Defaults,
// and "Copy these settings to all channels".
//
// A page writes only into the record it is pointed at; the sheet and the frame decide what
// becomes of it. Storing returns at the first refused field, after showing why; the fields
// read before it are already in the record.
//
// User-interface thread only.
#pragma once

#include "plots/TLimitScroll.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/PropertyPage.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class CPlotOptionsMain;

class CPlotOptionsPage : public CPropertyPage {
public:
    CPlotOptionsPage(UINT templateId, const char* messageCaption);
    ~CPlotOptionsPage() override;

    // Writes the record into the controls and marks the page initialised (nothing before the
    // page's window exists).
    virtual void LoadSettings() = 0;
    // Reads the controls back into the record; false (after a message) at the first refused
    // field; true at once for a page never initialised.
    virtual bool StoreSettings() = 0;

    TLimitScroll* Spin(int id) const;

    BOOL OnInitDialog() override;

protected:
    struct Colour {
        int button;
        int swatch;
    };
    // The page's colour buttons and their swatches, and the record field of a swatch.
    virtual std::vector<Colour> Colours() const = 0;
    virtual COLORREF* ColourField(int swatch) = 0;
    // The line, background and grid colours most pages have, and their record fields.
    static std::vector<Colour> LineBackGridColours();
    static COLORREF* LineBackGridField(int swatch, COLORREF* line, COLORREF* background, COLORREF* grid);
    // Writes the default values into the controls (and the default colours into the record).
    virtual void Defaults() = 0;

    CPlotOptionsMain* Sheet() const;
    // The current channel's amplitude scale (0 linear, 1 dB, 2 log magnitude).
    int AmpScaleType() const;

    // Controls.
    void BindSpin(int spinId, int editId, float maximum, float minimum, float step, int mode, int decimals);
    // The box's whole text as a number; other text is refused by name (focus put back), false.
    bool ReadNumber(int id, const char* name, double& value);
    void WriteNumber(int id, const char* format, double value);
    bool Checked(int id) const { return IsDlgButtonChecked(id) != 0; }
    void Check(int id, bool on) { CheckDlgButton(id, on ? BST_CHECKED : BST_UNCHECKED); }
    // Checks `id` and clears the others of its group.
    void CheckOnly(std::initializer_list<int> group, int id);
    void EnableBox(int editId, int spinId, bool enable);
    void ShowNotApplicable(int editId, int spinId);
    void RecreateBrushes();
    bool Fail(const char* text);

    // The update interval (radios 1020/1021, box 1007 with its spin).
    void LoadInterval(BYTE flag, float seconds);
    bool StoreInterval(BYTE& flag, float& seconds);
    void ApplyIntervalState();
    // Start and stop boxes: negative values and a start not below the stop are refused.
    bool StoreSpan(int startId, int stopId, float& start, float& stop, const char* quantity);

    void MarkInitialised();

    BYTE m_initialised = 0;

    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnColourButton(UINT id);
    void OnDefaultsButton();
    void OnHelpButton() {}
    void OnCopyToAll();
    DECLARE_MESSAGE_MAP()

private:
    std::string m_caption;
    std::map<int, std::unique_ptr<TLimitScroll>> m_spins;
    std::map<int, std::unique_ptr<CBrush>> m_brushes; // by swatch id
};
