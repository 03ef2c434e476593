// Program entry: the run itself lives in dorvale_main so that tests can drive it.

#include "app/code/entry.h"

int main() { return dorvale_main(); }
