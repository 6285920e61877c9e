#include "core/LwInfoMap.h"

#include "core/LwBarnXml.h"

namespace {

template <class Map, class Value>
void SetFirst(Map& map, const std::string& key, const Value& value)
{
    auto& list = map[key];
    if (list.empty())
        list.push_back(value);
    else
        list.front() = value;
}

// One map rack; `element(doc, name, item)` is the value element of one list
// item (reading: false when no item of that name is left).
template <class Map, class Element>
bool SerializeMap(Map& map, LwBarnXml& doc, const std::string& rackName, const std::string& itemName,
                  Element element)
{
    using List = typename Map::mapped_type;
    if (doc.IsWriteMode()) {
        doc.OpenRack(rackName);
        for (auto& entry : map) {
            doc.OpenRack("i");
            std::string key = entry.first;
            doc.ValueString("key", key, key);
            for (auto& item : entry.second)
                element(doc, itemName, item);
            doc.CloseRack("i");
        }
        doc.CloseRack(rackName);
        return true;
    }
    map.clear();
    if (!doc.OpenRack(rackName))
        return false;
    while (doc.OpenRack("i")) {
        std::string key;
        doc.ValueString("key", key, std::string());
        List list;
        for (typename List::value_type item{}; element(doc, itemName, item);)
            list.push_back(item);
        doc.CloseRack("i");
        if (!key.empty() && !list.empty())
            map.emplace(std::move(key), std::move(list));
    }
    doc.CloseRack(rackName);
    return true;
}

}  // namespace

void SetInfoValue(LwInfoValueMap& map, const std::string& key, double value)
{
    SetFirst(map, key, value);
}

void SetInfoString(LwInfoStringMap& map, const std::string& key, const std::string& value)
{
    SetFirst(map, key, value);
}

bool SerializeValueMap(LwInfoValueMap& map, LwBarnXml& doc, const std::string& rackName)
{
    return SerializeMap(map, doc, rackName, "val", [](LwBarnXml& d, const std::string& name, double& value) {
        return d.ValueDouble(name, value, 0.0);
    });
}

bool SerializeTextMap(LwInfoStringMap& map, LwBarnXml& doc, const std::string& rackName)
{
    return SerializeMap(map, doc, rackName, "value",
                        [](LwBarnXml& d, const std::string& name, std::string& value) {
                            return d.ValueString(name, value, std::string());
                        });
}
