// UserPrompts for the window tests: file names, answers and fonts are queued before the action,
// every message and question is recorded. A prompt with nothing queued fails the test and
// answers Cancel, so a test never hangs on a dialog.
#pragma once

#include "ui/UserPrompts.h"

#include <QFileInfo>
#include <QList>
#include <QPointer>

#include <deque>
#include <functional>

namespace tavrik::test {

class ScriptedPrompts final : public UserPrompts
{
public:
    struct Shown
    {
        Icon icon;
        QString title;
        QString text;
        QPointer<QWidget> owner = nullptr; // the control the focus returns to
    };

    // std::nullopt answers Cancel.
    void queueOpenFileName(std::optional<QString> name) { m_openNames.push_back(std::move(name)); }
    void queueSaveFileName(std::optional<QString> name) { m_saveNames.push_back(std::move(name)); }
    void queueFont(std::optional<QFont> font) { m_fonts.push_back(std::move(font)); }
    void queueAnswer(Answer answer) { m_answers.push_back(answer); }
    // Runs while the next question is open, as the event loop of a real box would run what
    // arrives meanwhile.
    void whileNextAsked(std::function<void()> meanwhile) { m_meanwhile = std::move(meanwhile); }

    const QList<Shown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    void clearShown() { m_shown.clear(); }
    const QStringList& lastFilters() const { return m_lastFilters; }
    // The file name the last save dialog was opened on; empty when none was proposed.
    const QString& lastProposed() const { return m_lastProposed; }
    const FileRequest& lastRequest() const { return m_lastRequest; }
    // The questions asked so far, in the order asked.
    const QList<Shown>& asked() const { return m_asked; }

    // Fails the current test when an answer was queued but never asked for.
    void verifyAllUsed() const;

    using UserPrompts::message;
    void message(QWidget* owner, Icon icon, const QString& title, const QString& text) override;
    Answer ask(QWidget* owner,
               Icon icon,
               const QString& title,
               const QString& text,
               const QList<Answer>& choices) override;
    // As the platform's save dialog does, a name without a suffix gets the default suffix.
    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    std::optional<QFont> font(const QFont& initial) override;

private:
    std::deque<std::optional<QString>> m_openNames;
    std::deque<std::optional<QString>> m_saveNames;
    std::deque<std::optional<QFont>> m_fonts;
    std::deque<Answer> m_answers;
    std::function<void()> m_meanwhile;
    QList<Shown> m_shown;
    QList<Shown> m_asked;
    FileRequest m_lastRequest;
    QStringList m_lastFilters;
    QString m_lastProposed;
};

} // namespace tavrik::test
