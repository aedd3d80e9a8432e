// The runtime's process-wide state, in one place.
//
// Everything that lives as long as the program is reached through `rt`:
// plain registers that hold from the first instruction, and pointers that are
// null until start-up creates their object and null again once shutdown has
// released it, so a second shutdown finds nothing to release. Only
// core/startup.cpp creates them and only core/shutdown.cpp releases them,
// each in the runtime's order (tests make and drop them through
// tests/support/runtime.h). No other mutable object with a destructor lives
// outside this table.
//
// The table sits in the bottom layer so that every subsystem reaches its own
// object through it. The types are only declared here; each layer
// dereferences the pointers of its own types and of the layers below it.
#pragma once

#include <cstdint>

#include "runtime/base/clock.h"
#include "runtime/base/errors.h"

struct CallbackEntry;  // core.h: the game's table of named callbacks
struct DataList;       // types.h: a game's constant data

namespace mxt {

namespace platform {
struct Window;
struct AudioDevice;
}  // namespace platform

struct CoreState;       // core: settings, command line, frame, pause, loop names
class InputJournal;     // input: recording and replay (MXT_RECORD, MXT_REPLAY)
class VuduRODoverore;   // gfx2d: the 2D renderer, its sprites and GL state
class Razazedu3V;       // gfx3d: the 3D renderer, its objects and the shader slots
class Random;           // types: the random generator
struct InputState;      // input: mouse, touch, keys, typed characters
struct ArchiveSlot;     // files: a mount of the media archive
class MemoryImages;     // files: the images in-memory names may open
struct ChannelTable;    // files: the eight file channels
struct IniFile;         // files: the one current INI file
struct LineFileCache;   // files: the one cached line file
class MusicPlayer;      // audio: the one music track and its looping
class SocketTable;      // net: the 1024 sockets, the address family, the last socket error
class Messaging;        // net: the network messaging object and its thread
struct SoundDevice;     // audio: the sound effects' mixer on the audio device
struct SoundSlot;       // audio: one numbered sound (kSoundSlots of them)
struct DeclareTable;    // files: the external functions games declare, and the libraries loaded for them

// What the runtime frame, at the top of the layers, does for the layers
// below it. Core installs these before the game's settings hook runs; a
// service that is not installed does nothing.
struct FrameServices {
  void (*end)() = nullptr;             // the orderly end (mxt_end); returns only while already ending
  void (*pump)() = nullptr;            // take the window's pending messages, with the game's message hook
  void (*wait_for_input)() = nullptr;  // one pass of the idle pump, waiting for the player
  void (*resume)() = nullptr;          // end a pause, as the window regaining the focus does
};

struct Lifecycle {
  bool prepared = false;     // core's state exists and its services are installed
  bool started = false;      // start-up ran to its end
  bool ending = false;       // mxt_end has begun: a second call returns at once
  bool quit_called = false;  // the game's quit callback has had its one call
};

struct Runtime {
  // Registers, valid from the start of the process.
  ErrorRegisters errors;
  TimerSource timer;
  FrameServices frame;
  Lifecycle lifecycle;
  const CallbackEntry* callbacks = nullptr;  // the game's table (the entry sets it), or none
  DataList* data_list = nullptr;             // the list mxt_restore_data made current; the game's own
  bool unattended = false;                   // nobody can answer a dialog: decided by core at the entry
  DeclareTable* declares = nullptr;          // made by the first mxt_declare (static initialisers may call
                                             // it), bound at step 29, freed by mxt_unload_declares at exit

  // Objects, in the order start-up creates them.
  CoreState* core = nullptr;                 // at the entry, before the settings hook
  InputJournal* journal = nullptr;           // step 0, when a recording or replay is asked for
  VuduRODoverore* renderer = nullptr;        // step 5
  platform::Window* window = nullptr;        // step 7: the renderer's window, as the rest sees it
  Random* random = nullptr;                  // step 8
  SocketTable* sockets = nullptr;            // step 9, before the network messaging object
  Messaging* messaging = nullptr;            // step 9, closed
  Razazedu3V* renderer3d = nullptr;          // step 10, bound to the renderer
  InputState* input = nullptr;               // step 11
  ArchiveSlot* archive[2] = {nullptr, nullptr};  // step 17: the memory mount and the file mount
  MemoryImages* memory_images = nullptr;     // step 17
  ChannelTable* channels = nullptr;          // step 17: all eight closed
  IniFile* ini = nullptr;                    // step 17: none open
  LineFileCache* line_file = nullptr;        // step 17: none cached
  platform::AudioDevice* audio = nullptr;    // step 31, shared by music, sound effects and the sound of videos
  MusicPlayer* music = nullptr;              // step 31
  SoundDevice* sound_device = nullptr;       // step 31: no mixer in it without an audio device
  SoundSlot* sounds = nullptr;               // step 31: the sound table, 4096 slots
};
extern Runtime rt;

}  // namespace mxt
