// velmora.exe, velmora-ipsec.exe and velmora-service.exe are 32-bit GUI programs (the last two
// without a window, and without a console either) whose imports Windows 2000 can satisfy: only Windows' own DLLs, and none of the functions that arrived later and that runtimes
// like to pull in.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "platform/win32/text_codec.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

struct PeImage {
    WORD machine = 0;
    WORD magic = 0;
    WORD subsystem = 0;
    std::map<std::string, std::set<std::string>> imports;  // lower-case DLL name -> functions
};

template <typename T>
T at(const std::string& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof(T) <= bytes.size()) {
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    }
    return value;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

PeImage readPe(const std::string& bytes) {
    PeImage pe;
    const auto ntOffset = at<LONG>(bytes, offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (at<DWORD>(bytes, ntOffset) != IMAGE_NT_SIGNATURE) {
        return pe;
    }
    const auto nt = at<IMAGE_NT_HEADERS32>(bytes, ntOffset);
    pe.machine = nt.FileHeader.Machine;
    pe.magic = nt.OptionalHeader.Magic;
    pe.subsystem = nt.OptionalHeader.Subsystem;

    const std::size_t sections = ntOffset + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                                 nt.FileHeader.SizeOfOptionalHeader;
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            const auto s = at<IMAGE_SECTION_HEADER>(bytes, sections + i * sizeof(IMAGE_SECTION_HEADER));
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return bytes.size();
    };
    const auto textAt = [&](DWORD rva) {
        const std::size_t offset = fileOffset(rva);
        return offset < bytes.size() ? std::string(bytes.c_str() + offset) : std::string();
    };

    const DWORD importRva = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (std::size_t d = fileOffset(importRva);; d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(bytes, d);
        if (descriptor.Name == 0) {
            break;
        }
        auto& functions = pe.imports[lower(textAt(descriptor.Name))];
        const DWORD thunks = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        for (std::size_t t = fileOffset(thunks);; t += sizeof(DWORD)) {
            const auto thunk = at<DWORD>(bytes, t);
            if (thunk == 0) {
                break;
            }
            functions.insert(thunk & IMAGE_ORDINAL_FLAG32 ? "#" + std::to_string(thunk & 0xFFFF)
                                                          : textAt(thunk + offsetof(IMAGE_IMPORT_BY_NAME, Name)));
        }
    }
    return pe;
}

// Functions that mingw-w64's runtimes or careless code pull in and that Windows 2000 SP4
// does not have.
const std::set<std::string> kMissingOnWindows2000 = {
    // kernel32
    "AddVectoredExceptionHandler", "RemoveVectoredExceptionHandler", "GetTickCount64", "GetModuleHandleExA",
    "GetModuleHandleExW", "GetNativeSystemInfo", "IsWow64Process", "GetProcessHandleCount", "AttachConsole",
    "EncodePointer", "DecodePointer", "InitializeCriticalSectionEx", "InitOnceExecuteOnce", "InitializeSRWLock",
    "AcquireSRWLockExclusive", "AcquireSRWLockShared", "ReleaseSRWLockExclusive", "ReleaseSRWLockShared",
    "InitializeConditionVariable", "SleepConditionVariableCS", "WakeConditionVariable", "WakeAllConditionVariable",
    "CreateEventExW", "CreateMutexExW", "CreateSemaphoreExW", "FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue",
    "GetSystemTimePreciseAsFileTime", "GetLogicalProcessorInformation", "SetDllDirectoryA", "SetDllDirectoryW",
    "SetThreadStackGuarantee", "WTSGetActiveConsoleSessionId", "GetFileSizeEx", "InterlockedCompareExchange64",
    "InitializeSListHead", "InterlockedFlushSList", "InterlockedPushEntrySList", "InterlockedPopEntrySList",
    "QueryDepthSList", "GetCurrentProcessorNumber", "CreateSymbolicLinkW", "GetFinalPathNameByHandleW",
    // msvcrt
    "_fstat64", "_stat64", "_wstat64", "_fstat32", "_time64", "_localtime64", "_gmtime64", "_mktime64",
    "_ftelli64", "_fseeki64", "_aligned_malloc", "_aligned_free", "_aligned_realloc", "_vscprintf", "_vscwprintf",
    "_get_output_format", "_set_output_format", "_strtoi64", "_strtoui64", "_wcstoi64", "_wcstoui64",
    "__iob_func", "_set_invalid_parameter_handler", "_resetstkoflw", "_get_errno", "_set_errno", "__p___argv",
    "__p___argc", "_wfopen_s", "fopen_s", "strtoull", "_difftime64", "_ctime64",
    // user32 and iphlpapi
    "GetRawInputData", "RegisterRawInputDevices", "PrintWindow", "GetLayeredWindowAttributes", "IsWinEventHookInstalled",
    "GetAdaptersAddresses",
};

