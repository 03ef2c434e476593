// The menu tests' installation: a whole staged game folder.
#pragma once

// The working folder as a game folder: the build's generated data and the source tree's
// scripts, as the build stages them.
bool menu_fixture_stage();
