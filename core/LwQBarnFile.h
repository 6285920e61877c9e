#pragma once
// A Barn document on a file through Qt, every text taken as UTF-8.
//
// Mode "r": the constructor reads the file line by line through a UTF-8 text
// stream and parses it. Lines are joined without their line ends (LF or
// CR LF), so line breaks between tags do not matter, and a value that spans
// several lines loses its line breaks (a value a LF b reads as "ab").
//
// Mode "w": no file is touched until Save, which writes the first top-level
// rack as UTF-8 (LF line ends, no byte-order mark) to a temporary file beside
// the target and then replaces the target with it, so a failed save leaves
// the old file as it was (LwAtomicFile). The destructor saves a document on which Save never
// ran, swallowing any error, and saves nothing when it runs because an
// exception is propagating (the tree is then incomplete); callers that need
// the error call Save themselves.

#include "core/LwQBarnXml.h"

#include <QString>

#include <string>
#include <utility>

class QTextStream;

class LwQBarnFile : public LwQBarnXml
{
public:
    // Throws LwError: "IlligalMode"; mode "r": "Cannot open:<name>",
    // "Cannot get the temp memory for xml loading" (a file of 2 GiB or more),
    // "Illigal Tag Structure".
    LwQBarnFile(const QString& fileName, const QString& mode);
    ~LwQBarnFile() override;

    // Loads and parses the file.
    void Load();
    // Write mode: marks the document saved, then writes it; throws
    // "FILE CANNOT WRITE:<name>" when the file cannot be written completely
    // (the destructor does not try again). May be called again to write the
    // file again. Read mode: nothing.
    void Save();
    // Writes `rack` and its subtree to `stream`, each text converted from
    // UTF-8 (byte sequences that are not UTF-8 become replacement characters).
    void WriteRack(const LwBarnXmlRack& rack, QTextStream& stream);

    const QString& FileName() const { return fileName_; }
    // The name as the bytes the file system knows it by, for Save. Without
    // one, Save uses QFile::encodeName of FileName(); a name whose bytes are
    // not valid in the locale's encoding can only be reached this way, since
    // a QString cannot hold such bytes.
    void SetNativeFileName(std::string bytes) { nativeFileName_ = std::move(bytes); }

private:
    QString fileName_;
    std::string nativeFileName_;
    bool saved_ = false;
    int uncaughtAtConstruction_ = 0;
};
