#pragma once
// The metadata maps of a processed-image document and of the viewer's image
// windows: "InfoValue" (key text to a list of numbers) and "InfoString" (key
// text to a list of texts). Keys are ordered byte-wise and occur once; every
// list holds at least one element (the setters make one-element lists, the
// readers drop empty ones). The first element of a list is "the" value of a
// key; further elements are kept but no setter touches them.

#include <map>
#include <string>
#include <vector>

class LwBarnXml;

using LwInfoValueMap = std::map<std::string, std::vector<double>>;
using LwInfoStringMap = std::map<std::string, std::vector<std::string>>;

// An absent key gets the one-element list {value}; a present key has the
// first element of its list replaced and keeps the others.
void SetInfoValue(LwInfoValueMap& map, const std::string& key, double value);
void SetInfoString(LwInfoStringMap& map, const std::string& key, const std::string& value);

// The map racks, both directions. The rack `rackName` holds one rack "i" per
// entry in key order: the escaped text element "key", then one element per
// list item, "val" (a double, six significant digits) in the number map,
// "value" (an escaped text) in the text map. Reading empties the map first,
// then returns false when the rack is missing; otherwise it keeps every entry
// whose key is not empty and whose list is not, the first of a repeated key,
// and returns true.
bool SerializeValueMap(LwInfoValueMap& map, LwBarnXml& doc, const std::string& rackName);
bool SerializeTextMap(LwInfoStringMap& map, LwBarnXml& doc, const std::string& rackName);
