// TextViewer as Notepad, started from the system folder by its full path.
#pragma once

#include "platform/text_viewer.h"

namespace velmora {

class Win32TextViewer : public TextViewer {
public:
    void show(const std::string& path) override;
};

}  // namespace velmora
