#pragma once
// The cluster document (".xml_cl"): a Barn document whose top-level rack
// "lw_crystal_structure_data" holds the structures of a cluster.
//
//   lw_crystal_structure_data / data / list_structure / structure* / atoms / i*
//   i: name, atom (texts), valency, x, y, z (Angstrom), optional MSD_iso/U_iso
//      or MSD_aniso/aniso_U_11 ... aniso_U_33 (square Angstrom)
//
// Every serializer reads or writes by the document's mode. Reading orders each
// structure by distance from the origin; missing racks are not errors (the
// object stays as it was, missing values take the defaults of a new atom).

#include "physics/LwClusterAtom.h"

#include <string>

class LwBarnXml;

// False when the top-level rack is missing (read mode; the cluster is left as
// it was). With `check` in read mode the cluster then goes through
// CheckCluster, whose LwError reaches the caller.
bool LoadSaveCrystalStructureData(LwCluster& cluster, LwBarnXml& document, bool check);
bool LoadSaveListStructure(LwCluster& cluster, LwBarnXml& document, const std::string& rackName);
bool LoadSaveStructure(LwStructure& structure, LwBarnXml& document, const std::string& rackName);
bool LoadSaveClusterAtom(LwClusterAtom& atom, LwBarnXml& document, const std::string& rackName);
