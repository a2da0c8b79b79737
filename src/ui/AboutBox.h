// The About box: the program's icon, name and version, the contact text, and a button that
// starts the desktop's system-information tool. Created once by the main window, shown
// modeless, hidden (not destroyed) by OK, Enter or Esc.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;

namespace tavrik {

class UserPrompts;

// The program's icon, drawn at the given edge length in pixels (no image file needed).
QPixmap programIcon(int size);

// System-information tools tried in this order by "System Info...".
QStringList defaultSystemInfoTools();

// Full path of the first tool of `tools` that is an executable file in one of the folders of
// `searchPath` (a PATH-style list); empty when none is. An empty searchPath finds nothing.
QString findSystemInfoTool(const QStringList& tools, const QString& searchPath);

class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(UserPrompts& prompts, QWidget* parent = nullptr);

    // Puts the ten-line contact text (CR LF between the lines) into lblDescription.
    void setContactText();

    // The tools and the PATH searched by "System Info..."; by default the list above and the
    // PATH of the environment at the moment the button is pressed.
    void setSystemInfoSearch(const QStringList& tools, const QString& searchPath);

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void startSystemInfo();

    UserPrompts& m_prompts;
    QStringList m_tools;
    QString m_searchPath;
    bool m_searchPathSet = false;
};

} // namespace tavrik
