// The reference cell step (structor_cells_ref.cpp): the straightforward form of the step,
// linked into the tests and the benchmark, not the program.
#pragma once

#include "app/code/structor/structor.h"

// One step exactly as structor_cells_step must leave the grid.
void structor_cells_step_ref(structor_cells* c);
