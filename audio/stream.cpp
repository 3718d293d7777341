// The PortAudio output stream (V19 interface): 44100 Hz, stereo, 32-bit float, 512 frames per
// buffer. It runs from start-up to shut-down and is only stopped around a new project; silence
// comes from the mixer. A machine without a sound device simply runs silent.

#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <climits>

#include "audio/audio_internal.h"
#include "platform/log.h"

namespace {

PaStream* stream = nullptr;
bool portAudioUp = false;

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}

// ALSA and JACK report every device they probe on stderr (on a server: a page of errors about
// cards that do not exist). The handlers are looked up at run time: both libraries come in
// through PortAudio, and a build without them needs no change here.
void QuietSoundLibraries() {
  using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetAlsaHandler = int (*)(AlsaHandler);
  if (void* set = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")) {
    reinterpret_cast<SetAlsaHandler>(set)(IgnoreAlsaMessage);
  }
  using JackHandler = void (*)(const char*);
  using SetJackHandler = void (*)(JackHandler);
  for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
    if (void* set = dlsym(RTLD_DEFAULT, name)) reinterpret_cast<SetJackHandler>(set)(IgnoreJackMessage);
  }
}

void OpenStream() {
  QuietSoundLibraries();
  if (!portAudioUp) {
    const PaError error = Pa_Initialize();
    if (error != paNoError) {
      LogMessage("audio: PortAudio unavailable (%s), sound is off", Pa_GetErrorText(error));
      return;
    }
    portAudioUp = true;
  }
  const PaError error = Pa_OpenDefaultStream(&stream, 0, 2, paFloat32, kMixRate,
                                             kFramesPerBuffer, AudioCallback, nullptr);
  if (error != paNoError) {
    LogMessage("audio: no output device (%s), sound is off", Pa_GetErrorText(error));
    stream = nullptr;
  }
}

}  // namespace

int AudioCallback(const void*, void* output, unsigned long frames,
                  const PaStreamCallbackTimeInfo*, unsigned long, void*) {
  float* out = static_cast<float*>(output);
  const int count = static_cast<int>(std::min<unsigned long>(frames, INT_MAX / 2));
  // While an export renders it owns the mixer; the stream plays silence meanwhile.
  if (exporting.load() || !TryMixAudio(out, count)) std::fill(out, out + 2 * count, 0.0f);
  return paContinue;
}

int InitAudio(bool openStream) {
  ResetTransport();
  if (openStream && stream == nullptr) OpenStream();
  if (stream == nullptr) return paBadStreamPtr;
  // A new project without clips never stopped the stream: it simply plays on.
  if (Pa_IsStreamStopped(stream) == 0) return paNoError;
  const PaError error = Pa_StartStream(stream);
  if (error != paNoError) LogMessage("audio: cannot start the stream (%s)", Pa_GetErrorText(error));
  return error;
}

void FreeAudio(bool closeStream) {
  if (stream != nullptr) {
    Pa_StopStream(stream);
    if (closeStream) {
      Pa_CloseStream(stream);
      stream = nullptr;
    }
  }
  if (closeStream && portAudioUp) {
    Pa_Terminate();
    portAudioUp = false;
  }
  ResetMixer();
  FreeClipTable();
  FreeWaveTable();
}

void NewProjectAudio() {
  // Waves of deleted clips, and deleted clips the mixer let go of late, are freed too, so a new
  // project never keeps the previous project's sounds.
  if (AudioHoldsData()) FreeAudio(false);
  muted = false;
  InitAudio(false);
}

bool AudioStreamOpen() { return stream != nullptr; }
