#include "core/LwDocData.h"

#include "core/LwBarnXml.h"
#include "core/LwDocDataImport.h"
#include "core/LwError.h"
#include "core/LwMatrixBarn.h"
#include "core/LwSerialCounter.h"
#include "core/TextUtilities.h"

#include <fstream>

namespace {

// One of the matrix sets of versions 5 and 6: rack `setName` holding one "i"
// per entry with the float key element `keyName` and the matrix element
// `matrixName`. Writing leaves out an empty set. Reading replaces the set
// (a missing rack gives an empty set); a key met again keeps its first
// matrix, and a missing key reads as 0.
template <class Matrix>
void SerializeMatrixSet(LwBarnXml& doc, const std::string& setName, const std::string& keyName,
                        const std::string& matrixName, std::map<float, Matrix>& set,
                        const std::string& format)
{
    if (doc.IsWriteMode()) {
        if (set.empty())
            return;
        doc.OpenRack(setName);
        for (auto& entry : set) {
            doc.OpenRack("i");
            float key = entry.first;
            doc.ValueFloat(keyName, key, 0.0f);
            SerializeMatrix(doc, matrixName, entry.second, format);
            doc.CloseRack("i");
        }
        doc.CloseRack(setName);
        return;
    }
    std::map<float, Matrix> read;
    if (doc.OpenRack(setName)) {
        while (doc.OpenRack("i")) {
            float key = 0;
            doc.ValueFloat(keyName, key, 0.0f);
            // The matrix is read straight into its place; the element of a
            // repeated key is left unread and goes with its "i".
            const auto slot = read.try_emplace(key);
            if (slot.second)
                SerializeMatrix(doc, matrixName, slot.first->second, format);
            doc.CloseRack("i");
        }
        doc.CloseRack(setName);
    }
    set.swap(read);
}

}  // namespace

LwDocData::LwDocData() : serialId_(TakeSerialId())
{
    LwFloatMatrix image(16, 16);
    image.SetZero();
    Images.emplace(0.0f, image);
}

std::string LwDocData::GetRootName()
{
    return "DataOfProcessImage";
}

bool LwDocData::Serialize(LwBarnXml& doc)
{
    const std::string root = GetRootName();
    if (!doc.OpenRack(root))
        return false;
    if (doc.IsWriteMode()) {
        version_ = kWrittenVersion;
        doc.ValueLong("version", version_, kWrittenVersion);
        SerializeVer5(doc);
        doc.CloseRack(root);
        return true;
    }
    LwLong version = 0;
    doc.ValueLong("version", version, 0);
    switch (version) {
    case 0: SerializeVer0(doc); break;
    case 2: SerializeVer2(doc); break;
    case 3: SerializeVer3(doc); break;
    case 4: SerializeVer4(doc); break;
    case 5: SerializeVer5(doc); break;
    case 6: SerializeVer6(doc); break;
    default:
        // Unknown layout: nothing more is read; the root rack is left so that
        // the Barn document stays balanced for its caller.
        doc.CloseRack();
        return false;
    }
    doc.CloseRack();
    return true;
}

void LwDocData::SerializeVer5(LwBarnXml& doc)
{
    SerializeBody(doc, "b");
}

void LwDocData::SerializeVer6(LwBarnXml& doc)
{
    SerializeBody(doc, "bb");
}

void LwDocData::SerializeBody(LwBarnXml& doc, const std::string& format)
{
    if (!doc.OpenRack("GlobalInfo")) {  // read mode only
        InfoValue.clear();
        InfoString.clear();
        ThrowMissingRack(doc, "GlobalInfo");
    }
    SerializeValueMap(InfoValue, doc, "InfoValue");
    SerializeTextMap(InfoString, doc, "InfoString");
    doc.CloseRack("GlobalInfo");

    SerializeMatrixSet(doc, "ImageSet", "Channel", "Image", Images, format);
    SerializeMatrixSet(doc, "WaveSet", "tag", "Wave", Waves, format);
    SerializeMatrixSet(doc, "VoxelSet", "Channel", "Voxel", Voxels, format);
}

LwLong LwDocData::CheckType(const std::string& fileName) const
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw LwError("FileCannotOpen. LwDocData::CheckType():" + fileName);
    std::string lines[4];
    for (std::string& line : lines)
        if (!std::getline(in, line))
            break;

    bool isDocument = false;
    for (const std::string& line : lines)
        isDocument = isDocument || line.find("DataOfProcessImage") != std::string::npos;
    if (!isDocument)
        return -1;
    // The writer puts the root's opening tag and the whole "version" element
    // on the first line, so every line is searched, the first one included.
    for (const std::string& line : lines) {
        if (line.find("<version>") == std::string::npos)
            continue;
        int version = 0;
        GetTagInt(line, "version", version, 0);
        return version;
    }
    return 0;
}
