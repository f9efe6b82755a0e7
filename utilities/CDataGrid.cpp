#include "utilities/CDataGrid.h"

#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

BEGIN_MESSAGE_MAP(CDataGrid, CButton)
    ON_WM_RBUTTONDOWN()
    ON_WM_LBUTTONDBLCLK()
END_MESSAGE_MAP()

namespace {
template <std::size_t N>
void CopyCut(char (&dest)[N], const char* src)
{
    std::memset(dest, 0, N);
    if (src)
        std::memcpy(dest, src, std::min(std::strlen(src), N - 1));
}
} // namespace

CDataGrid::CDataGrid()
{
    Clear();
}

void CDataGrid::Clear()
{
    for (auto& row : m_cells)
        row.fill(GridCell{});
    m_spans.fill(GridSpan{});
    m_image = GridImage{};
    m_rows = 2;
    m_columns = 2;
    m_rowHeight = 0;
    m_columnWidth = 0;
    m_formats.fill(-1);
}

void CDataGrid::SetSize(WORD rows, WORD columns)
{
    if (rows < kMax)
        m_rows = rows;
    if (columns < kMax)
        m_columns = columns;
    Redraw(-1);
}

void CDataGrid::SetHeaderRows(WORD count, WORD firstRow)
{
    for (int r = firstRow; r < firstRow + count && r < kMax; ++r)
        for (GridCell& c : m_cells[static_cast<std::size_t>(r)]) {
            c.TextColor = 4;
            c.BackColor = 3;
            c.Left = 1;
            c.Right = 1;
            c.Top = 0;
            c.Bottom = 0;
        }
}

void CDataGrid::SetCellBorders(WORD row, WORD column, BYTE left, BYTE top, BYTE right, BYTE bottom)
{
    if (!Valid(row, column))
        return;
    GridCell& c = m_cells[row][column];
    c.Left = left;
    c.Top = top;
    c.Right = right;
    c.Bottom = bottom;
}

void CDataGrid::SetCellTextColor(WORD row, WORD column, WORD code)
{
    if (Valid(row, column))
        m_cells[row][column].TextColor = code;
}

void CDataGrid::SetCellBackColor(WORD row, WORD column, WORD code)
{
    if (Valid(row, column))
        m_cells[row][column].BackColor = code;
}

void CDataGrid::SetCellText(WORD row, WORD column, const char* text)
{
    if (Valid(row, column))
        CopyCut(m_cells[row][column].Text, text);
}

void CDataGrid::ClearCell(WORD row, WORD column)
{
    if (Valid(row, column))
        m_cells[row][column].Text[0] = '\0';
}

void CDataGrid::ClearRange(WORD firstRow, WORD firstColumn, WORD endRow, WORD endColumn)
{
    for (int r = firstRow; r < endRow && r < kMax; ++r)
        for (int c = firstColumn; c < endColumn && c < kMax; ++c)
            m_cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)].Text[0] = '\0';
}

void CDataGrid::SetColumnFormat(WORD column, int format)
{
    if (column < kMax)
        m_formats[column] = format;
}

void CDataGrid::FormatValue(char (&out)[80], float value, int format)
{
    out[0] = '\0';
    static const char* const fixed[] = {"%6.0f", "%6.1f", "%6.2f", "%6.3f", "%6.4f", "%6.5f", "%6.6f"};
    const double v = value;
    const char* f = nullptr;
    if (format >= 0 && format <= 6)
        f = fixed[format];
    else if (format == -1) {
        if (v >= 1000)
            f = "%5.1f";
        else if (v >= 10)
            f = "%5.2f";
        else if (v >= 0)
            f = "%5.3f";
        else if (v < -1000)
            f = "%5.0f";
        else if (v < -100)
            f = "%5.1f";
        else if (v < -10)
            f = "%5.2f";
        else if (v < 0)
            f = "%5.3f";
    }
    if (f)
        std::snprintf(out, sizeof out, f, v);
}

namespace {
// Colour selectors of SetCellValue and SetCellInt: the text colour code they give, or -1 for
// "leave the colour as it is".
int SelectorCode(WORD selector)
{
    switch (selector) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 4;
    case 5: return 5;
    default: return -1;
    }
}
} // namespace

