#include "platform/win32/desktop_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "platform/win32/com_functions.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

bool runsElevatedAboveItsUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    const UniqueHandle held(token);
    // Windows before Vista knows no such class and fails the call.
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) &&
           type == TokenElevationTypeFull;
}

bool startThroughDesktopShell(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
    SystemLibrary comLibrary(L"ole32.dll");
    SystemLibrary automation(L"oleaut32.dll");
    const std::optional<ComFunctions> com = resolveCom(comLibrary, automation);
    if (!com) {
        return false;
    }
    const ComScope scope(*com);

    // The desktop's window among the shell's windows, its browser, the view of its folder, and
    // that view's automation object, whose shell starts programs in the shell's own process.
    ComRef<IShellWindows> windows;
    if (FAILED(com->createInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   reinterpret_cast<void**>(windows.put())))) {
        return false;
    }
    Variant desktop(*com);
    V_VT(desktop.get()) = VT_I4;
    V_I4(desktop.get()) = CSIDL_DESKTOP;
    Variant none(*com);
    long window = 0;
    ComRef<IDispatch> found;
    if (windows->FindWindowSW(desktop.get(), none.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.put()) != S_OK ||
        found.get() == nullptr) {
        return false;
    }
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    ComRef<IShellDispatch2> shell;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.put()))) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(browser.put()))) ||
        FAILED(browser->QueryActiveShellView(view.put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.put()))) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(folderView.put()))) ||
        FAILED(folderView->get_Application(application.put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell.put())))) {
        return false;
    }
    const Bstr file(*com, program.c_str());
    Variant parameters(*com);
    V_VT(parameters.get()) = VT_BSTR;
    V_BSTR(parameters.get()) = com->allocString(arguments.c_str());
    Variant directory(*com);
    V_VT(directory.get()) = VT_BSTR;
    V_BSTR(directory.get()) = com->allocString(folder.c_str());
    Variant verb(*com);
    V_VT(verb.get()) = VT_BSTR;
    V_BSTR(verb.get()) = com->allocString(L"open");
    Variant show(*com);
    V_VT(show.get()) = VT_I4;
    V_I4(show.get()) = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.get(), *parameters.get(), *directory.get(), *verb.get(), *show.get()));
}

}  // namespace velmora
