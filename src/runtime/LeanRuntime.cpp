// Stand-ins for the C++ runtime's reporting of a fatal error. No program of the kit has a console
// to print to, and the runtime's own ones cost a third of every program: the default terminate
// handler brings a 45 KiB name demangler to print an exception's type, and each throw helper the
// string and container code calls brings the exception classes and a second string type.
#include <bits/functexcept.h>
#include <cstdlib>
#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// A container or string asked for more than can ever be allocated. Thrown as running out of
// memory, which is what it amounts to: code that guards an allocation with catch (...) still
// catches it, and elsewhere it ends the program as before.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
}  // namespace std
