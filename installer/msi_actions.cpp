// velmora-msi.dll: the custom actions of velmora.msi that Windows Installer's own tables cannot
// express: the install folder's rights, the service's time at Windows' end, the registry switch set
// and given back as the computer had it, and the administrator's profile stored in a key that only
// administrators can read, every user's start at logon removed. Each failing call is told in the
// installer's log with its Windows error, never with a value.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <taskschd.h>

#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "core/settings/administrator_profile.h"
#include "core/system/logon_start.h"
#include "installer/install_folder.h"
#include "platform/win32/text_codec.h"
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

// Tells the installer's log which call failed and the Windows error it gave, so that a failed
// installation says why; never a value, which may be the preshared key.
bool succeeded(MSIHANDLE install, const wchar_t* call, LONG result) {
    if (result == ERROR_SUCCESS) {
        return true;
    }
    const MSIHANDLE record = MsiCreateRecord(2);
    MsiRecordSetStringW(record, 0, L"Velmora VPN: [1] failed with Windows error [2].");
    MsiRecordSetStringW(record, 1, call);
    MsiRecordSetInteger(record, 2, static_cast<int>(result));
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
    return false;
}

bool writeValue(MSIHANDLE install, const wchar_t* subkey, const wchar_t* name, const Value& value) {
    Key key;
    return succeeded(install, L"RegCreateKeyExW",
                     RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                     nullptr)) &&
           succeeded(install, L"RegSetValueExW",
                     RegSetValueExW(key.get(), name, 0, value.type, value.data.data(),
                                    static_cast<DWORD>(value.data.size())));
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

// A property's value; empty when it has none.
std::wstring property(MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t none[1] = {};
    if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) {
        return {};
    }
    std::wstring value(size + 1, L'\0');
    size = static_cast<DWORD>(value.size());
    if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    value.resize(size);
    return value;
}

// What a deferred action was given when it was scheduled.
std::wstring actionData(MSIHANDLE install) {
    return property(install, L"CustomActionData");
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

// The administrator's profile as an installation hands it over: one "NAME=value" line per setting,
// in the order of the settings, the value as the property holds it. A value of "-" clears the
// setting; an empty one leaves it as it is.
constexpr const wchar_t* kClearSetting = L"-";

// The profile as it was before this installation, for its rollback: "1" when the key existed, "0"
// when it did not, then one "NAME=value" line per value it held.
std::wstring profileBefore() {
    std::wstring before = keyExists(kProfileKey) ? L"1" : L"0";
    for (const char* setting : velmora::kAdministratorSettings) {
        const std::wstring name = wide(setting);
        Value kept;
        if (readValue(kProfileKey, name.c_str(), kept) && kept.type == REG_SZ && kept.data.size() >= sizeof(wchar_t)) {
            before += L"\n" + name + L"=" + std::wstring(reinterpret_cast<const wchar_t*>(kept.data.data()));
        }
    }
    return before;
}

// The lines of an action's data.
std::vector<std::wstring> lines(const std::wstring& data) {
    std::vector<std::wstring> found;
    for (std::size_t start = 0; start <= data.size();) {
        std::size_t end = data.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = data.size();
        }
        found.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return found;
}

// The administrators-only profile key, created when missing, given its rights also when an earlier
// version made it.
bool openProfileKey(MSIHANDLE install, Key& key) {
    AdministratorsOnly security;
    if (!security.ready()) {
        return succeeded(install, L"building the profile key's security descriptor", static_cast<LONG>(GetLastError()));
    }
    return succeeded(install, L"RegCreateKeyExW",
                     RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProfileKey, 0, nullptr, 0, KEY_SET_VALUE | WRITE_DAC,
                                     security.attributes(), key.put(), nullptr)) &&
           succeeded(install, L"RegSetKeySecurity",
                     RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION,
                                       security.attributes()->lpSecurityDescriptor));
}

}  // namespace

// Gives the install folder, which the action data names, the rights that keep what runs as the
// system out of other users' reach, before any file is copied into it (installer/install_folder.h).
extern "C" __declspec(dllexport) UINT __stdcall SecureInstallFolder(MSIHANDLE install) {
    return succeeded(install, L"securing the install folder",
                     static_cast<LONG>(velmora::secureInstallFolder(actionData(install))))
               ? ERROR_SUCCESS
               : ERROR_INSTALL_FAILURE;
}

