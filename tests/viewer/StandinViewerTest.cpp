// The stand-in viewer driven by raw request texts: exact reply texts, the
// model behind them, both transports, requests that arrive in pieces or
// several in one read, the misbehaviours, and nothing left behind.
#include "StandinViewer.h"
#include "ViewerTestSupport.h"

#include <QFile>
#include <QSharedMemory>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using standin::Faults;
using standin::StandinViewer;
using viewertest::RawClient;

namespace {

// A request text as the protocol writes it.
std::string Request(const std::string& inner)
{
    return "<vra><i0>" + inner + "</i0>\n</vra>\n";
}

std::string Cmd(const std::string& name)
{
    return "<cmd>" + name + "</cmd>\n";
}
std::string Id(int id)
{
    return "<IDDocChildWindow>" + std::to_string(id) + "</IDDocChildWindow>\n";
}

// The value text of the first element `name` in a reply, or "(absent)".
std::string ValueOf(const std::string& reply, const std::string& name)
{
    const std::string open = "<" + name + ">", close = "</" + name + ">";
    const std::size_t a = reply.find(open);
    if (a == std::string::npos)
        return "(absent)";
    const std::size_t b = reply.find(close, a);
    return reply.substr(a + open.size(), b - a - open.size());
}

LwFloatMatrix Ramp(int cols, int rows, int colBegin, int rowBegin)
{
    LwFloatMatrix m(cols, rows);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int i = 0; i < cols * rows; ++i)
        m.Buffer()[i] = 0.5f * static_cast<float>(i) - 1.0f;
    return m;
}

void ExpectSameImage(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    ASSERT_EQ(a.ColSize, b.ColSize);
    ASSERT_EQ(a.RowSize, b.RowSize);
    EXPECT_EQ(a.ColBegin, b.ColBegin);
    EXPECT_EQ(a.RowBegin, b.RowBegin);
    EXPECT_EQ(0, std::memcmp(a.Buffer(), b.Buffer(), 4 * static_cast<std::size_t>(a.ColSize) * a.RowSize));
}

class StandinViewerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(viewer_.Start(0, "zyvraimage")) << viewer_.ErrorText().toStdString();
    }
    void TearDown() override { viewer_.Stop(); }

    StandinViewer viewer_;
};

TEST_F(StandinViewerTest, RepliesHaveTheExactProtocolForm)
{
    LwInfoValueMap numbers{{"E", {12.5, 3}}};
    LwInfoStringMap texts{{"log", {"a&b"}}};
    const int id = viewer_.AddImageWindow(Ramp(2, 1, 0, 0), numbers, texts);
    struct Case
    {
        const char* what;
        std::string request;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"no results", Request(Cmd("Update")), "<vra><i0></i0>\n</vra>\n"},
        {"focused window", Request(Cmd("WindowGetFocusedID")),
         "<vra><i0><IDDocChildWindow>1</IDDocChildWindow>\n</i0>\n</vra>\n"},
        {"image mode", Request(Cmd("GetIsModeImage") + Id(id)),
         "<vra><i0><isModeImage>true</isModeImage>\n</i0>\n</vra>\n"},
        {"series mode of an image window", Request(Cmd("GetIsModeSeries") + Id(id)),
         "<vra><i0><isModeSeries>false</isModeSeries>\n</i0>\n</vra>\n"},
        {"number keys", Request(Cmd("ImageKeyDoubleGet") + Id(id)),
         "<vra><i0><ImageKeyDouble><i><key>E</key>\n<val>12.5</val>\n<val>3</val>\n</i>\n"
         "</ImageKeyDouble>\n</i0>\n</vra>\n"},
        {"text keys escaped", Request(Cmd("ImageKeyStringGet") + Id(id)),
         "<vra><i0><ImageKeyString><i><key>log</key>\n<value>a&amp;b</value>\n</i>\n"
         "</ImageKeyString>\n</i0>\n</vra>\n"},
        {"unknown window", Request(Cmd("ImageKeyDoubleGet") + Id(99)),
         "<vra><i0><ReturnCode>Window is not found</ReturnCode>\n</i0>\n</vra>\n"},
        {"no load pending", Request(Cmd("GetIsLoaded")),
         "<vra><i0><ReturnCode>ok</ReturnCode>\n<isLoaded>true</isLoaded>\n"
         "<isSuccess>true</isSuccess>\n</i0>\n</vra>\n"},
        {"unparsable request", "<vra><i0",
         "<vra><i0><ReturnCode>Request error: Illigal Tag Structure</ReturnCode>\n</i0>\n</vra>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.reply, viewer_.Handle(c.request));
    }
}

