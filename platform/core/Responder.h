// A scripted stand-in for the user in front of message boxes and common dialogs.
// Tests queue the answers they expect to give; every prompt shown is recorded; a prompt
// with no queued answer (or of another kind than the next answer) is recorded as
// unexpected and answered with its default, so the test can fail on it.
#pragma once

#include "platform/core/MessageBox.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

enum class PromptKind { MessageBox, FileOpen, FileSave, Color, Print, PrintSetup, Folder };

struct Prompt {
    PromptKind kind = PromptKind::MessageBox;
    std::string text;    // message text, or the file dialog's title
    std::string caption; // message box caption
    UINT type = 0;       // MB_* flags for a message box
    std::string initial; // initial path or file name of a file dialog
    std::string filter;  // filter of a file dialog
};

struct ScriptedAnswer {
    PromptKind kind = PromptKind::MessageBox;
    int code = IDOK;           // IDOK/IDYES/... for boxes; IDOK or IDCANCEL for dialogs
    std::string path;          // chosen file or folder
    COLORREF color = 0;        // chosen colour
    std::string expectContains; // when not empty, the prompt's text must contain it
    bool escape = false;        // the user presses Esc on a message box rather than a button
};

class Responder {
public:
    Responder();  // installs itself as the message-box presenter
    ~Responder(); // restores the previous presenter
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // The Responder in force, or null (common dialogs ask it before showing a real dialog).
    static Responder* Current();

    void ExpectBox(int answer, std::string textContains = {});
    // Esc on the next box: it answers as EscapeAnswer says; a box that ignores Esc stays up
    // and takes the answer scripted after it.
    void ExpectEscape(std::string textContains = {});
    void ExpectFile(PromptKind kind, std::string path); // an empty path means Cancel
    void ExpectColor(COLORREF color, bool ok = true);
    void Expect(ScriptedAnswer answer);

    // Answers one prompt from the script.
    ScriptedAnswer Answer(const Prompt& prompt);

    std::vector<Prompt> Shown() const;
    std::vector<std::string> Texts() const;  // texts of every prompt shown, in order
    std::vector<std::string> Unexpected() const; // descriptions of prompts not scripted or not matching
    std::size_t Pending() const; // answers queued but not used
    int IgnoredEscapes() const;  // Esc presses a box ignored
    void Clear();

private:
    mutable std::mutex mutex_;
    std::deque<ScriptedAnswer> script_;
    std::vector<Prompt> shown_;
    std::vector<std::string> unexpected_;
    int ignoredEscapes_ = 0;
    MessageBoxPresenter previous_;
    Responder* previousCurrent_ = nullptr;
};
