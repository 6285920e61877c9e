#pragma once
// LwFile on a Qt file. Bytes pass through unchanged in both directions: what
// Write is given is what the file holds, and what the file holds is what the
// readers hand back, so UTF-8 text (or any other bytes) is neither re-encoded
// nor cut at a NUL. Line ends are LF; a CR directly before an LF is taken off
// with it, a CR anywhere else stays in the line.
//
// Writing is buffered; the text reaches the disk at the latest when the
// object is destroyed. An LwFileQt belongs to the thread that made it.

#include "core/LwFile.h"

#include <QFile>
#include <QString>

#include <string>
#include <vector>

class LwFileQt : public LwFile
{
public:
    // Mode "r": open for reading; mode "w": create or truncate for writing.
    // Any other mode (the comparison is exact) throws
    // "LwFileQt::Undefined mode" before anything is opened; a file that cannot
    // be opened throws "FILE CANNOT OPEN:" followed by its name.
    LwFileQt(const QString& fileName, const std::string& mode);
    // Closes the file, writing what is still buffered.
    ~LwFileQt();
    LwFileQt(const LwFileQt&) = delete;
    LwFileQt& operator=(const LwFileQt&) = delete;

    void ReadLine(std::string& line) override;
    bool AtEnd() override;
    void ReadAll(std::string& text) override;
    void ReadAllLines(std::vector<std::string>& lines) override;
    void Write(const std::string& text) override;
    void WriteLines(const std::vector<std::string>& lines) override;

private:
    void OpenRead(const QString& fileName);
    void OpenWrite(const QString& fileName);

    QFile file_;
};
