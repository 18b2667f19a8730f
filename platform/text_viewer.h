// Showing a text file to the user in the system's own editor.
#pragma once

#include <string>

namespace velmora {

class TextViewer {
public:
    virtual ~TextViewer() = default;

    // Opens the file (full path, UTF-8) in the editor, which runs on its own, and returns at
    // once. An editor that cannot be started is ignored.
    virtual void show(const std::string& path) = 0;
};

}  // namespace velmora
