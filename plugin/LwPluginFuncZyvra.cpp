// The client core: settings, start-up, menu file, connection and exchange.
#include "plugin/LwPluginFuncZyvra.h"

#include "core/LwBarnFile.h"
#include "core/LwError.h"
#include "core/LwWaitObserver.h"
#include "core/TextUtilities.h"
#include "plugin/LwCommonClientSocket.h"
#include "plugin/LwPluginErrors.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QSharedMemory>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

namespace {

const char* const kSubSendRecv = "void LwPluginFuncZyvra::SubSendRecv(LwCmdPackUnpack&, LwCmdPackUnpack&)";
const char* const kRecvMsg = "bool LwPluginFuncZyvra::RecvMsg()";
const char* const kSubConnect = "void LwPluginFuncZyvra::SubConnect()";
const char* const kInitMenuAdd =
    "void LwPluginFuncZyvra::InitMenuAdd(std::__cxx11::string, std::__cxx11::string, "
    "std::__cxx11::string, std::__cxx11::string)";
const char* const kInitSetCmdline = "void LwPluginFuncZyvra::InitSetCmdline(int, char**)";
const char* const kInitMenuFileWrite = "void LwPluginFuncZyvra::InitMenuFileWrite()";
const char* const kMenuFileNotWritten =
    "The menu file through which the image viewer lists this program cannot be written";

constexpr int kConnectTries = 5;

// The commands of a series window: a viewer that lost the window or the
// entry says so in "ReturnCode" rather than in a failed exchange.
bool IsSeriesCommand(std::int32_t command)
{
    return (command >= LwCmdPackUnpack::CmdGetIsModeSeries && command <= 60) ||
           (command >= LwCmdPackUnpack::CmdSeriesKeyDoubleGet && command <= 72) ||
           (command >= LwCmdPackUnpack::CmdSeriesSaveRenew && command <= 97);
}

// LwError naming the command (and window) when the reply holds a
// "ReturnCode" other than "ok"; a reply without one is success.
// The reply's call element is open.
void CheckReturnCode(LwCmdPackUnpack& reply, const std::string& name, const std::int32_t* window)
{
    std::string code = "ok";
    reply.StringValue("ReturnCode", code);
    if (code == "ok")
        return;
    const std::string where = window != nullptr ? " (window " + std::to_string(*window) + ")" : "";
    throw LwError("The image viewer refused " + name + where + ": " + code);
}
constexpr unsigned long kPollSleepMs = 10;

// Tells the wait observer of the end of a wait on every path out of it.
class WaitScope
{
public:
    WaitScope(LwWaitObserver* observer, const std::string& what) : observer_(observer)
    {
        if (observer_ != nullptr)
            observer_->WaitStarted(what);
        clock_.start();
    }
    ~WaitScope()
    {
        if (observer_ != nullptr)
            observer_->WaitEnded();
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
    bool IsCancelled() { return observer_ != nullptr && observer_->IsWaitCancelled(clock_.elapsed()); }

private:
    LwWaitObserver* observer_;
    QElapsedTimer clock_;
};

}  // namespace

bool SerializeMenuEntry(LwPluginMenuEntry& entry, LwBarnXml& doc, const std::string& itemName)
{
    if (!doc.OpenRack(itemName))
        return false;
    doc.ValueString("Exe", entry.Exe, std::string());
    doc.ValueString("Parameter", entry.Parameter, std::string());
    doc.ValueString("Title", entry.Title, std::string());
    doc.ValueString("TitleSubmenu", entry.TitleSubmenu, std::string());
    doc.ValueString("TitleMenu", entry.TitleMenu, std::string());
    doc.CloseRack(itemName);
    return true;
}

LwPluginFuncZyvra::LwPluginFuncZyvra()
{
    clock_.start();
}

LwPluginFuncZyvra::~LwPluginFuncZyvra()
{
    if (socket_)
        socket_->Close();
}

void LwPluginFuncZyvra::InitMenuAdd(const std::string& parameter, const std::string& titleMenu,
                                    const std::string& titleSubmenu, const std::string& title)
{
    LwPluginErrors::Wrap(kInitMenuAdd, [&] {
        LwPluginMenuEntry entry;
        entry.Parameter = parameter;
        entry.TitleMenu = titleMenu;
        entry.TitleSubmenu = titleSubmenu;
        entry.Title = title;
        menuEntries_.push_back(entry);
    });
}

void LwPluginFuncZyvra::InitSetCmdline(int argc, char** argv)
{
    LwPluginErrors::Wrap(kInitSetCmdline, [&] {
        if (argc < 1 || argv == nullptr)
            return;
        programPath_ = argv[0] != nullptr ? argv[0] : "";
        std::string refused;
        bool refusedIsNumber = true;
        for (int i = 1; i <= argc - 2; ++i) {
            const std::string option = argv[i];
            if (option == "-P") {
                // What a text stream reads from the start of the value: blanks
                // skipped, digits up to the first other character. A value
                // without digits leaves 0 and is no number; an overflow
                // leaves the type's limit and is out of range.
                std::istringstream in(argv[i + 1]);
                long long value = 0;
                in >> value;
                const bool isNumber = !in.fail() || value != 0;
                if (isNumber && value >= 1 && value <= 65535) {
                    port_ = static_cast<std::int32_t>(value);
                } else {
                    refused = argv[i + 1];
                    refusedIsNumber = isNumber;
                }
            } else if (option == "-L") {
                localServerName_ = QString::fromUtf8(argv[i + 1]);
            }
        }
        if (!refused.empty() && !refusedIsNumber)
            throw LwError("Port number is not a number: " + refused);
        if (!refused.empty())
            throw LwError("Port number is out of range (1 to 65535): " + refused);
    });
}

void LwPluginFuncZyvra::InitMenuFileWrite()
{
    LwPluginErrors::Wrap(kInitMenuFileWrite, [&] {
        const std::string fileName = ReplaceExtension(programPath_, ".menu");
        const std::string exe = GetFileName(programPath_);
        for (LwPluginMenuEntry& entry : menuEntries_)
            entry.Exe = exe;
        try {
            LwBarnFile doc(fileName, "w");
            doc.OpenRack("ZYVRA-MENU");
            doc.ValueVectorString("FileLoaderExtWithComma_", loaderExtensions_);
            LoadSaveList(doc, "menuList", "i", menuEntries_, SerializeMenuEntry);
            doc.CloseRack("ZYVRA-MENU");
            doc.Save();
        } catch (const LwError& e) {
            throw LwError(std::string(kMenuFileNotWritten) + "\n" + e.Message());
        }
    });
}

LwCommonClientSocket& LwPluginFuncZyvra::GetSocket()
{
    if (!socket_) {
        if (useLocalSocket_)
            socket_ = std::make_unique<LwCommonClientLocalSocket>(localServerName_);
        else
            socket_ = std::make_unique<LwCommonClientTcpSocket>(host_, port_);
    }
    return *socket_;
}

void LwPluginFuncZyvra::SubConnect()
{
    try {
        LwCommonClientSocket& socket = GetSocket();
        if (socket.IsConnected())
            return;
        for (int i = 0; i < kConnectTries && !socket.IsConnected(); ++i)
            socket.Connect();
        if (!socket.IsConnected())
            throw LwError("ZYVRA-IMAGE main window is not found.");
        // A new connection may be to another viewer: what was known of the
        // last one's windows does not hold for it.
        ++connections_;
        unansweredNewWindow_.clear();
        lateNewWindow_ = -1;
        lateNewWindowRequest_.clear();
    } catch (const LwError&) {
        throw;
    } catch (...) {
        throw LwError(std::string("undefined err:") + kSubConnect);
    }
}

bool LwPluginFuncZyvra::Connect()
{
    try {
        SubConnect();
    } catch (...) {}
    return IsConnected();
}

bool LwPluginFuncZyvra::IsConnected()
{
    return GetSocket().IsConnected();
}

std::string LwPluginFuncZyvra::ViewerPlace() const
{
    if (useLocalSocket_)
        return "local socket " + localServerName_.toUtf8().toStdString();
    return "port " + std::to_string(port_);
}

void LwPluginFuncZyvra::ThrowLost()
{
    std::printf("SOCKET IS NOT ACTIVE. \n");
    std::fflush(stdout);
    throw LwError("The image viewer is not reachable (" + ViewerPlace() + ")\nSocket is not active");
}

void LwPluginFuncZyvra::EnsureConnected()
{
    LwCommonClientSocket& socket = GetSocket();
    // A peer that closed the connection shows only once the transport looks
    // at it: DiscardPending has, and the state is now up to date.
    if (socket.IsConnected())
        return;
    try {
        SubConnect();
    } catch (const LwError&) {
        ThrowLost();
    }
}

void LwPluginFuncZyvra::SetExchangeLimits(int sends, int pollsPerSend)
{
    sends_ = std::max(1, sends);
    pollsPerSend_ = std::max(1, pollsPerSend);
}

bool LwPluginFuncZyvra::IsMessageReceived() const
{
    // "</vra>" and exactly the one character the writer puts after it.
    static const std::string endTag = "</vra>";
    const std::size_t n = replyText_.size();
    return n >= 7 && replyText_.compare(n - 7, endTag.size(), endTag) == 0;
}

bool LwPluginFuncZyvra::RecvMsg()
{
    return LwPluginErrors::Wrap(kRecvMsg, [&] {
        LwCommonClientSocket& socket = GetSocket();
        if (!socket.Read())
            return false;
        replyText_ += socket.ReceivedText();
        socket.ClearReceivedText();
        return IsMessageReceived();
    });
}

void LwPluginFuncZyvra::PollPause()
{
    // The pause between two polls lasts 10 ms unless reply bytes arrive
    // first: a reply is taken as soon as it is there, while a silent viewer
    // still costs every poll at least the full pause (a transport that gives
    // up early is made up for by sleeping), so the poll counts keep bounding
    // the wait in time.
    QElapsedTimer pause;
    pause.start();
    if (GetSocket().WaitForData(static_cast<int>(kPollSleepMs)))
        return;
    const qint64 left = static_cast<qint64>(kPollSleepMs) - pause.elapsed();
    if (left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
}

void LwPluginFuncZyvra::SubSendRecv(LwCmdPackUnpack& request, LwCmdPackUnpack& reply)
{
    if (busy_) {
        // The waiting exchange keeps its flag.
        LwError e("SYSTEM ERROR:Function is doublly called");
        e.AddFunction(kSubSendRecv);
        throw e;
    }
    busy_ = true;
    try {
        request.Packer().ToText(requestText_);
        LwCommonClientSocket& socket = GetSocket();
        socket.ClearReceivedText();
        replyText_.clear();
        cancel_ = false;
        // A reply that came after its exchange gave up must not answer this
        // one; a late reply to a request that made a window names it.
        socket.DiscardPending();
        std::string dropped = socket.ReceivedText();
        socket.ClearReceivedText();
        TakeLateNewWindowReply(dropped);
        requestWritten_ = false;
        // A viewer started after the program, or restarted, is connected
        // again here rather than failing every later request.
        EnsureConnected();
        WaitScope wait(waitObserver_, "the image viewer (" + ViewerPlace() + ")");
        // A request that makes a window, region or line is not repeated: a
        // slow viewer would make two.
        const int sends = request.CreatesObject() ? 1 : sends_;
        bool complete = false;
        for (int send = 0; send < sends && !complete; ++send) {
            socket.Write(requestText_);
            requestWritten_ = true;
            for (int poll = 0; poll < pollsPerSend_; ++poll) {
                if (RecvMsg()) {
                    // The flush's own reply names no window: one that does
                    // is the late reply, and this one's follows it.
                    if (!(flushingLateReply_ && TakeLateNewWindowReply(replyText_) && !IsMessageReceived())) {
                        complete = true;
                        break;
                    }
                }
                if (wait.IsCancelled())
                    cancel_ = true;
                if (cancel_)
                    throw LwError("Sending to the image viewer was cancelled (" + ViewerPlace() +
                                  ")\nCANCELED");
                if (!socket.IsConnected())
                    ThrowLost();
                PollPause();
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            }
        }
        if (!complete)
            throw LwError("The image viewer did not answer in time (" + ViewerPlace() +
                          ")\nNo reply from ZYVRA-IMAGE");
        reply.Packer().FromText(replyText_);
        busy_ = false;
    } catch (LwError& e) {
        busy_ = false;
        e.AddFunction(kSubSendRecv);
        throw;
    } catch (...) {
        busy_ = false;
        throw LwError(std::string("undefined err:") + kSubSendRecv);
    }
}

bool LwPluginFuncZyvra::TakeLateNewWindowReply(std::string& text)
{
    if (unansweredNewWindow_.empty())
        return false;
    static const std::string endTag = "</vra>";
    const std::size_t at = text.find(endTag);
    if (at == std::string::npos || text.size() < at + endTag.size() + 1)
        return false;
    const std::size_t length = at + endTag.size() + 1;
    std::int32_t id = -1;
    try {
        LwCmdPackUnpack reply("r", table_);
        reply.Packer().FromText(text.substr(0, length));
        reply.OpenCmd();
        reply.PackUnpackWindowID(id);
        reply.CloseCmd();
    } catch (const LwError&) {
        id = -1;
    }
    if (id < 0)
        return false;
    lateNewWindow_ = id;
    lateNewWindowRequest_ = std::exchange(unansweredNewWindow_, std::string());
    text.erase(0, length);
    return true;
}

void LwPluginFuncZyvra::SendRecv(LwCmdPackUnpack& request, LwCmdPackUnpack& reply)
{
    SubSendRecv(request, reply);
}

void LwPluginFuncZyvra::Call(std::int32_t command, const std::int32_t* window,
                             const std::function<void(LwCmdPackUnpack&)>& args,
                             const std::function<void(LwCmdPackUnpack&)>& results)
{
    LwCmdPackUnpack request("w", table_);
    LwCmdPackUnpack reply("r", table_);
    request.OpenCmd();
    request.SetFunctionNumber(command);
    if (window != nullptr) {
        std::int32_t id = *window;
        request.PackUnpackWindowID(id);
    }
    if (args)
        args(request);
    request.CloseCmd();
    SendRecv(request, reply);
    const bool series = IsSeriesCommand(command);
    if (!results && !series)
        return;
    const bool opened = reply.OpenCmd();
    if (!results && !opened)
        return;  // a series reply without its call element says nothing
    if (series)
        CheckReturnCode(reply, request.FunctionName(command), window);
    if (results)
        results(reply);
    reply.CloseCmd();
}

std::vector<std::string> LwPluginStartUp(LwPluginFuncZyvra& client, int argc, char** argv,
                                         bool useLocalSocket)
{
    std::vector<std::string> reports;
    auto report = [&reports](const LwError& e) {
        reports.push_back(e.Message());
        qWarning().noquote() << QString::fromStdString(e.Message());
    };
    try {
        client.InitSetCmdline(argc, argv);
    } catch (const LwError& e) {
        report(e);
    }
    try {
        client.InitMenuFileWrite();
    } catch (const LwError& e) {
        report(e);
    }
    client.SetUseLocalSocket(useLocalSocket);
    client.Connect();
    return reports;
}
