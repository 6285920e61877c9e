#pragma once
// The scattering pattern matrix (engine/ScatteringPatternMatrix.h) sent to
// the image viewer.

#include "core/LwMatrix.h"
#include "apps/velmora/engine/ScatteringPatternMatrix.h"

class LwPluginFuncZyvra;

// Opens a new viewer window with the image, its axis and parameter keys and
// the caption "xfh_spattern_<symbol>_<E eV>(eV)RadialExponent=<l>".
void SendScatteringPatternMatrix(LwPluginFuncZyvra& client, const LwFloatMatrix& image,
                                 const ScatteringMatrixInputs& in);
