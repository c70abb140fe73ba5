#pragma once

// The host SDK that plug-ins build against.
#include "host/Analysis.h"
#include "host/CIM.h"
#include "host/CIMValue.h"
#include "host/Plugin.h"
#include "host/RootObject.h"
#include "host/ZARNException.h"
