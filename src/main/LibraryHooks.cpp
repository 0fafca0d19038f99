// Two hooks of the C++ library, replaced in the shipped programs so that the
// parts of the library behind them are never linked.
//
// The library's answer to an exception nobody catches names the exception's
// type through a demangler that is a sizeable part of the library. The
// program puts its own handler in place first thing (it logs and ends with
// the program's exit code), and the package tool has nobody to show a type
// name to, so this answer only ends the process: with 3, the code abort()
// gives, but without the box the runtime's abort() can put up, which would
// hold an unattended caller.
//
// The library's containers report a misuse (a length past max_size(), a
// position past the end) through the std::__throw_* functions, whose
// exception classes keep their text in the library's old reference-counted
// string, a second string implementation. Here they raise a plain
// std::exception with the library's text instead: nothing catches those
// kinds by name, and the general handlers (RunGuarded, the window thunk)
// catch std::exception and log what() as before. The test programs keep the
// library's own.
#include <windows.h>

#include <bits/functexcept.h>
#include <exception>
#include <new>
#include <typeinfo>

namespace __gnu_cxx {

void __verbose_terminate_handler() { ExitProcess(3); }

}  // namespace __gnu_cxx

namespace {

class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace

namespace std {

// Every function of the library's object that holds them, so that object is
// never needed (one left out would link it, and the link would then fail on
// the functions defined twice).
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_logic_error(const char* what) { throw LibraryError(what); }
void __throw_domain_error(const char* what) { throw LibraryError(what); }
void __throw_invalid_argument(const char* what) { throw LibraryError(what); }
void __throw_length_error(const char* what) { throw LibraryError(what); }
void __throw_out_of_range(const char* what) { throw LibraryError(what); }
// The text is a printf format; its placeholders stay as they are.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
void __throw_runtime_error(const char* what) { throw LibraryError(what); }
void __throw_range_error(const char* what) { throw LibraryError(what); }
void __throw_overflow_error(const char* what) { throw LibraryError(what); }
void __throw_underflow_error(const char* what) { throw LibraryError(what); }

}  // namespace std
