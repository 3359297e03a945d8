#include "viewer/gauge_lens.h"

#include <stdexcept>

#include "engine/run_folders.h"
#include "platform/console.h"
#include "platform/process.h"
#include "text/operator_output.h"

const std::wstring kGaugeLensFileName = L"GaugeLens_2_21.exe";

namespace {

const std::wstring kGaugeLensMutexName = L"KVT_GAUGELENS_MUTEX";
constexpr int kGaugeLensAttempts = 3;

/// After a failed wait for the mutex: asks a viewer left by another process
/// to close, so that the next attempt has a chance.
void CloseForeignViewer(const std::wstring& viewerPath) {
    platform::ConsoleWindow* window = platform::FindConsoleWindow(viewerPath);
    if (window == nullptr) {
        Out() << "GaugeLens Not Found" << std::endl;
        return;
    }
    Out() << "Quit GaugeLens" << std::endl;
    platform::PostClose(window);
}

/// Waits for the viewer's end, asking it to close after every wait; a viewer
/// that ignores every close is terminated so that the test can go on.
void WaitForViewerEnd(platform::ConsoleWindow* window, platform::ViewerProcess* process,
                      const RunTimings& timing) {
    if (process == nullptr) return;
    std::uint32_t closes = 0;
    while (!platform::WaitProcessEnd(process, timing.viewerEndWaitMs)) {
        if (closes >= timing.viewerClosesBeforeKill) {
            platform::TerminateViewer(process);
            Out() << "GaugeLens Not Responding, Terminated." << std::endl;
            return;
        }
        platform::PostClose(window);
        ++closes;
    }
}

/// Looks for the started viewer's window until it shows, the viewer ends or
/// the window wait is over.
platform::ConsoleWindow* FindViewerWindow(const std::wstring& viewerPath,
                                          platform::ViewerProcess* process,
                                          const RunTimings& timing) {
    std::uint32_t waitedMs = 0;
    for (;;) {
        platform::SleepMs(timing.viewerStartDelayMs);
        waitedMs += timing.viewerStartDelayMs;
        if (platform::ConsoleWindow* window = platform::FindConsoleWindow(viewerPath))
            return window;
        if (process == nullptr || timing.viewerStartDelayMs == 0 ||
            waitedMs >= timing.viewerWindowWaitMs || platform::WaitProcessEnd(process, 0))
            return nullptr;
    }
}

/// Ends the viewer this attempt started, so that none is left waiting.
void EndStartedViewer(platform::ViewerProcess* process, const RunTimings& timing) {
    if (process == nullptr) return;
    platform::TerminateViewer(process);
    platform::WaitProcessEnd(process, timing.viewerEndWaitMs);
}

}  // namespace

std::wstring GaugeLensPath(const RunSettings& settings) {
    return platform::JoinPath(ProgramFolder(settings), kGaugeLensFileName);
}

void RunGaugeLens(const RunSettings& settings, const StatusTrack& status) {
    if (!settings.viewerEnabled) return;
    for (int attempt = 0; attempt < kGaugeLensAttempts; ++attempt) {
        if (RunGaugeLensOnce(settings, status)) return;
    }
    Out() << "RunGaugeLens Failed." << std::endl;
}

bool RunGaugeLensOnce(const RunSettings& settings, const StatusTrack& status) {
    const std::wstring viewerPath = GaugeLensPath(settings);
    platform::NamedMutex* mutex = platform::CreateNamedMutex(kGaugeLensMutexName);
    if (mutex == nullptr) throw std::runtime_error("CreateMutex Failed");
    OutWide(L"Waiting Viewer : " + viewerPath + L"\n");

    const RunTimings& timing = settings.timings;
    if (platform::WaitNamedMutex(mutex, timing.viewerMutexWaitMs) !=
        platform::MutexWait::Acquired) {
        platform::ReleaseAndCloseMutex(mutex);
        Out() << "Wait TimeOut! Retrying." << std::endl;
        CloseForeignViewer(viewerPath);
        return false;
    }

    platform::ViewerProcess* process = platform::StartInNewConsole(viewerPath);
    platform::ConsoleWindow* window = FindViewerWindow(viewerPath, process, timing);
    if (window != nullptr) {
        if (!SendGaugeLensKeys(window, settings)) {
            Out() << "GaugeLens Not In Front, Keys Not Sent" << std::endl;
            EndStartedViewer(process, timing);
            platform::CloseViewerProcess(process);
            platform::ReleaseAndCloseMutex(mutex);
            return false;
        }
        WaitForViewerEnd(window, process, timing);
    } else {
        Out() << "Target Window Not Found" << std::endl;
        EndStartedViewer(process, timing);
    }
    platform::CloseViewerProcess(process);
    platform::ReleaseAndCloseMutex(mutex);
    return CaptureGaugeLensOutput(settings, status);
}
