// The result grid of the system check: rows of text cells, a header row, and a colour code per
// cell (0 white, 1 green, 2 red, 4 black, 5 dark yellow, 6 cyan, 7 brown), drawn by itself.
//
// Threads: user-interface thread.
#pragma once

#include "platform/ui/Wnd.h"

#include <string>
#include <vector>

class CSystemCheckGrid : public CWnd {
public:
    BOOL CreateGrid(CWnd* parent, const RECT& rect, UINT id);
    void SetSize(int rows, int columns);
    void SetColumnWidths(std::vector<int> widths); // pixels; the last column takes what is left
    void SetCellText(int row, int column, const std::string& text);
    void SetCellColor(int row, int column, int code);
    const std::string& GetCellText(int row, int column) const;
    int GetCellColor(int row, int column) const;
    void Redraw();
    // The colour of a code.
    static COLORREF ColorOf(int code);

protected:
    DECLARE_MESSAGE_MAP()
    void OnPaint();

private:
    bool Valid(int row, int column) const { return row >= 0 && row < m_rows && column >= 0 && column < m_columns; }
    int m_rows = 0;
    int m_columns = 0;
    std::vector<int> m_widths;
    std::vector<std::string> m_text;
    std::vector<int> m_colors;
};
