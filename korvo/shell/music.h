// Music: a tracker-module song or an MP3 stream, started by the script and played until the
// program ends. A failure prints one line on standard output and ends the program (exit 1).
#pragma once

void playSong(const char* fileName);
void playStream(const char* fileName);
// The sound library's text for an error code.
const char* errorText(int code);
