// Sound SFX: OpenAL voices and the music stream.
#pragma once

struct sfx_subsystem {
};

extern sfx_subsystem SFX;

void sfx_update(sfx_subsystem* sfx); // refills the music stream
