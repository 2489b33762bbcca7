/* The application's suites that the plug-in uses, each known by name and version, and the
 * message records of the notifier, menu, tool, timer and annotation messages. */
#ifndef SARVELLO_HOSTAPI_AISUITES_H
#define SARVELLO_HOSTAPI_AISUITES_H

#include "SPSuites.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- AI Notifier Suite ------------------------------------------------------------------ */
#define kAINotifierSuite "AI Notifier Suite"
#define kAINotifierSuiteVersion 1002
#define kAINotifierCaller "AI Notifier"
#define kAINotifySelector "AI Notify"
#define kAIApplicationStartedNotifier "AI Application Started Notifier"
#define kAIApplicationShutdownNotifier "AI Application Shutdown Notifier"

typedef struct AINotifierSuite {
  AIErr(AIAPI* AddNotifier)(SPPluginRef self, const char* name, const char* type,
                            AINotifierHandle* notifier);
} AINotifierSuite;

typedef struct AINotifierMessage {
  SPMessageData d;
  AINotifierHandle notifier;
  const char* type;
  void* notifyData;
} AINotifierMessage;

/* ---- AI Context Suite ------------------------------------------------------------------- */
#define kAIAppContextSuite "AI Context Suite"
#define kAIAppContextSuiteVersion 1004

typedef struct AIAppContextSuite {
  AIErr(AIAPI* PushAppContext)(SPPluginRef plugin, AIAppContextHandle* appContext);
  AIErr(AIAPI* PopAppContext)(AIAppContextHandle appContext);
} AIAppContextSuite;

/* ---- AI Unicode String Suite ------------------------------------------------------------ */
#define kAIUnicodeStringSuite "AI Unicode String Suite"
#define kAIUnicodeStringSuiteVersion 1006
/* Character-encoding codes for NewFromCString. 0 is the platform encoding (UTF-8 here). */
#define kAIPlatformCharacterEncoding 0
#define kAIUTF8CharacterEncoding 1

typedef struct AIUnicodeStringSuite {
  /* Makes a new string from a zero-terminated C string in the given encoding. */
  AIErr(AIAPI* NewFromCString)(const char* text, int32_t encoding, AIUnicodeStringHandle* string);
  /* Copies the content of source (none: the empty string) into *target, making *target first
   * when it is none. */
  AIErr(AIAPI* Copy)(AIUnicodeStringHandle* target, AIUnicodeStringHandle source);
  AIErr(AIAPI* Dispose)(AIUnicodeStringHandle string);
} AIUnicodeStringSuite;

/* ---- AI Menu Suite ---------------------------------------------------------------------- */
#define kAIMenuSuite "AI Menu Suite"
#define kAIMenuSuiteVersion 1009
#define kAIMenuCaller "AI Menu"
#define kAIMenuGoSelector "AI Go"
#define kAIMenuUpdateSelector "AI Update"
#define kToolPalettesMenuGroup "Tool Palettes"

typedef struct AIPlatformAddMenuItemDataUS {
  const char* groupName;
  AIUnicodeStringHandle itemText; /* the handle of an ai::UnicodeString */
} AIPlatformAddMenuItemDataUS;

typedef struct AIMenuSuite {
  AIErr(AIAPI* AddMenuItem)(SPPluginRef self, const char* name,
                            const AIPlatformAddMenuItemDataUS* data, int32_t options,
                            AIMenuItemHandle* menuItem);
} AIMenuSuite;

typedef struct AIMenuMessage {
  SPMessageData d;
  AIMenuItemHandle menuItem;
} AIMenuMessage;

/* ---- AI Tool Suite ---------------------------------------------------------------------- */
#define kAIToolSuite "AI Tool Suite"
#define kAIToolSuiteVersion 1010
#define kAIToolCaller "AI Tool"
#define kAIToolEditSelector "AI Edit Options"
#define kAIToolTrackCursorSelector "AI Track Cursor"
#define kAIToolMouseDownSelector "AI Mouse Down"
#define kAIToolMouseDragSelector "AI Mouse Drag"
#define kAIToolMouseUpSelector "AI Mouse Up"
#define kAIToolSelectSelector "AI Select"
#define kAIToolDeselectSelector "AI Deselect"
#define kAIToolReselectSelector "AI Reselect"
#define kAIToolDecreaseDiameterSelector "AI Decrease Diameter"
#define kAIToolIncreaseDiameterSelector "AI Increase Diameter"

