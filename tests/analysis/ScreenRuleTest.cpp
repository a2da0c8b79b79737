// The rule that decides what a run puts on the screen: the report alone, or the report and
// the matrix listing, and when the pair is too large. The sections' own text is pinned by the
// golden reports.
#include "analysis/MatrixListing.h"

#include <gtest/gtest.h>
#include <string>

namespace tavrik {
namespace {

TEST(ScreenRule, ExactlyTheLimitCountsAsTooLarge)
{
    const std::string report(23000, 'r');
    const std::string listing(1000, 'm');
    const ScreenOutcome shown = decideScreen(report, listing, 1, 24000);
    EXPECT_EQ(shown.outputFitsScreen, 0);
    EXPECT_TRUE(shown.warnOutputTooLarge);
    EXPECT_EQ(shown.showMatrices, 0);
    EXPECT_EQ(shown.screenText, report);

    const ScreenOutcome quiet = decideScreen(report, listing, 0, 24000);
    EXPECT_EQ(quiet.outputFitsScreen, 0);
    EXPECT_FALSE(quiet.warnOutputTooLarge);
    EXPECT_EQ(quiet.screenText, report);
}

TEST(ScreenRule, OneByteBelowTheLimitFitsAndShowsTheListingOnlyOnRequest)
{
    const std::string report(23000, 'r');
    const std::string listing(999, 'm');
    const ScreenOutcome shown = decideScreen(report, listing, 1, 24000);
    EXPECT_EQ(shown.outputFitsScreen, 1);
    EXPECT_FALSE(shown.warnOutputTooLarge);
    EXPECT_EQ(shown.showMatrices, 1);
    EXPECT_EQ(shown.screenText, report + listing);
    EXPECT_EQ(decideScreen(report, listing, 0, 24000).screenText, report);
}

} // namespace
} // namespace tavrik
