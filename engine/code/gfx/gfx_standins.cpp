// Weak stand-ins for graphics modules the root sets up that are not built yet. Each real
// (strong) definition replaces its stand-in at link time; delete the stand-in with it.
// Every graphics module is built now, so none is left.
