// What the desktop program remembers between sessions (window geometry, screen font, recent
// files, the last folder of each file dialog), kept with QSettings under one name.
#pragma once

#include <QSettings>
#include <QStringList>

#include <memory>

namespace tavrik {

// The program's settings store; tests point QSettings::setPath at a temporary folder.
std::unique_ptr<QSettings> programSettings();

inline constexpr int recentFileCount = 8;

// The recent files with fileName in front: no duplicates, at most recentFileCount.
QStringList withRecentFile(QStringList recent, const QString& fileName);

QStringList recentFiles();
void storeRecentFiles(const QStringList& files);

} // namespace tavrik
