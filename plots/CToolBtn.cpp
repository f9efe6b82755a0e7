#include "plots/CToolBtn.h"

#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"

#include <cstring>

namespace {
void CopyName(char (&dest)[40], const char* src)
{
    std::memset(dest, 0, sizeof dest);
    if (src)
        std::strncpy(dest, src, sizeof dest - 1);
}

// The tooltip's window: a frameless popup that shows the tip picture. The desktop keeps what
// lies beneath, so hiding the window restores the screen.
class CTipWindow : public CWnd {
public:
    explicit CTipWindow(CBitmap* image) : image_(image) {}
    void OnPaint()
    {
        CPaintDC dc(this);
        CDC mem;
        mem.CreateCompatibleDC(&dc);
        CBitmap* old = mem.SelectObject(image_);
        RECT r{};
        GetClientRect(&r);
        dc.BitBlt(0, 0, r.right, r.bottom, &mem, 0, 0, SRCCOPY);
        mem.SelectObject(old);
    }

protected:
    DECLARE_MESSAGE_MAP()

private:
    CBitmap* image_;
};

BEGIN_MESSAGE_MAP(CTipWindow, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()
} // namespace

BEGIN_MESSAGE_MAP(CToolBtn, CButton)
    ON_WM_MOUSEMOVE()
    ON_WM_TIMER()
END_MESSAGE_MAP()

CToolBtn::CToolBtn(CWnd* pParent, UINT commandId, const char* upName, const char* downName, const char* greyName,
                   const char* tip)
    : commandId_(commandId)
{
    const RECT r{0, 0, 1, 1};
    Create(caption_, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, r, pParent, commandId);
    CopyName(upName_, upName);
    CopyName(downName_, downName);
    CopyName(greyName_, greyName);
    if (tip && std::strlen(tip) < sizeof tipText_)
        std::strncpy(tipText_, tip, sizeof tipText_ - 1);
    LoadBitmaps();
}

CToolBtn::~CToolBtn()
{
    HideTip();
    tipWnd_.reset();
}

void CToolBtn::LoadBitmaps()
{
    auto load = [](const char* name) -> std::unique_ptr<CBitmap> {
        if (!name[0])
            return nullptr;
        auto b = std::make_unique<CBitmap>();
        if (!b->LoadBitmap(name))
            return nullptr; // a missing picture draws nothing
        return b;
    };
    up_ = load(upName_);
    down_ = load(downName_);
    grey_ = load(greyName_);
    width_ = height_ = 0;
    if (up_) {
        BITMAP bm{};
        up_->GetBitmap(&bm);
        width_ = bm.bmWidth;
        height_ = bm.bmHeight;
    }
    MapColours(down_.get());
    MapColours(up_.get());
    MapColours(grey_.get());
}

// Replaces the pictures' reference greys by the system's button colours, pixel by pixel.
void CToolBtn::MapColours(CBitmap* bitmap)
{
    if (!bitmap || width_ <= 0 || height_ <= 0)
        return;
    CDC mem;
    if (!mem.CreateCompatibleDC(nullptr))
        return;
    CBitmap* old = mem.SelectObject(bitmap);
    // How the bitmap represents each reference colour.
    const COLORREF saved = mem.GetPixel(0, 0);
    auto represent = [&](COLORREF c) {
        mem.SetPixel(0, 0, c);
        return mem.GetPixel(0, 0);
    };
    if (width_ < 101) {
        const COLORREF from[4] = {represent(RGB(192, 192, 192)), represent(RGB(255, 255, 255)),
                                  represent(RGB(128, 128, 128)), represent(RGB(0, 0, 0))};
        const COLORREF to[4] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT),
                                GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNTEXT)};
        mem.SetPixel(0, 0, saved);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const COLORREF p = mem.GetPixel(x, y);
                for (int k = 0; k < 4; ++k)
                    if (p == from[k]) {
                        mem.SetPixel(x, y, to[k]);
                        break;
                    }
            }
    } else {
        const COLORREF white = represent(RGB(255, 255, 255));
        mem.SetPixel(0, 0, saved);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (mem.GetPixel(x, y) == white)
                    mem.SetPixel(x, y, face);
    }
    mem.SelectObject(old);
}

void CToolBtn::Disable()
{
    if (!grey_)
        return;
    disabled_ = 1;
    Invalidate();
    UpdateWindow();
}

void CToolBtn::Enable()
{
    disabled_ = 0;
    Invalidate();
    UpdateWindow();
}

