// Service control manager calls for "Winmgmt".
#include "platform/win32/wmi_service.h"

#include <windows.h>

namespace platform {
namespace win32 {
namespace {

constexpr wchar_t kServiceName[] = L"Winmgmt";
constexpr int kMaxStartPauses = 10;
constexpr DWORD kStartPauseMs = 500;
constexpr int kCheckPasses = 3;

// One look at the service's state; false when it cannot be opened or queried
// (counted as not running).
bool ServiceRunning() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE);
    if (manager == nullptr) return false;
    const SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_QUERY_STATUS);
    bool running = false;
    if (service != nullptr) {
        SERVICE_STATUS status{};
        running = QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return running;
}

// Starts a stopped service and polls until it runs, at most kMaxStartPauses
// pauses.
bool StartAndWait(SC_HANDLE service) {
    StartServiceW(service, 0, nullptr);  // a failed start shows in the polls
    SERVICE_STATUS status{};
    int pauses = 0;
    while (QueryServiceStatus(service, &status) && pauses < kMaxStartPauses) {
        if (status.dwCurrentState == SERVICE_RUNNING) return true;
        Sleep(kStartPauseMs);
        ++pauses;
    }
    return false;
}

}  // namespace

bool StartWmiService() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE);
    if (manager == nullptr) return false;
    const SC_HANDLE service =
        OpenServiceW(manager, kServiceName, SERVICE_QUERY_STATUS | SERVICE_START);
    if (service == nullptr) {
        CloseServiceHandle(manager);
        return false;
    }
    bool running = false;
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service, &status)) {
        if (status.dwCurrentState == SERVICE_RUNNING)
            running = true;
        else if (status.dwCurrentState == SERVICE_STOPPED)
            running = StartAndWait(service);
        // Pending and paused states are not waited for.
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return running;
}

bool EnsureWmiServiceRunning() {
    for (int pass = 1; pass <= kCheckPasses; ++pass) {
        if (ServiceRunning()) return true;
        const bool started = StartWmiService();
        if (pass == kCheckPasses) return started;
    }
    return false;
}

}  // namespace win32
}  // namespace platform
