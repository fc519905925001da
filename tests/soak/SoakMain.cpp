// The soak tests' main: the run's counts from the command line or the environment, and
// COM in a multithreaded apartment, so that calls block without a message loop.
#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdio>

#include "Soak.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string error;
    if (!travok::soak::ParseCounts(argc, argv, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
