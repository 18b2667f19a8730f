// velmora-msi.dll: the custom actions of velmora.msi that Windows Installer's own tables cannot
// express: the install folder's rights, the service's time at Windows' end, the registry switch set
// and given back as the computer had it, and the administrator's profile stored in a key that only
// administrators can read, every user's start at logon removed. Each runs deferred, as SYSTEM.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <taskschd.h>

#include <string>
#include <vector>

#include "core/settings/administrator_profile.h"
#include "core/system/logon_start.h"
#include "installer/install_folder.h"
#include "service/service_registration.h"

namespace {

constexpr const wchar_t* kRasManKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
constexpr const wchar_t* kSwitch = L"ProhibitIpsec";
// What the computer had before the first installation: SwitchRecorded 1 once recorded,
// SwitchKeyCreated 1 when the key was missing, and a copy of the value, type and data, when there
// was one; SwitchSetAt, the system time when an installation changed the switch. A major upgrade keeps it, so that the last uninstall gives back the first state.
constexpr const wchar_t* kRecordKey = L"Software\\Velmora\\Setup";
constexpr const wchar_t* kProfileKey = L"Software\\Velmora\\VPN";
constexpr DWORD kValueBytes = 4096;

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The value as stored; nothing when the key or the value is absent or cannot be read.
bool readValue(const wchar_t* subkey, const wchar_t* name, Value& value) {
    Key key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    value.data.resize(kValueBytes);
    DWORD size = kValueBytes;
    if (RegQueryValueExW(key.get(), name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    value.data.resize(size);
    return true;
}

bool keyExists(const wchar_t* subkey) {
    Key key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

bool writeValue(const wchar_t* subkey, const wchar_t* name, const Value& value,
                SECURITY_ATTRIBUTES* security = nullptr) {
    Key key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, security, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExW(key.get(), name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size())) ==
           ERROR_SUCCESS;
}

Value dword(DWORD number) {
    Value value{REG_DWORD, std::vector<BYTE>(sizeof number)};
    CopyMemory(value.data.data(), &number, sizeof number);
    return value;
}

Value text(const std::wstring& string) {
    const auto* bytes = reinterpret_cast<const BYTE*>(string.c_str());
    return Value{REG_SZ, std::vector<BYTE>(bytes, bytes + (string.size() + 1) * sizeof(wchar_t))};
}

bool isOne(const Value& value) {
    DWORD number = 0;
    if (value.type != REG_DWORD || value.data.size() != sizeof number) {
        return false;
    }
    CopyMemory(&number, value.data.data(), sizeof number);
    return number == 1;
}

void deleteValue(const wchar_t* subkey, const wchar_t* name) {
    Key key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
        RegDeleteValueW(key.get(), name);
    }
}

// Deletes the key when nothing is left in it.
void deleteEmptyKey(const wchar_t* subkey) {
    DWORD subkeys = 1;
    DWORD values = 1;
    {
        Key key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
            RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
    }
    if (subkeys == 0 && values == 0) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, subkey);
    }
}

// What a deferred action was given when it was scheduled.
std::wstring actionData(MSIHANDLE install) {
    DWORD size = 0;
    wchar_t none[1] = {};
    if (MsiGetPropertyW(install, L"CustomActionData", none, &size) != ERROR_MORE_DATA) {
        return {};
    }
    std::wstring data(size + 1, L'\0');
    size = static_cast<DWORD>(data.size());
    if (MsiGetPropertyW(install, L"CustomActionData", data.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    data.resize(size);
    return data;
}

// Full control for the administrators and the system, nothing for anyone else, passed on to the
// keys below.
class AdministratorsOnly {
public:
    AdministratorsOnly() {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                      &administrators_) ||
            !AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system_)) {
            return;
        }
        const DWORD size = sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(administrators_) +
                           GetLengthSid(system_);
        acl_.resize(size);
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        ready_ = InitializeAcl(acl, size, ACL_REVISION) &&
                 AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, KEY_ALL_ACCESS, administrators_) &&
                 AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, KEY_ALL_ACCESS, system_) &&
                 InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
                 SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    AdministratorsOnly(const AdministratorsOnly&) = delete;
    AdministratorsOnly& operator=(const AdministratorsOnly&) = delete;
    ~AdministratorsOnly() {
        if (administrators_ != nullptr) {
            FreeSid(administrators_);
        }
        if (system_ != nullptr) {
            FreeSid(system_);
        }
    }

    bool ready() const { return ready_; }
    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }
    // Puts the descriptor on a key that existed before, when an earlier version made it.
    bool apply(HKEY key) { return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor_) == ERROR_SUCCESS; }

private:
    PSID administrators_ = nullptr;
    PSID system_ = nullptr;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ready_ = false;
};

