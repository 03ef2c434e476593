// Weak stand-ins for subsystem entry points that are not built yet. A module's real
// (strong) definition replaces its stand-in at link time; delete the stand-in with it.

#define STANDIN __attribute__((weak))

#include "app/code/opt.h"
STANDIN opts OPT;
