#include "tests/e2e/window_under_test.h"

#include <algorithm>

namespace velmora::testing {

namespace {

constexpr UINT kRunNow = WM_APP + 1;    // lParam: a std::function<void()> the sender owns
constexpr UINT kRunLater = WM_APP + 2;  // lParam: a std::function<void()> to delete after running

LRESULT CALLBACK runnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunNow) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == kRunLater) {
        std::unique_ptr<std::function<void()>> action(reinterpret_cast<std::function<void()>*>(lParam));
        (*action)();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createRunner() {
    WNDCLASSW runnerClass{};
    runnerClass.lpfnWndProc = runnerProc;
    runnerClass.hInstance = GetModuleHandleW(nullptr);
    runnerClass.lpszClassName = L"VelmoraTestRunner";
    (void)RegisterClassW(&runnerClass);
    return CreateWindowExW(0, L"VelmoraTestRunner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

std::vector<std::string> RecordingEvents::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

int RecordingEvents::count(const std::string& event) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), event));
}

void RecordingEvents::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

void RecordingEvents::record(const std::string& event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(event);
    }
    const auto reaction = reactions.find(event);
    if (reaction != reactions.end()) {
        reaction->second();
    }
}

WindowUnderTest::WindowUnderTest(const Prepare& prepare) {
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    thread_ = std::thread([this, &prepare, &ready] { body(prepare, ready); });
    started.wait();
    // The first message the window's thread handles comes after Form_Load and the first showing.
    settle();
}

void WindowUnderTest::body(const Prepare& prepare, std::promise<void>& ready) {
    threadId_ = GetCurrentThreadId();
    MainWindow window(GetModuleHandleW(nullptr), [this](DWORD message, TrayIconRecord& record) {
        std::lock_guard<std::mutex> lock(trayMutex_);
        trayCalls_.push_back({message, record});
    });
    window_ = &window;
    driver_ = std::make_unique<WindowDriver>(window.handle());
    runner_ = createRunner();
    if (prepare) {
        prepare(window, events_);
    }
    std::future<void> released = release_.get_future();
    ready.set_value();
    window.run(events_, SW_SHOWNORMAL);
    ended_ = true;
    // The window stays for the test to look at until the test is done with it.
    released.wait();
    DestroyWindow(runner_);
}

void WindowUnderTest::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (!ended_) {
        PostMessageW(window_->handle(), WM_CLOSE, 0, 0);
        eventually([this] { return ended_.load(); }, 10000);
    }
    release_.set_value();
    thread_.join();
}

void WindowUnderTest::onWindowThread(const std::function<void()>& action) {
    SendMessageW(runner_, kRunNow, 0, reinterpret_cast<LPARAM>(&action));
}

void WindowUnderTest::onWindowThreadLater(std::function<void()> action) {
    PostMessageW(runner_, kRunLater, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(action))));
}

void WindowUnderTest::settle() {
    auto done = std::make_shared<std::atomic<bool>>(false);
    onWindowThreadLater([done] { *done = true; });
    eventually([&] { return done->load() || ended_.load(); }, 10000);
}

std::vector<TrayCall> WindowUnderTest::trayCalls() const {
    std::lock_guard<std::mutex> lock(trayMutex_);
    return trayCalls_;
}

}  // namespace velmora::testing
