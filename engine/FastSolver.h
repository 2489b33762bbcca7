// The fast velocity step and point motion: the same results as the straightforward loops of
// Solver.cpp and of the engine's point motion, to the bit, computed with SIMD vectors.
//
// The same source is compiled once per instruction set (SSE2, AVX2 and AVX-512 on x86-64, NEON on
// ARM64); `best` picks the widest one the processor runs, once, at the first call. Every
// implementation the processor can run is listed by `implementation`, the straightforward one
// first, so that tests and benchmarks can hold each against the others.
#ifndef SARVELLO_ENGINE_FASTSOLVER_H
#define SARVELLO_ENGINE_FASTSOLVER_H

#include <cstddef>

namespace fastsolver {

// The widest vector, in floats, of any implementation: the scratch rows are that many.
constexpr int kMaxWidth = 16;

// Floats of scratch memory a velocity step at resolution N needs: kMaxWidth rows of the grid.
std::size_t scratch_floats(int N);

// One point-motion request: a grid of resolution N with its velocity arrays, the time step and
// the simulation rectangle (left, top, right, bottom in artwork coordinates).
struct Field {
  int N;
  const float* u;
  const float* v;
  float dt;
  float left, top, right, bottom;
};

struct Implementation {
  const char* name;
  int width;  // floats per vector; 1 for the straightforward loops
  // vel_step of Solver.h, with `scratch` holding scratch_floats(N) floats.
  void (*vel_step)(int N, float* u, float* v, float* u_prev, float* v_prev, float viscosity,
                   float dt, float* scratch);
  // Moves `count` points in place by one Runge-Kutta step through the field. Point k's
  // horizontal coordinate is points[k * stride], its vertical one the float after it. A point
  // outside the rectangle, or whose new position is not finite, keeps its place.
  void (*move_points)(const Field& field, float* points, std::ptrdiff_t stride, int count);
};

// The implementations this processor runs: implementation(0) is the straightforward one,
// implementation(implementation_count() - 1) the fastest.
int implementation_count();
const Implementation& implementation(int k);

// The fastest implementation this processor runs.
const Implementation& best();

// One point moved by the straightforward arithmetic: the reference of every move_points.
void move_point_reference(const Field& field, float& h, float& v);

}  // namespace fastsolver

#endif
