#include "core/LwBarnXml.h"

#include "core/LwError.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <string_view>

// ---------------------------------------------------------------------------
// LwBarnXmlRack

LwBarnXmlRack::~LwBarnXmlRack()
{
    // Tear the subtree down with an explicit work list: a recursive
    // destruction would need one stack frame per level, and a hostile file of
    // a few megabytes of "<a>" nests hundreds of thousands of levels.
    std::vector<std::unique_ptr<LwBarnXmlRack>> pending;
    for (auto& child : children_)
        pending.push_back(std::move(child));
    children_.clear();
    while (!pending.empty()) {
        std::unique_ptr<LwBarnXmlRack> rack = std::move(pending.back());
        pending.pop_back();
        for (auto& child : rack->children_)
            pending.push_back(std::move(child));
        rack->children_.clear();
    }
}

LwBarnXmlRack* LwBarnXmlRack::AddChild()
{
    nameIndex_.reset();
    children_.push_back(std::make_unique<LwBarnXmlRack>());
    LwBarnXmlRack* child = children_.back().get();
    child->parent_ = this;
    child->selfInParent_ = std::prev(children_.end());
    return child;
}

LwBarnXmlRack* LwBarnXmlRack::FindChild(const std::string& name)
{
    // Most racks hold a handful of values: a scan is cheaper than an index.
    constexpr std::size_t scanLimit = 8;
    if (!nameIndex_ && children_.size() <= scanLimit) {
        for (const auto& child : children_)
            if (child->GetName() == name)
                return child.get();
        return nullptr;
    }
    if (!nameIndex_) {
        nameIndex_ = std::make_unique<std::unordered_map<std::string, std::deque<LwBarnXmlRack*>>>();
        for (const auto& child : children_)
            (*nameIndex_)[child->GetName()].push_back(child.get());
    }
    const auto found = nameIndex_->find(name);
    if (found == nameIndex_->end() || found->second.empty())
        return nullptr;
    return found->second.front();
}

void LwBarnXmlRack::RemoveChild(LwBarnXmlRack* child)
{
    assert(child && child->parent_ == this);
    if (nameIndex_) {
        const auto found = nameIndex_->find(child->GetName());
        if (found != nameIndex_->end()) {
            auto& queue = found->second;
            // A rack being consumed is the first of its name, so this is the
            // front in every read of a document; anything else is searched.
            if (!queue.empty() && queue.front() == child)
                queue.pop_front();
            else
                queue.erase(std::remove(queue.begin(), queue.end(), child), queue.end());
        }
    }
    children_.erase(child->selfInParent_);
}

const std::string& LwBarnXmlRack::GetName() const
{
    if (name_.empty()) {
        const std::size_t blank = tagText_.find(' ');
        if (blank == std::string::npos) {
            name_ = tagText_;
        } else {
            name_ = tagText_.substr(0, blank);
            attributeText_ = tagText_.substr(blank + 1);
        }
    }
    return name_;
}

void LwBarnXmlRack::SetName(std::string name)
{
    name_ = std::move(name);
    InvalidateParentIndex();
}

void LwBarnXmlRack::SetTagText(std::string text)
{
    tagText_ = std::move(text);
    InvalidateParentIndex();
}

void LwBarnXmlRack::InvalidateParentIndex()
{
    if (parent_)
        parent_->nameIndex_.reset();
}

// ---------------------------------------------------------------------------
// LwBarnXml: tree and modes

LwBarnXml::LwBarnXml(const std::string& mode)
{
    if (mode == "w")
        writeMode_ = true;
    else if (mode == "r")
        writeMode_ = false;
    else
        throw LwError("IlligalMode");
    root_ = std::make_unique<LwBarnXmlRack>();
    current_ = root_.get();
}

LwBarnXml::~LwBarnXml() = default;

std::string LwBarnXml::GetMode() const
{
    return writeMode_ ? "w" : "r";
}

bool LwBarnXml::OpenRack(const std::string& name)
{
    if (writeMode_) {
        LwBarnXmlRack* rack = current_->AddChild();
        rack->SetName(name);
        current_ = rack;
        return true;
    }
    LwBarnXmlRack* rack = current_->FindChild(name);
    if (!rack)
        return false;
    current_ = rack;
    return true;
}

void LwBarnXml::CloseRack(const std::string& name)
{
    if (!current_->Parent())
        throw LwError("Over CloseRack");
    if (current_->GetName() != name)
        throw LwError("Invalid Tag Name:" + current_->GetName() + " <> " + name);
    LeaveCurrentRack();
}

void LwBarnXml::CloseRack()
{
    if (!current_->Parent())
        throw LwError("Over CloseRack");
    LeaveCurrentRack();
}

void LwBarnXml::LeaveCurrentRack()
{
    LwBarnXmlRack* left = current_;
    current_ = left->Parent();
    if (!writeMode_)
        current_->RemoveChild(left);
}

std::string LwBarnXml::CurrentValueText() const
{
    return ValueTextOf(*current_);
}

std::string LwBarnXml::ValueTextOf(const LwBarnXmlRack& rack) const
{
    return std::string(ValueViewOf(rack));
}

