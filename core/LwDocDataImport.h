#pragma once
// Readers of processed-image documents of versions 0, 2, 3 and 4, which kept
// their metadata in fixed elements of the rack "Informations" (versions 0 to
// 3) or in "GrobalInfo" (version 4) and held a single image. Every old
// element becomes an "InfoValue" (IV) or "InfoString" (IS) entry of the
// LwDocData and the image becomes the image of channel 0. Only reading
// exists: writing always uses version 5.
//
// Keys set (texts read as the empty text and numbers as 0 when missing):
//   "DataType", "Comment", "ImageFormat"            IS  the element's text
//   "ExposureTime", "Scans"                         IV  (versions 2, 3)
//   "TimeBegin", "TimeEnd"                          IS  raw texts of "BeginTime" and
//                                                       "EndTime" (versions 0, 3)
//   "BeginTime", "EndTime"                          IS  the date-times of those elements
//                                                       in LwADateTime's text form (version 2)
//   "I0Value", "I0CorrectionType"                   IV  (versions 2, 3, from "I0")
//   "I0Region#left", "#bottom", "#width", "#height" IV  correction type 1
//   "I0Cmd#<i>"                                     IS  correction type 2
//   "CmdBeforeSurvey#<i>#<object>", "CmdAfterSurvey#<i>#<object>"  IV
//   "ParentFileName", "IndexOfImage", "Index4Scan"  IS, IV, IV  only when present
//   "MsgForSetX", "XObject", <object>               IS, IS, IV  only when present
//
// The readers themselves are LwDocData::SerializeVer0 to SerializeVer4; a
// rack they must enter ("Informations", "GrobalInfo", "ImageSet" and its
// "i") that is missing fails with the Barn tag-name error
// "Invalid Tag Name:<current rack> <> <rack>".

#include "core/LwInfoMap.h"

#include <string>

class LwBarnXml;

// "BeginTime" to IS "TimeBegin" and "EndTime" to IS "TimeEnd", as raw texts;
// both keys are set, empty when the element is missing.
void ImportTimeKeys(LwInfoStringMap& infoString, LwBarnXml& doc);

// The command/reply lists "CmdBeforeSurvey" and "CmdAfterSurvey" (a missing
// list is empty) into IV with CommandListToValues and the list's name as the
// prefix.
void ImportSurveyCommands(LwInfoValueMap& infoValue, LwBarnXml& doc);

// The rack "I0", when present: "I0Value" (missing reads as 1) and
// "I0CorrectionType" (missing reads as 0) to IV; the correction type is the
// number truncated toward zero. Type 1 adds the region "I0Region" (a missing
// one gives 0, 0, 1, 1), type 2 the command list "I0Cmd" as texts.
void ImportI0Settings(LwInfoStringMap& infoString, LwInfoValueMap& infoValue, LwBarnXml& doc);

// "ParentFileName" (IS), "IndexOfImage" and "Index4Scan" (IV), each only when
// its element is present; then ImportMsgForSetX.
void ImportParentKeys(LwInfoStringMap& infoString, LwInfoValueMap& infoValue, LwBarnXml& doc);

// The pair "MsgForSetX", when present; only its command is used: IS
// "MsgForSetX" gets its three-field text, IS "XObject" its object name, and
// when its value text holds a number, IV gets the number under the object
// name.
void ImportMsgForSetX(LwInfoStringMap& infoString, LwInfoValueMap& infoValue, LwBarnXml& doc);

// Enters the child rack `name` of the current rack, or throws LwError
// "Invalid Tag Name:<current rack's name> <> <name>", the error the Barn
// format gives for leaving a rack that was never entered.
void EnterRequiredRack(LwBarnXml& doc, const std::string& name);
// Throws that error.
[[noreturn]] void ThrowMissingRack(const LwBarnXml& doc, const std::string& name);
