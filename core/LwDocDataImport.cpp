// Readers of processed-image documents of versions 0, 2, 3 and 4 and the
// importers they share.

#include "core/LwDocDataImport.h"

#include "core/LwADateTime.h"
#include "core/LwBarnXml.h"
#include "core/LwCRMsg.h"
#include "core/LwDocData.h"
#include "core/LwError.h"
#include "core/LwImageRegion.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwMatrixBarn.h"

#include <cmath>

namespace {

// A text element into IS under `key`; missing reads as the empty text.
void ImportText(LwInfoStringMap& infoString, LwBarnXml& doc, const std::string& name, const std::string& key)
{
    std::string text;
    doc.ValueString(name, text, std::string());
    SetInfoString(infoString, key, text);
}

// A number element into IV under its own name; missing reads as 0.
void ImportNumber(LwInfoValueMap& infoValue, LwBarnXml& doc, const std::string& name)
{
    double value = 0;
    doc.ValueDouble(name, value, 0.0);
    SetInfoValue(infoValue, name, value);
}

// "DataType" and "Comment" to IS, "ExposureTime" and "Scans" to IV: the
// common head of versions 2 and 3.
void ImportCommonKeys(LwDocData& data, LwBarnXml& doc)
{
    ImportText(data.InfoString, doc, "DataType", "DataType");
    ImportText(data.InfoString, doc, "Comment", "Comment");
    ImportNumber(data.InfoValue, doc, "ExposureTime");
    ImportNumber(data.InfoValue, doc, "Scans");
}

// The commands and I0 settings that versions 2 and 3 keep after their image
// format.
void ImportCommandKeys(LwDocData& data, LwBarnXml& doc)
{
    ImportSurveyCommands(data.InfoValue, doc);
    ImportI0Settings(data.InfoString, data.InfoValue, doc);
    ImportParentKeys(data.InfoString, data.InfoValue, doc);
}

// "Image" read in place into the image of channel 0 (made empty when there is
// none); a missing element keeps the image that is there.
void ReadChannelZeroImage(LwDocData& data, LwBarnXml& doc)
{
    SerializeMatrix(doc, "Image", data.Images[0.0f], "b");
}

void RefuseWriteMode(const LwBarnXml& doc)
{
    if (doc.IsWriteMode())
        throw LwError("Prvious format data cannot save");
}

}  // namespace

void EnterRequiredRack(LwBarnXml& doc, const std::string& name)
{
    if (!doc.OpenRack(name))
        ThrowMissingRack(doc, name);
}

void ThrowMissingRack(const LwBarnXml& doc, const std::string& name)
{
    throw LwError("Invalid Tag Name:" + doc.CurrentRack()->GetName() + " <> " + name);
}

void ImportTimeKeys(LwInfoStringMap& infoString, LwBarnXml& doc)
{
    ImportText(infoString, doc, "BeginTime", "TimeBegin");
    ImportText(infoString, doc, "EndTime", "TimeEnd");
}

void ImportSurveyCommands(LwInfoValueMap& infoValue, LwBarnXml& doc)
{
    LwMsgCmdRplyList before;
    LwMsgCmdRplyList after;
    SerializeMsgCmdRplyList(before, doc, "CmdBeforeSurvey");
    SerializeMsgCmdRplyList(after, doc, "CmdAfterSurvey");
    CommandListToValues(infoValue, before, "CmdBeforeSurvey");
    CommandListToValues(infoValue, after, "CmdAfterSurvey");
}

void ImportI0Settings(LwInfoStringMap& infoString, LwInfoValueMap& infoValue, LwBarnXml& doc)
{
    if (!doc.OpenRack("I0"))
        return;
    double value = 1.0;
    doc.ValueDouble("I0Value", value, 1.0);
    SetInfoValue(infoValue, "I0Value", value);
    double type = 0;
    doc.ValueDouble("I0CorrectionType", type, 0.0);
    SetInfoValue(infoValue, "I0CorrectionType", type);

    // Truncated toward zero; compared as a double so that no value (huge,
    // infinite, NaN) goes through an out-of-range integer conversion.
    const double correction = std::trunc(type);
    if (correction == 1.0) {
        LwImageRegion region;
        region.Serialize(doc, "I0Region");
        SetInfoValue(infoValue, "I0Region#left", region.Left);
        SetInfoValue(infoValue, "I0Region#bottom", region.Bottom);
        SetInfoValue(infoValue, "I0Region#width", region.Width);
        SetInfoValue(infoValue, "I0Region#height", region.Height);
    } else if (correction == 2.0) {
        LwMsgCmdRplyList list;
        SerializeMsgCmdRplyList(list, doc, "I0Cmd");
        CommandListToStrings(infoString, list, "I0Cmd");
    }
    doc.CloseRack();
}

