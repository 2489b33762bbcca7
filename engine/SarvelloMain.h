// The deformation engine: the velocity grid and its parameters, the brush, the captured paths
// for Retry, and the per-tick deformation of the selected paths.
#ifndef SARVELLO_ENGINE_SARVELLOMAIN_H
#define SARVELLO_ENGINE_SARVELLOMAIN_H

#include <cstdint>
#include <vector>

#include "HostAPI.h"

// The memory callbacks handed to the host's curve-to-points conversion: blocks of the SP Blocks
// Suite. They are called from inside the host, so nothing is thrown out of them; my_allocate
// answers none when the block is refused or the size is negative.
void* my_allocate(int32_t size) noexcept;
void my_dispose(void* block) noexcept;

class SarvelloMain {
 public:
  SarvelloMain();
  virtual ~SarvelloMain();
  SarvelloMain(const SarvelloMain&) = delete;
  SarvelloMain& operator=(const SarvelloMain&) = delete;

  // Allocates the four grid arrays for the current N and stores them in u, v, u_prev, v_prev:
  // 1 when all four exist, 0 otherwise. The arrays those fields held before are not freed here
  // (the regrid still reads them). A refused block throws ai::Error("!MEM") after giving back
  // the blocks obtained before it and leaves the fields unchanged: never a half-allocated grid.
  int allocate_data();
  // True when all four grid arrays (and the velocity step's scratch rows) exist.
  bool has_grid() const { return u && v && u_prev && v_prev && scratch; }
  int clear();
  // A negative (or NaN) value leaves that parameter unchanged; size is the annotator's.
  int setParameter(float viscosity, float time_step, float force, int grid_resolution,
                   float sampling, int size);
  int prepare();
  int simplify();
  // One velocity step per overlay draw; both arguments are ignored.
  int display(AIAnnotatorMessage* message, const Rect& square);

  // Brush input in fractions of the overlay square (x from the left, y from the top).
  int mouse_func(int release, float x, float y);
  int motion_func(float x, float y);

  // Capture of the selected paths and their restoration.
  int recordPolygons();
  int retry();

  // One deformation step of the selected paths over the simulation rectangle.
  int advect_and_subdivide(const _t_ASRealRect& rect);

 private:
  void write_impulse();
  void deform_path(AIArtHandle art, const _t_ASRealRect& rect);
  // Moves the conversion's points in place by one Runge-Kutta step through the field.
  void move_points(AIPathConstPoint* points, int32_t count, const _t_ASRealRect& rect) const;
  void regrid();
  void release_grid();

 public:

  // Fields, in declaration order.
  int N = 64;
  int N_copy = 64;           // second copy of N, set whenever N is set
  int vertex_total = 0;      // points handled by the last deformation step
  float dt = 0.01f;
  float viscosity = 0.0005f;
  float force_scale = 16000.0f;  // the Parameter set's force times 4000
  float sampling = 2.0f;
  int pending_N = 0;         // 0, or a requested grid resolution not yet applied
  int running = 1;           // nonzero while deformation steps may change the document
  int mouse_down = 0;
  float prev_x = 0.0f, prev_y = 0.0f;  // brush position at the last impulse
  float brush_x = 0.0f, brush_y = 0.0f;
  float* u = nullptr;
  float* v = nullptr;
  float* u_prev = nullptr;
  float* v_prev = nullptr;
  float* scratch = nullptr;  // the fast velocity step's scratch rows, taken with the grid
  std::vector<AIArtHandle> captured_arts;
  std::vector<std::vector<AIPathSegment>> captured_segments;
};

#endif
