#include "platform/ui/GdiWindowDC.h"

#include "platform/ui/qt/GdiInternal.h"
#include "platform/ui/Wnd.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// The stand-in for the desktop's pixels.
CSurface* ScreenSurface()
{
    static CSurface* s = new CSurface;
    QSize size(1920, 1080);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* sc = app->primaryScreen())
            size = sc->size();
    s->Resize(size.width(), size.height());
    return s;
}

CSurface* SurfaceOf(CWnd* wnd)
{
    return wnd ? wnd->GetSurface() : ScreenSurface();
}

HDC NewSurfaceDC(CSurface* surface, const RECT* clip)
{
    if (!surface)
        return nullptr;
    auto dc = gdi::NewContext(DeviceContext::Kind::Surface);
    dc->surface = surface;
    if (clip) {
        dc->hasMetaClip = true;
        dc->metaClip = ClipArea(QRect(QPoint(clip->left, clip->top), QPoint(clip->right - 1, clip->bottom - 1)));
    }
    return gdi::NewDC(std::move(dc));
}

} // namespace

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd)
{
    Attach(NewSurfaceDC(SurfaceOf(wnd), nullptr));
}

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(wnd)
{
    Attach(NewSurfaceDC(SurfaceOf(wnd), nullptr));
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd)
{
    if (!wnd)
        return;
    CSurface* surface = wnd->GetSurface();
    m_ps.rcPaint = wnd->GetPaintRect();
    Attach(NewSurfaceDC(surface, &m_ps.rcPaint));
    m_ps.hdc = m_hDC;
    if (wnd->TakeErasePending()) {
        m_ps.fErase = TRUE;
        if (!wnd->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(static_cast<CDC*>(this)), 0)) {
            CBrush* brush = nullptr;
            if (HBRUSH b = wnd->GetClassBackgroundBrush())
                brush = CBrush::FromHandle(b);
            if (!brush)
                brush = GetSysColorBrush(COLOR_WINDOW);
            FillRect(&m_ps.rcPaint, brush);
        }
        m_ps.fErase = FALSE;
    }
}

CDC* GetWindowClientDC(CWnd* wnd)
{
    auto* dc = new CClientDC(wnd);
    if (!dc->GetSafeHdc()) {
        delete dc;
        return nullptr;
    }
    return dc;
}

int ReleaseWindowDC(CWnd*, CDC* dc)
{
    if (!dc)
        return 0;
    delete dc;
    return 1;
}
