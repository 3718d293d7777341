// Loading sounds: sample conversion, resampling, the overview, the wave table, and the WAV
// reader's chunk walk, formats and refusals.

#include <cmath>
#include <limits>

#include "audio/wav_reader.h"
#include "tests/allocation_fault.h"
#include "tests/audio_fixtures.h"

namespace {

using namespace audiotest;

class AudioWave : public AudioTest {
 protected:
  // Loads bytes as a clip's sound; the wave, or null when refused.
  Wave* Load(const std::vector<uint8_t>& bytes, const char* name = "sound.wav") {
    Write(name, bytes);
    Clip clip;
    CopyName(clip.fileName, kFileNameSize, name);
    return LoadSample(clip) ? clip.wave : nullptr;
  }
};

// Decodes bytes with the pure reader; samples and the reason of a refusal.
struct Decoded {
  bool ok = false;
  WavFormat format;
  WavSamples samples;
  WavProblem problem;
};
Decoded Decode(const std::vector<uint8_t>& bytes) {
  Decoded d;
  d.ok = ReadWavFormat(bytes.data(), bytes.size(), d.format, d.problem) &&
         DecodeWavSamples(bytes.data(), bytes.size(), d.format, d.samples, d.problem);
  return d;
}

TEST_F(AudioWave, SamplesConvertToFloatWithTheImportGain) {
  Wave* eight = Load(CanonicalWav(1, 44100, 8, {128, 255, 0}), "eight.wav");
  ASSERT_NE(eight, nullptr);
  ASSERT_EQ(eight->length, 3);
  EXPECT_EQ(eight->left[0], 0.0f);
  EXPECT_FLOAT_EQ(eight->left[1], 0.33f * 127.0f / 128.0f);
  EXPECT_FLOAT_EQ(eight->left[2], -0.33f);
  EXPECT_EQ(eight->right, eight->left) << "a mono wave shares one array";

  Wave* sixteen = Load(Wav16({0, -32768, 32767}), "sixteen.wav");
  ASSERT_NE(sixteen, nullptr);
  EXPECT_EQ(sixteen->left[0], 0.0f);
  EXPECT_FLOAT_EQ(sixteen->left[1], -0.33f);
  EXPECT_FLOAT_EQ(sixteen->left[2], 0.33f * 32767.0f / 32768.0f);
  EXPECT_STREQ(sixteen->name, "sixteen.wav");

  Wave* stereo = Load(Wav16({16384, -16384, 0, 8192}, 2), "stereo.wav");
  ASSERT_NE(stereo, nullptr);
  ASSERT_EQ(stereo->length, 2);
  EXPECT_NE(stereo->right, stereo->left);
  EXPECT_FLOAT_EQ(stereo->left[0], 0.165f);
  EXPECT_FLOAT_EQ(stereo->right[0], -0.165f);
  EXPECT_FLOAT_EQ(stereo->right[1], 0.0825f);
}

TEST_F(AudioWave, HalfRateSoundsDoubleInLengthKeepingTheFirstFrame) {
  std::vector<int16_t> ramp;
  for (int i = 0; i < 100; ++i) ramp.push_back(static_cast<int16_t>(i * 300 - 15000));
  Wave* wave = Load(Wav16(ramp, 1, 22050));
  ASSERT_NE(wave, nullptr);
  ASSERT_EQ(wave->length, 200);
  auto in = [&](int i) { return 0.33f * (ramp[static_cast<size_t>(i)] / 32768.0f); };
  EXPECT_EQ(wave->left[0], in(0));
  EXPECT_FLOAT_EQ(wave->left[199], in(99));
  // Output frame k sits at t = k / 199 * 99 between input frames i and i + 1.
  for (int k : {1, 2, 57, 120, 198}) {
    const double t = k / 199.0 * 99.0;
    const double i = std::nearbyint(t - 0.5);
    const double f = t - i;
    EXPECT_FLOAT_EQ(wave->left[k], static_cast<float>((1 - f) * in(static_cast<int>(i)) +
                                                       f * in(static_cast<int>(i) + 1)))
        << "frame " << k;
  }
  // Stereo channels resample with the same positions.
  Wave* stereo = Load(Wav16({100, -100, 200, -200, 300, -300}, 2, 11025), "stereo.wav");
  ASSERT_NE(stereo, nullptr);
  ASSERT_EQ(stereo->length, 12);
  for (int k = 0; k < 12; ++k) EXPECT_FLOAT_EQ(stereo->right[k], -stereo->left[k]);
}

TEST_F(AudioWave, OverviewHasEightColumnsPerFrameAtTheFpsOfLoading) {
  // One second: a quiet quarter-scale first half, silence after.
  std::vector<int16_t> samples(44100, 0);
  for (int i = 0; i < 22050; ++i) samples[static_cast<size_t>(i)] = 8192;
  Wave* wave = Load(Wav16(samples), "second.wav");
  ASSERT_NE(wave, nullptr);
  ASSERT_EQ(wave->overviewLength, 240);
  // 7 ln(1 + 9 x 0.25) = 8.25
  EXPECT_EQ(wave->overview[0], 8);
  EXPECT_EQ(wave->overview[119], 8);
  EXPECT_EQ(wave->overview[121], 1);
  EXPECT_EQ(wave->overview[239], 1);

  project.fps = 60;
  Wave* later = Load(Wav16(std::vector<int16_t>(44100, -32768)), "loud.wav");
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(later->overviewLength, 480);
  EXPECT_EQ(later->overview[479], kOverviewMaxHeight) << "a full-scale sample is cut to 14";
  EXPECT_EQ(wave->overviewLength, 240) << "changing the fps does not rebuild an overview";
}

TEST_F(AudioWave, ShortAndEmptySoundsHaveSixteenColumns) {
  Wave* empty = Load(Wav16({}), "empty.wav");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->length, 0);
  ASSERT_EQ(empty->overviewLength, 16);
  for (int c = 0; c < 16; ++c) EXPECT_EQ(empty->overview[c], 1);

