#pragma once
// Helpers of the Barn tests: a document parsed from an inline text, the text
// of a write-mode document, and a compact picture of a parsed tree.

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "ErrorText.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace barn_test {

using ::ErrorText;

// A read-mode document holding the tree of `text`.
inline std::unique_ptr<LwBarnXml> Parse(const std::string& text)
{
    auto doc = std::make_unique<LwBarnXml>("r");
    doc->SetDocumentText(text);
    doc->AnalyzeTagStructure();
    return doc;
}

// What the file writers write for a document: its first top-level rack.
inline std::string WrittenText(const LwBarnXml& doc)
{
    std::string out;
    if (doc.Root()->Children().empty())
        return out;
    LwBarnXml::WriteRackText(*doc.Root()->Children().front(),
                             [&out](std::string_view piece) { out.append(piece); });
    return out;
}

// Runs `write(doc)` on a write-mode document inside a top rack "d" and returns
// the written text.
template <class Write>
std::string WriteInD(Write write)
{
    LwBarnXml doc("w");
    doc.OpenRack("d");
    write(doc);
    doc.CloseRack("d");
    return WrittenText(doc);
}

// The racks below `rack` as "[tag text](children),[tag text]..." in order.
inline std::string Shape(const LwBarnXmlRack& rack)
{
    std::string out;
    for (const auto& child : rack.Children()) {
        if (!out.empty())
            out += ',';
        out += '[' + child->TagText() + ']';
        if (!child->Children().empty())
            out += '(' + Shape(*child) + ')';
    }
    return out;
}

}  // namespace barn_test
