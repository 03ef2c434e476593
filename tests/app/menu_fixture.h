// Installation pieces the menu tests need: the logo mesh and a whole staged game folder.
#pragma once

// data/logos/xox/qem.xox: one quad.
bool menu_fixture_write_logo();
// The working folder as a game folder: the build's generated data and the source tree's
// scripts, as the build stages them.
bool menu_fixture_stage();
