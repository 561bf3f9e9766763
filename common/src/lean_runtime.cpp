// Lean replacements of C++ runtime parts that a deliverable does not need,
// for GCC's runtime. Linked into every deliverable as an object of its own:
// a static library's member would come too late, since the linker has
// passed the library by the time the runtime asks for these symbols.
//
// No deliverable catches a C++ exception: every exception the runtime could
// throw (in practice std::bad_alloc or std::length_error from a string that
// cannot grow) ends the process through std::terminate and abort(). These
// definitions end it the same way, one step earlier and in plain words,
// instead of linking what only the detour needs: the exception classes with
// their reference-counted strings, and the terminate handler's C++ name
// demangler with a second printf engine. On 32-bit builds, where the linker
// must keep every function that has unwind information, that is a third of
// the file.
#include <cstdio>
#include <cstdlib>
#include <string>  // declares the std::__throw_* helpers

namespace {

// The process ends either way: a failed write has nowhere to be reported.
[[noreturn]] void Fail(const char* what) {
  (void)std::fputs("terminate called: ", stderr);
  (void)std::fputs(what, stderr);
  (void)std::fputs("\n", stderr);
  std::abort();
}

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() { Fail("unhandled C++ exception"); }

}  // namespace __gnu_cxx

// The runtime's own helpers, replaced on purpose (see above): these are the
// definitions the runtime calls, so they must have its names.
namespace std {  // NOLINT(cert-dcl58-cpp)

void __throw_bad_alloc() { Fail("out of memory"); }
void __throw_bad_array_new_length() { Fail("out of memory (array length)"); }
void __throw_bad_cast() { Fail("bad cast"); }
void __throw_bad_typeid() { Fail("bad typeid"); }
void __throw_bad_exception() { Fail("bad exception"); }
void __throw_logic_error(const char* what) { Fail(what); }
void __throw_domain_error(const char* what) { Fail(what); }
void __throw_invalid_argument(const char* what) { Fail(what); }
void __throw_length_error(const char* what) { Fail(what); }
void __throw_out_of_range(const char* what) { Fail(what); }
void __throw_out_of_range_fmt(const char* what, ...) { Fail(what); }
void __throw_runtime_error(const char* what) { Fail(what); }
void __throw_range_error(const char* what) { Fail(what); }
void __throw_overflow_error(const char* what) { Fail(what); }
void __throw_underflow_error(const char* what) { Fail(what); }

}  // namespace std
