// COM (ole32) and its automation library (oleaut32) loaded from the system folder when first
// asked, the few functions the program calls of them, and holders that undo each on every way out.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <optional>

#include "platform/win32/system_library.h"

namespace velmora {

struct ComFunctions {
    decltype(CoInitializeEx)* initialise;
    decltype(CoUninitialize)* uninitialise;
    decltype(CoCreateInstance)* createInstance;
    decltype(CoSetProxyBlanket)* setProxyBlanket;
    decltype(SysAllocString)* allocString;
    decltype(SysFreeString)* freeString;
    decltype(SysStringLen)* stringLength;
    decltype(VariantClear)* clearVariant;
};

// All of them, or nothing when a library or a function cannot be had.
std::optional<ComFunctions> resolveCom(SystemLibrary& com, SystemLibrary& automation);

// COM for this thread for as long as the holder lives, undone only when this holder did it.
class ComScope {
public:
    explicit ComScope(const ComFunctions& com)
        : com_(com), initialised_(SUCCEEDED(com.initialise(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) {
            com_.uninitialise();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    const ComFunctions& com_;
    bool initialised_;
};

// A BSTR freed on every way out.
class Bstr {
public:
    Bstr(const ComFunctions& com, const wchar_t* text) : com_(com), text_(com.allocString(text)) {}
    ~Bstr() { com_.freeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }

private:
    const ComFunctions& com_;
    BSTR text_;
};

// A VARIANT cleared on every way out.
class Variant {
public:
    explicit Variant(const ComFunctions& com) : com_(com) {}
    ~Variant() { (void)com_.clearVariant(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &value_; }

private:
    const ComFunctions& com_;
    VARIANT value_{};  // VT_EMPTY, as VariantInit leaves it
};

}  // namespace velmora
