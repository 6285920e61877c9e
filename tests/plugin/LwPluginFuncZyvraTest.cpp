// The viewer client against the stand-in viewer (on a thread of its own),
// over TCP and the local socket: connection, every command operation with its
// request text and reply defaults, the exchange's errors and timeouts, images
// both ways through shared memory, a series driven as the programs drive it,
// and nothing left behind.
#include "core/LwWaitObserver.h"
#include "imageops/LwInt32Matrix.h"
#include "plugin/LwCommonClientSocket.h"
#include "plugin/LwPluginFuncZyvra.h"
#include "ErrorText.h"
#include "StandinViewer.h"
#include "ViewerTestSupport.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <signal.h>
#include <sstream>

namespace {

using standin::Faults;

const std::string kSubSendRecv = "/void LwPluginFuncZyvra::SubSendRecv(LwCmdPackUnpack&, LwCmdPackUnpack&)";
const std::string kUpdateAll = "/void LwPluginFuncZyvra::UpdateAll()";
const std::string kGetBySharedMemory =
    "/void LwPluginFuncZyvra::ImageGetBySharedMemory(int32_t, LwFloatMatrix&)";
const std::string kImageGet = "/void LwPluginFuncZyvra::ImageGet(int32_t, LwFloatMatrix&, bool)";

enum class Transport { Tcp, Local };

std::string kGetIsLoadedText(const std::string& code)
{
    return code + "/void LwPluginFuncZyvra::GetIsLoaded(bool&, bool&)";
}

std::string Request(const std::string& inner)
{
    return "<vra><i0>" + inner + "</i0>\n</vra>\n";
}

LwFloatMatrix Ramp(int cols, int rows, int colBegin, int rowBegin)
{
    LwFloatMatrix m(cols, rows);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = 0.25f * static_cast<float>(i % 1000) - 3.0f;
    return m;
}

bool SameImage(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    return a.ColSize == b.ColSize && a.RowSize == b.RowSize && a.ColBegin == b.ColBegin &&
           a.RowBegin == b.RowBegin &&
           (a.ElementCount() == 0 ||
            std::memcmp(a.Buffer(), b.Buffer(), 4 * static_cast<std::size_t>(a.ElementCount())) == 0);
}

// A client connected to a stand-in on its own thread, by the transport of
// the test's parameter; window 1 is an image with keys, window 2 a series of
// three images.
class ClientTest : public ::testing::TestWithParam<Transport>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(viewer_.Start(0, "zyvratest"));
        client_ = MakeClient();
        ASSERT_TRUE(client_->Connect());
        image_ = Viewer().AddImageWindow(Ramp(4, 3, 0, 0), {{"E", {12.5}}}, {{"log", {"one", "two&"}}});
        std::vector<standin::SeriesEntry> entries(3);
        for (int i = 0; i < 3; ++i) {
            entries[i].image = Ramp(2, 2, i, 0);
            entries[i].fileName = "C:/data/img_00" + std::to_string(i) + ".dat";
            entries[i].indexKeyDouble = {{"X", {1000.0 * i}}};
        }
        series_ = Viewer().AddSeriesWindow(entries, "in.xmlsrs");
        Viewer().SetFocused(image_);
    }

    std::unique_ptr<LwPluginFuncZyvra> MakeClient(LwCommandTable table = LwCommandTable::Halvane)
    {
        auto client = std::make_unique<LwPluginFuncZyvra>();
        client->SetCommandTable(table);
        port_ = Viewer().Port();
        const std::string port = std::to_string(port_);
        std::vector<std::string> args = {"/nowhere/halvane", "-P", port, "-L", "zyvratest", "-"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        client->InitSetCmdline(static_cast<int>(argv.size()), argv.data());
        client->SetUseLocalSocket(GetParam() == Transport::Local);
        client->SetExchangeLimits(3, 300);  // 3 to 6 s per send at most
        return client;
    }

    standin::StandinViewer& Viewer() { return viewer_.Viewer(); }
    // The words that open the errors of a viewer that cannot be reached or
    // does not answer, for the transport of the test.
    std::string Place()
    {
        return GetParam() == Transport::Local ? "local socket zyvratest" : "port " + std::to_string(port_);
    }
    std::string Unreachable()
    {
        return "The image viewer is not reachable (" + Place() + ")\nSocket is not active";
    }
    std::string NoAnswer()
    {
        return "The image viewer did not answer in time (" + Place() + ")\nNo reply from ZYVRA-IMAGE";
    }
    std::string LastRequest()
    {
        const auto requests = Viewer().Requests();
        return requests.empty() ? std::string() : requests.back().text;
    }

    standin::StandinViewerThread viewer_;
    std::unique_ptr<LwPluginFuncZyvra> client_;
    std::uint16_t port_ = 0;
    int image_ = -1;
    int series_ = -1;
};

std::string Print(const LwPackUnpack::DoubleMap& m)
{
    std::ostringstream out;
    for (const auto& [k, v] : m) {
        out << k << "=";
        for (double x : v)
            out << x << ";";
    }
    return out.str();
}

std::string Print(const LwPackUnpack::StringMap& m)
{
    std::string out;
    for (const auto& [k, v] : m) {
        out += k + "=";
        for (const std::string& x : v)
            out += x + ";";
    }
    return out;
}

