#pragma once
// The process-wide serial counter that numbers processed-image documents and
// image regions together: each new object takes the next value, 1, 2, 3 ...,
// and after the largest 32-bit signed value the count starts again at 1.

#include "core/LwTypes.h"

// The value after `current`: current + 1, or 1 when current + 1 would not be
// a positive 32-bit value (computed without signed overflow).
LwLong NextSerialValue(LwLong current);

// Advances the shared counter and returns its new value. Safe to call from
// several threads: every caller gets a value of its own.
LwLong TakeSerialId();
