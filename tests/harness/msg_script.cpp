// A scripted message source for tests (see msg_script.h).

#include "tests/harness/msg_script.h"

std::vector<MSG> MSG_SCRIPT;

int msg_script_source(MSG* out, int max)
{
    int n = 0;
    for (; n < max && n < (int)MSG_SCRIPT.size(); n++)
        out[n] = MSG_SCRIPT[n];
    MSG_SCRIPT.erase(MSG_SCRIPT.begin(), MSG_SCRIPT.begin() + n);
    return n;
}