// Every operation: its exact request text and what it made of the reply.
TEST_P(ClientTest, EveryOperationSendsItsRequestAndReadsItsReply)
{
    LwPluginFuncZyvra& c = *client_;
    const std::string w1 = "<IDDocChildWindow>1</IDDocChildWindow>\n";
    const std::string w2 = "<IDDocChildWindow>2</IDDocChildWindow>\n";
    struct Row
    {
        const char* what;
        std::function<std::string()> call;
        std::string request;
        std::string result;
    };
    const std::vector<Row> rows = {
        {"UpdateAll",
         [&] {
             c.UpdateAll();
             return std::string();
         },
         Request("<cmd>Update</cmd>\n"), ""},
        {"WindowGetFocusedID", [&] { return std::to_string(c.WindowGetFocusedID()); },
         Request("<cmd>WindowGetFocusedID</cmd>\n"), "1"},
        {"GetIsModeImage", [&] { return std::to_string(c.GetIsModeImage(1)); },
         Request("<cmd>GetIsModeImage</cmd>\n" + w1), "1"},
        {"GetIsModeImage unknown", [&] { return std::to_string(c.GetIsModeImage(99)); },
         Request("<cmd>GetIsModeImage</cmd>\n<IDDocChildWindow>99</IDDocChildWindow>\n"), "0"},
        {"SetCaption",
         [&] {
             c.SetCaption(1, "Pattern&1");
             return Viewer().GetWindow(1).caption;
         },
         Request("<cmd>SetCaption</cmd>\n" + w1 + "<caption>Pattern&amp;1</caption>\n"), "Pattern&1"},
        {"RegionAdd",
         [&] {
             return std::to_string(c.RegionAdd(1, "ELLIPSE", 100, 120, 41, 41, {255, 0, 0}, false));
         },
         Request("<cmd>RegionAdd</cmd>\n" + w1 +
                 "<regionType>ELLIPSE</regionType>\n<cx>100</cx>\n<cy>120</cy>\n<w>41</w>\n<h>41</h>\n"
                 "<color><r>255</r>\n<g>0</g>\n<b>0</b>\n</color>\n<isMovable>false</isMovable>\n<name></"
                 "name>\n"),
         "1"},
        {"RegionGetIMinMaxAverage",
         [&] {
             float mn = -9, mx = -9, avg = -9;
             c.RegionGetIMinMaxAverage(1, 1, mn, mx, avg);
             std::ostringstream o;
             o << mn << " " << mx << " " << avg;
             return o.str();
         },
         Request("<cmd>RegionGetIMinMaxAverage</cmd>\n" + w1 + "<RegionID>1</RegionID>\n"), "0 0 0"},
        {"LineAdd",
         [&] {
             return std::to_string(c.LineAdd(1, 0.5f, 1, 2, 3, 1.5f, {0, 300, -1}, true, "l<1>"));
         },
         Request("<cmd>LineAdd</cmd>\n" + w1 +
                 "<x0>0.5</x0>\n<y0>1</y0>\n<x1>2</x1>\n<y1>3</y1>\n<width>1.5</width>\n"
                 "<color><r>0</r>\n<g>300</g>\n<b>-1</b>\n</color>\n<isMovable>true</"
                 "isMovable>\n<name>l&lt;1&gt;</name>\n"),
         "2"},
        {"LineGetIDList",
         [&] {
             LwInt32Matrix ids;
             c.LineGetIDList(1, ids);
             return std::to_string(ids.ElementCount()) + ":" + std::to_string(ids(0, 0));
         },
         Request("<cmd>LineGetIDList</cmd>\n" + w1), "1:2"},
        {"RegionClear",
         [&] {
             c.RegionClear(1);
             return std::to_string(Viewer().GetWindow(1).regions.size());
         },
         Request("<cmd>RegionClear</cmd>\n" + w1), "1"},  // the line stays
        {"ImageKeyDoubleGet",
         [&] {
             LwPackUnpack::DoubleMap m{{"stale", {1}}};
             c.ImageKeyDoubleGet(1, m);
             return Print(m);
         },
         Request("<cmd>ImageKeyDoubleGet</cmd>\n" + w1), "E=12.5;"},
        {"ImageKeyDoubleSet",
         [&] {
             c.ImageKeyDoubleSet(1, {{"hv", {1e4, 2}}});
             return Print(Viewer().GetWindow(1).keyDouble);
         },
         Request(
             "<cmd>ImageKeyDoubleSet</cmd>\n" + w1 +
             "<ImageKeyDouble><i><key>hv</key>\n<val>10000</val>\n<val>2</val>\n</i>\n</ImageKeyDouble>\n"),
         "hv=10000;2;"},
        {"ImageKeyStringGet",
         [&] {
             LwPackUnpack::StringMap m;
             c.ImageKeyStringGet(1, m);
             return Print(m);
         },
         Request("<cmd>ImageKeyStringGet</cmd>\n" + w1), "log=one;two&;"},
        {"ImageKeyStringSet",
         [&] {
             c.ImageKeyStringSet(1, {{"a", {"<b>"}}});
             return Print(Viewer().GetWindow(1).keyString);
         },
         Request("<cmd>ImageKeyStringSet</cmd>\n" + w1 +
                 "<ImageKeyString><i><key>a</key>\n<value>&lt;b&gt;</value>\n</i>\n</ImageKeyString>\n"),
         "a=<b>;"},
        {"SeriesGetCount", [&] { return std::to_string(c.SeriesGetCount(2)); },
         Request("<cmd>SeriesGetCount</cmd>\n" + w2), "3"},
        {"SeriesKeyDoubleGet",
         [&] {
             LwPackUnpack::DoubleMap m{{"stale", {1}}};
             c.SeriesKeyDoubleGet(2, m);
             return Print(m);
         },
         Request("<cmd>SeriesKeyDoubleGet</cmd>\n" + w2), ""},
        {"SeriesImageIndexSet",
         [&] {
             c.SeriesImageIndexSet(2, 1);
             return std::to_string(Viewer().GetWindow(2).currentIndex);
         },
         Request("<cmd>SeriesImageIndexSet</cmd>\n" + w2 + "<index>1</index>\n"), "1"},
        {"SeriesImageSave",
         [&] {
             c.SeriesImageSave(2, 1, "run_12000.xml_vra");
             return Viewer().GetWindow(2).entries[1].fileName;
         },
         Request("<cmd>SeriesImageSave</cmd>\n" + w2 +
                 "<index>1</index>\n<filenameUtf8>run_12000.xml_vra</filenameUtf8>\n"),
         "run_12000.xml_vra"},
        {"SeriesIndexKeyDoubleSet",
         [&] {
             c.SeriesIndexKeyDoubleSet(2, 1, {{"X", {12000}}});
             return Print(Viewer().GetWindow(2).entries[1].indexKeyDouble);
         },
         Request("<cmd>SeriesIndexKeyDoubleSet</cmd>\n" + w2 +
                 "<index>1</index>\n<SeriesIndexKeyDouble><i><key>X</key>\n<val>12000</val>\n</i>\n</"
                 "SeriesIndexKeyDouble>\n"),
         "X=12000;"},
        {"SeriesSave",
         [&] {
             c.SeriesSave(2, "C:/d/run.xmlsrs");
             return Viewer().GetWindow(2).seriesPath;
         },
         Request("<cmd>SeriesSave</cmd>\n" + w2 + "<filenameUtf8>C:/d/run.xmlsrs</filenameUtf8>\n"),
         "C:/d/run.xmlsrs"},
        {"GetIsLoaded",
         [&] {
             bool loaded = false, success = false;
             c.GetIsLoaded(loaded, success);
             return std::to_string(loaded) + std::to_string(success);
         },
         Request("<cmd>GetIsLoaded</cmd>\n"), "11"},
        {"SeriesNewWindow", [&] { return std::to_string(c.SeriesNewWindow("xfh.xmlsrs", "image")); },
         Request("<cmd>SeriesNewWindow</cmd>\n<filenameUtf8>xfh.xmlsrs</filenameUtf8>\n<mode>image</mode>\n"),
         "3"},
        {"ImageNewWindow", [&] { return std::to_string(c.ImageNewWindow()); },
         Request("<cmd>ImageNewWindow</cmd>\n"), "4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::size_t before = Viewer().Requests().size();
        EXPECT_EQ(row.result, row.call());
        EXPECT_EQ(before + 1, Viewer().Requests().size());  // sent once
        EXPECT_EQ(row.request, LastRequest());
        EXPECT_EQ(row.request, c.RequestText());
    }
}

// Replies that lack the results: the documented defaults, and the checks
// made before anything is sent.
TEST_P(ClientTest, RepliesWithoutResultsGiveTheDefaults)
{
    LwPluginFuncZyvra& c = *client_;
    Faults f;
    f.replyText = "<vra><i0></i0>\n</vra>\n";
    Viewer().SetFaults(f);
    EXPECT_EQ(-1, c.ImageNewWindow());
    EXPECT_EQ(-1, c.WindowGetFocusedID());
    EXPECT_EQ(-1, c.SeriesNewWindow("a", "wave"));
    EXPECT_EQ(-1, c.RegionAdd(1, "ELLIPSE", 1, 1, 1, 1, {}, false));
    EXPECT_EQ(-1, c.LineAdd(1, 0, 0, 1, 1, 1, {}, false, ""));
    EXPECT_FALSE(c.GetIsModeImage(1));
    EXPECT_EQ(0, c.SeriesGetCount(2));
    LwPackUnpack::DoubleMap keys{{"old", {1}}};
    c.ImageKeyDoubleGet(1, keys);
    EXPECT_TRUE(keys.empty());
    bool loaded = true, success = true;
    EXPECT_EQ(kGetIsLoadedText(""), ErrorText([&] { c.GetIsLoaded(loaded, success); }));
    LwFloatMatrix image = Ramp(1, 1, 0, 0);
    EXPECT_EQ(kGetBySharedMemory + kImageGet, ErrorText([&] { c.ImageGet(1, image, true); }));

    f.replyText = "<vra><i0><ReturnCode>Busy</ReturnCode>\n<isLoaded>false</isLoaded>\n</i0>\n</vra>\n";
    Viewer().SetFaults(f);
    EXPECT_EQ(kGetIsLoadedText("Busy"), ErrorText([&] { c.GetIsLoaded(loaded, success); }));
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(success);

    Viewer().SetFaults(Faults());
    const std::size_t before = Viewer().Requests().size();
    EXPECT_EQ("Error:Please set right windowMode", ErrorText([&] { c.SeriesNewWindow("a", "Image"); }));
    float mn = 1, mx = 2, avg = 3;
    c.RegionGetIMinMaxAverage(1, -1, mn, mx, avg);
    c.RegionGetIMinMaxAverage(-1, 0, mn, mx, avg);
    EXPECT_EQ(before, Viewer().Requests().size());
    EXPECT_EQ(1.0f, mn);
    EXPECT_EQ(3.0f, avg);
}

// A late reply is dropped before the next request; a reply that never comes
// is an error; a request that makes something is sent once.
TEST_P(ClientTest, SilentAndSlowViewers)
{
    LwPluginFuncZyvra& c = *client_;
    c.SetExchangeLimits(3, 5);  // 50 to 100 ms per send
    Faults silent;
    silent.dropReplies = 1000;
    Viewer().SetFaults(silent);
    EXPECT_EQ(NoAnswer() + kSubSendRecv + kUpdateAll, ErrorText([&] { c.UpdateAll(); }));
    EXPECT_EQ(3u, Viewer().Requests().size());
    EXPECT_EQ(NoAnswer() + kSubSendRecv + "/int32_t LwPluginFuncZyvra::ImageNewWindow()",
              ErrorText([&] { c.ImageNewWindow(); }));
    EXPECT_EQ(4u, Viewer().Requests().size());
    EXPECT_FALSE(c.IsBusy());

    Faults slow;
    slow.delayMs = 400;
    Viewer().SetFaults(slow);
    c.SetExchangeLimits(1, 3);
    EXPECT_NE("(no error)", ErrorText([&] { c.GetIsModeImage(99); }));
    viewertest::Spin(600);  // the late "isModeImage" reply arrives now
    Viewer().SetFaults(Faults());
    c.SetExchangeLimits(3, 300);
    EXPECT_EQ(3, c.SeriesGetCount(2));

    Faults split;
    split.splitBytes = 5;
    split.splitPauseMs = 2;
    Viewer().SetFaults(split);
    EXPECT_EQ(Viewer().Focused(), c.WindowGetFocusedID());
}

TEST_P(ClientTest, NestedCallIsRefusedAndCancelEndsTheWait)
{
    LwPluginFuncZyvra& c = *client_;
    Faults slow;
    slow.delayMs = 300;
    Viewer().SetFaults(slow);
    std::string nested = "(not called)";
    QTimer::singleShot(50, [&] { nested = ErrorText([&] { c.UpdateAll(); }); });
    EXPECT_EQ(1, c.WindowGetFocusedID());
    EXPECT_EQ("SYSTEM ERROR:Function is doublly called" + kSubSendRecv + kUpdateAll, nested);
    EXPECT_FALSE(c.IsBusy());

    QTimer::singleShot(50, [&] { c.SetCancel(true); });
    EXPECT_EQ("Sending to the image viewer was cancelled (" + Place() + ")\nCANCELED" + kSubSendRecv,
              ErrorText([&] { c.SeriesGetCount(2); }));
    EXPECT_FALSE(c.IsBusy());
    viewertest::Spin(400);
    Viewer().SetFaults(Faults());
    EXPECT_EQ(3, c.SeriesGetCount(2));
}

TEST_P(ClientTest, ALostViewerGivesTheChainedErrorTexts)
{
    viewer_.Stop();
    EXPECT_EQ(Unreachable() + kSubSendRecv + kUpdateAll, ErrorText([&] { client_->UpdateAll(); }));
    EXPECT_EQ(Unreachable() + kSubSendRecv, ErrorText([&] { client_->WindowGetFocusedID(); }));
    // No viewer at start-up: five short tries, then the requests fail the same way.
    auto fresh = MakeClient();
    EXPECT_EQ("ZYVRA-IMAGE main window is not found.", ErrorText([&] { fresh->SubConnect(); }));
    EXPECT_FALSE(fresh->Connect());
    EXPECT_EQ(Unreachable() + kSubSendRecv + kUpdateAll, ErrorText([&] { fresh->UpdateAll(); }));
}

// A viewer restarted between two requests, and one started after the
// program, are connected again by the next request: no program restart.
TEST_P(ClientTest, ARestartedOrLateViewerIsConnectedByTheNextRequest)
{
    ASSERT_EQ(image_, client_->WindowGetFocusedID());
    viewer_.Stop();
    ASSERT_TRUE(viewer_.Start(port_, "zyvratest"));
    Viewer().ClearRequests();
    EXPECT_EQ("(no error)", ErrorText([&] { client_->UpdateAll(); }));
    EXPECT_EQ(std::vector<std::string>{"Update"}, Viewer().Commands());

    // Restarted after a request found it gone.
    viewer_.Stop();
    EXPECT_EQ(Unreachable() + kSubSendRecv + kUpdateAll, ErrorText([&] { client_->UpdateAll(); }));
    ASSERT_TRUE(viewer_.Start(port_, "zyvratest"));
    EXPECT_EQ("(no error)", ErrorText([&] { client_->UpdateAll(); }));

    // Started after the program.
    viewer_.Stop();
    auto early = MakeClient();
    EXPECT_FALSE(early->Connect());
    ASSERT_TRUE(viewer_.Start(port_, "zyvratest"));
    const int window = Viewer().AddImageWindow(Ramp(2, 2, 0, 0));
    Viewer().SetFocused(window);
    EXPECT_EQ(window, early->WindowGetFocusedID());
    EXPECT_TRUE(early->IsConnected());
}

// An empty block fetched into a matrix without a buffer keeps its shape and
// begins.
TEST_P(ClientTest, EmptyImageKeepsItsShapeAndBegins)
{
    auto c = MakeClient(LwCommandTable::Velmora);  // halvane's table refuses empty images
    ASSERT_TRUE(c->Connect());
    const LwFloatMatrix flat = Ramp(0, 5, 3, 1);
    c->ImageSet(image_, flat);
    LwFloatMatrix back;
    c->ImageGet(image_, back, false);
    EXPECT_TRUE(SameImage(flat, back))
        << back.ColSize << " x " << back.RowSize << " at (" << back.ColBegin << ", " << back.RowBegin << ")";
}

TEST_P(ClientTest, MalformedRepliesAreErrorsInWords)
{
    struct Row
    {
        const char* what;
        Faults::Reply reply;
        std::string error;
    };
    const std::vector<Row> rows = {
        {"cut off", Faults::Reply::CutOff, NoAnswer() + kSubSendRecv},
        {"garbage", Faults::Reply::Garbage, NoAnswer() + kSubSendRecv},
        {"no call element", Faults::Reply::NoCallElement,
         "Invalid Tag Name:vra <> i0/void LwCmdPackUnpack::CloseCmdIndex(int32_t)/void "
         "LwCmdPackUnpack::CloseCmd()"},
    };
    client_->SetExchangeLimits(1, 10);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Faults f;
        f.reply = row.reply;
        Viewer().SetFaults(f);
        EXPECT_EQ(row.error, ErrorText([&] { client_->WindowGetFocusedID(); }));
    }
    // Closing tags are not matched by name: a surplus one before the root's
    // end closes the root, and the results already read stand.
    Faults f;
    f.reply = Faults::Reply::SurplusClosingTag;
    Viewer().SetFaults(f);
    std::int32_t id = -5;
    EXPECT_EQ("(no error)", ErrorText([&] { id = client_->WindowGetFocusedID(); }));
    EXPECT_EQ(1, id);
}