TEST_F(StandinViewerTest, ModelFollowsWindowRegionAndKeyCommands)
{
    const std::string created = viewer_.Handle(Request(Cmd("ImageNewWindow")));
    const int id = std::stoi(ValueOf(created, "IDDocChildWindow"));
    EXPECT_EQ(id, viewer_.Focused());
    viewer_.Handle(Request(Cmd("SetCaption") + Id(id) + "<caption>Pattern &amp; more</caption>\n"));
    viewer_.Handle(Request(Cmd("ImageKeyDoubleSet") + Id(id) +
                           "<ImageKeyDouble><i><key>X</key>\n<val>1e+04</val>\n</i>\n</ImageKeyDouble>\n"));
    const std::string region = viewer_.Handle(Request(
        Cmd("RegionAdd") + Id(id) +
        "<regionType>ELLIPSE</regionType>\n<cx>100</cx>\n<cy>120</cy>\n<w>41</w>\n<h>41</h>\n"
        "<color><r>255</r>\n<g>0</g>\n<b>0</b>\n</color>\n<isMovable>false</isMovable>\n<name></name>\n"));
    const int rid = std::stoi(ValueOf(region, "RegionID"));

    const standin::Window w = viewer_.GetWindow(id);
    EXPECT_EQ("Pattern & more", w.caption);
    ASSERT_EQ(1u, w.keyDouble.count("X"));
    EXPECT_EQ(10000.0, w.keyDouble.at("X").at(0));
    ASSERT_EQ(1u, w.regions.size());
    EXPECT_EQ("ELLIPSE", w.regions[0].type);
    EXPECT_EQ(100.0f, w.regions[0].cx);
    EXPECT_EQ(255, w.regions[0].r);

    const std::string back = viewer_.Handle(
        Request(Cmd("RegionGet") + Id(id) + "<RegionID>" + std::to_string(rid) + "</RegionID>\n"));
    EXPECT_EQ("41", ValueOf(back, "w"));
    EXPECT_EQ("<r>255</r>\n<g>0</g>\n<b>0</b>\n", ValueOf(back, "color"));
    const std::string list = viewer_.Handle(Request(Cmd("RegionGetIDList") + Id(id)));
    EXPECT_NE(std::string::npos, list.find("<IDList><LwLongMatrixBinary>"));
    viewer_.Handle(Request(Cmd("RegionClear") + Id(id)));
    EXPECT_TRUE(viewer_.GetWindow(id).regions.empty());

    EXPECT_EQ((std::vector<std::string>{"ImageNewWindow", "SetCaption", "ImageKeyDoubleSet", "RegionAdd",
                                        "RegionGet", "RegionGetIDList", "RegionClear"}),
              viewer_.Commands());
}