void CToolBtn::Press()
{
    pressed_ = 1;
    Invalidate();
    UpdateWindow();
}

void CToolBtn::Release()
{
    pressed_ = 0;
    Invalidate();
    UpdateWindow();
}

void CToolBtn::SetPressed(bool pressed)
{
    if (pressed)
        Press();
    else
        Release();
}

void CToolBtn::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    CBitmap* pick = up_.get();
    if (disabled_ && grey_)
        pick = grey_.get();
    else if (pressed_)
        pick = down_.get();
    else if (lpDrawItemStruct->itemState & ODS_SELECTED)
        pick = down_.get();
    if (!pick)
        return;
    CDC* dc = CDC::FromHandle(lpDrawItemStruct->hDC);
    if (!dc)
        return;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap* old = mem.SelectObject(pick);
    dc->BitBlt(lpDrawItemStruct->rcItem.left, lpDrawItemStruct->rcItem.top, width_, height_, &mem, 0, 0, SRCCOPY);
    mem.SelectObject(old);
}

// ---- Tooltip --------------------------------------------------------------------------

bool CToolBtn::CursorInside() const
{
    POINT p{};
    GetCursorPos(&p);
    RECT r{};
    GetWindowRect(&r);
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void CToolBtn::OnMouseMove(UINT nFlags, CPoint point)
{
    RECT client{};
    GetClientRect(&client);
    const bool inside = point.x >= client.left && point.x < client.right && point.y >= client.top &&
                        point.y < client.bottom;
    if (inside) {
        if (!tipShown_) {
            POINT p = point;
            ClientToScreen(&p);
            restPosition_ = p;
            KillTimer(kTimerRest);
            SetTimer(kTimerRest, kTipDelay);
        }
    } else {
        HideTip();
    }
    CButton::OnMouseMove(nFlags, point);
}

void CToolBtn::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kTimerRest) {
        POINT p{};
        GetCursorPos(&p);
        if (p.x == restPosition_.x && p.y == restPosition_.y) {
            KillTimer(kTimerRest);
            HideTip();
            ShowTip();
            if (tipShown_)
                SetTimer(kTimerWatch, kTipDelay);
        }
    } else if (nIDEvent == kTimerWatch) {
        if (!CursorInside()) {
            KillTimer(kTimerWatch);
            HideTip();
        }
    }
}

void CToolBtn::ShowTip()
{
    if (tipShown_ || !tipText_[0])
        return;
    // The Windows font asked for here is a bitmap font whose smallest size (8 points) is what
    // a request for 1.4 points gets; a scalable font needs that size asked for outright.
    CFont font;
    font.CreatePointFont(80, "MS Sans Serif");
    CDC measure;
    measure.CreateCompatibleDC(nullptr);
    CFont* oldFont = measure.SelectObject(&font);
    const CSize text = measure.GetTextExtent(tipText_);
    measure.SelectObject(oldFont);

    RECT button{};
    GetWindowRect(&button);
    const int width = text.cx + 8;
    const int height = text.cy + 2;
    const int left = (button.left + button.right) / 2;
    const int top = button.bottom + 4;
    tipRect_ = RECT{left, top, left + width, top + height};

    tipImage_ = std::make_unique<CBitmap>();
    if (!tipImage_->CreateCompatibleBitmap(&measure, width, height)) {
        tipImage_.reset();
        return;
    }
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* oldBitmap = mem.SelectObject(tipImage_.get());
    oldFont = mem.SelectObject(&font);
    mem.Rectangle(0, 0, width, height);
    mem.SetBkMode(TRANSPARENT);
    mem.TextOut(4, 1, tipText_);
    mem.SelectObject(oldFont);
    mem.SelectObject(oldBitmap);

    auto tip = std::make_unique<CTipWindow>(tipImage_.get());
    if (!tip->CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, tipRect_, GetTopLevelParent(), 0))
        return;
    tipWnd_ = std::move(tip);
    tipWnd_->Invalidate();
    tipShown_ = 1;
    KillTimer(kTimerRest);
}

void CToolBtn::HideTip()
{
    if (IsWindow(GetSafeHwnd())) {
        KillTimer(kTimerRest);
        KillTimer(kTimerWatch);
    }
    if (tipShown_) {
        if (tipWnd_)
            tipWnd_->DestroyWindow();
        tipWnd_.reset();
        tipShown_ = 0;
    }
}
