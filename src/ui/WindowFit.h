// The size and place of a further window: it opens at the size it had when last closed (or the
// one it asks for the first time), never larger than the free area of its owner's screen and
// never over its edges, centred on its owner where it fits.
#pragma once

#include <QObject>
#include <QSize>
#include <QString>

class QWidget;

namespace tavrik {

class WindowFit : public QObject
{
    Q_OBJECT
public:
    // Watches window, which owns it; key names the size in the program's settings.
    WindowFit(QWidget* window, QSize preferred, QString key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QWidget* m_window;
    QSize m_preferred;
    QString m_key;
    bool m_placed = false;
};

} // namespace tavrik
