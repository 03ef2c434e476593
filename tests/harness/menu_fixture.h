// A whole staged game folder for the tests of the states that run on the installation.
#pragma once

// The working folder as a game folder: the build's generated data and the source tree's
// scripts, as the build stages them.
bool menu_fixture_stage();
