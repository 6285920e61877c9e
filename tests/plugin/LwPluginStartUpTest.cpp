// The plug-in command line, the menu file of each program and the start-up
// that goes on when the menu file cannot be written.
#include "plugin/LwPluginFuncZyvra.h"
#include "ErrorText.h"
#include "StandinViewer.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// Runs InitSetCmdline on `args` (argv[0] first); its error text.
std::string ReadCommandLine(LwPluginFuncZyvra& client, std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return ErrorText([&] { client.InitSetCmdline(static_cast<int>(argv.size()), argv.data()); });
}

std::string FileText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "(no file)";
    return f.readAll().toStdString();
}

TEST(LwPluginCommandLine, PortAndLocalServerName)
{
    const std::string refused = "Port number is out of range (1 to 65535): ";
    const std::string notNumber = "Port number is not a number: ";
    const std::string signature = "/void LwPluginFuncZyvra::InitSetCmdline(int, char**)";
    struct Case
    {
        const char* what;
        std::vector<std::string> args;
        std::int32_t port;
        std::string name;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"both", {"prog", "-P", "15000", "-L", "pipe"}, 15000, "pipe", "(no error)"},
        {"-P last is no option", {"prog", "-P"}, 14112, "zyvraimage", "(no error)"},
        {"later wins", {"prog", "-P", "1", "-P", "2", "-L", "a", "-L", "b"}, 2, "b", "(no error)"},
        {"leading blanks, trailing text", {"prog", "-P", " 123x"}, 123, "zyvraimage", "(no error)"},
        {"values are examined as options", {"prog", "-L", "-P", "77"}, 77, "-P", "(no error)"},
        {"UTF-8 name",
         {"prog", "-L", "\xe7\x94\xbb\xe5\x83\x8f"},
         14112,
         "\xe7\x94\xbb\xe5\x83\x8f",
         "(no error)"},
        {"no digits", {"prog", "-P", "abc"}, 14112, "zyvraimage", notNumber + "abc" + signature},
        {"a sign alone", {"prog", "-P", " -"}, 14112, "zyvraimage", notNumber + " -" + signature},
        {"the last refusal is named",
         {"prog", "-P", "0", "-P", "x1"},
         14112,
         "zyvraimage",
         notNumber + "x1" + signature},
        {"the last refusal is named, a number",
         {"prog", "-P", "x1", "-P", "0"},
         14112,
         "zyvraimage",
         refused + "0" + signature},
        {"zero", {"prog", "-P", "0"}, 14112, "zyvraimage", refused + "0" + signature},
        {"above 65535", {"prog", "-P", "70000", "-L", "x"}, 14112, "x", refused + "70000" + signature},
        {"no 16-bit wrap (would be 21045)",
         {"prog", "-P", "152117"},
         14112,
         "zyvraimage",
         refused + "152117" + signature},
        {"negative", {"prog", "-P", "-1"}, 14112, "zyvraimage", refused + "-1" + signature},
        {"overflow",
         {"prog", "-P", "99999999999999999999"},
         14112,
         "zyvraimage",
         refused + "99999999999999999999" + signature},
        {"negative overflow",
         {"prog", "-P", "-99999999999999999999"},
         14112,
         "zyvraimage",
         refused + "-99999999999999999999" + signature},
        {"highest", {"prog", "-P", "65535"}, 65535, "zyvraimage", "(no error)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LwPluginFuncZyvra client;
        EXPECT_EQ(c.error, ReadCommandLine(client, c.args));
        EXPECT_EQ(c.port, client.Port());
        EXPECT_EQ(c.name, client.LocalServerName().toStdString());
        EXPECT_EQ("prog", client.ProgramPath());
    }
}

class MenuFileTest : public ::testing::Test
{
protected:
    QString dir_ = QDir::tempPath();
};

