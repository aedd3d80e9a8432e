// Sound and music: the command sheet.
//
// Sound effects are WAV files (8- or 16-bit PCM, mono or stereo, any rate)
// loaded into numbered sounds 0 to 4095, from disk or the media archive
// alike. Each sound has 1 to 4 channels sharing its samples, so a sound can
// overlap itself that often; a play returns a channel id (sound x 256 +
// channel) to ask about or stop that play, or -1 when it could not play.
// Volume is 0 to 1 (0.5 is 6 dB down, below 0.01 silent), pan -1 (left) to
// +1 (right): the far side gets quieter, the near one stays whole. Without
// an audio device every load fails with error 3 and every play gives -1.
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
// Sound effects

int mxt_find_free_sound();                            // the highest number with no sound loaded, from 4095 down
                                                      // [fails: -1, error 7 when every sound is loaded]
void mxt_load_sound(const RtString& file, int sound, int channels);  // replaces what it held; channels clamped to 1..4
                                                      // [fails: an empty sound (the old one stays when the name
                                                      // does not resolve), error 3;
                                                      // fails: nothing loaded, error 7 for a number outside 0..4095]
int mxt_play_sound(int sound, double pan, double volume);  // once; a channel id
                                                      // [fails: -1 when no channel is free or nothing is loaded;
                                                      // fails: -1, error 7 for a number outside 0..4095]
int mxt_sound_playing(int channel_id);                // 1 while that play runs
                                                      // [fails: 0, error 7 for an id below 0 or beyond sound 4095]
void mxt_stop_sound(int channel_id);                  // stops that play; a channel the sound does not have stops
                                                      // all of its channels; ids of failed plays are ignored
                                                      // [cannot fail]
void mxt_stop_all_sounds();                           // every channel of every sound [cannot fail]

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
