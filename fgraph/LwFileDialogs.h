#pragma once
// File dialogs that open in the directory of the file chosen last. That
// directory is one process-wide text, kept across runs in "filepath.ini" in
// the working directory (its only line, no line break). GUI thread only.

#include <QString>

#include <string>

class QWidget;

// "filepath.ini".
QString LastDirectoryFileName();
// The first line of "filepath.ini", or empty when it cannot be read.
QString ReadLastDirectoryFile();
// Replaces "filepath.ini" by `directory`; does nothing when it cannot be opened.
void WriteLastDirectoryFile(const QString& directory);
// The remembered directory, read from the file while it is empty.
QString GetLastDirectory();
// Remembers the directory part of a chosen file, in memory and in the file.
void StoreLastDirectory(const QString& filePath);

// Open dialog with the filter and "All Files (*.*)"; empty when cancelled.
QString GetOpenFileNameQString(QWidget* parent, const QString& caption, const QString& filter);
// Save dialog proposing `defaultFileName` ("default" when empty) in the
// remembered directory; the chosen path as UTF-8, empty when cancelled.
std::string SelectSaveFileName(QWidget* parent, const std::string& caption, const std::string& filter,
                               const std::string& defaultFileName);
// Save dialog whose default path may carry a directory; without one it
// proposes the name in the remembered directory.
QString SelectSaveFileNameQString(QWidget* parent, const QString& caption, const QString& filter,
                                  const QString& defaultPath);
// The start path that SelectSaveFileNameQString proposes for `defaultPath`.
QString SaveStartPathQString(const QString& defaultPath);
// The start path that SelectSaveFileName proposes for `defaultFileName`.
QString SaveStartPath(const std::string& defaultFileName);
