// Temporary stand-in for the state record that start-up defines, until that module lands; linked only into
// the settings test.
#include "AppGlobals.h"

AppGlobalsRecord AppGlobals;  // temporary stand-in
