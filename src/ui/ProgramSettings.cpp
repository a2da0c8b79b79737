#include "ui/ProgramSettings.h"

namespace tavrik {

namespace {

const QString recentKey = QStringLiteral("recentFiles");

} // namespace

std::unique_ptr<QSettings> programSettings()
{
    // An explicit name, so that the test programs share the desktop program's layout
    return std::make_unique<QSettings>(QSettings::IniFormat,
                                       QSettings::UserScope,
                                       QStringLiteral("TAVRIK"),
                                       QStringLiteral("tavrik"));
}

QStringList withRecentFile(QStringList recent, const QString& fileName)
{
    recent.removeAll(fileName);
    recent.prepend(fileName);
    while (recent.size() > recentFileCount) {
        recent.removeLast();
    }
    return recent;
}

QStringList recentFiles()
{
    QStringList files = programSettings()->value(recentKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, recentFileCount);
}

void storeRecentFiles(const QStringList& files)
{
    programSettings()->setValue(recentKey, files);
}

} // namespace tavrik
