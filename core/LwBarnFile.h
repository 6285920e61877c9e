#pragma once
// A Barn document on a file, bytes moved unchanged.
//
// Mode "r": the constructor reads the whole file and parses it; afterwards
// no file is open and the document is ready for a serializer. Line ends CR LF
// are read as LF, so a document written on Windows reads like its LF twin;
// a zero byte ends the document text.
//
// Mode "w": the constructor prepares the output (a temporary file beside the
// target, so an unwritable folder fails at once; see LwAtomicFile); a
// serializer builds the
// tree; Save writes the first top-level rack and only then replaces the
// target, so a failed save leaves the old file as it was. Call Save
// explicitly: its errors (disk full, ...) reach the caller only then. The
// destructor saves a document that was never saved, swallowing any error,
// and saves nothing when it runs because an exception is propagating (the
// tree is then incomplete).

#include "core/LwBarnXml.h"

#include <memory>
#include <string>

class LwAtomicFile;

class LwBarnFile : public LwBarnXml
{
public:
    // Throws LwError: "IlligalMode"; mode "r": "<name>: Cannot File Open",
    // "Cannot get the temp memory for xml loading" (also for files of 2 GiB
    // and more, whose offsets do not fit the document), "Illigal Tag
    // Structure"; mode "w": "Cannot File Open <name>".
    LwBarnFile(const std::string& fileName, const std::string& mode);
    // A document of that mode with no file name; nothing is read or
    // prepared until Load names the file.
    explicit LwBarnFile(const std::string& mode);
    // Mode "r": the first 4096 bytes of the file must hold the tag
    // "<rootName>", else LwError(errorText); an unreadable file throws
    // "Canot file open <name>"; then the file is loaded as by the first
    // constructor. Mode "w": as the first constructor.
    LwBarnFile(const std::string& fileName, const std::string& mode, const std::string& rootName,
               const std::string& errorText);
    ~LwBarnFile() override;

    // Read mode: loads and parses the file. Write mode: prepares the output.
    void Open();
    // Names the file, then Open.
    void Load(const std::string& fileName);
    // Write mode: writes the document's first top-level rack (nothing when
    // the document has none) and replaces the file with it; may be called
    // again to write the file again. Throws "Cannot File Write <name>" when
    // the file cannot be written completely. Read mode: nothing.
    void Save();
    // Writes `rack` and its subtree to the output being saved, each text up
    // to its first zero byte.
    void WriteRack(const LwBarnXmlRack& rack);

    const std::string& FileName() const { return fileName_; }

private:
    void Load();
    void PrepareOutput(const char* failureText);

    std::unique_ptr<LwAtomicFile> output_;
    std::string fileName_;
    bool saved_ = false;
    int uncaughtAtConstruction_ = 0;
};