// The names of the key's subkeys.
std::vector<std::wstring> subkeys(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name, length);
    }
}

std::wstring wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

// The task of every user with a profile or a loaded hive in the program's task folder, then the
// folder (Windows Vista on; before Vista there is no such scheduler and nothing to do).
void removeLogonTasks() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return;
    }
    std::vector<std::wstring> users = subkeys(HKEY_USERS);
    Key profiles;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY, profiles.put()) == ERROR_SUCCESS) {
        const std::vector<std::wstring> more = subkeys(profiles.get());
        users.insert(users.end(), more.begin(), more.end());
    }
    ITaskService* service = nullptr;
    ITaskFolder* root = nullptr;
    const VARIANT none{};
    BSTR rootPath = SysAllocString(L"\\");
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   reinterpret_cast<void**>(&service))) &&
        SUCCEEDED(service->Connect(none, none, none, none)) && SUCCEEDED(service->GetFolder(rootPath, &root))) {
        const std::wstring folder = wide(velmora::kLogonTaskFolder);
        for (const std::wstring& user : users) {
            BSTR task = SysAllocString((folder + L"\\" + user).c_str());
            root->DeleteTask(task, 0);
            SysFreeString(task);
        }
        // Refused while anything else is left in it.
        BSTR folderPath = SysAllocString(folder.c_str());
        root->DeleteFolder(folderPath, 0);
        SysFreeString(folderPath);
        root->Release();
    }
    if (service != nullptr) {
        service->Release();
    }
    SysFreeString(rootPath);
    CoUninitialize();
}

// The program's Run value in every user's hive that is loaded (the uninstalling user's among
// them), where it still starts this program in the tray; another program's value of the name stays.
void removeRunValues() {
    const std::wstring runKey = wide(velmora::kRunKey);
    const std::wstring valueName = wide(velmora::kRunValueName);
    const std::wstring ours = L"\\velmora.exe\" /minimized";
    for (const std::wstring& user : subkeys(HKEY_USERS)) {
        Key key;
        if (RegOpenKeyExW(HKEY_USERS, (user + L"\\" + runKey).c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          key.put()) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t command[1024] = {};
        DWORD size = sizeof command - sizeof(wchar_t);
        DWORD type = REG_NONE;
        if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(command), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            continue;
        }
        const std::wstring text(command);
        if (text.size() >= ours.size() && lstrcmpiW(text.c_str() + text.size() - ours.size(), ours.c_str()) == 0) {
            RegDeleteValueW(key.get(), valueName.c_str());
        }
    }
}

}  // namespace

