#include "platform/win32/caller_output.h"

#include <windows.h>

#include <vector>

#include "platform/win32/unique_handle.h"

namespace velmora {

namespace {

bool writeToFile(HANDLE file, const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::vector<char> bytes(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The console of the process that started this one (Windows XP on; Windows 2000 has no way in).
bool writeToParentConsole(const std::wstring& text) {
    using AttachConsoleCall = BOOL(WINAPI*)(DWORD);
    const auto attach = reinterpret_cast<AttachConsoleCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AttachConsole")));
    if (attach == nullptr || !attach(ATTACH_PARENT_PROCESS)) {
        return false;
    }
    bool written = false;
    {
        const UniqueHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD count = 0;
        written = console.get() != INVALID_HANDLE_VALUE &&
                  WriteConsoleW(console.get(), text.c_str(), static_cast<DWORD>(text.size()), &count, nullptr);
    }
    FreeConsole();
    return written;
}

}  // namespace

bool writeToCaller(const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) {
        const DWORD type = GetFileType(output);
        if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK) {
            return writeToFile(output, line);
        }
    }
    return writeToParentConsole(line);
}

}  // namespace velmora
