#include "core/LwFileQt.h"

#include "core/LwError.h"

#include <QByteArray>

#include <cassert>

namespace {

std::string ToStdString(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

LwFileQt::LwFileQt(const QString& fileName, const std::string& mode)
{
    if (mode == "r")
        OpenRead(fileName);
    else if (mode == "w")
        OpenWrite(fileName);
    else
        throw LwError("LwFileQt::Undefined mode");
}

LwFileQt::~LwFileQt()
{
    file_.close();
}

void LwFileQt::OpenRead(const QString& fileName)
{
    // Binary mode: line ends are handled here, not by Qt's text-mode
    // translation, so that ReadAll keeps CR LF as it stands.
    file_.setFileName(fileName);
    if (!file_.open(QIODevice::ReadOnly))
        throw LwError("FILE CANNOT OPEN:" + fileName.toStdString());
}

void LwFileQt::OpenWrite(const QString& fileName)
{
    file_.setFileName(fileName);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw LwError("FILE CANNOT OPEN:" + fileName.toStdString());
}

void LwFileQt::ReadLine(std::string& line)
{
    // A file opened for writing has nothing to read (and Qt would complain
    // on the debug output).
    if (!file_.isReadable()) {
        line.clear();
        return;
    }
    QByteArray bytes = file_.readLine();
    if (bytes.endsWith('\n')) {
        bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
    }
    line = ToStdString(bytes);
}

bool LwFileQt::AtEnd()
{
    return !file_.isReadable() || file_.atEnd();
}

void LwFileQt::ReadAll(std::string& text)
{
    text = file_.isReadable() ? ToStdString(file_.readAll()) : std::string();
}

void LwFileQt::ReadAllLines(std::vector<std::string>& lines)
{
    std::string line;
    while (!AtEnd()) {
        ReadLine(line);
        lines.push_back(line);
    }
}

void LwFileQt::Write(const std::string& text)
{
    assert(file_.isWritable() && "LwFileQt::Write on a file opened for reading");
    if (!file_.isWritable())
        return;
    file_.write(text.data(), static_cast<qint64>(text.size()));
}

void LwFileQt::WriteLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    if (!text.empty())
        Write(text);
}
