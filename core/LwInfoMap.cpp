#include "LwInfoMap.h"

namespace {

template <class Map, class Value>
void SetFirst(Map& map, const std::string& key, const Value& value)
{
    auto& list = map[key];
    if (list.empty()) list.push_back(value);
    else list.front() = value;
}

} // namespace

void SetInfoValue(LwInfoValueMap& map, const std::string& key, double value)
{
    SetFirst(map, key, value);
}

void SetInfoString(LwInfoStringMap& map, const std::string& key, const std::string& value)
{
    SetFirst(map, key, value);
}
