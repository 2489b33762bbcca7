/* The whole host interface: the one header the plug-in and the host include.
 *
 * Prefixes
 *   AS    shared basic types and codes of both sides (ASErr, ASBoolean, ASRealRect; ASTypes.h).
 *   SP    the plug-in services layer: the message header, SP Basic (suites and memory), SP Blocks,
 *         SP Access, SP Plug-ins and the messages of the plug-in's life (SPSuites.h).
 *   AI    the application's suites (document view, art, paths, tool, timer, annotator, ...) and
 *         the records of its messages (AISuites.h).
 *   ADM   the dialog manager: strings, alerts, icons, dialogs, items, lists, entries, notifiers,
 *         dock groups (ADMSuites.h).
 *   k     constants: suite names and versions (kAIPathSuite, kAIPathSuiteVersion), callers and
 *         selectors (kAIToolCaller, kAIToolMouseDownSelector), error codes (kBadParameterErr).
 *   s     in the plug-in, the global pointer to an acquired suite (sAIPath, sADMDialog).
 *   f     in the plug-in's frame classes, a member field (fSelfRef, fTimerHandle).
 *   ...Ref, ...Handle  opaque host objects: the host makes them, the plug-in only passes them
 *         back. One the host does not know (any more) is refused or ignored, as each function
 *         says.
 *
 * Rules of every function, unless its comment says otherwise
 *   Result: 0 (kNoErr) for success, otherwise an error code, mostly four characters packed into
 *     32 bits (ASTypes.h). The codes a comment names are those the host answers itself; treat any
 *     other non-zero answer as a failure too. Functions that answer a reference, a number, a
 *     boolean or nothing cannot report a failure; their comments say what they answer instead.
 *   Outputs: written only on success. Where a comment says what a failure leaves in an output,
 *     that holds for the codes it names; any other failure leaves the output untouched.
 *   Suites: acquired by name and version through SP Basic's AcquireSuite, valid until the
 *     matching ReleaseSuite; each acquisition is released once, by name and version.
 *   Memory: what the host hands out stays the host's and goes back only through the call its
 *     comment names (FreeBlock of the suite that gave the block, MdMemoryDisposeHandle, Dispose);
 *     FreeBlock, MdMemoryDisposeHandle and Dispose accept none. Texts and records the plug-in
 *     passes in are copied before the call returns; user data pointers are kept, never read.
 *   Threads: the host calls the plug-in, and the plug-in calls every suite function, on the
 *     host's user-interface thread only, one call at a time; nothing here is thread-safe.
 *   Callbacks: a message record, notifier, drawer or tracker handed to the plug-in is valid
 *     during that call only.
 *   "none" in these comments is a null pointer or handle. */
#ifndef SARVELLO_HOSTAPI_HOSTAPI_H
#define SARVELLO_HOSTAPI_HOSTAPI_H
#include "ASTypes.h"
#include "SPSuites.h"
#include "AISuites.h"
#include "ADMSuites.h"
#endif
