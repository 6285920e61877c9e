#include "core/LwQBarnFile.h"

#include "core/LwError.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <exception>
#include <limits>
#include <new>

LwQBarnFile::LwQBarnFile(const QString& fileName, const QString& mode)
    : LwQBarnXml(mode), fileName_(fileName), uncaughtAtConstruction_(std::uncaught_exceptions())
{
    if (!IsWriteMode()) Load();
}

LwQBarnFile::~LwQBarnFile()
{
    // A destructor run by a propagating exception finds a half-built tree;
    // writing it would replace a good file with a truncated document.
    if (!saved_ && std::uncaught_exceptions() <= uncaughtAtConstruction_) {
        try {
            Save();
        } catch (...) {
            // Nothing can be reported from here; callers that need the error
            // call Save themselves.
        }
    }
}

void LwQBarnFile::Load()
{
    SetStatusText("Loading....");
    SetState(StateLoading);
    const std::string name = fileName_.toUtf8().toStdString();
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) throw LwError("Cannot open:" + name);
    // The document's offsets are 32-bit.
    if (file.size() > std::numeric_limits<LwLong>::max()) throw LwError("Cannot get the temp memory for xml loading");

    std::string text;
    try {
        text.reserve(static_cast<std::size_t>(file.size()) + 256);
    } catch (const std::bad_alloc&) {
        throw LwError("Cannot get the temp memory for xml loading");
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    while (!stream.atEnd()) {
        const QByteArray line = stream.readLine().toUtf8();
        text.append(line.constData(), static_cast<std::size_t>(qstrnlen(line.constData(), line.size())));
    }
    if (file.error() != QFileDevice::NoError) throw LwError("Cannot open:" + name);
    file.close();
    SetDocumentText(std::move(text));

    SetStatusText("Analyzing...");
    SetState(StateAnalyzing);
    AnalyzeTagStructure();
    SetState(StateDone);
}

void LwQBarnFile::Save()
{
    if (!IsWriteMode()) return;
    saved_ = true;
    const LwError failure("FILE CANNOT WRITE:" + fileName_.toUtf8().toStdString());
    // The new document goes to a temporary file in the target's folder and
    // replaces the target by a rename once it is complete.
    QSaveFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly)) throw failure;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    stream.setGenerateByteOrderMark(false);
    if (!Root()->Children().empty()) WriteRack(*Root()->Children().front(), stream);
    stream.flush();
    if (stream.status() != QTextStream::Ok || !file.commit()) throw failure;
}

void LwQBarnFile::WriteRack(const LwBarnXmlRack& rack, QTextStream& stream)
{
    WriteRackText(rack, [&stream](std::string_view piece) {
        stream << QString::fromUtf8(piece.data(), static_cast<int>(piece.size()));
    });
}
