#include "export/SavedOutput.h"

#include <gtest/gtest.h>

namespace tavrik {
namespace {

struct AppendCase
{
    SaveKind kind;
    int askSaveName;
    int outputFitsScreen;
    int showMatrices;
    bool expected;
};

TEST(SavedOutputListing, AppendedOnlyWhenNotAlreadyOnScreen)
{
    const AppendCase cases[] = {
        // first Save Output after a run: left out only when the run showed the listing
        {SaveKind::SaveOutput, 1, 0, 0, true},
        {SaveKind::SaveOutput, 1, 0, 1, true},
        {SaveKind::SaveOutput, 1, 1, 0, true},
        {SaveKind::SaveOutput, 1, 1, 1, false},
        // saved before, and Save Output As: follows showMatrices alone
        {SaveKind::SaveOutput, 0, 0, 0, true},
        {SaveKind::SaveOutput, 0, 0, 1, false},
        {SaveKind::SaveOutputAs, 1, 0, 0, true},
        {SaveKind::SaveOutputAs, 1, 0, 1, false},
        {SaveKind::SaveOutputAs, 0, 1, 1, false},
    };
    for (const AppendCase& c : cases) {
        EXPECT_EQ(appendListing(c.kind, c.askSaveName, c.outputFitsScreen, c.showMatrices),
                  c.expected)
            << "kind " << static_cast<int>(c.kind) << ", askSaveName " << c.askSaveName
            << ", outputFitsScreen " << c.outputFitsScreen << ", showMatrices " << c.showMatrices;
    }
}

TEST(SavedOutputText, IsTheTextThenOneLineEndThenTheListing)
{
    const std::string shown = "Report\r\n\r\nline 2\r\n";
    const std::string listing = "R matrix\r\n 0.1  0.2\r\n";
    EXPECT_EQ(savedOutputText(shown, listing, false), "Report\r\n\r\nline 2\r\n\r\n");
    EXPECT_EQ(savedOutputText(shown, listing, true),
              "Report\r\n\r\nline 2\r\n\r\nR matrix\r\n 0.1  0.2\r\n");
    // typed text without a final line end, and a listing whose last line lacks one
    EXPECT_EQ(savedOutputText("edited", "a\r\n\r\nb", true), "edited\r\na\r\n\r\nb\r\n");
    EXPECT_EQ(savedOutputText("", "", true), "\r\n");
}

TEST(SavedOutputText, ConvertsLoneLineFeedsOnly)
{
    EXPECT_EQ(toCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(toCrLf("\n\n"), "\r\n\r\n");
    EXPECT_EQ(toCrLf("no end"), "no end");
}

} // namespace
} // namespace tavrik
