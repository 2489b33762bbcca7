// The fluid solver: a stable-fluids velocity step over plain float grids, and the clamped cubic
// sampling it and the point motion share.
//
// A grid array of resolution N holds (N+2)*(N+2) floats; element (i, j) is at index
// i + (N+2)*j, i the column and j the row. The interior is 1..N in both directions; columns and
// rows 0 and N+1 form the border ring. Every function requires N >= 1, keeps no state, allocates
// nothing and computes in single precision (with the few double-precision steps noted in the
// sources), in a fixed loop order, so that results are reproducible to the bit.
#ifndef SARVELLO_ENGINE_SOLVER_H
#define SARVELLO_ENGINE_SOLVER_H

// Boundary modes of set_bnd and semi_lagragian.
enum {
  kBoundaryScalar = 0,      // pressure and divergence: every wall copies its interior neighbour
  kBoundaryHorizontal = 1,  // u: left and right walls negate their neighbour
  kBoundaryVertical = 2     // v: top and bottom walls negate their neighbour
};

// Advances (u, v) by one step of length dt. On entry u_prev and v_prev hold the sources; on
// return they hold the pressure and the divergence term of the final projection.
void vel_step(int N, float* u, float* v, float* u_prev, float* v_prev, float viscosity, float dt);

// Makes (u, v) divergence-free by a pressure projection; p and div are scratch.
void project(int N, float* u, float* v, float* p, float* div);

// Writes into d the field d0 carried one step of length dt along (u, v), sampling d0 with
// `interpolate` at the clamped back-traced position of each interior cell, then fills the border
// of d in mode b. Only equal resolutions (NV == N) are used and supported.
void semi_lagragian(int NV, int N, int b, float* d, float* d0, float* u, float* v, float dt);

// Fills the border ring of x from its interior in boundary mode b, then the four corners.
void set_bnd(int N, int b, float* x);

// The bicubic sample of grid f at grid coordinates (x, y), each clamped to 1.5..N-0.5 (a NaN
// coordinate samples at 1.5). Reads only elements of f.
float interpolate(int N, const float* f, float x, float y);

// The natural cubic spline through y[0..3] (at 0, 1, 2, 3) evaluated at 1 + t, t in 0..1, and
// clamped into the range of y[1] and y[2].
float spline_cubic(const float* y, float t);

#endif