// Images of varied sizes and begins, both ways.
TEST_P(ClientTest, ImagesBothWaysThroughSharedMemory)
{
    LwFloatMatrix nan = Ramp(3, 2, -1, 5);
    nan(0, 5) = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::pair<const char*, LwFloatMatrix>> images = {
        {"one pixel", Ramp(1, 1, 0, 0)},           {"3 x 2 with begins (-1, 5)", Ramp(3, 2, -1, 5)},
        {"negative begins", Ramp(5, 7, -300, -2)}, {"one row", Ramp(1000, 1, 0, 0)},
        {"4096 x 4096", Ramp(4096, 4096, 0, 0)},
    };
    for (const auto& [what, image] : images) {
        SCOPED_TRACE(what);
        client_->ImageSet(image_, image);
        EXPECT_TRUE(SameImage(image, Viewer().GetWindow(image_).image));
        LwFloatMatrix back;
        client_->ImageGet(image_, back, false);
        EXPECT_TRUE(SameImage(image, back));
        // A target that holds as many pixels in another shape and begins
        // takes them in its own buffer and gets the block's shape and begins.
        LwFloatMatrix reshaped(image.RowSize, image.ColSize);
        reshaped.ColBegin = 7;
        reshaped.RowBegin = -7;
        std::fill(reshaped.Buffer(), reshaped.Buffer() + reshaped.ElementCount(), -1.0f);
        const float* buffer = reshaped.Buffer();
        client_->ImageGet(image_, reshaped, false);
        EXPECT_TRUE(SameImage(image, reshaped));
        EXPECT_EQ(buffer, reshaped.Buffer());
    }
    client_->ImageSet(image_, nan);
    LwFloatMatrix kept, zeroed;
    client_->ImageGetBySharedMemory(image_, kept);
    client_->ImageGet(image_, zeroed, true);
    EXPECT_TRUE(std::isnan(kept(0, 5)));
    EXPECT_EQ(0.0f, zeroed(0, 5));
    EXPECT_EQ(nan(1, 5), zeroed(1, 5));

    // An empty image: refused by halvane's table, sent as a 16-byte block by velmora's.
    LwFloatMatrix empty;
    empty.ColBegin = 4;
    empty.RowBegin = -2;
    EXPECT_EQ("Image size is Zero", ErrorText([&] { client_->ImageSet(image_, empty); }));
    auto velmora = MakeClient(LwCommandTable::Velmora);
    ASSERT_TRUE(velmora->Connect());
    velmora->ImageSet(image_, empty);
    LwFloatMatrix back = Ramp(2, 2, 0, 0);
    client_->ImageGet(image_, back, true);
    EXPECT_EQ(0, back.ColSize);
    EXPECT_EQ(0, back.RowSize);
    EXPECT_EQ(4, back.ColBegin);
    EXPECT_EQ(-2, back.RowBegin);

    // Two sends within one millisecond get different blocks.
    client_->ImageSet(image_, nan);
    const std::string first = client_->LastImageKey();
    client_->ImageSet(image_, nan);
    EXPECT_NE(first, client_->LastImageKey());
    EXPECT_EQ(0u, client_->LastImageKey().rfind("IMAGESET", 0));
}

