#include "core/LwBarnXml.h"
#include "core/LwCRMsg.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

LwCRMsg Parsed(const std::string& text)
{
    LwCRMsg msg;
    msg.FromText(text);
    return msg;
}

// True when reading field 4 or 5 throws the bare access text.
bool AccessRefused(const LwCRMsg& msg, bool field5)
{
    try {
        if (field5)
            msg.GetField5();
        else
            msg.GetField4();
    } catch (const char* text) {
        return std::strcmp(text, "Illigal Message Access.") == 0;
    }
    return false;
}

}  // namespace

TEST(LwCRMsg, NewMessageIsEmptyWithoutKind)
{
    const LwCRMsg msg;
    EXPECT_EQ(msg.GetKind(), LwCRMsg::KindNone);
    EXPECT_EQ(msg.GetTag(), -1);
    EXPECT_EQ(msg.GetField1(), "");
    EXPECT_EQ(msg.GetField2(), "");
    EXPECT_EQ(msg.GetField3(), "");
    EXPECT_TRUE(AccessRefused(msg, false));
    EXPECT_TRUE(AccessRefused(msg, true));
}

TEST(LwCRMsg, KindFollowsTheSlashCount)
{
    const struct
    {
        const char* text;
        LwLong kind;
        const char* f1;
        const char* f2;
        const char* f3;
        const char* f4;
        const char* f5;
        const char* why;
    } rows[] = {
        {"", LwCRMsg::KindNone, "", "", "", "", "", "no slash"},
        {"put", LwCRMsg::KindNone, "", "", "", "", "", "no slash, text"},
        {"a/b", LwCRMsg::KindNone, "", "", "", "", "", "one slash"},
        {"put/Stage/12.5mm", LwCRMsg::KindCommand, "put", "Stage", "12.5mm", "", "", "command"},
        {"//", LwCRMsg::KindCommand, "", "", "", "", "", "command of empty fields"},
        {"a/b/c/d", LwCRMsg::KindNone, "", "", "", "", "", "three slashes"},
        {"Stage/put/ok/12.5mm/done", LwCRMsg::KindReply, "put", "Stage", "12.5mm", "ok", "done",
         "reply: fields 1,2 and 3,4 trade places"},
        {"a/b/c/d/e/f", LwCRMsg::KindReply, "b", "a", "d", "c", "e/f", "further slashes stay in field 5"},
        {"////", LwCRMsg::KindReply, "", "", "", "", "", "reply of empty fields"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const LwCRMsg msg = Parsed(r.text);
        EXPECT_EQ(msg.GetKind(), r.kind);
        EXPECT_EQ(msg.GetField1(), r.f1);
        EXPECT_EQ(msg.GetField2(), r.f2);
        EXPECT_EQ(msg.GetField3(), r.f3);
        if (r.kind == LwCRMsg::KindReply) {
            EXPECT_EQ(msg.GetField4(), r.f4);
            EXPECT_EQ(msg.GetField5(), r.f5);
        } else {
            EXPECT_TRUE(AccessRefused(msg, false));
            EXPECT_TRUE(AccessRefused(msg, true));
        }
    }
}

TEST(LwCRMsg, WrongFieldCountKeepsTheFields)
{
    LwCRMsg msg = Parsed("put/Stage/12.5mm");
    msg.FromText("a/b/c/d");
    EXPECT_EQ(msg.GetKind(), LwCRMsg::KindNone);
    EXPECT_EQ(msg.CommandText(), "put/Stage/12.5mm");

    LwCRMsg reply = Parsed("Z/get/ok/3V/x");
    reply.FromText("only/one");
    EXPECT_EQ(reply.GetKind(), LwCRMsg::KindNone);
    EXPECT_EQ(reply.ReplyText(), "Z/get/ok/3V/x");
}

TEST(LwCRMsg, TextFormsGiveTheMessageBack)
{
    for (const char* text : {"put/Stage/12.5mm", "get/Z/", "//"}) {
        SCOPED_TRACE(text);
        const LwCRMsg msg = Parsed(text);
        EXPECT_EQ(msg.CommandText(), text);
        const LwCRMsg again = Parsed(msg.CommandText());
        EXPECT_EQ(again.GetKind(), LwCRMsg::KindCommand);
        EXPECT_EQ(again.CommandText(), text);
    }
    for (const char* text : {"Z/get/ok/-3.5V/x", "a/b/c/d/e/f/g", "////"}) {
        SCOPED_TRACE(text);
        const LwCRMsg msg = Parsed(text);
        EXPECT_EQ(msg.ReplyText(), text);
        EXPECT_EQ(Parsed(msg.ReplyText()).ReplyText(), text);
    }
}

TEST(LwCRMsg, CopyKeepsEveryField)
{
    const LwCRMsg reply = Parsed("Z/get/ok/3V/x");
    LwCRMsg copy(reply);
    EXPECT_EQ(copy.GetKind(), LwCRMsg::KindReply);
    EXPECT_EQ(copy.ReplyText(), reply.ReplyText());
    EXPECT_EQ(copy.GetTag(), -1);
    LwCRMsg assigned = Parsed("put/a/1");
    assigned = reply;
    EXPECT_EQ(assigned.GetField5(), "x");
}

TEST(LwCRMsg, GetNumberOfField3)
{
    const struct
    {
        const char* field3;
        bool found;
        double number;
        const char* unit;
        const char* why;
    } rows[] = {
        {"12.5mm", true, 12.5, "mm", "number then unit"},
        {"x=-3.5e2V", true, -350.0, "V", "text before, exponent inside"},
        {"-", true, 0.0, "-", "lone minus: no digit, so no number text at all"},
        {"+", true, 0.0, "+", "lone plus"},
        {"abc", false, 0.0, "", "letters only"},
        {"", false, 0.0, "", "empty"},
        {"42", true, 42.0, "", "no unit"},
        {".", true, 0.0, "", "lone point reads as no number"},
        {"T=300K and 5", true, 300.0, "", "the number text runs to the last digit"},
        {"-.25 deg", true, -0.25, " deg", "unit keeps its blank"},
        {"1e5", true, 100000.0, "", "last digit is the exponent"},
        {"5e", true, 5.0, "e", "incomplete exponent is unit"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const LwCRMsg msg = Parsed(std::string("put/obj/") + r.field3);
        ASSERT_EQ(msg.GetField3(), r.field3);
        double number = 99;
        std::string unit = "old";
        EXPECT_EQ(msg.GetNumber(number, unit), r.found);
        EXPECT_DOUBLE_EQ(number, r.number);
        EXPECT_EQ(unit, r.unit);
    }
}

TEST(CommandListToValues, NumberComesFromReplyForGetAndCommandForPut)
{
    LwMsgCmdRplyList list(4);
    list[0].Cmd.FromText("get/Z/");
    list[0].Rply.FromText("Z/get/ok/1.5mm/");
    list[1].Cmd.FromText("put/Z/-2.25mm");
    list[1].Rply.FromText("Z/put/ok/7mm/");
    list[2].Cmd.FromText("GET/Z/4");  // verbs are case-sensitive
    list[2].Rply.FromText("Z/GET/ok/8/");
    list[3].Cmd.FromText("move/Q/4");  // neither get nor put
    list[3].Rply.FromText("Q/move/ok/9/");
    LwInfoValueMap map;
    CommandListToValues(map, list, "CmdBeforeSurvey");
    const LwInfoValueMap expected{
        {"CmdBeforeSurvey#0#Z", {1.5}},
        {"CmdBeforeSurvey#1#Z", {-2.25}},
        {"CmdBeforeSurvey#2#Z", {0.0}},
        {"CmdBeforeSurvey#3#Q", {0.0}},
    };
    EXPECT_EQ(map, expected);
}

TEST(CommandListToValues, MessageWithoutNumberStoresZero)
{
    LwMsgCmdRplyList list(1);
    list[0].Cmd.FromText("get/Shutter/");
    list[0].Rply.FromText("Shutter/get/ok/open/");
    LwInfoValueMap map{{"P#0#Shutter", {5.0, 6.0}}};
    CommandListToValues(map, list, "P");
    EXPECT_EQ(map["P#0#Shutter"], std::vector<double>({0.0, 6.0}));
}

TEST(CommandListToValues, EmptyListAddsNothing)
{
    LwInfoValueMap map;
    CommandListToValues(map, {}, "CmdAfterSurvey");
    EXPECT_TRUE(map.empty());
}

TEST(CommandListToStrings, CommandTextUnderPrefixAndIndex)
{
    LwMsgCmdRplyList list(3);
    list[0].Cmd.FromText("put/I0/1.0");
    list[1].Cmd.FromText("not a command");  // kind 0: its (empty) fields are still stored
    list[2].Cmd.FromText("get/Mon/");
    list[2].Rply.FromText("Mon/get/ok/3/");
    LwInfoStringMap map;
    CommandListToStrings(map, list, "I0Cmd");
    const LwInfoStringMap expected{
        {"I0Cmd#0", {"put/I0/1.0"}},
        {"I0Cmd#1", {"//"}},
        {"I0Cmd#2", {"get/Mon/"}},
    };
    EXPECT_EQ(map, expected);
}

// ---- Barn forms of pairs and lists ----------------------------------------

using barn_test::WriteInD;

TEST(LwMsgCmdRply, WritesCommandAndReplyForms)
{
    LwMsgCmdRply pair;
    pair.Cmd.FromText("put/Stage/1<2mm");
    pair.Rply.FromText("Stage/put/ok/1<2mm/done");
    const std::string text =
        WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(pair.Serialize(doc, "MsgForSetX")); });
    EXPECT_EQ(text, "<d><MsgForSetX><Cmd>put/Stage/1&lt;2mm</Cmd>\n"
                    "<Rply>Stage/put/ok/1&lt;2mm/done</Rply>\n"
                    "</MsgForSetX>\n</d>\n");

    auto doc = barn_test::Parse(text);
    ASSERT_TRUE(doc->OpenRack("d"));
    LwMsgCmdRply back;
    EXPECT_TRUE(back.Serialize(*doc, "MsgForSetX"));
    EXPECT_EQ(back.Cmd.GetKind(), LwCRMsg::KindCommand);
    EXPECT_EQ(back.Cmd.CommandText(), "put/Stage/1<2mm");
    EXPECT_EQ(back.Rply.GetKind(), LwCRMsg::KindReply);
    EXPECT_EQ(back.Rply.ReplyText(), "Stage/put/ok/1<2mm/done");
    doc->CloseRack("d");
}

