#include "core/connection/connection_list.h"

#include <algorithm>
#include <vector>

namespace velmora {

StartUp getAllConn(RemoteAccess& remoteAccess, Registry& registry, Operations& operations, ControlSurface& window,
                   ConnectionLog& log) {
    for (const std::string& name : remoteAccess.phonebookEntries()) {
        window.addListItem(Control::txtConnName, name);
    }
    return modifyL2tpReg(registry, operations, window, log);
}

bool connNameExist(const ControlSurface& window, const std::string& cName) {
    const std::vector<std::string> items = window.listItems(Control::txtConnName);
    return std::find(items.begin(), items.end(), cName) != items.end();
}

}  // namespace velmora
