// The range of views the stand-in host shows and of the places its pointer can reach, shared by the
// host's event loop (which refuses anything beyond) and the session check (which refuses such a
// session before it runs).
#ifndef SARVELLO_SIMHOST_VIEWLIMITS_H
#define SARVELLO_SIMHOST_VIEWLIMITS_H

namespace simhost {

// Pixels per artwork unit, as drawing applications bound their zoom.
inline constexpr double kMinZoom = 0.001;
inline constexpr double kMaxZoom = 1000.0;
// The largest distance from the artwork origin of the view's centre and of a pointer position, in
// artwork units: far beyond the host's pasteboard, well inside the precision of its coordinates.
inline constexpr double kMaxArtworkCoordinate = 1e6;
// Stroke points in fractions of the overlay square reach at most this many squares away.
inline constexpr double kMaxSquareFraction = 1000.0;

}  // namespace simhost

#endif
