#include "physics/LwExtendedXyz.h"

#include "core/LwError.h"
#include "core/LwFile.h"
#include "core/TextUtilities.h"

const char* const kExtendedXyzUisoProperties = "Properties=\"species:S:1:pos:R:3:Uiso:R:1\"";

void LoadExtendedXyz(LwCluster& cluster, LwFile& file, bool check)
{
    std::string text;
    file.ReadAll(text);
    LoadExtendedXyzText(cluster, text, check);
}

void LoadExtendedXyzText(LwCluster& cluster, const std::string& text, bool check)
{
    cluster.clear();
    std::deque<std::string> lines;
    SplitNonEmptyLines(lines, text);
    for (;;) {
        LwStructure structure;
        if (!LoadExtendedXyzFrame(structure, lines))
            break;
        cluster.push_back(std::move(structure));
    }
    if (check)
        CheckCluster(cluster);
}

void SplitNonEmptyLines(std::deque<std::string>& lines, const std::string& text)
{
    lines.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t begin = text.find_first_not_of("\r\n", pos);
        if (begin == std::string::npos)
            break;
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(begin, end - begin));
        pos = end;
    }
}

bool PopFrontLine(std::string& line, std::deque<std::string>& lines)
{
    if (lines.empty())
        return false;
    line = std::move(lines.front());
    lines.pop_front();
    return true;
}

bool LoadExtendedXyzFrame(LwStructure& structure, std::deque<std::string>& lines)
{
    structure.clear();
    std::string countLine, title, line;
    if (!PopFrontLine(countLine, lines) || !PopFrontLine(title, lines))
        return false;
    const int count = StringToInt(countLine);
    if (count == 0)
        return false;

    std::vector<std::string> fields;
    for (int k = 0; k < count && PopFrontLine(line, lines); ++k) {
        SplitFields(fields, line);
        if (fields.size() == 5) {
            if (title.find(kExtendedXyzUisoProperties) == std::string::npos)
                throw LwError(std::string("title should include :") + kExtendedXyzUisoProperties +
                              "\nsee the extended XYZ format: https://github.com/libAtoms/extxyz");
        } else if (fields.size() != 4) {
            throw LwError("File is not XYZ structure");
        }

        LwClusterAtom atom;
        atom.Name_ = fields[0];
        atom.Atom_ = fields[0];
        LwLDoubleMatrix position(3);
        const int b = position.VectorBegin();
        for (int i = 0; i < 3; ++i)
            position[b + i] = StringToLDouble(fields[1 + i]);
        atom.SetPositionAngstrom(position);
        if (fields.size() == 5) {
            LwLDoubleMatrix u(1, 1);
            u(0, 0) = StringToDouble(fields[4]);
            atom.SetUAngstrom2(u);
        }
        structure.push_back(std::move(atom));
    }
    return true;
}
