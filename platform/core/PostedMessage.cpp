#include "platform/core/PostedMessage.h"

#include <atomic>

namespace {
std::atomic<MessagePoster> g_poster{nullptr};
} // namespace

void SetMessagePoster(MessagePoster poster) { g_poster.store(poster); }

bool PostMessageIf(HWND window, UINT message, WPARAM wParam, LPARAM lParam, MessageGate gate)
{
    const MessagePoster poster = g_poster.load();
    return poster != nullptr && poster(window, message, wParam, lParam, std::move(gate));
}
