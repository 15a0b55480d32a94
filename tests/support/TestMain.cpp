// Test entry point: the engine is started once per process, as the programs do.
#include <gtest/gtest.h>

#include "Engine.h"
#include "SystemDll.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    restrictDllSearchPath();
    startEngine();
    return RUN_ALL_TESTS();
}
