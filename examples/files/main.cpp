// Files, folders and the media archive.
//
// Games ship their pictures and sounds in one compressed archive made by
// tools/sbx ("sbx pack media.sbx Media/"), and load them by name as if they
// were loose files. Names take "/" or "\" and ignore letter case, and a loose
// file on disk always wins over the archive entry of the same name, so an
// artist can try a new picture by dropping it beside the game.
//
// What this shows: mounting an archive, loading a sprite from it, resolving
// a name yourself, copying files out, a file held in memory, and the folder
// commands. The build packs media.sbx beside the program from welcome.txt
// (in media/ here) and Badge.PNG (made by the ffmpeg tool).
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=3 ./example_files    # writes saves/ beside itself
#include <moxtril.h>

namespace {

constexpr int kBadge = 1;

// A file the game carries in its own memory: registered, it gets a name
// that every loader and file command opens like a file on disk.
const char kNotes[] = "These notes never were a file on disk.\n";

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: files";
}

int mxt_main() {
  mxt_set_clear_colour(0x202020);

  // Start-up makes the program's own folder current, so names without a
  // folder find the files beside the program, wherever it was started from.
  RtString home = mxt_get_current_dir();  // with "/" separators, ending in "/"

  // Mount the archive; the second name is for media that must be real files
  // on disk (videos), here none. Until a game mounts one, the runtime uses
  // an archive attached to the program file itself ("sbx append").
  mxt_set_archive("media.sbx", "");

  // Entries are found by their file name alone, ignoring case: the archive
  // holds "Badge.PNG", and this finds it.
  mxt_load_sprite("gfx/badge.png", kBadge);
  int w = 0, h = 0;
  mxt_sprite_size(kBadge, w, h);
  mxt_stdout(RtString("badge ") + w + " x " + h + "\n");

  // Resolving turns a name into one that opens: the same name for a loose
  // file, an in-memory name ("mem://...") for an archive entry. That name
  // stays good only until the next lookup, so use it at once.
  RtString name = "welcome.txt";
  if (mxt_resolve_file(name)) {
    const bool archived = mxt_find_text(name, "mem://", 0) == 0;
    mxt_stdout(RtString("welcome.txt ") + (archived ? "is in the archive, " : "is on disk, ") +
               mxt_file_size(name) + " bytes\n");
  }

  // Copy it out. mxt_copy_file reads from disk or the archive; a folder is
  // made one level at a time (false when it exists already, which is fine).
  mxt_create_directory("saves");
  mxt_copy_file("welcome.txt", "saves/welcome.txt");

  // A memory file, registered, copied to disk like any other, and then
  // unregistered: from then on its name opens nothing.
  const RtString notes = mxt_register_memory_file(kNotes, sizeof kNotes - 1);
  mxt_copy_file(notes, "saves/notes.txt");
  mxt_unregister_memory_file(kNotes);
  mxt_stdout(RtString("notes still open after unregistering: ") + (mxt_file_exists(notes) ? 1 : 0) + "\n");

  // Folder listings are of the current folder. mxt_set_current_dir takes a
  // variable: it rewrites the separators in it.
  RtString saves = "saves";
  if (mxt_set_current_dir(saves) == 1) {
    RtArray<RtString> list;
    // Folders come first, then the files that match; the result counts both.
    const double counts = mxt_list_files("*.txt", list);
    const int files = mxt_to_int(mxt_fmod(counts, 65536));
    const int folders = mxt_to_int(counts / 65536);
    for (int i = folders; i < folders + files; ++i)
      mxt_stdout("saves/" + list(i) + " " + RtString(mxt_file_size(list(i))) + " bytes\n");
    mxt_stdout("notes.txt written " + mxt_file_time("notes.txt") + "\n");  // local time
    mxt_set_current_dir(home);
  }

  // Failures never end the game: they record error 3 ("no such file",
  // printed as "error: 3") and return the documented value.
  mxt_stdout(RtString("deleting a missing file gives ") + mxt_delete_file("saves/nothing.txt") + "\n");
  const int64_t size = mxt_file_size("nothing.txt");
  mxt_stdout(RtString("size of a missing file ") + size + ", error " + mxt_last_error() + "\n");

  for (int frame = 0; frame < 300; ++frame) {
    mxt_stretch_sprite(kBadge, 16, 16, 96, 96);
    mxt_show_screen();
  }
  return 0;
}