TEST_F(StandinViewerTest, SeriesLoadsCompleteAfterPollsAndSavesAreRecorded)
{
    std::vector<standin::SeriesEntry> entries(3);
    entries[1].fileName = "C:/data/img_001.dat";
    entries[2].unloadable = true;
    const int id = viewer_.AddSeriesWindow(entries, "in.xmlsrs");
    EXPECT_EQ("3", ValueOf(viewer_.Handle(Request(Cmd("SeriesGetCount") + Id(id))), "count"));
    EXPECT_EQ("true", ValueOf(viewer_.Handle(Request(Cmd("GetIsModeSeries") + Id(id))), "isModeSeries"));

    auto load = [&](int index) {
        viewer_.Handle(Request(Cmd("SeriesImageIndexSetWithLoadImage") + Id(id) + "<index>" +
                               std::to_string(index) + "</index>\n"));
        std::vector<std::string> polls;
        for (int i = 0; i < 3; ++i) {
            const std::string r = viewer_.Handle(Request(Cmd("GetIsLoaded")));
            polls.push_back(ValueOf(r, "isLoaded") + "/" + ValueOf(r, "isSuccess"));
        }
        return polls;
    };
    EXPECT_EQ((std::vector<std::string>{"false/false", "false/false", "true/true"}), load(1));
    EXPECT_EQ("C:/data/img_001.dat",
              ValueOf(viewer_.Handle(Request(Cmd("GetFileName") + Id(id))), "filenameUtf8"));
    EXPECT_EQ((std::vector<std::string>{"false/false", "false/false", "true/false"}), load(2));
    EXPECT_EQ((std::vector<std::string>{"false/false", "false/false", "true/false"}), load(7));

    viewer_.Handle(Request(Cmd("SeriesIndexKeyDoubleSet") + Id(id) +
                           "<index>4</index>\n<SeriesIndexKeyDouble><i><key>X</key>\n<val>12000</val>\n</i>\n"
                           "</SeriesIndexKeyDouble>\n"));
    viewer_.Handle(Request(Cmd("SeriesImageSave") + Id(id) +
                           "<index>4</index>\n<filenameUtf8>b_12000.xml_vra</filenameUtf8>\n"));
    viewer_.Handle(Request(Cmd("SeriesSave") + Id(id) + "<filenameUtf8>out.xmlsrs</filenameUtf8>\n"));
    viewer_.Handle(Request(Cmd("SeriesSaveRenew") + Id(id)));
    const standin::Window w = viewer_.GetWindow(id);
    ASSERT_EQ(5u, w.entries.size());
    EXPECT_EQ(12000.0, w.entries[4].indexKeyDouble.at("X").at(0));
    EXPECT_TRUE(w.entries[4].saved);
    EXPECT_EQ("b_12000.xml_vra", w.entries[4].fileName);
    EXPECT_EQ("out.xmlsrs", w.seriesPath);
    EXPECT_EQ(1, w.saveCount);
    EXPECT_EQ(1, w.renewCount);
}

TEST_F(StandinViewerTest, ImagesTravelThroughSharedMemoryBothWays)
{
    const LwFloatMatrix source = Ramp(3, 2, -1, 5);
    const int id = viewer_.AddImageWindow(source);
    const std::string reply = viewer_.Handle(Request(Cmd("FIImageGetBySharedMemory") + Id(id)));
    EXPECT_EQ("ok", ValueOf(reply, "ReturnCode"));
    const QString key = QString::fromStdString(ValueOf(reply, "key"));
    {
        // The block layout read here byte by byte, not with the stand-in's reader.
        QSharedMemory block(key);
        ASSERT_TRUE(block.attach(QSharedMemory::ReadOnly));
        ASSERT_EQ(40, block.size());
        std::int32_t header[4];
        std::memcpy(header, block.constData(), 16);
        EXPECT_EQ(3, header[0]);
        EXPECT_EQ(2, header[1]);
        EXPECT_EQ(-1, header[2]);
        EXPECT_EQ(5, header[3]);
        float pixels[6];
        std::memcpy(pixels, static_cast<const char*>(block.constData()) + 16, sizeof pixels);
        EXPECT_EQ(source(1, 6), pixels[5]);
        block.detach();
    }
    EXPECT_EQ(1, viewer_.HeldBlocks());

    const LwFloatMatrix sent = Ramp(4, 3, 2, -7);
    QSharedMemory mine;
    ASSERT_TRUE(standin::WriteImageBlock(mine, "IMAGESET77", sent));
    const std::string set =
        viewer_.Handle(Request(Cmd("FIImageSetBySharedMemory") + Id(id) + "<key>IMAGESET77</key>\n"));
    EXPECT_EQ("ok", ValueOf(set, "ReturnCode"));
    ExpectSameImage(sent, viewer_.GetWindow(id).image);
    EXPECT_EQ("Cannot attach NOSUCHKEY", ValueOf(viewer_.Handle(Request(Cmd("FIImageSetBySharedMemory") +
                                                                        Id(id) + "<key>NOSUCHKEY</key>\n")),
                                                 "ReturnCode"));
}

