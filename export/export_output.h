// Where an export's pictures and sound go. The export renders the range picture by picture and
// mixes its sound in 256-frame blocks as the pictures advance (the sound of a picture's time is
// handed over right after the picture), so a video file can take both as they come and keep them
// in step; the PNG sequence with its WAV file is the other kind of output. Builds on export.h.
#pragma once

#include <cstdint>

#include "export/export.h"

// What an output learns before the first picture.
struct ExportFormat {
  int32_t width = 0, height = 0;  // pixels of every picture
  int32_t pictures = 0;           // pictures the range holds
  int32_t firstFrame = 0;         // the project frame of picture 0
  int32_t fps = 0;                // the project's frame rate
  int32_t soundFrames = 0;        // stereo sample frames at 44100 Hz in all, whole blocks; 0: none
};

// How an export ends, as its output is told.
enum class ExportEnd {
  kComplete,   // every picture and every sound block was handed over
  kCancelled,  // the user stopped it between pictures
  kFailed,     // the output said it failed (Failed) and the export stopped
};

class ExportOutput {
 public:
  virtual ~ExportOutput() = default;
  // Before anything is rendered. False, with result's outcome and message set, when the output
  // cannot start; the export then ends without calling Finish.
  virtual bool Begin(const ExportFormat& format, ExportResult& result) = 0;
  // A buffer of width x height x 3 bytes for the next picture; may wait for a free one.
  virtual uint8_t* PictureBuffer() = 0;
  // Picture index (0 for the range's first frame) in buffer from PictureBuffer, RGB, top row
  // first. The buffer belongs to the output again.
  virtual void AddPicture(int index, uint8_t* buffer) = 0;
  // frames sample frames of the mixed sound: 2 x frames floats, left then right, within +-1.
  virtual void AddSound(const float* samples, int frames) = 0;
  // True once the output cannot go on; the export asks between pictures.
  virtual bool Failed() = 0;
  // The last call: puts what was finished in place and sets result's outcome, framesWritten and
  // message for how the export ended. True only when it ended complete and everything was
  // written.
  virtual bool Finish(ExportEnd end, ExportResult& result) = 0;
};

// Renders frames startFrame..endFrame (checked to lie within 0..1999, start <= end) into output
// as ExportAnimation does, with options' progress, scale and threads (the output decides what
// numbering and sound options mean). Sets exporting for the whole export and restores the
// OpenGL state. True when complete; result says what happened.
bool RenderExport(ExportOutput& output, int startFrame, int endFrame, bool motionBlur,
                  const ExportOptions& options, ExportResult& result);
