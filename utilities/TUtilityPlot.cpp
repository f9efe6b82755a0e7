#include "utilities/TUtilityPlot.h"

#include "records/AppMessages.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/WinApp.h"

BEGIN_MESSAGE_MAP(TUtilityPlot, TPlotBase)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

BOOL TUtilityPlot::CreateUtilityWindow(LPCSTR title, DWORD style, const RECT& rect, CWnd* frame)
{
    m_frame = frame ? frame : AfxGetMainWnd();
    m_paneMode = 1;
    return CreatePlotWindow(title, style, &rect);
}

void TUtilityPlot::OnClose()
{
    // Closing in the middle of a test would leave the frame disabled.
    if (IsBusy() || !QuerySave())
        return;
    if (m_frame && m_frame->GetSafeHwnd())
        m_frame->SendMessage(WM_UTILITY_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}

bool TUtilityPlot::AskToSaveResults(const char* question, BYTE& modified, bool prompt, std::string& fileName,
                                    const std::function<void()>& save)
{
    if (!modified || !prompt)
        return true;
    const int answer = AfxMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    if (answer == IDYES) {
        save();
        // Only a save that happened lets the results go.
        return modified == 0;
    }
    modified = 0;
    fileName.clear();
    return true;
}

void TUtilityPlot::CreateProgress(const CRect& bar, UINT id)
{
    m_progressBar = bar;
    m_progress = std::make_unique<CProgressCtrl>();
    m_progress->Create(WS_CHILD | PBS_SMOOTH, bar, this, id);
    m_progress->SetRange(0, 100);
}

void TUtilityPlot::ShowProgress()
{
    if (!m_progress)
        return;
    m_progress->SetRange(0, 100);
    m_progress->SetPos(0);
    m_progress->ShowWindow(SW_SHOW);
    m_progressText.clear();
}

bool TUtilityPlot::SetProgressAndPoll(int percent, const char* text)
{
    if (m_progress) {
        m_progress->SetPos(percent);
        m_progress->UpdateWindow();
    }
    const std::string now = text ? text : "";
    if (now != m_progressText) {
        m_progressText = now;
        const CRect strip(m_progressBar.left, m_progressBar.top - 18, m_progressBar.right, m_progressBar.top);
        InvalidateRect(&strip, FALSE);
        UpdateWindow();
    }
    // Esc for this window or the main window cancels the running stage.
    bool escape = AfxCheckCancel(this) == CancelRequest::Escape;
    if (CWnd* main = AfxGetMainWnd(); main && main != this && AfxCheckCancel(main) == CancelRequest::Escape)
        escape = true;
    return escape;
}

void TUtilityPlot::HideProgress()
{
    if (m_progress) {
        m_progress->SetPos(0);
        m_progress->ShowWindow(SW_HIDE);
    }
    m_progressText.clear();
    Invalidate();
}

void TUtilityPlot::DrawProgressText(CDC* dc, CFont* font)
{
    if (m_progressText.empty() || m_printing)
        return;
    CFont* old = dc->SelectObject(font);
    dc->FillSolidRect(m_progressBar.left, m_progressBar.top - 18, m_progressBar.Width(), 18, GetSysColor(COLOR_BTNFACE));
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc->TextOut(m_progressBar.left, m_progressBar.top - 16, m_progressText);
    dc->SelectObject(old);
}
