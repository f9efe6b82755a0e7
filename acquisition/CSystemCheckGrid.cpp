#include "acquisition/CSystemCheckGrid.h"

#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(CSystemCheckGrid, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

namespace {
constexpr int kRowHeight = 22;
const std::string kNoText;
} // namespace

BOOL CSystemCheckGrid::CreateGrid(CWnd* parent, const RECT& rect, UINT id)
{
    return CWnd::Create(nullptr, "Grid", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

void CSystemCheckGrid::SetSize(int rows, int columns)
{
    m_rows = std::max(rows, 0);
    m_columns = std::max(columns, 0);
    m_text.assign(std::size_t(m_rows * m_columns), std::string());
    m_colors.assign(std::size_t(m_rows * m_columns), 0);
}

void CSystemCheckGrid::SetColumnWidths(std::vector<int> widths) { m_widths = std::move(widths); }

void CSystemCheckGrid::SetCellText(int row, int column, const std::string& text)
{
    if (Valid(row, column))
        m_text[std::size_t(row * m_columns + column)] = text;
}

void CSystemCheckGrid::SetCellColor(int row, int column, int code)
{
    if (Valid(row, column))
        m_colors[std::size_t(row * m_columns + column)] = code;
}

const std::string& CSystemCheckGrid::GetCellText(int row, int column) const
{
    return Valid(row, column) ? m_text[std::size_t(row * m_columns + column)] : kNoText;
}

int CSystemCheckGrid::GetCellColor(int row, int column) const
{
    return Valid(row, column) ? m_colors[std::size_t(row * m_columns + column)] : 0;
}

COLORREF CSystemCheckGrid::ColorOf(int code)
{
    switch (code) {
    case 1: return RGB(0, 200, 0);
    case 2: return RGB(255, 0, 0);
    case 4: return RGB(0, 0, 0);
    case 5: return RGB(178, 178, 0);
    case 6: return RGB(0, 255, 255);
    case 7: return RGB(180, 150, 100);
    default: return RGB(255, 255, 255);
    }
}

void CSystemCheckGrid::Redraw()
{
    if (GetSafeHwnd() != nullptr)
        Invalidate(FALSE);
}

void CSystemCheckGrid::OnPaint()
{
    CPaintDC dc(this);
    RECT client{};
    GetClientRect(&client);
    dc.FillSolidRect(&client, RGB(255, 255, 255));
    CFont font;
    font.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* oldFont = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    const COLORREF line = RGB(128, 128, 128);
    int x = 0;
    for (int c = 0; c < m_columns; ++c) {
        // Given widths, an equal share without one, and the rest for the last column.
        int width = c < int(m_widths.size()) ? m_widths[std::size_t(c)] : int(client.right) / m_columns;
        if (c == m_columns - 1)
            width = std::max<int>(client.right - x, 1);
        for (int r = 0; r < m_rows; ++r) {
            const int y = r * kRowHeight;
            const int code = GetCellColor(r, c);
            dc.FillSolidRect(x, y, width, kRowHeight, r == 0 ? RGB(212, 208, 200) : ColorOf(code));
            dc.SetTextColor(code == 4 || code == 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
            dc.TextOut(x + 4, y + 3, GetCellText(r, c));
            dc.FillSolidRect(x, y + kRowHeight - 1, width, 1, line);
        }
        dc.FillSolidRect(x + width - 1, 0, 1, m_rows * kRowHeight, line);
        x += width;
    }
    dc.SelectObject(oldFont);
}
