#pragma once
// The Barn document: the XML-like tree format of every document the suite
// reads or writes.
//
// A Barn text is a tree of named elements ("racks") written as tags. It is
// simpler than XML: no declaration is written, attributes are never written,
// closing tags are not matched by name, and the only entities are the four of
// EscapeString. A document object works in one direction:
//   - mode "w": a serializer opens racks and sets values; the tree is written
//     out by a file class (LwBarnFile, LwQBarnFile) when the document is saved;
//   - mode "r": a loader parses the whole text into the tree first; the same
//     serializer then walks the tree in the same order and every rack it
//     closes is taken out of the tree, so a repeated element is read by
//     opening and closing its name repeatedly.
//
// Calling order for a serializer, in both modes:
//   if (!doc.OpenRack("name")) -> element absent (read mode): keep or default
//   ... value elements and nested serializers in a fixed order ...
//   doc.CloseRack("name");   (or CloseRack() for value elements)
//
// Texts are byte strings; the tree does not interpret encodings. Positions in
// the document text are signed 32-bit offsets, so a text must be shorter than
// 2^31 bytes.

#include "core/LwTypes.h"

#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// One element of a Barn tree. A rack owns its children: destroying it
// destroys its whole subtree (without recursion, so a deeply nested tree from
// a hostile file cannot exhaust the stack).
class LwBarnXmlRack
{
public:
    using ChildList = std::list<std::unique_ptr<LwBarnXmlRack>>;

    LwBarnXmlRack() = default;
    virtual ~LwBarnXmlRack();
    LwBarnXmlRack(const LwBarnXmlRack&) = delete;
    LwBarnXmlRack& operator=(const LwBarnXmlRack&) = delete;

    // Appends a new empty rack at the end of the children and returns it.
    LwBarnXmlRack* AddChild();
    // The first child whose name equals `name` byte for byte, or null.
    // A rack with more than a few children gets a name index on the first
    // search, kept up to date while children are removed, so consuming
    // thousands of siblings one by one stays linear in their number.
    LwBarnXmlRack* FindChild(const std::string& name);
    // Removes `child` (which must be a child of this rack) and destroys it.
    void RemoveChild(LwBarnXmlRack* child);

    const ChildList& Children() const { return children_; }
    LwBarnXmlRack* Parent() const { return parent_; }

    // The rack's name. When none is stored it is computed from the tag text:
    // the text before the first blank (byte 0x20; tabs and line breaks are
    // not blanks), the rest after that blank becoming the attribute text; the
    // whole tag text when there is no blank. So the tag text "x/" gives the
    // name "x/", the tag text "x /" the name "x" and the attribute text "/".
    const std::string& GetName() const;
    void SetName(std::string name);

    // Read mode: everything between the '<' and the '>' of the opening tag.
    const std::string& TagText() const { return tagText_; }
    void SetTagText(std::string text);
    // Written directly after the name (no blank added); empty for every rack
    // built in write mode. Computed together with the name in read mode.
    const std::string& AttributeText() const
    {
        GetName();
        return attributeText_;
    }
    void SetAttributeText(std::string text) { attributeText_ = std::move(text); }
    // Write mode: the value written between the tags, already escaped where
    // the value element escapes. Not used in read mode (see
    // LwBarnXml::CurrentValueText).
    const std::string& ValueText() const { return valueText_; }
    void SetValueText(std::string text) { valueText_ = std::move(text); }

    // Offsets in the document text (read mode): the '<' and '>' of the
    // opening tag and of the closing tag; for a self-closed tag both close
    // offsets are that of its '>'. All 0 until set.
    LwLong OpenTagBegin() const { return openBegin_; }
    LwLong OpenTagEnd() const { return openEnd_; }
    LwLong CloseTagBegin() const { return closeBegin_; }
    LwLong CloseTagEnd() const { return closeEnd_; }
    void SetOpenTag(LwLong begin, LwLong end)
    {
        openBegin_ = begin;
        openEnd_ = end;
    }
    void SetCloseTag(LwLong begin, LwLong end)
    {
        closeBegin_ = begin;
        closeEnd_ = end;
    }

private:
    // Drops the parent's name index after a change of this rack's name.
    void InvalidateParentIndex();

