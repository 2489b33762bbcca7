/* The application's suites that the plug-in uses, each known by name and version, and the
 * message records of the notifier, menu, tool, timer and annotation messages.
 *
 * Every suite function is called by the plug-in on the host's user-interface thread only. Every
 * function that answers a code may also answer kOutOfMemoryErr or
 * kCantHappenErr for a failure inside the host; HostAPI.h gives the rules that all follow. */
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
  /* Registers a notifier for notifications of type (a k...Notifier string); each arrives as
   * "AI Notifier"/"AI Notify" carrying *notifier. name and type are copied; the registration
   * lasts until the plug-in is shut down (there is no removal). kBadParameterErr for a plug-in
   * the host does not know or a none argument. */
  AIErr(AIAPI* AddNotifier)(SPPluginRef self, const char* name, const char* type,
                            AINotifierHandle* notifier);
} AINotifierSuite;

typedef struct AINotifierMessage {
  SPMessageData d;
  AINotifierHandle notifier;
  const char* type;                   /* the notifier's type; valid during the message */
  void* notifyData;
} AINotifierMessage;

/* ---- AI Context Suite ------------------------------------------------------------------- */
#define kAIAppContextSuite "AI Context Suite"
#define kAIAppContextSuiteVersion 1004

typedef struct AIAppContextSuite {
  /* Enters the plug-in's application context; *appContext is the token for PopAppContext, to be
   * popped once before the plug-in returns to the host. kBadParameterErr when appContext is
   * none. */
  AIErr(AIAPI* PushAppContext)(SPPluginRef plugin, AIAppContextHandle* appContext);
  /* Leaves the context of a token of PushAppContext. kBadParameterErr for none, or a token that
   * is unknown or already popped. */
  AIErr(AIAPI* PopAppContext)(AIAppContextHandle appContext);
} AIAppContextSuite;

/* ---- AI Unicode String Suite ------------------------------------------------------------ */
#define kAIUnicodeStringSuite "AI Unicode String Suite"
#define kAIUnicodeStringSuiteVersion 1006
/* Character-encoding codes for NewFromCString. 0 is the platform encoding (UTF-8 here). */
#define kAIPlatformCharacterEncoding 0
#define kAIUTF8CharacterEncoding 1

typedef struct AIUnicodeStringSuite {
  /* Makes a new string from a zero-terminated C string in the given encoding (one of the two
   * above); *string is the plug-in's until Dispose. kBadParameterErr for a none text or string
   * or another encoding; *string is none then (when given). */
  AIErr(AIAPI* NewFromCString)(const char* text, int32_t encoding, AIUnicodeStringHandle* string);
  /* Copies the content of source (none: the empty string) into *target, making *target first
   * when it is none (the caller's to Dispose). kBadParameterErr when target is none or source or
   * *target is not a live string; *target is unchanged then. */
  AIErr(AIAPI* Copy)(AIUnicodeStringHandle* target, AIUnicodeStringHandle source);
  /* Ends a string of NewFromCString or Copy; none is accepted and ignored. kBadParameterErr for a
   * string that is unknown or already disposed. */
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
  /* Adds the item name under data->groupName showing data->itemText (none: no text); all texts
   * are copied, so the string may be disposed afterwards. *menuItem is the handle that "AI Menu"
   * messages carry; the item is never removed. kBadParameterErr for a none name, data, group or
   * menuItem, or an itemText that is not a live string. */
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
  /* Adds the tool name; title and tooltip (none: empty) are copied, icon is none or one of
   * ADM Icon's GetFromResource. *tool is the handle that "AI Tool" messages carry; the tool is
   * never removed. kBadParameterErr for a none name, data, title or tool, or an icon the host
   * did not make. */
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
  /* Registers a timer that, while active, sends "AI Timer"/"AI Go" carrying *timer every period
   * ticks of 1/60 s. A new timer is active; it is never removed. kBadParameterErr for a none name
   * or timer or a period below 1. */
  AIErr(AIAPI* AddTimer)(SPPluginRef self, const char* name, int32_t period, AITimerHandle* timer);
  /* Starts (nonzero) or stops the timer's messages; once started, the first comes a period
   * later. kNoSuchObjectErr for a handle that is not one of AddTimer. */
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
  /* Registers an annotator: while active, each redraw of the view sends it "AI Annotation"/
   * "AI Draw" and each scroll or zoom "AI Invalidate", carrying *annotator. A new annotator is
   * active; it is never removed. kBadParameterErr for a none name or annotator. */
  AIErr(AIAPI* AddAnnotator)(SPPluginRef self, const char* name, AIAnnotatorHandle* annotator);
  /* Switches the annotator's messages on (nonzero) or off. kNoSuchObjectErr for a handle that is
   * not one of AddAnnotator. */
  AIErr(AIAPI* SetAnnotatorActive)(AIAnnotatorHandle annotator, AIBoolean active);
  /* *active: 1 while active, else 0. kBadParameterErr when active is none; kNoSuchObjectErr for
   * a handle that is not one of AddAnnotator. */
  AIErr(AIAPI* GetAnnotatorActive)(AIAnnotatorHandle annotator, AIBoolean* active);
  /* Asks for a redraw of a rectangle of a view (view coordinates; view none: the current view),
   * clipped to the window (an empty result is no error) and done later with "AI Draw", not inside
   * this call. kBadParameterErr for a none rect, kNoDocumentErr with no view open,
   * kNoSuchObjectErr for a view handle the host did not hand out. */
  AIErr(AIAPI* InvalAnnotationRect)(AIDocumentViewHandle view, const AIRect* rect);
} AIAnnotatorSuite;

