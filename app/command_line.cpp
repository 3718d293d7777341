#include "app/command_line.h"

#include <cstdio>
#include <cstring>

#include "export/export.h"
#include "platform/platform.h"
#include "scene/scene.h"

namespace {

// A frame number: decimal digits only, at most four of them.
bool ParseFrame(const char* begin, const char* end, int32_t* frame) {
  if (begin == end || end - begin > 4) return false;
  int32_t value = 0;
  for (const char* c = begin; c != end; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + (*c - '0');
  }
  *frame = value;
  return true;
}

// A whole number from 0 to largest in decimal digits, for an option named option.
bool ParseCount(const char* option, const char* text, int32_t largest, int32_t* value,
                char* error, int errorSize) {
  const char* end = text + std::strlen(text);
  if (!ParseFrame(text, end, value) || *value > largest) {
    std::snprintf(error, errorSize, "%s takes a whole number from 0 to %d, not '%s'", option,
                  largest, text);
    return false;
  }
  return true;
}

// The value of an option that takes one: the next word, or false with a message.
bool TakeValue(int argc, char** argv, int* i, const char** value, char* error, int errorSize) {
  if (*i + 1 >= argc) {
    std::snprintf(error, errorSize, "%s needs a value (try --help)", argv[*i]);
    return false;
  }
  *value = argv[++*i];
  return true;
}

// An interface scale as written: "1", "1.5" or "2", with or without a trailing "x".
bool ParseInterfaceScale(const char* text, float* scale) {
  static const char* const kNames[3] = {"1", "1.5", "2"};
  for (int i = 0; i < 3; ++i) {
    const size_t length = std::strlen(kNames[i]);
    if (std::strncmp(text, kNames[i], length) == 0 &&
        (text[length] == '\0' || (text[length] == 'x' && text[length + 1] == '\0'))) {
      *scale = kInterfaceScales[i];
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseFrameRange(const char* text, int32_t* first, int32_t* last, char* error,
                     int errorSize) {
  const char* dash = std::strchr(text, '-');
  int32_t a = 0, b = 0;
  if (dash == nullptr || !ParseFrame(text, dash, &a) ||
      !ParseFrame(dash + 1, dash + std::strlen(dash), &b)) {
    std::snprintf(error, errorSize, "--frames takes two frame numbers like 0-89, not '%s'", text);
    return false;
  }
  if (a >= kMaxFrames || b >= kMaxFrames) {
    std::snprintf(error, errorSize, "--frames %s: frames are numbered 0 to %d", text,
                  kMaxFrames - 1);
    return false;
  }
  if (a > b) {
    std::snprintf(error, errorSize, "--frames %s: the first frame comes after the last", text);
    return false;
  }
  *first = a;
  *last = b;
  return true;
}

bool ParseCommandLine(int argc, char** argv, CommandLine* options, char* error, int errorSize) {
  *options = CommandLine();
  bool exportOnly = false;  // an option that means something only with --export
  const char* exportOption = "";
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = nullptr;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options->help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options->version = true;
    } else if (std::strcmp(arg, "--recent") == 0) {
      options->recent = true;
    } else if (std::strcmp(arg, "--ui-scale") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (!ParseInterfaceScale(value, &options->uiScale)) {
        std::snprintf(error, errorSize, "--ui-scale takes 1, 1.5 or 2, not '%s'", value);
        return false;
      }
    } else if (std::strcmp(arg, "--log") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      options->logPath = value;
    } else if (std::strcmp(arg, "--export") == 0) {
      if (options->exportMode) {
        std::snprintf(error, errorSize, "--export is given twice");
        return false;
      }
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (options->projectPath != nullptr) {
        std::snprintf(error, errorSize, "only one project can be opened ('%s')", value);
        return false;
      }
      options->exportMode = true;
      options->projectPath = value;
    } else if (std::strcmp(arg, "--output") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (value[0] == '\0') {
        std::snprintf(error, errorSize, "--output needs a file name");
        return false;
      }
      options->outputPath = value;
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--motion-blur") == 0) {
      options->motionBlur = true;
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--sound-only") == 0) {
      options->soundOnly = true;
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--pictures-only") == 0) {
      options->picturesOnly = true;
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--strict") == 0) {
      options->strict = true;
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--scale") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (!ParseCount(arg, value, kMaxExportScale, &options->scale, error, errorSize) ||
          options->scale < 1) {
        std::snprintf(error, errorSize,
                      "--scale takes 1 to %d (pictures of N x %d by N x %d pixels), not '%s'",
                      kMaxExportScale, kExportWidth, kExportHeight, value);
        return false;
      }
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--number-from") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (!ParseCount(arg, value, kMaxPictureNumber, &options->numberFrom, error, errorSize)) {
        return false;
      }
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--format") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (!ParseExportFormat(value, &options->format)) {
        std::snprintf(error, errorSize, "--format takes png, mp4, webm or gif, not '%s'", value);
        return false;
      }
      exportOnly = true;
      exportOption = arg;
    } else if (std::strcmp(arg, "--frames") == 0) {
      if (!TakeValue(argc, argv, &i, &value, error, errorSize)) return false;
      if (!ParseFrameRange(value, &options->firstFrame, &options->lastFrame, error, errorSize)) {
        return false;
      }
      options->framesGiven = true;
      exportOnly = true;
      exportOption = arg;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      std::snprintf(error, errorSize, "unknown option '%s' (try --help)", arg);
      return false;
    } else if (options->projectPath == nullptr) {
      options->projectPath = arg;
    } else {
      std::snprintf(error, errorSize, "only one project can be opened ('%s')", arg);
      return false;
    }
  }
  if (exportOnly && !options->exportMode && !options->help && !options->version) {
    std::snprintf(error, errorSize, "%s works only with --export PROJECT.tvp", exportOption);
    return false;
  }
  if (options->exportMode && (options->recent || options->uiScale > 0)) {
    std::snprintf(error, errorSize, "%s does not go with --export",
                  options->recent ? "--recent" : "--ui-scale");
    return false;
  }
  // A film is one file: it has no picture numbers, and its sound is inside it.
  const ExportFileFormat format = options->format != ExportFileFormat::kFromPath
                                      ? options->format
                                      : ExportFormatOfPath(options->outputPath);
  if (format != ExportFileFormat::kPng && (options->numberFrom != 0 || options->soundOnly)) {
    std::snprintf(error, errorSize, "%s writes PNG pictures or their WAV file, not a %s video",
                  options->soundOnly ? "--sound-only" : "--number-from",
                  ExportFormatExtension(format) + 1);
    return false;
  }
  if (options->soundOnly) {
    const char* pictureOption = options->motionBlur      ? "--motion-blur"
                                : options->scale != 1    ? "--scale"
                                : options->numberFrom != 0 ? "--number-from"
                                : options->picturesOnly  ? "--pictures-only"
                                                         : nullptr;
    if (pictureOption != nullptr) {
      std::snprintf(error, errorSize, "--sound-only renders no pictures, so %s means nothing",
                    pictureOption);
      return false;
    }
  }
  return true;
}

