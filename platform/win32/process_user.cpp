#include "platform/win32/process_user.h"

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/unique_handle.h"

namespace velmora {

std::wstring processUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    const UniqueHandle owned(token);
    DWORD size = 0;
    (void)GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
        return {};
    }
    const std::wstring sid = text;
    (void)LocalFree(text);
    return sid;
}

bool processIsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const bool asked = CheckTokenMembership(nullptr, administrators, &member) != FALSE;
    (void)FreeSid(administrators);
    return asked && member != FALSE;
}

bool startAgainAsAdministrator() {
    std::wstring program(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    if (length == 0 || length >= program.size()) {
        return false;
    }
    program.resize(length);
    // The arguments as given: the command line after the program's own name, quoted or not.
    const wchar_t* arguments = GetCommandLineW();
    const wchar_t end = *arguments == L'"' ? L'"' : L' ';
    arguments += *arguments == L'"' ? 1 : 0;
    while (*arguments != L'\0' && *arguments != end) {
        ++arguments;
    }
    arguments += *arguments == L'"' ? 1 : 0;
    while (*arguments == L' ' || *arguments == L'\t') {
        ++arguments;
    }
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC;
    start.lpVerb = L"runas";
    start.lpFile = program.c_str();
    start.lpParameters = arguments;
    start.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&start) != FALSE;
}

}  // namespace velmora
