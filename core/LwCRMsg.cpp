#include "core/LwCRMsg.h"

#include "core/LwBarnXml.h"
#include "core/TextUtilities.h"

namespace {

const char* const kIllegalAccess = "Illigal Message Access.";

}  // namespace

LwCRMsg::LwCRMsg() = default;

LwCRMsg::~LwCRMsg() = default;

std::string LwCRMsg::GetField4() const
{
    if (kind_ != KindReply)
        throw kIllegalAccess;
    return field4_;
}

std::string LwCRMsg::GetField5() const
{
    if (kind_ != KindReply)
        throw kIllegalAccess;
    return field5_;
}

void LwCRMsg::FromText(const std::string& text)
{
    // Offsets of the first four slashes and the total count.
    std::size_t slash[4] = {};
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '/')
            continue;
        if (count < 4)
            slash[count] = i;
        ++count;
    }
    auto piece = [&text](std::size_t from, std::size_t to) { return text.substr(from, to - from); };
    if (count == 2) {
        field1_ = piece(0, slash[0]);
        field2_ = piece(slash[0] + 1, slash[1]);
        field3_ = text.substr(slash[1] + 1);
        kind_ = KindCommand;
    } else if (count >= 4) {
        field2_ = piece(0, slash[0]);
        field1_ = piece(slash[0] + 1, slash[1]);
        field4_ = piece(slash[1] + 1, slash[2]);
        field3_ = piece(slash[2] + 1, slash[3]);
        field5_ = text.substr(slash[3] + 1);
        kind_ = KindReply;
    } else {
        kind_ = KindNone;
    }
}

std::string LwCRMsg::CommandText() const
{
    return field1_ + '/' + field2_ + '/' + field3_;
}

std::string LwCRMsg::ReplyText() const
{
    return field2_ + '/' + field1_ + '/' + field4_ + '/' + field3_ + '/' + field5_;
}

bool LwCRMsg::GetNumber(double& number, std::string& unit) const
{
    number = 0;
    unit.clear();
    const std::size_t first = field3_.find_first_of("+-0123456789.");
    if (first == std::string::npos)
        return false;
    const std::size_t last = field3_.find_last_of("0123456789.");
    // A digit or point is also a start character, so `last` is npos (no digit
    // at all, only a sign) or at least `first`: the number text is then
    // empty, never of negative length.
    if (last == std::string::npos) {
        unit = field3_;
        return true;
    }
    unit = field3_.substr(last + 1);
    number = StringToDouble(field3_.substr(first, last - first + 1));
    return true;
}

namespace {

// Reads one message text element: empty or missing gives an empty message.
void ReadMessage(LwBarnXml& doc, const std::string& name, LwCRMsg& msg)
{
    std::string text;
    doc.ValueString(name, text, std::string());
    if (text.empty())
        msg = LwCRMsg();
    else
        msg.FromText(text);
}

}  // namespace

bool LwMsgCmdRply::Serialize(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    if (doc.IsWriteMode()) {
        // A message of the other kind has no text form that reads back as
        // itself, so it is left out.
        if (Cmd.GetKind() == LwCRMsg::KindCommand) {
            std::string text = Cmd.CommandText();
            doc.ValueString("Cmd", text, text);
        }
        if (Rply.GetKind() == LwCRMsg::KindReply) {
            std::string text = Rply.ReplyText();
            doc.ValueString("Rply", text, text);
        }
    } else {
        ReadMessage(doc, "Cmd", Cmd);
        ReadMessage(doc, "Rply", Rply);
    }
    doc.CloseRack();
    return true;
}

bool SerializeMsgCmdRplyList(LwMsgCmdRplyList& list, LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    if (!doc.OpenRack("ListMsgCmdRply")) {
        doc.CloseRack();
        return false;
    }
    if (doc.IsWriteMode()) {
        for (LwMsgCmdRply& pair : list)
            pair.Serialize(doc, "mg");
    } else {
        LwMsgCmdRplyList read;
        for (LwMsgCmdRply pair; pair.Serialize(doc, "mg"); pair = LwMsgCmdRply())
            read.push_back(pair);
        list.swap(read);
    }
    doc.CloseRack();
    doc.CloseRack();
    return true;
}

void CommandListToValues(LwInfoValueMap& infoValue, const LwMsgCmdRplyList& list, const std::string& prefix)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const LwMsgCmdRply& pair = list[i];
        const std::string verb = pair.Cmd.GetField1();
        double number = 0;
        std::string unit;
        if (verb == "get")
            pair.Rply.GetNumber(number, unit);
        else if (verb == "put")
            pair.Cmd.GetNumber(number, unit);
        SetInfoValue(infoValue, prefix + '#' + std::to_string(i) + '#' + pair.Rply.GetField2(), number);
    }
}

void CommandListToStrings(LwInfoStringMap& infoString, const LwMsgCmdRplyList& list,
                          const std::string& prefix)
{
    for (std::size_t i = 0; i < list.size(); ++i)
        SetInfoString(infoString, prefix + '#' + std::to_string(i), list[i].Cmd.CommandText());
}
