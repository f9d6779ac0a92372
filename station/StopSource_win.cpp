#include "station/StopSource.h"

#include <qt_windows.h>

#include <mutex>

// Windows asks a console program to stop through a handler it calls on a
// thread of its own: Ctrl+C and Ctrl+Break, and the console being closed.
// A program that uses windows (Qt does) hears of a log-off or a shut-down
// only as a window: a hidden top-level one, on a thread of its own, since
// the event thread has the units to finish. Each posts the stop to the event
// loop. For a close, a log-off or a shut-down Windows ends the program soon
// after the handler returns, so those wait for the summary first.
namespace {

// Longer than the units under way need to end, so that it never cuts them
// short, and a bound should the program hang. Windows itself ends a closed
// console's program about 5 s after the close, whatever this says.
constexpr DWORD kLongestWaitMs = 30000;
constexpr wchar_t kWindowClass[] = L"VantrelSessionEnd";

std::once_flag g_once;
std::mutex g_mutex;
StopSource *g_receiver = nullptr; // under g_mutex
HANDLE g_released = nullptr;      // set by release()
HANDLE g_eventThread = nullptr;   // ends when the program does

// False when nothing listens: the system's own handling then ends the
// program.
bool post(int event)
{
    const std::lock_guard lock(g_mutex);
    if (!g_receiver)
        return false;
    // Dropped with the receiver should it go first.
    QMetaObject::invokeMethod(
        g_receiver, [receiver = g_receiver, event] { emit receiver->received(event); },
        Qt::QueuedConnection);
    return true;
}

// Until the summary is written and the program ended by itself, with its own
// exit status: returning lets the system end it (with another status).
void waitForTheEnd()
{
    if (::WaitForSingleObject(g_released, kLongestWaitMs) == WAIT_OBJECT_0)
        ::WaitForSingleObject(g_eventThread, kLongestWaitMs);
}

BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (!post(int(event)))
        return FALSE;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        waitForTheEnd();
    return TRUE;
}

LRESULT CALLBACK onSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session may end as soon as this returns.
        if (wParam && post(lParam & ENDSESSION_LOGOFF ? CTRL_LOGOFF_EVENT : CTRL_SHUTDOWN_EVENT))
            waitForTheEnd();
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

DWORD WINAPI runSessionWindow(void *)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = onSessionMessage;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
    // Never shown; a message-only window would not hear of the session.
    if (!::CreateWindowExW(0, kWindowClass, L"vantrel-set", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                           nullptr, windowClass.hInstance, nullptr))
        return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    return 0;
}

// Once per process, from the event thread; lives as long as the process.
void startListening()
{
    g_released = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                      &g_eventThread, SYNCHRONIZE, FALSE, 0);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    if (const HANDLE thread = ::CreateThread(nullptr, 0, runSessionWindow, nullptr, 0, nullptr))
        ::CloseHandle(thread);
}

} // namespace

// Windows has no signals: the numbers are the console's events (CTRL_C_EVENT
// and the others).
StopSource::StopSource(std::initializer_list<int>, QObject *parent) : StopSource(parent) {}

StopSource::StopSource(QObject *parent) : QObject(parent)
{
    std::call_once(g_once, startListening);
    const std::lock_guard lock(g_mutex);
    g_receiver = this;
}

StopSource::~StopSource()
{
    const std::lock_guard lock(g_mutex);
    if (g_receiver == this)
        g_receiver = nullptr;
}

void StopSource::release()
{
    ::SetEvent(g_released);
}

void StopSource::onReadable() {}
