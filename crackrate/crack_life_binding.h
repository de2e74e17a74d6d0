// Crackrate.GrowCrack and its result type CrackLife, apart from the
// per-cycle methods of crackrate_module.cpp.
#pragma once

#include <Python.h>

#include "crackrate_model.h"

namespace crackrate_binding {

// The method's doc string, for the type's method table.
constexpr const char kGrowCrackDoc[] =
    "GrowCrack($self, spectrum, initial, final, /, *, mode='exact', Y=1.0, table=None, "
    "per_cycle=False, passes=1000000, record=0, start=0, tolerance=0.001)\n--\n\n"
    "Grows the crack from initial to final length under the spectrum's (S, R, count) rows\n"
    "(or (S, R) rows with per_cycle), repeated; returns a CrackLife (stop, cycles, length, "
    "history, ...).";

// GrowCrack(spectrum, initial, final, **keywords) on the object's model;
// null with TypeError or ValueError, the model untouched, for bad input.
PyObject* GrowCrack(crackrate::CrackrateModel* model, PyObject* args, PyObject* kwargs);

// Readies the CrackLife type and the module's Array type (of the
// histories) and adds them to the module; false with an exception set.
bool AddLifeTypes(PyObject* module);

}  // namespace crackrate_binding
