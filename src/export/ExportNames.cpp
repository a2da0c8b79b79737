#include "export/ExportNames.h"

namespace tavrik {

namespace {

std::string quoted(std::string_view name)
{
    std::string out;
    out.reserve(name.size() + 2);
    out += '"';
    for (const char c : name) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

std::string commaFileName(std::string_view name)
{
    if (name.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(name);
    }
    return quoted(name);
}

std::string spaceFileName(std::string_view name)
{
    if (name.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(name);
    }
    return quoted(name);
}

std::string ntSysLabel(std::string_view name)
{
    std::string out(name);
    for (char& c : out) {
        if (c == ' ' || c == '\t') {
            c = '_';
        }
    }
    return out;
}

} // namespace tavrik
