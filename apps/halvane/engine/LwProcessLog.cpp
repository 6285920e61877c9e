#include "apps/halvane/engine/LwProcessLog.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sstream>

namespace {

template <class T>
std::string StreamText(const T& value)
{
    std::stringstream out;
    out << value;
    return out.str();
}

}  // namespace

void LwProcessLog::LogOpen(const std::string& version)
{
    name_ = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8().toStdString();
    ver_ = version;
}

void LwProcessLog::LogOpenFunction(const std::string& name)
{
    functions_.push_back(Function{name, {}});
}

void LwProcessLog::LogAddString(const std::string& key, const std::string& value)
{
    if (functions_.empty())
        throw LwError("Please call LogOpenFunction before use this");
    functions_.back().items.emplace_back(key, value);
}

void LwProcessLog::LogAddBool(const std::string& key, bool value)
{
    LogAddString(key, value ? "true" : "false");
}

void LwProcessLog::LogAddInt(const std::string& key, int value)
{
    LogAddString(key, StreamText(value));
}

void LwProcessLog::LogAddDouble(const std::string& key, double value)
{
    LogAddString(key, StreamText(value));
}

void LwProcessLog::LogAddLDouble(const std::string& key, const LDouble& value)
{
    LogAddString(key, StreamText(value));
}

std::string LwProcessLog::Render() const
{
    LwBarnXml doc("w");
    doc.OpenRack("app");
    std::string name = name_;
    std::string ver = ver_;
    doc.ValueString("name", name, name);
    doc.ValueString("ver", ver, ver);
    for (const Function& f : functions_) {
        doc.OpenRack("func");
        std::string fname = f.name;
        doc.ValueString("name", fname, fname);
        for (const auto& [key, value] : f.items) {
            std::string k = key;
            std::string v = value;
            doc.OpenRack("i");
            doc.ValueString("key", k, k);
            doc.ValueString("value", v, v);
            doc.CloseRack("i");
        }
        doc.CloseRack("func");
    }
    doc.CloseRack("app");
    std::string text;
    doc.ToString(text);
    return text;
}

void LwProcessLog::LogWrite(LwInfoStringMap& textKeys) const
{
    std::string text = Render();
    textKeys["log"].push_back(std::move(text));
}
