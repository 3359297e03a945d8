// Disk list service: the physical disks as the management instrumentation
// (WMI) lists them in the class Win32_DiskDrive.
#include "platform/disk_list.h"

#include <windows.h>
// After windows.h, which they build on:
#include <oleauto.h>
#include <wbemidl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ata_wire.h"
#include "platform/process.h"
#include "platform/win32/raw_device.h"
#include "platform/win32/wmi_service.h"
#include "platform/win32/wmi_text.h"

namespace platform {
namespace {

namespace ata = platform::ata;

constexpr long kNextTimeoutMs = 10000;

// Why the last enumeration failed, for DiskListFailureReason.
std::wstring lastFailure;

// Records the failed step with the system's text for `code` (a system error
// code or an HRESULT); false, for the caller to return.
bool Failed(const wchar_t* step, std::uint32_t code) {
    std::wstring text = SystemErrorText(code);
    if (text.empty()) {
        wchar_t hex[16] = {};
        std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(code));
        text = std::wstring(L"error ") + hex;
    }
    lastFailure = std::wstring(step) + L": " + text;
    return false;
}

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the extended version record is 284 bytes");

// Releases a COM interface when the scope ends, also on an exception.
template <typename Interface>
class Releaser {
public:
    explicit Releaser(Interface*& pointer) : pointer_(pointer) {}
    ~Releaser() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }
    Releaser(const Releaser&) = delete;
    Releaser& operator=(const Releaser&) = delete;

private:
    Interface*& pointer_;
};

// A VARIANT that is cleared when the scope ends.
class Variant {
public:
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT value;
};

// A BSTR that is freed when the scope ends.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR value;
};

// Reads one property. False when Get fails or the value is empty or null.
bool GetProperty(IWbemClassObject* object, const wchar_t* name, Variant* property) {
    if (object->Get(name, 0, &property->value, nullptr, nullptr) != 0) return false;
    return property->value.vt != VT_EMPTY && property->value.vt != VT_NULL;
}

// The value as text; values of other types are converted.
std::wstring TextOf(Variant* property) {
    if (property->value.vt != VT_BSTR &&
        FAILED(VariantChangeType(&property->value, &property->value, 0, VT_BSTR)))
        return {};
    const BSTR text = property->value.bstrVal;
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// The value as a 32-bit integer; values of other types are converted.
std::int32_t Int32Of(Variant* property) {
    if (property->value.vt != VT_I4 &&
        FAILED(VariantChangeType(&property->value, &property->value, 0, VT_I4)))
        return 0;
    return property->value.lVal;
}

// One Win32_DiskDrive object as a disk record; releases the object.
DiskRecord ReadDiskRecord(IWbemClassObject* object) {
    Releaser<IWbemClassObject> release(object);
    DiskRecord record;
    {
        Variant size;
        // The 64-bit size comes as decimal text.
        if (GetProperty(object, L"Size", &size)) record.Size = _wtoi64(TextOf(&size).c_str());
    }
    {
        Variant deviceId;
        if (GetProperty(object, L"DeviceID", &deviceId))
            record.Index = win32::ParseDeviceIdIndex(TextOf(&deviceId));
    }
    {
        Variant model;
        if (GetProperty(object, L"Model", &model)) record.Model = TextOf(&model);
    }
    {
        Variant serial;
        if (GetProperty(object, L"SerialNumber", &serial)) record.SerialNumber = TextOf(&serial);
    }
    {
        Variant port;
        if (GetProperty(object, L"SCSIPort", &port)) record.SCSIPort = Int32Of(&port);
    }
    {
        Variant target;
        if (GetProperty(object, L"SCSITargetId", &target)) record.SCSITargetId = Int32Of(&target);
    }
    return record;
}

// The serial from the drive's own IDENTIFY answer. False when the drive
// cannot be asked or does not answer (USB bridges, RAID, NVMe).
bool ReadIdentifySerial(platform::DriveNumber driveNumber, std::wstring* serial) {
    const std::wstring path = win32::PhysicalDrivePath(driveNumber);
    const HANDLE drive =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) return false;
    ata::SmartCmdInParams in{};
    in.cBufferSize = ata::kPageBytes;
    in.irDriveRegs.bDriveHeadReg =
        ata::kDeviceHeadMaster | ((driveNumber & 1) != 0 ? ata::kDeviceHeadSlaveBit : 0);
    in.irDriveRegs.bCommandReg = ata::kCommandIdentify;
    in.bDriveNumber = static_cast<std::uint8_t>(driveNumber);
    ata::SmartCmdOutParams out{};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(drive, ata::kSmartRcvDriveData, &in, sizeof in, &out,
                                    sizeof out, &returned, nullptr);
    CloseHandle(drive);
    if (!ok || returned != ata::kAnswerBytes) return false;
    *serial = win32::IdentifySerial(out.bBuffer);
    return !serial->empty();
}