/* Version 1001: drawing on the drawer of an "AI Draw" message (view coordinates). The drawer is
 * valid during that message only and starts in black, line width 1, font preset 1. Every
 * function answers kBadParameterErr for a none drawer. */
typedef struct AIAnnotatorDrawerSuite {
  /* Colour of the lines, rectangles and text drawn next. kBadParameterErr for a none color. */
  AIErr(AIAPI* SetColor)(AIAnnotatorDrawer* drawer, const AIRGBColor* color);
  /* Line width in pixels, 0 to 1000. kBadParameterErr for any other value (NaN included). */
  AIErr(AIAPI* SetLineWidth)(AIAnnotatorDrawer* drawer, AIReal width);
  /* Outlines rect, or fills it when fill is nonzero. kBadParameterErr for a none rect. */
  AIErr(AIAPI* DrawRect)(AIAnnotatorDrawer* drawer, const AIRect* rect, AIBoolean fill);
  /* Font of the text drawn next: 0 small, 1 normal, 2 large; any other value is accepted and
   * draws as 1. */
  AIErr(AIAPI* SetFontPreset)(AIAnnotatorDrawer* drawer, int32_t preset);
  /* *height: the height in pixels of a line of text in the current font. kBadParameterErr when
   * height is none. */
  AIErr(AIAPI* GetTextHeight)(AIAnnotatorDrawer* drawer, AIReal* height);
  /* Draws text (copied; none: the empty string) with the top-left corner of its line at origin.
   * kBadParameterErr for a none origin or a text that is not a live string. */
  AIErr(AIAPI* DrawText)(AIAnnotatorDrawer* drawer, AIUnicodeStringHandle text,
                         const AIPoint* origin);
} AIAnnotatorDrawerSuite;

typedef struct AIAnnotatorMessage {
  SPMessageData d;
  AIAnnotatorHandle annotator;
  AIDocumentViewHandle view;
  AIAnnotatorDrawer* drawer;          /* for "AI Draw": valid during the message; else none */
  AIRealRect* invalidationRect;       /* for "AI Invalidate": artwork coordinates, or none */
} AIAnnotatorMessage;

/* ---- AI Document View Suite ------------------------------------------------------------- */
#define kAIDocumentViewSuite "AI Document View Suite"
#define kAIDocumentViewSuiteVersion 1010

/* view: none or the handle an annotation message carried, both the current view. "View errors"
 * below: kBadParameterErr for any other view handle, kNoDocumentErr when no view is open,
 * kCantHappenErr when the view's mapping is unusable. */
