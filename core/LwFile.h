#pragma once
// A text file read or written as lines or as a whole. Texts cross this
// interface as byte strings in UTF-8, exactly as they stand in the file.
//
// Objects are owned and destroyed as their concrete class (callers keep one
// as a local object and hand it to readers as an LwFile&); the destructor is
// protected so that nobody deletes one through this interface.

#include <string>
#include <vector>

class LwFile
{
public:
    // The next line without its line end (LF, or CR LF); the empty text at the
    // end of the file.
    virtual void ReadLine(std::string& line) = 0;
    // True when nothing is left to read.
    virtual bool AtEnd() = 0;
    // The rest of the file, line ends as they stand; empty at the end.
    virtual void ReadAll(std::string& text) = 0;
    // Appends every remaining line (the list is not cleared). A last line
    // without a line end counts; a final line end adds no empty line.
    virtual void ReadAllLines(std::vector<std::string>& lines) = 0;
    virtual void Write(const std::string& text) = 0;
    // Every text followed by "\n".
    virtual void WriteLines(const std::vector<std::string>& lines) = 0;

protected:
    LwFile() = default;
    ~LwFile() = default;
    LwFile(const LwFile&) = default;
    LwFile& operator=(const LwFile&) = default;
};
