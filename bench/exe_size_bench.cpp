// The size of an exe as it ships (by default the velmora.exe beside this program): each section's
// bytes in the file and in memory, and the file's total. Reads the file; runs nothing of it.
//   velmora_exe_size_bench [exe]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::vector<char> readFile(const wchar_t* path) {
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
        bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

template <typename T>
bool copyAt(const std::vector<char>& bytes, std::size_t offset, T& value) {
    if (offset + sizeof(T) > bytes.size()) {
        return false;
    }
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring exe = argc > 1 ? argv[1] : besideThisProgram(L"velmora.exe");
    const wchar_t* path = exe.c_str();
    const std::vector<char> bytes = readFile(path);
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    if (!copyAt(bytes, 0, dos) || !copyAt(bytes, static_cast<std::size_t>(dos.e_lfanew), nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE) {
        std::fwprintf(stderr, L"%ls is not a 32-bit Windows program\n", path);
        return 1;
    }
    std::wprintf(L"%ls\n%-10ls %10ls %10ls\n", path, L"section", L"in file", L"in memory");
    const std::size_t first = static_cast<std::size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                              nt.FileHeader.SizeOfOptionalHeader;
    DWORD inSections = 0;
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!copyAt(bytes, first + i * sizeof section, section)) {
            break;
        }
        std::wstring name(section.Name,
                          section.Name + strnlen(reinterpret_cast<const char*>(section.Name), IMAGE_SIZEOF_SHORT_NAME));
        // A longer name ("/4") lies in the string table after the symbols, when there are symbols.
        const std::size_t strings = nt.FileHeader.PointerToSymbolTable + nt.FileHeader.NumberOfSymbols * 18u;
        if (name[0] == L'/' && nt.FileHeader.PointerToSymbolTable != 0) {
            const std::size_t at = strings + std::wcstoul(name.c_str() + 1, nullptr, 10);
            if (at < bytes.size()) {
                const char* longName = bytes.data() + at;
                name.assign(longName, longName + strnlen(longName, bytes.size() - at));
            }
        }
        std::wprintf(L"%-10ls %10lu %10lu\n", name.c_str(), static_cast<unsigned long>(section.SizeOfRawData),
                     static_cast<unsigned long>(section.Misc.VirtualSize));
        inSections += section.SizeOfRawData;
    }
    // The headers, and in an exe with symbols the symbol table after the last section.
    std::wprintf(L"%-10ls %10lu\n", L"the rest", static_cast<unsigned long>(bytes.size() - inSections));
    std::wprintf(L"%-10ls %10lu (%.1f KB)\n", L"total", static_cast<unsigned long>(bytes.size()),
                 static_cast<double>(bytes.size()) / 1024);
    return 0;
}
