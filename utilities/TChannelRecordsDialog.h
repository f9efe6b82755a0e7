// An options dialog over the records of N channels, one channel on show: it works on a copy,
// changing channel or "Copy to All" first stores the shown fields (staying put when a number
// is refused), and OK writes the copy back to the caller's records.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "res/UtilityDialogIds.h"

#include <array>
#include <cstddef>

template <class Record, int N> class TChannelRecordsDialog : public CDialog {
public:
    // `records`: the caller's N records, written on OK only.
    TChannelRecordsDialog(UINT templateId, CWnd* parent, Record* records)
        : CDialog(templateId, parent), m_target(records)
    {
        for (int k = 0; k < N; ++k)
            m_work[static_cast<std::size_t>(k)] = records[k];
    }

    void OnOK() override
    {
        if (!Store())
            return;
        for (int k = 0; k < N; ++k)
            m_target[k] = m_work[static_cast<std::size_t>(k)];
        CDialog::OnOK();
    }

protected:
    // Reads the controls into the shown channel's record; false (with the message shown)
    // when a number is refused.
    virtual bool Store() = 0;
    // Shows the shown channel's record.
    virtual void Load() = 0;
    Record& Shown() { return m_work[static_cast<std::size_t>(m_channel)]; }

    void OnChannelChange()
    {
        auto* c = static_cast<CComboBox*>(this->GetDlgItem(IDC_UTIL_CHANNEL));
        if (!c)
            return;
        const int next = c->GetCurSel();
        if (!Store()) {
            c->SetCurSel(m_channel);
            return;
        }
        if (next >= 0 && next < N)
            m_channel = next;
        Load();
    }
    void OnCopyAll()
    {
        if (!Store())
            return;
        for (auto& r : m_work)
            r = m_work[static_cast<std::size_t>(m_channel)];
    }
    void OnHelpButton() {}

    Record* m_target;
    std::array<Record, N> m_work;
    int m_channel = 0;
};
