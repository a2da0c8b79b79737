#include "ui/WindowFit.h"

#include "ui/ProgramSettings.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tavrik {

namespace {

QString sizeKey(const QString& key)
{
    return QStringLiteral("windows/") + key + QStringLiteral("/size");
}

} // namespace

WindowFit::WindowFit(QWidget* window, QSize preferred, QString key)
    : QObject(window)
    , m_window(window)
    , m_preferred(preferred)
    , m_key(std::move(key))
{
    window->installEventFilter(this);
}

bool WindowFit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Show && !m_placed) {
            m_placed = true;
            place();
        } else if (event->type() == QEvent::Close) {
            programSettings()->setValue(sizeKey(m_key), m_window->size());
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowFit::place()
{
    QWidget* owner =
        m_window->parentWidget() != nullptr ? m_window->parentWidget()->window() : nullptr;
    QScreen* screen = owner != nullptr ? owner->screen() : m_window->screen();
    if (screen == nullptr) {
        m_window->resize(m_preferred);
        return;
    }
    const QRect area = screen->availableGeometry();
    // the title bar and borders, where the window system has told them already
    const QSize frame = m_window->frameGeometry().size() - m_window->size();
    QSize size = programSettings()->value(sizeKey(m_key), m_preferred).toSize();
    if (!size.isValid()) {
        size = m_preferred;
    }
    size = size.boundedTo(area.size() - frame).expandedTo(m_window->minimumSize());
    m_window->resize(size);

    const QSize outer = size + frame;
    QPoint topLeft = owner != nullptr ? owner->frameGeometry().center() -
                                            QPoint(outer.width() / 2, outer.height() / 2)
                                      : area.topLeft();
    topLeft.setX(std::clamp(
        topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
    topLeft.setY(std::clamp(
        topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    m_window->move(topLeft);
}

} // namespace tavrik
