// The message log: a text file to which every subsystem appends its progress lines. It is off
// unless the command line names a file (--log FILE); while off, no call touches the disk.
#pragma once

// Switches the log on (appending to path) or, with an empty path or null, off.
void SetLogFile(const char* path);

// Formats like printf into a 1024-byte buffer and appends it as one line. The file is opened
// and closed for every message, so the log survives a crash up to the last line.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
