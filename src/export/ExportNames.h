// How a population name is written into a result file so that the file still parses: quoted
// where the name holds the file's separator or a quote, blanks replaced where the format
// cannot quote. A name that needs none of this is written exactly as stored.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

// Comma-separated files: a name holding a comma, a double quote, CR or LF goes between double
// quotes, each double quote inside it doubled.
std::string commaFileName(std::string_view name);

// Space-separated files: a name holding a blank (space or tab) or a double quote goes between
// double quotes, each double quote inside it doubled.
std::string spaceFileName(std::string_view name);

// NT-SYS labels are separated by blanks: every space or tab of the name becomes '_'.
std::string ntSysLabel(std::string_view name);

} // namespace tavrik
