#include "fgraph/LwFileDialogs.h"
#include "BarnTestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <locale>

namespace {

// Runs each test in its own scratch working directory, where "filepath.ini"
// lives. The remembered directory in memory is process-wide, so every test
// first stores a choice of its own.
class LwFileDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder_.File(""))));
    }
    void TearDown() override
    {
        QDir::setCurrent(previous_);
        std::locale::global(std::locale::classic());
    }
    std::string IniPath() const { return folder_.File("filepath.ini"); }

    barn_test::ScratchFolder folder_;
    QString previous_;
};

TEST_F(LwFileDialogsTest, FileNameIsFilepathIni)
{
    EXPECT_EQ(LastDirectoryFileName(), QString("filepath.ini"));
}

TEST_F(LwFileDialogsTest, MissingFileReadsEmpty)
{
    EXPECT_EQ(ReadLastDirectoryFile(), QString());
}

TEST_F(LwFileDialogsTest, StoreWritesTheDirectoryWithoutLineBreak)
{
    StoreLastDirectory("C:/data/run1/a.xml_cl");
    EXPECT_EQ(barn_test::ReadBytes(IniPath()), "C:/data/run1");
    EXPECT_EQ(GetLastDirectory(), QString("C:/data/run1"));
    // A later run in the same working directory reads it back.
    EXPECT_EQ(ReadLastDirectoryFile(), QString("C:/data/run1"));
}

TEST_F(LwFileDialogsTest, ReadTakesTheFirstLineOnly)
{
    barn_test::WriteBytes(IniPath(), "/home/u/data\r\n/other\n");
    EXPECT_EQ(ReadLastDirectoryFile(), QString("/home/u/data"));
}

TEST_F(LwFileDialogsTest, EmptyDirectoryIsReadAgainAtEveryCall)
{
    StoreLastDirectory("a.txt");  // no separator: the empty directory
    EXPECT_EQ(barn_test::ReadBytes(IniPath()), "");
    EXPECT_EQ(GetLastDirectory(), QString());
    barn_test::WriteBytes(IniPath(), "/from/another/run");
    EXPECT_EQ(GetLastDirectory(), QString("/from/another/run"));
    StoreLastDirectory("/x");  // separator at index 0: empty again
    EXPECT_EQ(barn_test::ReadBytes(IniPath()), "");
}

TEST_F(LwFileDialogsTest, AnotherWorkingDirectoryKeepsItsOwnFile)
{
    StoreLastDirectory("/first/dir/f.csv");
    barn_test::ScratchFolder other;
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(other.File(""))));
    EXPECT_EQ(ReadLastDirectoryFile(), QString());
    StoreLastDirectory("/second/dir/g.csv");
    EXPECT_EQ(barn_test::ReadBytes(other.File("filepath.ini")), "/second/dir");
    EXPECT_EQ(barn_test::ReadBytes(IniPath()), "/first/dir");
}

TEST_F(LwFileDialogsTest, UnwritableFileKeepsTheDirectoryInMemory)
{
    // A folder in the place of the file makes it unwritable, also for root.
    ASSERT_TRUE(QDir().mkdir("filepath.ini"));
    StoreLastDirectory("/kept/in/memory.txt");
    EXPECT_EQ(GetLastDirectory(), QString("/kept/in"));
}

TEST_F(LwFileDialogsTest, SaveStartPathsUseTheRememberedDirectory)
{
    StoreLastDirectory("/data/run2/x.pdf");
    EXPECT_EQ(SaveStartPath(""), QString("/data/run2/default"));
    EXPECT_EQ(SaveStartPath("default.pdf"), QString("/data/run2/default.pdf"));
    EXPECT_EQ(SaveStartPathQString("default.csv"), QString("/data/run2/default.csv"));
    EXPECT_EQ(SaveStartPathQString(""), QString("/data/run2/default"));
    // A default path with a directory keeps it (with its separator).
    EXPECT_EQ(SaveStartPathQString("/elsewhere/w.csv"), QString("/elsewhere//w.csv"));
}

// Answers the next file dialog: selects `name` and accepts, or rejects when
// `name` is empty.
void AnswerNextDialog(const QString& name)
{
    QTimer::singleShot(0, [name] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return AnswerNextDialog(name);
        if (name.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(name);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
}

TEST_F(LwFileDialogsTest, OpenDialogStoresAcceptedChoiceAndIgnoresCancel)
{
    const std::string dataDir = folder_.File("data");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dataDir)));
    barn_test::WriteBytes(dataDir + "/c.xml_cl", "x");
    StoreLastDirectory(QString::fromStdString(dataDir + "/c.xml_cl"));

    AnswerNextDialog("");
    barn_test::WriteBytes(IniPath(), "untouched");
    EXPECT_EQ(GetOpenFileNameQString(nullptr, "select cluster", "Cluster(*.xml_cl;*.xyz)"), QString());
    EXPECT_EQ(barn_test::ReadBytes(IniPath()), "untouched");

    AnswerNextDialog("c.xml_cl");
    const QString chosen = GetOpenFileNameQString(nullptr, "select cluster", "Cluster(*.xml_cl;*.xyz)");
    EXPECT_EQ(chosen, QString::fromStdString(dataDir + "/c.xml_cl"));
    EXPECT_EQ(barn_test::ReadBytes(IniPath()), dataDir);
}

}  // namespace