void CDataGrid::SetCellValue(WORD row, WORD column, float value, WORD colour)
{
    if (!Valid(row, column))
        return;
    GridCell& c = m_cells[row][column];
    FormatValue(c.Text, value, m_formats[column]);
    if (const int code = SelectorCode(colour); code >= 0)
        c.TextColor = static_cast<WORD>(code);
}

void CDataGrid::SetCellInt(WORD row, WORD column, int value, WORD colour)
{
    if (!Valid(row, column))
        return;
    GridCell& c = m_cells[row][column];
    std::snprintf(c.Text, sizeof c.Text, "%d", value);
    if (const int code = SelectorCode(colour); code >= 0)
        c.TextColor = static_cast<WORD>(code);
}

void CDataGrid::AddSpan(WORD row, WORD firstColumn, WORD lastColumn, const char* text, WORD textColor,
                        WORD backColor, WORD align, BYTE bottom)
{
    auto free = std::find_if(m_spans.begin(), m_spans.end(), [](const GridSpan& s) { return s.InUse == 0; });
    if (free != m_spans.end()) {
        free->InUse = 1;
        free->Row = row;
        free->FirstColumn = firstColumn;
        free->LastColumn = lastColumn;
        free->TextColor = textColor;
        free->BackColor = backColor;
        free->Align = align;
        CopyCut(free->Text, text);
    }
    for (int c = firstColumn; c <= lastColumn; ++c) {
        if (!Valid(row, static_cast<WORD>(c)))
            break;
        GridCell& cell = m_cells[row][static_cast<std::size_t>(c)];
        cell.Left = c == firstColumn ? 1 : 0;
        cell.Right = c == lastColumn && c != firstColumn ? 1 : 0;
        cell.Top = 0;
        cell.Bottom = bottom;
    }
}

void CDataGrid::SetImage(WORD firstRow, WORD endRow, WORD firstColumn, WORD endColumn, const char* path)
{
    m_image.InUse = 1;
    m_image.FirstRow = firstRow;
    m_image.EndRow = endRow;
    m_image.FirstColumn = firstColumn;
    m_image.EndColumn = endColumn;
    CopyCut(m_image.Path, path);
}

GridCell CDataGrid::GetCell(WORD row, WORD column) const
{
    if (!Valid(row, column)) {
        GridCell zero;
        zero.TextColor = 0;
        zero.BackColor = 0;
        zero.Left = zero.Top = zero.Right = zero.Bottom = 0;
        return zero;
    }
    return m_cells[row][column];
}

void CDataGrid::SetCell(WORD row, WORD column, const GridCell& cell)
{
    if (Valid(row, column))
        m_cells[row][column] = cell;
}

const char* CDataGrid::GetCellText(WORD row, WORD column) const
{
    return Valid(row, column) ? m_cells[row][column].Text : "";
}

void CDataGrid::CopyColumnFrom(const CDataGrid& source, WORD sourceFirstRow, WORD targetFirstRow, WORD sourceColumn,
                               WORD targetColumn, WORD count)
{
    const int n = std::min<int>(count, source.m_rows);
    for (int i = 0; i < n; ++i) {
        const int sr = sourceFirstRow + i;
        const int tr = targetFirstRow + i;
        if (sr >= kMax || tr >= kMax || sourceColumn >= kMax || targetColumn >= kMax)
            break;
        m_cells[static_cast<std::size_t>(tr)][targetColumn] = source.m_cells[static_cast<std::size_t>(sr)][sourceColumn];
    }
}

void CDataGrid::Redraw(int column)
{
    if (!GetSafeHwnd() || m_columns == 0)
        return;
    if (column < 0) {
        Invalidate(FALSE);
        return;
    }
    RECT client{};
    GetClientRect(&client);
    const RECT band{column * m_columnWidth, client.top, column * m_columnWidth + m_columnWidth, client.bottom};
    InvalidateRect(&band, FALSE);
}

void CDataGrid::FitHeightToRows()
{
    if (!GetSafeHwnd())
        return;
    RECT r{};
    GetClientRect(&r);
    SetWindowPos(nullptr, 0, 0, r.right - r.left, m_rows * 15 + 3, SWP_NOMOVE | SWP_NOZORDER);
    Redraw(-1);
}

