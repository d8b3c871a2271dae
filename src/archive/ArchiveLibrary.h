#pragma once
// The archive library (libarchive), loaded the first time an archive is read or written. Linking
// it would load it and the seven compression libraries it needs at every start of the program, for
// a feature most sessions never use.
#include <archive.h>
#include <archive_entry.h>

namespace pitkit {

#define PITKIT_ARCHIVE_FUNCTIONS(X)                                                                     \
  X(archive_read_new) X(archive_read_free) X(archive_read_support_format_zip)                          \
  X(archive_read_support_format_7zip) X(archive_read_support_format_rar)                               \
  X(archive_read_support_format_rar5) X(archive_read_add_passphrase) X(archive_read_open_filename)     \
  X(archive_read_next_header) X(archive_read_data) X(archive_error_string) X(archive_entry_is_encrypted) \
  X(archive_entry_pathname) X(archive_entry_pathname_utf8) X(archive_entry_pathname_w)               \
  X(archive_entry_filetype)                                                                             \
  X(archive_entry_hardlink) X(archive_entry_size_is_set) X(archive_entry_size)                         \
  X(archive_entry_mtime_is_set) X(archive_entry_mtime) X(archive_entry_mtime_nsec)                   \
  X(archive_read_set_callback_data) X(archive_read_set_read_callback) X(archive_read_set_skip_callback) \
  X(archive_read_set_seek_callback) X(archive_read_open1) X(archive_set_error)                          \
  X(archive_write_new) X(archive_write_set_format_zip) X(archive_write_zip_set_compression_deflate)     \
  X(archive_write_set_format_option) X(archive_write_set_bytes_in_last_block) X(archive_write_open2)   \
  X(archive_write_header)                                                                               \
  X(archive_write_data) X(archive_write_close) X(archive_write_free)                                 \
  X(archive_entry_new) X(archive_entry_clear) X(archive_entry_free) X(archive_entry_set_pathname_utf8)  \
  X(archive_entry_copy_pathname_w)                                                                     \
  X(archive_entry_set_filetype) X(archive_entry_set_perm) X(archive_entry_set_size)                    \
  X(archive_entry_set_mtime)

// The library's functions the program calls, by their own names.
struct ArchiveLibrary {
#define PITKIT_ARCHIVE_POINTER(name) decltype(&::name) name = nullptr;
  PITKIT_ARCHIVE_FUNCTIONS(PITKIT_ARCHIVE_POINTER)
#undef PITKIT_ARCHIVE_POINTER
};

// Loads the library once per process; throws an Exception naming it when it cannot be loaded.
const ArchiveLibrary& archiveLibrary();

}  // namespace pitkit
