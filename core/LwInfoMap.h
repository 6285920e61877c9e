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

using LwInfoValueMap = std::map<std::string, std::vector<double>>;
using LwInfoStringMap = std::map<std::string, std::vector<std::string>>;

// An absent key gets the one-element list {value}; a present key has the
// first element of its list replaced and keeps the others.
void SetInfoValue(LwInfoValueMap& map, const std::string& key, double value);
void SetInfoString(LwInfoStringMap& map, const std::string& key, const std::string& value);