std::string_view LwBarnXml::ValueViewOf(const LwBarnXmlRack& rack) const
{
    // The length is taken as close '<' minus open '>' minus 1; it is negative
    // for a self-closed rack and for a rack the text never closed (close
    // offsets still 0), and such a rack holds no value.
    const std::int64_t begin = static_cast<std::int64_t>(rack.OpenTagEnd()) + 1;
    const std::int64_t end = rack.CloseTagBegin();
    if (begin < 0 || end <= begin || end > static_cast<std::int64_t>(documentText_.size()))
        return std::string_view();
    return std::string_view(documentText_)
        .substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

// ---------------------------------------------------------------------------
// Tag parser

void LwBarnXml::AnalyzeTagStructure()
{
    const std::string& text = documentText_;
    // Every offset is kept as a signed 32-bit number.
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<LwLong>::max())) {
        current_ = root_.get();
        throw LwError("Illigal Tag Structure");
    }
    const LwLong length = static_cast<LwLong>(text.size());
    documentLength_ = length;
    current_ = root_.get();
    unclosedRacks_ = false;
    unclosedRackName_.clear();
    // A closing tag met at the root closes the root itself; the parse may
    // end there, but no tag may follow, since there is no rack to hold it.
    bool overClosed = false;
    std::size_t p = 0;
    while (p < text.size()) {
        const std::size_t a = text.find('<', p);
        if (a == std::string::npos)
            break;
        const std::size_t b = text.find('>', a + 1);
        if (b == std::string::npos) {
            current_ = root_.get();
            throw LwError("Illigal Tag Structure");
        }
        const char first = text[a + 1];  // exists: b > a + 1 or b == a + 1
        if (first != '?') {
            if (overClosed) {
                current_ = root_.get();
                throw LwError("Illigal Tag Structure");
            }
            const LwLong lt = static_cast<LwLong>(a);
            const LwLong gt = static_cast<LwLong>(b);
            if (first == '/') {
                current_->SetCloseTag(lt, gt);
                current_ = current_->Parent();
                if (!current_) {
                    overClosed = true;
                    current_ = root_.get();
                }
            } else {
                LwBarnXmlRack* rack = current_->AddChild();
                rack->SetOpenTag(lt, gt);
                rack->SetTagText(text.substr(a + 1, b - a - 1));
                if (text[b - 1] == '/')
                    rack->SetCloseTag(gt, gt);  // self-closed
                else
                    current_ = rack;
            }
        }
        p = b + 1;
        parsePosition_ = static_cast<LwLong>(p);
    }
    if (current_ != root_.get()) {
        unclosedRacks_ = true;
        unclosedRackName_ = current_->GetName();
    }
    current_ = root_.get();
}

// ---------------------------------------------------------------------------
// Escaping

namespace {

// The four escaped characters and their entities. None of the entities holds
// an escaped character other than its leading '&', and no entity is the start
// of another, so one left-to-right pass that copies each entity's character
// and resumes after it gives what replacing entity by entity gives ("&amp;"
// last), in time linear in the text.
struct Entity
{
    char character;
    std::string_view text;
};
constexpr Entity kEntities[4] = {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};

}  // namespace

std::string LwBarnXml::EscapeString(std::string text)
{
    std::size_t special = text.find_first_of("&<>\"");
    if (special == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    out.append(text, 0, special);
    for (std::size_t p = special; p < text.size(); ++p) {
        const char c = text[p];
        const Entity* found = nullptr;
        for (const Entity& entity : kEntities)
            if (entity.character == c)
                found = &entity;
        if (found)
            out.append(found->text);
        else
            out.push_back(c);
    }
    return out;
}

std::string LwBarnXml::UnescapeString(std::string text)
{
    std::size_t amp = text.find('&');
    if (amp == std::string::npos)
        return text;
    // The result is never longer than the text: it is written over the text
    // itself, behind the read position.
    std::size_t out = amp;
    std::size_t p = amp;
    const std::string_view view(text);
    while (p < text.size()) {
        if (text[p] == '&') {
            const Entity* found = nullptr;
            for (const Entity& entity : kEntities)
                if (view.compare(p, entity.text.size(), entity.text) == 0)
                    found = &entity;
            if (found) {
                text[out++] = found->character;
                p += found->text.size();
                continue;
            }
        }
        text[out++] = text[p++];
    }
    text.resize(out);
    return text;
}

// ---------------------------------------------------------------------------
// The tree as one text in memory (the viewer messages)

void LwBarnXml::ToString(std::string& text) const
{
    text.clear();
    if (root_->Children().empty())
        return;
    RackToString(text, *root_->Children().front());
}

void LwBarnXml::RackToString(std::string& text, const LwBarnXmlRack& rack)
{
    WriteRackText(rack, [&text](std::string_view piece) { text.append(piece); });
}

void LwBarnXml::FromString(const std::string& text)
{
    if (writeMode_)
        throw LwError("mode is illigal");
    if (&text != &documentText_)
        documentText_ = text;
    AnalyzeTagStructure();
}