  Wave* click = Load(Wav16(std::vector<int16_t>(10, 32767)), "click.wav");
  ASSERT_NE(click, nullptr);
  ASSERT_EQ(click->overviewLength, 16);
  EXPECT_EQ(click->overview[0], kOverviewMaxHeight);
  for (int c = 1; c < 16; ++c) EXPECT_EQ(click->overview[c], 1) << "column " << c;
}

TEST(AudioOverview, LongSoundsKeepTheirColumnsInRange) {
  // 210 s at 60 fps: c x 44100 and length x fps x 8 pass 2^31 long before the end.
  const int64_t length = int64_t{44100} * 210;
  std::vector<float> samples(static_cast<size_t>(length), 0.0f);
  samples[static_cast<size_t>(length - 10)] = 0.33f;
  const std::vector<uint8_t> overview = BuildOverview(samples.data(), samples.data(), length, 60);
  ASSERT_EQ(overview.size(), 210u * 60 * 8);
  EXPECT_EQ(overview.back(), kOverviewMaxHeight);
  EXPECT_EQ(overview[overview.size() - 2], 1);
}

TEST_F(AudioWave, MissingOrUnreadableFilesAddNoWave) {
  Clip clip;
  CopyName(clip.fileName, kFileNameSize, "absent.wav");
  EXPECT_FALSE(LoadSample(clip));
  EXPECT_EQ(clip.wave, nullptr);
  CopyName(clip.fileName, kFileNameSize, "");  // the work directory itself
  EXPECT_FALSE(LoadSample(clip));
  std::vector<uint8_t> adpcm;
  PutChunk(adpcm, "fmt ", FormatBody(2, 1, 44100, 4));
  PutChunk(adpcm, "data", std::vector<uint8_t>(64, 0x11));
  EXPECT_EQ(Load(Riff(adpcm)), nullptr);
  EXPECT_EQ(WaveCount(), 0);
  EXPECT_EQ(GetWave("absent.wav"), nullptr);
}

