// SPDX-License-Identifier: Apache-2.0
// What only the Windows platform layer has: the machine's registry, mutex objects, the log file's
// share modes, language DLLs and COM ports.
#include <windows.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "lang/string_ids.h"
#include "platform/log_file_io.h"
#include "platform/named_mutex.h"
#include "platform/output_clock.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "platform/registry.h"
#include "platform/serial_line.h"
#include "platform/serial_port_use.h"
#include "platform/sys_error.h"
#include "platform/text_library.h"
#include "platform/win32/port_device.h"
#include "platform/win32/registry_snapshot.h"
#include "platform/win32/wide_text.h"
#include "test_support.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string UniqueName(const char* prefix) {
    return prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
}

// A key of the test's own under HKEY_CURRENT_USER, standing in for HKEY_LOCAL_MACHINE.
class RegistrySnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = win32::Widen("Software\\VexlorTest\\" + UniqueName("snapshot-"));
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
            ERROR_SUCCESS);
    }
    void TearDown() override {
        if (m_key) RegCloseKey(m_key);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }
    void Set(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, size_t size) {
        ASSERT_EQ(RegSetKeyValueW(m_key, key, name, type, data, static_cast<DWORD>(size)), ERROR_SUCCESS);
    }
    void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
        Set(key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    std::wstring m_path;
    HKEY m_key = nullptr;
};

