#include "viewer/gauge_lens.h"

#include <iostream>
#include <stdexcept>

#include "platform/console.h"
#include "platform/process.h"
#include "smart/process_utils.h"

const std::wstring kGaugeLensFileName = L"GaugeLens_2_21.exe";

namespace {

const std::wstring kGaugeLensMutexName = L"KVT_GAUGELENS_MUTEX";
constexpr int kGaugeLensAttempts = 3;

/// After a failed wait for the mutex: asks a viewer left by another process
/// to close, so that the next attempt has a chance.
void CloseForeignViewer(const std::wstring& viewerPath) {
    platform::ConsoleWindow* window = platform::FindConsoleWindow(viewerPath);
    if (window == nullptr) {
        std::cout << "GaugeLens Not Found" << std::endl;
        return;
    }
    std::cout << "Quit GaugeLens" << std::endl;
    platform::PostClose(window);
}

/// Waits for the viewer's end, asking it to close after every wait; a viewer
/// that ignores every close is terminated so that the test can go on.
void WaitForViewerEnd(platform::ConsoleWindow* window, platform::ViewerProcess* process) {
    if (process == nullptr) return;
    const GaugeLensTimings& timing = GaugeLensTiming();
    std::uint32_t closes = 0;
    while (!platform::WaitProcessEnd(process, timing.endWaitMs)) {
        if (closes >= timing.closesBeforeKill) {
            platform::TerminateViewer(process);
            std::cout << "GaugeLens Not Responding, Terminated." << std::endl;
            return;
        }
        platform::PostClose(window);
        ++closes;
    }
}

/// Looks for the started viewer's window until it shows, the viewer ends or
/// the window wait is over.
platform::ConsoleWindow* FindViewerWindow(const std::wstring& viewerPath,
                                          platform::ViewerProcess* process) {
    const GaugeLensTimings& timing = GaugeLensTiming();
    std::uint32_t waitedMs = 0;
    for (;;) {
        platform::SleepMs(timing.startDelayMs);
        waitedMs += timing.startDelayMs;
        if (platform::ConsoleWindow* window = platform::FindConsoleWindow(viewerPath))
            return window;
        if (process == nullptr || timing.startDelayMs == 0 || waitedMs >= timing.windowWaitMs ||
            platform::WaitProcessEnd(process, 0))
            return nullptr;
    }
}

/// Ends the viewer this attempt started, so that none is left waiting.
void EndStartedViewer(platform::ViewerProcess* process) {
    if (process == nullptr) return;
    platform::TerminateViewer(process);
    platform::WaitProcessEnd(process, GaugeLensTiming().endWaitMs);
}

}  // namespace

GaugeLensTimings& GaugeLensTiming() {
    static GaugeLensTimings timings;
    return timings;
}

std::wstring GaugeLensPath() { return platform::JoinPath(GetModuleFolder(), kGaugeLensFileName); }

void RunGaugeLens(CSSDTest& test) {
    if (!test.viewerEnabled) return;
    for (int attempt = 0; attempt < kGaugeLensAttempts; ++attempt) {
        if (RunGaugeLensOnce(test)) return;
    }
    std::cout << "RunGaugeLens Failed." << std::endl;
}

bool RunGaugeLensOnce(CSSDTest& test) {
    const std::wstring viewerPath = GaugeLensPath();
    platform::NamedMutex* mutex = platform::CreateNamedMutex(kGaugeLensMutexName);
    if (mutex == nullptr) throw std::runtime_error("CreateMutex Failed");
    platform::WriteWide(L"Waiting Viewer : " + viewerPath + L"\n");

    const GaugeLensTimings& timing = GaugeLensTiming();
    if (platform::WaitNamedMutex(mutex, timing.mutexWaitMs) != platform::MutexWait::Acquired) {
        platform::ReleaseAndCloseMutex(mutex);
        std::cout << "Wait TimeOut! Retrying." << std::endl;
        CloseForeignViewer(viewerPath);
        return false;
    }

    platform::ViewerProcess* process = platform::StartInNewConsole(viewerPath);
    platform::ConsoleWindow* window = FindViewerWindow(viewerPath, process);
    if (window != nullptr) {
        if (!SendGaugeLensKeys(window, test)) {
            std::cout << "GaugeLens Not In Front, Keys Not Sent" << std::endl;
            EndStartedViewer(process);
            platform::CloseViewerProcess(process);
            platform::ReleaseAndCloseMutex(mutex);
            return false;
        }
        WaitForViewerEnd(window, process);
    } else {
        std::cout << "Target Window Not Found" << std::endl;
        EndStartedViewer(process);
    }
    platform::CloseViewerProcess(process);
    platform::ReleaseAndCloseMutex(mutex);
    return CaptureGaugeLensOutput(test);
}
