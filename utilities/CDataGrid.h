// The owner-drawn result table every results window shows its numbers in: a fixed array of
// text cells with per-cell colours and borders, texts that span several cells of a row, one
// bitmap over a block of cells, and a number format per column. It fills its client area; it
// neither scrolls nor edits. A right click and a double click go to the parent as posted
// WM_GRID_RBUTTON / WM_GRID_DBLCLK, once the grid has been painted.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Controls.h"

#include <array>

constexpr UINT WM_GRID_DBLCLK = 0x659;  // wParam row, lParam column
constexpr UINT WM_GRID_RBUTTON = 0x65A; // wParam x, lParam y (grid client coordinates)

struct GridCell {
    WORD TextColor = 4;
    WORD BackColor = 0;
    char Text[80] = {};
    BYTE Left = 1, Top = 1, Right = 1, Bottom = 1;
};

struct GridSpan {
    BYTE InUse = 0;
    WORD Row = 0, FirstColumn = 0, LastColumn = 0;
    WORD TextColor = 4, BackColor = 0;
    WORD Align = 0; // 0 left, 2 right, 6 centred; any other code draws no text
    char Text[256] = {};
};

struct GridImage {
    BYTE InUse = 0;
    WORD FirstRow = 0, EndRow = 0, FirstColumn = 0, EndColumn = 0;
    char Path[256] = {};
};

class CDataGrid : public CButton {
public:
    static constexpr int kMax = 60;
    static constexpr int kSpans = 200;

    CDataGrid();

    void Clear();
    void SetSize(WORD rows, WORD columns);
    void SetHeaderRows(WORD count, WORD firstRow);
    void SetCellBorders(WORD row, WORD column, BYTE left, BYTE top, BYTE right, BYTE bottom);
    void SetCellTextColor(WORD row, WORD column, WORD code);
    void SetCellBackColor(WORD row, WORD column, WORD code);
    void SetCellText(WORD row, WORD column, const char* text);
    void ClearCell(WORD row, WORD column);
    void ClearRange(WORD firstRow, WORD firstColumn, WORD endRow, WORD endColumn);
    void SetColumnFormat(WORD column, int format);
    void SetCellValue(WORD row, WORD column, float value, WORD colour);
    void SetCellInt(WORD row, WORD column, int value, WORD colour);
    void AddSpan(WORD row, WORD firstColumn, WORD lastColumn, const char* text, WORD textColor, WORD backColor,
                 WORD align, BYTE bottom);
    void SetImage(WORD firstRow, WORD endRow, WORD firstColumn, WORD endColumn, const char* path);
    GridCell GetCell(WORD row, WORD column) const;
    void SetCell(WORD row, WORD column, const GridCell& cell);
    void CopyColumnFrom(const CDataGrid& source, WORD sourceFirstRow, WORD targetFirstRow, WORD sourceColumn,
                        WORD targetColumn, WORD count);
    void Redraw(int column);
    void FitHeightToRows();
    void FitWidthToColumns();

    WORD GetRowCount() const { return m_rows; }
    WORD GetColumnCount() const { return m_columns; }
    int GetRowHeight() const { return m_rowHeight; }
    int GetColumnWidth() const { return m_columnWidth; }
    const char* GetCellText(WORD row, WORD column) const;
    const GridSpan& GetSpan(int slot) const { return m_spans[static_cast<std::size_t>(slot)]; }
    int GetColumnFormat(WORD column) const { return column < kMax ? m_formats[column] : -1; }

    // The colour of a code of the table (text and background share it).
    static COLORREF CodeColor(WORD code);
    // The text SetCellValue writes for a value in a column format ("" for none).
    static void FormatValue(char (&out)[80], float value, int format);

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    // Paints the whole table into the DC over the rectangle; `colour` false draws as on a
    // monochrome display (red cells in bold black).
    void Draw(CDC* dc, const RECT& r, bool colour);
    // The height of the cells' font in rows `rowHeight` pixels high.
    static int FontHeight(int rowHeight);
    // The column width in which the widest text of the cells in use shows whole, drawn in rows
    // `rowHeight` pixels high (0 when no cell holds text or the window does not exist).
    int TextColumnWidth(int rowHeight);

protected:
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    static bool Valid(WORD row, WORD column) { return row < kMax && column < kMax; }

    WORD m_rows = 2;
    WORD m_columns = 2;
    int m_rowHeight = 0;
    int m_columnWidth = 0;
    std::array<std::array<GridCell, kMax>, kMax> m_cells{};
    std::array<GridSpan, kSpans> m_spans{};
    GridImage m_image{};
    std::array<int, kMax> m_formats{};
};