TEST_F(RegistrySnapshotTest, ReadsTheDwordsAndTextsOfTheKeysAsked) {
    const DWORD level = 5;
    Set(L"SOFTWARE\\Vexlor", L"Level", REG_DWORD, &level, sizeof level);
    SetText(L"SOFTWARE\\Vexlor", L"App", L"C:\\Protokolle\\t\u00E9cnico\\\U0001D11E-");
    // Written without its terminating NUL, as some programs do; and one with a NUL inside.
    Set(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial7", REG_SZ, L"COM7", 4 * sizeof(wchar_t));
    Set(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Cut", REG_SZ, L"COM8\0junk", 10 * sizeof(wchar_t));
    Set(L"SOFTWARE\\Vexlor", L"Folder", REG_EXPAND_SZ, L"%TEMP%\\x", 9 * sizeof(wchar_t));
    const BYTE blob[] = {1, 2, 3, 4};
    Set(L"SOFTWARE\\Vexlor", L"Blob", REG_BINARY, blob, sizeof blob);
    Set(L"SOFTWARE\\Vexlor", L"Short", REG_DWORD, blob, 2);  // not a whole DWORD

    Registry registry;
    win32::AddRegistryKeys(m_key, {"SOFTWARE\\Vexlor", "HARDWARE\\DEVICEMAP\\SERIALCOMM", "SOFTWARE\\Absent"},
                           registry);
    EXPECT_EQ(registry.ReadDword("software\\vexlor", "LEVEL"), 5u);  // names regardless of case
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Vexlor", "App"),
              "C:\\Protokolle\\t\xC3\xA9"
              "cnico\\\xF0\x9D\x84\x9E-");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Vexlor", "Folder"), "%TEMP%\\x");  // as written
    EXPECT_EQ(registry.ReadString("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial7"), "COM7");
    EXPECT_EQ(registry.ReadString("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Cut"), "COM8");
    EXPECT_FALSE(registry.Read("SOFTWARE\\Vexlor", "Blob").has_value());
    EXPECT_FALSE(registry.Read("SOFTWARE\\Vexlor", "Short").has_value());
    EXPECT_EQ(registry.Values("SOFTWARE\\Vexlor").size(), 3u);
    EXPECT_FALSE(registry.HasKey("SOFTWARE\\Absent"));
}

TEST_F(RegistrySnapshotTest, AnEmptyKeyIsThereAndOversizedValuesAreLeftOut) {
    HKEY empty = nullptr;
    ASSERT_EQ(RegCreateKeyExW(m_key, L"SOFTWARE\\Vexlor", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &empty, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(empty);
    SetText(L"SOFTWARE\\Big", L"Huge", std::wstring(100000, L'x'));
    SetText(L"SOFTWARE\\Big", L"Small", L"ok");

    Registry registry;
    win32::AddRegistryKeys(m_key, {"SOFTWARE\\Vexlor", "SOFTWARE\\Big"}, registry);
    EXPECT_TRUE(registry.HasKey("SOFTWARE\\Vexlor"));
    EXPECT_TRUE(registry.Values("SOFTWARE\\Vexlor").empty());
    ASSERT_EQ(registry.Values("SOFTWARE\\Big").size(), 1u);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Big", "Small"), "ok");
}

TEST(RegistryLoad, HoldsTheMachinesPortMapAsWindowsReportsIt) {
    const wchar_t* keyPath = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    HKEY key = nullptr;
    const bool present = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
    const Registry registry = Registry::Load();
    ASSERT_EQ(registry.HasKey("HARDWARE\\DEVICEMAP\\SERIALCOMM"), present);
    if (!present) return;
    DWORD count = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const auto values = registry.Values("HARDWARE\\DEVICEMAP\\SERIALCOMM");
    EXPECT_EQ(values.size(), count);
    for (const auto& [name, value] : values) {
        wchar_t data[256] = {};
        DWORD size = sizeof data;
        ASSERT_EQ(
            RegGetValueW(HKEY_LOCAL_MACHINE, keyPath, win32::Widen(name).c_str(), RRF_RT_REG_SZ, nullptr, data, &size),
            ERROR_SUCCESS)
            << name;
        EXPECT_EQ(value.text, win32::Narrow(data)) << name;
    }
}

TEST(NamedMutexWin32, OneHolderPerNameUntilItLetsGo) {
    const std::string name = UniqueName("vexlor-test-");
    NamedMutex first;
    NamedMutex second;
    ASSERT_EQ(first.Create(name), NamedMutex::Result::Created);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_EQ(second.Create(name), NamedMutex::Result::AlreadyExists);
    EXPECT_FALSE(second.IsHeld());
    // A named object of the session: any process finds it by the name.
    HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, win32::Widen(name).c_str());
    EXPECT_NE(seen, nullptr);
    if (seen) CloseHandle(seen);
    EXPECT_TRUE(first.Close());
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(second.Create(name), NamedMutex::Result::Created);
    EXPECT_EQ(NamedMutex::LockPath(name), name);
}

TEST(NamedMutexWin32, TheCreatorOwnsItAndReleasesItWhenItLetsGo) {
    const std::string name = UniqueName("vexlor-owned-");
    NamedMutex holder;
    ASSERT_EQ(holder.Create(name), NamedMutex::Result::Created);
    HANDLE seen = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, win32::Widen(name).c_str());
    ASSERT_NE(seen, nullptr);
    // Another thread cannot acquire it while its creator holds it.
    DWORD whileHeld = 0;
    std::thread([&] { whileHeld = WaitForSingleObject(seen, 0); }).join();
    EXPECT_EQ(whileHeld, static_cast<DWORD>(WAIT_TIMEOUT));
    // Closed by the creating thread, it is released, not left owned or abandoned.
    EXPECT_TRUE(holder.Close());
    DWORD afterClose = 0;
    std::thread([&] {
        afterClose = WaitForSingleObject(seen, 0);
        if (afterClose == WAIT_OBJECT_0 || afterClose == WAIT_ABANDONED) ReleaseMutex(seen);
    }).join();
    EXPECT_EQ(afterClose, static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(seen);
}

TEST(NamedMutexWin32, NamesOutsideTheSessionAreRefused) {
    NamedMutex mutex;
    errno = 0;
    EXPECT_EQ(mutex.Create("Global\\vexlor-test"), NamedMutex::Result::Failed);
    EXPECT_EQ(errno, ERROR_INVALID_NAME);
    EXPECT_EQ(mutex.Create(""), NamedMutex::Result::Failed);
    EXPECT_FALSE(mutex.IsHeld());
}

class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = test::MakeScratchFolder("vexlor-win32-");
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string Content(const std::string& path) {
        // Opened as another program would while the log is written: sharing reading and writing.
        HANDLE file = CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
        char buffer[256];
        DWORD got = 0;
        ReadFile(file, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(file);
        return std::string(buffer, got);
    }
    void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    fs::path m_dir;
};

using Utf8ProgramTest = ScratchTest;

TEST_F(Utf8ProgramTest, NarrowNamesAreUtf8ThroughTheManifest) {
    // The program's manifest makes UTF-8 the process's code page: the C library's file names
    // reach the system as the UTF-8 text they are.
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    const std::string name = m_dir.string() +
                             "\\t\xC3\xA9"
                             "cnico-\xF0\x9D\x84\x9E.bin";
    std::ofstream(name, std::ios::binary) << "x";
    const std::wstring wide = win32::Widen(m_dir.string()) + L"\\t\u00E9cnico-\U0001D11E.bin";
    EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(name));
    EXPECT_EQ(file.Length(), 1);
}

using LogFileShareTest = ScratchTest;

TEST_F(LogFileShareTest, AnAppendingCopyKeepsOthersFromWritingButNotFromReading) {
    const std::string path = (m_dir / "20261209.log").string();
    Write(path, "old\r\n");
    const LogFileHandle holder = OpenLogFile(path.c_str(), true);
    ASSERT_NE(holder, kNoLogFile);
    WriteLogFile(holder, "one\r\n", 5, true);
    EXPECT_EQ(OpenLogFile(path.c_str(), true), kNoLogFile);
    EXPECT_EQ(OpenLogFile(path.c_str(), false), kNoLogFile);  // nor empties it
    EXPECT_EQ(Content(path), "old\r\none\r\n");
    CloseLogFile(holder);
    const LogFileHandle next = OpenLogFile(path.c_str(), true);
    EXPECT_NE(next, kNoLogFile);
    CloseLogFile(next);
}

TEST_F(LogFileShareTest, AFreshCopyEmptiesTheFileUnlessAnotherCopyWritesIt) {
    const std::string path = (m_dir / "20261209.log").string();
    Write(path, "yesterday's run\r\n");
    const LogFileHandle first = OpenLogFile(path.c_str(), false);
    ASSERT_NE(first, kNoLogFile);
    EXPECT_EQ(Content(path), "");
    WriteLogFile(first, "first\r\n", 7, false);
    const LogFileHandle second = OpenLogFile(path.c_str(), false);
    ASSERT_NE(second, kNoLogFile);
    WriteLogFile(second, "second\r\n", 8, true);
    WriteLogFile(first, "first again\r\n", 13, true);
    EXPECT_EQ(Content(path), "first\r\nsecond\r\nfirst again\r\n");  // each write at the end
    CloseLogFile(first);
    CloseLogFile(second);
}

TEST_F(LogFileShareTest, OnlyARegularFileIsTaken) {
    EXPECT_EQ(OpenLogFile(m_dir.string().c_str(), true), kNoLogFile);
    EXPECT_EQ(OpenLogFile(m_dir.string().c_str(), false), kNoLogFile);
    EXPECT_EQ(OpenLogFile("NUL", true), kNoLogFile);
    EXPECT_EQ(OpenLogFile("NUL", false), kNoLogFile);
    EXPECT_EQ(OpenLogFile("", true), kNoLogFile);
    EXPECT_EQ(OpenLogFile(nullptr, true), kNoLogFile);
    const std::string damaged = m_dir.string() + "\\bad\xC3(.log";  // not UTF-8
    EXPECT_EQ(OpenLogFile(damaged.c_str(), true), kNoLogFile);
}

using TextLibraryWin32Test = ScratchTest;

TEST_F(TextLibraryWin32Test, LoadsALanguageDllAndItsTexts) {
    const std::string folder = ProgramFolder();
    std::string error;
    TextLibrary english;
    ASSERT_TRUE(english.Load(folder + "VexlorEngRes.dll", error)) << error;
    EXPECT_EQ(english.Text(lang::IDS_START), "Start");
    EXPECT_EQ(english.Text(999999), "");
    EXPECT_EQ(english.Text(0x10000 + lang::IDS_START), "");  // not string 57 by its low 16 bits
    TextLibrary chinese;
    std::string slashes = folder + "VexlorChsRes.dll";  // forward slashes are taken too
    for (char& c : slashes) c = c == '\\' ? '/' : c;
    ASSERT_TRUE(chinese.Load(slashes, error)) << error;
    EXPECT_EQ(chinese.Text(lang::IDS_START), "\xE5\xBC\x80\xE5\xA7\x8B");
    chinese.Free();
    EXPECT_FALSE(chinese.IsLoaded());
    EXPECT_EQ(chinese.Text(lang::IDS_START), "");
}

TEST_F(TextLibraryWin32Test, OnlyTheExactPathIsLoaded) {
    std::string error;
    TextLibrary library;
    // A bare name is the current folder's file, never one the system's search finds (the
    // program's folder holds a VexlorEngRes.dll).
    wchar_t previous[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(win32::Widen(m_dir.string()).c_str()));
    EXPECT_FALSE(library.Load("VexlorEngRes.dll", error));
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(error.empty());
    // A DLL without a string table, a file that is no DLL, a folder and a file that is not there.
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_FALSE(library.Load(win32::Narrow(system) + "\\kernel32.dll", error));
    EXPECT_NE(error.find("no string table"), std::string::npos) << error;
    const std::string fake = (m_dir / "VexlorFakeRes.dll").string();
    Write(fake, "not a library");
    EXPECT_FALSE(library.Load(fake, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(library.Load(m_dir.string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(library.Load((m_dir / "VexlorNoneRes.dll").string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.Text(lang::IDS_START), "");
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(TextLibraryWin32Test, ALanguageDllIsResourcesOnly) {
    for (const char* name : {"VexlorEngRes.dll", "VexlorChtRes.dll", "VexlorChsRes.dll"}) {
        SCOPED_TRACE(name);
        const std::string image = FileBytes(ProgramFolder() + name);
        IMAGE_DOS_HEADER dos;
        ASSERT_GT(image.size(), sizeof dos);
        memcpy(&dos, image.data(), sizeof dos);
        ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
        IMAGE_NT_HEADERS64 nt;
        ASSERT_LE(static_cast<size_t>(dos.e_lfanew) + sizeof nt, image.size());
        memcpy(&nt, image.data() + dos.e_lfanew, sizeof nt);
        ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
        ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
        EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_DLL);
        // Nothing runs when it is loaded, and there is no lookup function to call.
        EXPECT_EQ(nt.OptionalHeader.AddressOfEntryPoint, 0u);
        EXPECT_EQ(nt.OptionalHeader.SizeOfCode, 0u);
        const IMAGE_DATA_DIRECTORY* directories = nt.OptionalHeader.DataDirectory;
        EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_EXPORT].Size, 0u);
        EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].Size, 0u);
        EXPECT_EQ(directories[IMAGE_DIRECTORY_ENTRY_TLS].Size, 0u);
        EXPECT_GT(directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size, 0u);
        // One section, the resources: neither code nor executable.
        const size_t first = static_cast<size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                             nt.FileHeader.SizeOfOptionalHeader;
        ASSERT_EQ(nt.FileHeader.NumberOfSections, 1);
        IMAGE_SECTION_HEADER section;
        ASSERT_LE(first + sizeof section, image.size());
        memcpy(&section, image.data() + first, sizeof section);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(section.Name), 5), ".rsrc");
        EXPECT_EQ(section.Characteristics & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE), 0u);
    }
}

