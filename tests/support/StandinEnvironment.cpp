// Part of test_standins: every test there meets the stand-in system libraries
// of tests/standins instead of the system's own, unless it says otherwise.
#include <gtest/gtest.h>

#include "app/SystemLibrary.h"
#include "support/TestSupport.h"

namespace {

class StandinEnvironment : public testing::Environment {
  public:
    void SetUp() override { useSystemLibraryFolderForTests(standinFolder().c_str()); }
    void TearDown() override { useSystemLibraryFolderForTests(nullptr); }
};

const bool registered = (testing::AddGlobalTestEnvironment(new StandinEnvironment), true);

} // namespace

std::wstring standinFolder() {
    return testFolder() + L"..\\standins";
}
