#include "platform/core/Responder.h"

#include <atomic>

namespace {
std::atomic<Responder*> g_current{nullptr};

const char* KindName(PromptKind kind)
{
    switch (kind) {
    case PromptKind::MessageBox: return "message box";
    case PromptKind::FileOpen: return "file open dialog";
    case PromptKind::FileSave: return "file save dialog";
    case PromptKind::Color: return "colour dialog";
    case PromptKind::Print: return "print dialog";
    case PromptKind::PrintSetup: return "print setup dialog";
    case PromptKind::Folder: return "folder dialog";
    }
    return "prompt";
}
} // namespace

Responder::Responder()
{
    previousCurrent_ = g_current.exchange(this);
    previous_ = SetMessageBoxPresenter([this](const MessageBoxRequest& request) {
        Prompt prompt;
        prompt.kind = PromptKind::MessageBox;
        prompt.text = request.text;
        prompt.caption = request.caption;
        prompt.type = request.type;
        return Answer(prompt).code;
    });
}

Responder::~Responder()
{
    SetMessageBoxPresenter(previous_);
    g_current.store(previousCurrent_);
}

Responder* Responder::Current()
{
    return g_current.load();
}

void Responder::ExpectBox(int answer, std::string textContains)
{
    ScriptedAnswer a;
    a.kind = PromptKind::MessageBox;
    a.code = answer;
    a.expectContains = std::move(textContains);
    Expect(std::move(a));
}

void Responder::ExpectEscape(std::string textContains)
{
    ScriptedAnswer a;
    a.kind = PromptKind::MessageBox;
    a.escape = true;
    a.expectContains = std::move(textContains);
    Expect(std::move(a));
}

void Responder::ExpectFile(PromptKind kind, std::string path)
{
    ScriptedAnswer a;
    a.kind = kind;
    a.code = path.empty() ? IDCANCEL : IDOK;
    a.path = std::move(path);
    Expect(std::move(a));
}

void Responder::ExpectColor(COLORREF color, bool ok)
{
    ScriptedAnswer a;
    a.kind = PromptKind::Color;
    a.code = ok ? IDOK : IDCANCEL;
    a.color = color;
    Expect(std::move(a));
}

void Responder::Expect(ScriptedAnswer answer)
{
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(answer));
}

ScriptedAnswer Responder::Answer(const Prompt& prompt)
{
    std::lock_guard lock(mutex_);
    shown_.push_back(prompt);
    ScriptedAnswer fallback;
    fallback.kind = prompt.kind;
    fallback.code = prompt.kind == PromptKind::MessageBox ? DefaultMessageBoxAnswer(prompt.type) : IDCANCEL;
    for (;;) {
        if (script_.empty()) {
            unexpected_.push_back(std::string("unscripted ") + KindName(prompt.kind) + ": " + prompt.text);
            return fallback;
        }
        ScriptedAnswer next = script_.front();
        if (next.kind != prompt.kind) {
            unexpected_.push_back(std::string("expected a ") + KindName(next.kind) + " but got a " +
                                  KindName(prompt.kind) + ": " + prompt.text);
            return fallback;
        }
        script_.pop_front();
        if (!next.expectContains.empty() && prompt.text.find(next.expectContains) == std::string::npos)
            unexpected_.push_back("text \"" + prompt.text + "\" lacks \"" + next.expectContains + "\"");
        if (!next.escape)
            return next;
        if (const std::optional<int> answer = EscapeAnswer(prompt.type)) {
            next.code = *answer;
            return next;
        }
        ++ignoredEscapes_; // the box stays up for the next answer
    }
}

std::vector<Prompt> Responder::Shown() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}

std::vector<std::string> Responder::Texts() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Prompt& p : shown_)
        texts.push_back(p.text);
    return texts;
}

std::vector<std::string> Responder::Unexpected() const
{
    std::lock_guard lock(mutex_);
    return unexpected_;
}

std::size_t Responder::Pending() const
{
    std::lock_guard lock(mutex_);
    return script_.size();
}

int Responder::IgnoredEscapes() const
{
    std::lock_guard lock(mutex_);
    return ignoredEscapes_;
}

void Responder::Clear()
{
    std::lock_guard lock(mutex_);
    ignoredEscapes_ = 0;
    script_.clear();
    shown_.clear();
    unexpected_.clear();
}
