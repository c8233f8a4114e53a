// Whole-file reads and writes (POSIX), with the rules that the settings file, the registry file
// and the district lists share: a file is read in one go, written through to the disk, replaced
// as a whole or not at all, and left alone when it is marked read-only.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace telvora::platform {

// The bytes of a regular file. nullopt when it cannot be read; `error` then says why
// (std::errc::no_such_file_or_directory when there is no such file, is_a_directory or
// invalid_argument when the path names a folder or another kind of file: those are never read,
// so that a pipe cannot stall the caller).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::error_code& error);
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// Writes all of `bytes` to `fd` and flushes them to the disk. A file that cannot be flushed
// (fsync gives EINVAL, as for a pipe or a special file) counts as written.
bool WriteAll(int fd, std::string_view bytes);

// Writable by this process and not marked read-only. A file or folder without any write
// permission bit counts as read-only even for root, as the read-only attribute does on
// Windows, so that a user's "chmod a-w" protects a file whoever runs the program.
bool IsWritable(const std::filesystem::path& path);

// Replaces `target` by a file holding `bytes`: a sibling file is written, flushed and renamed
// over it, so that the target is always either the old file or the new one, never a mix. The
// new file gets `mode` as the umask allows. false, with no sibling left behind, when any step
// fails.
bool ReplaceViaSibling(const std::filesystem::path& target, std::string_view bytes, mode_t mode);
// The same, with the reason of a failure in `error`.
bool ReplaceViaSibling(const std::filesystem::path& target, std::string_view bytes, mode_t mode,
                       std::error_code& error);

}  // namespace telvora::platform
