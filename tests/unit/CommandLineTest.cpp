// The rules for finding "Embedding" and "Automation" on the command line.
#include <gtest/gtest.h>

#include "framework/WinApp.h"

namespace {

struct SwitchCase {
    const char* what;
    const char* commandLine;
    const char* name;
    bool found;
    const char* left;  // the command line afterwards
    friend void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.what; }
};

const SwitchCase kSwitches[] = {
    {"slash", "/Embedding", "Embedding", true, ""},
    {"dash", "-Embedding", "Embedding", true, ""},
    {"other arguments stay", "a -Embedding b", "Embedding", true, "a  b"},
    {"small letters do not match", "/embedding", "Embedding", false, "/embedding"},
    {"capitals do not match", "/EMBEDDING", "Embedding", false, "/EMBEDDING"},
    {"glued after a letter", "x/Automation", "Automation", true, "x"},
    {"letters after the switch stay", "-Automation7z", "Automation", true, "7z"},
    {"no sign, no switch", "Embedding", "Embedding", false, "Embedding"},
    {"a sign with nothing after it", "-", "Embedding", false, "-"},
    {"a cut-off switch", "/Embed", "Embedding", false, "/Embed"},
    {"only the first is removed", "/Automation /Automation", "Automation", true, " /Automation"},
    {"a sign not followed by it is skipped", "-x /Embedding", "Embedding", true, "-x "},
};

class Switches : public testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, AreFoundAndRemovedByTheRules) {
    const SwitchCase& c = GetParam();
    SCOPED_TRACE(c.what);
    std::string commandLine = c.commandLine;
    EXPECT_EQ(RemoveCommandLineSwitch(commandLine, c.name), c.found);
    EXPECT_EQ(commandLine, c.left);
}

INSTANTIATE_TEST_SUITE_P(Table, Switches, testing::ValuesIn(kSwitches));

TEST(Switches, EmbeddingIsTestedFirstAndAutomationStaysBehindIt) {
    struct App : CWinApp {} app;
    app.m_strCmdLine = "/Automation -Embedding";
    EXPECT_TRUE(app.RunEmbedded() || app.RunAutomated());
    EXPECT_EQ(app.m_strCmdLine, "/Automation ");
    EXPECT_FALSE(app.m_bUserCtrl);
}

TEST(Switches, NoSwitchLeavesTheUserInControl) {
    struct App : CWinApp {} app;
    app.m_strCmdLine = "/embedding -automation";
    EXPECT_FALSE(app.RunEmbedded() || app.RunAutomated());
    EXPECT_TRUE(app.m_bUserCtrl);
}

}  // namespace
