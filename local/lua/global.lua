-- Runs first, before any of the program's own libraries exist.
global = _G
