#pragma once
// Barn documents in memory for the document tests: the text a serializer
// writes, and a read-mode document parsed from a text.

#include "core/LwBarnXml.h"

#include <memory>
#include <string>
#include <string_view>

// Runs `serialize` on a write-mode document and returns the text of its
// first top-level rack, as a Barn file would hold it.
template <class Serialize>
std::string BarnTextOf(Serialize&& serialize)
{
    LwBarnXml doc("w");
    serialize(doc);
    std::string text;
    if (!doc.Root()->Children().empty())
        LwBarnXml::WriteRackText(*doc.Root()->Children().front(),
                                 [&](std::string_view piece) { text.append(piece); });
    return text;
}

inline std::unique_ptr<LwBarnXml> BarnReader(const std::string& text)
{
    auto doc = std::make_unique<LwBarnXml>("r");
    doc->SetDocumentText(text);
    doc->AnalyzeTagStructure();
    return doc;
}