TEST(LwMsgCmdRply, MessageOfTheOtherKindIsNotWritten)
{
    LwMsgCmdRply pair;
    pair.Cmd.FromText("Z/get/ok/3/x");  // a reply in the command's place
    pair.Rply.FromText("get/Z/");  // a command in the reply's place
    const std::string text = WriteInD([&](LwBarnXml& doc) { pair.Serialize(doc, "mg"); });
    EXPECT_EQ(text, "<d><mg></mg>\n</d>\n");

    auto doc = barn_test::Parse(text);
    ASSERT_TRUE(doc->OpenRack("d"));
    LwMsgCmdRply back = pair;
    EXPECT_TRUE(back.Serialize(*doc, "mg"));
    EXPECT_EQ(back.Cmd.GetKind(), LwCRMsg::KindNone);
    EXPECT_EQ(back.Cmd.CommandText(), "//");
    EXPECT_EQ(back.Rply.GetKind(), LwCRMsg::KindNone);
}

TEST(LwMsgCmdRply, MissingRackReturnsFalseAndKeepsThePair)
{
    auto doc = barn_test::Parse("<d><other/></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    LwMsgCmdRply pair;
    pair.Cmd.FromText("put/a/1");
    EXPECT_FALSE(pair.Serialize(*doc, "MsgForSetX"));
    EXPECT_EQ(pair.Cmd.CommandText(), "put/a/1");
    EXPECT_EQ(doc->CurrentRack()->GetName(), "d");
}

TEST(SerializeMsgCmdRplyList, ListRoundTrip)
{
    LwMsgCmdRplyList list(3);
    list[0].Cmd.FromText("get/Z/");
    list[0].Rply.FromText("Z/get/ok/1.5mm/");
    list[1].Cmd.FromText("put/Z/-2mm");
    list[1].Rply.FromText("Z/put/ok/-2mm/");
    list[2].Cmd.FromText("put/T/300K");
    const std::string text =
        WriteInD([&](LwBarnXml& doc) { EXPECT_TRUE(SerializeMsgCmdRplyList(list, doc, "CmdBeforeSurvey")); });
    EXPECT_EQ(text.rfind("<d><CmdBeforeSurvey><ListMsgCmdRply><mg><Cmd>get/Z/</Cmd>\n", 0), 0u) << text;

    auto doc = barn_test::Parse(text);
    ASSERT_TRUE(doc->OpenRack("d"));
    LwMsgCmdRplyList back(7);  // replaced, not appended to
    EXPECT_TRUE(SerializeMsgCmdRplyList(back, *doc, "CmdBeforeSurvey"));
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back[i].Cmd.GetKind(), LwCRMsg::KindCommand);
        EXPECT_EQ(back[i].Cmd.CommandText(), list[i].Cmd.CommandText());
        EXPECT_EQ(back[i].Rply.GetKind(), list[i].Rply.GetKind());
        EXPECT_EQ(back[i].Rply.ReplyText(), list[i].Rply.ReplyText());
    }
    doc->CloseRack("d");
}

