// The help viewer: a top-level window beside the main window that shows the HTML user guide
// with its contents, internal links, Back and Forward, and a search field (Ctrl+F). A missing guide
// is reported inside the viewer, naming the file it looked for.
#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QLineEdit;
class QTextBrowser;

namespace tavrik {

// The guide beside the program: <program folder>/help/tavrik-guide.html, or for an installed
// tree <program folder>/../share/tavrik/help/tavrik-guide.html.
QString defaultGuidePath();

// The same search from a given program folder. When neither file exists the first candidate
// is returned, so that the viewer can name the place where the guide belongs.
QString guidePathFrom(const QString& programDir);

class HelpViewer : public QMainWindow
{
    Q_OBJECT
public:
    explicit HelpViewer(const QString& guidePath, QWidget* parent = nullptr);

    // Goes back to the top of the guide, where its contents list is.
    void showContents();

    bool guideLoaded() const { return m_loaded; }

    // Selects the next place of the search field's text after the cursor, from the top again
    // at the end; false when the guide does not hold it.
    bool findNext();

    QTextBrowser* helpBrowser = nullptr;
    QAction* actBack = nullptr;
    QAction* actForward = nullptr;
    QAction* actContents = nullptr;
    QLineEdit* txtFind = nullptr;
    QAction* actFind = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeBesideParent();

    QString m_guidePath;
    bool m_loaded = false;
    bool m_placed = false;
};

} // namespace tavrik
