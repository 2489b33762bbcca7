// The deformation engine: the velocity grid and its parameters, the brush, the captured paths
// for Retry, and the per-tick deformation of the selected paths.
#ifndef SARVELLO_ENGINE_SARVELLOMAIN_H
#define SARVELLO_ENGINE_SARVELLOMAIN_H

#include <vector>

#include "HostAPI.h"

class SarvelloMain {
 public:
  SarvelloMain();
  virtual ~SarvelloMain();
  SarvelloMain(const SarvelloMain&) = delete;
  SarvelloMain& operator=(const SarvelloMain&) = delete;

  // 1 when all four grid arrays exist, 0 otherwise.
  int allocate_data();
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
  std::vector<AIArtHandle> captured_arts;
  std::vector<std::vector<AIPathSegment>> captured_segments;
};

#endif