TEST_F(TextLibraryWin32Test, ADamagedStringTableIsRefused) {
    const std::string original = FileBytes(ProgramFolder() + "VexlorEngRes.dll");
    // The text of IDS_START as the table stores it: its length, then its UTF-16 characters.
    const wchar_t counted[] = L"\x0005Start";
    const std::string start(reinterpret_cast<const char*>(counted), 12);
    const size_t at = original.find(start);
    ASSERT_NE(at, std::string::npos);
    std::string image = original;
    image[at] = '\xFF';  // a length that runs far past the end of its block
    image[at + 1] = '\x7F';
    const std::string damaged = (m_dir / "VexlorDamagedRes.dll").string();
    Write(damaged, image);
    TextLibrary library;
    std::string error;
    EXPECT_FALSE(library.Load(damaged, error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    EXPECT_FALSE(library.IsLoaded());
    // Cut short in the middle of its table: refused (Windows), or mapped with the missing part
    // as zeros (Wine), where a text is whole or empty, never garbage.
    const std::string cut = (m_dir / "VexlorCutRes.dll").string();
    Write(cut, original.substr(0, at));
    TextLibrary whole;
    ASSERT_TRUE(whole.Load(ProgramFolder() + "VexlorEngRes.dll", error)) << error;
    if (library.Load(cut, error)) {
        for (const lang::StringUse& use : lang::kStringUses) {
            const std::string text = library.Text(use.id);
            EXPECT_TRUE(text.empty() || text == whole.Text(use.id)) << use.id << ": " << text;
        }
        EXPECT_EQ(library.Text(lang::IDS_START), "");
    }
}

// The errors the layers above name are Windows' own numbers, so every text shown for them is the
// text of that very error, not of whatever Windows error shares a C runtime number.
TEST(SysErrorWin32, TheErrorsTheChannelNamesAreWindowsOwnWithTheirOwnTexts) {
    const std::pair<int, DWORD> named[] = {{kErrorNotFound, ERROR_FILE_NOT_FOUND},
                                           {kErrorBusy, ERROR_BUSY},
                                           {kErrorTimedOut, ERROR_TIMEOUT},
                                           {kErrorNameTooLong, ERROR_FILENAME_EXCED_RANGE},
                                           {kErrorGone, ERROR_DEVICE_REMOVED},
                                           {kErrorNotOpen, ERROR_INVALID_HANDLE},
                                           {kErrorBadArgument, ERROR_INVALID_PARAMETER}};
    for (const auto& [error, windows] : named) {
        EXPECT_EQ(error, static_cast<int>(windows));
        EXPECT_FALSE(SysErrorText(error).empty()) << error;
    }
    // EBUSY (16) as a Windows error would read "The directory cannot be removed."
    EXPECT_NE(SysErrorText(kErrorBusy), SysErrorText(EBUSY));
    EXPECT_EQ(SystemErrorOf(std::make_error_code(std::errc::resource_unavailable_try_again)), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(SystemErrorOf(std::error_code(ERROR_ACCESS_DENIED, std::system_category())), ERROR_ACCESS_DENIED);
}

using SerialLineWin32Test = ScratchTest;

TEST_F(SerialLineWin32Test, PortsThatCannotBeUsedSayWhy) {
    auto line = MakeSystemSerialLine();
    const std::string file = (m_dir / "not-a-port").string();
    Write(file, "x");
    struct Case {
        std::string path;
        SerialLine::Problem problem;
    };
    const Case cases[] = {
        {"\\\\.\\COM219", SerialLine::Problem::kAbsent},
        {"", SerialLine::Problem::kAbsent},
        {m_dir.string(), SerialLine::Problem::kNotSerial},
        {file, SerialLine::Problem::kNotSerial},
    };
    for (const Case& c : cases) {
        const SerialLine::OpenResult opened = line->Open(c.path, 115200);
        EXPECT_NE(opened.error, 0) << c.path;
        EXPECT_EQ(opened.problem, c.problem) << c.path << ": " << opened.error;
        EXPECT_FALSE(line->IsOpen());
    }
    // A COM port another program holds answers "access denied": often for a moment only, so the
    // channel waits for it; a port pulled out under a read is gone.
    EXPECT_EQ(ProblemOfError(ERROR_ACCESS_DENIED), SerialLine::Problem::kInUse);
    EXPECT_FALSE(SerialLine::IsLasting(SerialLine::Problem::kInUse));
    EXPECT_TRUE(IsDeviceGone(ERROR_BAD_COMMAND));
    EXPECT_TRUE(IsDeviceGone(kErrorGone));
    EXPECT_FALSE(IsDeviceGone(ERROR_OPERATION_ABORTED));
    char buffer[8];
    size_t count = 1;
    EXPECT_EQ(line->Read(buffer, sizeof buffer, &count, 10, 0), ERROR_INVALID_HANDLE);  // never opened
    EXPECT_EQ(count, 0u);
}

// Who may open a port is the device's security descriptor's to say; a port nobody has is free.
// (A Wine COM port has no Plug and Play device to carry a descriptor: the check is shown here on
// descriptors of the test's own.)
TEST(SerialPortUseWin32, TheSecurityDescriptorSaysWhoMayOpenAPort) {
    struct Case {
        const wchar_t* sddl;
        bool mayOpen;
    };
    const Case cases[] = {
        {L"D:(A;;GRGW;;;WD)", true},             // everyone reads and writes
        {L"D:(A;;GR;;;WD)", false},              // everyone only reads
        {L"D:(D;;GA;;;WD)(A;;GA;;;WD)", false},  // everyone kept out first
        {L"D:", false},                          // an empty access list lets nobody in
    };
    for (const Case& c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ULONG size = 0;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &descriptor, &size));
        const auto* bytes = static_cast<const BYTE*>(descriptor);
        EXPECT_EQ(win32::SecurityLetsUserOpen(std::vector<BYTE>(bytes, bytes + size)), c.mayOpen)
            << win32::Narrow(c.sddl);
        LocalFree(descriptor);
    }
    EXPECT_TRUE(win32::SecurityLetsUserOpen({}));  // none set: nothing against it
    // A null access list lets everyone in (Wine's SDDL reader makes "NO_ACCESS_CONTROL" an empty one).
    SECURITY_DESCRIPTOR open;
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    std::vector<BYTE> relative(256);
    DWORD relativeSize = static_cast<DWORD>(relative.size());
    ASSERT_TRUE(MakeSelfRelativeSD(&open, relative.data(), &relativeSize));
    relative.resize(relativeSize);
    EXPECT_TRUE(win32::SecurityLetsUserOpen(relative));

    const SerialPortUse absent = LookAtSerialPort("\\Device\\VexlorNone", "COM219");
    EXPECT_EQ(absent.state, SerialPortUse::State::kMissing);
    EXPECT_EQ(absent.error, ERROR_FILE_NOT_FOUND);
}

// The console a program runs in is the user's: what vexlor.exe changes in it (the output mode
// its live views need, the code page) is put back when it ends. This needs a console, which Wine
// gives a program started on a terminal: ctest runs the case under script, with
// VEXLOR_TEST_CONSOLE set; elsewhere it is skipped.
TEST(ConsoleWin32, VexlorLeavesTheConsoleAsItFoundIt) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(out, &mode)) {
        if (std::getenv("VEXLOR_TEST_CONSOLE")) FAIL() << "no console: " << GetLastError();
        GTEST_SKIP() << "needs a console";
    }
    const DWORD before = mode & ~static_cast<DWORD>(ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    ASSERT_TRUE(SetConsoleMode(out, before));
    const UINT page = GetConsoleOutputCP() == 850 ? 437 : 850;
    ASSERT_TRUE(SetConsoleOutputCP(page));

    // The package check shows its progress the way a terminal gets it, then fails: the program
    // beside the test carries no firmware load.
    std::wstring command = L"\"" + win32::Widen(ProgramFolder()) + L"vexlor.exe\" --cli --verify";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(status, 7u);  // the program carries no firmware load

    ASSERT_TRUE(GetConsoleMode(out, &mode));
    EXPECT_EQ(mode, before);
    EXPECT_EQ(GetConsoleOutputCP(), page);
}

