// The small window `running` that shows the current status line of an analysis run.
#pragma once

#include <QWidget>

class QLabel;

namespace tavrik {

class ProgressWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Clears the window, then shows this one line.
    void showStatus(const QString& line);
    QString status() const;

private:
    QLabel* m_line = nullptr;
};

} // namespace tavrik
