#include "platform/core/Thread.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <unistd.h>
#include <system_error>

CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID param) : proc_(proc), param_(param) {}

CWinThread::~CWinThread()
{
    std::thread t;
    {
        std::lock_guard lock(mutex_);
        t = std::move(thread_);
    }
    if (t.joinable()) {
        if (t.get_id() == std::this_thread::get_id())
            t.detach(); // an auto-deleting thread deleting itself
        else
            t.join();
    }
}

BOOL CWinThread::CreateThread(DWORD flags)
{
    if (started_.load())
        return FALSE;
    if (flags & CREATE_SUSPENDED)
        return TRUE;
    return ResumeThread() != static_cast<DWORD>(-1);
}

DWORD CWinThread::ResumeThread()
{
    if (started_.exchange(true))
        return 0;
    std::lock_guard lock(mutex_);
    try {
        thread_ = std::thread([this] { Body(); });
    } catch (const std::system_error&) {
        started_ = false;
        return static_cast<DWORD>(-1);
    }
    id_ = thread_.get_id();
    return 1;
}

void CWinThread::Body()
{
    const DWORD rc = proc_ ? proc_(param_) : 0;
    exitCode_ = rc;
    bool autoDelete = false;
    {
        // Wait until the starter has stored the thread object.
        std::lock_guard lock(mutex_);
        finished_ = true;
        autoDelete = m_bAutoDelete != 0;
    }
    if (autoDelete)
        delete this;
}

BOOL CWinThread::SetThreadPriority(int nPriority)
{
    priority_ = nPriority;
    return TRUE;
}

bool CWinThread::Join(DWORD ms)
{
    if (!started_.load())
        return false;
    if (ms == INFINITE) {
        std::thread t;
        {
            std::lock_guard lock(mutex_);
            t = std::move(thread_);
        }
        if (t.joinable())
            t.join();
        return true;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!finished_.load()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        thread_.join();
    return true;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int nPriority, UINT, DWORD flags, void*)
{
    if (!proc)
        return nullptr;
    auto* t = new CWinThread(proc, param);
    t->SetThreadPriority(nPriority);
    if (!t->CreateThread(flags)) {
        delete t;
        return nullptr;
    }
    return t;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

bool IsProcessRunning(DWORD processId)
{
    // Signal 0 only asks; a process of another user refuses it but exists.
    return processId != 0 && (::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM);
}
