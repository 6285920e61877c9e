#pragma once
// Record lists of the physics documents whose items are read as new records:
// each item starts from the record type's defaults (its keys that are
// missing keep those defaults), whatever the vector held before reading.
// Record::LoadSave(doc, itemName) is the record's own serializer.

#include "core/LwBarnXml.h"

#include <string>
#include <utility>
#include <vector>

template <class Record>
bool LoadSaveNewRecordList(LwBarnXml& doc, const std::string& listName, const std::string& itemName,
                           std::vector<Record>& list)
{
    return LoadSaveList(doc, listName, itemName, list,
                        [](Record& record, LwBarnXml& d, const std::string& item) {
                            if (d.IsWriteMode())
                                return record.LoadSave(d, item);
                            Record fresh;
                            if (!fresh.LoadSave(d, item))
                                return false;
                            record = std::move(fresh);
                            return true;
                        });
}
