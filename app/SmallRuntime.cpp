// Linked into mossgate.exe only. The program never throws: its code is built
// without exceptions, and it runs on the Win32 API, not on streams or
// formatting. These definitions keep the C++ runtime's heavy parts out of
// the executable: a failure that would throw (memory exhausted, a length
// beyond any string) ends the process at once, as an uncaught exception
// would, without the unwinder, the demangler and the exception classes; the
// crash filter still shows the hidden windows again.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {
// An unhandled exception, so that the crash filter runs; it cannot continue.
[[noreturn]] void fail() {
    RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    std::abort();
}
} // namespace

void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    fail();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace std {
void __throw_bad_alloc() {
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
void __throw_bad_function_call() {
    fail();
}
void __throw_invalid_argument(const char*) {
    fail();
}
void __throw_bad_array_new_length() {
    fail();
}
} // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    fail();
}
} // namespace __gnu_cxx
