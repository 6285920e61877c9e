// Saving Barn documents, the same for both file classes: when the file is
// written, that a failed or abandoned save keeps the old file whole, and
// that the destructor saves only an unsaved, complete document.

#include "core/LwBarnFile.h"
#include "core/LwQBarnFile.h"
#include "BarnTestFiles.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using barn_test::ErrorText;
using barn_test::LoadSaveSample;
using barn_test::MakeSample;
using barn_test::ReadBytes;
using barn_test::SampleDocument;
using barn_test::ScratchFolder;
using barn_test::WriteBytes;

namespace {

struct RuntimeFile
{
    using Document = LwBarnFile;
    static std::unique_ptr<Document> Open(const std::string& file, const char* mode)
    {
        return std::make_unique<Document>(file, mode);
    }
    static std::string WriteFailure(const std::string& file) { return "Cannot File Write " + file; }
};

struct QtFile
{
    using Document = LwQBarnFile;
    static std::unique_ptr<Document> Open(const std::string& file, const char* mode)
    {
        return std::make_unique<Document>(QString::fromStdString(file), QString(mode));
    }
    static std::string WriteFailure(const std::string& file) { return "FILE CANNOT WRITE:" + file; }
};

const char* const kOldText = "<old><v>1</v></old>\n";

template <class FileClass>
SampleDocument ReadSample(const std::string& file)
{
    auto doc = FileClass::Open(file, "r");
    SampleDocument d;
    EXPECT_TRUE(LoadSaveSample(d, *doc));
    return d;
}

}  // namespace

template <class FileClass>
class BarnFileSaveTest : public ::testing::Test
{
protected:
    ScratchFolder folder_;
    const std::string file_ = folder_.File("doc.xml");
    const std::vector<std::string> onlyTheDocument_{"doc.xml"};
};

using FileClasses = ::testing::Types<RuntimeFile, QtFile>;
TYPED_TEST_SUITE(BarnFileSaveTest, FileClasses);

TYPED_TEST(BarnFileSaveTest, DestructorSavesAnUnsavedDocumentAndNothingComesEarlier)
{
    WriteBytes(this->file_, kOldText);
    {
        auto doc = TypeParam::Open(this->file_, "w");
        SampleDocument d = MakeSample();
        LoadSaveSample(d, *doc);
        EXPECT_EQ(ReadBytes(this->file_), kOldText);
    }
    EXPECT_EQ(ReadSample<TypeParam>(this->file_), MakeSample());
    EXPECT_EQ(this->folder_.Names(), this->onlyTheDocument_);
}

TYPED_TEST(BarnFileSaveTest, DestructorAfterSaveDoesNotWriteAgain)
{
    {
        auto doc = TypeParam::Open(this->file_, "w");
        SampleDocument d = MakeSample();
        LoadSaveSample(d, *doc);
        doc->Save();
        EXPECT_EQ(ReadSample<TypeParam>(this->file_), MakeSample());
        WriteBytes(this->file_, "changed after saving");
    }
    EXPECT_EQ(ReadBytes(this->file_), "changed after saving");
}

TYPED_TEST(BarnFileSaveTest, SaveCanBeRepeatedAndWritesTheFirstTopLevelRack)
{
    auto doc = TypeParam::Open(this->file_, "w");
    doc->OpenRack("a");
    doc->Save();
    EXPECT_EQ(ReadBytes(this->file_), "<a></a>\n");
    int n = 3;
    doc->ValueInt("n", n, 0);
    doc->CloseRack("a");
    doc->OpenRack("b");
    doc->CloseRack("b");
    doc->Save();
    EXPECT_EQ(ReadBytes(this->file_), "<a><n>3</n>\n</a>\n");
    EXPECT_EQ(this->folder_.Names(), this->onlyTheDocument_);
}

TYPED_TEST(BarnFileSaveTest, EmptyDocumentWritesAnEmptyFile)
{
    WriteBytes(this->file_, kOldText);
    TypeParam::Open(this->file_, "w")->Save();
    EXPECT_EQ(ReadBytes(this->file_), "");
}

TYPED_TEST(BarnFileSaveTest, ReadModeSaveWritesNothing)
{
    WriteBytes(this->file_, kOldText);
    {
        auto doc = TypeParam::Open(this->file_, "r");
        doc->Save();
        ASSERT_TRUE(doc->OpenRack("old"));  // consumes the tree
        doc->CloseRack("old");
    }
    EXPECT_EQ(ReadBytes(this->file_), kOldText);
}

TYPED_TEST(BarnFileSaveTest, ExceptionWhileBuildingKeepsTheOldFile)
{
    WriteBytes(this->file_, kOldText);
    EXPECT_THROW(
        {
            auto doc = TypeParam::Open(this->file_, "w");
            doc->OpenRack("SampleDocument");
            throw std::runtime_error("serializer failed half way");
        },
        std::runtime_error);
    EXPECT_EQ(ReadBytes(this->file_), kOldText);
    EXPECT_EQ(this->folder_.Names(), this->onlyTheDocument_);
}

TYPED_TEST(BarnFileSaveTest, WriteFailureIsReportedAndKeepsTheOldFile)
{
    WriteBytes(this->file_, kOldText);
    auto doc = TypeParam::Open(this->file_, "w");
    doc->OpenRack("d");
    std::string block(4096, 'x');
    for (int i = 0; i < 64; ++i)
        doc->ValueRawString("b", block, "");
    doc->CloseRack("d");
    const size_t documentSize = 64u * (3 + 4096 + 5) + 3 + 5;
    {
        barn_test::FileSizeLimit limit(documentSize / 3);
        EXPECT_EQ(ErrorText([&] { doc->Save(); }), TypeParam::WriteFailure(this->file_));
    }
    EXPECT_EQ(ReadBytes(this->file_), kOldText);
    EXPECT_EQ(this->folder_.Names(), this->onlyTheDocument_);
    // With room again the same document saves completely.
    doc->Save();
    EXPECT_EQ(ReadBytes(this->file_).size(), documentSize);
}
