// What the editor shows while an export runs: the window keeps answering, a bar with
// "frame n of N" fills as the pictures render, and Escape or closing the window stops the
// export (the pictures written so far stay). Builds on the toolkit's drawing and the window's
// events and keyboard snapshot; the export (export/export.h) calls it between pictures.
#pragma once

// Draws the progress screen over the whole window at frame of total (1-based), in the window's
// pixels whatever toolkit region is open.
void DrawExportProgress(int frame, int total);
// The editor's ExportProgress: handles the window's events, takes the keyboard snapshot, and
// returns false when Escape is held or the window was asked to close (the quit request stays
// for the main loop); otherwise draws the progress screen, presents it and returns true.
bool ShowExportProgress(int frame, int total, void* data);