TEST(AudioWavReader, ChunksAroundTheDataAreWalkedById) {
  const std::vector<uint8_t> samples = Pcm16Bytes({1000, -2000, 3000, -4000});
  const Decoded canonical = Decode(CanonicalWav(2, 44100, 16, samples));
  ASSERT_TRUE(canonical.ok);
  EXPECT_EQ(canonical.format.dataOffset, 44u);
  EXPECT_EQ(canonical.format.frameCount, 2);

  std::vector<uint8_t> chunks;
  PutChunk(chunks, "JUNK", std::vector<uint8_t>(28, 0));
  PutChunk(chunks, "bext", std::vector<uint8_t>(13, 'b'));  // odd: padded to 14
  PutChunk(chunks, "fmt ", FormatBody(1, 2, 44100, 16, 2));  // 18-byte format chunk
  PutChunk(chunks, "fact", {4, 0, 0, 0});
  PutChunk(chunks, "LIST", std::vector<uint8_t>(21, 'i'));
  PutChunk(chunks, "data", samples);
  PutChunk(chunks, "id3 ", std::vector<uint8_t>(9, 0));
  const Decoded tooled = Decode(Riff(chunks));
  ASSERT_TRUE(tooled.ok) << tooled.problem.message;
  EXPECT_EQ(tooled.samples.left, canonical.samples.left);
  EXPECT_EQ(tooled.samples.right, canonical.samples.right);

  // A format chunk of 40 bytes whose extra bytes are not a whole number of words still leaves
  // the next chunk where its padding says.
  std::vector<uint8_t> oddFormat;
  PutChunk(oddFormat, "fmt ", FormatBody(1, 2, 44100, 16, 3));
  PutChunk(oddFormat, "data", samples);
  const Decoded odd = Decode(Riff(oddFormat));
  ASSERT_TRUE(odd.ok);
  EXPECT_EQ(odd.samples.left, canonical.samples.left);
}

