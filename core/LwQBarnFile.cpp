#include "core/LwQBarnFile.h"

#include "core/LwAtomicFile.h"
#include "core/LwError.h"

#include <QFile>
#include <QTextStream>

#include <exception>
#include <limits>
#include <new>

LwQBarnFile::LwQBarnFile(const QString& fileName, const QString& mode)
    : LwQBarnXml(mode), fileName_(fileName), uncaughtAtConstruction_(std::uncaught_exceptions())
{
    if (!IsWriteMode())
        Load();
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
    if (!file.open(QIODevice::ReadOnly))
        throw LwError("Cannot open:" + name);
    // The document's offsets are 32-bit.
    if (file.size() > std::numeric_limits<LwLong>::max())
        throw LwError("Cannot get the temp memory for xml loading");

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
    if (file.error() != QFileDevice::NoError)
        throw LwError("Cannot open:" + name);
    file.close();
    SetDocumentText(std::move(text));

    SetStatusText("Analyzing...");
    SetState(StateAnalyzing);
    AnalyzeTagStructure();
    SetState(StateDone);
}

void LwQBarnFile::Save()
{
    if (!IsWriteMode())
        return;
    saved_ = true;
    const LwError failure("FILE CANNOT WRITE:" + fileName_.toUtf8().toStdString());
    LwAtomicFile file(nativeFileName_.empty() ? QFile::encodeName(fileName_).toStdString() : nativeFileName_);
    if (!file.Open())
        throw failure;
    bool written = true;
    if (!Root()->Children().empty())
        WriteRackText(*Root()->Children().front(), [&](std::string_view piece) {
            // Through a QString, as the text stream does: bytes that are not
            // UTF-8 become replacement characters.
            const QByteArray utf8 = QString::fromUtf8(piece.data(), static_cast<int>(piece.size())).toUtf8();
            written = file.Write(utf8.constData(), static_cast<std::size_t>(utf8.size())) && written;
        });
    if (!written || !file.Commit())
        throw failure;
}

void LwQBarnFile::WriteRack(const LwBarnXmlRack& rack, QTextStream& stream)
{
    WriteRackText(rack, [&stream](std::string_view piece) {
        stream << QString::fromUtf8(piece.data(), static_cast<int>(piece.size()));
    });
}
