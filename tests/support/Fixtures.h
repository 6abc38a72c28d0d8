// Test media made at test time with the ffmpeg tool, and small helpers around files and commands.
#pragma once

#include <filesystem>
#include <string>

namespace fixtures {

// Output and exit status of a shell command.
struct TCommandResult {
  int ExitCode = -1;
  std::string Output;  // stdout and stderr together
};
TCommandResult Run(const std::string &command);

// Quotes a text for the shell.
std::string Quote(const std::string &text);

// Makes `name` in the shared fixture folder with "ffmpeg -y -v error <ffmpegArgs> <path>" unless
// it is there already, and returns its path.  Safe when several test processes ask at once (the
// file is written under a temporary name and renamed).  Throws std::runtime_error on failure.
std::string Make(const std::string &name, const std::string &ffmpegArgs);

// Common clips.  Each takes about a second or less to make.
std::string Clip(double seconds = 2.0, int width = 320, int height = 240,
                 int rate = 25);             // H.264+AAC MP4
std::string AudioMp3(double seconds = 2.0);  // stereo 44.1 kHz MP3 with ID3v2 tags

// A 64x36 H.264 MP4 (1 s, 10 fps) with a white 16x12 block in the top left corner of a black
// picture, whose display matrix turns it by `rotateTag` degrees as the ffmpeg tool's "rotate"
// metadata sets it (the matrix is written by a stream copy, since the tool writes none when it
// encodes).  0 gives no display matrix.
std::string CornerClip(int rotateTag);

// A 1 s stereo MP3 with a 64x64 JPEG cover picture attached.
std::string CoverArtMp3();

// Video 3 s long (10 fps) whose timestamps start 1000 hours after its sound's, in a container
// that does not declare timestamp jumps (Matroska).
std::string ClockJumpMkv();

// A 5 s H.264 MP4 with B-frames, its index before the data, for cutting short.
std::string FaststartClip();

// ffprobe's view of one value, for example Probe(file, "format=duration").
std::string Probe(const std::string &file, const std::string &entries,
                  const std::string &streams = "");

// A temporary folder removed with everything in it when the object goes.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir &) = delete;
  TTempDir &operator=(const TTempDir &) = delete;
  const std::filesystem::path &Path() const { return FPath; }
  std::string operator/(const std::string &name) const { return (FPath / name).string(); }

 private:
  std::filesystem::path FPath;
};

}  // namespace fixtures
