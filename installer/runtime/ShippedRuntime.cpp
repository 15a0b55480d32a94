// Linked into the shipped programs only (not the tests): replacements for parts of the static C++ runtime
// that cost far more than they give a GUI program. The programs are built without exceptions: nothing in
// them throws or catches, and memory a picture may not get is asked for without ending the program.
//
// A program that cannot go on ends at once with STATUS_FATAL_APP_EXIT: abort() would show the C runtime's
// "abnormal program termination" box, which no one answers in an unattended install, and end with 3, which
// a silent install means as "not enough disk space".
// - The default terminate handler prints the uncaught exception's demangled type to a console these
//   programs do not have; its demangler alone is about 46 KB.
// - libstdc++'s std::__throw_* helpers build std::logic_error and friends from a copy-on-write std::string
//   (60-80 KB per program) and throw, which needs the unwinder. An error the library reports (a size no
//   allocation could hold, an index out of range, a mutex that cannot be locked) ends the program here, as
//   the uncaught exception did.
// - operator new ends the program when the memory is not there, where the library's throws std::bad_alloc.
// - Static locals are initialised under a Windows lock: the library's guard would link a thread library.
#include <windows.h>

#include <cstdlib>
#include <cxxabi.h>
#include <new>

namespace {

[[noreturn]] void fail()
{
    TerminateProcess(GetCurrentProcess(), STATUS_FATAL_APP_EXIT);
    __builtin_unreachable();
}

void* allocate(std::size_t size)
{
    return std::malloc(size ? size : 1);
}

void* allocateOrFail(std::size_t size)
{
    void* memory = allocate(size);
    if (!memory)
        fail();
    return memory;
}

// Guards of static locals whose initialisation is under way; waiters sleep on `guardChanged`.
SRWLOCK guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE guardChanged = CONDITION_VARIABLE_INIT;

// The guard's first byte says "initialised" (the compiler reads it before calling in), its second
// "initialisation under way".
unsigned char* guardBytes(__cxxabiv1::__guard* guard)
{
    return reinterpret_cast<unsigned char*>(guard);
}

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    fail();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_exception() { fail(); }
void __throw_bad_alloc() { fail(); }
void __throw_bad_array_new_length() { fail(); }
void __throw_bad_cast() { fail(); }
void __throw_bad_typeid() { fail(); }
void __throw_bad_function_call() { fail(); }
void __throw_length_error(const char*) { fail(); }
void __throw_logic_error(const char*) { fail(); }
void __throw_domain_error(const char*) { fail(); }
void __throw_invalid_argument(const char*) { fail(); }
void __throw_out_of_range(const char*) { fail(); }
void __throw_out_of_range_fmt(const char*, ...) { fail(); }
void __throw_runtime_error(const char*) { fail(); }
void __throw_range_error(const char*) { fail(); }
void __throw_overflow_error(const char*) { fail(); }
void __throw_underflow_error(const char*) { fail(); }
void __throw_system_error(int) { fail(); }

}  // namespace std

void* operator new(std::size_t size) { return allocateOrFail(size); }
void* operator new[](std::size_t size) { return allocateOrFail(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }

namespace __cxxabiv1 {

extern "C" int __cxa_guard_acquire(__guard* guard)
{
    unsigned char* bytes = guardBytes(guard);
    if (__atomic_load_n(&bytes[0], __ATOMIC_ACQUIRE))
        return 0;
    AcquireSRWLockExclusive(&guardLock);
    while (!bytes[0] && bytes[1])
        SleepConditionVariableSRW(&guardChanged, &guardLock, INFINITE, 0);
    const bool mine = !bytes[0];
    if (mine)
        bytes[1] = 1;
    ReleaseSRWLockExclusive(&guardLock);
    return mine ? 1 : 0;
}

extern "C" void __cxa_guard_release(__guard* guard) noexcept
{
    unsigned char* bytes = guardBytes(guard);
    AcquireSRWLockExclusive(&guardLock);
    bytes[1] = 0;
    __atomic_store_n(&bytes[0], 1, __ATOMIC_RELEASE);
    ReleaseSRWLockExclusive(&guardLock);
    WakeAllConditionVariable(&guardChanged);
}

extern "C" void __cxa_guard_abort(__guard* guard) noexcept
{
    AcquireSRWLockExclusive(&guardLock);
    guardBytes(guard)[1] = 0;
    ReleaseSRWLockExclusive(&guardLock);
    WakeAllConditionVariable(&guardChanged);
}

}  // namespace __cxxabiv1
