// UserPrompts for the window tests: file names and fonts are queued before the action, every
// message is recorded. A prompt with nothing queued fails the test and answers Cancel, so a
// test never hangs on a dialog.
#pragma once

#include "ui/UserPrompts.h"

#include <QList>

#include <deque>

namespace tavrik::test {

class ScriptedPrompts final : public UserPrompts
{
public:
    struct Shown
    {
        Icon icon;
        QString title;
        QString text;
    };

    // std::nullopt answers Cancel.
    void queueOpenFileName(std::optional<QString> name) { m_openNames.push_back(std::move(name)); }
    void queueSaveFileName(std::optional<QString> name) { m_saveNames.push_back(std::move(name)); }
    void queueFont(std::optional<QFont> font) { m_fonts.push_back(std::move(font)); }

    const QList<Shown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    void clearShown() { m_shown.clear(); }
    const QStringList& lastFilters() const { return m_lastFilters; }
    // The file name the last save dialog was opened on; empty when none was proposed.
    const QString& lastProposed() const { return m_lastProposed; }

    // Fails the current test when an answer was queued but never asked for.
    void verifyAllUsed() const;

    void message(Icon icon, const QString& title, const QString& text) override;
    std::optional<QString> openFileName(const QStringList& filters) override;
    std::optional<QString> saveFileName(const QStringList& filters) override;
    std::optional<QString> saveFileNameProposing(const QStringList& filters,
                                                 const QString& proposed) override;
    std::optional<QFont> font(const QFont& initial) override;

private:
    std::deque<std::optional<QString>> m_openNames;
    std::deque<std::optional<QString>> m_saveNames;
    std::deque<std::optional<QFont>> m_fonts;
    QList<Shown> m_shown;
    QStringList m_lastFilters;
    QString m_lastProposed;
};

} // namespace tavrik::test
