// The system's editor in memory: records each file it was asked to show.
#pragma once

#include <string>
#include <vector>

#include "platform/text_viewer.h"

namespace velmora::testing {

class FakeTextViewer : public TextViewer {
public:
    void show(const std::string& path) override { shown.push_back(path); }

    std::vector<std::string> shown;
};

}  // namespace velmora::testing
