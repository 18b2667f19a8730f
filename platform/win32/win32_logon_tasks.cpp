#include "platform/win32/win32_logon_tasks.h"

#include <windows.h>
#include <taskschd.h>

#include "platform/win32/com_functions.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/process_user.h"
#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

constexpr CLSID kTaskScheduler = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};

// Runs work on the scheduler's root folder; false when COM or the scheduler cannot be had.
template <typename Work>
bool onRootFolder(SystemLibrary& com, SystemLibrary& automation, Work work) {
    const std::optional<ComFunctions> functions = resolveCom(com, automation);
    if (!functions) {
        return false;
    }
    const ComScope scope(*functions);
    ComRef<ITaskService> service;
    const VARIANT none{};
    const Bstr rootPath(*functions, L"\\");
    ComRef<ITaskFolder> root;
    if (FAILED(functions->createInstance(kTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                                         reinterpret_cast<void**>(service.put()))) ||
        FAILED(service->Connect(none, none, none, none)) || FAILED(service->GetFolder(rootPath.get(), root.put()))) {
        return false;
    }
    return work(*functions, *root.get());
}

}  // namespace

std::string Win32LogonTasks::userSid() {
    return narrow(processUserSid());
}

bool Win32LogonTasks::exists(const std::string& path) {
    return onRootFolder(com_, automation_, [&](const ComFunctions& com, ITaskFolder& root) {
        const Bstr name(com, widen(path).c_str());
        ComRef<IRegisteredTask> task;
        return SUCCEEDED(root.GetTask(name.get(), task.put()));
    });
}

bool Win32LogonTasks::create(const std::string& path, const std::string& definition) {
    return onRootFolder(com_, automation_, [&](const ComFunctions& com, ITaskFolder& root) {
        const Bstr name(com, widen(path).c_str());
        const Bstr xml(com, widen(definition).c_str());
        const VARIANT none{};
        ComRef<IRegisteredTask> task;
        return SUCCEEDED(root.RegisterTask(name.get(), xml.get(), TASK_CREATE_OR_UPDATE, none, none,
                                           TASK_LOGON_INTERACTIVE_TOKEN, none, task.put()));
    });
}

bool Win32LogonTasks::remove(const std::string& path) {
    return onRootFolder(com_, automation_, [&](const ComFunctions& com, ITaskFolder& root) {
        const Bstr name(com, widen(path).c_str());
        const HRESULT deleted = root.DeleteTask(name.get(), 0);
        if (FAILED(deleted) && deleted != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
            return false;
        }
        // Refused while another user's task is in it.
        const Bstr folder(com, widen(path.substr(0, path.find_last_of('\\'))).c_str());
        (void)root.DeleteFolder(folder.get(), 0);
        return true;
    });
}

}  // namespace velmora