void CDataGrid::FitWidthToColumns()
{
    if (!GetSafeHwnd())
        return;
    RECT r{};
    GetClientRect(&r);
    SetWindowPos(nullptr, 0, 0, m_columns * 45 + 3, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    Redraw(-1);
}

COLORREF CDataGrid::CodeColor(WORD code)
{
    switch (code) {
    case 0: return RGB(255, 255, 255);
    case 1: return RGB(0, 128, 0);
    case 2: return RGB(255, 0, 0);
    case 3: return GetSysColor(COLOR_BTNFACE);
    case 5: return RGB(178, 178, 0);
    case 6: return RGB(0, 255, 255);
    case 7: return RGB(180, 150, 100);
    default: return RGB(0, 0, 0);
    }
}

void CDataGrid::OnRButtonDown(UINT nFlags, CPoint point)
{
    if (m_rowHeight != 0 && m_columnWidth != 0)
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_GRID_RBUTTON, static_cast<WPARAM>(point.x), static_cast<LPARAM>(point.y));
    Default();
}

void CDataGrid::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    if (m_rowHeight != 0 && m_columnWidth != 0)
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_GRID_DBLCLK, static_cast<WPARAM>(point.y / m_rowHeight),
                                static_cast<LPARAM>(point.x / m_columnWidth));
    Default();
}

void CDataGrid::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    CDC* dc = CDC::FromHandle(lpDrawItemStruct->hDC);
    if (!dc)
        return;
    RECT r{};
    GetClientRect(&r);
    const bool colour = dc->GetDeviceCaps(PLANES) > 1 || dc->GetDeviceCaps(NUMCOLORS) > 2 || dc->GetDeviceCaps(BITSPIXEL) > 1;
    Draw(dc, r, colour);
}

int CDataGrid::FontHeight(int rowHeight)
{
    return rowHeight < 21 ? rowHeight - 1 : static_cast<int>(0.9 * rowHeight);
}

int CDataGrid::TextColumnWidth(int rowHeight)
{
    if (!GetSafeHwnd())
        return 0;
    CClientDC dc(this);
    CFont font;
    font.CreateFont(FontHeight(rowHeight), 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc.SelectObject(&font);
    int widest = 0;
    for (int row = 0; row < m_rows; ++row)
        for (int col = 0; col < m_columns; ++col)
            if (const char* text = m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].Text; text[0])
                widest = std::max(widest, static_cast<int>(dc.GetTextExtent(text).cx));
    // Text starts 3 pixels into its column; it keeps 2 clear of the next column's border.
    return widest > 0 ? widest + 5 : 0;
}