void ImportParentKeys(LwInfoStringMap& infoString, LwInfoValueMap& infoValue, LwBarnXml& doc)
{
    std::string parent;
    if (doc.ValueString("ParentFileName", parent, std::string()))
        SetInfoString(infoString, "ParentFileName", parent);
    for (const char* name : {"IndexOfImage", "Index4Scan"}) {
        double index = 0;
        if (doc.ValueDouble(name, index, 0.0))
            SetInfoValue(infoValue, name, index);
    }
    ImportMsgForSetX(infoString, infoValue, doc);
}

void ImportMsgForSetX(LwInfoStringMap& infoString, LwInfoValueMap& infoValue, LwBarnXml& doc)
{
    LwMsgCmdRply pair;
    if (!pair.Serialize(doc, "MsgForSetX"))
        return;
    const LwCRMsg& command = pair.Cmd;
    SetInfoString(infoString, "MsgForSetX", command.CommandText());
    SetInfoString(infoString, "XObject", command.GetField2());
    double number = 0;
    std::string unit;
    if (command.GetNumber(number, unit))
        SetInfoValue(infoValue, command.GetField2(), number);
}

void LwDocData::SerializeVer0(LwBarnXml& doc)
{
    RefuseWriteMode(doc);
    EnterRequiredRack(doc, "Informations");
    ImportText(InfoString, doc, "DataType", "DataType");
    ImportTimeKeys(InfoString, doc);
    ImportText(InfoString, doc, "Comment", "Comment");
    doc.CloseRack("Informations");

    // The image was kept as doubles; it is narrowed to float through the
    // long double conversions (exact widening, then one rounding to float).
    LwDoubleMatrix image;
    SerializeMatrix(doc, "Image", image, "b");
    const LwMatrixArithmetic op;
    LwLDoubleMatrix wide;
    op.ConvertMatrix(wide, image);
    Images[0.0f] = op.ToFloatMatrix(wide);
}

void LwDocData::SerializeVer2(LwBarnXml& doc)
{
    RefuseWriteMode(doc);
    EnterRequiredRack(doc, "Informations");
    ImportCommonKeys(*this, doc);
    // One date-time serves both elements: a missing "EndTime" repeats the
    // begin time.
    LwADateTime time;
    for (const char* name : {"BeginTime", "EndTime"}) {
        time.BarnValue(doc, name);
        SetInfoString(InfoString, name, time.ToString());
    }
    ImportText(InfoString, doc, "ImageFormat", "ImageFormat");
    ImportCommandKeys(*this, doc);
    doc.CloseRack();
    ReadChannelZeroImage(*this, doc);
}

void LwDocData::SerializeVer3(LwBarnXml& doc)
{
    RefuseWriteMode(doc);
    EnterRequiredRack(doc, "Informations");
    ImportCommonKeys(*this, doc);
    ImportTimeKeys(InfoString, doc);
    ImportText(InfoString, doc, "ImageFormat", "ImageFormat");
    ImportCommandKeys(*this, doc);
    doc.CloseRack("Informations");
    ReadChannelZeroImage(*this, doc);
}

void LwDocData::SerializeVer4(LwBarnXml& doc)
{
    RefuseWriteMode(doc);
    EnterRequiredRack(doc, "GrobalInfo");
    SerializeValueMap(InfoValue, doc, "InfoValue");
    SerializeTextMap(InfoString, doc, "InfoString");
    doc.CloseRack("GrobalInfo");
    // Only the first image is read; further images, waves and voxel sets of
    // the document stay as they were.
    EnterRequiredRack(doc, "ImageSet");
    EnterRequiredRack(doc, "i");
    ReadChannelZeroImage(*this, doc);
    doc.CloseRack("i");
    doc.CloseRack("ImageSet");
}