// A COM port of the Wine prefix whose far end is a pseudo-terminal that echoes what it gets
// (tests/platform/wine_com_echo.py, which ctest runs these under). A 0xFF byte comes back alone
// and then pauses the echo for three seconds; a 0xFE byte hangs the terminal up.
class SerialLineEchoTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* port = std::getenv("VEXLOR_TEST_COM");
        if (!port || !*port) GTEST_SKIP() << "needs VEXLOR_TEST_COM, a COM port with an echo behind it";
        m_device = std::string("\\\\.\\") + port;
        m_found = SettingsLeft();
        m_line = MakeSystemSerialLine(300);
        ASSERT_EQ(m_line->Open(m_device, 460800).error, 0);
    }
    // The port's settings as a program that opens it next finds them.
    DCB SettingsLeft() {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const std::wstring wide(m_device.begin(), m_device.end());
        HANDLE port = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
        if (port == INVALID_HANDLE_VALUE) return dcb;
        EXPECT_TRUE(GetCommState(port, &dcb)) << GetLastError();
        CloseHandle(port);
        return dcb;
    }
    // Reads until count bytes came or limitMs passed.
    std::string ReadAtLeast(size_t count, int limitMs) {
        std::string got;
        const auto start = Clock::now();
        while (got.size() < count && MsSince(start) < limitMs) {
            char buffer[512];
            size_t n = 0;
            EXPECT_EQ(m_line->Read(buffer, sizeof buffer, &n, 200, 20), 0);
            got.append(buffer, n);
        }
        return got;
    }
    std::string m_device;
    DCB m_found{};  // the port's settings before the test's run
    std::unique_ptr<SerialLine> m_line;
};

