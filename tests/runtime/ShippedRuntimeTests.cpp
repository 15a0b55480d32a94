#include <gtest/gtest.h>

#include <bits/functexcept.h>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

// The shipped programs' replacements of libstdc++'s throw helpers, linked into this program as into them:
// the library's errors stay catchable, and a size no allocation could hold is an allocation failure.
TEST(ShippedRuntime, LengthErrorsAreBadAllocAndOtherLibraryErrorsStdExceptions)
{
    std::vector<int> numbers;
    EXPECT_THROW(numbers.reserve(numbers.max_size() + 1), std::bad_alloc);
    EXPECT_THROW(std::vector<int>(numbers.max_size() + 1), std::bad_alloc);
    std::string text = "abc";
    EXPECT_THROW(text.append(text.max_size(), 'x'), std::bad_alloc);

    const std::string message = [&] {
        try {
            (void)text.at(5);
        } catch (const std::bad_alloc&) {
            return std::string("a bad_alloc");
        } catch (const std::exception& error) {
            return std::string("an exception saying ") + error.what();
        }
        return std::string("nothing");
    }();
    EXPECT_EQ(message.rfind("an exception saying ", 0), 0u) << message;
    EXPECT_GT(message.size(), std::string("an exception saying ").size()) << message;
}

// std::mutex reports a failed lock through this helper; replaced, it must still be an exception the
// caller can catch (the library's own would pull in std::system_error and its categories).
TEST(ShippedRuntime, SystemErrorsStayCatchable)
{
    bool caught = false;
    try {
        std::__throw_system_error(5);
    } catch (const std::exception& error) {
        caught = error.what() != nullptr;
    }
    EXPECT_TRUE(caught);
}
