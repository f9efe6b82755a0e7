#include "plots/TLimitScroll.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

TLimitScroll::TLimitScroll(CWnd* parent, UINT id, CWnd* edit, float maximum, float minimum, float step)
{
    Build(parent, id, RECT{0, 0, 0, 0}, edit, maximum, minimum, step);
}

TLimitScroll::TLimitScroll(CWnd* parent, UINT id, int left, int top, int right, int bottom, CWnd* edit,
                           float maximum, float minimum, float step)
{
    Build(parent, id, RECT{left, top, right, bottom}, edit, maximum, minimum, step);
}

TLimitScroll::TLimitScroll(CWnd* parent, UINT id, const RECT& rect, CWnd* edit, float maximum, float minimum,
                           float step)
{
    Build(parent, id, rect, edit, maximum, minimum, step);
}

TLimitScroll::~TLimitScroll()
{
    if (m_hWnd)
        DestroyWindow();
}

void TLimitScroll::Build(CWnd* parent, UINT id, const RECT& rect, CWnd* edit, float maximum, float minimum,
                         float step)
{
    if (parent)
        Create(WS_CHILD | SBS_VERT, rect, parent, id);
    Attach(edit, maximum, minimum, step, 0);
}

void TLimitScroll::Attach(CWnd* edit, float maximum, float minimum, float step, int mode)
{
    m_edit = edit;
    m_maximum = maximum;
    m_minimum = minimum;
    m_step = step;
    m_mode = mode;
    SetPrecision(0);
}

void TLimitScroll::SetPrecision(int decimals)
{
    if (decimals >= 10)
        std::strcpy(m_format, "%1.1e");
    else
        std::snprintf(m_format, sizeof m_format, "%%1.%df", decimals < 0 ? 0 : decimals);
}

void TLimitScroll::SetStep(float step, int mode)
{
    m_mode = mode;
    if (step != 0.0f)
        m_step = step;
}

void TLimitScroll::SetLimits(float maximum, float minimum)
{
    if (minimum < maximum) {
        m_maximum = maximum;
        m_minimum = minimum;
    }
}

float TLimitScroll::ReadValue() const
{
    if (!m_edit)
        return 0.0f;
    char text[20] = {};
    m_edit->GetWindowText(text, sizeof text);
    // The leading number of the text; anything else reads as 0.
    return static_cast<float>(std::strtod(text, nullptr));
}

std::string TLimitScroll::FormatValue(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    if (text[0] != '-')
        return text;
    // Only the mantissa's digits count: "-0.0e+00" is a zero too.
    for (const char* c = text + 1; *c && *c != 'e' && *c != 'E'; ++c)
        if (*c >= '1' && *c <= '9')
            return text;
    return text + 1;
}

void TLimitScroll::WriteValue(float v)
{
    if (m_edit)
        m_edit->SetWindowText(FormatValue(m_format, static_cast<double>(v)).c_str());
}

void TLimitScroll::StepUp()
{
    if (!m_edit)
        return;
    float v = ReadValue();
    if (m_mode == 0)
        v += m_step;
    else
        v = v == 0.0f ? 1.0f : v * m_step;
    if (v > m_maximum)
        v = m_maximum;
    WriteValue(v);
}

void TLimitScroll::StepDown()
{
    if (!m_edit)
        return;
    float v = ReadValue();
    if (m_mode == 0)
        v -= m_step;
    else
        v = v == 0.0f ? m_minimum : v / m_step;
    if (!(v > m_minimum))
        v = m_minimum;
    WriteValue(v);
}
