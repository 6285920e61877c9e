// The operation log: its text byte by byte, the adders' number texts, the
// escaped values and the "log" key it grows.
#include "apps/halvane/engine/LwProcessLog.h"
#include "ErrorText.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

std::string ProgramName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
}

TEST(LwProcessLog, MoveToCenterRecordIsWrittenByteForByte)
{
    LwProcessLog log;
    log.LogOpen("0.0.5");
    log.LogOpenFunction("MoveToCenter");
    log.LogAddDouble("Sx", 100);
    log.LogAddDouble("Sy", 100);
    const std::string expected = "<app><name>" + ProgramName() +
                                 "</name>\n"
                                 "<ver>0.0.5</ver>\n"
                                 "<func><name>MoveToCenter</name>\n"
                                 "<i><key>Sx</key>\n<value>100</value>\n</i>\n"
                                 "<i><key>Sy</key>\n<value>100</value>\n</i>\n"
                                 "</func>\n"
                                 "</app>\n";
    EXPECT_EQ(log.Render(), expected);
}

TEST(LwProcessLog, LogWithoutRecordsHoldsNameAndVersionOnly)
{
    LwProcessLog log;
    log.LogOpen("0.0.5");
    EXPECT_EQ(log.Render(), "<app><name>" + ProgramName() + "</name>\n<ver>0.0.5</ver>\n</app>\n");
}

TEST(LwProcessLog, AddersWriteTheirDefaultStreamTexts)
{
    LwProcessLog log;
    log.LogOpen("v");
    log.LogOpenFunction("F");
    log.LogAddDouble("a", 128);
    log.LogAddBool("b", false);
    log.LogAddLDouble("c", 90);
    log.LogAddDouble("d", 0.1);
    log.LogAddDouble("e", 1234567);
    log.LogAddInt("f", -42);
    log.LogAddBool("g", true);
    log.LogAddString("h", "a<b&\"c\">");
    const std::string text = log.Render();
    for (const char* item :
         {"<key>a</key>\n<value>128</value>", "<key>b</key>\n<value>false</value>",
          "<key>c</key>\n<value>90</value>", "<key>d</key>\n<value>0.1</value>",
          "<key>e</key>\n<value>1.23457e+06</value>", "<key>f</key>\n<value>-42</value>",
          "<key>g</key>\n<value>true</value>", "<key>h</key>\n<value>a&lt;b&amp;&quot;c&quot;&gt;</value>"}) {
        SCOPED_TRACE(item);
        EXPECT_NE(text.find(item), std::string::npos) << text;
    }
}

TEST(LwProcessLog, AddingBeforeAnyRecordIsRefused)
{
    LwProcessLog log;
    log.LogOpen("0.0.5");
    EXPECT_EQ(ErrorText([&] { log.LogAddInt("x", 1); }), "Please call LogOpenFunction before use this");
    EXPECT_EQ(log.Render().find("<func>"), std::string::npos);
}

TEST(LwProcessLog, TwoRecordsKeepTheirOrder)
{
    LwProcessLog log;
    log.LogOpen("0.0.5");
    log.LogOpenFunction("MaskMcpDip");
    log.LogOpenFunction("MaskOutside");
    log.LogAddDouble("CenterX", 1);
    const std::string text = log.Render();
    const auto first = text.find("<func><name>MaskMcpDip</name>\n</func>\n");
    const auto second = text.find("<func><name>MaskOutside</name>\n<i><key>CenterX</key>");
    ASSERT_NE(first, std::string::npos) << text;
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, second);
}

TEST(LwProcessLog, WriteAppendsOneTextUnderLogAndTouchesNothingElse)
{
    LwInfoStringMap keys{{"log", {"first", "second"}}, {"other", {"x"}}};
    LwProcessLog log;
    log.LogOpen("0.0.5");
    log.LogWrite(keys);
    ASSERT_EQ(keys["log"].size(), 3u);
    EXPECT_EQ(keys["log"][0], "first");
    EXPECT_EQ(keys["log"][1], "second");
    EXPECT_EQ(keys["log"][2], log.Render());
    EXPECT_EQ(keys["other"], std::vector<std::string>{"x"});

    LwInfoStringMap empty;
    log.LogWrite(empty);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty["log"].size(), 1u);
}

}  // namespace