// Systems before Windows 8 (6.2) deliver the WMI serial with its characters
// swapped in pairs; later ones deliver it as the drive gives it.
bool WmiSwapsSerialPairs() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return false;
    return version.dwMajorVersion < 6 ||
           (version.dwMajorVersion == 6 && version.dwMinorVersion < 2);
}

// The menu's serial: the drive's IDENTIFY where it answers, else the WMI text.
void TakeDriveSerial(DiskRecord* record) {
    std::wstring serial;
    if (ReadIdentifySerial(DriveNumberOf(record->Index), &serial))
        record->SerialNumber = serial;
    else
        record->SerialNumber = win32::WmiSerial(record->SerialNumber, WmiSwapsSerialPairs());
}

// Connection flags: wait at most the system's maximum on Windows XP (5.1)
// and later, where the flag exists.
long ConnectFlags() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return 0;
    const bool xpOrLater =
        version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
    return xpOrLater ? WBEM_FLAG_CONNECT_USE_MAX_WAIT : 0;
}

// Runs the disk query on a connected namespace and appends every disk.
void QueryDisks(IWbemServices* services, std::vector<DiskRecord>* disks) {
    IEnumWbemClassObject* enumerator = nullptr;
    Releaser<IEnumWbemClassObject> releaseEnumerator(enumerator);
    const Bstr language(L"WQL");
    const Bstr query(L"SELECT * FROM Win32_DiskDrive");
    // A query that delivers no enumerator gives an empty list.
    services->ExecQuery(language.value, query.value,
                        WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                        &enumerator);
    while (enumerator != nullptr) {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        const HRESULT result = enumerator->Next(kNextTimeoutMs, 1, &object, &returned);
        if (FAILED(result) || returned != 1 || object == nullptr) break;
        disks->push_back(ReadDiskRecord(object));
        TakeDriveSerial(&disks->back());
    }
}

// Connects to the local namespace root\cimv2 and appends its disks. False
// when the locator, the connection or the proxy security fails.
bool ReadDisksFromWmi(std::vector<DiskRecord>* disks) {
    IWbemLocator* locator = nullptr;
    HRESULT result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWbemLocator, reinterpret_cast<void**>(&locator));
    if (FAILED(result))
        return Failed(L"The WMI locator cannot be created", static_cast<std::uint32_t>(result));
    Releaser<IWbemLocator> releaseLocator(locator);

    IWbemServices* services = nullptr;
    const Bstr nameSpace(L"\\\\.\\root\\cimv2");
    result = locator->ConnectServer(nameSpace.value, nullptr, nullptr, nullptr, ConnectFlags(),
                                    nullptr, nullptr, &services);
    if (FAILED(result))
        return Failed(L"WMI refused the connection to root\\cimv2",
                      static_cast<std::uint32_t>(result));
    Releaser<IWbemServices> releaseServices(services);

    result =
        CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(result))
        return Failed(L"WMI refused the proxy security", static_cast<std::uint32_t>(result));

    try {
        QueryDisks(services, disks);
    } catch (...) {
        // Keep the disks read so far; the list is still delivered.
        TraceOutput("GetDiskState Failed!\n");
    }
    return true;
}

}  // namespace

std::wstring DiskListFailureReason() { return lastFailure; }

bool EnumerateDisks(std::vector<DiskRecord>* disks) {
    lastFailure.clear();
    if (!win32::EnsureWmiServiceRunning())
        return Failed(L"The service Winmgmt (WMI) could not be started", ERROR_SERVICE_NOT_ACTIVE);
    // COM lives only for this enumeration. The results of both set-up calls
    // are not examined (security may already be set), but COM is closed only
    // when this call opened it.
    const HRESULT initialized = CoInitialize(nullptr);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    const bool read = ReadDisksFromWmi(disks);
    if (SUCCEEDED(initialized)) CoUninitialize();
    return read;
}

}  // namespace platform