typedef struct AIAddToolData {
  const char* title;
  const char* tooltip;
  int32_t reserved;        /* not filled by the plug-in; the host ignores it */
  ADMIconRef icon;
  int16_t sameGroupAs;     /* tool placement */
  int16_t sameToolsetAs;
} AIAddToolData;

typedef struct AIToolSuite {
  AIErr(AIAPI* AddTool)(SPPluginRef self, const char* name, const AIAddToolData* data,
                        int32_t options, AIToolHandle* tool);
} AIToolSuite;

typedef struct AIToolMessage {
  SPMessageData d;
  AIToolHandle tool;
  AIRealPoint cursor; /* artwork coordinates */
} AIToolMessage;

/* ---- AI Timer Suite --------------------------------------------------------------------- */
#define kAITimerSuite "AI Timer Suite"
#define kAITimerSuiteVersion 1003
#define kAITimerCaller "AI Timer"
#define kAITimerGoSelector "AI Go"
#define kTicksPerSecond 60

typedef struct AITimerSuite {
  /* period in ticks of 1/60 s */
  AIErr(AIAPI* AddTimer)(SPPluginRef self, const char* name, int32_t period, AITimerHandle* timer);
  AIErr(AIAPI* SetTimerActive)(AITimerHandle timer, AIBoolean active);
} AITimerSuite;

typedef struct AITimerMessage {
  SPMessageData d;
  AITimerHandle timer;
} AITimerMessage;

/* ---- AI Annotator Suite (two versions of one name) -------------------------------------- */
#define kAIAnnotatorSuite "AI Annotator Suite"
#define kAIAnnotatorSuiteVersion 1004
#define kAIAnnotatorDrawerSuiteVersion 1001
#define kAIAnnotatorCaller "AI Annotation"
#define kAIAnnotatorDrawSelector "AI Draw"
#define kAIAnnotatorInvalidateSelector "AI Invalidate"

/* Version 1004: registration, active state and invalidation. */
typedef struct AIAnnotatorSuite {
  AIErr(AIAPI* AddAnnotator)(SPPluginRef self, const char* name, AIAnnotatorHandle* annotator);
  AIErr(AIAPI* SetAnnotatorActive)(AIAnnotatorHandle annotator, AIBoolean active);
  AIErr(AIAPI* GetAnnotatorActive)(AIAnnotatorHandle annotator, AIBoolean* active);
  /* Asks for a redraw of a rectangle of a view (view coordinates). */
  AIErr(AIAPI* InvalAnnotationRect)(AIDocumentViewHandle view, const AIRect* rect);
} AIAnnotatorSuite;

/* Version 1001: drawing on the drawer of an annotation message (view coordinates). */
typedef struct AIAnnotatorDrawerSuite {
  AIErr(AIAPI* SetColor)(AIAnnotatorDrawer* drawer, const AIRGBColor* color);
  AIErr(AIAPI* SetLineWidth)(AIAnnotatorDrawer* drawer, AIReal width);
  AIErr(AIAPI* DrawRect)(AIAnnotatorDrawer* drawer, const AIRect* rect, AIBoolean fill);
  AIErr(AIAPI* SetFontPreset)(AIAnnotatorDrawer* drawer, int32_t preset);
  AIErr(AIAPI* GetTextHeight)(AIAnnotatorDrawer* drawer, AIReal* height);
  AIErr(AIAPI* DrawText)(AIAnnotatorDrawer* drawer, AIUnicodeStringHandle text,
                         const AIPoint* origin);
} AIAnnotatorDrawerSuite;

typedef struct AIAnnotatorMessage {
  SPMessageData d;
  AIAnnotatorHandle annotator;
  AIDocumentViewHandle view;
  AIAnnotatorDrawer* drawer;          /* for "AI Draw" */
  AIRealRect* invalidationRect;       /* for "AI Invalidate": artwork coordinates, or none */
} AIAnnotatorMessage;

/* ---- AI Document View Suite ------------------------------------------------------------- */
#define kAIDocumentViewSuite "AI Document View Suite"
#define kAIDocumentViewSuiteVersion 1010

