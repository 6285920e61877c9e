#include "fgraph/LwFileDialogs.h"

#include "fgraph/LwWindowUtilities.h"

#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <QTextStream>

namespace {

QString& RememberedDirectory()
{
    static QString directory;
    return directory;
}

}  // namespace

QString LastDirectoryFileName()
{
    return "filepath.ini";
}

QString ReadLastDirectoryFile()
{
    QFile file(LastDirectoryFileName());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    return in.readLine();
}

void WriteLastDirectoryFile(const QString& directory)
{
    QFile file(LastDirectoryFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << directory;
}

QString GetLastDirectory()
{
    QString& directory = RememberedDirectory();
    if (directory.isEmpty())
        directory = ReadLastDirectoryFile();
    return directory;
}

void StoreLastDirectory(const QString& filePath)
{
    SetGlobalLocaleJapanese();
    RememberedDirectory() = GetDirectoryPartQString(filePath);
    WriteLastDirectoryFile(RememberedDirectory());
}

namespace {

// The patterns of a filter are separated by ';' as Windows writes them
// ("Cluster(*.xml_cl;*.xyz)"); Qt's dialogs separate them by blanks.
QString QtNameFilter(QString filter)
{
    const int open = filter.indexOf('(');
    const int close = filter.lastIndexOf(')');
    for (int i = open + 1; open >= 0 && i < close; ++i)
        if (filter[i] == ';')
            filter[i] = ' ';
    return filter;
}

}  // namespace

QString GetOpenFileNameQString(QWidget* parent, const QString& caption, const QString& filter)
{
    const QString directory = GetLastDirectory();
    QFileDialog dialog(parent, caption, QString(), QString());
    dialog.setNameFilters(QStringList{QtNameFilter(filter), "All Files (*.*)"});
    dialog.setDirectory(directory);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return QString();
    StoreLastDirectory(files.front());
    return files.front();
}

QString SaveStartPath(const std::string& defaultFileName)
{
    QString name = StdStringToQString(defaultFileName);
    const QString directory = GetLastDirectory();
    qDebug() << directory;
    if (name.isEmpty())
        name = "default";
    return directory + "/" + name;
}

std::string SelectSaveFileName(QWidget* parent, const std::string& caption, const std::string& filter,
                               const std::string& defaultFileName)
{
    const QString start = SaveStartPath(defaultFileName);
    qDebug() << start;
    const QString answer = QFileDialog::getSaveFileName(parent, StdStringToQString(caption), start,
                                                        QtNameFilter(StdStringToQString(filter)));
    if (answer.isEmpty()) {
        qDebug() << answer;
        return std::string();
    }
    StoreLastDirectory(answer);
    return QStringToStdString(answer);
}

QString SaveStartPathQString(const QString& defaultPath)
{
    QString directory;
    QString name;
    if (!defaultPath.isEmpty()) {
        SetGlobalLocaleJapanese();
        directory = FileNameDirectoryQString(defaultPath);
        name = GetFileNameQString(defaultPath);
    }
    if (directory.isEmpty())
        directory = GetLastDirectory();
    if (name.isEmpty())
        name = "default";
    return directory + "/" + name;
}

QString SelectSaveFileNameQString(QWidget* parent, const QString& caption, const QString& filter,
                                  const QString& defaultPath)
{
    const QString start = SaveStartPathQString(defaultPath);
    const QString answer = QFileDialog::getSaveFileName(parent, caption, start, QtNameFilter(filter));
    if (!answer.isEmpty())
        StoreLastDirectory(answer);
    return answer;
}
