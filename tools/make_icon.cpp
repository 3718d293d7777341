// Writes the program's icon as tavoka-SIZE.png for each size a desktop asks for. The same build
// writes the same bytes on every run.
//
// Usage: make_icon OUTPUT_DIR

#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/example/parts.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_icon OUTPUT_DIR\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code error;
  std::filesystem::create_directories(out, error);
  if (error) {
    std::fprintf(stderr, "make_icon: cannot create %s: %s\n", argv[1], error.message().c_str());
    return 1;
  }
  for (int size : {48, 128, 256}) {
    const std::string name = "tavoka-" + std::to_string(size) + ".png";
    if (!art::DrawIcon(size).WritePng((out / name).string())) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", name.c_str());
      return 1;
    }
  }
  return 0;
}
