#include "physics/LwClusterDocument.h"

#include "core/LwBarnXml.h"

namespace {

// The six independent components of a symmetric 3 x 3 U, (col, row) from 0.
const struct
{
    const char* name;
    int a, b;
} kAnisoComponents[] = {
    {"aniso_U_11", 0, 0}, {"aniso_U_12", 0, 1}, {"aniso_U_13", 0, 2},
    {"aniso_U_22", 1, 1}, {"aniso_U_23", 1, 2}, {"aniso_U_33", 2, 2},
};

}  // namespace

bool LoadSaveCrystalStructureData(LwCluster& cluster, LwBarnXml& document, bool check)
{
    if (!document.OpenRack("lw_crystal_structure_data"))
        return false;
    LoadSaveListStructure(cluster, document, "data");
    document.CloseRack();
    if (check && !document.IsWriteMode())
        CheckCluster(cluster);
    return true;
}

bool LoadSaveListStructure(LwCluster& cluster, LwBarnXml& document, const std::string& rackName)
{
    if (!document.OpenRack(rackName))
        return false;
    LoadSaveList(document, "list_structure", "structure", cluster, LoadSaveStructure);
    document.CloseRack(rackName);
    return true;
}

bool LoadSaveStructure(LwStructure& structure, LwBarnXml& document, const std::string& rackName)
{
    if (!document.OpenRack(rackName))
        return false;
    LoadSaveList(document, "atoms", "i", structure, LoadSaveClusterAtom);
    document.CloseRack(rackName);
    if (!document.IsWriteMode())
        SortAtomsByDistance(structure);
    return true;
}

bool LoadSaveClusterAtom(LwClusterAtom& atom, LwBarnXml& document, const std::string& rackName)
{
    if (!document.OpenRack(rackName))
        return false;
    document.ValueString("name", atom.Name_, "");
    document.ValueString("atom", atom.Atom_, "");
    LDouble valency = atom.Valency_;
    document.ValueLDouble("valency", valency, 0);
    atom.Valency_ = static_cast<double>(valency);

    const char* const axes[3] = {"x", "y", "z"};
    if (document.IsWriteMode()) {
        LwLDoubleMatrix position = atom.GetPositionAngstrom();
        const int b = position.VectorBegin();
        for (int i = 0; i < 3; ++i)
            document.ValueLDouble(axes[i], position[b + i], 0);
        const LwLDoubleMatrix u = atom.GetUAngstrom2();
        if (u.ColSize == 1 && u.RowSize == 1) {
            document.OpenRack("MSD_iso");
            LDouble uIso = u(u.ColBegin, u.RowBegin);
            document.ValueLDouble("U_iso", uIso, 0);
            document.CloseRack("MSD_iso");
        } else if (u.ColSize == 3 && u.RowSize == 3) {
            document.OpenRack("MSD_aniso");
            for (const auto& c : kAnisoComponents) {
                LDouble component = u(u.ColBegin + c.a, u.RowBegin + c.b);
                document.ValueLDouble(c.name, component, 0);
            }
            document.CloseRack("MSD_aniso");
        }
    } else {
        LwLDoubleMatrix position(3);
        for (int i = 0; i < 3; ++i)
            document.ValueLDouble(axes[i], position[i], 0);
        atom.SetPositionAngstrom(position);

        LwLDoubleMatrix u;
        if (document.OpenRack("MSD_iso")) {
            u.Create(1, 1);
            document.ValueLDouble("U_iso", u(0, 0), 0);
            document.CloseRack("MSD_iso");
        }
        if (document.OpenRack("MSD_aniso")) {
            u.Create(3, 3);
            for (const auto& c : kAnisoComponents)
                document.ValueLDouble(c.name, u(c.a, c.b), 0);
            document.CloseRack("MSD_aniso");
            u(1, 0) = u(0, 1);
            u(2, 0) = u(0, 2);
            u(2, 1) = u(1, 2);
        }
        atom.SetUAngstrom2(u);
    }
    document.CloseRack(rackName);
    return true;
}