// Gives the install folder, which the action data names, the rights that keep what runs as the
// system out of other users' reach, before any file is copied into it (installer/install_folder.h).
extern "C" __declspec(dllexport) UINT __stdcall SecureInstallFolder(MSIHANDLE install) {
    return velmora::secureInstallFolder(actionData(install)) == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// Gives the service the package has just installed its time at Windows' end (Vista on), as
// velmora-service.exe /register does.
extern "C" __declspec(dllexport) UINT __stdcall SetServicePreShutdown(MSIHANDLE) {
    const velmora::ServiceRegistration registration;
    DWORD result = ERROR_SUCCESS;
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        manager != nullptr ? OpenServiceW(manager, registration.name.c_str(), SERVICE_CHANGE_CONFIG) : nullptr;
    if (service != nullptr) {
        result = velmora::setPreShutdownTime(service, registration.preShutdownMs);
        CloseServiceHandle(service);
    } else {
        result = GetLastError();
    }
    if (manager != nullptr) {
        CloseServiceHandle(manager);
    }
    return result == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// Records what the computer has, unless an earlier installation did, then sets the switch to the
// number 1, creating the key when it is missing. The restart it needs is scheduled by the
// package's own condition, which reads the switch before this runs.
extern "C" __declspec(dllexport) UINT __stdcall SetL2tpSwitch(MSIHANDLE) {
    Value recorded;
    if (!readValue(kRecordKey, L"SwitchRecorded", recorded) || !isOne(recorded)) {
        Value found;
        if (!keyExists(kRasManKey)) {
            if (!writeValue(kRecordKey, L"SwitchKeyCreated", dword(1))) {
                return ERROR_INSTALL_FAILURE;
            }
        } else if (readValue(kRasManKey, kSwitch, found) && !writeValue(kRecordKey, kSwitch, found)) {
            return ERROR_INSTALL_FAILURE;
        }
        if (!writeValue(kRecordKey, L"SwitchRecorded", dword(1))) {
            return ERROR_INSTALL_FAILURE;
        }
    }
    Value now;
    if (readValue(kRasManKey, kSwitch, now) && isOne(now)) {
        return ERROR_SUCCESS;
    }
    if (!writeValue(kRasManKey, kSwitch, dword(1))) {
        return ERROR_INSTALL_FAILURE;
    }
    // When, so that the program can remind the user until Windows has restarted.
    FILETIME changed{};
    GetSystemTimeAsFileTime(&changed);
    const unsigned long long at = (static_cast<unsigned long long>(changed.dwHighDateTime) << 32) | changed.dwLowDateTime;
    writeValue(kRecordKey, L"SwitchSetAt", text(std::to_wstring(at)));
    return ERROR_SUCCESS;
}

// Puts back what was recorded: the value as it was, or no value, or no key; then forgets the
// record. Nothing recorded, nothing changed. A failure here does not hold up the uninstall.
extern "C" __declspec(dllexport) UINT __stdcall RestoreL2tpSwitch(MSIHANDLE) {
    Value recorded;
    if (!readValue(kRecordKey, L"SwitchRecorded", recorded) || !isOne(recorded)) {
        return ERROR_SUCCESS;
    }
    Value before;
    if (readValue(kRecordKey, kSwitch, before)) {
        writeValue(kRasManKey, kSwitch, before);
    } else {
        deleteValue(kRasManKey, kSwitch);
    }
    Value created;
    if (readValue(kRecordKey, L"SwitchKeyCreated", created) && isOne(created)) {
        deleteEmptyKey(kRasManKey);
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecordKey);
    deleteEmptyKey(L"Software\\Velmora");
    return ERROR_SUCCESS;
}

// Stores the administrator's profile: the action data holds one "NAME=value" line per property the
// package was given (a value holds no line break: each field is one line). Only administrators may
// read the key, as it holds the preshared key; values given earlier stay unless given again.
extern "C" __declspec(dllexport) UINT __stdcall WriteAdministratorProfile(MSIHANDLE install) {
    const std::wstring data = actionData(install);
    AdministratorsOnly security;
    if (!security.ready()) {
        return ERROR_INSTALL_FAILURE;
    }
    Key key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProfileKey, 0, nullptr, 0, KEY_SET_VALUE | WRITE_DAC,
                        security.attributes(), key.put(), nullptr) != ERROR_SUCCESS ||
        !security.apply(key.get())) {
        return ERROR_INSTALL_FAILURE;
    }
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = data.size();
        }
        const std::wstring line = data.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos || equals + 1 == line.size()) {
            continue;
        }
        const Value value = text(line.substr(equals + 1));
        if (RegSetValueExW(key.get(), line.substr(0, equals).c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
            return ERROR_INSTALL_FAILURE;
        }
    }
    return ERROR_SUCCESS;
}

// Takes each setting of an earlier installation's profile that the command line or a transform
// does not give anew, so that an upgrade keeps the profile whether or not Windows Installer
// tells the older version's uninstall that it is part of the upgrade. Runs before anything is
// removed; a profile that cannot be read is simply not kept.
extern "C" __declspec(dllexport) UINT __stdcall KeepAdministratorProfile(MSIHANDLE install) {
    for (const char* setting : velmora::kAdministratorSettings) {
        const std::wstring name(setting, setting + std::char_traits<char>::length(setting));
        wchar_t given[2] = {};
        DWORD size = 2;
        const UINT read = MsiGetPropertyW(install, name.c_str(), given, &size);
        if (read == ERROR_MORE_DATA || (read == ERROR_SUCCESS && size > 0)) {
            continue;
        }
        Value kept;
        if (readValue(kProfileKey, name.c_str(), kept) && kept.type == REG_SZ &&
            kept.data.size() >= sizeof(wchar_t)) {
            const std::wstring text(reinterpret_cast<const wchar_t*>(kept.data.data()),
                                    kept.data.size() / sizeof(wchar_t));
            MsiSetPropertyW(install, name.c_str(), text.c_str());
        }
    }
    return ERROR_SUCCESS;
}

// The administrator's profile goes with the last uninstall; a user's settings file keeps what it
// took from it.
extern "C" __declspec(dllexport) UINT __stdcall RemoveAdministratorProfile(MSIHANDLE) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProfileKey);
    deleteEmptyKey(L"Software\\Velmora");
    return ERROR_SUCCESS;
}

// Every user's start at logon goes with the last uninstall: the logon tasks and the Run values that
// start the program. A user whose hive is not loaded keeps a Run value that starts nothing; the task
// of a user whose profile is gone stays, and with it the folder.
extern "C" __declspec(dllexport) UINT __stdcall RemoveLogonStarts(MSIHANDLE) {
    removeLogonTasks();
    removeRunValues();
    return ERROR_SUCCESS;
}
