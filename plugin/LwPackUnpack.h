#pragma once
// The message packer of the viewer protocol: a tree of named elements that a
// request writes value by value and a reply reads value by value.
//
// A packer works in one direction for its whole life, given by its mode:
//   "w"  request: every value operation appends an element holding the value
//        under the current element and returns true; the tree starts with
//        the open root element "vra", so everything lies under it;
//   "r"  reply: FromText parses a reply text and opens "vra"; every value
//        operation looks for its element under the current element. Found:
//        the variable gets the element's value, result true. Absent: result
//        false and the variable keeps the value it had (the caller's
//        default); the two maps are emptied first, so an absent map reads as
//        an empty map.
// So the code that packs an argument and the code that unpacks a result are
// written with the same calls.
//
// Text forms (those of the Barn writer, core/LwBarnXml.h): each element is
// "<name>value", its children, "</name>" and one line feed; texts are
// escaped ("&" "<" ">" and the double quote), numbers have six significant
// digits in the general notation (1234567 is written 1.23457e+06), flags are
// "true"/"false", matrices take the forms of core/LwMatrixBarn.h and
// imageops/LwInt32Matrix.h.
//
// Errors are LwError with the Barn texts: "mode is illigal" (FromText on a
// writing packer), "Over CloseRack" and "Invalid Tag Name:<current> <> <name>"
// (CloseElement), "Illigal Tag Structure" (a reply text with an unclosed '<').
// A missing element is no error.
//
// A packer belongs to one message on one thread; nothing is locked.

#include "core/LwInfoMap.h"
#include "core/LwMatrix.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class LwBarnXml;
class LwInt32Matrix;

class LwPackUnpack
{
public:
    // Text to list of numbers / list of texts, ordered by key.
    using DoubleMap = LwInfoValueMap;
    using StringMap = LwInfoStringMap;
    using StringList = std::vector<std::string>;

    // The packer's interface. `name` is an element name; every value operation
    // takes the variable by reference and reads or writes it by the mode.
    class LwPackUnpackCustom
    {
    public:
        virtual ~LwPackUnpackCustom() = default;

        // "w" or "r".
        virtual std::string GetMode() const = 0;
        // Replaces `text` with the tree from the root element "vra" down.
        virtual void ToText(std::string& text) const = 0;
        // Reading packer only: parses `text` into the tree, then opens "vra"
        // (whether it was there is not reported).
        virtual void FromText(const std::string& text) = 0;
        // Write: appends a child and makes it current (true). Read: makes the
        // first child of that name current (true), or returns false.
        virtual bool OpenElement(const std::string& name) = 0;
        // Makes the parent current; in read mode the element left is removed,
        // so the next OpenElement of that name finds the next one.
        virtual void CloseElement(const std::string& name) = 0;
        virtual bool PackUnpackString(const std::string& name, std::string& value) = 0;
        virtual bool PackUnpackInt32(const std::string& name, std::int32_t& value) = 0;
        virtual bool PackUnpackDouble(const std::string& name, double& value) = 0;
        virtual bool PackUnpackFloat(const std::string& name, float& value) = 0;
        // Reading a text other than "true"/"false" gives false and keeps the value.
        virtual bool PackUnpackBool(const std::string& name, bool& value) = 0;
        // `format` (writing): "t" text form, "b" binary with "base64" data,
        // "bb" binary with "base64b" data. Reading takes any form.
        virtual bool PackUnpackFloatMatrix(const std::string& name, LwFloatMatrix& value,
                                           const std::string& format) = 0;
        virtual bool PackUnpackInt32Matrix(const std::string& name, LwInt32Matrix& value,
                                           const std::string& format) = 0;
        // One "i" element per entry holding "key" and one "val" per number.
        virtual bool PackUnpackDoubleMap(const std::string& name, DoubleMap& value) = 0;
        // The same with one "value" text per list item.
        virtual bool PackUnpackStringMap(const std::string& name, StringMap& value) = 0;
        // One "r" element per text (each escaped twice); reading stops at the
        // first missing "r".
        virtual bool PackUnpackStringList(const std::string& name, StringList& value) = 0;
    };

    // The packer over a Barn document (the only kind).
    class LwPackUnpackXml : public LwPackUnpackCustom
    {
    public:
        // "r" or "w"; any other mode throws "IlligalMode". A writing packer
        // opens the root element "vra" at once.
        explicit LwPackUnpackXml(const std::string& mode);

        std::string GetMode() const override;
        void ToText(std::string& text) const override;
        void FromText(const std::string& text) override;
        bool OpenElement(const std::string& name) override;
        void CloseElement(const std::string& name) override;
        bool PackUnpackString(const std::string& name, std::string& value) override;
        bool PackUnpackInt32(const std::string& name, std::int32_t& value) override;
        bool PackUnpackDouble(const std::string& name, double& value) override;
        bool PackUnpackFloat(const std::string& name, float& value) override;
        bool PackUnpackBool(const std::string& name, bool& value) override;
        bool PackUnpackFloatMatrix(const std::string& name, LwFloatMatrix& value,
                                   const std::string& format) override;
        bool PackUnpackInt32Matrix(const std::string& name, LwInt32Matrix& value,
                                   const std::string& format) override;
        bool PackUnpackDoubleMap(const std::string& name, DoubleMap& value) override;
        bool PackUnpackStringMap(const std::string& name, StringMap& value) override;
        bool PackUnpackStringList(const std::string& name, StringList& value) override;

    private:
        boost::shared_ptr<LwBarnXml> doc_;
    };

    // Kinds of packer.
    static constexpr std::int64_t KindXml = 0;

    // Kind 0 makes an XML packer of `mode`. Any other kind throws
    // "Undefined packer kind", so a message can never hold an empty packer.
    LwPackUnpack(const std::string& mode, std::int64_t kind);
    virtual ~LwPackUnpack() = default;
    // Copies share one packer.
    LwPackUnpack(const LwPackUnpack&) = default;
    LwPackUnpack& operator=(const LwPackUnpack&) = default;

    std::int64_t Kind() const { return kind_; }
    // The held packer (never null).
    LwPackUnpackCustom& Packer() const { return *packer_; }

    // PackUnpackFloat and PackUnpackString of the held packer.
    bool FloatValue(const std::string& name, float& value);
    bool StringValue(const std::string& name, std::string& value);

private:
    boost::shared_ptr<LwPackUnpackCustom> packer_;
    std::int64_t kind_ = KindXml;
};
