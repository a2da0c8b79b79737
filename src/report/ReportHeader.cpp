#include "report/ReportHeader.h"

#include "state/Version.h"

namespace tavrik {

void writeTitleLines(ReportWriter& out,
                     const std::string& dataPath,
                     const std::string& title,
                     const Clock& clock)
{
    // the clock is read twice, date first, so a header written across midnight may mix days
    const std::string date = formatDate(clock());
    const std::string time = formatTime(clock());

    out.text(programTitle).endLine();
    out.text(date).text("     ").text(time).endLine();
    out.emptyLines(2);
    out.text("Data file = ").text(dataPath).endLine();
    out.emptyLines(1);
    out.text("Data set: ").text(title).endLine();
    out.emptyLines(1);
}

std::string fileOpenHeader(const std::string& dataPath,
                           const std::string& title,
                           long popCount,
                           long varCount,
                           const Clock& clock)
{
    ReportWriter w;
    writeTitleLines(w, dataPath, title, clock);
    w.text("Data available for ")
        .number(popCount)
        .text(" populations and ")
        .number(varCount)
        .text(" variables")
        .endLine();
    return w.take();
}

} // namespace tavrik
