#pragma once
// Temporary files beside a file being replaced. A save writes its bytes to a
// new file in the target's folder and renames that over the target only once
// it is complete, so a reader finds the old file or the whole new one.
//
// Every temporary is named ".vantix-<pid>-<n>.tmp": hidden, short (the
// target's own name may already be near the length limit), and carrying the
// PID of the process that writes it. A process killed in the middle of a save
// leaves its temporary behind; the next temporary made in that folder first
// removes those whose process no longer runs.
#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

namespace vantix {

// The folder part of path: "." for a bare name, "/" for a name in the root.
std::string DirectoryOf(const std::string& path);

// Creates a new, empty file in `directory` under a name no other save of this
// or another process uses. O_EXCL and O_NOFOLLOW: nothing planted under the
// name, a symbolic link included, is followed or reused. The mode is 0666 less
// the umask, as for any new file. Stale temporaries in the folder are removed
// first. Returns the descriptor (close-on-exec) and sets *path, or returns -1
// with errno set.
int CreateTemporaryFile(const std::string& directory, std::string* path);

// Gives the new file at fd the owner (where allowed: only root may give a file
// away) and permission bits of the file it is about to replace.
void KeepPermissions(int fd, const struct stat& replaced);

// Whether `name` (one entry of a folder) is spelled exactly as
// CreateTemporaryFile spells its names, and the PID it carries (never 0 or
// negative, which kill() would take for a process group).
bool ParseTemporaryName(std::string_view name, pid_t* pid);

// Removes from `directory` the temporaries of processes that no longer run:
// regular files only (a symbolic link is neither followed nor removed) whose
// name ParseTemporaryName accepts and whose PID names no process at all. A
// process of another user still counts as running. Returns how many it removed.
int RemoveStaleTemporaries(const std::string& directory);

}  // namespace vantix
