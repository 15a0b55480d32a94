#pragma once
// A few bytes of executable code that Windows calls as a window procedure: they replace the hwnd
// argument with a fixed pointer-sized value and jump to a fixed procedure. 20 bytes on i686 (the
// argument lives on the stack), 22 on x86_64 (it is rcx).
#include <windows.h>

#include <cstdint>

class WindowThunk {
public:
    WindowThunk() = default;
    WindowThunk(const WindowThunk&) = delete;
    WindowThunk& operator=(const WindowThunk&) = delete;
    ~WindowThunk() { free(); }

    // Allocates (once) and fills the code, then leaves its page execute-read; false when no executable
    // memory could be had.
    bool build(WNDPROC target, std::uintptr_t firstArgument);
    // Makes the written code visible to the processor's instruction fetch.
    void flush();
    void free();

    bool isBuilt() const { return code_ != nullptr; }
    // The address to install as the window procedure; null when not built.
    WNDPROC entry() const { return reinterpret_cast<WNDPROC>(code_); }

#pragma pack(push, 1)
#if defined(_WIN64)
    struct Code {
        std::uint8_t movRcx[2];    // 48 B9: mov rcx, imm64
        std::uint64_t argument;    // replaces the hwnd argument
        std::uint8_t movRax[2];    // 48 B8: mov rax, imm64
        std::uint64_t target;      // the procedure jumped to
        std::uint8_t jmpRax[2];    // FF E0: jmp rax
    };
    static constexpr std::size_t codeSize = 22;
#else
    struct Code {
        std::uint8_t call[5];      // E8 04 00 00 00: call $+9, pushing the address of `target`
        std::uint32_t target;      // the procedure jumped to
        std::uint8_t popEcx;       // 59: ecx = &target
        std::uint8_t movArg[4];    // C7 44 24 04: mov dword [esp+4], imm32
        std::uint32_t argument;    // replaces the hwnd argument
        std::uint8_t jmpEcx[2];    // FF 21: jmp dword [ecx]
    };
    static constexpr std::size_t codeSize = 20;
#endif
#pragma pack(pop)
    static_assert(sizeof(Code) == codeSize, "the thunk's layout has no padding");

    const Code* code() const { return code_; }

private:
    Code* code_ = nullptr;  // VirtualAlloc'ed; execute-read once filled, never writable and executable at once
};
