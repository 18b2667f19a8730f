#include "tests/e2e/session_end_reasons.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

namespace velmora::testing {

namespace {

// The window's own thread registers, the test's thread looks.
std::mutex recordMutex;
std::map<HWND, std::wstring> record;
int createCount = 0;

BOOL WINAPI recordCreate(HWND window, LPCWSTR reason) {
    if (!IsWindow(window) || reason == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(recordMutex);
    record[window] = reason;
    ++createCount;
    return TRUE;
}

BOOL WINAPI recordDestroy(HWND window) {
    std::lock_guard<std::mutex> lock(recordMutex);
    if (record.erase(window) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

SessionEndReasons::SessionEndReasons()
    : create_(redirect("ShutdownBlockReasonCreate", reinterpret_cast<const void*>(&recordCreate))),
      destroy_(redirect("ShutdownBlockReasonDestroy", reinterpret_cast<const void*>(&recordDestroy))) {
    std::lock_guard<std::mutex> lock(recordMutex);
    record.clear();
    createCount = 0;
}

SessionEndReasons::~SessionEndReasons() {
    undo(destroy_);
    undo(create_);
}

std::optional<std::wstring> SessionEndReasons::reason(HWND window) const {
    std::lock_guard<std::mutex> lock(recordMutex);
    const auto found = record.find(window);
    return found != record.end() ? std::optional<std::wstring>(found->second) : std::nullopt;
}

int SessionEndReasons::creates() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return createCount;
}

SessionEndReasons::Redirect SessionEndReasons::redirect(const char* name, const void* replacement) {
    auto* at = reinterpret_cast<unsigned char*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
    if (at == nullptr) {
        throw std::runtime_error(std::string("user32 has no ") + name);
    }
    Redirect done{at, {}};
    std::memcpy(done.saved.data(), at, done.saved.size());
    // A relative jump: E9 and the distance from the end of the jump.
    std::array<unsigned char, 5> jump{0xE9};
    const auto distance = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(replacement) -
                                                    reinterpret_cast<std::uintptr_t>(at + jump.size()));
    std::memcpy(jump.data() + 1, &distance, sizeof(distance));
    DWORD previous = 0;
    if (!VirtualProtect(at, jump.size(), PAGE_EXECUTE_READWRITE, &previous)) {
        throw std::runtime_error(std::string("cannot redirect ") + name);
    }
    std::memcpy(at, jump.data(), jump.size());
    (void)VirtualProtect(at, jump.size(), previous, &previous);
    (void)FlushInstructionCache(GetCurrentProcess(), at, jump.size());
    return done;
}

void SessionEndReasons::undo(const Redirect& redirect) {
    DWORD previous = 0;
    if (VirtualProtect(redirect.at, redirect.saved.size(), PAGE_EXECUTE_READWRITE, &previous)) {
        std::memcpy(redirect.at, redirect.saved.data(), redirect.saved.size());
        (void)VirtualProtect(redirect.at, redirect.saved.size(), previous, &previous);
        (void)FlushInstructionCache(GetCurrentProcess(), redirect.at, redirect.saved.size());
    }
}

}  // namespace velmora::testing