TEST(SerializeMsgCmdRplyList, MissingOrEmptyRacks)
{
    const struct
    {
        const char* text;
        bool found;
        std::size_t size;
        const char* why;
    } rows[] = {
        {"<d></d>", false, 1, "no list rack: list kept"},
        {"<d><L><other/></L></d>", false, 1, "no ListMsgCmdRply: list kept"},
        {"<d><L><ListMsgCmdRply></ListMsgCmdRply></L></d>", true, 0, "empty list"},
        {"<d><L><ListMsgCmdRply><mg><Cmd>put/a/1</Cmd></mg><mg/></ListMsgCmdRply></L></d>", true, 1,
         "a self-closed item is no item \"mg\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        auto doc = barn_test::Parse(r.text);
        ASSERT_TRUE(doc->OpenRack("d"));
        LwMsgCmdRplyList list(1);
        EXPECT_EQ(SerializeMsgCmdRplyList(list, *doc, "L"), r.found);
        EXPECT_EQ(list.size(), r.size);
        EXPECT_EQ(doc->CurrentRack()->GetName(), "d");
        EXPECT_NO_THROW(doc->CloseRack("d"));
    }
}

TEST(SerializeMsgCmdRplyList, EmptyListRackAddsNoMetadata)
{
    auto doc = barn_test::Parse("<d><CmdAfterSurvey><ListMsgCmdRply></ListMsgCmdRply></CmdAfterSurvey></d>");
    ASSERT_TRUE(doc->OpenRack("d"));
    LwMsgCmdRplyList list;
    ASSERT_TRUE(SerializeMsgCmdRplyList(list, *doc, "CmdAfterSurvey"));
    LwInfoValueMap map;
    CommandListToValues(map, list, "CmdAfterSurvey");
    EXPECT_TRUE(map.empty());
}
