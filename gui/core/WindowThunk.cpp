#include "WindowThunk.h"

#include <cstring>

namespace {

void fill(WindowThunk::Code& code, WNDPROC target, std::uintptr_t firstArgument)
{
#if defined(_WIN64)
    static constexpr std::uint8_t movRcx[2] = {0x48, 0xB9};
    static constexpr std::uint8_t movRax[2] = {0x48, 0xB8};
    static constexpr std::uint8_t jmpRax[2] = {0xFF, 0xE0};
    std::memcpy(code.movRcx, movRcx, sizeof movRcx);
    code.argument = firstArgument;
    std::memcpy(code.movRax, movRax, sizeof movRax);
    code.target = reinterpret_cast<std::uintptr_t>(target);
    std::memcpy(code.jmpRax, jmpRax, sizeof jmpRax);
#else
    static constexpr std::uint8_t call[5] = {0xE8, 0x04, 0x00, 0x00, 0x00};
    static constexpr std::uint8_t movArg[4] = {0xC7, 0x44, 0x24, 0x04};
    static constexpr std::uint8_t jmpEcx[2] = {0xFF, 0x21};
    std::memcpy(code.call, call, sizeof call);
    code.target = reinterpret_cast<std::uintptr_t>(target);
    code.popEcx = 0x59;
    std::memcpy(code.movArg, movArg, sizeof movArg);
    code.argument = firstArgument;
    std::memcpy(code.jmpEcx, jmpEcx, sizeof jmpEcx);
#endif
}

}  // namespace

bool WindowThunk::build(WNDPROC target, std::uintptr_t firstArgument)
{
    DWORD previous = 0;
    if (!code_) {
        code_ = static_cast<Code*>(VirtualAlloc(nullptr, sizeof(Code), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!code_)
            return false;
    } else if (!VirtualProtect(code_, sizeof(Code), PAGE_READWRITE, &previous)) {
        return false;
    }
    fill(*code_, target, firstArgument);
    if (!VirtualProtect(code_, sizeof(Code), PAGE_EXECUTE_READ, &previous)) {
        free();
        return false;
    }
    flush();
    return true;
}

void WindowThunk::flush()
{
    if (code_)
        FlushInstructionCache(GetCurrentProcess(), code_, sizeof(Code));
}

void WindowThunk::free()
{
    if (code_) {
        VirtualFree(code_, 0, MEM_RELEASE);
        code_ = nullptr;
    }
}