const std::set<std::string> kWindowsDlls = {
    "kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll", "shell32.dll", "ole32.dll",  "oleaut32.dll",
    "comctl32.dll", "msvcrt.dll", "rasapi32.dll", "iphlpapi.dll", "ws2_32.dll", "shlwapi.dll", "comdlg32.dll",
};

std::set<std::string> missingOnWindows2000(const PeImage& pe) {
    std::set<std::string> missing;
    for (const auto& [dll, functions] : pe.imports) {
        for (const auto& function : functions) {
            if (kMissingOnWindows2000.count(function) != 0) {
                missing.insert(function);
            }
        }
    }
    return missing;
}

PeImage velmoraExe() {
    return readPe(testing::readBytes(widen(VELMORA_EXE)));
}

TEST(VelmoraExe, isA32BitGuiProgram) {
    const PeImage pe = velmoraExe();
    EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(pe.magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(VelmoraExe, importsOnlyFromWindowsOwnDlls) {
    const PeImage pe = velmoraExe();
    ASSERT_FALSE(pe.imports.empty());
    for (const auto& [dll, functions] : pe.imports) {
        EXPECT_EQ(kWindowsDlls.count(dll), 1u) << dll << " is not a DLL that Windows ships";
    }
}

TEST(VelmoraExe, importsNothingWindows2000Lacks) {
    const PeImage pe = velmoraExe();
    EXPECT_EQ(missingOnWindows2000(pe), std::set<std::string>{});
}

// Libraries that every Windows since 2000 maps from the system folder for any program that names
// them (its known DLLs): a load-time import of any other is looked for in the exe's own folder
// first, before a line of the program has run.
const std::set<std::string> kKnownDlls = {"kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll", "shell32.dll",
                                          "ole32.dll",    "oleaut32.dll", "comdlg32.dll", "msvcrt.dll"};

TEST(ShippedExes, importAtLoadTimeOnlyLibrariesWindowsMapsFromTheSystemFolder) {
    for (const char* exe : {VELMORA_EXE, VELMORA_IPSEC_EXE, VELMORA_SERVICE_EXE}) {
        const PeImage pe = readPe(testing::readBytes(widen(exe)));
        ASSERT_FALSE(pe.imports.empty()) << exe;
        for (const auto& [dll, functions] : pe.imports) {
            EXPECT_EQ(kKnownDlls.count(dll), 1u) << exe << " imports " << dll << " at load time";
        }
    }
}

// velmora-ipsec.exe and velmora-service.exe ship beside velmora.exe and start on every Windows the
// installer reaches.
TEST(HelperExes, are32BitGuiProgramsImportingOnlyWhatWindows2000Has) {
    for (const char* exe : {VELMORA_IPSEC_EXE, VELMORA_SERVICE_EXE}) {
        SCOPED_TRACE(exe);
        const PeImage pe = readPe(testing::readBytes(widen(exe)));
        EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_I386);
        EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
        ASSERT_FALSE(pe.imports.empty());
        for (const auto& [dll, functions] : pe.imports) {
            EXPECT_EQ(kWindowsDlls.count(dll), 1u) << dll << " is not a DLL that Windows ships";
        }
        EXPECT_EQ(missingOnWindows2000(pe), std::set<std::string>{});
    }
}

TEST(VelmoraExe, theImportCheckFindsWhatTheTestProgramsRuntimeAdds) {
    // This test program is built with the posix-thread runtime, which needs newer Windows.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const PeImage pe = readPe(testing::readBytes(self));
    EXPECT_EQ(missingOnWindows2000(pe).count("GetTickCount64"), 1u);
}

}  // namespace
}  // namespace velmora
