#include "WindowThunk.h"

#include <cstring>

bool WindowThunk::build(WNDPROC target, std::uint32_t firstArgument)
{
    if (!code_) {
        code_ = static_cast<Code*>(VirtualAlloc(nullptr, sizeof(Code), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
        if (!code_)
            return false;
    }
    static constexpr std::uint8_t call[5] = {0xE8, 0x04, 0x00, 0x00, 0x00};
    static constexpr std::uint8_t movArg[4] = {0xC7, 0x44, 0x24, 0x04};
    static constexpr std::uint8_t jmpEcx[2] = {0xFF, 0x21};
    std::memcpy(code_->call, call, sizeof call);
    code_->target = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(target));
    code_->popEcx = 0x59;
    std::memcpy(code_->movArg, movArg, sizeof movArg);
    code_->argument = firstArgument;
    std::memcpy(code_->jmpEcx, jmpEcx, sizeof jmpEcx);
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