    ChildList children_;
    LwBarnXmlRack* parent_ = nullptr;
    ChildList::iterator selfInParent_{};
    LwLong openBegin_ = 0;
    LwLong openEnd_ = 0;
    LwLong closeBegin_ = 0;
    LwLong closeEnd_ = 0;
    std::string tagText_;
    mutable std::string name_;
    mutable std::string attributeText_;
    std::string valueText_;
    // Children by name, each queue in document order; built lazily by
    // FindChild, dropped by AddChild and by a child's change of name.
    std::unique_ptr<std::unordered_map<std::string, std::deque<LwBarnXmlRack*>>> nameIndex_;
};

// One Barn document: the tree, the mode, the loaded text and the progress
// fields of a load.
class LwBarnXml
{
public:
    // Progress states of a load (State()).
    enum LoadState : LwLong {
        StateLoading = 0,
        StateAnalyzing = 1,
        StateDone = 2,
        StateReadingList = 3,
    };

    // "r" gives read mode, "w" write mode; any other text (compared exactly)
    // throws LwError "IlligalMode".
    explicit LwBarnXml(const std::string& mode);
    virtual ~LwBarnXml();
    LwBarnXml(const LwBarnXml&) = delete;
    LwBarnXml& operator=(const LwBarnXml&) = delete;

    // "w" in write mode, else "r".
    std::string GetMode() const;
    bool IsWriteMode() const { return writeMode_; }

    // Write mode: appends a child of that name to the current rack, makes it
    // current and returns true. Read mode: makes the first child of that name
    // current and returns true, or returns false with the current rack
    // unchanged when there is none (the element is absent).
    bool OpenRack(const std::string& name);
    // Makes the parent current. Throws "Over CloseRack" at the root and
    // "Invalid Tag Name:<current> <> <name>" when the current rack has another
    // name; the current rack is then unchanged. In read mode the rack just
    // left is removed from the tree, so the next OpenRack of the same name
    // finds the next rack of that name in document order.
    void CloseRack(const std::string& name);
    // The same without the name check.
    void CloseRack();

    // Parses the document text into racks under the current rack (the root
    // after construction or a previous parse) and leaves the root current.
    // A '<' without a later '>' throws "Illigal Tag Structure", as does any
    // tag after a closing tag that had no open rack left to close.
    // A text that ends with racks still open is parsed as far as it goes
    // (every reader keeps what it finds); HasUnclosedRacks reports it.
    void AnalyzeTagStructure();
    // True when the last parse ended with racks still open: the text was cut
    // short (or a closing tag is missing). UnclosedRackName is then the name
    // of the innermost open rack, where the text stopped; else empty.
    bool HasUnclosedRacks() const { return unclosedRacks_; }
    const std::string& UnclosedRackName() const { return unclosedRackName_; }

    // '&', '<', '>' and '"' to "&amp;", "&lt;", "&gt;", "&quot;" ('&' first,
    // so the inserted entities are not escaped again); nothing else changes.
    static std::string EscapeString(std::string text);
    // The reverse: "&lt;", "&gt;", "&quot;", then "&amp;" scanned left to
    // right, so UnescapeString(EscapeString(t)) == t for every t. Any other
    // '&' sequence stays as it is.
    static std::string UnescapeString(std::string text);

    // Value elements: one rack without children per value, named by the
    // caller. Write mode appends the rack holding the value's text and returns
    // true (the default is not used). Read mode converts the found rack's text
    // and consumes the rack (true), or sets the value to the default (false).
    // Numbers are decimal text, floating values with six significant digits;
    // reading takes the longest numeric prefix (no number gives 0, result
    // still true).
    //
    // ValueBool writes "true"/"false"; reading exactly "true" or "false" gives
    // true, any other text sets the default and gives false, and a missing
    // rack leaves the flag unchanged (the default is not applied).
    bool ValueBool(const std::string& name, bool& value, bool defaultValue);
    bool ValueInt(const std::string& name, int& value, int defaultValue);
    bool ValueLong(const std::string& name, LwLong& value, LwLong defaultValue);
    bool ValueFloat(const std::string& name, float& value, float defaultValue);
    bool ValueDouble(const std::string& name, double& value, double defaultValue);
    // Reads through a double whatever the width of LDouble, so it stores and
    // reads what ValueDouble does.
    bool ValueLDouble(const std::string& name, LDouble& value, LDouble defaultValue);
    // The text unchanged, for texts without the four escaped characters
    // (numbers, base64, matrix texts). Every other element is built on it.
    bool ValueRawString(const std::string& name, std::string& value, const std::string& defaultValue);
    // The text escaped; a missing rack gives the default as it stands.
    bool ValueString(const std::string& name, std::string& value, const std::string& defaultValue);