TEST(AudioWavReader, WiderIntegerAndFloatSamplesScaleToOneBeforeTheGain) {
  // 24-bit: -2^23, 2^22, -1.
  const Decoded s24 = Decode(CanonicalWav(1, 44100, 24, {0x00, 0x00, 0x80, 0x00, 0x00, 0x40, 0xFF, 0xFF, 0xFF}));
  ASSERT_TRUE(s24.ok);
  EXPECT_FLOAT_EQ(s24.samples.left[0], -0.33f);
  EXPECT_FLOAT_EQ(s24.samples.left[1], 0.165f);
  EXPECT_FLOAT_EQ(s24.samples.left[2], -0.33f / 8388608.0f);

  // 32-bit integer: -2^31, 2^30.
  const Decoded s32 = Decode(CanonicalWav(1, 44100, 32, {0, 0, 0, 0x80, 0, 0, 0, 0x40}));
  ASSERT_TRUE(s32.ok);
  EXPECT_FLOAT_EQ(s32.samples.left[0], -0.33f);
  EXPECT_FLOAT_EQ(s32.samples.left[1], 0.165f);

  // 12-bit samples sit left-justified in 16-bit containers.
  const Decoded s12 = Decode(CanonicalWav(1, 44100, 12, Pcm16Bytes({-32768, 16384})));
  ASSERT_TRUE(s12.ok);
  EXPECT_FLOAT_EQ(s12.samples.left[0], -0.33f);
  EXPECT_FLOAT_EQ(s12.samples.left[1], 0.165f);

  // 32-bit float, with values outside -1..1 and a NaN brought back into range.
  const float floats[] = {0.5f, -1.0f, 2.0f, std::numeric_limits<float>::quiet_NaN()};
  std::vector<uint8_t> floatBytes(sizeof floats);
  std::memcpy(floatBytes.data(), floats, sizeof floats);
  std::vector<uint8_t> floatChunks;
  PutChunk(floatChunks, "fmt ", FormatBody(3, 2, 44100, 32));
  PutChunk(floatChunks, "data", floatBytes);
  const Decoded f32 = Decode(Riff(floatChunks));
  ASSERT_TRUE(f32.ok);
  EXPECT_FLOAT_EQ(f32.samples.left[0], 0.165f);
  EXPECT_FLOAT_EQ(f32.samples.right[0], -0.33f);
  EXPECT_FLOAT_EQ(f32.samples.left[1], 0.33f);
  EXPECT_EQ(f32.samples.right[1], 0.0f);

  const double doubles[] = {0.25, -0.5};
  std::vector<uint8_t> doubleBytes(sizeof doubles);
  std::memcpy(doubleBytes.data(), doubles, sizeof doubles);
  std::vector<uint8_t> doubleChunks;
  PutChunk(doubleChunks, "fmt ", FormatBody(3, 1, 44100, 64));
  PutChunk(doubleChunks, "data", doubleBytes);
  const Decoded f64 = Decode(Riff(doubleChunks));
  ASSERT_TRUE(f64.ok);
  EXPECT_FLOAT_EQ(f64.samples.left[1], -0.165f);

  // WAVE_FORMAT_EXTENSIBLE with PCM and with float inside.
  std::vector<uint8_t> extPcm;
  PutChunk(extPcm, "fmt ", ExtensibleBody(1, 2, 44100, 16));
  PutChunk(extPcm, "data", Pcm16Bytes({-32768, 16384}));
  const Decoded pcm = Decode(Riff(extPcm));
  ASSERT_TRUE(pcm.ok);
  EXPECT_FLOAT_EQ(pcm.samples.left[0], -0.33f);
  EXPECT_FLOAT_EQ(pcm.samples.right[0], 0.165f);
  std::vector<uint8_t> extFloat;
  PutChunk(extFloat, "fmt ", ExtensibleBody(3, 2, 44100, 32));
  PutChunk(extFloat, "data", floatBytes);
  const Decoded ef = Decode(Riff(extFloat));
  ASSERT_TRUE(ef.ok);
  EXPECT_EQ(ef.samples.left, f32.samples.left);
}

TEST(AudioWavReader, MoreThanTwoChannelsKeepTheFirstTwo) {
  const Decoded quad = Decode(Wav16({100, 200, 300, 400, 500, 600, 700, 800}, 4));
  ASSERT_TRUE(quad.ok);
  ASSERT_EQ(quad.samples.length, 2);
  EXPECT_FLOAT_EQ(quad.samples.left[1], 0.33f * 500 / 32768);
  EXPECT_FLOAT_EQ(quad.samples.right[1], 0.33f * 600 / 32768);
}