typedef struct AIDocumentViewSuite {
  /* *count: the number of open document views; 0 means no document. kBadParameterErr when count
   * is none. */
  AIErr(AIAPI* CountDocumentViews)(int32_t* count);
  /* The view's visible area in artwork coordinates (top above bottom). View errors;
   * kBadParameterErr when bounds is none. */
  AIErr(AIAPI* GetDocumentViewBounds)(AIDocumentViewHandle view, AIRealRect* bounds);
  /* *viewPoint: the pixel nearest to artPoint, held to the range of the view coordinate type.
   * View errors; kBadParameterErr for a none point or a non-finite artPoint. */
  AIErr(AIAPI* ArtworkPointToViewPoint)(AIDocumentViewHandle view, const AIRealPoint* artPoint,
                                        AIPoint* viewPoint);
  /* *artPoint: the artwork point at viewPoint. View errors; kBadParameterErr for a none point. */
  AIErr(AIAPI* ViewPointToArtworkPoint)(AIDocumentViewHandle view, const AIPoint* viewPoint,
                                        AIRealPoint* artPoint);
  /* A boolean display option of the view: whether the edges of selected art are shown; *show is
   * 1 or 0. View errors; kBadParameterErr when show is none. */
  AIErr(AIAPI* GetShowEdges)(AIDocumentViewHandle view, AIBoolean* show);
  /* Shows (nonzero) or hides the edges of selected art. View errors. */
  AIErr(AIAPI* SetShowEdges)(AIDocumentViewHandle view, AIBoolean show);
} AIDocumentViewSuite;

/* ---- AI Art Suite ----------------------------------------------------------------------- */
#define kAIArtSuite "AI Art Suite"
#define kAIArtSuiteVersion 1014

enum { kAnyArt = -1, kUnknownArt = 0, kGroupArt = 1, kPathArt = 2, kCompoundPathArt = 3 };
enum { kArtSelected = 0x00000001 };

typedef struct AIArtSuite {
  /* True (1) while the handle refers to art of the current document; 0 for none, deleted art or
   * any other value, and when the host cannot answer. Art handles are never reused. */
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
  /* The art matching any of the specs (its type, or kAnyArt; attr & whichAttr equal to the art's
   * attributes & whichAttr), in document order: (**matches)[0 .. *numMatches - 1]; a path of a
   * selected compound path counts as selected. *matches is host memory: release it with
   * MdMemoryDisposeHandle. No match, or a failure: *matches none, *numMatches 0. kBadParameterErr
   * for a none output or specs, or numSpecs below 1. */
  AIErr(AIAPI* GetMatchingArt)(AIMatchingArtSpec* specs, int16_t numSpecs, AIArtHandle*** matches,
                               int32_t* numMatches);
} AIMatchingArtSuite;

/* ---- AI MdMemory Suite ------------------------------------------------------------------ */
#define kAIMdMemorySuite "AI MdMemory Suite"
#define kAIMdMemorySuiteVersion 1001

typedef struct AIMdMemorySuite {
  /* Releases host memory handed out as a handle (a matching-art array); none is accepted and
   * ignored. kBadParameterErr for a handle the host did not hand out or has taken back. */
  AIErr(AIAPI* MdMemoryDisposeHandle)(AIMdMemoryHandle handle);
} AIMdMemorySuite;

/* ---- AI Path Suite ---------------------------------------------------------------------- */
#define kAIPathSuite "AI Path Suite"
#define kAIPathSuiteVersion 1008

/* "Art errors" below: kBadParameterErr for a none path, kDeadArtErr for a handle that no longer
 * refers to art, kNotAPathErr for art that is not a path. A path holds at most 32767 segments.
 * A failing call changes nothing. */