TEST_F(StandinViewerTest, BadBlocksAreServedAsAsked)
{
    const int id = viewer_.AddImageWindow(Ramp(2, 2, 0, 0));
    struct Case
    {
        Faults::Block block;
        long long size;  // -1: no block
        std::int32_t cols, rows;
    };
    const Case cases[] = {
        {Faults::Block::Missing, -1, 0, 0},
        {Faults::Block::Tiny, 8, 0, 0},
        {Faults::Block::HeaderTooLarge, 32, 100, 100},
        {Faults::Block::HugeHeader, 32, 0x7fffffff, 0x7fffffff},
        {Faults::Block::BothNegative, 32, -1, -1},
        {Faults::Block::OneNegative, 32, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.block));
        Faults f;
        f.block = c.block;
        viewer_.SetFaults(f);
        const std::string reply = viewer_.Handle(Request(Cmd("FIImageGetBySharedMemory") + Id(id)));
        EXPECT_EQ("ok", ValueOf(reply, "ReturnCode"));
        QSharedMemory block(QString::fromStdString(ValueOf(reply, "key")));
        ASSERT_EQ(c.size >= 0, block.attach(QSharedMemory::ReadOnly));
        if (c.size < 0)
            continue;
        EXPECT_EQ(c.size, block.size());
        if (c.size >= 16) {
            std::int32_t header[2];
            std::memcpy(header, block.constData(), 8);
            EXPECT_EQ(c.cols, header[0]);
            EXPECT_EQ(c.rows, header[1]);
        }
    }
    Faults f;
    f.getReturnCode = "Image is not ready";
    viewer_.SetFaults(f);
    EXPECT_EQ("<vra><i0><ReturnCode>Image is not ready</ReturnCode>\n</i0>\n</vra>\n",
              viewer_.Handle(Request(Cmd("FIImageGetBySharedMemory") + Id(id))));
}

// Both transports: a request written byte by byte, and three requests in one
// write, are answered once each and in order.
TEST_F(StandinViewerTest, RequestsInPiecesAndSeveralInOneRead)
{
    viewer_.AddImageWindow(Ramp(1, 1, 0, 0));
    std::vector<std::pair<std::string, std::unique_ptr<RawClient>>> clients;
    clients.emplace_back("tcp ipv4", std::make_unique<RawClient>(QHostAddress::LocalHost, viewer_.Port()));
    if (viewer_.ListensIPv6())
        clients.emplace_back("tcp ipv6",
                             std::make_unique<RawClient>(QHostAddress::LocalHostIPv6, viewer_.Port()));
    clients.emplace_back("local", std::make_unique<RawClient>(QString("zyvraimage")));
    const std::string focused = "<vra><i0><IDDocChildWindow>1</IDDocChildWindow>\n</i0>\n</vra>\n";
    const std::string update = "<vra><i0></i0>\n</vra>\n";
    for (auto& [what, client] : clients) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(client->Connected());
        const std::string request = Request(Cmd("WindowGetFocusedID"));
        for (char c : request)
            client->Write(std::string(1, c));
        EXPECT_EQ(focused, client->ReadReplies(1));
        client->Clear();
        client->Write(Request(Cmd("Update")) + Request(Cmd("WindowGetFocusedID")) + Request(Cmd("Update")));
        EXPECT_EQ(update + focused + update, client->ReadReplies(3));
    }
}

