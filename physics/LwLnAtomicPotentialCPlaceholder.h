#pragma once
// PLACEHOLDER — REPLACE ON MERGE.
// The right-hand side of the radial equation, LwLnAtomicPotentialC, is built
// on its own branch. Until it lands, the phase-shift entry carries this empty
// stand-in so that the document compiles; on merge this file is deleted and
// LwDocScatteringPhaseShift.h includes "LwLnAtomicPotentialC.h" instead.
// It has no behaviour and nothing may call it.

class LwLnAtomicPotentialC
{
};