TEST_P(ClientTest, BadViewerBlocksAreRefusedBeforeAnyCopy)
{
    struct Row
    {
        const char* what;
        Faults::Block block;
        std::string error;  // prefix of the error text
    };
    const std::vector<Row> rows = {
        {"missing", Faults::Block::Missing, "Cannot attach to Shared MemoryZYVRAGET"},
        {"8 bytes", Faults::Block::Tiny, "NO DATA" + kGetBySharedMemory},
        {"header larger than block", Faults::Block::HeaderTooLarge, "NO DATA" + kGetBySharedMemory},
        {"sizes overflowing 32 bits", Faults::Block::HugeHeader, "NO DATA" + kGetBySharedMemory},
        {"both sizes negative", Faults::Block::BothNegative,
         "matrix creation Parameter Error" + kGetBySharedMemory},
        {"one size negative", Faults::Block::OneNegative, "Matrix Parameter Error" + kGetBySharedMemory},
    };
    const LwFloatMatrix before = Ramp(2, 3, 7, 8);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Faults f;
        f.block = row.block;
        Viewer().SetFaults(f);
        LwFloatMatrix image = before;
        const std::string error = ErrorText([&] { client_->ImageGet(image_, image, false); });
        EXPECT_EQ(0u, error.find(row.error)) << error;
        EXPECT_TRUE(SameImage(before, image));
    }
    Faults f;
    f.getReturnCode = "Image is not ready";
    Viewer().SetFaults(f);
    LwFloatMatrix image;
    EXPECT_EQ("Image is not ready" + kGetBySharedMemory + kImageGet,
              ErrorText([&] { client_->ImageGet(image_, image, false); }));
}