typedef struct AIPathSuite {
  /* *count: the number of segments. Art errors; kBadParameterErr when count is none. */
  AIErr(AIAPI* GetPathSegmentCount)(AIArtHandle path, int16_t* count);
  /* Sets the number of segments: those beyond are dropped, new ones are zero until written.
   * Art errors; kBadParameterErr for a negative count. */
  AIErr(AIAPI* SetPathSegmentCount)(AIArtHandle path, int16_t count);
  /* Copies count segments from segNumber on into segments. Art errors; kBadParameterErr for a
   * negative segNumber or count, a run past the last segment, or none segments with count > 0. */
  AIErr(AIAPI* GetPathSegments)(AIArtHandle path, int16_t segNumber, int16_t count,
                                AIPathSegment* segments);
  /* Replaces count segments from segNumber on; a run past the end extends the path, so a
   * segNumber equal to the current count appends. Art errors; kBadParameterErr for a negative
   * segNumber or count, one above the count, a run past 32767, or none segments with count > 0. */
  AIErr(AIAPI* SetPathSegments)(AIArtHandle path, int16_t segNumber, int16_t count,
                                const AIPathSegment* segments);
  /* *closed: 1 for a closed path, else 0. Art errors; kBadParameterErr when closed is none. */
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
  /* Called by the host inside CurvesToPoints, at most once, for size bytes; none refuses. */
  void* (*allocate)(int32_t size);
  /* The caller's release of a block of allocate; the host never calls it. */
  void (*dispose)(void* pointer);
} AIPathConstructionMemoryObject;

typedef struct AIPathConstructionSuite {
  /* Points at most sampling apart along the run of segments, the first on the first anchor, the
   * last on the last; points on anchors keep their corner flag, others have 0; a curve of length
   * 0 adds none. tolerance: the allowed error of a curve's measured length. *points (*pointCount
   * of them) is one block of memory->allocate, the caller's to free with memory->dispose; none
   * with no segments or after a failure. kBadParameterErr for a none output or allocate, a
   * negative count, none or non-finite segments, sampling <= 0, tolerance < 0, or more than
   * 10 000 000 points; kOutOfMemoryErr when allocate answers none. */
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

/* One value of one type under each prefix and suffix (a section and a key, both copied), kept
 * between runs. A Get leaves the value as it was when nothing of its type is stored there; a Put
 * replaces whatever was. Every function answers kBadParameterErr for a none prefix or suffix. */
typedef struct AIPreferenceSuite {
  /* *value: the integer stored. kBadParameterErr when value is none. */
  AIErr(AIAPI* GetIntegerPreference)(const char* prefix, const char* suffix, int32_t* value);
  /* Stores an integer. */
  AIErr(AIAPI* PutIntegerPreference)(const char* prefix, const char* suffix, int32_t value);
  /* *value: the boolean stored, 1 or 0. kBadParameterErr when value is none. */
  AIErr(AIAPI* GetBooleanPreference)(const char* prefix, const char* suffix, AIBoolean* value);
  /* Stores a boolean (nonzero: 1). */
  AIErr(AIAPI* PutBooleanPreference)(const char* prefix, const char* suffix, AIBoolean value);
  /* Copies at most bufferSize - 1 characters of the string stored and terminates the buffer (a
   * longer string is cut). kBadParameterErr for a none buffer or a bufferSize below 1. */
  AIErr(AIAPI* GetStringPreference)(const char* prefix, const char* suffix, char* buffer,
                                    int32_t bufferSize);
  /* Stores a copy of a string. kBadParameterErr when value is none. */
  AIErr(AIAPI* PutStringPreference)(const char* prefix, const char* suffix, const char* value);
  /* *value: the point stored. kBadParameterErr when value is none. */
  AIErr(AIAPI* GetPointPreference)(const char* prefix, const char* suffix, AIPoint* value);
  /* Stores a point. kBadParameterErr when value is none. */
  AIErr(AIAPI* PutPointPreference)(const char* prefix, const char* suffix, const AIPoint* value);
} AIPreferenceSuite;

/* ---- AI URL Suite ----------------------------------------------------------------------- */
#define kAIURLSuite "AI URL Suite"
#define kAIURLSuiteVersion 1001

typedef struct AIURLSuite {
  /* Hands url to the system's browser (http:// and https:// only; otherwise, or without a
   * browser, the host prints it) and answers 0 whether a browser opened or not.
   * kBadParameterErr for a none or empty url. */
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
