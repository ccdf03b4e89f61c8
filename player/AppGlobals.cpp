// The state record lives apart from start-up so that a module (or a test) that reads it does not pull
// in the whole start-up and its imports.
#include "AppGlobals.h"

AppGlobalsRecord AppGlobals;