    // A list rack holding one item "i" per number (six significant digits).
    // Read mode: a missing list rack gives false and leaves the list as it
    // was; otherwise the list is replaced by the items in document order.
    bool ValueVectorDouble(const std::string& name, std::vector<double>& list);
    // A list rack holding one item "r" per text, each text escaped twice.
    // Read mode as ValueVectorDouble; reading stops at the first missing item.
    bool ValueVectorString(const std::string& name, std::vector<std::string>& list);

    // Integer value elements written and read by a default text stream (a
    // text that does not parse gives what the stream gives). ValueHex writes
    // the 32-bit pattern as eight upper-case hexadecimal digits (255 as
    // "000000FF", -1 as "FFFFFFFF") and reads it back as that pattern.
    bool ValueShort(const std::string& name, std::int16_t& value, std::int16_t defaultValue);
    bool ValueLongLong(const std::string& name, std::int64_t& value, std::int64_t defaultValue);
    bool ValueUnsigned(const std::string& name, std::uint32_t& value, std::uint32_t defaultValue);
    bool ValueHex(const std::string& name, LwLong& value, LwLong defaultValue);
    // A rack holding one "i" element per integer, ascending for the set and
    // in index order for the vector. Read mode: a missing rack gives false
    // and leaves the container as it was; otherwise it is replaced by the
    // items in document order.
    bool ValueSetInt(const std::string& name, std::set<int>& values);
    bool ValueVectorInt(const std::string& name, std::vector<int>& values);
    // OpenRack with attributes: write mode gives the new rack the attribute
    // text ' key="value"' per pair, in order; read mode replaces the pairs by
    // those of the found rack's attribute text (values end at a blank, one
    // pair of quotes is removed; an attribute without '=' throws
    // "Illigal Tag Structure"). The rack stays current for the caller to
    // fill or read and close.
    bool OpenRackWithAttributes(const std::string& name,
                                std::vector<std::pair<std::string, std::string>>& attributes);

    // JSON text of the document's first top-level rack as the one member of
    // an object. Values become quoted texts copied as stored (no escaping);
    // children form an array when there is one child "i" or several all
    // named as the first, else an object; a rack with neither value nor
    // children becomes "".
    void ToJsonString(std::string& text) const;
    // Appends one rack: outside an array as "name+attributes": followed by
    // its content, inside an array the content only.
    void RackToJson(std::string& text, const LwBarnXmlRack& rack, bool inArray) const;
    // What a running load is doing, for a progress display; empty for an
    // unknown state.
    std::string GetProgressText() const;

    // Writes `rack` and its subtree in the Barn layout, piece by piece,
    // through put(std::string_view): "<", name, attribute text (no blank
    // added), ">", the value text as stored, each child by the same steps,
    // then "</", name and ">\n". No declaration, no indentation, no line
    // break after an opening tag or a value: a rack holding only a value is
    // one line, and a rack with children starts on its parent's line.
    // Iterative, so the depth of the tree does not matter.
    template <class Put>
    static void WriteRackText(const LwBarnXmlRack& rack, Put&& put);

    // The text of the first top-level rack and its subtree, in the layout of
    // WriteRackText; replaces what `text` held. Empty when the root has no
    // child. Further top-level racks are not written. The tree is unchanged.
    void ToString(std::string& text) const;
    // Appends the text of `rack` and its subtree to `text`.
    static void RackToString(std::string& text, const LwBarnXmlRack& rack);
    // Read mode only: makes `text` the document text and parses it into racks
    // under the current rack (the root for a fresh document). Any other mode
    // throws "mode is illigal" and changes nothing; parser errors pass on.
    void FromString(const std::string& text);

    // The tree.
    LwBarnXmlRack* Root() const { return root_.get(); }
    LwBarnXmlRack* CurrentRack() const { return current_; }
    // Read mode: the value of the current rack, the document text between
    // the '>' of its opening tag and the '<' of its closing tag (for a rack
    // with children, their tags included). Empty for a rack never closed, a
    // self-closed rack and a rack whose offsets do not fit the text.
    std::string CurrentValueText() const;
    // Read mode: the value of any rack of the tree, as CurrentValueText gives
    // it for the current rack; nothing is consumed.
    std::string ValueTextOf(const LwBarnXmlRack& rack) const;
    // The same text in place, valid while the document text is unchanged.
    std::string_view ValueViewOf(const LwBarnXmlRack& rack) const;

