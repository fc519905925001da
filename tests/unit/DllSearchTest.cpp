// The programs narrow the DLL search to System32 at entry: a DLL beside them, found by
// name before, is not loaded after; the system's own still are.
#include <gtest/gtest.h>

#include "framework/DllSearch.h"
#include "framework/Win.h"

namespace {

TEST(DllSearch, ADllBesideTheProgramIsNoLongerFoundByName) {
    HMODULE planted = LoadLibraryW(L"travok_planted.dll");
    ASSERT_NE(planted, nullptr) << "the planted DLL is not beside the tests: error " << GetLastError();
    FreeLibrary(planted);

    SearchDllsInSystem32Only();
    EXPECT_EQ(LoadLibraryW(L"travok_planted.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(LoadLibraryW(L"version.dll"), nullptr);
}

}  // namespace