TEST_F(MenuFileTest, EachProgramWritesItsMenuFile)
{
    struct Case
    {
        const char* program;
        std::vector<std::string> entry;  // Parameter, TitleMenu, TitleSubmenu, Title
        std::string text;
    };
    const std::vector<Case> cases = {
        {"halvane.exe",
         {"-O", "PEH", "", "RFA: Background: Spherical Harmonics"},
         "<ZYVRA-MENU><FileLoaderExtWithComma_></FileLoaderExtWithComma_>\n<menuList><i><Exe>halvane.exe</"
         "Exe>\n"
         "<Parameter>-O</Parameter>\n<Title>RFA: Background: Spherical Harmonics</Title>\n"
         "<TitleSubmenu></TitleSubmenu>\n<TitleMenu>PEH</TitleMenu>\n</i>\n</menuList>\n</ZYVRA-MENU>\n"},
        {"velmora",
         {"-S", "XFH", "", "Simulation for X-ray fluorescence hologram[fast]"},
         "<ZYVRA-MENU><FileLoaderExtWithComma_></FileLoaderExtWithComma_>\n<menuList><i><Exe>velmora</Exe>\n"
         "<Parameter>-S</Parameter>\n<Title>Simulation for X-ray fluorescence hologram[fast]</Title>\n"
         "<TitleSubmenu></TitleSubmenu>\n<TitleMenu>XFH</TitleMenu>\n</i>\n</menuList>\n</ZYVRA-MENU>\n"},
        {"a&b.exe",
         {"-X", "M&", "S", "T&"},
         "<ZYVRA-MENU><FileLoaderExtWithComma_></FileLoaderExtWithComma_>\n<menuList><i><Exe>a&amp;b.exe</"
         "Exe>\n"
         "<Parameter>-X</Parameter>\n<Title>T&amp;</Title>\n<TitleSubmenu>S</TitleSubmenu>\n"
         "<TitleMenu>M&amp;</TitleMenu>\n</i>\n</menuList>\n</ZYVRA-MENU>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        LwPluginFuncZyvra client;
        client.InitMenuAdd(c.entry[0], c.entry[1], c.entry[2], c.entry[3]);
        ReadCommandLine(client, {(dir_ + "/" + c.program).toStdString()});
        client.InitMenuFileWrite();
        QString menu = dir_ + "/" + c.program;
        if (menu.endsWith(".exe"))
            menu.chop(4);
        EXPECT_EQ(c.text, FileText(menu + ".menu"));
        QFile::remove(menu + ".menu");
    }
}

TEST_F(MenuFileTest, ADotInAFolderNameIsNoExtension)
{
    ASSERT_TRUE(QDir(dir_).mkpath("a.b"));
    LwPluginFuncZyvra client;
    client.InitMenuAdd("-O", "PEH", "", "t");
    ReadCommandLine(client, {(dir_ + "/a.b/prog").toStdString()});
    client.InitMenuFileWrite();
    EXPECT_TRUE(QFile::exists(dir_ + "/a.b/prog.menu"));
    EXPECT_EQ("prog", client.MenuEntries().at(0).Exe);
    QDir(dir_ + "/a.b").removeRecursively();
}

// A program folder that cannot be written (here one that does not exist,
// which fails for every user): the error names the file, and the start-up
// reports it and the refused port and still connects.
TEST_F(MenuFileTest, UnwritableMenuFileIsReportedAndStartUpGoesOn)
{
    const std::string program = (dir_ + "/missing/halvane").toStdString();
    standin::StandinViewer viewer;
    ASSERT_TRUE(viewer.Start(0, ""));
    LwPluginFuncZyvra client;
    client.InitMenuAdd("-O", "PEH", "", "RFA: Background: Spherical Harmonics");
    std::vector<std::string> args = {program, "-P", std::to_string(viewer.Port()), "-P", "0", "-"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    const std::vector<std::string> reports =
        LwPluginStartUp(client, static_cast<int>(argv.size()), argv.data(), false);
    const std::vector<std::string> expected = {
        "Port number is out of range (1 to 65535): 0/void LwPluginFuncZyvra::InitSetCmdline(int, char**)",
        "The menu file through which the image viewer lists this program cannot be written\nCannot File "
        "Open " +
            program + ".menu/void LwPluginFuncZyvra::InitMenuFileWrite()"};
    EXPECT_EQ(expected, reports);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(viewer.Port(), client.Port());
}

}  // namespace
