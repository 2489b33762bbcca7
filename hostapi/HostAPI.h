/* The whole host interface. */
#ifndef SARVELLO_HOSTAPI_HOSTAPI_H
#define SARVELLO_HOSTAPI_HOSTAPI_H
#include "ASTypes.h"
#include "SPSuites.h"
#include "AISuites.h"
#include "ADMSuites.h"
#endif
