// The projects the user opened or saved last, newest first, kept in the user's configuration
// folder (the file "recent", one full path a line) so that every run of the editor and
// `tavoka --recent` see the same list. Builds on the user files and whole-file reads of
// platform/.
#pragma once

#include <array>
#include <cstddef>

constexpr int kMaxRecentProjects = 8;
constexpr size_t kRecentPathSize = 512;
constexpr size_t kMaxRecentFileBytes = 64 * 1024;  // a longer file is not a list of 8 paths

struct RecentProjects {
  std::array<std::array<char, kRecentPathSize>, kMaxRecentProjects> paths{};  // newest first
  int count = 0;
};

// The list a file's text gives: one path a line, newest first. Lines that are empty, not
// absolute, too long for a path or hold a control character are skipped, as are repeats and
// every path after the eighth.
RecentProjects ParseRecentProjects(const char* text, size_t size);
// Puts path first, moving it up when it is listed already; the oldest goes beyond eight. False,
// nothing changed, for a path that is not absolute or does not fit.
bool AddRecentProject(RecentProjects& list, const char* path);
// Takes path off the list; false when it was not on it.
bool RemoveRecentProject(RecentProjects& list, const char* path);

// The user's list; empty when there is none or it cannot be read.
RecentProjects LoadRecentProjects();
// Replaces the user's list file as a whole; false (logged) when it cannot be written.
bool SaveRecentProjects(const RecentProjects& list);
// After a project was saved or opened: its full path goes first in the user's list. The file is
// read again first, so that what another running editor added stays.
void NoteRecentProject(const char* path);
// Takes a path that could not be opened off the user's list.
void ForgetRecentProject(const char* path);
