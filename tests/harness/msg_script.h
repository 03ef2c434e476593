// A scripted message source for tests: after plat_set_msg_source(msg_script_source) the
// message queue takes the messages of MSG_SCRIPT in order, as many as it asks for at a time.
#pragma once

#include <vector>

#include "platform/plat_msg.h"

extern std::vector<MSG> MSG_SCRIPT;

int msg_script_source(MSG* out, int max);