TEST(AudioWavReader, UnsupportedOrBrokenFilesAreRefused) {
  auto refusedWith = [](const std::vector<uint8_t>& bytes, const char* message) {
    const Decoded d = Decode(bytes);
    EXPECT_FALSE(d.ok);
    return d.problem.message != nullptr && std::strcmp(d.problem.message, message) == 0;
  };
  auto withFormat = [](const std::vector<uint8_t>& format, size_t dataBytes = 16) {
    std::vector<uint8_t> chunks;
    PutChunk(chunks, "fmt ", format);
    PutChunk(chunks, "data", std::vector<uint8_t>(dataBytes, 0x40));
    return Riff(chunks);
  };
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(2, 1, 44100, 4)), "unsupported compression format (%i)"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(7, 1, 8000, 8)), "unsupported compression format (%i)"));
  std::vector<uint8_t> oddGuid = ExtensibleBody(1, 1, 44100, 16);
  oddGuid.back() ^= 0xFF;
  EXPECT_TRUE(refusedWith(withFormat(oddGuid), "unsupported compression format (%i)"));
  EXPECT_TRUE(refusedWith(withFormat(ExtensibleBody(2, 1, 44100, 16)), "unsupported compression format (%i)"));
  std::vector<uint8_t> shortExtensible = FormatBody(0xFFFE, 1, 44100, 16, 2);
  EXPECT_TRUE(refusedWith(withFormat(shortExtensible), "extensible format chunk too short (%i bytes)"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(3, 1, 44100, 16)), "unsupported float sample size (%i bits)"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(1, 0, 44100, 16)), "no channels"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(1, 1, 44100, 4)), "unsupported sample size (%i bits)"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(1, 1, 44100, 0)), "unsupported sample size (%i bits)"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(1, 1, 44100, 40)), "unsupported sample size (%i bits)"));
  EXPECT_TRUE(refusedWith(withFormat(FormatBody(1, 1, 0, 16)), "unsupported sample rate (%i)"));
  std::vector<uint8_t> shortFormat = FormatBody(1, 1, 44100, 16);
  shortFormat.resize(14);
  EXPECT_TRUE(refusedWith(withFormat(shortFormat), "format chunk too short (%i bytes)"));

  std::vector<uint8_t> noFormat;
  PutChunk(noFormat, "data", std::vector<uint8_t>(8, 0));
  EXPECT_TRUE(refusedWith(Riff(noFormat), "missing fmt chunk"));
  std::vector<uint8_t> noData;
  PutChunk(noData, "fmt ", FormatBody(1, 1, 44100, 16));
  PutChunk(noData, "LIST", std::vector<uint8_t>(8, 0));
  EXPECT_TRUE(refusedWith(Riff(noData), "missing data chunk"));
  EXPECT_TRUE(refusedWith({}, "not a RIFF WAVE file"));
  std::vector<uint8_t> rifx = Wav16({1, 2});
  rifx[3] = 'X';
  EXPECT_TRUE(refusedWith(rifx, "not a RIFF WAVE file"));
  std::vector<uint8_t> avi = Wav16({1, 2});
  std::memcpy(avi.data() + 8, "AVI ", 4);
  EXPECT_TRUE(refusedWith(avi, "not a RIFF WAVE file"));
}

TEST(AudioWavReader, ADataSizeBeyondTheFileUsesTheSamplesThatAreThere) {
  std::vector<uint8_t> bytes = Wav16({1000, 2000, 3000});
  bytes.push_back(0x55);  // half a frame
  bytes[40] = 0xFF;       // data size: 0xFFFF00xx, far beyond the file
  bytes[41] = 0xFF;
  bytes[43] = 0xFF;
  const Decoded d = Decode(bytes);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.format.frameCount, 3);
  EXPECT_FLOAT_EQ(d.samples.left[2], 0.33f * 3000 / 32768);
}

TEST(AudioWavReader, SoundsTooShortToInterpolateStayWithinTheirArrays) {
  const Decoded one = Decode(Wav16({16384}, 1, 22050));  // one frame in, two out
  ASSERT_TRUE(one.ok);
  ASSERT_EQ(one.samples.length, 2);
  EXPECT_FLOAT_EQ(one.samples.left[0], 0.165f);
  EXPECT_FLOAT_EQ(one.samples.left[1], 0.165f);

  const Decoded oneOut = Decode(Wav16({16384, 0}, 1, 96000));  // two in, one out
  ASSERT_TRUE(oneOut.ok);
  ASSERT_EQ(oneOut.samples.length, 1);
  EXPECT_FLOAT_EQ(oneOut.samples.left[0], 0.165f);

  const Decoded none = Decode(Wav16({16384}, 1, 192000));  // one in, none out
  ASSERT_TRUE(none.ok);
  EXPECT_EQ(none.samples.length, 0);
  const Decoded empty = Decode(Wav16({}, 2, 8000));
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.samples.length, 0);
}

