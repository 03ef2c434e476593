// Journals JOURNALS: the streams of recorded values that scripts keep in memory.
#pragma once

struct journals_subsystem {
};

extern journals_subsystem JOURNALS;

bool journals_setup(journals_subsystem* j);
void journals_clean(journals_subsystem* j); // safe after a failed setup and twice
