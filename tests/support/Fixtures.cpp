#include "tests/support/Fixtures.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace fixtures {

namespace fs = std::filesystem;

TCommandResult Run(const std::string &command) {
  TCommandResult result;
  FILE *pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) result.Output.append(buf.data(), n);
  const int status = pclose(pipe);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const std::string &text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Make(const std::string &name, const std::string &ffmpegArgs) {
  const fs::path dir = MORVANE_FIXTURE_DIR;
  const fs::path target = dir / name;
  if (fs::exists(target)) return target.string();
  fs::create_directories(dir);
  const fs::path temp = dir / (".tmp-" + std::to_string(getpid()) + "-" + name);
  const TCommandResult r =
      Run("ffmpeg -nostdin -y -v error " + ffmpegArgs + " " + Quote(temp.string()));
  if (r.ExitCode != 0) {
    fs::remove(temp);
    throw std::runtime_error("making fixture " + name + " failed: " + r.Output);
  }
  fs::rename(temp, target);
  return target.string();
}

std::string Clip(double seconds, int width, int height, int rate) {
  char name[128], args[512];
  snprintf(name, sizeof name, "clip-%gs-%dx%d-%d.mp4", seconds, width, height, rate);
  snprintf(args, sizeof args,
           "-f lavfi -i testsrc=size=%dx%d:rate=%d:duration=%g "
           "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=%g "
           "-ac 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 96k -shortest",
           width, height, rate, seconds, seconds);
  return Make(name, args);
}

std::string AudioMp3(double seconds) {
  char name[64], args[512];
  snprintf(name, sizeof name, "audio-%gs.mp3", seconds);
  snprintf(args, sizeof args,
           "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=%g -ac 2 -c:a libmp3lame "
           "-b:a 128k -id3v2_version 3 -metadata title=Tone -metadata artist=Morvane "
           "-metadata album=Fixtures",
           seconds);
  return Make(name, args);
}

std::string CornerClip(int rotateTag) {
  const std::string upright =
      Make("corner.mp4",
           "-f lavfi -i color=black:size=64x36:rate=10:duration=1 "
           "-vf drawbox=x=0:y=0:w=16:h=12:color=white:t=fill -c:v libx264 -preset ultrafast "
           "-pix_fmt yuv420p");
  if (rotateTag == 0) return upright;
  return Make(
      "corner-rotate" + std::to_string(rotateTag) + ".mp4",
      "-i " + Quote(upright) + " -c copy -metadata:s:v rotate=" + std::to_string(rotateTag));
}

std::string CoverArtMp3() {
  return Make("cover-art.mp3",
              "-f lavfi -i sine=duration=1 -f lavfi -i color=red:size=64x64:duration=0.04 "
              "-map 0 -map 1 -ac 2 -c:a libmp3lame -c:v mjpeg -disposition:v attached_pic "
              "-frames:v 1 -id3v2_version 3");
}

std::string ClockJumpMkv() {
  return Make("clock-jump-1000h.mkv",
              "-f lavfi -i testsrc=size=64x48:rate=10:duration=3 "
              "-f lavfi -i sine=duration=3:sample_rate=22050 -vf setpts=PTS+3600000/TB "
              "-fps_mode passthrough -c:v mpeg4 -c:a mp2");
}

std::string FaststartClip() {
  return Make("faststart-5s.mp4",
              "-f lavfi -i testsrc2=size=320x240:rate=25:duration=5 -c:v libx264 "
              "-movflags +faststart");
}

std::string Probe(const std::string &file, const std::string &entries, const std::string &streams) {
  std::string cmd = "ffprobe -v error ";
  if (!streams.empty()) cmd += "-select_streams " + streams + " ";
  cmd += "-show_entries " + entries + " -of default=noprint_wrappers=1:nokey=1 " + Quote(file);
  TCommandResult r = Run(cmd);
  while (!r.Output.empty() && (r.Output.back() == '\n' || r.Output.back() == '\r'))
    r.Output.pop_back();
  return r.Output;
}

TTempDir::TTempDir() {
  std::random_device rd;
  FPath = fs::temp_directory_path() /
          ("morvane-test-" + std::to_string(getpid()) + "-" + std::to_string(rd()));
  fs::create_directories(FPath);
}

TTempDir::~TTempDir() {
  std::error_code ec;
  fs::remove_all(FPath, ec);
}

}  // namespace fixtures
