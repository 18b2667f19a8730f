#include "platform/win32/win32_management_service.h"

#include <windows.h>
#include <wbemcli.h>

#include "platform/win32/com_functions.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/text_codec.h"

namespace velmora {

std::vector<std::string> Win32ManagementService::processorIds() {
    std::vector<std::string> ids;
    const std::optional<ComFunctions> com = resolveCom(com_, automation_);
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
