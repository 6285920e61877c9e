// The scattered-wave document (".xml_sf"): one serializer per level, each
// reading or writing by the Barn document's mode.
//
//   DREV_ScatteringData
//     data: Version, EPS, MultiScattering, StIndex, EWIndex, AtIndex, MuIndex,
//       ListScatteringData: one "i" per record:
//         StIndex, EWIndex, Ratio, ListScatterer (written only), NextListScatterer
//   wave rack: Ek_eV, atom_list: one "i" per source:
//         x, y, z (m), a (atom name), an (atomic number), Uiso (m^2),
//         c (outgoing coefficients, base64), and in the first "i" only
//         IsPlaneWave and, for a plane wave, PlaneWaveX/Y/Z (1/m).

#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "core/LwParallelErrors.h"
#include "core/TextUtilities.h"
#include "physics/LwDocScattering.h"
#include "physics/LwLmArrayBarn.h"

#include <omp.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {
// A Barn text cut short leaves the outermost rack without its closing tag
// (the closing '<' offset then lies before the opening '>').
void RequireClosed(const LwBarnXml& doc)
{
    const LwBarnXmlRack* rack = doc.CurrentRack();
    if (rack->CloseTagBegin() < rack->OpenTagEnd())
        throw LwError("Scattered wave document is incomplete: \"" + rack->GetName() + "\" is not closed");
}

// The outgoing coefficients of source n. On reading, coefficient data that
// are present but cannot give the stored L coefficients are an error, so a
// damaged document never reads as a wave with silently zero amplitudes.
// On writing, `encoded` holds the coefficients' binary text when it was made
// beforehand (EncodeCoefficients), else null.
void LoadSaveCoefficients(LwBarnXml& doc, LwLmComplexArray& coefficients, std::size_t n, std::string* encoded)
{
    if (doc.IsWriteMode()) {
        if (encoded != nullptr)
            SaveLmComplexArrayBinaryText(doc, "c", coefficients.GetL(), std::move(*encoded));
        else
            LoadSaveLmComplexArray(doc, "c", coefficients, "b");
        return;
    }
    LwBarnXmlRack* c = doc.CurrentRack()->FindChild("c");
    if (c == nullptr)
        return;  // no coefficients stored for this source
    const bool hasData = c->FindChild("base64") != nullptr || c->FindChild("Value") != nullptr;
    const std::string where =
        "Scattered wave document: the coefficients of source " + IntToString(static_cast<int>(n));
    bool complete = false;
    try {
        complete = LoadSaveLmComplexArray(doc, "c", coefficients, "b");
    } catch (const LwError& e) {
        throw LwError(where + " cannot be read: " + e.Message());
    }
    if (!complete || (coefficients.GetL() > 0 && !hasData))
        throw LwError(where + " are incomplete");
}
// The binary texts of the sources' outgoing coefficients, made in parallel
// (each depends on its own source only) so that the document, which is
// written in source order on one thread, only takes them in.
std::vector<std::string> EncodeCoefficients(const std::vector<LwPartialWaveSource>& sources)
{
    const long count = long(sources.size());
    std::vector<std::string> texts(sources.size());
    const int threads = omp_get_max_threads();
    LwParallelErrors errors(threads);
#pragma omp parallel for num_threads(threads) schedule(dynamic) if (count > 1)
    for (long n = 0; n < count; ++n)
        errors.Run(
            [&] { texts[std::size_t(n)] = LmComplexArrayBinaryText(sources[std::size_t(n)].Outgoing()); });
    errors.RethrowFirst();
    return texts;
}
}  // namespace

bool LwDocScattering::LoadSave(LwBarnXml& doc)
{
    if (!doc.OpenRack("DREV_ScatteringData"))
        return false;
    if (!doc.IsWriteMode())
        RequireClosed(doc);
    LoadSaveData(doc, "data");
    doc.CloseRack();
    return true;
}

bool LwDocScattering::LoadSaveData(LwBarnXml& doc, const std::string& rackName)
{
    if (!doc.OpenRack(rackName))
        return false;
    LDouble epsValue = EPS;
    doc.ValueLong("Version", Version, 0);
    doc.ValueLDouble("EPS", epsValue, 1.0);
    EPS = static_cast<double>(epsValue);
    doc.ValueLong("MultiScattering", MultiScattering, 1);
    doc.ValueLong("StIndex", StIndex, 0);
    doc.ValueLong("EWIndex", EWIndex, 0);
    doc.ValueLong("AtIndex", AtIndex, 0);
    doc.ValueLong("MuIndex", MuIndex, 0);
    std::printf("Start load/save list scatteirng data\n");
    LoadSaveListScatteringData(doc, "ListScatteringData", "i", ListScatteringData);
    doc.CloseRack(rackName);
    return true;
}

