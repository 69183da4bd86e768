// The soundtrack: one MP3 file beside the program, read whole into memory and streamed from
// there, looping, from the first frame of the show.
#pragma once

// The soundtrack's file name, in the working directory.
extern const char soundtrackFileName[];

// Starts the sound library; false (after a message box) when the device cannot start.
bool initMusic(bool enable);
// Reads the file and creates the stream; false when there is no stream.
bool loadSoundtrack(const char* fileName);
// Starts the stream, looping; false when the library is not ready.
bool playSoundtrack();
// Stops and frees the library and the soundtrack's memory.
void stopMusic();