TEST_P(ClientTest, NoSegmentOrFileIsLeftBehind)
{
    client_->ImageSet(image_, Ramp(64, 64, 0, 0));
    LwFloatMatrix back;
    client_->ImageGet(image_, back, false);
    EXPECT_FALSE(viewertest::SegmentsOfThisProcess().empty());
    client_.reset();
    viewer_.Stop();
    EXPECT_TRUE(viewertest::SegmentsOfThisProcess().empty());
    EXPECT_TRUE(viewertest::TempFolderEntries().isEmpty())
        << viewertest::TempFolderEntries().join(",").toStdString();
}

// A series driven as velmora makes one and halvane processes one.
TEST_P(ClientTest, ScriptedSeriesRun)
{
    LwPluginFuncZyvra& c = *client_;
    // velmora: an energy series.
    const int out = c.SeriesNewWindow("C:/d/run.xmlsrs", "image");
    const double energies[] = {10000, 12000};
    for (int i = 0; i < 2; ++i) {
        c.SeriesImageIndexSet(out, i);
        c.ImageSet(out, Ramp(8, 4, 0, i));
        c.ImageKeyDoubleSet(out, {{"__XFH.PhotonEnergy_eV", {energies[i]}}});
        c.SeriesImageSave(out, i, "C:/d/run_" + std::to_string(static_cast<int>(energies[i])) + ".xml_vra");
        c.SeriesIndexKeyDoubleSet(out, i, {{"X", {energies[i]}}});
        c.SeriesSave(out, "C:/d/run.xmlsrs");
        c.UpdateAll();
    }
    const standin::Window made = Viewer().GetWindow(out);
    ASSERT_EQ(2u, made.entries.size());
    EXPECT_EQ("C:/d/run_12000.xml_vra", made.entries[1].fileName);
    EXPECT_EQ(12000.0, made.entries[1].indexKeyDouble.at("X").at(0));
    EXPECT_EQ(12000.0, made.entries[1].imageKeyDouble.at("__XFH.PhotonEnergy_eV").at(0));
    EXPECT_TRUE(SameImage(Ramp(8, 4, 0, 1), made.entries[1].image));
    EXPECT_EQ(2, made.saveCount);

    // halvane: every image of series 2 loaded, copied into a new series with
    // its per-index keys, saved and the series renewed, with its own messages.
    auto send = [&](std::int32_t command, std::int32_t window, std::int32_t* index,
                    const std::function<void(LwCmdPackUnpack&)>& args = nullptr) {
        auto request = std::make_unique<LwCmdPackUnpack>("w");
        auto reply = std::make_unique<LwCmdPackUnpack>("r");
        request->OpenCmd();
        request->SetFunctionNumber(command);
        request->PackUnpackWindowID(window);
        if (index != nullptr)
            request->PackUnpackIndex(*index);
        if (args)
            args(*request);
        request->CloseCmd();
        c.SendRecv(*request, *reply);
        return reply;
    };
    const int dest = c.SeriesNewWindow("out/_index.xmlsrs", "image");
    const int n = c.SeriesGetCount(series_);
    ASSERT_EQ(3, n);
    for (std::int32_t i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        send(LwCmdPackUnpack::CmdSeriesImageIndexSetWithLoadImage, series_, &i);
        bool loaded = false, success = false;
        int polls = 0;
        while (!loaded && polls < 20) {
            c.GetIsLoaded(loaded, success);
            ++polls;
        }
        EXPECT_EQ(3, polls);
        ASSERT_TRUE(success);
        auto name = send(LwCmdPackUnpack::CmdGetFileName, series_, nullptr);
        std::string file;
        name->OpenCmd();
        name->StringValue("filenameUtf8", file);
        name->CloseCmd();
        auto keys = send(LwCmdPackUnpack::CmdSeriesIndexKeyDoubleGet, series_, &i);
        LwPackUnpack::DoubleMap indexKeys;
        keys->OpenCmd();
        keys->Packer().PackUnpackDoubleMap("SeriesIndexKeyDouble", indexKeys);
        keys->CloseCmd();
        EXPECT_EQ(1000.0 * i, indexKeys.at("X").at(0));
        send(LwCmdPackUnpack::CmdSeriesImageIndexSet, dest, &i);
        LwFloatMatrix image;
        c.ImageGet(series_, image, true);
        c.ImageSet(dest, image);
        send(LwCmdPackUnpack::CmdSeriesIndexKeyDoubleSet, dest, &i,
             [&](LwCmdPackUnpack& r) { r.Packer().PackUnpackDoubleMap("SeriesIndexKeyDouble", indexKeys); });
        send(LwCmdPackUnpack::CmdSeriesImageSave, dest, &i,
             [&](LwCmdPackUnpack& r) { r.PutFilenameUtf8(file); });
        send(LwCmdPackUnpack::CmdSeriesSaveRenew, dest, nullptr);
    }
    const standin::Window copy = Viewer().GetWindow(dest);
    ASSERT_EQ(3u, copy.entries.size());
    EXPECT_EQ(3, copy.renewCount);
    EXPECT_EQ("C:/data/img_002.dat", copy.entries[2].fileName);
    EXPECT_TRUE(SameImage(Ramp(2, 2, 2, 0), copy.entries[2].image));
    EXPECT_EQ(2000.0, copy.entries[2].indexKeyDouble.at("X").at(0));

    // A load that fails reports isSuccess false.
    Faults f;
    f.failLoads = true;
    Viewer().SetFaults(f);
    std::int32_t zero = 0;
    send(LwCmdPackUnpack::CmdSeriesImageIndexSetWithLoadImage, series_, &zero);
    bool loaded = false, success = true;
    while (!loaded)
        c.GetIsLoaded(loaded, success);
    EXPECT_FALSE(success);
}

