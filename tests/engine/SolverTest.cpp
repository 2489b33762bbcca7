#include "Solver.h"
#include "SolverConformance.h"

INSTANTIATE_TEST_SUITE_P(Reference, SolverConformance,
                         ::testing::Values(SolverImpl{"reference", &vel_step, &project,
                                                      &semi_lagragian, &set_bnd, &interpolate,
                                                      &spline_cubic}),
                         SolverImplName);
