// The owner-drawn bitmap button of the tool windows and the plots' tool strips: an "up"
// picture, a "down" picture (pressed or held) and an optional grey picture (disabled). The
// pictures' standard greys become the system's button colours when they are loaded. When the
// mouse rests on the button for 250 ms it shows its tooltip below the button.
//
// The disabled flag changes only the picture: clicks still reach the parent as its command.
// User-interface thread only.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"

#include <memory>

class CToolBtn : public CButton {
public:
    static constexpr UINT_PTR kTimerRest = 201;  // the cursor rested: show the tip
    static constexpr UINT_PTR kTimerWatch = 202; // the tip is up: hide it once the cursor leaves
    static constexpr UINT kTipDelay = 250;

    // Creates the button as a visible owner-drawn child of the parent at a 1 x 1 rectangle
    // (the owner places it) and loads its pictures. greyName and tip may be null; a tip of 80
    // characters or more gives no tooltip.
    CToolBtn(CWnd* pParent, UINT commandId, const char* upName, const char* downName, const char* greyName,
             const char* tip);
    ~CToolBtn() override;

    void LoadBitmaps();
    // Greys the button (only when it has a grey picture).
    void Disable();
    void Enable();
    void Press();
    void Release();
    void SetPressed(bool pressed);

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void ShowTip();
    void HideTip();

    bool IsDisabled() const { return disabled_ != 0; }
    bool IsPressed() const { return pressed_ != 0; }
    bool IsTipShown() const { return tipShown_ != 0; }
    const char* TipText() const { return tipText_; }
    UINT CommandId() const { return commandId_; }
    int BitmapWidth() const { return width_; }
    // The tooltip's window while it is shown (null otherwise), and its place on the screen.
    CWnd* TipWindow() const { return tipWnd_.get(); }
    RECT TipRect() const { return tipRect_; }
    CBitmap* UpBitmap() { return up_.get(); }

    void OnMouseMove(UINT nFlags, CPoint point);
    void OnTimer(UINT_PTR nIDEvent);

protected:
    DECLARE_MESSAGE_MAP()

private:
    void MapColours(CBitmap* bitmap);
    bool CursorInside() const;

    int width_ = 0;
    int height_ = 0;
    BYTE disabled_ = 0;
    BYTE pressed_ = 0;
    char upName_[40] = {};
    char downName_[40] = {};
    char greyName_[40] = {};
    UINT commandId_ = 0;
    std::unique_ptr<CBitmap> up_, down_, grey_;
    char caption_[40] = {};
    std::unique_ptr<CBitmap> tipImage_;
    char tipText_[80] = {};
    POINT restPosition_{};
    BYTE tipShown_ = 0;
    std::unique_ptr<CWnd> tipWnd_;
    RECT tipRect_{};
};
