// The PortAudio output stream (V19 interface): 44100 Hz, stereo, 32-bit float, 512 frames per
// buffer. It runs from start-up to shut-down and is only stopped around a new project; silence
// comes from the mixer. A machine without a sound device simply runs silent, and so does one
// whose ALSA configuration defines no device (PortAudio would abort on it).

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <climits>
#include <cstring>

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

// PCM definitions that PortAudio 19.6 leaves out of its device list.
bool PortAudioIgnores(const char* id) {
  for (const char* ignored : {"hw", "plughw", "plug", "dsnoop", "tee", "file", "null", "shm",
                              "cards", "rate_convert"}) {
    if (std::strcmp(id, ignored) == 0) return true;
  }
  return false;
}

// True when ALSA's configuration defines no PCM device that PortAudio would list. PortAudio
// 19.6 then fails an assertion in its device scan and ends the program, whether or not there are
// sound cards (their hardware devices alone do not save it). The cards are counted for the log.
bool AlsaListsNoDevice() {
  int cards = 0;
  for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) ++cards;
  int devices = 0;
  snd_config_t* pcms = nullptr;
  if (snd_config_update() >= 0 && snd_config != nullptr &&
      snd_config_search(snd_config, "pcm", &pcms) >= 0) {
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, pcms) {
      const char* id = nullptr;
      if (snd_config_get_id(snd_config_iterator_entry(i), &id) >= 0 && id != nullptr &&
          !PortAudioIgnores(id)) {
        ++devices;
      }
    }
  }
  if (devices > 0) return false;
  LogMessage("audio: ALSA defines no PCM device (%d sound cards), sound is off", cards);
  return true;
}

void OpenStream() {
  QuietSoundLibraries();
  if (!portAudioUp && AlsaListsNoDevice()) return;
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