typedef struct AIDocumentViewSuite {
  AIErr(AIAPI* CountDocumentViews)(int32_t* count);
  /* The view's visible area in artwork coordinates. */
  AIErr(AIAPI* GetDocumentViewBounds)(AIDocumentViewHandle view, AIRealRect* bounds);
  AIErr(AIAPI* ArtworkPointToViewPoint)(AIDocumentViewHandle view, const AIRealPoint* artPoint,
                                        AIPoint* viewPoint);
  AIErr(AIAPI* ViewPointToArtworkPoint)(AIDocumentViewHandle view, const AIPoint* viewPoint,
                                        AIRealPoint* artPoint);
  /* A boolean display option of the view: whether the edges of selected art are shown. */
  AIErr(AIAPI* GetShowEdges)(AIDocumentViewHandle view, AIBoolean* show);
  AIErr(AIAPI* SetShowEdges)(AIDocumentViewHandle view, AIBoolean show);
} AIDocumentViewSuite;

/* ---- AI Art Suite ----------------------------------------------------------------------- */
#define kAIArtSuite "AI Art Suite"
#define kAIArtSuiteVersion 1014

enum { kAnyArt = -1, kUnknownArt = 0, kGroupArt = 1, kPathArt = 2, kCompoundPathArt = 3 };
enum { kArtSelected = 0x00000001 };

typedef struct AIArtSuite {
  /* True while the handle refers to art of the current document. */
  AIBoolean(AIAPI* ValidArt)(AIArtHandle art);
} AIArtSuite;

/* ---- AI Matching Art Suite -------------------------------------------------------------- */
#define kAIMatchingArtSuite "AI Matching Art Suite"
#define kAIMatchingArtSuiteVersion 1005

typedef struct AIMatchingArtSpec {
  int16_t type;
  int32_t whichAttr;
  int32_t attr;
} AIMatchingArtSpec;

typedef struct AIMatchingArtSuite {
  /* *matches is host memory (AI MdMemory Suite): release it with MdMemoryDisposeHandle.
   * With no match, *matches is none and *numMatches 0. */
  AIErr(AIAPI* GetMatchingArt)(AIMatchingArtSpec* specs, int16_t numSpecs, AIArtHandle*** matches,
                               int32_t* numMatches);
} AIMatchingArtSuite;

/* ---- AI MdMemory Suite ------------------------------------------------------------------ */
#define kAIMdMemorySuite "AI MdMemory Suite"
#define kAIMdMemorySuiteVersion 1001

typedef struct AIMdMemorySuite {
  AIErr(AIAPI* MdMemoryDisposeHandle)(AIMdMemoryHandle handle);
} AIMdMemorySuite;

/* ---- AI Path Suite ---------------------------------------------------------------------- */
#define kAIPathSuite "AI Path Suite"
#define kAIPathSuiteVersion 1008

typedef struct AIPathSuite {
  AIErr(AIAPI* GetPathSegmentCount)(AIArtHandle path, int16_t* count);
  /* Sets the number of segments; new segments are zero until written. */
  AIErr(AIAPI* SetPathSegmentCount)(AIArtHandle path, int16_t count);
  AIErr(AIAPI* GetPathSegments)(AIArtHandle path, int16_t segNumber, int16_t count,
                                AIPathSegment* segments);
  /* Replaces count segments from segNumber on; a segNumber equal to the current count appends. */
  AIErr(AIAPI* SetPathSegments)(AIArtHandle path, int16_t segNumber, int16_t count,
                                const AIPathSegment* segments);
  AIErr(AIAPI* GetPathClosed)(AIArtHandle path, AIBoolean* closed);
} AIPathSuite;

/* ---- AI PathConstruction Suite ---------------------------------------------------------- */
#define kAIPathConstructionSuite "AI PathConstruction Suite"
#define kAIPathConstructionSuiteVersion 1002

typedef struct AIPathConstPoint {
  AIRealPoint point;
  AIBoolean corner;
} AIPathConstPoint;

/* The caller's memory callbacks: the point array is allocated with allocate and the caller
 * frees it with dispose. */
typedef struct AIPathConstructionMemoryObject {
  void* (*allocate)(int32_t size);
  void (*dispose)(void* pointer);
} AIPathConstructionMemoryObject;

