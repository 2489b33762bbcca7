// The drawing and the sessions built into sarvello-host: the sample of `sarvello-host demo`, and
// the strokes `sarvello-host run` replays when no session is given.
#ifndef SARVELLO_SIMHOST_APP_SAMPLE_H
#define SARVELLO_SIMHOST_APP_SAMPLE_H

#include "session/Session.h"

namespace simhost::svg {
class Drawing;
}

namespace simhost::app {

// A drawing that shows the stirring well: a lattice of thin lines, concentric rings, a star in
// the middle and a wavy line along the bottom, on a 400 x 400 canvas.
extern const char* const kSampleSvg;

// Swirling strokes with pictures along the way: the demo's session, and the one `run` replays
// when no session is given. It names no drawing and keeps the default view.
extern const char* const kSampleSession;

// The demo's session: the same strokes, with the panel in use. The left swirl stirs the drawing,
// Retry puts it back, Grid Res is set to 128 from its preset list, and both swirls and the arch
// stir it again on the finer grid.
extern const char* const kDemoSession;

// The side the default strokes give the overlay square on a drawing: 0 (the panel's Size stays)
// for a drawing enlarged into the square, else as large as the panel's Size field allows over
// the drawing, which keeps its own size: its larger side and a tenth more, in tens, up to 1000.
int defaultSquareSize(const svg::Drawing& drawing);
// The session with the panel's Size typed to `size` before everything else.
session::Session withSquareSize(session::Session session, int size);

// The demo's window: small enough that a strip of frames stays a handy picture, zoomed so that
// the overlay square fills most of it.
session::ViewChange sampleView();

}  // namespace simhost::app

#endif
