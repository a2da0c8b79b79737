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
    return Error::analysis("The computer has not enough memory for " + what +
                           "; close other programs, or ask for less.");
}

Error errorFromException(std::exception_ptr thrown, const std::string& what)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return memoryShortage(what);
    } catch (const std::exception& e) {
        return Error::analysis(sentence(what) + " failed: " + e.what());
    } catch (...) {
        return Error::analysis(sentence(what) + " failed");
    }
}

} // namespace tavrik
