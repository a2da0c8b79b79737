#include "report/ReportHeader.h"

#include "report/ReportWriter.h"

namespace tavrik {

std::string fileOpenHeader(const std::string& dataPath,
                           const std::string& title,
                           long popCount,
                           long varCount,
                           const Clock& clock)
{
    // the clock is read twice, date first, so a header written across midnight may mix days
    const std::string date = formatDate(clock());
    const std::string time = formatTime(clock());

    ReportWriter w;
    w.text("TAVRIK 5.0").endLine();
    w.text(date).text("     ").text(time).endLine();
    w.emptyLines(2);
    w.text("Data file = ").text(dataPath).endLine();
    w.emptyLines(1);
    w.text("Data set: ").text(title).endLine();
    w.emptyLines(1);
    w.text("Data available for ")
        .number(popCount)
        .text(" populations and ")
        .number(varCount)
        .text(" variables")
        .endLine();
    return w.take();
}

} // namespace tavrik