TEST(AudioWavReader, AHeaderCannotAskForAnHourOfSamples) {
  // 4000 frames at 1 Hz would become 176 million frames at 44100 Hz: no sound file has that
  // rate, and it is refused as such before anything is allocated.
  const Decoded slow = Decode(Wav16(std::vector<int16_t>(4000, 1), 1, 1));
  EXPECT_FALSE(slow.ok);
  EXPECT_STREQ(slow.problem.message, "unsupported sample rate (%i)");
  EXPECT_TRUE(slow.samples.left.empty());
  // At the lowest rate a file may have, 3.7 million frames would still last over an hour.
  const Decoded long8 = Decode(CanonicalWav(1, kMinSampleRate, 8, std::vector<uint8_t>(3700000, 128)));
  EXPECT_FALSE(long8.ok);
  EXPECT_STREQ(long8.problem.message, "sound too long");
  EXPECT_TRUE(long8.samples.left.empty());
  EXPECT_EQ(ResampledLength(10, 22050), 20);
  EXPECT_EQ(ResampledLength(3, 88200), 2) << "1.5 rounds to even";
}

// A 14 KB file once asked for 2.6 GB. Rates no sound file has are refused like a compressed
// file; at the rates a file may have, what a sound takes follows from the file's size.
TEST(AudioWavReader, OnlyRatesFrom1000To768000HzAreRead) {
  const std::vector<int16_t> stereoHour(2 * 3600, 100);  // 3600 stereo frames: 14 KB
  for (int rate : {1, kMinSampleRate - 1, kMaxSampleRate + 1, 100000000}) {
    const Decoded d = Decode(Wav16(stereoHour, 2, rate));
    EXPECT_FALSE(d.ok) << rate;
    EXPECT_STREQ(d.problem.message, "unsupported sample rate (%i)") << rate;
    EXPECT_TRUE(d.samples.left.empty() && d.samples.right.empty());
  }
  for (int rate : {kMinSampleRate, kMaxSampleRate}) {
    const Decoded d = Decode(Wav16(stereoHour, 2, rate));
    ASSERT_TRUE(d.ok) << rate;
    EXPECT_EQ(d.samples.length, ResampledLength(3600, rate));
    EXPECT_LE(d.samples.left.size(), 3600u * 441 / 10) << "at most 44.1 frames per frame read";
  }
}

TEST_F(AudioWave, ARefusedRateOrMemoryRunningOutLeavesNoWaveAndSaysWhy) {
  EXPECT_EQ(Load(Wav16(std::vector<int16_t>(2 * 3600, 100), 2, 1), "slow.wav"), nullptr);
  EXPECT_EQ(LastSoundProblem(), SoundProblem::kNotUncompressedWav);
  EXPECT_STREQ(LastSoundProblemText(), "unsupported sample rate (1)");

  // Ten seconds need 1.7 MB of samples; with no more than 1 MB to be had the load is refused,
  // the program goes on, and the same file loads once memory is there again.
  Write("long.wav", Wav16(std::vector<int16_t>(441000, 100)));
  {
    testalloc::RefuseLargeAllocations scarce(1 << 20);
    EXPECT_EQ(InsertAudioClip("long.wav", 0, 0), -1);
  }
  EXPECT_EQ(LastSoundProblem(), SoundProblem::kNoMemory);
  EXPECT_STREQ(LastSoundProblemText(), "not enough memory");
  EXPECT_EQ(WaveCount(), 0);
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(InsertAudioClip("long.wav", 0, 0), 0);
  EXPECT_EQ(LastSoundProblem(), SoundProblem::kNone);
  EXPECT_EQ(GetClip(0)->wave->length, 441000);

  // Redrawing the overviews for a new frame rate without memory keeps the old ones whole.
  const int32_t columns = GetClip(0)->wave->overviewLength;
  project.fps = 44100;
  {
    testalloc::RefuseLargeAllocations scarce(1 << 20);
    RetimeClips();
  }
  EXPECT_EQ(GetClip(0)->wave->overviewLength, columns);
  EXPECT_EQ(GetClip(0)->wave->overviewData.size(), static_cast<size_t>(columns));
}

}  // namespace