// Gives the service the package has just installed its time at Windows' end (Vista on), as
// velmora-service.exe /register does.
extern "C" __declspec(dllexport) UINT __stdcall SetServicePreShutdown(MSIHANDLE install) {
    const velmora::ServiceRegistration registration;
    bool done = false;
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!succeeded(install, L"OpenSCManagerW",
                   manager != nullptr ? ERROR_SUCCESS : static_cast<LONG>(GetLastError()))) {
        return ERROR_INSTALL_FAILURE;
    }
    const SC_HANDLE service = OpenServiceW(manager, registration.name.c_str(), SERVICE_CHANGE_CONFIG);
    if (succeeded(install, L"OpenServiceW", service != nullptr ? ERROR_SUCCESS : static_cast<LONG>(GetLastError()))) {
        done = succeeded(install, L"ChangeServiceConfig2W",
                         static_cast<LONG>(velmora::setPreShutdownTime(service, registration.preShutdownMs)));
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return done ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// Records what the computer has, unless an earlier installation did, then sets the switch to the
// number 1, creating the key when it is missing. The restart it needs is scheduled by the
// package's own condition, which reads the switch before this runs.
extern "C" __declspec(dllexport) UINT __stdcall SetL2tpSwitch(MSIHANDLE install) {
    Value recorded;
    if (!readValue(kRecordKey, L"SwitchRecorded", recorded) || !isOne(recorded)) {
        Value found;
        if (!keyExists(kRasManKey)) {
            if (!writeValue(install, kRecordKey, L"SwitchKeyCreated", dword(1))) {
                return ERROR_INSTALL_FAILURE;
            }
        } else if (readValue(kRasManKey, kSwitch, found) && !writeValue(install, kRecordKey, kSwitch, found)) {
            return ERROR_INSTALL_FAILURE;
        }
        if (!writeValue(install, kRecordKey, L"SwitchRecorded", dword(1))) {
            return ERROR_INSTALL_FAILURE;
        }
    }
    Value now;
    if (readValue(kRasManKey, kSwitch, now) && isOne(now)) {
        return ERROR_SUCCESS;
    }
    if (!writeValue(install, kRasManKey, kSwitch, dword(1))) {
        return ERROR_INSTALL_FAILURE;
    }
    // When, so that the program can remind the user until Windows has restarted.
    FILETIME changed{};
    GetSystemTimeAsFileTime(&changed);
    const unsigned long long at = (static_cast<unsigned long long>(changed.dwHighDateTime) << 32) | changed.dwLowDateTime;
    writeValue(install, kRecordKey, L"SwitchSetAt", text(std::to_wstring(at)));
    return ERROR_SUCCESS;
}

// Puts back what was recorded: the value as it was, or no value, or no key; then forgets the
// record. Nothing recorded, nothing changed. A failure here does not hold up the uninstall.
extern "C" __declspec(dllexport) UINT __stdcall RestoreL2tpSwitch(MSIHANDLE install) {
    Value recorded;
    if (!readValue(kRecordKey, L"SwitchRecorded", recorded) || !isOne(recorded)) {
        return ERROR_SUCCESS;
    }
    Value before;
    if (readValue(kRecordKey, kSwitch, before)) {
        writeValue(install, kRasManKey, kSwitch, before);
    } else {
        deleteValue(kRasManKey, kSwitch);
    }
    Value created;
    if (readValue(kRecordKey, L"SwitchKeyCreated", created) && isOne(created)) {
        deleteEmptyKey(kRasManKey);
    }
    succeeded(install, L"RegDeleteKeyW", RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecordKey));
    deleteEmptyKey(L"Software\\Velmora");
    return ERROR_SUCCESS;
}

// Refuses an installation whose profile the program could not use, before anything changes: a
// value holding a line break, or one the program's own checks refuse, fails it with a message that
// names the property. Empty properties and "-" are not values.
extern "C" __declspec(dllexport) UINT __stdcall CheckAdministratorProfile(MSIHANDLE install) {
    velmora::AdministratorSettings given;
    std::wstring refused;
    for (const char* setting : velmora::kAdministratorSettings) {
        const std::wstring name = wide(setting);
        const std::wstring value = property(install, name.c_str());
        if (value.empty() || value == kClearSetting) {
            continue;
        }
        if (value.find_first_of(L"\r\n") != std::wstring::npos) {
            refused += (refused.empty() ? L"" : L", ") + name;
            continue;
        }
        given[setting] = velmora::narrow(value);
    }
    velmora::ConnProfile scratch = velmora::fallbackProfile();
    for (const std::string& name : velmora::applyPolicies(given, scratch).unusable) {
        refused += (refused.empty() ? L"" : L", ") + velmora::widen(name);
    }
    if (refused.empty()) {
        return ERROR_SUCCESS;
    }
    const MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0,
                        L"Velmora VPN cannot use the value of [1]. Give each property a value as the program "
                        L"takes it in its window, or \"-\" to clear the setting. Nothing was installed.");
    MsiRecordSetStringW(record, 1, refused.c_str());
    MsiProcessMessage(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), record);
    MsiCloseHandle(record);
    return ERROR_INSTALL_FAILURE;
}

