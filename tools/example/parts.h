// The bundled example's pictures: the cut-out parts of a small puppet and its stage, drawn with
// the painter of canvas.h. Each part knows the pixel that belongs on its object's pivot (the
// joint it turns about), from which the example's project places the image.
#pragma once

#include <string>
#include <vector>

#include "tools/example/canvas.h"

namespace art {

struct PartImage {
  std::string file;  // bare file name, e.g. "torso.png"
  Canvas canvas;
  Point anchor;      // image pixel (from the top left) that sits on the object's pivot
};

// Every picture of the example, in a fixed order.
std::vector<PartImage> DrawPuppetParts();

// The application icon, size x size pixels.
Canvas DrawIcon(int size);

}  // namespace art
