/* The host's basic services: the message record header, SP Basic (suites and memory),
 * SP Blocks (memory with a debug tag), SP Access (references that keep a plug-in loaded) and
 * SP Plug-ins (the plug-in's name), and the interface messages of the plug-in's life.
 *
 * Every function here is called by the plug-in on the host's user-interface thread only, and may
 * also answer kOutOfMemoryErr or kCantHappenErr for a failure inside the host; HostAPI.h gives
 * the rules that every function follows. */
#ifndef SARVELLO_HOSTAPI_SPSUITES_H
#define SARVELLO_HOSTAPI_SPSUITES_H

#include "ASTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

struct SPBasicSuite;

/* Every message record begins with this header. */
typedef struct SPMessageData {
  int32_t SPCheck;                 /* check value; the plug-in does not read it */
  struct SPPlugin* self;           /* the host's reference to this plug-in */
  void* globals;                   /* one pointer the host keeps for the plug-in between calls */
  struct SPBasicSuite* basic;      /* the SP Basic Suite */
} SPMessageData;

#define kSPValidSPMessageData AS_FOURCC('S', 'P', 'C', 'K')

/* Callers and selectors of the plug-in's life. */
#define kSPInterfaceCaller "SP Interface"
#define kSPInterfaceStartupSelector "Startup"
#define kSPInterfaceShutdownSelector "Shutdown"
#define kSPInterfaceAboutSelector "About"
#define kSPAccessCaller "SP Access"
#define kSPAccessUnloadSelector "Unload"
#define kSPAccessReloadSelector "Reload"
#define kSPCacheCaller "SP Cache"
#define kSPPluginPurgeCachesSelector "Plug-in Purge"
#define kSPPropertiesCaller "SP Properties"
#define kSPPropertiesAcquireSelector "Acquire"
#define kSPPropertiesReleaseSelector "Release"

typedef struct SPInterfaceMessage {
  SPMessageData d;
} SPInterfaceMessage;

typedef SPInterfaceMessage SPAccessMessage;

typedef struct SPPropertiesMessage {
  SPMessageData d;
  int32_t vendorID;
  int32_t propertyKey;
  int32_t propertyID;
  void* property;      /* out: the property's data */
  int32_t refCon;
  int32_t cacheable;
} SPPropertiesMessage;

/* SP Basic Suite. */
#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

typedef struct SPBasicSuite {
  /* The table served under name and version into *suite, valid until the matching ReleaseSuite;
   * release every success once. kSuiteVersionErr when the name is served at other versions only,
   * kSuiteNotFoundErr when it is not served at all (*suite is none after both);
   * kBadParameterErr for a none name or suite. */
  SPErr(SPAPI* AcquireSuite)(const char* name, int32_t version, const void** suite);
  /* Gives back one acquisition of name and version. kBadParameterErr for a none name, or a suite
   * not acquired or already released as often as acquired; nothing changes then. */
  SPErr(SPAPI* ReleaseSuite)(const char* name, int32_t version);
  /* A block of at least size bytes (0 too) into *block, the plug-in's until FreeBlock of this
   * suite. kOutOfMemoryErr when refused (*block none); kBadParameterErr when block is none. */
  SPErr(SPAPI* AllocateBlock)(size_t size, void** block);
  /* Frees a block of this suite's AllocateBlock; none is accepted and ignored. Any other block
   * (one of SP Blocks included, or one already freed) answers kBadParameterErr, left alone. */
  SPErr(SPAPI* FreeBlock)(void* block);
} SPBasicSuite;

/* SP Blocks Suite. */
#define kSPBlocksSuite "SP Blocks Suite"
#define kSPBlocksSuiteVersion 2

typedef struct SPBlocksSuite {
  /* As SP Basic's AllocateBlock, the block freed with this suite's FreeBlock. debug (copied;
   * none: no tag) names the block in the host's accounting of blocks not yet freed. */
  SPErr(SPAPI* AllocateBlock)(size_t size, const char* debug, void** block);
  /* Frees a block of this suite's AllocateBlock; none is accepted and ignored. Any other block
   * (one of SP Basic included, or one already freed) answers kBadParameterErr, left alone. */
  SPErr(SPAPI* FreeBlock)(void* block);
} SPBlocksSuite;

/* SP Access Suite: an access reference to a plug-in keeps its code loaded. */
#define kSPAccessSuite "SP Access Suite"
#define kSPAccessSuiteVersion 3

typedef struct SPAccessSuite {
  /* A new access reference to plugin into *access; while any is held, a purge does not unload
   * the plug-in's code. Drop it with ReleasePlugin. kBadParameterErr for a plug-in the host does
   * not know or a none access. */
  SPErr(SPAPI* AcquirePlugin)(SPPluginRef plugin, SPAccessRef* access);
  /* Drops a reference of AcquirePlugin. kBadParameterErr for none, or a reference that is unknown
   * or already released. */
  SPErr(SPAPI* ReleasePlugin)(SPAccessRef access);
} SPAccessSuite;

/* SP Plug-ins Suite. */
#define kSPPluginsSuite "SP Plug-ins Suite"
#define kSPPluginsSuiteVersion 4

typedef struct SPPluginsSuite {
  /* Sets the plug-in's name (copied). kBadParameterErr for a plug-in the host does not know or a
   * none name. */
  SPErr(SPAPI* SetPluginName)(SPPluginRef plugin, const char* name);
  /* *name: the name last set (at first the property list's), cut to 255 characters; the host's
   * text, valid until the next GetPluginName for that plug-in. kBadParameterErr for a plug-in
   * the host does not know or a none name; *name is untouched then. */
  SPErr(SPAPI* GetPluginName)(SPPluginRef plugin, const char** name);
} SPPluginsSuite;

/* The exported entry point of every plug-in, found by the name in its property list. The host
 * calls it on its user-interface thread, one message at a time, with a caller and a selector
 * (the k...Caller and k...Selector strings) and a record that begins with SPMessageData; record
 * and strings are valid during the call only, and the host keeps for the next call whatever the
 * plug-in leaves in the globals slot. Answers 0 or an error code, which the host receives as is. */
typedef SPErr (*SPPluginMainProc)(const char* caller, const char* selector, void* message);

#ifdef __cplusplus
}
#endif

#endif
