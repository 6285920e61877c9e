#pragma once
// A new version of a file, written beside it and put in its place in one
// step: whoever opens the name sees either the old file or the complete new
// one, never a part of it, and a failed or abandoned write leaves the old
// file as it was.
//
// The name is taken exactly as the bytes given: no encoding conversion, so a
// name that is not valid UTF-8 (or not valid in the locale) is written under
// those very bytes. The temporary file is ".lw" and six random characters in
// the target's folder: its name always fits the file system's limit, however
// long the target's own name is. A new file gets the permissions 0666 less
// the umask, an existing one keeps its own. A symbolic link is followed: the
// file it points to is replaced and the link stays.
//
// An object belongs to one thread; it never throws.

#include <cstddef>
#include <string>

class LwAtomicFile
{
public:
    explicit LwAtomicFile(std::string fileName);
    // Removes the temporary file unless Commit has put it in place.
    ~LwAtomicFile();
    LwAtomicFile(const LwAtomicFile&) = delete;
    LwAtomicFile& operator=(const LwAtomicFile&) = delete;

    // Creates the temporary file (again, after a Commit or Discard). False
    // when the target's folder cannot take it; the target is not touched.
    bool Open();
    bool IsOpen() const { return fd_ >= 0; }
    // Appends bytes (buffered). False once any write has failed: the file is
    // then incomplete and Commit refuses it.
    bool Write(const char* data, std::size_t size);
    // Writes what is buffered, flushes it to the disk and renames the
    // temporary file to the target. False on any failure, the temporary file
    // then being removed and the target left as it was.
    bool Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();

    const std::string& FileName() const { return fileName_; }

private:
    bool Flush();

    std::string fileName_;
    std::string tempName_;
    std::string buffer_;
    int fd_ = -1;
    bool failed_ = false;
};
