// The player drawing into a window of its host: a bare X11 window on the X server of DISPLAY
// (the test runs under xvfb-run), whose pixels are read back from the server.
#include "tests/player/PlayerFixture.h"

// After the test framework: Xlib defines macros (None, Bool, Status) that its headers use as names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;

bool GBadWindow = false;

int RecordError(Display *, XErrorEvent *event) {
  if (event->error_code == BadWindow) GBadWindow = true;
  return 0;
}

class PlayerWindowTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    FDisplay = XOpenDisplay(nullptr);
    ASSERT_NE(FDisplay, nullptr) << "no X server: run under xvfb-run";
    XSetErrorHandler(RecordError);
    HostWindow = XCreateSimpleWindow(FDisplay, DefaultRootWindow(FDisplay), 0, 0, Width, Height, 0,
                                     0, BlackPixel(FDisplay, DefaultScreen(FDisplay)));
    XSelectInput(FDisplay, HostWindow, StructureNotifyMask);
    XMapWindow(FDisplay, HostWindow);
    for (XEvent event; XNextEvent(FDisplay, &event), event.type != MapNotify;) {
    }
    // The fixture chose SDL's headless display; a host window needs the X11 one.
    Player.SetVideoDriver("x11");
  }
  void TearDown() override {
    Player.Stop(true);
    if (FDisplay) XCloseDisplay(FDisplay);
  }

  // The frame number shown in the window (the numbered clip fills it at its own size), or -1
  // when the window shows no picture (all black).
  int ShownNumber() {
    XImage *image = XGetImage(FDisplay, HostWindow, 0, 0, Width, Height, AllPlanes, ZPixmap);
    if (!image) return -1;
    bool lit = false;
    int number = 0;
    for (int bit = 0; bit < 10; ++bit) {
      const unsigned long pixel = XGetPixel(image, bit * 32 + 16, Height / 2);
      const bool white = ((pixel >> 8) & 0xff) > 128;  // the green channel
      if (white) number |= 1 << bit;
      lit = lit || white;
    }
    XDestroyImage(image);
    return lit ? number : -1;
  }

  // Waits until the window shows a picture for which `good` holds; the last number seen.
  template <typename Pred>
  int WaitForPicture(Pred good, std::chrono::milliseconds timeout) {
    const auto end = TClock::now() + timeout;
    int number = -1;
    while (TClock::now() < end) {
      number = ShownNumber();
      if (good(number)) break;
      std::this_thread::sleep_for(20ms);
    }
    return number;
  }

  bool WindowExists() {
    GBadWindow = false;
    XWindowAttributes attributes;
    XGetWindowAttributes(FDisplay, HostWindow, &attributes);
    XSync(FDisplay, False);
    return !GBadWindow;
  }

  Window HostWindow = 0;

 private:
  Display *FDisplay = nullptr;
};

TEST_F(PlayerWindowTest, DrawsIntoTheHostWindowSeeksAndLeavesTheWindowWhenClosed) {
  const std::string clip = NumberedClip(10.0);
  ASSERT_TRUE(Player.Open(UTF8ToWide(clip), HostWindow)) << Player.LastErrMsg();
  // Playing: the pictures go by in the window, which is the output area.
  const int playing = WaitForPicture([](int n) { return n > 5; }, 3s);
  EXPECT_GT(playing, 5);
  EXPECT_EQ(Player.ScreenWidth(), Width);
  EXPECT_EQ(Player.ScreenHeight(), Height);

  Player.Pause();
  Player.Seek(0, true, 5000000);
  const int seeked = WaitForPicture([](int n) { return n >= 120 && n <= 130; }, 2s);
  EXPECT_NEAR(seeked, 125, 1);

  Player.Stop(true);
  EXPECT_FALSE(Player.Playing());
  EXPECT_TRUE(WindowExists()) << "the host's window went with the player";

  // The same window takes the next file.
  ASSERT_TRUE(Player.Open(UTF8ToWide(clip), HostWindow, true)) << Player.LastErrMsg();
  EXPECT_LE(WaitForPicture([](int n) { return n >= 0 && n <= 1; }, 2s), 1);
}

// Every picture reaches the host's window in its turn: the play loop must not sleep through the
// refresh ticker's events (SDL's wake-up message for a host's window goes to the host, and the
// loop showed about four pictures a second while it waited for them).
TEST_F(PlayerWindowTest, PicturesReachTheHostWindowAtTheClipsRate) {
  ASSERT_TRUE(Player.Open(UTF8ToWide(NumberedClip(4.0)), HostWindow)) << Player.LastErrMsg();
  std::this_thread::sleep_for(3s);
  Player.Stop(true);
  int shown = 0;  // each picture shown reports its position: 40 ms on from the last one
  for (const TEventRecorder::TPosition &p : Events.Positions())
    shown += p.PTS >= 500000 && p.PTS < 2500000;
  EXPECT_GT(shown, 35) << "of the 50 pictures of those two seconds";
}

// The drivers of the other platform stand for this one's: the window system is X11 either way,
// and choosing one leaves nothing behind that a later Open would trip over.
TEST_F(PlayerWindowTest, VideoDriverChoicesOpenIntoTheWindow) {
  const std::string clip = NumberedClip(10.0);
  for (const TVideoDriver driver :
       {TVideoDriver::vdGDI, TVideoDriver::vdDirectDraw, TVideoDriver::vdDefault}) {
    SCOPED_TRACE(static_cast<int>(driver));
    Player.SetVideoDriver(driver);
    EXPECT_EQ(Player.VideoDriver(),
              driver == TVideoDriver::vdGDI ? TVideoDriver::vdDirectDraw : driver);
    if (driver == TVideoDriver::vdDefault) Player.SetVideoDriver("x11");
    ASSERT_TRUE(Player.Open(UTF8ToWide(clip), HostWindow, true)) << Player.LastErrMsg();
    EXPECT_GE(WaitForPicture([](int n) { return n >= 0; }, 2s), 0);
    Player.Stop(true);
  }
}

}  // namespace