typedef struct AIPathConstructionSuite {
  /* Points along the run of segments at the sampling distance, the first on the first anchor and
   * the last on the last anchor, each with the corner flag of the anchor it stands on.
   * tolerance: how far the measured length of a curve may differ from its true length. */
  AIErr(AIAPI* CurvesToPoints)(int32_t segmentCount, const AIPathSegment* segments,
                               int32_t* pointCount, AIPathConstPoint** points, AIReal sampling,
                               AIReal tolerance, AIPathConstructionMemoryObject* memory);
} AIPathConstructionSuite;

/* ---- Suites acquired and never called: minimal tables ----------------------------------- */
#define kAIFilterSuite "AI Filter Suite"
#define kAIFilterSuiteVersion 1002
typedef struct AIFilterSuite { void* reserved; } AIFilterSuite;

#define kAIRealMathSuite "AI Real Math Suite"
#define kAIRealMathSuiteVersion 1001
typedef struct AIRealMathSuite { void* reserved; } AIRealMathSuite;

#define kAIRandomSuite "AI Random Suite"
#define kAIRandomSuiteVersion 1003
typedef struct AIRandomSuite { void* reserved; } AIRandomSuite;

/* ---- AI Preference Suite ---------------------------------------------------------------- */
#define kAIPreferenceSuite "AI Preference Suite"
#define kAIPreferenceSuiteVersion 1004

/* A Get leaves the value as it was when nothing is stored under prefix and suffix. */
typedef struct AIPreferenceSuite {
  AIErr(AIAPI* GetIntegerPreference)(const char* prefix, const char* suffix, int32_t* value);
  AIErr(AIAPI* PutIntegerPreference)(const char* prefix, const char* suffix, int32_t value);
  AIErr(AIAPI* GetBooleanPreference)(const char* prefix, const char* suffix, AIBoolean* value);
  AIErr(AIAPI* PutBooleanPreference)(const char* prefix, const char* suffix, AIBoolean value);
  /* Copies at most bufferSize - 1 characters and terminates the buffer. */
  AIErr(AIAPI* GetStringPreference)(const char* prefix, const char* suffix, char* buffer,
                                    int32_t bufferSize);
  AIErr(AIAPI* PutStringPreference)(const char* prefix, const char* suffix, const char* value);
  AIErr(AIAPI* GetPointPreference)(const char* prefix, const char* suffix, AIPoint* value);
  AIErr(AIAPI* PutPointPreference)(const char* prefix, const char* suffix, const AIPoint* value);
} AIPreferenceSuite;

/* ---- AI URL Suite ----------------------------------------------------------------------- */
#define kAIURLSuite "AI URL Suite"
#define kAIURLSuiteVersion 1001

typedef struct AIURLSuite {
  AIErr(AIAPI* OpenURL)(const char* url);
} AIURLSuite;

/* ---- Message records of the dispatch table that the plug-in does not read beyond the header */
typedef struct DoActionMessage { SPMessageData d; } DoActionMessage;
typedef struct AIFilterMessage { SPMessageData d; } AIFilterMessage;
typedef struct AIPluginGroupMessage { SPMessageData d; } AIPluginGroupMessage;
typedef struct AIFileFormatMessage { SPMessageData d; } AIFileFormatMessage;
typedef struct AIUpdateFileFormatMessage { SPMessageData d; } AIUpdateFileFormatMessage;
typedef struct AILiveEffectEditParamMessage { SPMessageData d; } AILiveEffectEditParamMessage;
typedef struct AILiveEffectGoMessage { SPMessageData d; } AILiveEffectGoMessage;
typedef struct AILiveEffectInterpParamMessage { SPMessageData d; } AILiveEffectInterpParamMessage;
typedef struct AILiveEffectInputTypeMessage { SPMessageData d; } AILiveEffectInputTypeMessage;
typedef struct AILiveEffectConvertColorMessage { SPMessageData d; } AILiveEffectConvertColorMessage;
typedef struct AILiveEffectScaleParamMessage { SPMessageData d; } AILiveEffectScaleParamMessage;
typedef struct AILiveEffectAdjustColorsMessage { SPMessageData d; } AILiveEffectAdjustColorsMessage;
typedef struct AILiveEffectHandleMergeMessage { SPMessageData d; } AILiveEffectHandleMergeMessage;
typedef struct AIClipboardMessage { SPMessageData d; } AIClipboardMessage;
typedef struct AIWorkspaceMessage { SPMessageData d; } AIWorkspaceMessage;

#ifdef __cplusplus
}
#endif

#endif