bool LoadSaveListScatteringData(LwBarnXml& doc, const std::string& listName, const std::string& itemName,
                                std::vector<LwScatteringData>& list)
{
    // Every item is read into a new record: a record left in the list from
    // before must not lend its phase-shift indices (which the document does
    // not store) to the atoms of another record.
    return LoadSaveList(doc, listName, itemName, list,
                        [](LwScatteringData& record, LwBarnXml& d, const std::string& item) {
                            if (d.IsWriteMode())
                                return LoadSaveScatteringData(record, d, item);
                            LwScatteringData fresh;
                            if (!LoadSaveScatteringData(fresh, d, item))
                                return false;
                            record = std::move(fresh);
                            return true;
                        });
}

bool LoadSaveScatteringData(LwScatteringData& record, LwBarnXml& doc, const std::string& itemName)
{
    if (!doc.OpenRack(itemName))
        return false;
    doc.ValueLong("StIndex", record.StIndex, 0);
    doc.ValueLong("EWIndex", record.EWIndex, 0);
    LDouble ratio = record.Ratio;
    doc.ValueLDouble("Ratio", ratio, 0.0);
    record.Ratio = static_cast<double>(ratio);
    if (doc.IsWriteMode()) {
        std::printf("ListScatterer\n");
        LoadSaveVectorFreeElectron(record, doc, "ListScatterer", record.ListScatterer);
    }
    std::printf("NextListScatterer\n");
    LoadSaveVectorFreeElectron(record, doc, "NextListScatterer", record.NextListScatterer);
    if (!doc.IsWriteMode())
        record.ListScatterer = record.NextListScatterer;
    std::printf("ScattringData %ld %ld\n", static_cast<long>(record.StIndex),
                static_cast<long>(record.EWIndex));
    doc.CloseRack(itemName);
    return true;
}

bool LoadSaveVectorFreeElectron(LwScatteringData& record, LwBarnXml& doc, const std::string& rackName,
                                LwVectorFreeElectron& wave)
{
    if (!doc.OpenRack(rackName))
        return false;
    const bool writing = doc.IsWriteMode();
    LDouble ek = wave.GetKineticEnergy();
    doc.ValueLDouble("Ek_eV", ek, 0.0);
    wave.SetKineticEnergy(static_cast<double>(ek));
    std::vector<LwPartialWaveSource>& sources = wave.Sources();
    if (!writing) {
        sources.clear();
        record.ListAtomName.clear();
    }
    std::vector<std::string> encoded;
    if (writing)
        encoded = EncodeCoefficients(sources);
    doc.OpenRack("atom_list");
    for (std::size_t n = 0;; ++n) {
        // Written straight from the wave's own source; read into a fresh one.
        LwPartialWaveSource read;
        std::string name;
        if (writing) {
            if (n == sources.size())
                break;
            if (n < record.ListAtomName.size())
                name = record.ListAtomName[n];
        } else {
            read.SetKineticEnergy(wave.GetKineticEnergy());
        }
        LwPartialWaveSource& S = writing ? sources[n] : read;
        if (!doc.OpenRack("i"))
            break;
        LDouble x = S.X(), y = S.Y(), z = S.Z();
        doc.ValueLDouble("x", x, 0.0);
        doc.ValueLDouble("y", y, 0.0);
        doc.ValueLDouble("z", z, 0.0);
        doc.ValueString("a", name, "");
        int atomicNumber = S.GetAtomicNumber();
        doc.ValueInt("an", atomicNumber, 0);
        LDouble u = S.GetU();
        doc.ValueLDouble("Uiso", u, 0.0);
        if (!writing) {
            S.SetPosition(x, y, z);
            S.SetAtomicNumber(atomicNumber);
            S.SetU(static_cast<double>(u));
        }
        LoadSaveCoefficients(doc, S.Outgoing(), n, writing ? &encoded[n] : nullptr);
        if (n == 0) {
            bool planeWave = S.IsPlaneWave();
            doc.ValueBool("IsPlaneWave", planeWave, false);
            if (!writing)
                S.SetIsPlaneWave(planeWave);
            if (planeWave) {
                LwLDoubleMatrix& K = S.PlaneWaveVector();
                LDouble kx = 0, ky = 0, kz = 1;
                if (writing) {
                    const int b = K.VectorBegin();
                    kx = K[b];
                    ky = K[b + 1];
                    kz = K[b + 2];
                }
                doc.ValueLDouble("PlaneWaveX", kx, 0.0);
                doc.ValueLDouble("PlaneWaveY", ky, 0.0);
                doc.ValueLDouble("PlaneWaveZ", kz, 1.0);
                if (!writing) {
                    K.Create(3);
                    K[0] = kx;
                    K[1] = ky;
                    K[2] = kz;
                }
            }
        }
        doc.CloseRack("i");
        if (!writing) {
            sources.push_back(std::move(read));
            record.ListAtomName.push_back(name);
        }
    }
    doc.CloseRack("atom_list");
    doc.CloseRack(rackName);
    return true;
}
