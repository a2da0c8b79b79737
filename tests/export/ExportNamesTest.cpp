// Names that hold a separator or a quote in the export files: the quoting rules, with every
// comma field read back by the CSV import. Whole files with such names are pinned by the
// golden quoted_names case.
#include "export/ExportNames.h"

#include "datafile/CsvImport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrik {
namespace {

struct NameCase
{
    const char* stored;
    const char* commaFile;
    const char* spaceFile;
    const char* ntSys;
};

TEST(ExportNames, QuoteOnlyWhatTheFileWouldMisread)
{
    const std::vector<NameCase> cases{
        {"Plain", "Plain", "Plain", "Plain"},
        {"Blue, male", "\"Blue, male\"", "\"Blue, male\"", "Blue,_male"},
        {"Red female", "Red female", "\"Red female\"", "Red_female"},
        {"Wide\tgap", "Wide\tgap", "\"Wide\tgap\"", "Wide_gap"},
        {"O\"Hara", "\"O\"\"Hara\"", "\"O\"\"Hara\"", "O\"Hara"},
        {"a,b", "\"a,b\"", "a,b", "a,b"},
        {"line\r\nbreak", "\"line\r\nbreak\"", "line\r\nbreak", "line\r\nbreak"},
        {"", "", "", ""},
        {"Åland", "Åland", "Åland", "Åland"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(commaFileName(c.stored), c.commaFile) << c.stored;
        EXPECT_EQ(spaceFileName(c.stored), c.spaceFile) << c.stored;
        EXPECT_EQ(ntSysLabel(c.stored), c.ntSys) << c.stored;

        // the CSV import reads the comma field back as one cell holding the name (with a line
        // break inside a field read as LF)
        auto table = readCsvText(std::string("Name,Next\r\n") + c.commaFile + ",x\r\n", "n.csv");
        ASSERT_TRUE(table.ok()) << c.stored << ": " << table.error().message;
        std::vector<std::string> row;
        auto rows = readRows(*table, [&row](long, std::vector<std::string>& cells) {
            row = cells;
            return true;
        });
        ASSERT_TRUE(rows.ok()) << c.stored;
        std::string name = c.stored;
        if (const auto crlf = name.find("\r\n"); crlf != std::string::npos) {
            name.erase(crlf, 1);
        }
        EXPECT_EQ(row, (std::vector<std::string>{name, "x"}));
    }
}

} // namespace
} // namespace tavrik
