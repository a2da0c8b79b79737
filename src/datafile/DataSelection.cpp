#include "datafile/DataSelection.h"

#include "io/TextEncoding.h"

#include <string_view>

namespace tavrik {

namespace {

// Sets flags[p] for the file positions named in wanted (all positions when wanted is empty)
// and appends a complaint for every unknown or shared name.
void flagByName(const std::vector<std::string>& fileNames,
                const std::vector<std::string>& wanted,
                std::string_view kind,
                std::vector<bool>& flags,
                std::vector<std::string>& complaints)
{
    flags.assign(fileNames.size(), false);
    if (wanted.empty()) {
        flags.assign(fileNames.size(), true);
        return;
    }
    for (const std::string& name : wanted) {
        std::vector<std::size_t> positions;
        for (std::size_t p = 0; p < fileNames.size(); ++p) {
            if (fileNames[p] == name) {
                positions.push_back(p);
            }
        }
        if (positions.empty()) {
            complaints.push_back("no " + std::string(kind) + " named " + quoteFound(name) +
                                 " in the data file (it has " + quotedNameList(fileNames) + ")");
        } else if (positions.size() > 1) {
            // Positions are reported 1-based, as a user counts the entries of the file.
            complaints.push_back(std::string(kind) + " name " + quoteFound(name) +
                                 " is ambiguous: " + std::string(kind) + "s " +
                                 std::to_string(positions[0] + 1) + " and " +
                                 std::to_string(positions[1] + 1) + " of the data file share it");
        } else {
            flags[positions.front()] = true;
        }
    }
}

} // namespace

Result<Selection> selectByName(const DataSet& dataSet,
                               const std::vector<std::string>& populations,
                               const std::vector<std::string>& variables)
{
    Selection selection;
    std::vector<std::string> complaints;
    flagByName(dataSet.popNames, populations, "population", selection.popSelected, complaints);
    flagByName(dataSet.varNames, variables, "variable", selection.varSelected, complaints);
    if (complaints.empty()) {
        if (selection.selPopCount() < 2) {
            complaints.push_back("at least 2 populations must be selected, found " +
                                 std::to_string(selection.selPopCount()));
        }
        if (selection.selVarCount() < 1) {
            complaints.push_back("no variables have been selected (the data file has none)");
        }
    }
    if (!complaints.empty()) {
        std::string message;
        for (std::size_t i = 0; i < complaints.size() && i < namesListed; ++i) {
            message += (i == 0 ? "" : "\n") + complaints[i];
        }
        if (complaints.size() > namesListed) {
            message += "\nand " + std::to_string(complaints.size() - namesListed) +
                       " more names that are unknown or shared";
        }
        return Error::usage(std::move(message), dataSet.dataPath);
    }
    return selection;
}

} // namespace tavrik
