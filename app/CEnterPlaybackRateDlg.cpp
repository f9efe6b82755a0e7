#include "app/CEnterPlaybackRateDlg.h"

#include "res/PlaybackDialogIds.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

CEnterPlaybackRateDlg::CEnterPlaybackRateDlg(CWnd* parent, DWORD* rate)
    : CValueEntryDlg(IDD_PLAYBACK_RATE, parent, IDC_PLAYBACK_RATE, MB_ICONERROR), m_rate(rate)
{
}

std::string CEnterPlaybackRateDlg::ShownText() const { return std::to_string(int(*m_rate)); }

std::string CEnterPlaybackRateDlg::Take(const char* text)
{
    // Read wide and bounded, so a long row of digits can't wrap round into a small rate.
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value <= 0)
        return "Sampling Rate must be greater than zero.";
    if (errno == ERANGE || value > kMaxRate) {
        char message[96];
        std::snprintf(message, sizeof message, "Sampling Rate must not be greater than %ld.", kMaxRate);
        return message;
    }
    *m_rate = static_cast<DWORD>(value);
    return {};
}
