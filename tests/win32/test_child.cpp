// A child program for the process tests:
//   velmora_test_child sleep <milliseconds> <marker file>   waits, then creates the marker
//   velmora_test_child echo <output file> [anything...]     writes its command line as UTF-8
//   velmora_test_child exit <status>                        ends with that exit status
//   velmora_test_child console <output file>                writes "window" when it has a console
//                                                            window, "none" when not
//   velmora_test_child unconsoled <output file>             without a console of its own, as a GUI
//                                                            program, runs itself with "console"
//                                                            through Win32ToolRunner
//   velmora_test_child self <output file>                   writes the path of its own file
//   velmora_test_child folder <output file>                 writes its current folder
//   velmora_test_child handle <value> <output file>         writes "inherited" when the handle of
//                                                            that value is open in it, else "none"
//   velmora_test_child run <program>                        starts the program (its command line
//                                                            its quoted path), waits for it and ends
//                                                            with its exit status
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/win32/win32_tool_runner.h"

namespace {

void writeFile(const wchar_t* path, const std::string& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string toUtf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"sleep") {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        writeFile(argv[3], "done");
        return 0;
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"echo") {
        writeFile(argv[2], toUtf8(GetCommandLineW()));
        return 0;
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"exit") {
        return _wtoi(argv[2]);
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"console") {
        writeFile(argv[2], GetConsoleWindow() != nullptr ? "window" : "none");
        return 0;
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"unconsoled") {
        FreeConsole();
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        velmora::Win32ToolRunner tools(toUtf8(self));
        return tools.runHidden("\"" + toUtf8(self) + "\" console \"" + toUtf8(argv[2]) + "\"");
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"self") {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        writeFile(argv[2], toUtf8(self));
        return 0;
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"folder") {
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        writeFile(argv[2], toUtf8(current));
        return 0;
    }
    if (argc >= 4 && std::wstring(argv[1]) == L"handle") {
        DWORD flags = 0;
        const auto value = static_cast<std::uintptr_t>(_wtoi64(argv[2]));
        writeFile(argv[3], GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? "inherited" : "none");
        return 0;
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"run") {
        std::wstring line = L"\"" + std::wstring(argv[2]) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
            return 2;
        }
        WaitForSingleObject(started.hProcess, INFINITE);
        DWORD status = 2;
        GetExitCodeProcess(started.hProcess, &status);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        return static_cast<int>(status);
    }
    return 2;
}
