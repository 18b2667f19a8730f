// velmora.exe's terminate handler in place of the C++ runtime's default one: it ends the program
// the same way, without the demangler and the printf family that the default links in (75 KB).
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

// The default prints the exception's demangled type name on a console, which a window program
// does not have. Nothing in the program throws or catches; only an exhausted heap comes here.
void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
