#include "apps/velmora/engine/DebyeTemperatureTable.h"

#include "core/LwError.h"
#include "core/TextUtilities.h"
#include "physics/LwAtomName.h"

#include <QDebug>

#include <stdexcept>
#include <vector>

void LoadDebyeTemperature(DebyeTemperatureMap& table, const std::string& text)
{
    std::vector<std::string> lines;
    SplitLines(lines, text);
    std::vector<std::string> fields;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (!line.empty() && line[0] == '#')
            continue;
        SplitFields(fields, line);
        if (fields.empty())
            continue;
        if (fields.size() < 3)
            throw LwError("Debye temperature file: too few fields in line " +
                          IntToString(static_cast<int>(n + 1)));
        const int z = StringToInt(fields[0]);
        const std::string& symbol = fields[1];
        const double theta = StringToDouble(fields[2]);
        LwAtomName element;
        try {
            element.SetAtomicNumber(z);
        } catch (const std::out_of_range&) {
            throw LwError("Illegal atomic number in Debye temperature file: " + IntToString(z));
        }
        qDebug() << z << symbol.c_str() << theta << element.GetAtomName().c_str();
        if (symbol != element.GetAtomName())
            throw LwError("Atomic number and Element is not correct");
        table.emplace(z, theta);
    }
}

std::string DebyeTemperatureText(const DebyeTemperatureMap& table, int atomicNumber)
{
    const auto range = table.equal_range(atomicNumber);
    if (range.first == range.second)
        return "not listed";
    std::string text;
    for (auto it = range.first; it != range.second; ++it) {
        if (!text.empty())
            text += ",";
        text += DoubleToString(it->second);
    }
    return text;
}
