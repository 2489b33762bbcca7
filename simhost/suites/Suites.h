// The stand-in host's suites: the C function tables the plug-in acquires through SP Basic, one
// file per group, mirroring the declarations in hostapi/. Every function finds its host through
// Host::current(), answers an injected fault first (core/Faults.h) and keeps every C++ exception
// on the host's side; the state they work on belongs to the host's models (core/, tool/, adm/,
// loader/).
#ifndef SARVELLO_SIMHOST_SUITES_SUITES_H
#define SARVELLO_SIMHOST_SUITES_SUITES_H

#include "core/Host.h"

namespace simhost {

// Registers every suite table with the host. The host's constructor calls it, once.
void installSuites(Host& host);

// The groups, each in its own file.
void registerSPSuites(Host& host);            // SP Basic, SP Blocks, SP Access, SP Plug-ins
void registerAIArtSuites(Host& host);         // AI Art, AI Path, AI Matching Art, AI MdMemory
void registerAIPathConstructionSuite(Host& host);
void registerAIDocumentViewSuite(Host& host);
void registerAIServiceSuites(Host& host);     // AI Notifier, Context, Unicode String, Preference,
                                              // URL; AI Filter, Real Math, Random
void registerAIToolSuites(Host& host);        // AI Menu, Tool, Timer, Annotator and its drawer
void registerADMBasicSuites(Host& host);      // ADM Basic, ADM Icon, ADM Tracker
void registerADMDialogSuites(Host& host);     // ADM Dialog, Item, List, Entry, Notifier, Group

}  // namespace simhost

#endif
