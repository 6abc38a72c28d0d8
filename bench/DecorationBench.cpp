// Frames per second of the frame decoration on 1280 x 720 frames, on one thread: all three steps
// together and each step alone, against the peer every decorated frame pays for anyway, the
// conversion of the decoded picture to the 24-bit bitmap and back.
//
//   decoration-fps [FRAMES]      (default 200)
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "editors/decoration/FrameDecoration.h"
#include "editors/decoration/OffscreenGui.h"
#include "services/FFmpegLoader.h"
#include "services/RgbConverter.h"

namespace {

constexpr int Width = 1280, Height = 720;

// A decoded picture with some detail in every plane.
TFramePtr SourcePicture() {
  TFramePtr f(ff::av_frame_alloc());
  f->width = Width;
  f->height = Height;
  f->format = AV_PIX_FMT_YUV420P;
  if (ff::av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
  for (int p = 0; p < 3; ++p) {
    const int h = p ? Height / 2 : Height, w = p ? Width / 2 : Width;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) f->data[p][y * f->linesize[p] + x] = (x * (p + 1) + y * 3) & 0xFF;
  }
  return f;
}

std::string WritePicture(const std::filesystem::path &folder) {
  QImage image(320, 120, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, qRgb(x & 0xFF, y * 2, 255 - x / 2));
  const std::string name = "morvane-decoration-" + std::to_string(getpid()) + ".bmp";
  const std::string path = (folder / name).string();
  return image.save(QString::fromStdString(path), "BMP") ? path : std::string();
}

// One thing measured: its work on one frame and the time each frame took.
struct TCase {
  TCase(const char *name, std::function<void(TBitmap &)> work)
      : Name(name), Work(std::move(work)) {}
  const char *Name;
  std::function<void(TBitmap &)> Work;
  std::vector<double> Seconds;
  double Median() {
    std::sort(Seconds.begin(), Seconds.end());
    return Seconds[Seconds.size() / 2];
  }
};

// Runs the cases in turns of ten frames each until every case has had `frames` frames, each on
// a fresh copy of `source` (the copy is not timed).  Taking turns spreads the machine's other
// load evenly over the cases, and the median per-frame time ignores the frames it hit hardest.
void Measure(std::vector<TCase> &cases, int frames, const TBitmap &source) {
  using clock = std::chrono::steady_clock;
  TBitmap frame = source;
  for (int done = 0; done < frames; done += 10)
    for (TCase &c : cases)
      for (int i = done; i < std::min(frames, done + 10); ++i) {
        frame = source;
        const auto start = clock::now();
        c.Work(frame);
        c.Seconds.push_back(std::chrono::duration<double>(clock::now() - start).count());
      }
}

}  // namespace

int main(int argc, char **argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  TOffscreenGui gui;
  if (!FFLoader().LoadLibs(EncoderLibs)) {
    std::fprintf(stderr, "decoration-fps: %s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  TFramePtr picture = SourcePicture();
  TRgbConverter converter;
  if (!picture || !converter.ToBitmap(picture.get())) {
    std::fprintf(stderr, "decoration-fps: cannot make the test picture\n");
    return 1;
  }
  const TBitmap source = converter.Bitmap();

  TlvFilesRecord all;
  all.Brightness = 300;
  all.Contrast = 20;
  all.Saturation = 320;
  all.Exposure = 60;
  all.MarkText = "Morvane MP4 Video Converter";
  all.MarkFont.Name = "DejaVu Sans";
  all.MarkFont.Size = 28;
  all.MarkFont.Color = 0x00FFFF;
  all.MarkTextX = 40;
  all.MarkTextY = 40;
  all.MarkImage = WritePicture(std::filesystem::temp_directory_path());
  all.MarkImageX = 900;
  all.MarkImageY = 560;
  all.MarkImageAlpha = 168;
  all.MarkImageStyle = 1;
  all.EffectOnText = all.EffectOnImage = true;  // the effects run over the whole frame last
  if (all.MarkImage.empty()) {
    std::fprintf(stderr, "decoration-fps: cannot write the watermark picture\n");
    return 1;
  }

  TlvFilesRecord effects, text, image;
  effects.Brightness = all.Brightness;
  effects.Contrast = all.Contrast;
  effects.Saturation = all.Saturation;
  effects.Exposure = all.Exposure;
  text.MarkText = all.MarkText;
  text.MarkFont = all.MarkFont;
  text.MarkTextX = all.MarkTextX;
  text.MarkTextY = all.MarkTextY;
  image.MarkImage = all.MarkImage;
  image.MarkImageX = all.MarkImageX;
  image.MarkImageY = all.MarkImageY;
  image.MarkImageAlpha = all.MarkImageAlpha;

  auto report = [](const std::string &m) { std::fprintf(stderr, "%s\n", m.c_str()); };
  TRowDecoration decorateAll(all, report), decorateEffects(effects, report),
      decorateText(text, report), decorateImage(image, report);
  std::vector<TCase> cases = {
      {"peer: picture to bitmap and back",
       [&](TBitmap &) {
         converter.ToBitmap(picture.get());
         converter.FromBitmap(picture.get());
       }},
      {"all three steps", [&](TBitmap &f) { decorateAll.Decorate(f); }},
      {"effects (colours and exposure)", [&](TBitmap &f) { decorateEffects.Decorate(f); }},
      {"text", [&](TBitmap &f) { decorateText.Decorate(f); }},
      {"picture (320 x 120, style 1)", [&](TBitmap &f) { decorateImage.Decorate(f); }},
  };
  Measure(cases, frames, source);

  std::printf("%d frames of %d x %d each, one thread (median frame time)\n", frames, Width, Height);
  std::printf("%-34s %10s %12s\n", "", "fps", "x peer time");
  const double peer = cases[0].Median();
  for (TCase &c : cases)
    std::printf("%-34s %10.1f %12.2f\n", c.Name, 1 / c.Median(), c.Median() / peer);
  std::filesystem::remove(all.MarkImage);
  return 0;
}
