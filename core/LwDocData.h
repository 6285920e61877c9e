#pragma once
// The processed-image document (".xml_img"): images, waves and voxel sets,
// each under a float key, and the metadata maps "InfoValue" and "InfoString".
//
// It is a Barn document whose root rack is "DataOfProcessImage". One
// serializer, Serialize, reads or writes the whole document by the mode of
// the Barn document it is handed. Writing always produces version 5:
//
//   DataOfProcessImage
//     version      5
//     GlobalInfo   InfoValue, InfoString (the map racks of LwInfoMap.h)
//     ImageSet     one "i" per image:  Channel (float), Image (LwFloatMatrix)
//     WaveSet      one "i" per wave:   tag (float), Wave (LwFloatMatrix)
//     VoxelSet     one "i" per set:    Channel (float), Voxel (LwFloatMatrix3D)
//
// with the matrices in the binary form with "base64" data; a set that is empty
// is left out. Version 6 differs only in the "base64b" data and is read the
// same way; versions 0, 2, 3 and 4 kept their metadata in fixed elements and
// are read by the importers of LwDocDataImport.h. Keys and numbers are written
// with six significant digits (the Barn value elements), so a key or number
// that needs more comes back rounded to six.

#include "core/LwFloatMatrix3D.h"
#include "core/LwInfoMap.h"
#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <map>
#include <string>

class LwBarnXml;

// Documents are created and destroyed through their own type; the class has no
// subclasses (its one virtual operation, CheckType, has no override), so it has
// no virtual destructor.
class LwDocData final
{
public:
    static constexpr LwLong kWrittenVersion = 5;

    // Takes the next value of the shared serial counter (LwSerialCounter.h) as
    // its serial id; holds one image, channel 0, 16 x 16 zeros.
    LwDocData();

    // Reads or writes the document through `doc`, by its mode. Write mode:
    // sets the version to 5, writes it and returns true. Read mode: false when
    // "DataOfProcessImage" is missing or its "version" is none of 0, 2, 3, 4,
    // 5, 6 (missing reads as 0); the document is then unchanged. Barn and
    // matrix errors propagate as LwError.
    bool Serialize(LwBarnXml& doc);
    static std::string GetRootName();

    // The body of "DataOfProcessImage" after "version", in the version-5
    // layout (matrix data "base64") and the version-6 layout ("base64b").
    // Reading either replaces the metadata maps and the three matrix maps
    // (sets that are missing read as empty); a repeated key keeps its first
    // entry. A body without "GlobalInfo" fails with LwError
    // "Invalid Tag Name:DataOfProcessImage <> GlobalInfo" after emptying the
    // two metadata maps.
    void SerializeVer5(LwBarnXml& doc);
    void SerializeVer6(LwBarnXml& doc);

    // Readers of the older versions (read mode only: write mode throws
    // LwError "Prvious format data cannot save"). See LwDocDataImport.h.
    void SerializeVer0(LwBarnXml& doc);
    void SerializeVer2(LwBarnXml& doc);
    void SerializeVer3(LwBarnXml& doc);
    void SerializeVer4(LwBarnXml& doc);

    // The version a processed-image file says it is, from its first four
    // lines: -1 when none of them contains "DataOfProcessImage", else the
    // number in the "version" tag of the first of them holding "<version>",
    // else 0. An unreadable file throws LwError
    // "FileCannotOpen. LwDocData::CheckType():<file name>".
    virtual LwLong CheckType(const std::string& fileName) const;

    // Identity within the process; not stored in documents.
    LwLong GetSerialId() const { return serialId_; }
    // 5, set again whenever the document is written; reading leaves it.
    LwLong GetVersion() const { return version_; }

    // Not stored in documents; nothing in the suite sets or reads them.
    std::string FirstName;
    std::string SecondName;
    // "WaveSet", ordered by key.
    std::map<float, LwFloatMatrix> Waves;
    // "ImageSet", ordered by channel.
    std::map<float, LwFloatMatrix> Images;
    // The channel under which a producer of one image stores it.
    float CurrentChannel = 0;
    // "VoxelSet", ordered by channel.
    std::map<float, LwFloatMatrix3D> Voxels;
    LwInfoValueMap InfoValue;
    LwInfoStringMap InfoString;

private:
    // The body of versions 5 and 6; `format` is the matrix format of writing.
    void SerializeBody(LwBarnXml& doc, const std::string& format);

    LwLong serialId_;
    LwLong version_ = kWrittenVersion;
};
