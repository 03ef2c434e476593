// Avatar data for tests that set up the whole graphics root: its avatar manager loads 33
// shared animations and fails without any one of them.
#pragma once

// Writes data/avatar/xsx/<name>.xsx for every shared animation (the rest skeleton) and an
// empty local/avatar/xox_links.lua under the working folder; false when a file cannot be
// written.
bool harness_write_avatar_files();
