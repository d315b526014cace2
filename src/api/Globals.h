// The process-wide objects, exported as data symbols.
#pragma once

#include "yoxa/yoxa.h"

class IImageReception;
class CImageReception;
class YoxaDll;
class QvTarnHandler;

extern "C" {
// The reception object every exported call dispatches to.
YOXA_EXPORT extern IImageReception* g_ImageReception;
// The CImageReception being built or alive, for callbacks that carry no context (link lost, self test).
YOXA_EXPORT extern CImageReception* gYoxaImageReception;
// The transport loader; lives until the process ends.
YOXA_EXPORT extern YoxaDll* gYoxaApiDll;
// The QvTarn family handler; lives until the process ends.
YOXA_EXPORT extern QvTarnHandler* gQvTarnCamera;
}
