// SPDX-License-Identifier: Apache-2.0
#include "window_rig.h"

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/win32/wide_text.h"
#include "png_file.h"

using platform::win32::Narrow;

UiThread::UiThread(std::function<INT_PTR()> body) {
    m_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, started, body = std::move(body)] {
        m_id = GetCurrentThreadId();
        SetEvent(started);
        m_result = body();
        SetEvent(m_ended);
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
}

UiThread::~UiThread() {
    // A dialog left open by a failed test: the test program still ends.
    if (!Join(30000)) m_thread.detach();
    CloseHandle(m_ended);
}

bool UiThread::Join(int limitMs) {
    if (WaitForSingleObject(m_ended, static_cast<DWORD>(limitMs)) != WAIT_OBJECT_0) return false;
    if (m_thread.joinable()) m_thread.join();
    return true;
}

bool WaitUntil(const std::function<bool()>& predicate, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        Sleep(20);
    }
    return true;
}

namespace {

struct DialogSearch {
    std::string caption;
    bool messageBox = false;
    HWND found = nullptr;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    // A message box has a static text with ID 0xFFFF (its message) and no list or combo.
    const bool isBox = GetDlgItem(window, 0xFFFF) != nullptr && GetDlgItem(window, 1012) == nullptr;
    if (search->messageBox && !isBox) return TRUE;
    if (!search->caption.empty() && TextOf(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialog(DWORD thread, DialogSearch search, int limitMs) {
    WaitUntil(
        [&] {
            EnumThreadWindows(thread, &CheckWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        limitMs);
    return search.found;
}

}  // namespace

HWND WaitForDialog(DWORD thread, const std::string& caption, int limitMs) {
    return FindDialog(thread, {caption, false, nullptr}, limitMs);
}

std::string AnswerMessageBox(DWORD thread, int button, int limitMs) {
    const HWND box = FindDialog(thread, {"", true, nullptr}, limitMs);
    if (!box || !GetDlgItem(box, button)) return std::string();
    const std::string text = ItemText(box, 0xFFFF);
    Click(box, button);
    WaitUntil([box] { return !IsWindow(box); }, 5000);
    return text;
}

void CloseEverything(DWORD thread, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        bool any = false;
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM found) {
                *reinterpret_cast<bool*>(found) = true;
                PostMessageW(window, WM_CLOSE, 0, 0);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&any));
        if (!any) return;
        AnswerMessageBox(thread, IDYES, 200);
    }
}

std::string TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    const int length = GetWindowTextW(window, buffer, 1024);
    return Narrow(std::wstring_view(buffer, static_cast<size_t>(length > 0 ? length : 0)));
}

std::string ItemText(HWND dialog, int controlId) { return TextOf(GetDlgItem(dialog, controlId)); }

bool ItemEnabled(HWND dialog, int controlId) { return IsWindowEnabled(GetDlgItem(dialog, controlId)) != FALSE; }

bool ItemVisible(HWND dialog, int controlId) { return IsWindowVisible(GetDlgItem(dialog, controlId)) != FALSE; }

void Click(HWND dialog, int controlId) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}

std::string TooltipText(HWND owner, int controlId) {
    struct Search {
        HWND owner;
        HWND tooltip = nullptr;
    } search{owner};
    EnumThreadWindows(
        GetWindowThreadProcessId(owner, nullptr),
        [](HWND window, LPARAM lParam) {
            auto* found = reinterpret_cast<Search*>(lParam);
            wchar_t className[32] = {};
            GetClassNameW(window, className, 32);
            if (std::wstring(className) != TOOLTIPS_CLASSW || GetWindow(window, GW_OWNER) != found->owner) return TRUE;
            found->tooltip = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.tooltip) return "(no tooltip)";
    wchar_t buffer[256] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(owner, controlId));
    tool.lpszText = buffer;
    SendMessageW(search.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return Narrow(buffer);
}

std::vector<std::string> ListViewLines(HWND list) {
    std::vector<std::string> lines;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buffer[1024] = {};
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = buffer;
        item.cchTextMax = 1024;
        const auto length =
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        lines.push_back(Narrow(std::wstring_view(buffer, static_cast<size_t>(length))));
    }
    return lines;
}

std::string ListViewCell(HWND list, int row, int column) {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    const auto length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return Narrow(std::wstring_view(buffer, static_cast<size_t>(length > 0 ? length : 0)));
}

void SetListViewCheck(HWND list, int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::vector<std::string> ListBoxEntries(HWND list) {
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buffer[256] = {};
        const auto length = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        entries.push_back(Narrow(std::wstring_view(buffer, static_cast<size_t>(length > 0 ? length : 0))));
    }
    return entries;
}

HANDLE StartProgram(const std::string& path, const std::string& arguments) {
    std::wstring command = L"\"" + platform::win32::Widen(path) + L"\"";
    if (!arguments.empty()) command += L" " + platform::win32::Widen(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

HWND WaitForProcessDialog(HANDLE process, const std::string& caption, int limitMs) {
    const std::wstring title = platform::win32::Widen(caption);
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", title.c_str()));) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == GetProcessId(process) && IsWindowVisible(window)) found = window;
            }
            return found != nullptr;
        },
        limitMs);
    return found;
}

namespace {

// The screen's picture of frame as RGB bytes, row by row; empty when it could not be copied.
std::vector<uint8_t> CopyFromScreen(const RECT& frame) {
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != FALSE;
    GdiFlush();
    std::vector<uint8_t> rgb;
    if (copied && bits) {
        rgb.resize(static_cast<size_t>(width) * height * 3);
        const auto* bgrx = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            rgb[i * 3] = bgrx[i * 4 + 2];
            rgb[i * 3 + 1] = bgrx[i * 4 + 1];
            rgb[i * 3 + 2] = bgrx[i * 4];
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rgb;
}

}  // namespace

bool SaveScreenshot(HWND window, const std::string& name) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) return false;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0) return false;
    // The window paints now (the update is sent to its thread and waited for); a message round
    // trip then sees that thread back in its message loop, where Wine hands the drawing to the
    // display. The copy is taken once two copies in a row agree: the screen has caught up.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    std::vector<uint8_t> rgb = CopyFromScreen(frame);
    WaitUntil(
        [&] {
            std::vector<uint8_t> again = CopyFromScreen(frame);
            const bool settled = again == rgb;
            rgb = std::move(again);
            return settled;
        },
        5000);
    if (rgb.empty()) return false;
    std::filesystem::create_directories(VEXLOR_SCREENSHOT_DIR);
    return WriteRgbPng(std::string(VEXLOR_SCREENSHOT_DIR) + "/" + name + ".png", static_cast<uint32_t>(width),
                       static_cast<uint32_t>(height), rgb);
}
