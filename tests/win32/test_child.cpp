// A child program for the process tests:
//   velmora_test_child sleep <milliseconds> <marker file>   waits, then creates the marker
//   velmora_test_child echo <output file> [anything...]     writes its command line as UTF-8
//   velmora_test_child exit <status>                        ends with that exit status
#include <windows.h>

#include <cstdlib>
#include <string>

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
    if (argc >= 3 && std::wstring(argv[1]) == L"exit") {
        return _wtoi(argv[2]);
    }
    if (argc >= 3 && std::wstring(argv[1]) == L"echo") {
        writeFile(argv[2], toUtf8(GetCommandLineW()));
        return 0;
    }
    return 2;
}
