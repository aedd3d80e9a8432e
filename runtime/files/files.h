// Files and storage: the command sheet.
//
// Names take "/" or "\" and are found ignoring letter case, one folder at a
// time, as games written for case-blind file systems expect. Media names
// resolve from disk first, then from the media archive mounted with
// mxt_set_archive; a resolved name may be an in-memory name ("mem://...")
// that every loader opens like a file. A failure returns the documented
// value; those that record a code record error 3 ("no such file"), and none
// ends the program.
#pragma once

#include <cstdint>

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// Names, the media archive and in-memory files

bool mxt_file_exists(const RtString& name);                      // a file (not a folder), or a live in-memory image
                                                                 // [cannot fail]
bool mxt_resolve_file(RtString& name);                           // disk first, then the archive; name becomes openable
                                                                 // [fails: false, name kept]
void mxt_set_archive(const RtString& memory_archive, const RtString& file_archive);  // mounts; resets both; an
                                                                 // archive that does not open is skipped [cannot fail]
RtString mxt_register_memory_file(const void* data, int64_t size);  // an in-memory name for the game's own image
                                                                 // [fails: ""]
void mxt_unregister_memory_file(const void* data);               // its name opens nothing from now on [cannot fail]

// ---------------------------------------------------------------------------
// Directories and file management

double mxt_set_current_dir(RtString& path);                      // 1; the caller's "/" become "\" [fails: 0, error 3]
RtString mxt_get_current_dir();                                  // "/" separators, ends with "/" [cannot fail]
bool mxt_is_directory(const RtString& path);                     // true for an existing folder [cannot fail]
bool mxt_create_directory(const RtString& path);                 // one level; parents must exist [fails: false]
int mxt_delete_file(const RtString& path);                       // 1 gone; a folder only when empty
                                                                 // [fails: 0 refused or not empty, -1 missing]
void mxt_copy_file(const RtString& source, const RtString& destination);  // source from disk or archive
                                                                 // [fails: no copy, error 3]
int64_t mxt_file_size(const RtString& path);                     // its size in bytes [fails: 0, error 3]
RtString mxt_file_time(const RtString& path);                    // local "YYYY-MM-DD hh:mm:ss" [fails: "", error 3]
double mxt_list_files(const RtString& pattern, RtArray<RtString>& list);  // folders, then matching files;
                                                                 // files + 65536 * folders [fails: 0, an empty list]

// ---------------------------------------------------------------------------
// External libraries
//
// A game calls functions of shared libraries through variables it declares:
// mxt_declare registers each one (usually from a static initialiser), start-up
// binds them all, and exit frees the libraries. Windows names map to Linux
// ones: "foo.dll" is looked for as "libfoo.so" and "foo.so" (then in lower
// case), beside the program first and then where the system looks; other
// names go to the loader as written. Names are compared ignoring case.

void mxt_declare(const RtString& library, const RtString& function, void** slot);  // registers it; *slot = null
                                                                 // until bound [cannot fail]
void mxt_bind_declares();                                        // each library loaded once, every slot filled;
                                                                 // start-up calls it [fails: slot stays null, logged]
void mxt_unload_declares();                                      // frees the libraries, forgets every entry; the
                                                                 // end calls it [cannot fail]
