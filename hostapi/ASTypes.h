/* Basic types of the host interface: error codes, points, rectangles, path segments, handles.
 * C-compatible: the plug-in module and the host agree on these layouts across the module
 * boundary. */
#ifndef SARVELLO_HOSTAPI_ASTYPES_H
#define SARVELLO_HOSTAPI_ASTYPES_H

#include <stddef.h>
#include <stdint.h>

#include "Platform.h"

#ifdef __cplusplus
extern "C" {
#endif

#define AIAPI
#define ADMAPI
#define SPAPI

/* A four-character code packed into 32 bits, the first character in the most significant byte. */
#define AS_FOURCC(a, b, c, d) \
  ((int32_t)(((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | \
             ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d)))

typedef int32_t ASErr;
typedef ASErr AIErr;
typedef ASErr SPErr;
typedef unsigned char ASBoolean;
typedef ASBoolean AIBoolean;
typedef ASBoolean SPBoolean;
typedef float AIReal;
typedef float ASReal;

/* Error codes. 0 is success; most others are four characters. The host answers !MEM, CANT, PARM,
 * !SUI, !VER, !ART, !PTH, !DOC, !STR and !OBJ; the plug-in answers !MEM, !MSG, CANT, !ico and
 * pFls, and passes on whatever the host answered it. */
enum {
  kNoErr = 0,
  kOutOfMemoryErr = AS_FOURCC('!', 'M', 'E', 'M'),     /* 0x214D454D */
  kUnhandledMsgErr = AS_FOURCC('!', 'M', 'S', 'G'),    /* no handler for the message */
  kCantHappenErr = AS_FOURCC('C', 'A', 'N', 'T'),      /* an unexpected failure or exception */
  kBadParameterErr = AS_FOURCC('P', 'A', 'R', 'M'),    /* an argument the host cannot accept */
  kSuiteNotFoundErr = AS_FOURCC('!', 'S', 'U', 'I'),   /* no suite of that name */
  kSuiteVersionErr = AS_FOURCC('!', 'V', 'E', 'R'),    /* the suite exists, not at that version */
  kDeadArtErr = AS_FOURCC('!', 'A', 'R', 'T'),         /* the art handle no longer refers to art */
  kNotAPathErr = AS_FOURCC('!', 'P', 'T', 'H'),        /* the art is not a path */
  kNoDocumentErr = AS_FOURCC('!', 'D', 'O', 'C'),      /* no document view is open */
  kBadIconErr = AS_FOURCC('!', 'i', 'c', 'o'),         /* the tool icon could not be made */
  kPurgeFalseErr = AS_FOURCC('p', 'F', 'l', 's'),      /* answer to a purge request: do not purge */
  kStringNotFoundErr = AS_FOURCC('!', 'S', 'T', 'R'),  /* no such string resource or entry */
  kNoSuchObjectErr = AS_FOURCC('!', 'O', 'B', 'J')     /* a host object handle it does not know */
};

/* Artwork coordinates: 32-bit floats, y grows upward. */
typedef struct AIRealPoint {
  AIReal h;
  AIReal v;
} AIRealPoint;

typedef struct _t_ASRealRect {
  AIReal left;
  AIReal top;
  AIReal right;
  AIReal bottom;
} AIRealRect;
typedef struct _t_ASRealRect ASRealRect;

/* A path segment: anchor, in-control and out-control points and the corner flag (28 bytes). */
typedef struct AIPathSegment {
  AIRealPoint p;
  AIRealPoint in;
  AIRealPoint out;
  AIBoolean corner;
} AIPathSegment;

/* View coordinates (integer pixels of the document window, y grows downward): see Platform.h for
 * the layout of Rect and Point. */
typedef Rect AIRect;
typedef Point AIPoint;

typedef struct AIRGBColor {
  uint16_t red;
  uint16_t green;
  uint16_t blue;
} AIRGBColor;

/* Opaque host objects: made by the host, only passed back by the plug-in. AIMdMemoryHandle is
 * host memory handed out as a handle (a matching-art array), released with
 * MdMemoryDisposeHandle; AIAnnotatorDrawer is the drawer of one "AI Draw" message. */
typedef struct ArtObject* AIArtHandle;
typedef struct SPPlugin* SPPluginRef;
typedef struct SPAccess* SPAccessRef;
typedef struct _t_AINotifierOpaque* AINotifierHandle;
typedef struct _t_AIAppContextOpaque* AIAppContextHandle;
typedef struct _t_AIUnicodeStringOpaque* AIUnicodeStringHandle;
typedef struct _t_AIMenuItemOpaque* AIMenuItemHandle;
typedef struct _t_AIToolOpaque* AIToolHandle;
typedef struct _t_AITimerOpaque* AITimerHandle;
typedef struct _t_AIAnnotatorOpaque* AIAnnotatorHandle;
typedef struct _t_AIAnnotatorDrawer AIAnnotatorDrawer;
typedef struct _t_AIDocumentViewOpaque* AIDocumentViewHandle; /* null: the current view */
typedef struct _t_ADMIcon* ADMIconRef;
typedef void** AIMdMemoryHandle;

#ifdef __cplusplus
}
#endif

#endif
