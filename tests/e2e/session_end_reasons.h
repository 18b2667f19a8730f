// Windows' record of the reasons its windows give for holding the end of the session up, for the
// window's tests: Wine's user32 accepts no reason (its ShutdownBlockReasonCreate fails, it has no
// ShutdownBlockReasonQuery), so its create and destroy calls in this process go to this record
// for as long as the record lives.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

namespace velmora::testing {

class SessionEndReasons {
public:
    // Redirects user32's two calls here; one record at a time.
    SessionEndReasons();
    // Gives user32 its own calls back.
    ~SessionEndReasons();
    SessionEndReasons(const SessionEndReasons&) = delete;
    SessionEndReasons& operator=(const SessionEndReasons&) = delete;

    // The reason registered for the window, as ShutdownBlockReasonQuery would tell it.
    std::optional<std::wstring> reason(HWND window) const;
    // How many times a reason was registered for any window.
    int creates() const;

private:
    // The first bytes of a user32 function, overwritten by a jump here.
    struct Redirect {
        unsigned char* at;
        std::array<unsigned char, 5> saved;
    };
    static Redirect redirect(const char* name, const void* replacement);
    static void undo(const Redirect& redirect);

    Redirect create_;
    Redirect destroy_;
};

}  // namespace velmora::testing
