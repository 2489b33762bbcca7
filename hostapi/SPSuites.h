/* The host's basic services: the message record header, SP Basic (suites and memory),
 * SP Blocks (memory with a debug tag), SP Access (references that keep a plug-in loaded) and
 * SP Plug-ins (the plug-in's name), and the interface messages of the plug-in's life. */
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
  SPErr(SPAPI* AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr(SPAPI* ReleaseSuite)(const char* name, int32_t version);
  SPErr(SPAPI* AllocateBlock)(size_t size, void** block);
  SPErr(SPAPI* FreeBlock)(void* block);
} SPBasicSuite;

/* SP Blocks Suite. */
#define kSPBlocksSuite "SP Blocks Suite"
#define kSPBlocksSuiteVersion 2

typedef struct SPBlocksSuite {
  SPErr(SPAPI* AllocateBlock)(size_t size, const char* debug, void** block);
  SPErr(SPAPI* FreeBlock)(void* block);
} SPBlocksSuite;

/* SP Access Suite: an access reference to a plug-in keeps its code loaded. */
#define kSPAccessSuite "SP Access Suite"
#define kSPAccessSuiteVersion 3

typedef struct SPAccessSuite {
  SPErr(SPAPI* AcquirePlugin)(SPPluginRef plugin, SPAccessRef* access);
  SPErr(SPAPI* ReleasePlugin)(SPAccessRef access);
} SPAccessSuite;

/* SP Plug-ins Suite. */
#define kSPPluginsSuite "SP Plug-ins Suite"
#define kSPPluginsSuiteVersion 4

typedef struct SPPluginsSuite {
  SPErr(SPAPI* SetPluginName)(SPPluginRef plugin, const char* name);
  SPErr(SPAPI* GetPluginName)(SPPluginRef plugin, const char** name);
} SPPluginsSuite;

/* The exported entry point of every plug-in. */
typedef SPErr (*SPPluginMainProc)(const char* caller, const char* selector, void* message);

#ifdef __cplusplus
}
#endif

#endif
