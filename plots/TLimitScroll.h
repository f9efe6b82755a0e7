// A small vertical scroll bar that steps the number in an edit box beside it, within limits.
//
// The control does not react to its own arrows: its owner receives WM_VSCROLL from it and
// calls StepUp for the line-up code and StepDown for the line-down code. Writing the box's
// text sends the box's change notification, as any text change does; the owner reads the box
// again when it applies the value. The edit box is not owned.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/GdiObjects.h" // Controls.h needs CFont complete
#include "platform/ui/Controls.h"

#include <string>

class TLimitScroll : public CScrollBar {
public:
    TLimitScroll() = default;
    // Creates the bar as a hidden vertical child of `parent` (the owner places and shows it).
    TLimitScroll(CWnd* parent, UINT id, CWnd* edit, float maximum, float minimum, float step);
    TLimitScroll(CWnd* parent, UINT id, int left, int top, int right, int bottom, CWnd* edit, float maximum,
                 float minimum, float step);
    TLimitScroll(CWnd* parent, UINT id, const RECT& rect, CWnd* edit, float maximum, float minimum, float step);
    ~TLimitScroll() override;

    // Binds an already created control; mode 0 additive, 1 multiplicative.
    void Attach(CWnd* edit, float maximum, float minimum, float step, int mode);
    void StepUp();
    void StepDown();
    // 0..9 decimals; negative: none; 10 or more: exponent form with one decimal.
    void SetPrecision(int decimals);
    // The mode is always taken; a zero step is not.
    void SetStep(float step, int mode);
    // Taken only when minimum < maximum.
    void SetLimits(float maximum, float minimum);

    float GetMaximum() const { return m_maximum; }
    float GetMinimum() const { return m_minimum; }
    float GetStep() const { return m_step; }
    int GetStepMode() const { return m_mode; }
    const char* GetFormat() const { return m_format; }

    // The value in a printf format of one number, without the sign of a value that rounds to
    // zero ("0.00", never "-0.00"): the text a tool-strip box shows.
    static std::string FormatValue(const char* format, double value);

private:
    void Build(CWnd* parent, UINT id, const RECT& rect, CWnd* edit, float maximum, float minimum, float step);
    float ReadValue() const;
    void WriteValue(float v);

    CWnd* m_edit = nullptr;
    float m_maximum = 0.0f;
    float m_minimum = 0.0f;
    float m_step = 1.0f;
    int m_mode = 0;
    char m_format[20] = "%1.0f";
};
