// Windows' record of the reasons its windows give for holding the end of the session up, for the
// window's tests: Wine's user32 keeps none (its ShutdownBlockReasonCreate fails and it has no
// ShutdownBlockReasonQuery), so its create and destroy calls in this process come here for as
// long as the record lives.
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

private:
    // The first bytes of a user32 function, which a jump here overwrites.
    struct Redirect {
        unsigned char* at;
        std::array<unsigned char, 5> saved;
    };
    static Redirect redirect(const char* name, const void* replacement);
    static void write(unsigned char* at, const std::array<unsigned char, 5>& bytes);

    Redirect create_;
    Redirect destroy_;
};

}  // namespace velmora::testing