const char* UsageText() {
  return "Usage: tavoka [options] [PROJECT.tvp]\n"
         "       tavoka --export PROJECT.tvp [--output PATH] [--motion-blur] [--frames A-B]\n"
         "                               [--scale N] [--number-from N] [--pictures-only]\n"
         "                               [--strict] [--format png|mp4|webm|gif]\n"
         "       tavoka --export PROJECT.tvp --sound-only [--output PATH] [--frames A-B]\n"
         "\n"
         "Tavoka, an editor for 2D cut-out animation. Opens PROJECT.tvp, or a new project.\n"
         "\n"
         "Batch export (no window or display needed):\n"
         "  --export PROJECT.tvp  render the project's play range through its camera into\n"
         "                        PNG pictures and mix its sound into a WAV file, or into\n"
         "                        one video file, exactly as the editor's \"export\n"
         "                        animation\" does, then exit\n"
         "  --output PATH         name the files after PATH, its extension cut off:\n"
         "                        out/walk.png gives out/walk_frame0000.png, ... and\n"
         "                        out/walk_audio.wav (default: the project's own path);\n"
         "                        out/walk.mp4, .webm or .gif is one video file of exactly\n"
         "                        that name: H.264 with AAC sound, VP9 with Opus sound, or\n"
         "                        an animated GIF without sound\n"
         "  --format F            png, mp4, webm or gif, whatever PATH's extension says (a\n"
         "                        video without --output is named after the project:\n"
         "                        walk.tvp gives walk.mp4)\n"
         "  --motion-blur         average 16 sub-frames per picture\n"
         "  --frames A-B          render frames A to B (0 <= A <= B <= 1999) instead of the\n"
         "                        play range; the pictures are numbered from 0000 in\n"
         "                        every run, whatever A is (see --number-from)\n"
         "  --scale N             pictures of N x 640 by N x 480 pixels (N = 1 to 4): the\n"
         "                        same framing, N pixels per scene unit (default 1)\n"
         "  --number-from N       number the pictures from N (0 to 9999) instead of 0000, so\n"
         "                        the pieces of a split export get the whole export's names\n"
         "  --pictures-only       write only the pictures, no WAV file (a video: no sound)\n"
         "  --sound-only          write only the WAV file of the range, no pictures (for an\n"
         "                        export split into --frames pieces: the sound once, whole)\n"
         "  --strict              check every image the range shows before writing anything\n"
         "                        and stop with status 3 when one cannot be loaded (without\n"
         "                        it, such images are left out and named at the end)\n"
         "  Progress goes to stderr. The exit status is 0 when every file was written, 1 when\n"
         "  the project cannot be loaded, a file cannot be written or there is nothing to\n"
         "  export, 2 for a command line that is not valid, and 3 when --strict finds an\n"
         "  image that cannot be loaded.\n"
         "\n"
         "Options:\n"
         "  --ui-scale S   draw the interface 1, 1.5 or 2 times larger (default: from the\n"
         "                 display's density)\n"
         "  --recent       list the recently opened or saved projects, newest first\n"
         "  --log FILE     append the program's log lines to FILE\n"
         "  --help         show this text\n"
         "  --version      show the version\n";
}
