#include "ui/win32/script_channel.h"

#include <cstdint>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "ui/win32/window_names.h"

namespace velmora {

namespace {

// A dial that nobody stops is never cut short, but a script must not wait forever on a
// program that stopped answering.
constexpr UINT kCommandWaitMilliseconds = 30 * 60 * 1000;

BOOL CALLBACK collectMainWindows(HWND window, LPARAM context) {
    wchar_t name[64] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() && GetClassNameW(window, name, 64) > 0 &&
        lstrcmpW(name, kMainWindowClass) == 0) {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    }
    return TRUE;
}

bool instanceRunning() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName);
    if (mutex != nullptr) {
        (void)CloseHandle(mutex);
        return true;
    }
    // An elevated program's mutex exists even where the caller may not open it.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

// A window of this process for the receiver to know the sender by; never shown.
class SenderWindow {
public:
    SenderWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                  nullptr)) {}
    ~SenderWindow() {
        if (window_ != nullptr) {
            (void)DestroyWindow(window_);
        }
    }
    SenderWindow(const SenderWindow&) = delete;
    SenderWindow& operator=(const SenderWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

// The user's SID of a process's token, as bytes; empty when it cannot be read.
std::vector<unsigned char> userOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return {};
    }
    const UniqueHandle owned(token);
    DWORD size = 0;
    (void)GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return {bytes, bytes + GetLengthSid(sid)};
}

bool sameUserAndSession(DWORD otherProcess) {
    DWORD ownSession = 0;
    DWORD otherSession = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession) ||
        !ProcessIdToSessionId(otherProcess, &otherSession) || ownSession != otherSession) {
        return false;
    }
    const UniqueHandle other(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, otherProcess));
    if (other.get() == nullptr) {
        return false;
    }
    const std::vector<unsigned char> theirs = userOf(other.get());
    return !theirs.empty() && theirs == userOf(GetCurrentProcess());
}

}  // namespace

std::optional<int> handToRunningProgram(ScriptVerb verb) {
    if (!instanceRunning()) {
        return std::nullopt;
    }
    std::vector<HWND> windows;
    (void)EnumWindows(collectMainWindows, reinterpret_cast<LPARAM>(&windows));
    const SenderWindow sender;
    std::int32_t code = static_cast<std::int32_t>(verb);
    COPYDATASTRUCT data{kScriptCommandMark, sizeof code, &code};
    for (HWND window : windows) {
        if (verb == ScriptVerb::none) {
            // The user started this process: the running one may take the foreground in its place.
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            (void)AllowSetForegroundWindow(process);
        }
        DWORD_PTR reply = 0;
        // The reply is the exit code plus one: a window that takes no command answers 0.
        if (SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(sender.get()),
                                reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kCommandWaitMilliseconds,
                                &reply) != 0 &&
            reply != 0) {
            return static_cast<int>(reply - 1);
        }
    }
    return script_exit::notTaken;
}

std::optional<ScriptVerb> acceptedScriptVerb(HWND sender, const COPYDATASTRUCT& data) {
    std::int32_t code = 0;
    if (data.dwData != kScriptCommandMark || data.cbData != sizeof code || data.lpData == nullptr) {
        return std::nullopt;
    }
    CopyMemory(&code, data.lpData, sizeof code);
    const auto verb = static_cast<ScriptVerb>(code);
    if (code < 0 || code > static_cast<std::int32_t>(ScriptVerb::unknown) || !handedToRunningProgram(verb)) {
        return std::nullopt;
    }
    DWORD process = 0;
    if (sender == nullptr || GetWindowThreadProcessId(sender, &process) == 0 || !sameUserAndSession(process)) {
        return std::nullopt;
    }
    return verb;
}

}  // namespace velmora
