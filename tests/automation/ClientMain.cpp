// The client tests' main: COM in a multithreaded apartment for the whole run, so that
// calls block without a message loop and an object can be used from any test thread.
#include <gtest/gtest.h>

#include <objbase.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
