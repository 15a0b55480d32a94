#pragma once
// 20 bytes of executable code that Windows calls as a window procedure: it replaces the hwnd
// argument with a fixed 32-bit value and jumps to a fixed stdcall procedure.
#include <windows.h>

#include <cstdint>

class WindowThunk {
public:
    WindowThunk() = default;
    WindowThunk(const WindowThunk&) = delete;
    WindowThunk& operator=(const WindowThunk&) = delete;
    ~WindowThunk() { free(); }

    // Allocates (once) and fills the code; false when no executable memory could be had.
    bool build(WNDPROC target, std::uint32_t firstArgument);
    // Makes the written code visible to the processor's instruction fetch.
    void flush();
    void free();

    bool isBuilt() const { return code_ != nullptr; }
    // The address to install as the window procedure; null when not built.
    WNDPROC entry() const { return reinterpret_cast<WNDPROC>(code_); }

#pragma pack(push, 1)
    struct Code {
        std::uint8_t call[5];      // E8 04 00 00 00: call $+9, pushing the address of `target`
        std::uint32_t target;      // the procedure jumped to
        std::uint8_t popEcx;       // 59: ecx = &target
        std::uint8_t movArg[4];    // C7 44 24 04: mov dword [esp+4], imm32
        std::uint32_t argument;    // replaces the hwnd argument
        std::uint8_t jmpEcx[2];    // FF 21: jmp dword [ecx]
    };
#pragma pack(pop)
    static_assert(sizeof(Code) == 20, "the thunk is exactly 20 bytes");

    const Code* code() const { return code_; }

private:
    Code* code_ = nullptr;  // VirtualAlloc'ed, PAGE_EXECUTE_READWRITE
};
