#pragma once
// Command and reply messages recorded in older processed-image documents: the
// commands sent to the instruments while an image was taken, each with the
// reply that came back.
//
// A message has up to five text fields and a slash-separated text form
// (nothing is escaped, so no field may hold a '/' except field 5 of a reply):
//   command, three fields:  verb/object/value              e.g. put/Stage/12.5mm
//   reply, five fields:     object/verb/field4/value/field5
// (in the reply form fields 1 and 2, and fields 3 and 4, trade places).
// Field 1 is the verb ("get" or "put"), field 2 the object name, field 3 the
// value text: a number, optionally signed, followed by its unit.

#include "core/LwInfoMap.h"
#include "core/LwTypes.h"

#include <string>
#include <vector>

class LwBarnXml;

class LwCRMsg
{
public:
    // What FromText recognised.
    enum Kind : LwLong {
        KindNone = 0,  // no valid message
        KindReply = 1,  // five-field form
        KindCommand = 2,  // three-field form
    };

    // Empty fields, kind KindNone, tag -1.
    LwCRMsg();
    LwCRMsg(const LwCRMsg&) = default;
    LwCRMsg& operator=(const LwCRMsg&) = default;
    virtual ~LwCRMsg();

    // Copies of the fields, whatever the kind.
    std::string GetField1() const { return field1_; }
    std::string GetField2() const { return field2_; }
    std::string GetField3() const { return field3_; }
    // Fields 4 and 5 exist only in a reply: any other kind throws the bare
    // text "Illigal Message Access." (a const char*, not an LwError, so a
    // handler that catches only LwError lets it pass).
    std::string GetField4() const;
    std::string GetField5() const;
    LwLong GetKind() const { return kind_; }
    // Carried along with the message; nothing in the suite reads it.
    LwLong GetTag() const { return tag_; }

    // Parses a text form by the number of '/' in it:
    //   two          -> command (fields 1, 2, 3);
    //   four or more -> reply; everything after the fourth '/' (further
    //                   slashes included) is field 5;
    //   0, 1 or 3    -> kind KindNone, all fields keep what they held.
    void FromText(const std::string& text);
    // field1/field2/field3 and field2/field1/field4/field3/field5, whatever
    // the kind; FromText of either gives the message back when no field holds
    // a '/' (field 5 of a reply may).
    std::string CommandText() const;
    std::string ReplyText() const;

    // The number and unit of field 3. The number starts at the first of
    // "+-0123456789." and ends at the last digit or point; it is read as
    // StringToDouble reads (the longest leading number, 0 when none), and the
    // unit is everything after its end. False, with number 0 and an empty
    // unit, when field 3 holds none of those characters. A sign with no digit
    // after it gives true, 0 and the whole field as the unit ("-" -> 0, "-").
    bool GetNumber(double& number, std::string& unit) const;

private:
    std::string field1_;
    std::string field2_;
    std::string field3_;
    std::string field4_;
    std::string field5_;
    LwLong kind_ = KindNone;
    LwLong tag_ = -1;
};

// A command and the reply that came back.
struct LwMsgCmdRply
{
    LwCRMsg Cmd;
    LwCRMsg Rply;

    // The pair as the rack `rackName` holding the escaped text elements "Cmd"
    // (the command's three-field form, written only for a command) and "Rply"
    // (the reply's five-field form, written only for a reply). Reading parses
    // each text with FromText; a missing or empty text makes that message
    // empty. Returns false only when the rack is missing (read mode).
    bool Serialize(LwBarnXml& doc, const std::string& rackName);
};

using LwMsgCmdRplyList = std::vector<LwMsgCmdRply>;

// A list of pairs: rack `rackName` holding "ListMsgCmdRply", which holds one
// pair rack "mg" per pair in order. Reading replaces the list. False when
// either rack is missing (read mode; the list is then unchanged).
bool SerializeMsgCmdRplyList(LwMsgCmdRplyList& list, LwBarnXml& doc, const std::string& rackName);

// Numbers of a list of command/reply pairs into "InfoValue": pair i goes under
// prefix + "#" + i + "#" + the reply's object name (field 2). The number is the
// reply's for a "get" and the command's for a "put" (exact, case-sensitive
// verbs); any other verb stores 0, as does a message without a number.
void CommandListToValues(LwInfoValueMap& infoValue, const LwMsgCmdRplyList& list, const std::string& prefix);
// The commands of a list into "InfoString": pair i's command text form goes
// under prefix + "#" + i. Kinds and replies are not looked at.
void CommandListToStrings(LwInfoStringMap& infoString, const LwMsgCmdRplyList& list,
                          const std::string& prefix);
