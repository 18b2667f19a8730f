// velmora.exe's answers to the standard library's failures, in place of the C++ runtime's: the
// program ends as an exception that nobody catches would end it, and neither the exception
// machinery (its unwinder and tables) nor the library's exception classes are linked in (more
// than 100 KB). Nothing in the program throws or catches; the only failure it can meet is an
// exhausted heap.
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void fail() {
    std::abort();
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    fail();
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

namespace std {

void __throw_bad_alloc() {
    fail();
}
void __throw_bad_array_new_length() {
    fail();
}
void __throw_bad_function_call() {
    fail();
}
void __throw_invalid_argument(const char*) {
    fail();
}
void __throw_length_error(const char*) {
    fail();
}
void __throw_logic_error(const char*) {
    fail();
}
void __throw_out_of_range(const char*) {
    fail();
}
void __throw_out_of_range_fmt(const char*, ...) {
    fail();
}

}  // namespace std

// The library's own string code is built to catch, rethrow and clean up on the way out, and its
// unwind tables name the runtime's personality routine. With every failure above ending the
// program on the spot, none of these ever runs; defining them here keeps the unwinder out of
// the exe.
extern "C" {
void* __cxa_begin_catch(void*) {
    fail();
}
void __cxa_end_catch() {
    fail();
}
void __cxa_rethrow() {
    fail();
}
int __gxx_personality_v0(int, int, unsigned long long, void*, void*) {
    fail();
}
void _Unwind_Resume(void*) {
    fail();
}
}
