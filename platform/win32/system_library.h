// The system DLLs that a default start does not use, each loaded from the system folder by its
// full path when one of its functions is first asked for; and the DLL search without the
// current folder.
#pragma once

#include <string>

namespace velmora {

class SystemLibrary {
public:
    // fileName: the DLL's name in the system folder, such as L"iphlpapi.dll". Loads nothing yet.
    explicit SystemLibrary(const wchar_t* fileName) : fileName_(fileName) {}
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The named function, the library loaded at the first call; null when the library cannot
    // be loaded (then it is not tried again) or does not export the function.
    template <typename Function>
    Function* function(const char* name) {
        return reinterpret_cast<Function*>(address(name));
    }

private:
    // The generic function pointer type, which converts to any other without a warning.
    using Address = void (*)();
    Address address(const char* name);

    std::wstring fileName_;
    void* module_ = nullptr;
    bool loadTried_ = false;
};

// Narrows the DLL search of whatever the program or the system's libraries load later by bare
// name: to the system folder where the system allows it (Windows 8, and Vista and 7 updated),
// and without the current folder, wherever the user started the program from, where the system
// allows that (Windows XP with Service Pack 1 and later). First thing at start.
void restrictDllSearchToSystemFolder();

}  // namespace velmora
