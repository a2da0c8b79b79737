#include "ScriptedPrompts.h"

#include <QTest>

#include <utility>

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
    if (!m_openNames.empty() || !m_saveNames.empty() || !m_fonts.empty() || !m_answers.empty()) {
        QTest::qFail("a queued answer was never asked for", __FILE__, __LINE__);
    }
}

void ScriptedPrompts::message(QWidget* owner, Icon icon, const QString& title, const QString& text)
{
    m_shown.append({icon, title, text, owner});
}

UserPrompts::Answer ScriptedPrompts::ask(QWidget* owner,
                                         Icon icon,
                                         const QString& title,
                                         const QString& text,
                                         const QList<Answer>& choices)
{
    m_asked.append({icon, title, text, owner});
    if (m_meanwhile) {
        std::exchange(m_meanwhile, {})();
    }
    if (m_answers.empty()) {
        QTest::qFail("question asked with no answer queued", __FILE__, __LINE__);
        return Answer::Cancel;
    }
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    if (!choices.contains(answer)) {
        QTest::qFail("the queued answer is not one of the question's choices", __FILE__, __LINE__);
        return Answer::Cancel;
    }
    return answer;
}

std::optional<QString> ScriptedPrompts::openFile(const FileRequest& request)
{
    m_lastRequest = request;
    m_lastFilters = request.filters;
    m_lastProposed = request.proposed;
    return take(m_openNames, "open dialog shown with no file name queued");
}

std::optional<QString> ScriptedPrompts::saveFile(const FileRequest& request)
{
    m_lastRequest = request;
    m_lastFilters = request.filters;
    m_lastProposed = request.proposed;
    std::optional<QString> name = take(m_saveNames, "save dialog shown with no file name queued");
    if (name && !request.defaultSuffix.isEmpty() && QFileInfo(*name).suffix().isEmpty()) {
        *name += QLatin1Char('.') + request.defaultSuffix;
    }
    return name;
}

std::optional<QFont> ScriptedPrompts::font(const QFont&)
{
    return take(m_fonts, "font dialog shown with no font queued");
}

} // namespace tavrik::test
