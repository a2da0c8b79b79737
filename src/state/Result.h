// Result<T>: a value or an Error. Failures caused by the outside world (file contents, disk,
// a singular matrix) travel as values and are never thrown across the core boundary.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace tavrik {

enum class ErrorKind {
    Usage,     // the caller asked for something impossible (unknown name, bad option)
    DataFile,  // the data file cannot be opened or read as the format requires
    Analysis,  // the data were read but the computation cannot proceed
    Io,        // an output file cannot be written
    Cancelled, // the user stopped the run; nothing changed and nothing is to be shown
};

struct Error
{
    ErrorKind kind = ErrorKind::DataFile;
    std::string message; // complete, user-facing text: what, where, what was expected
    std::string path;    // file concerned, if any
    long line = 0;       // 1-based line in that file, 0 when not applicable
    std::string field;   // e.g. "population size of population 3"

    // One factory per kind; path, line and field as above.
    static Error
    usage(std::string message, std::string path = {}, long line = 0, std::string field = {})
    {
        return make(ErrorKind::Usage, std::move(message), std::move(path), line, std::move(field));
    }
    static Error
    dataFile(std::string message, std::string path = {}, long line = 0, std::string field = {})
    {
        return make(
            ErrorKind::DataFile, std::move(message), std::move(path), line, std::move(field));
    }
    static Error
    analysis(std::string message, std::string path = {}, long line = 0, std::string field = {})
    {
        return make(
            ErrorKind::Analysis, std::move(message), std::move(path), line, std::move(field));
    }
    static Error
    io(std::string message, std::string path = {}, long line = 0, std::string field = {})
    {
        return make(ErrorKind::Io, std::move(message), std::move(path), line, std::move(field));
    }
    static Error cancelled(std::string message)
    {
        return make(ErrorKind::Cancelled, std::move(message), {}, 0, {});
    }

private:
    static Error
    make(ErrorKind kind, std::string message, std::string path, long line, std::string field)
    {
        Error e;
        e.kind = kind;
        e.message = std::move(message);
        e.path = std::move(path);
        e.line = line;
        e.field = std::move(field);
        return e;
    }
};

template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_v(std::move(value))
    {}
    Result(Error error)
        : m_v(std::move(error))
    {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() &
    {
        assert(ok());
        return std::get<0>(m_v);
    }
    const T& value() const&
    {
        assert(ok());
        return std::get<0>(m_v);
    }
    T&& value() &&
    {
        assert(ok());
        return std::get<0>(std::move(m_v));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const
    {
        assert(!ok());
        return std::get<1>(m_v);
    }

private:
    std::variant<T, Error> m_v;
};

// For operations that return nothing but may fail.
struct Done
{
};
using Status = Result<Done>;

} // namespace tavrik
