#include "core/LwAtomicFile.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Bytes collected before a write to the file: the serializers hand over many
// short pieces.
constexpr std::size_t kBufferSize = 1 << 16;

// The file a name stands for: a symbolic link is followed (to its final
// target) so that saving replaces that file and keeps the link; a dangling
// link or any other name is used as it stands.
std::string ResolvedTarget(const std::string& fileName)
{
    struct stat info
    {};
    if (lstat(fileName.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return fileName;
    char* real = realpath(fileName.c_str(), nullptr);
    if (!real)
        return fileName;
    std::string target(real);
    std::free(real);
    return target;
}

// The folder part of a path, with its final '/', or empty for a bare name.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string RandomSuffix(std::mt19937_64& random)
{
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s(6, 'x');
    for (char& c : s)
        c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    return s;
}

}  // namespace

LwAtomicFile::LwAtomicFile(std::string fileName) : fileName_(std::move(fileName)) {}

LwAtomicFile::~LwAtomicFile()
{
    Discard();
}

bool LwAtomicFile::Open()
{
    Discard();
    const std::string target = ResolvedTarget(fileName_);
    // A folder (or a name ending in '/') cannot be replaced by a file.
    struct stat info
    {};
    if (target.empty() || target.back() == '/' || (stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)))
        return false;
    const std::string folder = FolderOf(target);
    std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        static_cast<std::uint64_t>(getpid()));
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        tempName_ = folder + ".lw" + RandomSuffix(random);
        fd_ = ::open(tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        tempName_.clear();
        return false;
    }
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        fchmod(fd_, info.st_mode & 07777);
    failed_ = false;
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    return true;
}

bool LwAtomicFile::Write(const char* data, std::size_t size)
{
    if (fd_ < 0 || failed_)
        return false;
    if (buffer_.size() + size > kBufferSize && !Flush())
        return false;
    if (size >= kBufferSize) {
        buffer_.assign(data, size);
        return Flush();
    }
    buffer_.append(data, size);
    return true;
}

bool LwAtomicFile::Flush()
{
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            buffer_.clear();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool LwAtomicFile::Commit()
{
    if (fd_ < 0)
        return false;
    bool ok = !failed_ && Flush() && ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok)
        ok = std::rename(tempName_.c_str(), ResolvedTarget(fileName_).c_str()) == 0;
    if (!ok)
        ::unlink(tempName_.c_str());
    tempName_.clear();
    return ok;
}

void LwAtomicFile::Discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempName_.empty())
        ::unlink(tempName_.c_str());
    tempName_.clear();
    buffer_.clear();
    failed_ = false;
}
