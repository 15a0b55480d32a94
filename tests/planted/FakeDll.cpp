// A stand-in for a system DLL, planted beside a test program: it must never be the one loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int FakeDllMarker()
{
    return 4711;
}
