// Shared helpers for the tests: the temporary working folder and the source/game folders.
#pragma once

// The fresh folder this test process runs in (its working folder at start).
const char* harness_tmp_dir();
