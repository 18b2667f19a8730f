#include "platform/win32/com_functions.h"

namespace velmora {

std::optional<ComFunctions> resolveCom(SystemLibrary& com, SystemLibrary& automation) {
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

}  // namespace velmora
