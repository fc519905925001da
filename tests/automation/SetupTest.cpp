// Registers this build's server in the test prefix (by one user start when needed);
// the script tests run after it.
#include <gtest/gtest.h>

#include "ComClient.h"

using namespace travok::test;

TEST(Setup, ServerIsRegisteredForThisBuild) {
    ASSERT_NO_FATAL_FAILURE(EnsureRegistered());
    EXPECT_EQ(ReadClassesValue(std::string("CLSID\\") + ClsidText() + "\\LocalServer32").value, ExpectedServerPath());
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(ToWide(kTravokProgId).c_str(), &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TravokApplication));
}
