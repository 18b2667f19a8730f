// Counts something as under way for as long as a scope runs, however it returns: a command, a
// policy call, an event of the window's.
#pragma once

namespace velmora {

class UnderWay {
public:
    explicit UnderWay(int& count) : count_(count) { ++count_; }
    ~UnderWay() { --count_; }
    UnderWay(const UnderWay&) = delete;
    UnderWay& operator=(const UnderWay&) = delete;

private:
    int& count_;
};

}  // namespace velmora
