#include "datafile/InputFile.h"

#include "io/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavrik {

namespace {

Error cannotOpen(const std::filesystem::path& path, const std::string& reason)
{
    const std::string name = pathText(path);
    return Error::dataFile("cannot open " + name + ": " + reason, name);
}

} // namespace

bool isMemoryShortage(int errorNumber)
{
    return errorNumber == ENOMEM || errorNumber == ENOBUFS;
}

Result<InputFile> openInputFile(const std::filesystem::path& path,
                                std::string_view needsRegularFile)
{
    OpenedForReading opened = openRegularFile(path);
    if (opened.file != nullptr) {
        return InputFile(opened.file);
    }
    if (!opened.notRegular.empty()) {
        return cannotOpen(path,
                          "it is " + opened.notRegular + ", not a regular file; " +
                              std::string(needsRegularFile));
    }
    return cannotOpen(path, std::strerror(opened.errorNumber));
}

Error dataFileError(const std::string& path,
                    const std::string& displayName,
                    long line,
                    const std::string& field,
                    const std::string& what)
{
    Error e;
    e.kind = ErrorKind::DataFile;
    e.path = path;
    e.line = line;
    e.field = field;
    e.message = displayName;
    if (line > 0) {
        e.message += ", line " + std::to_string(line);
    }
    if (!field.empty()) {
        e.message += ", " + field;
    }
    e.message += ": " + what;
    return e;
}

} // namespace tavrik
