#include "plugin/LwPackUnpack.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "imageops/LwInt32Matrix.h"

#include <boost/make_shared.hpp>

namespace {

const char* const kRootElement = "vra";

}  // namespace

LwPackUnpack::LwPackUnpackXml::LwPackUnpackXml(const std::string& mode)
    : doc_(boost::make_shared<LwBarnXml>(mode))
{
    if (doc_->IsWriteMode())
        doc_->OpenRack(kRootElement);
}

std::string LwPackUnpack::LwPackUnpackXml::GetMode() const
{
    return doc_->GetMode();
}

void LwPackUnpack::LwPackUnpackXml::ToText(std::string& text) const
{
    doc_->ToString(text);
}

void LwPackUnpack::LwPackUnpackXml::FromText(const std::string& text)
{
    doc_->FromString(text);
    doc_->OpenRack(kRootElement);
}

bool LwPackUnpack::LwPackUnpackXml::OpenElement(const std::string& name)
{
    return doc_->OpenRack(name);
}

void LwPackUnpack::LwPackUnpackXml::CloseElement(const std::string& name)
{
    doc_->CloseRack(name);
}

// The Barn value elements take the default as a separate argument; the
// current value is the default, copied so that the read never aliases it.
bool LwPackUnpack::LwPackUnpackXml::PackUnpackString(const std::string& name, std::string& value)
{
    const std::string previous = value;
    return doc_->ValueString(name, value, previous);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackInt32(const std::string& name, std::int32_t& value)
{
    const int previous = value;
    int v = value;
    const bool found = doc_->ValueInt(name, v, previous);
    value = v;
    return found;
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackDouble(const std::string& name, double& value)
{
    const double previous = value;
    return doc_->ValueDouble(name, value, previous);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackFloat(const std::string& name, float& value)
{
    const float previous = value;
    return doc_->ValueFloat(name, value, previous);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackBool(const std::string& name, bool& value)
{
    const bool previous = value;
    return doc_->ValueBool(name, value, previous);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackFloatMatrix(const std::string& name, LwFloatMatrix& value,
                                                          const std::string& format)
{
    return SerializeMatrix(*doc_, name, value, format);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackInt32Matrix(const std::string& name, LwInt32Matrix& value,
                                                          const std::string& format)
{
    return Int32MatrixElement(*doc_, name, value, format);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackDoubleMap(const std::string& name, DoubleMap& value)
{
    return SerializeValueMap(value, *doc_, name);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackStringMap(const std::string& name, StringMap& value)
{
    return SerializeTextMap(value, *doc_, name);
}

bool LwPackUnpack::LwPackUnpackXml::PackUnpackStringList(const std::string& name, StringList& value)
{
    return doc_->ValueVectorString(name, value);
}

LwPackUnpack::LwPackUnpack(const std::string& mode, std::int64_t kind) : kind_(kind)
{
    if (kind != KindXml)
        throw LwError("Undefined packer kind");
    packer_ = boost::make_shared<LwPackUnpackXml>(mode);
}

bool LwPackUnpack::FloatValue(const std::string& name, float& value)
{
    return packer_->PackUnpackFloat(name, value);
}

bool LwPackUnpack::StringValue(const std::string& name, std::string& value)
{
    return packer_->PackUnpackString(name, value);
}
