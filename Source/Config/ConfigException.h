// ConfigException.h - the configuration reader's exception and its codes.
//
// Portable: no platform headers. The class and its catalogue live with the other exceptions of the
// library; this header is the reader's name for them.
#pragma once

#include "Foundation/Exception.h"
