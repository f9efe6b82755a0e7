#include "platform/core/MessageBox.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_mutex;
MessageBoxPresenter g_presenter;
std::string g_caption = "KDR-5200";
} // namespace

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    std::lock_guard lock(g_mutex);
    std::swap(g_presenter, presenter);
    return presenter;
}

void SetMessageBoxDefaultCaption(const std::string& caption)
{
    std::lock_guard lock(g_mutex);
    g_caption = caption;
}

const std::string& GetMessageBoxDefaultCaption()
{
    return g_caption;
}

int DefaultMessageBoxAnswer(UINT type)
{
    const UINT buttons = type & MB_TYPEMASK;
    const UINT def = (type & MB_DEFMASK) >> 8;
    switch (buttons) {
    case MB_OKCANCEL: return def == 1 ? IDCANCEL : IDOK;
    case MB_ABORTRETRYIGNORE: return def == 1 ? IDRETRY : (def == 2 ? IDIGNORE : IDABORT);
    case MB_YESNOCANCEL: return def == 1 ? IDNO : (def == 2 ? IDCANCEL : IDYES);
    case MB_YESNO: return def == 1 ? IDNO : IDYES;
    case MB_RETRYCANCEL: return def == 1 ? IDCANCEL : IDRETRY;
    default: return IDOK;
    }
}

std::optional<int> EscapeAnswer(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_ABORTRETRYIGNORE: return std::nullopt;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
    default: return IDOK; // boxes with only OK
    }
}

int MessageBoxA(const void*, const std::string& text, const std::string& caption, UINT type)
{
    MessageBoxRequest request{text, caption.empty() ? g_caption : caption, type};
    MessageBoxPresenter presenter;
    {
        std::lock_guard lock(g_mutex);
        presenter = g_presenter;
    }
    if (presenter)
        return presenter(request);
    std::fprintf(stderr, "[%s] %s\n", request.caption.c_str(), request.text.c_str());
    return DefaultMessageBoxAnswer(type);
}

int AfxMessageBox(const std::string& text, UINT type, UINT)
{
    return MessageBoxA(nullptr, text, std::string(), type);
}
