// Every data and user file is read and written through streams. A name
// beginning with "@" is looked up in the user folder, the data folders and
// the archives among them; any other name is an ordinary path.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct Stream;  // opaque; see stream.cpp

// The n-th search folder ("/"-terminated), or null past the end. Folder 0 is
// the user folder ($XDG_DATA_HOME/kestrum/), then $RQ_HOME or the folder of
// the executable.
const char* search_folder(int n);

// The user folder, "/"-terminated (the first search folder).
const char* user_folder();

// Every distinct file name in the search folders and their archives, sorted
// byte-wise. Built on first use; files written later are not added.
const std::vector<std::string>& data_file_names();

// Forgets the search folders and the index so the next call rebuilds them
// from the current environment. For tests and tools only.
void data_paths_reset();

// Opens a path or an "@" name with an fopen-style mode. Null on failure,
// without a message: the caller reports.
Stream* stream_open(const char* name, const char* mode);
void stream_close(Stream* s);

// A read-only stream over bytes the caller keeps alive until the stream is
// closed; with compressed set the bytes must be gzip data (null otherwise).
// For tests, fuzzing and data already in memory.
Stream* stream_open_memory(const void* data, size_t size, bool compressed);

// Reading. Never passes the stream's limit.
int stream_getc(Stream* s);                      // 0..255, or -1 at the end
int stream_peek(Stream* s);                      // next byte without taking it (-1 at the end)
char* stream_gets(Stream* s, char* buf, int n);  // like fgets; null when nothing read
size_t stream_read(Stream* s, void* buf, size_t len);
bool stream_seek(Stream* s, long offset);        // from the start of the data
long stream_tell(Stream* s);                     // bytes delivered (or written) so far
bool stream_eof(Stream* s);

// scanf over the stream: d i o u x X f e g s c [set] n %%, widths, '*' and
// the size prefixes l, ll, h, hh (and L for long double). %n counts the
// characters this call consumed. Stops at the first mismatch, leaving that character
// unread. Returns the number of values stored, or -1 when the input ended
// before the first conversion.
int stream_scanf(Stream* s, const char* fmt, ...);

// Skips white space and any lines that begin with "#".
void stream_skip_comments(Stream* s);

// The next "%d" value, or INT32_MIN when none can be read.
int stream_read_int(Stream* s);

// Writing, as the stdio counterparts.
int stream_putc(Stream* s, int c);
int stream_puts(Stream* s, const char* text);
size_t stream_write(Stream* s, const void* buf, size_t len);
int stream_printf(Stream* s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
int stream_flush(Stream* s);
// True when every write so far reached the disk file (for safe saving).
bool stream_ok(Stream* s);

// Renames a file; a leading "@" on either name means the user folder.
bool file_rename(const char* old_name, const char* new_name);

// Creates every folder along the user folder's path; true when the folder
// exists afterwards.
bool user_folder_create();

// Creates the user folder and opens it in the desktop's file browser.
bool open_user_folder();

// Reads a whole file through a stream; false when it cannot be opened.
bool stream_read_all(const char* name, std::string* out);
