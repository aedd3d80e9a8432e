// Sound and music: the command sheet.
//
// One music track plays at a time, from memory, so a track that exists only
// inside the media archive plays like a loose file (MP3, OGG Vorbis, WAV,
// FLAC). A video plays blocking, scaled and centred over the window, until
// it ends or the player types a key or presses a button; its sound is mixed
// over the music.
//
// Missing and undecodable files: a name that does not resolve records error
// 3 for music and returns 3 for a video. A file that resolves but cannot be
// played differs by design: music then leaves no track and records nothing
// (every later music command is harmless; the debug log names the file),
// while a video returns 3, since the game waits on its result.
#pragma once

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// Music

void mxt_play_music(const RtString& file, int loop);  // stops the current track; loop != 0 repeats
                                                      // [fails: no track, error 3 only when missing]
void mxt_stop_music();                                // stops and forgets the track [cannot fail]
void mxt_restart_music();                             // from the start [cannot fail]
void mxt_music_volume(double volume);                 // 1.0 = normal (the most); a repeated value sends nothing
                                                      // [cannot fail]
int mxt_music_playing();                              // 1 while a looping track is on or a track is short of its end
                                                      // [cannot fail]
void mxt_pause_music(int pause);                      // non-zero pauses, 0 resumes [cannot fail]

// ---------------------------------------------------------------------------
// Video

int mxt_play_video(const RtString& file, int loop);   // blocks until the end or a key/button; 0 [fails: 3]
