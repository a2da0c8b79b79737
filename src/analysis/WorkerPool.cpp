#include "analysis/WorkerPool.h"

#include <new>

namespace tavrik {

namespace {

// "the bootstrap" at the start of a sentence
std::string sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

} // namespace

Error memoryShortage(const std::string& what)
{
    return Error{ErrorKind::Analysis,
                 "The computer has not enough memory for " + what +
                     "; close other programs, or ask for less.",
                 {},
                 0,
                 {}};
}

Error errorFromException(std::exception_ptr thrown, const std::string& what)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return memoryShortage(what);
    } catch (const std::exception& e) {
        return Error{ErrorKind::Analysis, sentence(what) + " failed: " + e.what(), {}, 0, {}};
    } catch (...) {
        return Error{ErrorKind::Analysis, sentence(what) + " failed", {}, 0, {}};
    }
}

} // namespace tavrik
