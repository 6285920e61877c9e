// Value elements of the Barn document: flags, numbers, texts and the two
// built-in lists. Every scalar element goes through ValueRawString, so one
// piece of code decides how a value rack is written, found and consumed.

#include "core/LwBarnXml.h"
#include "core/TextUtilities.h"

namespace {

// Reads or writes one number through its text form: write mode stores
// toText(value); read mode sets value = fromText(text) for a found rack and
// value = defaultValue for a missing one.
template <class T, class ToText, class FromText>
bool ValueNumber(LwBarnXml& doc, const std::string& name, T& value, T defaultValue, ToText toText,
                 FromText fromText)
{
    std::string text;
    if (doc.IsWriteMode()) {
        text = toText(value);
        return doc.ValueRawString(name, text, text);
    }
    if (!doc.ValueRawString(name, text, std::string())) {
        value = defaultValue;
        return false;
    }
    value = static_cast<T>(fromText(text));
    return true;
}

}  // namespace

bool LwBarnXml::ValueRawString(const std::string& name, std::string& value, const std::string& defaultValue)
{
    if (writeMode_) {
        OpenRack(name);
        current_->SetValueText(value);
        CloseRack();
        return true;
    }
    if (!OpenRack(name)) {
        value = defaultValue;
        return false;
    }
    value = CurrentValueText();
    CloseRack();
    return true;
}

bool LwBarnXml::ValueString(const std::string& name, std::string& value, const std::string& defaultValue)
{
    if (writeMode_) {
        std::string escaped = EscapeString(value);
        return ValueRawString(name, escaped, escaped);
    }
    std::string text;
    if (!ValueRawString(name, text, std::string())) {
        value = defaultValue;
        return false;
    }
    value = UnescapeString(std::move(text));
    return true;
}

bool LwBarnXml::ValueBool(const std::string& name, bool& value, bool defaultValue)
{
    if (writeMode_) {
        std::string text = value ? "true" : "false";
        return ValueRawString(name, text, text);
    }
    std::string text;
    if (!ValueRawString(name, text, std::string()))
        return false;  // flag kept as it was
    if (text == "true") {
        value = true;
        return true;
    }
    if (text == "false") {
        value = false;
        return true;
    }
    value = defaultValue;
    return false;
}

bool LwBarnXml::ValueInt(const std::string& name, int& value, int defaultValue)
{
    return ValueNumber(
        *this, name, value, defaultValue, [](int v) { return IntToString(v); },
        [](const std::string& t) { return StringToInt(t); });
}

bool LwBarnXml::ValueLong(const std::string& name, LwLong& value, LwLong defaultValue)
{
    return ValueNumber(
        *this, name, value, defaultValue, [](LwLong v) { return LongToString(v); },
        [](const std::string& t) { return StringToInt(t); });
}

bool LwBarnXml::ValueFloat(const std::string& name, float& value, float defaultValue)
{
    return ValueNumber(
        *this, name, value, defaultValue, [](float v) { return FloatToString(v); },
        [](const std::string& t) { return StringToFloat(t); });
}

bool LwBarnXml::ValueDouble(const std::string& name, double& value, double defaultValue)
{
    return ValueNumber(
        *this, name, value, defaultValue, [](double v) { return DoubleToString(v); },
        [](const std::string& t) { return StringToDouble(t); });
}

bool LwBarnXml::ValueLDouble(const std::string& name, LDouble& value, LDouble defaultValue)
{
    return ValueNumber(
        *this, name, value, defaultValue, [](LDouble v) { return LDoubleToString(v); },
        [](const std::string& t) { return StringToLDouble(t); });
}

bool LwBarnXml::ValueVectorDouble(const std::string& name, std::vector<double>& list)
{
    if (!OpenRack(name))
        return false;
    std::string text;
    if (writeMode_) {
        for (double v : list) {
            text = LDoubleToString(static_cast<LDouble>(v));
            ValueString("i", text, text);
        }
    } else {
        list.clear();
        while (ValueString("i", text, std::string()))
            list.push_back(static_cast<double>(StringToLDouble(text)));
    }
    CloseRack(name);
    return true;
}

bool LwBarnXml::ValueVectorString(const std::string& name, std::vector<std::string>& list)
{
    if (!OpenRack(name))
        return false;
    std::string text;
    if (writeMode_) {
        for (const std::string& entry : list) {
            text = EscapeString(entry);
            ValueString("r", text, text);
        }
    } else {
        // The list ends at the first missing item; every stored entry is data,
        // whatever its text.
        list.clear();
        while (ValueString("r", text, std::string()))
            list.push_back(UnescapeString(text));
    }
    CloseRack();
    return true;
}
