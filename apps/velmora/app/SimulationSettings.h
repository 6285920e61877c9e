#pragma once
// velmora's one process-wide record: the loaded cluster, one pattern document
// per projection, the hologram calculation with its tables, the user's inputs
// and the few links of the running program. Part of it is kept between runs
// in the ini file beside the program (rack "velmor").
//
// Threads: the GUI thread writes the record; while a hologram runs, the
// worker thread (QThreadCalc) reads the calculation, the document and the
// cluster, and the GUI thread writes only the calculation's stop flag. No
// lock: the modal hologram dialog keeps everything else still during a run.

#include "physics/LwClusterAtom.h"
#include "pattern/LwDocPattern.h"
#include "pattern/LwProjection.h"
#include "apps/velmora/engine/ElementRow.h"
#include "apps/velmora/engine/HologramCalculation.h"
#include "apps/velmora/engine/LwDocPatternVelmora.h"

#include <QString>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class LwBarnXml;
class LwPluginFuncZyvra;

class SimulationSettings
{
public:
    SimulationSettings();
    SimulationSettings(const SimulationSettings&) = delete;
    SimulationSettings& operator=(const SimulationSettings&) = delete;

    // Loads the ini file (debug line "Read from ini"). LwError "Cannot
    // open:<name>" when it cannot be read, or the Barn parser's error; the
    // keys read before a failure keep their new values.
    void ReadIni();
    // Rewrites the ini file from the record (debug line "Write to ini");
    // LwError "FILE CANNOT WRITE:<name>" when it cannot be written.
    void WriteIni();
    // The keys of the ini rack `rackName`, read or written by the document's
    // mode; false (nothing changed) when the rack is absent in read mode.
    bool LoadSave(LwBarnXml& document, const std::string& rackName);
    // The ini file: IniFileName_ when set, else the program's path with the
    // extension ".ini".
    QString IniFileName() const;

    // ElementValues_ from the rows that name an element (the first row of a
    // symbol wins); without an argument the rows of ListElementRow_.
    void RememberElementValues();
    void RememberElementValues(const std::vector<ElementRow>& rows);
    // The values to show for `symbol`: the remembered ones, else F1 = F2 = 0
    // and the first Debye temperature listed for `atomicNumber` (0 when none).
    ElementRow ElementValues(const std::string& symbol, int atomicNumber) const;
    // Empties Calculation_.ElementMap and fills it from ListElementRow_: rows
    // without an element are skipped, F1 and F2 are 0 unless IsUseAnomalous_,
    // Debye_K_ is 0 unless IsUseDebye_, and the first row of a symbol wins.
    // Copies the temperature and the three test flags into the calculation.
    void BuildElementMap();
    // The pattern document of `projection`.
    LwDocPattern& Document(LwProjection projection);

    // Fields, in order.
    LwCluster Cluster_;
    LwDocPattern_Diana DocDiana_;
    LwDocPattern_EquidistantCylindrical DocEquidistantCylindrical_;
    LwDocPattern_AzimuthalEquidistant DocAzimuthalEquidistant_;
    LwDocPattern_StereoProjection DocStereoProjection_;
    LwDocPattern_Orthographic DocOrthographic_;
    HologramCalculation Calculation_;
    LwDocPattern* CurrentDoc_ = nullptr;  // document of the running or last calculation
    LwPluginFuncZyvra* Plugin_ = nullptr;  // the main window's viewer client
    std::string Version_;
    std::int32_t WindowID_ = 0;  // viewer window focused at start
    bool IsTerminateRequest_ = false;
    bool IsCalculating_ = false;
    std::int32_t CurrentMapTabIndex_ = 4;  // projection tab of the hologram dialog
    std::vector<double> PhotonEnergyList_keV{12.0};
    std::vector<ElementRow> ListElementRow_;
    std::set<std::string> ClusterElements_;  // element symbols of Cluster_
    double Temperature_K_ = 0;
    bool IsUseDebye_ = false;
    bool IsUseAnomalous_ = false;
    bool IsDrawDampingFunction_ = false;
    bool IsNotUseEmitterVibration_ = false;
    bool IsUseUiso_ = false;
    LwDocPattern_CosZ DocCosZ_;
    // The f1, f2 and Debye temperature last given for each element symbol,
    // kept across clusters: the rows of a newly loaded cluster show these
    // for its own elements, never the values of another element. Stored in
    // the ini rack "ElementValues" (after "Anormalous", which keeps the six
    // rows as before); a file without it fills this from "Anormalous".
    std::map<std::string, ElementRow> ElementValues_;
    // Where the ini file lives when not beside the program (tests); empty =
    // beside the program. Not stored.
    QString IniFileName_;
    // The entries of the element lists ("Anormalous", "ElementValues") that
    // the last read of the ini rack did not use, one text each: a value that
    // is no finite number, a negative Debye temperature, a second entry of
    // an element in "ElementValues". Their elements show the table's and the
    // default values instead. Not stored.
    std::vector<std::string> UnusedIniEntries_;
};

// The one record, made at its first use.
SimulationSettings& GetSimulationSettings();

// The rack `rackName` of one element row: "Element" (escaped text), "F1",
// "F2", "Debye_K_"; false when absent in read mode. In read mode a number
// that is no finite number (or a negative "Debye_K_") leaves its field as it
// was and, when `unusable` is given, is described there (empty when every
// number was usable).
bool LoadSaveElementRow(LwBarnXml& document, const std::string& rackName, ElementRow& row,
                        std::string* unusable = nullptr);
// The list rack `listName` of element rows, one rack `itemName` each; in read
// mode the list becomes exactly the rows read, and `unusable` (when given)
// one text per row as LoadSaveElementRow gives it. False when the list rack
// is absent in read mode (the list is then unchanged).
bool LoadSaveListElementRow(LwBarnXml& document, const std::string& listName, const std::string& itemName,
                            std::vector<ElementRow>& list, std::vector<std::string>* unusable = nullptr);
