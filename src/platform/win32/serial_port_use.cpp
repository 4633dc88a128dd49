// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_port_use.h"

#include "platform/serial_devices.h"
#include "platform/win32/port_device.h"
#include "platform/win32/wide_text.h"

namespace platform {

SerialPortUse LookAtSerialPort(const std::string& devicePath, const std::string& port) {
    SerialPortUse use;
    std::wstring path;
    if (!win32::WidenPath(SerialOpenPath(devicePath, port), path)) {
        use.state = SerialPortUse::State::kFailed;
        use.error = ERROR_INVALID_NAME;
        return use;
    }
    // No sharing: a port is one program's at a time, and this open fails as any second one does.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return use;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        // Windows answers "access denied" both to a second opener and to a user the device's
        // security keeps out: that descriptor tells the two apart.
        const auto device = win32::FindPortDevice(port);
        const bool keptOut = device && !win32::SecurityLetsUserOpen(device->security);
        use.state = keptOut ? SerialPortUse::State::kNoAccess : SerialPortUse::State::kHeld;
        return use;
    }
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    use.state = missing ? SerialPortUse::State::kMissing : SerialPortUse::State::kFailed;
    use.error = static_cast<int>(error);
    return use;
}

}  // namespace platform
