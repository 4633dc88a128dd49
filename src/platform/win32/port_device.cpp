// SPDX-License-Identifier: Apache-2.0
#include "platform/win32/port_device.h"

// The GUIDs and property keys are defined here, once.
#include <initguid.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <cwctype>
#include <memory>

#include "platform/win32/wide_text.h"

namespace platform::win32 {

namespace {

using DeviceSet = std::unique_ptr<void, decltype(&SetupDiDestroyDeviceInfoList)>;

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return true;
}

// A text value of a device's hardware (DIREG_DEV) or driver (DIREG_DRV) key.
std::wstring KeyText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which, const wchar_t* name) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, which, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    return std::wstring(text);
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr)) return {};
    return Narrow(id);
}

std::string BusProduct(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t text[256] = {};
    DEVPROPTYPE type = 0;
    if (!SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_BusReportedDeviceDesc, &type,
                                   reinterpret_cast<BYTE*>(text), sizeof text - sizeof(wchar_t), nullptr, 0) ||
        type != DEVPROP_TYPE_STRING) {
        return {};
    }
    return Narrow(text);
}

std::vector<BYTE> Security(HDEVINFO set, SP_DEVINFO_DATA& device) {
    std::vector<BYTE> descriptor(4096);
    DWORD size = 0;
    if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_SECURITY, nullptr, descriptor.data(),
                                          static_cast<DWORD>(descriptor.size()), &size) ||
        SetupDiGetClassRegistryPropertyW(&device.ClassGuid, SPCRP_SECURITY, nullptr, descriptor.data(),
                                         static_cast<DWORD>(descriptor.size()), &size, nullptr, nullptr)) {
        descriptor.resize(size);
        return descriptor;
    }
    return {};
}

// The parent's instance ID and bus text, through a set of its own.
void AddParent(SP_DEVINFO_DATA& device, PortDevice& found) {
    DEVINST parent = 0;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Parent(&parent, device.DevInst, 0) != CR_SUCCESS ||
        CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
        return;
    }
    found.parentId = Narrow(id);
    DeviceSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr), SetupDiDestroyDeviceInfoList);
    if (set.get() == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    if (SetupDiOpenDeviceInfoW(set.get(), id, nullptr, 0, &data)) found.parentProduct = BusProduct(set.get(), data);
}

std::optional<PortDevice> FindInClass(const GUID& deviceClass, const std::wstring& port) {
    DeviceSet set(SetupDiGetClassDevsW(&deviceClass, nullptr, nullptr, DIGCF_PRESENT), SetupDiDestroyDeviceInfoList);
    if (set.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        std::wstring name = KeyText(set.get(), device, DIREG_DEV, L"PortName");
        if (name.empty()) name = KeyText(set.get(), device, DIREG_DRV, L"AttachedTo");
        if (!SameName(name, port)) continue;
        PortDevice found;
        found.instanceId = InstanceId(set.get(), device);
        found.product = BusProduct(set.get(), device);
        found.security = Security(set.get(), device);
        AddParent(device, found);
        return found;
    }
    return std::nullopt;
}

// The user's own SID, for a descriptor that names no owner or group.
std::vector<BYTE> UserSid(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid);
    return copy;
}

}  // namespace

std::optional<PortDevice> FindPortDevice(const std::string& port) {
    const std::wstring wide = Widen(port);
    if (wide.empty()) return std::nullopt;
    for (const GUID* deviceClass : {&GUID_DEVCLASS_PORTS, &GUID_DEVCLASS_MODEM}) {
        if (auto found = FindInClass(*deviceClass, wide)) return found;
    }
    return std::nullopt;
}

bool SecurityLetsUserOpen(const std::vector<BYTE>& descriptor) {
    auto* given = const_cast<BYTE*>(descriptor.data());
    if (descriptor.empty() || !IsValidSecurityDescriptor(given)) return true;  // nothing said against it
    // Without an access list (none, or a null one) everyone may.
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(given, &present, &dacl, &defaulted) || !present || !dacl) return true;
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process)) return true;
    HANDLE token = nullptr;
    const BOOL duplicated = DuplicateToken(process, SecurityImpersonation, &token);
    const std::vector<BYTE> user = UserSid(process);
    CloseHandle(process);
    if (!duplicated) return true;

    // AccessCheck needs an owner and a group: the device's access list is what counts here.
    SECURITY_DESCRIPTOR checked;
    InitializeSecurityDescriptor(&checked, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&checked, TRUE, dacl, defaulted);
    PSID owner = user.empty() ? nullptr : const_cast<BYTE*>(user.data());
    SetSecurityDescriptorOwner(&checked, owner, FALSE);
    SetSecurityDescriptorGroup(&checked, owner, FALSE);

    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD wanted = GENERIC_READ | GENERIC_WRITE;
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    const BOOL checkedOk =
        AccessCheck(&checked, token, wanted, &mapping, &privileges, &privilegesSize, &granted, &allowed);
    CloseHandle(token);
    return !checkedOk || allowed;
}

}  // namespace platform::win32
