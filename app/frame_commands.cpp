#include "app/frame_commands.h"

#include "app/input.h"
#include "app/platform.h"

bool RunFrameCommands() {
  PollInputDevices();
  SleepMilliseconds(10);
  return true;
}
