// The overlay square on the document view: maps view and artwork coordinates, draws the frame and
// the status line, turns pointer events into brush positions and runs the engine's steps.
#ifndef SARVELLO_PLUGIN_SARVELLOANNOTATOR_H
#define SARVELLO_PLUGIN_SARVELLOANNOTATOR_H

#include "HostAPI.h"

class SarvelloMain;

class SarvelloAnnotator {
 public:
  SarvelloAnnotator();  // creates the engine
  virtual ~SarvelloAnnotator();
  SarvelloAnnotator(const SarvelloAnnotator&) = delete;
  SarvelloAnnotator& operator=(const SarvelloAnnotator&) = delete;

  // The overlay square in view coordinates.
  ASErr getAnnotationRect(Rect* rect);
  ASErr ArtworkBoundsToViewBounds(const AIRealRect& artworkBounds, Rect* viewBounds);
  ASErr ViewBoundsToArtworkBounds(const Rect& viewBounds, AIRealRect* artworkBounds);
  ASErr InvalidateRect(const Rect& viewBounds);
  ASErr InvalidateRect(const AIRealRect& artworkBounds);
  // Invalidates the inside of the overlay square (2 pixels in from its frame).
  ASErr Refresh();

  ASErr DrawAnnotation(AIAnnotatorMessage* message);
  ASErr ToolMouseDown(AIToolMessage* message);
  ASErr ToolMouseDrag(AIToolMessage* message);
  ASErr ToolMouseUp(AIToolMessage* message);

  // One deformation step over the simulation rectangle (the overlay square in artwork coordinates).
  ASErr advect_and_subdivide();
  // A negative value leaves that parameter unchanged.
  ASErr setParameter(float viscosity, float dt, float force, int N, float sampling, int size);

  int32_t step = 0;    // overlay draws since the last reset
  int32_t size = 400;  // side of the overlay square in artwork units
  SarvelloMain* engine = nullptr;

 private:
  // Hands the cursor of a tool message, as fractions of the overlay square, to `feed` when it
  // falls inside the square and there is an engine to take it.
  ASErr feedBrush(AIToolMessage* message, void (*feed)(SarvelloMain&, float x, float y));
};

#endif
