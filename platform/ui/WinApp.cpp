#include "platform/ui/WinApp.h"

#include "platform/core/MessageBox.h"
#include "platform/core/Resources.h"
#include "platform/core/Responder.h"
#include "platform/core/SystemFolders.h"
#include "platform/ui/qt/QtAccess.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <clocale>
#include <filesystem>
#include <memory>

namespace {
CWinApp* g_app = nullptr;
// The message loop of CWinApp::Run; WM_QUIT ends it and nothing else (not a modal loop).
QEventLoop* g_mainLoop = nullptr;
bool g_quitPending = false;
int g_quitCode = 0;
constexpr UINT kAppTitleId = 57344; // AFX_IDS_APP_TITLE
} // namespace

CWinApp* AfxGetApp() { return g_app; }

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    if (lpszAppName) {
        appName_ = lpszAppName;
        m_pszAppName = appName_.c_str();
    }
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run()
{
    if (!QCoreApplication::instance())
        return -1;
    if (g_quitPending || !m_pMainWnd) {
        g_quitPending = false;
        return g_quitCode;
    }
    QEventLoop loop;
    g_mainLoop = &loop;
    const int code = loop.exec();
    g_mainLoop = nullptr;
    g_quitPending = false;
    return code;
}

void PostQuitMessage(int nExitCode)
{
    // Queued like WM_QUIT, so that what is being handled finishes first.
    g_quitPending = true;
    g_quitCode = nExitCode;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app,
            [nExitCode] {
                if (g_mainLoop)
                    g_mainLoop->exit(nExitCode);
            },
            Qt::QueuedConnection);
}

HCURSOR CWinApp::LoadStandardCursor(LPCSTR name) const { return ::LoadCursor(nullptr, name); }
HCURSOR CWinApp::LoadCursor(UINT id) const { return ::LoadCursor(nullptr, MAKEINTRESOURCEA(id)); }
HCURSOR CWinApp::LoadCursor(LPCSTR name) const { return ::LoadCursor(nullptr, name); }
HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIcon(nullptr, id); }
HICON CWinApp::LoadIcon(LPCSTR name) const { return ::LoadIcon(nullptr, name); }

std::string AfxGetModulePath() { return GetModuleFileNameString(); }

void CWinApp::InitApplicationState(int argc, char** argv)
{
    // The command line as Windows hands it: everything after the program name, joined by
    // blanks; an argument with blanks keeps its quotes.
    cmdLine_.clear();
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            cmdLine_ += ' ';
        const std::string a = argv[i] ? argv[i] : "";
        cmdLine_ += a.find(' ') != std::string::npos ? "\"" + a + "\"" : a;
    }
    m_lpCmdLine = cmdLine_.data();

    const std::filesystem::path module = AfxGetModulePath();
    exeName_ = module.stem().string();
    if (exeName_.empty())
        exeName_ = "Durnex";
    m_pszExeName = exeName_.c_str();
    std::filesystem::path help = module;
    help.replace_extension(".hlp");
    helpPath_ = help.string();
    m_pszHelpFilePath = helpPath_.c_str();

    if (appName_.empty()) {
        appName_ = LoadResourceString(kAppTitleId);
        if (appName_.empty())
            appName_ = exeName_;
    }
    m_pszAppName = appName_.c_str();
    SetMessageBoxDefaultCaption(appName_);
}

namespace {
// A box without Cancel and with more than one button ignores Esc and the close box, as on
// Windows: Qt would otherwise take Esc as No.
class PlatformMessageBox : public QMessageBox {
public:
    PlatformMessageBox(QWidget* owner, bool escapable) : QMessageBox(owner), escapable_(escapable)
    {
        if (!escapable_)
            setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (!escapable_ && e->matches(QKeySequence::Cancel)) {
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override
    {
        if (!escapable_) {
            e->ignore();
            return;
        }
        QMessageBox::closeEvent(e);
    }
    void reject() override
    {
        if (escapable_)
            QMessageBox::reject();
    }

private:
    bool escapable_;
};
} // namespace

MessageBoxPresenter AfxQtMessageBoxPresenter()
{
    return [](const MessageBoxRequest& req) -> int {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return DefaultMessageBoxAnswer(req.type);
        QString text = QString::fromLocal8Bit(req.text.c_str());
        text.replace("\r\n", "\n");
        text.replace('\r', '\n');
        QWidget* owner = nullptr;
        if (CWnd* main = AfxGetMainWnd())
            owner = QtWidgetOf(main);
        const std::optional<int> escape = EscapeAnswer(req.type);
        PlatformMessageBox box(owner, escape.has_value());
        box.setWindowTitle(QString::fromLocal8Bit(req.caption.c_str()));
        box.setText(text);
        switch (req.type & MB_ICONMASK) {
        case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
        case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
        default: break;
        }
        struct Choice {
            QMessageBox::StandardButton button;
            int answer;
        };
        std::vector<Choice> choices;
        switch (req.type & MB_TYPEMASK) {
        case MB_OKCANCEL: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
        case MB_ABORTRETRYIGNORE:
            choices = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
            break;
        case MB_YESNOCANCEL:
            choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
            break;
        case MB_YESNO: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
        case MB_RETRYCANCEL: choices = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}}; break;
        default: choices = {{QMessageBox::Ok, IDOK}}; break;
        }
        QMessageBox::StandardButtons buttons;
        for (const Choice& c : choices)
            buttons |= c.button;
        box.setStandardButtons(buttons);
        const size_t def = (req.type & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : (req.type & MB_DEFMASK) == MB_DEFBUTTON3 ? 2 : 0;
        if (def < choices.size())
            box.setDefaultButton(choices[def].button);
        for (const Choice& c : choices)
            if (escape && c.answer == *escape)
                box.setEscapeButton(c.button);
        const int r = box.exec();
        for (const Choice& c : choices)
            if (c.button == r)
                return c.answer;
        // Ended without a button (the owner went away): the answer that changes least.
        for (const Choice& c : choices)
            if (c.answer == IDCANCEL || c.answer == IDNO)
                return c.answer;
        return choices.front().answer;
    };
}

void AfxInstallMessageBoxPresenter()
{
    if (Responder::Current())
        return;
    SetMessageBoxPresenter(AfxQtMessageBoxPresenter());
}

int AfxWinMain(int argc, char** argv)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    static int qtArgc = 0;
    qtArgc = argc;
    std::unique_ptr<QApplication> ownApp;
    if (!QCoreApplication::instance())
        ownApp = std::make_unique<QApplication>(qtArgc, argv);
    // Qt takes the locale from the environment; numbers are read and written the C way.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    app->InitApplicationState(qtArgc, argv);
    AfxInstallMessageBoxPresenter();
    int code = 0;
    if (app->InitInstance()) {
        code = app->Run();
        const int exitCode = app->ExitInstance();
        if (code == 0)
            code = exitCode;
    } else {
        code = app->ExitInstance();
    }
    // Windows still pending deletion go with the Qt application, before static destruction.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ownApp.reset();
    return code;
}
