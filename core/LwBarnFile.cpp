#include "core/LwBarnFile.h"

#include "core/LwAtomicFile.h"
#include "core/LwError.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <sys/stat.h>

namespace {

const char* const kNoMemory = "Cannot get the temp memory for xml loading";

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Windows text files end their lines with CR LF; the document text keeps a
// single LF, as a text-mode read on Windows gives it. A lone CR stays.
void CrLfToLf(std::string& text)
{
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n')
            continue;
        text[out++] = text[in];
    }
    text.resize(out);
}

}  // namespace

LwBarnFile::LwBarnFile(const std::string& fileName, const std::string& mode)
    : LwBarnXml(mode), fileName_(fileName), uncaughtAtConstruction_(std::uncaught_exceptions())
{
    Open();
}

LwBarnFile::LwBarnFile(const std::string& mode)
    : LwBarnXml(mode), uncaughtAtConstruction_(std::uncaught_exceptions())
{}

LwBarnFile::LwBarnFile(const std::string& fileName, const std::string& mode, const std::string& rootName,
                       const std::string& errorText)
    : LwBarnXml(mode), fileName_(fileName), uncaughtAtConstruction_(std::uncaught_exceptions())
{
    if (!IsWriteMode()) {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName_.c_str(), "r"));
        if (!file)
            throw LwError("Canot file open " + fileName_);
        std::string head(4096, '\0');
        head.resize(std::fread(head.data(), 1, head.size(), file.get()));
        file.reset();
        if (head.find("<" + rootName + ">") == std::string::npos)
            throw LwError(errorText);
    }
    Open();
}

void LwBarnFile::Load(const std::string& fileName)
{
    fileName_ = fileName;
    Open();
}

LwBarnFile::~LwBarnFile()
{
    // A destructor run by a propagating exception finds a half-built tree;
    // writing it would replace a good file with a truncated document.
    if (IsWriteMode() && !saved_ && std::uncaught_exceptions() <= uncaughtAtConstruction_) {
        try {
            Save();
        } catch (...) {
            // Nothing can be reported from here; callers that need the error
            // call Save themselves.
        }
    }
}

void LwBarnFile::Open()
{
    if (IsWriteMode())
        PrepareOutput("Cannot File Open ");
    else
        Load();
}

void LwBarnFile::Load()
{
    SetStatusText("Loading....");
    SetState(StateLoading);
    const std::string openError = fileName_ + ": Cannot File Open";
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName_.c_str(), "r"));
    if (!file)
        throw LwError(openError);

    // The length must be known and fit the document's 32-bit offsets; a
    // directory, pipe or device has no length to trust.
    struct stat info
    {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        throw LwError(openError);
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        throw LwError(openError);
    const long length = std::ftell(file.get());
    if (length < 0)
        throw LwError(openError);
    if (length > std::numeric_limits<LwLong>::max())
        throw LwError(kNoMemory);
    std::rewind(file.get());

    std::string text;
    try {
        text.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        throw LwError(kNoMemory);
    }
    const std::size_t got = std::fread(text.data(), 1, text.size(), file.get());
    SetLoadedMBytes(static_cast<LwLong>(got >> 20));
    if (std::ferror(file.get()))
        throw LwError(openError);
    file.reset();
    text.resize(std::min(got, text.find('\0')));
    CrLfToLf(text);
    SetDocumentText(std::move(text));

    SetStatusText("Analyzing....");
    SetState(StateAnalyzing);
    AnalyzeTagStructure();
    SetState(StateDone);
}

void LwBarnFile::PrepareOutput(const char* failureText)
{
    // The new document goes to a temporary file in the target's folder and
    // replaces the target by a rename once it is complete.
    output_ = std::make_unique<LwAtomicFile>(fileName_);
    if (!output_->Open()) {
        output_.reset();
        throw LwError(failureText + fileName_);
    }
}

void LwBarnFile::Save()
{
    if (!IsWriteMode())
        return;
    saved_ = true;
    if (!output_)
        PrepareOutput("Cannot File Write ");
    try {
        if (!Root()->Children().empty())
            WriteRack(*Root()->Children().front());
        if (!output_->Commit())
            throw LwError("Cannot File Write " + fileName_);
    } catch (...) {
        output_.reset();  // discards the temporary file; the target is untouched
        throw;
    }
    output_.reset();
}

void LwBarnFile::WriteRack(const LwBarnXmlRack& rack)
{
    if (!output_)
        throw LwError("Cannot File Write " + fileName_);
    WriteRackText(rack, [this](std::string_view piece) {
        const std::size_t length = std::min(piece.size(), piece.find('\0'));
        if (length == 0)
            return;
        if (!output_->Write(piece.data(), length))
            throw LwError("Cannot File Write " + fileName_);
    });
}
