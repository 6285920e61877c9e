#pragma once
// File helpers of the Barn file tests: a scratch folder, whole-file reads and
// writes, and a limit on the size of files this process may write (the way to
// make a write fail like a full disk, for root too).

#include "core/LwBarnXml.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace barn_test {

class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lwbarnXXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Names of the files in the folder (to see that no temporary file stays).
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// While alive, files this process writes cannot grow past `bytes`: a write
// beyond fails with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

// A small document type with one serializer for both directions, as every
// document of the suite has.
struct SampleDocument
{
    std::string title;
    double temperature = 0;
    LwLong count = 0;
    bool flag = false;
    std::vector<double> energies;
    std::vector<std::string> labels;

    bool operator==(const SampleDocument& o) const
    {
        return title == o.title && temperature == o.temperature && count == o.count && flag == o.flag &&
               energies == o.energies && labels == o.labels;
    }
};

inline bool LoadSaveSample(SampleDocument& d, LwBarnXml& doc)
{
    if (!doc.OpenRack("SampleDocument"))
        return false;
    doc.ValueString("Title", d.title, "");
    doc.ValueDouble("Temperature_K_", d.temperature, -1);
    doc.ValueLong("Count", d.count, -1);
    doc.ValueBool("Flag", d.flag, false);
    doc.ValueVectorDouble("Energies", d.energies);
    doc.ValueVectorString("Labels", d.labels);
    doc.CloseRack("SampleDocument");
    return true;
}

inline SampleDocument MakeSample()
{
    SampleDocument d;
    d.title = "Caf\xC3\xA9 <\xCE\xB1-Fe\xE2\x82\x82O\xE2\x82\x83> & \"\xE6\xB8\xAC\xE5\xAE\x9A\"";
    d.temperature = 300;
    d.count = -12;
    d.flag = true;
    d.energies = {0.5, 1.25, 1000};
    d.labels = {"\xC3\x85ngstr\xC3\xB6m", "a&b", ""};
    return d;
}

}  // namespace barn_test
