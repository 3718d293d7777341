// Pieces of the toolkit shared by its own source files; nothing outside ui/ includes this.
#pragma once

// The press test and ownership test of a region over the screen rectangle (x, y, w, h): a press
// inside makes id the mouse owner; the owner gets its input flags, everyone else none. True when
// id owns the mouse in this frame.
bool RouteInput(const char* id, int x, int y, int w, int h);
bool AnyPressed();
// Copies an id, cut to the id size.
void CopyId(char* to, const char* from);
// The OpenGL colour of a palette entry (entry 6, black, for one out of range) with alpha.
void SetColour(int colour, float alpha = 1.0f);
