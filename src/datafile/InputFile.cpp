#include "datafile/InputFile.h"

#include "datafile/TextEncoding.h"

#include <cerrno>
#include <cstring>

namespace tavrik {

Result<InputFile> openInputFile(const std::filesystem::path& path)
{
    errno = 0;
#ifdef _WIN32
    std::FILE* f = _wfopen(path.c_str(), L"rb");
#else
    std::FILE* f = std::fopen(path.c_str(), "rb");
#endif
    if (f == nullptr) {
        const std::string name = pathText(path);
        const int reason = errno != 0 ? errno : ENOENT;
        return Error{
            ErrorKind::DataFile, "cannot open " + name + ": " + std::strerror(reason), name, 0, {}};
    }
    return InputFile(f);
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
