// The message-box entry point. The user interface installs a presenter at start-up (a real
// dialog); tests install a Responder (platform/core/Responder.h) that answers from a script
// and records every text shown. Without a presenter a box is written to stderr and answered
// with its default button, so headless tools never block.
#pragma once

#include "platform/core/WinTypes.h"

#include <functional>
#include <optional>
#include <string>

// Buttons.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
// Default button.
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    UINT type = MB_OK;
};

using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;

// Installs the presenter; returns the previous one so a test can restore it.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// The caption used when none is given (the application title once the application has set it).
void SetMessageBoxDefaultCaption(const std::string& caption);
const std::string& GetMessageBoxDefaultCaption();

// The answer a box gets when nobody is there to press a button: its default button.
int DefaultMessageBoxAnswer(UINT type);

// The answer Esc gives a box: Cancel where there is one, OK on a box with only OK. A box that
// offers neither (Yes/No, Abort/Retry/Ignore) ignores Esc and has no close button, so a key
// meant for something else never answers a question for the user.
std::optional<int> EscapeAnswer(UINT type);

// Shows a box with the default caption.
int AfxMessageBox(const std::string& text, UINT type = MB_OK, UINT helpId = 0);
// Shows a box with an explicit caption (an empty caption means the default one).
int MessageBoxA(const void* owner, const std::string& text, const std::string& caption, UINT type);
