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

BOOL WINAPI recordCreate(HWND window, LPCWSTR reason) {
    std::lock_guard<std::mutex> lock(recordMutex);
    record[window] = reason;
    return TRUE;
}

BOOL WINAPI recordDestroy(HWND window) {
    std::lock_guard<std::mutex> lock(recordMutex);
    return record.erase(window) != 0 ? TRUE : FALSE;
}

}  // namespace

SessionEndReasons::SessionEndReasons()
    : create_(redirect("ShutdownBlockReasonCreate", reinterpret_cast<const void*>(&recordCreate))),
      destroy_(redirect("ShutdownBlockReasonDestroy", reinterpret_cast<const void*>(&recordDestroy))) {
    std::lock_guard<std::mutex> lock(recordMutex);
    record.clear();
}

SessionEndReasons::~SessionEndReasons() {
    write(destroy_.at, destroy_.saved);
    write(create_.at, create_.saved);
}

std::optional<std::wstring> SessionEndReasons::reason(HWND window) const {
    std::lock_guard<std::mutex> lock(recordMutex);
    const auto found = record.find(window);
    return found != record.end() ? std::optional<std::wstring>(found->second) : std::nullopt;
}

SessionEndReasons::Redirect SessionEndReasons::redirect(const char* name, const void* replacement) {
    auto* at = reinterpret_cast<unsigned char*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
    if (at == nullptr) {
        throw std::runtime_error(std::string("user32 has no ") + name);
    }
    Redirect done{at, {}};
    std::memcpy(done.saved.data(), at, done.saved.size());
    // A relative jump: E9 and the distance from the jump's end.
    std::array<unsigned char, 5> jump{0xE9};
    const auto distance = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(replacement) -
                                                    reinterpret_cast<std::uintptr_t>(at + jump.size()));
    std::memcpy(jump.data() + 1, &distance, sizeof(distance));
    write(at, jump);
    return done;
}

void SessionEndReasons::write(unsigned char* at, const std::array<unsigned char, 5>& bytes) {
    DWORD previous = 0;
    (void)VirtualProtect(at, bytes.size(), PAGE_EXECUTE_READWRITE, &previous);
    std::memcpy(at, bytes.data(), bytes.size());
    (void)VirtualProtect(at, bytes.size(), previous, &previous);
    (void)FlushInstructionCache(GetCurrentProcess(), at, bytes.size());
}

}  // namespace velmora::testing
