// Shared helpers for the tests: the temporary working folder and the source/game folders,
// and small files read and written whole.
#pragma once

#include <string>

// The fresh folder the running test works in (its working folder at start).
const char* harness_tmp_dir();

std::string harness_read_file(const char* path); // "" when the file cannot be read
// Creates or replaces the file; a failure to write it fails the running test.
void harness_write_file(const char* path, const char* text);
bool harness_file_exists(const char* path);
bool harness_ends_with(const std::string& s, const char* tail);

// The image library started as the engine uses it: rows top first, saves overwrite.
void harness_il_start();
// Image names in use among the first few hundred (the library hands out small numbers).
int harness_il_images();

struct list;
int harness_list_count(list* l); // records linked in an engine list