// Stores the administrator's profile (the action data: the profile as an installation hands it
// over, see above). Only administrators may read the key, as it holds the preshared key; values
// given earlier stay unless given again or cleared. Data not of the package's own making is
// refused whole.
extern "C" __declspec(dllexport) UINT __stdcall WriteAdministratorProfile(MSIHANDLE install) {
    const std::vector<std::wstring> given = lines(actionData(install));
    if (given.size() != velmora::kAdministratorSettings.size()) {
        succeeded(install, L"reading the profile handed over", ERROR_INVALID_DATA);
        return ERROR_INSTALL_FAILURE;
    }
    Key key;
    if (!openProfileKey(install, key)) {
        return ERROR_INSTALL_FAILURE;
    }
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::wstring name = wide(velmora::kAdministratorSettings[i]);
        if (given[i].compare(0, name.size() + 1, name + L"=") != 0) {
            succeeded(install, L"reading the profile handed over", ERROR_INVALID_DATA);
            return ERROR_INSTALL_FAILURE;
        }
        const std::wstring value = given[i].substr(name.size() + 1);
        if (value == kClearSetting) {
            RegDeleteValueW(key.get(), name.c_str());
        } else if (!value.empty()) {
            const Value stored = text(value);
            if (!succeeded(install, L"RegSetValueExW",
                           RegSetValueExW(key.get(), name.c_str(), 0, stored.type, stored.data.data(),
                                          static_cast<DWORD>(stored.data.size())))) {
                return ERROR_INSTALL_FAILURE;
            }
        }
    }
    return ERROR_SUCCESS;
}

// Takes each setting of an earlier installation's profile that the command line or a transform
// does not give anew, so that an upgrade keeps the profile whether or not Windows Installer
// tells the older version's uninstall that it is part of the upgrade; and hands the rollback the
// profile as it is. Runs before anything is removed; a profile that cannot be read is not kept.
extern "C" __declspec(dllexport) UINT __stdcall KeepAdministratorProfile(MSIHANDLE install) {
    for (const char* setting : velmora::kAdministratorSettings) {
        const std::wstring name = wide(setting);
        if (!property(install, name.c_str()).empty()) {
            continue;
        }
        Value kept;
        if (readValue(kProfileKey, name.c_str(), kept) && kept.type == REG_SZ &&
            kept.data.size() >= sizeof(wchar_t)) {
            MsiSetPropertyW(install, name.c_str(), reinterpret_cast<const wchar_t*>(kept.data.data()));
        }
    }
    MsiSetPropertyW(install, L"RollbackAdministratorProfile", profileBefore().c_str());
    return ERROR_SUCCESS;
}

// The rollback of a failed installation: the profile as it was before (the action data, see
// profileBefore), or no key when there was none.
extern "C" __declspec(dllexport) UINT __stdcall RestoreAdministratorProfile(MSIHANDLE install) {
    const std::vector<std::wstring> before = lines(actionData(install));
    if (before.empty() || before[0] != L"1") {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProfileKey);
        deleteEmptyKey(L"Software\\Velmora");
        return ERROR_SUCCESS;
    }
    Key key;
    if (!openProfileKey(install, key)) {
        return ERROR_SUCCESS;
    }
    for (const char* setting : velmora::kAdministratorSettings) {
        const std::wstring name = wide(setting);
        RegDeleteValueW(key.get(), name.c_str());
        for (std::size_t i = 1; i < before.size(); ++i) {
            if (before[i].compare(0, name.size() + 1, name + L"=") == 0) {
                const Value stored = text(before[i].substr(name.size() + 1));
                succeeded(install, L"RegSetValueExW",
                          RegSetValueExW(key.get(), name.c_str(), 0, stored.type, stored.data.data(),
                                         static_cast<DWORD>(stored.data.size())));
            }
        }
    }
    return ERROR_SUCCESS;
}

// The administrator's profile goes with the last uninstall; a user's settings file keeps what it
// took from it.
extern "C" __declspec(dllexport) UINT __stdcall RemoveAdministratorProfile(MSIHANDLE install) {
    succeeded(install, L"RegDeleteKeyW", RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProfileKey));
    deleteEmptyKey(L"Software\\Velmora");
    return ERROR_SUCCESS;
}

// Sets OTHERVERSION during an uninstall when another version of the product is installed: the
// uninstall of an older version that a newer one replaces, whether or not Windows Installer says
// so. The other version keeps the switch, the profile and the starts at logon.
extern "C" __declspec(dllexport) UINT __stdcall FindOtherVersion(MSIHANDLE install) {
    const std::wstring upgradeCode = property(install, L"UpgradeCode");
    const std::wstring productCode = property(install, L"ProductCode");
    wchar_t found[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, found) == ERROR_SUCCESS; ++i) {
        if (lstrcmpiW(found, productCode.c_str()) != 0) {
            MsiSetPropertyW(install, L"OTHERVERSION", found);
            break;
        }
    }
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
