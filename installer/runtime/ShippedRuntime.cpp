// Linked into the shipped programs only (not the tests): replacements for parts of the static C++ runtime
// that cost far more than they give a GUI program.
//
// - The default terminate handler prints the uncaught exception's demangled type to a console these
//   programs do not have; its demangler alone is about 46 KB. This one just aborts, as it would after
//   printing.
// - libstdc++'s std::__throw_* helpers build std::logic_error and friends from a copy-on-write std::string,
//   which drags in that string's whole instantiation and more (60-80 KB per program). Each helper is
//   defined here, all of them, so the library's own object is never linked. Allocation failures throw the
//   standard types; a length error (a size no allocation could hold) is a std::bad_alloc; the others are
//   std::exception with the library's message. Nothing in the product catches the narrower types.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

// `Base` with the library's message, a string literal, as what().
template <typename Base>
class Fault : public Base {
public:
    explicit Fault(const char* message) : message_(message) {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;
};
using RuntimeFault = Fault<std::exception>;
using LengthFault = Fault<std::bad_alloc>;

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_length_error(const char* message) { throw LengthFault(message); }
void __throw_logic_error(const char* message) { throw RuntimeFault(message); }
void __throw_domain_error(const char* message) { throw RuntimeFault(message); }
void __throw_invalid_argument(const char* message) { throw RuntimeFault(message); }
void __throw_out_of_range(const char* message) { throw RuntimeFault(message); }
// The format's arguments (positions, sizes) are left out of the message.
void __throw_out_of_range_fmt(const char* format, ...) { throw RuntimeFault(format); }
void __throw_runtime_error(const char* message) { throw RuntimeFault(message); }
void __throw_range_error(const char* message) { throw RuntimeFault(message); }
void __throw_overflow_error(const char* message) { throw RuntimeFault(message); }
void __throw_underflow_error(const char* message) { throw RuntimeFault(message); }
// A mutex that cannot be locked; the library's object would bring std::system_error and its categories.
void __throw_system_error(int) { throw RuntimeFault("system error"); }

}  // namespace std
