#include "ScriptedPrompts.h"

#include <QTest>

namespace tavrik::test {

namespace {

template <typename T> std::optional<T> take(std::deque<std::optional<T>>& queue, const char* what)
{
    if (queue.empty()) {
        QTest::qFail(what, __FILE__, __LINE__);
        return std::nullopt;
    }
    const bool given = queue.front().has_value();
    const T value = given ? *queue.front() : T();
    queue.pop_front();
    return given ? std::optional<T>(value) : std::nullopt;
}

} // namespace

QStringList ScriptedPrompts::shownTexts() const
{
    QStringList texts;
    for (const Shown& s : m_shown) {
        texts << s.text;
    }
    return texts;
}

void ScriptedPrompts::verifyAllUsed() const
{
    if (!m_openNames.empty() || !m_saveNames.empty() || !m_fonts.empty()) {
        QTest::qFail("a queued answer was never asked for", __FILE__, __LINE__);
    }
}

void ScriptedPrompts::message(Icon icon, const QString& title, const QString& text)
{
    m_shown.append({icon, title, text});
}

std::optional<QString> ScriptedPrompts::openFileName(const QStringList& filters)
{
    m_lastFilters = filters;
    return take(m_openNames, "open dialog shown with no file name queued");
}

std::optional<QString> ScriptedPrompts::saveFileName(const QStringList& filters)
{
    m_lastFilters = filters;
    m_lastProposed.clear();
    return take(m_saveNames, "save dialog shown with no file name queued");
}

std::optional<QString> ScriptedPrompts::saveFileNameProposing(const QStringList& filters,
                                                              const QString& proposed)
{
    auto name = saveFileName(filters);
    m_lastProposed = proposed;
    return name;
}

std::optional<QFont> ScriptedPrompts::font(const QFont&)
{
    return take(m_fonts, "font dialog shown with no font queued");
}

} // namespace tavrik::test