// A series request that the viewer refuses (a window or an entry it does not
// have, as after a restart) is an error in words, whichever way it is sent.
TEST_P(ClientTest, RefusedSeriesRequestsAreErrors)
{
    LwPluginFuncZyvra& c = *client_;
    const std::int32_t gone = 99;
    const std::vector<std::pair<std::function<void()>, std::string>> requests = {
        {[&] { c.SeriesSave(gone, "a.xmlsrs"); }, "SeriesSave (window 99): Window is not found"},
        {[&] { c.SeriesImageSave(gone, 0, "a_1.xml_vra"); },
         "SeriesImageSave (window 99): Series index is not found"},
        {[&] {
             c.SeriesIndexKeyDoubleSet(gone, 0, {{"X", {1.0}}});
         },
         "SeriesIndexKeyDoubleSet (window 99): Series index is not found"},
        {[&] { c.SeriesImageIndexSet(series_, -1); },
         "SeriesImageIndexSet (window " + std::to_string(series_) + "): Series index is not found"},
        {[&] { c.Call(LwCmdPackUnpack::CmdSeriesSaveRenew, &gone, nullptr, nullptr); },
         "SeriesSaveRenew (window 99): Window is not found"},
    };
    for (const auto& [request, text] : requests) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ErrorText(request), "The image viewer refused " + text);
    }
    // The same requests on the series the viewer has go through.
    c.SeriesImageIndexSet(series_, 1);
    c.SeriesImageSave(series_, 1, "b_1.xml_vra");
    c.SeriesIndexKeyDoubleSet(series_, 1, {{"X", {2.0}}});
    c.SeriesSave(series_, "b.xmlsrs");
    EXPECT_EQ(Viewer().GetWindow(series_).entries[1].fileName, "b_1.xml_vra");
}

