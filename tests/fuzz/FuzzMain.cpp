// The fuzz tests' main: takes --seed, --calls and --first beside GoogleTest's flags, and
// runs COM in a multithreaded apartment, so that a server's calls back into the objects
// passed as arguments need no message loop here.
#include <gtest/gtest.h>

#include <objbase.h>

#include "FuzzRun.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    travok::fuzz::ParseRunOptions(argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
