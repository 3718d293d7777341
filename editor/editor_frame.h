// The editor's per-frame function: lays out and runs the editor windows, the context menus and
// the chosen command.
#pragma once

// True when the frame is complete and is to be presented.
bool EditorFrame();