TEST_F(SerialLineEchoTest, WhatIsWrittenComesBackAndReadsWaitOnlyTheirTime) {
    char buffer[64];
    size_t count = 1;
    auto start = Clock::now();
    EXPECT_EQ(m_line->Read(buffer, sizeof buffer, &count, 150, 0), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(MsSince(start), 120);
    EXPECT_LT(MsSince(start), 1000);

    std::string sent;
    for (int i = 0; i < 3000; ++i) sent.push_back(static_cast<char>(i % 251));  // no 0xFE, 0xFF
    size_t written = 0;
    EXPECT_EQ(m_line->Write(sent.data(), sent.size(), &written), 0);
    EXPECT_EQ(written, sent.size());
    EXPECT_EQ(ReadAtLeast(sent.size(), 5000), sent);

    // Bytes that follow each other closely are gathered into one read; a read with no settle
    // time hands over what is there at once.
    EXPECT_EQ(m_line->Write("abcdef", 6, &written), 0);
    start = Clock::now();
    std::string got;
    while (got.size() < 6 && MsSince(start) < 2000) {
        EXPECT_EQ(m_line->Read(buffer, sizeof buffer, &count, 500, 50), 0);
        got.append(buffer, count);
    }
    EXPECT_EQ(got, "abcdef");

    // A read takes no more than its buffer holds; what does not fit waits for the next one.
    EXPECT_EQ(m_line->Write("0123456789", 10, &written), 0);
    EXPECT_EQ(m_line->Read(buffer, 1, &count, 2000, 0), 0);  // the echo has begun
    ASSERT_EQ(count, 1u);
    got.assign(buffer, 1);
    start = Clock::now();
    while (got.size() < 10 && MsSince(start) < 2000) {
        EXPECT_EQ(m_line->Read(buffer, 3, &count, 500, 50), 0);
        EXPECT_LE(count, 3u);
        got.append(buffer, count);
    }
    EXPECT_EQ(got, "0123456789");
    EXPECT_EQ(m_line->Close(SerialLine::CloseMode::kKeepSettings), 0);
    EXPECT_FALSE(m_line->IsOpen());
}

TEST_F(SerialLineEchoTest, AWakeUpEndsAWaitingReadAndAPendingOneIsForgotten) {
    char buffer[64];
    size_t count = 1;
    // The wake comes as the read begins: whether it finds the read already waiting or just
    // about to, the read ends at once (the second case is also checked on its own below).
    std::atomic<bool> reading{false};
    std::thread waker([&] {
        while (!reading.load()) std::this_thread::yield();
        m_line->WakeReader();
    });
    auto start = Clock::now();
    reading.store(true);
    EXPECT_EQ(m_line->Read(buffer, sizeof buffer, &count, 5000, 0), 0);
    waker.join();
    EXPECT_EQ(count, 0u);
    EXPECT_LT(MsSince(start), 2000);

    m_line->WakeReader();  // with no read waiting: the next one returns at once
    start = Clock::now();
    EXPECT_EQ(m_line->Read(buffer, sizeof buffer, &count, 3000, 0), 0);
    EXPECT_LT(MsSince(start), 1000);
    m_line->WakeReader();
    m_line->DiscardWake();
    start = Clock::now();
    EXPECT_EQ(m_line->Read(buffer, sizeof buffer, &count, 300, 0), 0);
    EXPECT_GE(MsSince(start), 250);

    // The line is held: a second open of the port is refused as in use.
    auto other = MakeSystemSerialLine();
    const SerialLine::OpenResult busy = other->Open(m_device, 115200);
    EXPECT_EQ(busy.problem, SerialLine::Problem::kInUse) << busy.error;
}

TEST_F(SerialLineEchoTest, AWriteNobodyTakesEndsAtTheStallLimit) {
    size_t written = 0;
    ASSERT_EQ(m_line->Write("\xFF", 1, &written), 0);
    ASSERT_EQ(ReadAtLeast(1, 5000), "\xFF");  // the far end says it stops reading now
    const std::string flood(1 << 20, 'x');
    const auto start = Clock::now();
    EXPECT_NE(m_line->Write(flood.data(), flood.size(), &written), 0);
    EXPECT_LT(written, flood.size());
    EXPECT_LT(MsSince(start), 2800);  // long before the far end reads again
}

TEST_F(SerialLineEchoTest, TheSettingsThatBindAreTheChannelsForTheRunAndThePortsOwnAfterIt) {
    // What the line set, read back as the next opening finds it (a close inside a run keeps it).
    ASSERT_EQ(m_line->Close(SerialLine::CloseMode::kKeepSettings), 0);
    const DCB set = SettingsLeft();
    EXPECT_EQ(set.BaudRate, 460800u);
    EXPECT_EQ(set.ByteSize, 8);
    EXPECT_EQ(set.Parity, NOPARITY);
    EXPECT_EQ(set.StopBits, ONESTOPBIT);
    EXPECT_FALSE(set.fOutxCtsFlow);
    EXPECT_FALSE(set.fOutX);
    EXPECT_FALSE(set.fInX);
    EXPECT_NE(set.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    // Wine keeps no flag word, no special characters and no time-outs of a closed handle: what it
    // keeps is the line itself (rate, framing, flow control) on the terminal behind the port.

    // The run's end gives the port back as it was found, once the last bytes have gone.
    ASSERT_NE(m_found.BaudRate, 230400u);
    ASSERT_EQ(m_line->Open(m_device, 230400).error, 0);
    // The settle time counts from the last byte on the line, so from before the write at the latest.
    const auto start = Clock::now();
    size_t written = 0;
    ASSERT_EQ(m_line->Write("\x7E\x0A\x4B\xB8\x7E", 5, &written), 0);
    ASSERT_EQ(m_line->Close(SerialLine::CloseMode::kRestoreSettings), 0);
    EXPECT_GE(MsSince(start), OutputClock::kSettleMs);
    EXPECT_EQ(SettingsLeft().BaudRate, m_found.BaudRate);
}

TEST_F(SerialLineEchoTest, AHungUpLineIsAnErrorNotEndlessSilence) {
    size_t written = 0;
    ASSERT_EQ(m_line->Write("\xFE", 1, &written), 0);
    char buffer[64];
    int error = 0;
    const auto start = Clock::now();
    while (error == 0 && MsSince(start) < 3000) {
        size_t count = 0;
        error = m_line->Read(buffer, sizeof buffer, &count, 100, 0);
    }
    EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace platform
