// Files and storage: the command sheet.
//
// Names take "/" or "\" and are found ignoring letter case, one folder at a
// time, as games written for case-blind file systems expect. Media names
// resolve from disk first, then from the media archive mounted with
// mxt_set_archive; a resolved name may be an in-memory name ("mem://...")
// that every loader opens like a file. A failure returns the documented
// value; those that record a code record error 3 ("no such file"). Only the
// file channels end the program: on a bad channel number and on a read or
// write that fails.
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

// ---------------------------------------------------------------------------
// File channels
//
// Eight numbered channels, 0 to 7, closed at start-up and at the end. Values
// are little-endian; text lines are written with CR LF, and a read line ends
// at LF (one CR before it removed), at the end of the file, or after 1,024
// bytes (the rest comes with the next read). Reading past the end of a file
// on disk ends the program: test mxt_end_of_file first. A file read from the
// media archive reads cut short at its end instead, with zeros.

bool mxt_open_file(int channel, const RtString& name, int mode);  // mode > 0 read (disk, then archive), 0 write
                                                                 // anew, < 0 append [fails: false, error 3; fails: false,
                                                                 // error 7 for a channel outside 0..7]
void mxt_close_file(int channel);                                // a closed channel stays closed [fatal, error 7 for a
                                                                 // channel outside 0..7]
int mxt_free_channel();                                          // the lowest channel not in use [fails: -1]
bool mxt_end_of_file(int channel);                               // position at or past the size; true for a channel
                                                                 // outside 0..7 [cannot fail]
void mxt_file_seek(int channel, int64_t offset, int origin);     // origin 0 start, > 0 here, < 0 end; a place before
                                                                 // the start is refused [fatal, error 7 for a channel
                                                                 // outside 0..7]
int64_t mxt_file_position(int channel);                          // the read position [fatal, error 7 for a channel
                                                                 // outside 0..7]
void mxt_write_line(int channel, const RtString& text);          // the text, then CR LF [fatal, error 3 when not open
                                                                 // for writing or the disk takes less; fatal, error 7
                                                                 // for a channel outside 0..7]
void mxt_write_text(int channel, const RtString& text);          // the text's bytes, zeros included [fatal, error 3
                                                                 // as mxt_write_line; fatal, error 7 likewise]
void mxt_write_int8(int channel, int value);                     // low 8 bits [fatal, error 3 as mxt_write_line]
void mxt_write_uint8(int channel, int value);                    // low 8 bits [fatal, error 3 as mxt_write_line]
void mxt_write_int16(int channel, int value);                    // low 16 bits [fatal, error 3 as mxt_write_line]
void mxt_write_uint16(int channel, int value);                   // low 16 bits [fatal, error 3 as mxt_write_line]
void mxt_write_int32(int channel, int value);                    // 4 bytes [fatal, error 3 as mxt_write_line]
void mxt_write_uint32(int channel, int value);                   // 4 bytes, the same bits [fatal, error 3 as
                                                                 // mxt_write_line]
void mxt_write_float(int channel, double value);                 // as a 4-byte float [fatal, error 3 as mxt_write_line]
void mxt_write_double(int channel, double value);                // 8 bytes [fatal, error 3 as mxt_write_line]
void mxt_read_line(int channel, RtString& out);                  // one line without its end [fatal, error 3 at the
                                                                 // end of the file or not open; fatal, error 7 for a
                                                                 // channel outside 0..7]
void mxt_read_line_int(int channel, int& out);                   // a line read as an integer (atoi) [fatal, error 3
                                                                 // as mxt_read_line]
void mxt_read_line_number(int channel, double& out);             // a line read as a number (atof) [fatal, error 3 as
                                                                 // mxt_read_line]
void mxt_read_text_bytes(int channel, RtString& out, int count); // exactly count bytes (<= 0: ""), zeros past the end
                                                                 // of an archive file [fatal, error 3 past the end of a
                                                                 // file on disk]
void mxt_read_int8(int channel, int& out);                       // sign-extended [fatal, error 3 past the end of a
                                                                 // file on disk]
void mxt_read_uint8(int channel, int& out);                      // 0..255 [fatal, error 3 as mxt_read_int8]
void mxt_read_int16(int channel, int& out);                      // sign-extended [fatal, error 3 as mxt_read_int8]
void mxt_read_uint16(int channel, int& out);                     // 0..65535 [fatal, error 3 as mxt_read_int8]
void mxt_read_int32(int channel, int& out);                      // 4 bytes [fatal, error 3 as mxt_read_int8]
void mxt_read_uint32(int channel, int& out);                     // 4 bytes, the same bits [fatal, error 3 as
                                                                 // mxt_read_int8]
void mxt_read_float(int channel, double& out);                   // a 4-byte float, widened [fatal, error 3 as
                                                                 // mxt_read_int8]
void mxt_read_double(int channel, double& out);                  // 8 bytes [fatal, error 3 as mxt_read_int8]
RtString mxt_error_text();                                       // "0003 no such file" for the last error code
                                                                 // [cannot fail]
RtString mxt_console_input();                                    // one line of the standard input, without its LF
                                                                 // [fails: ""]

// ---------------------------------------------------------------------------
// INI files
//
// One current INI file of [sections] and key=value lines, read whole when it
// is opened (from disk, else the media archive) and written back whole when
// it changed: when another one is opened and at the end of the program,
// also after a fatal error. The write-back replaces the file in one step, so
// a crash or a kill leaves the old file or the new one; one that cannot be
// written leaves the old file and a line in the debug log. A file from the
// media archive is never written. Names compare ignoring letter case, the
// first match wins; lines without "=" or with an empty value are ignored.

void mxt_ini_open(const RtString& name);                         // saves the current one if changed, then reads name;
                                                                 // "" closes [fails: an empty file, made at write-back]
RtString mxt_ini_get(const RtString& section, const RtString& key, const RtString& fallback);  // the value
                                                                 // [fails: fallback]
void mxt_ini_put(const RtString& section, const RtString& key, const RtString& value);  // sets or adds; ""
                                                                 // deletes (the section's last entry takes its place)
                                                                 // [fails: nothing, for an empty key]

// ---------------------------------------------------------------------------
// Line files
//
// A small text file as lines 0 to 255, one file at a time: it is read on
// first use and written back whole (crash-safe, as INI files are) when the
// game uses another file name and at the end. Names compare byte for byte.
// Reads give "NO_FILE" for a file that resolves but cannot be read, "NO_DATA"
// for a missing or empty line; line numbers are truncated to integers.

void mxt_get_file_line(const RtString& name, double line, RtString& out);  // the line, trailing control bytes
                                                                 // removed [fails: out unchanged when the name is
                                                                 // nowhere; fails: "NO_DATA", error 7 outside 0..255;
                                                                 // fails: "NO_FILE", error 3]
void mxt_get_file_line_int(const RtString& name, double line, int& out);  // the line as an integer (atoi)
                                                                 // [fails: 0, or out unchanged as mxt_get_file_line]
void mxt_get_file_line_number(const RtString& name, double line, double& out);  // the line as a number (atof)
                                                                 // [fails: 0, or out unchanged as mxt_get_file_line]
int mxt_put_file_line(const RtString& name, double line, const RtString& text);  // 0; the text cut at 1,023
                                                                 // bytes [fails: 7, error 7 outside 0..255]
int mxt_put_file_line_number(const RtString& name, double line, double value);  // 0; the number's text
                                                                 // [fails: 7, error 7 outside 0..255]
