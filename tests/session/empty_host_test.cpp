// Every view and check of the session language on a host with no tool open:
// each view says there is nothing to show, and each check of something that
// is not there fails with its reason, without stopping the session.
#include "session_support.h"

namespace {

using zts::SessionTest;

using EmptyHostTest = SessionTest;

TEST_F(EmptyHostTest, ViewsSayThereIsNothingToShow) {
    const zses::SessionOutcome outcome = Run(
        "show labels\nshow table\nshow markers\nshow panes\nshow picks\nshow scroll\nshow messages\n"
        "show reports\nshow questions\nshow frames\nshow tools\nshow live\nshow view\n");
    EXPECT_EQ(outcome.status, 0) << err_.str();
    for (const char *empty : {"(no tool frame)", "(no markers)", "(no viewer panes)", "(no tool sets)"}) {
        EXPECT_NE(out_.str().find(empty), std::string::npos) << empty << "\n" << out_.str();
    }
}

TEST_F(EmptyHostTest, ChecksOfWhatIsNotThereFail) {
    const char *const checks[] = {
        "expect label ce90 1",
        "expect title af_zotframe ZOT",
        "expect value leftimage a.tif",
        "expect cell 1 1 P1",
        "expect rows 3",
        "expect row 1",
        "expect selected 1",
        "expect result mono",
        "expect message hello",
        "expect question \"Would you like to create a report?\"",
        "expect file nothing.txt exists",
        "expect file nothing.txt contains text",
        "expect file nothing.txt equals other.txt",
        "expect markers 1",
        "expect marker left T&E P1 1 1",
        "expect scroll left main 1 1",
        "expect picks left main 1",
        "expect tool pointcreate",
        "expect tools 1",
        "expect frame af_zotframe shown",
        "expect live parse 1",
    };
    std::string text;
    for (const char *check : checks) text += std::string(check) + "\n";
    const zses::SessionOutcome outcome = Run(text);
    EXPECT_FALSE(outcome.stopped) << err_.str();
    EXPECT_EQ(outcome.checksFailed, static_cast<int>(sizeof checks / sizeof checks[0])) << err_.str();
}

}  // namespace
