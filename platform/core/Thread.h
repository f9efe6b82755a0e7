// Worker threads: AfxBeginThread runs a function with its parameter on a new thread and hands
// back a CWinThread. As in MFC, a thread object deletes itself when the function returns unless
// m_bAutoDelete is cleared; to join, create it suspended, clear m_bAutoDelete, ResumeThread(),
// and later Join() (or delete it, which joins).
#pragma once

#include "platform/core/WinTypes.h"

#include <atomic>
#include <mutex>
#include <thread>

using AFX_THREADPROC = UINT (*)(LPVOID);
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;

class CWinThread {
public:
    CWinThread(AFX_THREADPROC proc, LPVOID param);
    ~CWinThread(); // joins a thread still running
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    BOOL m_bAutoDelete = TRUE;
    // Starts the thread (now, or on ResumeThread when created suspended).
    BOOL CreateThread(DWORD dwCreateFlags = 0);
    DWORD ResumeThread();
    // Priorities are accepted and ignored: threads run at the process's priority.
    BOOL SetThreadPriority(int nPriority);
    int GetThreadPriority() const { return priority_; }
    // Waits up to `ms` for the function to return; true when it has.
    bool Join(DWORD ms = INFINITE);
    bool IsFinished() const { return finished_.load(); }
    // The function's return value, or STILL_ACTIVE while it runs.
    DWORD GetExitCode() const { return finished_.load() ? exitCode_.load() : STILL_ACTIVE; }
    std::thread::id GetThreadId() const { return id_; }

private:
    void Body();
    AFX_THREADPROC proc_;
    LPVOID param_;
    int priority_ = THREAD_PRIORITY_NORMAL;
    std::thread thread_;
    std::thread::id id_;
    std::mutex mutex_;
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::atomic<DWORD> exitCode_{0};
};

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0, void* lpSecurityAttrs = nullptr);

// This process's id, and whether a process of that id is running now (on this machine).
DWORD GetCurrentProcessId();
bool IsProcessRunning(DWORD processId);