    // The loaded text (read mode); AnalyzeTagStructure parses it.
    const std::string& DocumentText() const { return documentText_; }
    void SetDocumentText(std::string text) { documentText_ = std::move(text); }

    // Progress of a load, set by the loaders, the parser and LoadSaveList.
    const std::string& StatusText() const { return statusText_; }
    void SetStatusText(std::string text) { statusText_ = std::move(text); }
    LwLong State() const { return state_; }
    void SetState(LwLong state) { state_ = state; }
    LwLong ParsePosition() const { return parsePosition_; }
    LwLong DocumentLength() const { return documentLength_; }
    LwLong ListItemCounter() const { return listItemCounter_; }
    void SetListItemCounter(LwLong index) { listItemCounter_ = index; }
    LwLong LoadedMBytes() const { return loadedMBytes_; }
    void SetLoadedMBytes(LwLong size) { loadedMBytes_ = size; }

private:
    void LeaveCurrentRack();

    bool writeMode_ = false;
    std::unique_ptr<LwBarnXmlRack> root_;
    std::string documentText_;
    LwBarnXmlRack* current_ = nullptr;
    std::string statusText_;
    LwLong state_ = 0;
    LwLong parsePosition_ = 0;
    LwLong documentLength_ = 0;
    LwLong listItemCounter_ = 0;
    LwLong loadedMBytes_ = 0;
    bool unclosedRacks_ = false;
    std::string unclosedRackName_;
};

template <class Put>
void LwBarnXml::WriteRackText(const LwBarnXmlRack& rack, Put&& put)
{
    struct Frame
    {
        const LwBarnXmlRack* rack;
        LwBarnXmlRack::ChildList::const_iterator next;
    };
    std::vector<Frame> open;
    auto writeOpening = [&](const LwBarnXmlRack& r) {
        put(std::string_view("<"));
        put(std::string_view(r.GetName()));
        put(std::string_view(r.AttributeText()));
        put(std::string_view(">"));
        put(std::string_view(r.ValueText()));
        open.push_back({&r, r.Children().begin()});
    };
    writeOpening(rack);
    while (!open.empty()) {
        Frame& top = open.back();
        if (top.next != top.rack->Children().end()) {
            const LwBarnXmlRack& child = **top.next;
            ++top.next;
            writeOpening(child);  // may reallocate `open`; `top` is not used after
        } else {
            put(std::string_view("</"));
            put(std::string_view(top.rack->GetName()));
            put(std::string_view(">\n"));
            open.pop_back();
        }
    }
}

// The list element of record lists: a list rack holding one item rack per
// record. `serialize(record, doc, itemName)` is the record type's own
// serializer: it opens a rack of the item name, reads or writes the record,
// closes the rack, and returns false in read mode when no such rack is left.
//
// Write mode writes every record in order (an empty vector gives an empty
// list rack). Read mode reads items until the serializer returns false and
// trims the vector to the number read (none gives an empty vector). Every
// record read starts from a default-constructed record, so what an item
// lacks (a nested list included) takes the record type's defaults, never the
// values of records that were in the vector before. The vector grows in steps
// of 256.
// Returns false only when the list rack is missing (read mode; the vector is
// then unchanged).
template <class Record, class Serializer>
bool LoadSaveList(LwBarnXml& doc, const std::string& listName, const std::string& itemName,
                  std::vector<Record>& list, Serializer&& serialize)
{
    constexpr std::size_t step = 256;
    if (!doc.OpenRack(listName))
        return false;
    if (doc.IsWriteMode()) {
        for (Record& record : list)
            serialize(record, doc, itemName);
        doc.CloseRack();
        return true;
    }
    doc.SetState(LwBarnXml::StateReadingList);
    list.clear();
    list.resize(step);
    std::size_t count = 0;
    while (serialize(list[count], doc, itemName)) {
        doc.SetListItemCounter(static_cast<LwLong>(count));
        ++count;
        if (count == list.size())
            list.resize(list.size() + step);
    }
    list.resize(count);
    doc.SetState(LwBarnXml::StateDone);
    doc.CloseRack();
    return true;
}