TEST_F(StandinViewerTest, RepliesCanBeDelayedSplitDroppedOrMalformed)
{
    RawClient client(QHostAddress::LocalHost, viewer_.Port());
    ASSERT_TRUE(client.Connected());
    const std::string update = "<vra><i0></i0>\n</vra>\n";
    struct Case
    {
        const char* what;
        Faults faults;
        std::string expected;
    };
    Faults delayed;
    delayed.delayMs = 200;
    Faults split;
    split.splitBytes = 3;
    Faults dropped;
    dropped.dropReplies = 1;
    Faults surplus;
    surplus.reply = Faults::Reply::SurplusClosingTag;
    Faults cut;
    cut.reply = Faults::Reply::CutOff;
    Faults empty;
    empty.reply = Faults::Reply::NoCallElement;
    const std::vector<Case> cases = {
        {"delayed", delayed, update},
        {"split", split, update},
        {"dropped", dropped, ""},
        {"surplus closing tag", surplus, "<vra><i0></i0>\n</i0>\n</vra>\n"},
        {"cut off", cut, update.substr(0, update.size() / 2)},
        {"no call element", empty, "<vra></vra>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        viewer_.SetFaults(c.faults);
        client.Clear();
        client.Write(Request(Cmd("Update")));
        if (c.faults.delayMs > 0) {
            EXPECT_EQ("", client.ReadFor(100));
        }
        EXPECT_EQ(c.expected, client.ReadFor(c.faults.delayMs + 300));
    }
    Faults closing;
    closing.closeOnRequest = true;
    viewer_.SetFaults(closing);
    client.Write(Request(Cmd("Update")));
    client.ReadFor(200);
    auto& socket = static_cast<QTcpSocket&>(client.Device());
    EXPECT_EQ(QAbstractSocket::UnconnectedState, socket.state());
}

TEST(StandinViewerLifetime, StaleSocketFileIsReplacedAndNothingIsLeftBehind)
{
    const QString stale = QDir::tempPath() + "/stalename";
    {
        QFile f(stale);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        StandinViewer viewer;
        ASSERT_TRUE(viewer.Start(0, "stalename")) << viewer.ErrorText().toStdString();
        RawClient client(QString("stalename"));
        ASSERT_TRUE(client.Connected());
        const int id = viewer.AddImageWindow(Ramp(8, 8, 0, 0));
        viewer.Handle(Request(Cmd("FIImageGetBySharedMemory") + Id(id)));
        EXPECT_FALSE(viewertest::SegmentsOfThisProcess().empty());
    }
    EXPECT_TRUE(viewertest::TempFolderEntries().isEmpty())
        << viewertest::TempFolderEntries().join(",").toStdString();
    EXPECT_TRUE(viewertest::SegmentsOfThisProcess().empty());
}

TEST(StandinViewerProcess, ServesBothTransportsAndEndsCleanly)
{
    viewertest::ViewerProcess process(LW_STANDIN_VIEWER_EXE, "procviewer");
    ASSERT_NE(0, process.Port());
    const long pid = static_cast<long>(process.Pid());
    RawClient tcp(QHostAddress::LocalHost, process.Port());
    RawClient local(QString("procviewer"));
    ASSERT_TRUE(tcp.Connected());
    ASSERT_TRUE(local.Connected());
    tcp.Write(Request(Cmd("ImageNewWindow")));
    EXPECT_EQ("<vra><i0><IDDocChildWindow>1</IDDocChildWindow>\n</i0>\n</vra>\n", tcp.ReadReplies(1));
    local.Write(Request(Cmd("FIImageGetBySharedMemory") + Id(1)));
    EXPECT_EQ("ok", ValueOf(local.ReadReplies(1), "ReturnCode"));
    EXPECT_FALSE(viewertest::SegmentsCreatedBy(pid).empty());
    EXPECT_EQ(0, process.Quit());
    EXPECT_TRUE(viewertest::SegmentsCreatedBy(pid).empty());
    EXPECT_FALSE(QFile::exists(QDir::tempPath() + "/procviewer"));
}

}  // namespace
