#include "platform/win32/win32_management_service.h"

#include <windows.h>
#include <objbase.h>
#include <wbemcli.h>

#include <optional>

#include "platform/win32/com_ref.h"
#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

// What the query calls of COM and of its automation library, each resolved from its DLL.
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

std::optional<ComFunctions> resolve(SystemLibrary& com, SystemLibrary& automation) {
    const ComFunctions functions{
        com.function<decltype(CoInitializeEx)>("CoInitializeEx"),
        com.function<decltype(CoUninitialize)>("CoUninitialize"),
        com.function<decltype(CoCreateInstance)>("CoCreateInstance"),
        com.function<decltype(CoSetProxyBlanket)>("CoSetProxyBlanket"),
        automation.function<decltype(SysAllocString)>("SysAllocString"),
        automation.function<decltype(SysFreeString)>("SysFreeString"),
        automation.function<decltype(SysStringLen)>("SysStringLen"),
        automation.function<decltype(VariantClear)>("VariantClear"),
    };
    const bool complete = functions.initialise && functions.uninitialise && functions.createInstance &&
                          functions.setProxyBlanket && functions.allocString && functions.freeString &&
                          functions.stringLength && functions.clearVariant;
    return complete ? std::optional<ComFunctions>(functions) : std::nullopt;
}

// COM for this thread for as long as the query runs, undone only when this call did it.
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

}  // namespace

std::vector<std::string> Win32ManagementService::processorIds() {
    std::vector<std::string> ids;
    const std::optional<ComFunctions> com = resolve(com_, automation_);
    if (!com) {
        return ids;
    }
    const ComScope scope(*com);

    ComRef<IWbemLocator> locator;
    if (FAILED(com->createInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                   reinterpret_cast<void**>(locator.put())))) {
        return ids;
    }
    const Bstr space(*com, L"ROOT\\CIMV2");
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put()))) {
        return ids;
    }
    // The provider answers only a caller it may impersonate; should the blanket not take, the
    // query fails on its own.
    (void)com->setProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

    const Bstr language(*com, L"WQL");
    const Bstr query(*com, L"Select * from Win32_Processor");
    ComRef<IEnumWbemClassObject> processors;
    if (FAILED(services->ExecQuery(language.get(), query.get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY,
                                   nullptr, processors.put()))) {
        return ids;
    }
    for (;;) {
        ComRef<IWbemClassObject> processor;
        ULONG returned = 0;
        if (processors->Next(static_cast<long>(WBEM_INFINITE), 1, processor.put(), &returned) != WBEM_S_NO_ERROR ||
            returned == 0) {
            break;
        }
        Variant id(*com);
        // A processor without an identifier (VT_NULL) leaves the last one read in place.
        if (SUCCEEDED(processor->Get(L"ProcessorId", 0, id.get(), nullptr, nullptr)) && V_VT(id.get()) == VT_BSTR) {
            const BSTR text = V_BSTR(id.get());
            ids.push_back(text == nullptr ? std::string() : narrow(std::wstring(text, com->stringLength(text))));
        }
    }
    return ids;
}

}  // namespace velmora
