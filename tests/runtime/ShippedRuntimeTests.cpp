#include <gtest/gtest.h>

#include <windows.h>

#include <bits/functexcept.h>
#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <vector>

// The shipped programs' replacements in the C++ runtime, linked into this program as into them.

namespace {

// A size no allocation can have, kept from the compiler.
std::size_t impossibleSize()
{
    volatile std::size_t size = SIZE_MAX / 2;
    return size;
}

char* volatile kept = nullptr;

}  // namespace

// The programs catch nothing: an error the library reports ends the program at once, as the uncaught
// exception did, and reaches neither the code that assumed success nor a handler (the library's own
// helpers would throw into the handlers below). The end is STATUS_FATAL_APP_EXIT, without the C runtime's
// message box and not a code a silent install gives a meaning.
TEST(ShippedRuntimeDeathTest, LibraryErrorsAndMissingMemoryEndTheProgram)
{
    const auto fatal = ::testing::ExitedWithCode(static_cast<int>(STATUS_FATAL_APP_EXIT));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto survives = [](auto step) {
        try {
            step();
        } catch (...) {
        }
    };
    std::vector<int> numbers;
    EXPECT_EXIT(survives([&] { numbers.reserve(numbers.max_size() + 1); }), fatal, "");
    const std::string text = "abc";
    EXPECT_EXIT(survives([&] { (void)text.at(5); }), fatal, "");
    EXPECT_EXIT(survives([] { std::__throw_system_error(5); }), fatal, "");
    EXPECT_EXIT(std::terminate(), fatal, "");
    EXPECT_EXIT(survives([] { std::function<void()>()(); }), fatal, "");
    EXPECT_EXIT(survives([] { kept = new char[impossibleSize()]; }), fatal, "");
    // Asked for without ending the program, missing memory is a null answer.
    EXPECT_EQ(new (std::nothrow) char[impossibleSize()], nullptr);
    char* some = new (std::nothrow) char[16];
    EXPECT_NE(some, nullptr);
    delete[] some;
}

namespace {

LONG initialisations = 0;
LONG seenUnfinished = 0;

// A static local whose initialiser takes long enough for every other thread to arrive meanwhile.
int slowlyInitialised()
{
    static const int value = [] {
        InterlockedIncrement(&initialisations);
        Sleep(200);
        return 42;
    }();
    return value;
}

DWORD WINAPI readStatic(void*)
{
    if (slowlyInitialised() != 42)
        InterlockedIncrement(&seenUnfinished);
    return 0;
}

}  // namespace

// Static locals are initialised once, and every thread that arrives meanwhile waits for the value.
TEST(ShippedRuntime, StaticLocalsAreInitialisedOnceAcrossThreads)
{
    HANDLE threads[8];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, readStatic, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(8, threads, TRUE, 10000), WAIT_OBJECT_0);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    EXPECT_EQ(initialisations, 1);
    EXPECT_EQ(seenUnfinished, 0);
}
