// Further Barn elements: short, 64-bit, unsigned and hexadecimal integers,
// integer sets and vectors, racks with attributes, the JSON text of a rack
// tree and the progress text of a running load.

#include "core/LwBarnXml.h"
#include "core/LwError.h"

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <sstream>

namespace {

// Write mode: the value's default stream text; read mode: the found rack's
// text parsed by a default stream (a text that does not parse gives what the
// stream gives), a missing rack the default.
template <class T>
bool ValueStreamed(LwBarnXml& doc, const std::string& name, T& value, T defaultValue)
{
    std::string text;
    if (doc.IsWriteMode()) {
        std::ostringstream out;
        out << value;
        text = out.str();
        return doc.ValueRawString(name, text, text);
    }
    if (!doc.ValueRawString(name, text, std::string())) {
        value = defaultValue;
        return false;
    }
    std::istringstream in(text);
    in >> value;
    return true;
}

// The integer elements of a set or vector: one "i" per member.
template <class Container, class Insert>
bool ValueIntContainer(LwBarnXml& doc, const std::string& name, Container& values, Insert insert)
{
    if (!doc.OpenRack(name))
        return false;
    if (doc.IsWriteMode()) {
        for (int v : values)
            doc.ValueInt("i", v, v);
    } else {
        values.clear();
        int v = 0;
        while (doc.ValueInt("i", v, 0))
            insert(values, v);
    }
    doc.CloseRack(name);
    return true;
}

// Value text of a rack: as stored in write mode; in read mode the document
// text between its tags (only asked of racks without children).
std::string RackValueText(const LwBarnXml& doc, const LwBarnXmlRack& rack)
{
    if (doc.IsWriteMode())
        return rack.ValueText();
    const std::string& text = doc.DocumentText();
    const std::int64_t begin = std::int64_t(rack.OpenTagEnd()) + 1;
    const std::int64_t end = rack.CloseTagBegin();
    if (rack.CloseTagEnd() == rack.OpenTagEnd() || begin > end || end > std::int64_t(text.size()))
        return std::string();
    return text.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

}  // namespace

bool LwBarnXml::ValueShort(const std::string& name, std::int16_t& value, std::int16_t defaultValue)
{
    return ValueStreamed(*this, name, value, defaultValue);
}

bool LwBarnXml::ValueLongLong(const std::string& name, std::int64_t& value, std::int64_t defaultValue)
{
    return ValueStreamed(*this, name, value, defaultValue);
}

bool LwBarnXml::ValueUnsigned(const std::string& name, std::uint32_t& value, std::uint32_t defaultValue)
{
    return ValueStreamed(*this, name, value, defaultValue);
}

bool LwBarnXml::ValueHex(const std::string& name, LwLong& value, LwLong defaultValue)
{
    std::string text;
    if (writeMode_) {
        std::ostringstream out;
        out << std::uppercase << std::hex << std::setw(8) << std::setfill('0')
            << static_cast<std::uint32_t>(value);
        text = out.str();
        return ValueRawString(name, text, text);
    }
    if (!ValueRawString(name, text, std::string())) {
        value = defaultValue;
        return false;
    }
    // Read as the unsigned 32-bit pattern that was written, so that values
    // with the top bit set (negative ones) come back unchanged.
    std::uint32_t bits = 0;
    std::istringstream in(text);
    in >> std::hex >> bits;
    value = static_cast<LwLong>(bits);
    return true;
}

bool LwBarnXml::ValueSetInt(const std::string& name, std::set<int>& values)
{
    return ValueIntContainer(*this, name, values, [](std::set<int>& s, int v) { s.insert(v); });
}

bool LwBarnXml::ValueVectorInt(const std::string& name, std::vector<int>& values)
{
    return ValueIntContainer(*this, name, values, [](std::vector<int>& s, int v) { s.push_back(v); });
}

bool LwBarnXml::OpenRackWithAttributes(const std::string& name,
                                       std::vector<std::pair<std::string, std::string>>& attributes)
{
    if (!OpenRack(name))
        return false;
    if (writeMode_) {
        std::string text;
        for (const auto& a : attributes)
            text += " " + a.first + "=\"" + a.second + "\"";
        current_->SetAttributeText(text);
        return true;
    }
    attributes.clear();
    // One pass: every search starts where the last one ended.
    const std::string& text = current_->AttributeText();
    std::size_t at = 0;
    for (;;) {
        const size_t start = text.find_first_not_of(' ', at);
        if (start == std::string::npos)
            break;
        const size_t eq = text.find('=', start);
        if (eq == std::string::npos)
            throw LwError("Illigal Tag Structure");
        const size_t blank = text.find(' ', eq + 1);
        std::string value =
            text.substr(eq + 1, blank == std::string::npos ? std::string::npos : blank - eq - 1);
        if (!value.empty() && value.front() == '"')
            value.erase(0, 1);
        if (!value.empty() && value.back() == '"')
            value.pop_back();
        attributes.emplace_back(text.substr(start, eq - start), std::move(value));
        if (blank == std::string::npos)
            break;
        at = blank;
    }
    return true;
}

void LwBarnXml::RackToJson(std::string& text, const LwBarnXmlRack& rack, bool inArray) const
{
    // Iterative over the depth, as the writer is: each frame is a rack whose
    // children are being written.
    struct Frame
    {
        const LwBarnXmlRack* rack;
        LwBarnXmlRack::ChildList::const_iterator next;
        bool array;
    };
    std::vector<Frame> stack;
    // Writes the start of one member and, for a rack with children, opens its
    // bracket and returns true.
    const auto open = [&](const LwBarnXmlRack& r, bool withinArray) {
        if (!withinArray)
            text += "\"" + r.GetName() + r.AttributeText() + "\":";
        const auto& children = r.Children();
        const std::string value = children.empty() ? RackValueText(*this, r) : r.ValueText();
        if (!value.empty() || children.empty()) {
            // A rack with neither value nor children becomes the empty text,
            // so that the result stays valid JSON.
            text += "\"" + value + "\"";
            return false;
        }
        const std::string& first = children.front()->GetName();
        bool array = children.size() == 1 ? first == "i" : true;
        if (children.size() > 1)
            for (const auto& c : children)
                if (c->GetName() != first)
                    array = false;
        text += array ? "[" : "{";
        stack.push_back({&r, children.begin(), array});
        return true;
    };
    open(rack, inArray);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.rack->Children().end()) {
            text += f.array ? "]" : "}";
            stack.pop_back();
            continue;
        }
        if (f.next != f.rack->Children().begin())
            text += ",";
        const LwBarnXmlRack& child = **f.next;
        const bool array = f.array;
        ++f.next;
        open(child, array);
    }
}

void LwBarnXml::ToJsonString(std::string& text) const
{
    text = "{";
    if (!root_->Children().empty())
        RackToJson(text, *root_->Children().front(), false);
    text += "}";
}

std::string LwBarnXml::GetProgressText() const
{
    std::ostringstream out;
    switch (state_) {
    case StateLoading: out << statusText_ << loadedMBytes_ << "MBytes"; break;
    case StateAnalyzing: {
        // An empty text counts as not yet started rather than dividing by 0.
        const double percent =
            documentLength_ > 0
                ? std::floor(double(parsePosition_) / double(documentLength_) * 10000.0) / 100.0
                : 0.0;
        out << statusText_ << parsePosition_ << "/" << documentLength_ << " :" << percent << "%";
        break;
    }
    case StateDone: out << "Taging is finished. Analysing"; break;
    case StateReadingList: out << "Analysing Vector:" << listItemCounter_; break;
    default: break;
    }
    return out.str();
}