INSTANTIATE_TEST_SUITE_P(Transports, ClientTest, ::testing::Values(Transport::Tcp, Transport::Local),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return info.param == Transport::Tcp ? "Tcp" : "Local";
                         });

}  // namespace

namespace {

// Records what the client tells of its waits; cancels a wait once it has
// lasted `cancelAfterMs` (never when negative).
class RecordingWaitObserver : public LwWaitObserver
{
public:
    void WaitStarted(const std::string& what) override
    {
        started.push_back(what);
        longest = 0;
    }
    bool IsWaitCancelled(std::int64_t elapsedMs) override
    {
        longest = std::max(longest, elapsedMs);
        return cancelAfterMs >= 0 && elapsedMs >= cancelAfterMs;
    }
    void WaitEnded() override { ++ended; }

    std::vector<std::string> started;
    int ended = 0;
    std::int64_t longest = 0;
    std::int64_t cancelAfterMs = -1;
};

// The stand-in as a process of its own, paused with SIGSTOP as a viewer that
// hangs: the wait is shown to the observer, which can end it; a viewer that
// does not answer is an error in words; once it runs again, the late replies
// are dropped and the next request gets its own.
class PausedViewerTest : public ::testing::TestWithParam<Transport>
{
protected:
    // A stand-in started under `name` with its seeded window (Seeded()),
    // and the client connected to it over the test's transport, its waits
    // shown to the observer.
    void Start(const std::string& name)
    {
        viewer_ = std::make_unique<viewertest::ViewerProcess>(
            LW_STANDIN_VIEWER_EXE, QString::fromStdString(name), QStringList{"-S", "4"});
        ASSERT_NE(viewer_->Port(), 0);
        std::vector<std::string> args = {
            "/nowhere/velmora", "-P", std::to_string(viewer_->Port()), "-L", name, "-"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        client_.InitSetCmdline(static_cast<int>(argv.size()), argv.data());
        client_.SetUseLocalSocket(GetParam() == Transport::Local);
        client_.SetWaitObserver(&observer_);
        ASSERT_TRUE(client_.Connect());
        seeded_ = client_.WindowGetFocusedID();
        ASSERT_GT(seeded_, 0);
    }
    void Pause() { ASSERT_EQ(0, ::kill(static_cast<pid_t>(viewer_->Pid()), SIGSTOP)); }
    void Resume() { ASSERT_EQ(0, ::kill(static_cast<pid_t>(viewer_->Pid()), SIGCONT)); }
    // Each of `requests` sent while the viewer is paused, its wait cancelled
    // after 200 ms; then the viewer goes on and its late replies arrive.
    void CancelledWhilePaused(const std::vector<std::function<void()>>& requests)
    {
        ASSERT_NO_FATAL_FAILURE(Pause());
        observer_.cancelAfterMs = 200;
        for (const std::function<void()>& request : requests)
            EXPECT_NE(ErrorText(request).find("\nCANCELED"), std::string::npos);
        ASSERT_NO_FATAL_FAILURE(Resume());
        viewertest::Spin(300);
        observer_.cancelAfterMs = -1;
    }

    std::unique_ptr<viewertest::ViewerProcess> viewer_;
    RecordingWaitObserver observer_;
    LwPluginFuncZyvra client_;
    std::int32_t seeded_ = -1;
};

TEST_P(PausedViewerTest, TheObserverSeesTheWaitAndCanEndIt)
{
    ASSERT_NO_FATAL_FAILURE(Start("zyvrapaused"));
    const bool local = GetParam() == Transport::Local;
    const std::string place = local ? "local socket zyvrapaused" : "port " + std::to_string(viewer_->Port());
    LwPluginFuncZyvra& client = client_;
    RecordingWaitObserver& observer = observer_;
    const std::int32_t window = seeded_;
    ASSERT_EQ(observer.started, std::vector<std::string>{"the image viewer (" + place + ")"});
    EXPECT_EQ(observer.ended, 1);

    ASSERT_NO_FATAL_FAILURE(Pause());
    // Without the cancel this would wait 3 x 100000 polls.
    client.SetExchangeLimits(3, 100000);
    observer.cancelAfterMs = 300;
    EXPECT_EQ("Sending to the image viewer was cancelled (" + place + ")\nCANCELED" + kSubSendRecv,
              ErrorText([&] { client.WindowGetFocusedID(); }));
    EXPECT_GE(observer.longest, 300);
    EXPECT_EQ(observer.ended, 2);
    EXPECT_FALSE(client.IsBusy());

    observer.cancelAfterMs = -1;
    client.SetExchangeLimits(1, 20);
    EXPECT_EQ("The image viewer did not answer in time (" + place + ")\nNo reply from ZYVRA-IMAGE" +
                  kSubSendRecv + kUpdateAll,
              ErrorText([&] { client.UpdateAll(); }));
    EXPECT_EQ(observer.ended, 3);

    ASSERT_NO_FATAL_FAILURE(Resume());
    viewertest::Spin(300);  // the two late replies arrive
    client.SetExchangeLimits(3, 300);
    EXPECT_EQ(window, client.WindowGetFocusedID());
    EXPECT_EQ(observer.started.size(), 4u);
    EXPECT_EQ(observer.ended, 4);
}

// A new window asked for while the viewer was paused, the wait cancelled:
// once the viewer goes on it makes that window, and the next ImageNewWindow
// takes it instead of leaving it empty beside a second one. Asked for while
// the viewer is still paused, it fails without asking for another window.
TEST_P(PausedViewerTest, AWindowMadeAfterItsWaitWasCancelledIsTakenByTheNextNewWindow)
{
    ASSERT_NO_FATAL_FAILURE(Start("zyvralate"));
    LwPluginFuncZyvra& client = client_;
    const std::int32_t seeded = seeded_;

    const auto newWindow = [&] { client.ImageNewWindow(); };
    ASSERT_NO_FATAL_FAILURE(CancelledWhilePaused({newWindow, newWindow}));
    // The one window the viewer made is taken; the next is a new one.
    EXPECT_EQ(seeded + 1, client.ImageNewWindow());
    EXPECT_EQ(seeded + 1, client.WindowGetFocusedID());
    EXPECT_EQ(seeded + 2, client.ImageNewWindow());
    EXPECT_FALSE(client.GetIsModeImage(seeded + 3));
}

// The same for a series window: the next SeriesNewWindow for the same file
// and mode takes the one made late; one for another file makes its own.
TEST_P(PausedViewerTest, ASeriesWindowMadeAfterItsWaitWasCancelledIsTakenByTheNextForItsFile)
{
    ASSERT_NO_FATAL_FAILURE(Start("zyvralateseries"));
    LwPluginFuncZyvra& client = client_;
    const std::int32_t seeded = seeded_;

    ASSERT_NO_FATAL_FAILURE(
        CancelledWhilePaused({[&] { client.SeriesNewWindow("/tmp/a.xmlsrs", "image"); }}));
    EXPECT_EQ(seeded + 1, client.SeriesNewWindow("/tmp/a.xmlsrs", "image"));
    EXPECT_TRUE(client.GetIsModeSeries(seeded + 1));
    EXPECT_FALSE(client.GetIsModeSeries(seeded + 2));

    // Given up on for one file, asked again for another: the late window is
    // not that one's.
    ASSERT_NO_FATAL_FAILURE(
        CancelledWhilePaused({[&] { client.SeriesNewWindow("/tmp/b.xmlsrs", "image"); }}));
    EXPECT_EQ(seeded + 3, client.SeriesNewWindow("/tmp/c.xmlsrs", "image"));
}

INSTANTIATE_TEST_SUITE_P(Transports, PausedViewerTest, ::testing::Values(Transport::Tcp, Transport::Local),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return info.param == Transport::Tcp ? "Tcp" : "Local";
                         });

}  // namespace