void CDataGrid::Draw(CDC* dc, const RECT& R, bool colour)
{
    const int saved = dc->SaveDC();
    const int width = R.right - R.left;
    const int height = R.bottom - R.top;
    CPen whitePen(PS_SOLID, 1, RGB(255, 255, 255));
    CBrush whiteBrush(RGB(255, 255, 255));
    dc->SelectObject(&whitePen);
    dc->SelectObject(&whiteBrush);
    dc->Rectangle(&R);

    if (m_rows == 0 || m_columns == 0) {
        dc->RestoreDC(saved);
        return;
    }
    // Rounded down: a height or width rounded up would push the last row or column past the
    // client area, under whatever lies below or right of the table.
    m_rowHeight = height / m_rows;
    m_columnWidth = width / m_columns;

    const int fontHeight = FontHeight(m_rowHeight);
    CFont normal;
    CFont bold;
    normal.CreateFont(fontHeight, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    bold.CreateFont(fontHeight, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc->SelectObject(&normal);
    dc->SetTextAlign(TA_BASELINE | TA_LEFT);
    dc->SetBkMode(TRANSPARENT);

    auto cut = [&](RECT box) {
        box.right = std::min(box.right, R.right);
        box.bottom = std::min(box.bottom, R.bottom);
        return box;
    };

    // Cells: background, then text.
    for (int row = 0; row < m_rows; ++row)
        for (int col = 0; col < m_columns; ++col) {
            const GridCell& cell = m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            const int left = R.left + col * m_columnWidth + 1;
            const int top = R.top + row * m_rowHeight;
            const RECT box = cut(RECT{left, top, left + m_columnWidth - 1, top + m_rowHeight});
            if (box.right <= box.left || box.bottom <= box.top)
                continue;
            dc->SaveDC();
            dc->IntersectClipRect(&box);
            const COLORREF back = CodeColor(cell.BackColor);
            CPen pen(PS_SOLID, 1, back);
            CBrush brush(back);
            dc->SelectObject(&pen);
            dc->SelectObject(&brush);
            dc->Rectangle(box.left - 1, box.top - 1, box.right + 1, box.bottom + 1);
            dc->RestoreDC(-1);
            if (cell.Text[0] == '\0')
                continue;
            if (colour) {
                dc->SetTextColor(CodeColor(cell.TextColor));
                dc->SelectObject(&normal);
            } else {
                dc->SetTextColor(RGB(0, 0, 0));
                dc->SelectObject(cell.TextColor == 2 ? &bold : &normal);
            }
            dc->TextOut(box.left + 2, box.bottom - (box.bottom - box.top) / 6, cell.Text);
        }
    dc->SelectObject(&normal);

    // Spans, in slot order.
    for (const GridSpan& s : m_spans) {
        if (!s.InUse || s.Row >= m_rows)
            continue;
        const int left = R.left + 1 + s.FirstColumn * m_columnWidth;
        const int top = R.top + s.Row * m_rowHeight;
        const RECT box =
            cut(RECT{left, top, left - 1 + (s.LastColumn - s.FirstColumn + 1) * m_columnWidth, top + m_rowHeight});
        if (s.BackColor == 3)
            dc->FillSolidRect(&box, CodeColor(3));
        dc->SetTextColor(s.TextColor <= 5 ? CodeColor(s.TextColor) : RGB(0, 0, 0));
        const int baseline = box.bottom - (box.bottom - box.top) / 6;
        switch (s.Align) {
        case 0:
            dc->SetTextAlign(TA_BASELINE | TA_LEFT);
            dc->TextOut(box.left + 4, baseline, s.Text);
            break;
        case 6:
            dc->SetTextAlign(TA_BASELINE | TA_CENTER);
            dc->TextOut(box.left + (box.right - box.left) / 2, baseline, s.Text);
            break;
        case 2:
            dc->SetTextAlign(TA_BASELINE | TA_RIGHT);
            dc->TextOut(box.right - 4, baseline, s.Text);
            break;
        default: break;
        }
    }
    dc->SetTextAlign(TA_BASELINE | TA_LEFT);

    // Borders.
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&black);
    for (int row = 0; row < m_rows; ++row)
        for (int col = 0; col < m_columns; ++col) {
            const GridCell& cell = m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            const int left = R.left + col * m_columnWidth;
            const int top = R.top + row * m_rowHeight;
            const RECT b = cut(RECT{left, top, left + m_columnWidth, top + m_rowHeight});
            if (cell.Left) {
                dc->MoveTo(b.left, b.bottom);
                dc->LineTo(b.left, b.top);
            }
            if (cell.Top) {
                dc->MoveTo(b.left, b.top);
                dc->LineTo(b.right, b.top);
            }
            if (cell.Right) {
                dc->MoveTo(b.right, b.top);
                dc->LineTo(b.right, b.bottom);
            }
            if (cell.Bottom) {
                dc->MoveTo(b.right, b.bottom);
                dc->LineTo(b.left, b.bottom);
            }
        }

    // The image over its block of cells; a file that does not load is left out.
    if (m_image.InUse) {
        CBitmap bitmap;
        if (LoadBitmapFile(bitmap, m_image.Path)) {
            BITMAP info{};
            bitmap.GetBitmap(&info);
            const RECT box = cut(RECT{R.left + 1 + m_image.FirstColumn * m_columnWidth,
                                      R.top + 1 + m_image.FirstRow * m_rowHeight,
                                      R.left - 1 + m_image.EndColumn * m_columnWidth,
                                      R.top - 1 + m_image.EndRow * m_rowHeight});
            CDC mem;
            mem.CreateCompatibleDC(dc);
            CBitmap* old = mem.SelectObject(&bitmap);
            dc->SetStretchBltMode(COLORONCOLOR);
            dc->StretchBlt(box.left, box.top, box.right - box.left, box.bottom - box.top, &mem, 0, 0, info.bmWidth,
                           info.bmHeight, SRCCOPY);
            mem.SelectObject(old);
            CBrush frame(RGB(0, 0, 0));
            dc->FrameRect(&box, &frame);
        }
    }

    CBrush frame(RGB(0, 0, 0));
    dc->FrameRect(&R, &frame);
    dc->RestoreDC(saved);
}
