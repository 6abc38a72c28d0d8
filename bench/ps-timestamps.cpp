// Reads the timestamps an MPEG program stream (DVD, VCD, SVCD) holds, straight from its PES
// packet headers, without a demuxer or a parser in between: whether the file itself is right
// when a reader reports timestamps that go back.
//
//   ps-timestamps [-v] FILE
//
// Prints, per stream, the number of PES packets with a timestamp, and a line for every decoding
// time (the presentation time where no decoding time is written) that does not increase on the
// stream's last one.  With -v, every PES packet: stream, byte position, PTS, DTS, and for the
// private stream (AC-3, DTS, LPCM) the number of frames that begin in it and the first one's
// offset.  Exit status 0 when every stream's times increase, 1 when one does not, 2 when the file
// cannot be read as a program stream.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// A 33-bit time in the five bytes of a PES header field.
int64_t Timestamp(const uint8_t *b) {
  return (static_cast<int64_t>((b[0] >> 1) & 7) << 30) | (static_cast<int64_t>(b[1]) << 22) |
         (static_cast<int64_t>(b[2] >> 1) << 15) | (static_cast<int64_t>(b[3]) << 7) | (b[4] >> 1);
}

struct TPes {
  std::string Stream;
  size_t Position = 0;
  int64_t Pts = -1, Dts = -1;
  int Frames = -1, FirstFrame = -1;
};

bool Walk(const std::vector<uint8_t> &d, std::vector<TPes> &out) {
  size_t pos = 0;
  auto has = [&d](size_t at, size_t n) { return at + n <= d.size(); };
  while (has(pos, 4)) {
    if (d[pos] != 0 || d[pos + 1] != 0 || d[pos + 2] != 1) {
      std::fprintf(stderr, "no start code at byte %zu\n", pos);
      return false;
    }
    const uint8_t id = d[pos + 3];
    if (id == 0xB9) return true;  // program end
    if (id == 0xBA) {             // pack header (MPEG-2: 14 bytes and stuffing; MPEG-1: 12)
      if (!has(pos, 14)) return false;
      pos += (d[pos + 4] & 0xC0) == 0x40 ? 14 + (d[pos + 13] & 7) : 12;
      continue;
    }
    if (!has(pos, 6)) return false;
    const size_t length = (d[pos + 4] << 8) | d[pos + 5], body = pos + 6;
    if (!has(body, length)) return false;
    // System header, padding and private stream 2 carry no times.
    if (id != 0xBB && id != 0xBE && id != 0xBF && length >= 3) {
      TPes p;
      p.Position = pos;
      char name[8];
      std::snprintf(name, sizeof name, "%02x", id);
      p.Stream = name;
      size_t payload = body;
      if ((d[body] & 0xC0) == 0x80) {  // MPEG-2 PES header
        const uint8_t flags = d[body + 1];
        if (flags & 0x80) p.Pts = Timestamp(&d[body + 3]);
        if (flags & 0x40) p.Dts = Timestamp(&d[body + 8]);
        payload = body + 3 + d[body + 2];
      } else {  // MPEG-1: stuffing, buffer size, then the times
        while (payload < body + length && d[payload] == 0xFF) ++payload;
        if ((d[payload] & 0xC0) == 0x40) payload += 2;
        if ((d[payload] & 0xF0) == 0x20) {
          p.Pts = Timestamp(&d[payload]);
        } else if ((d[payload] & 0xF0) == 0x30) {
          p.Pts = Timestamp(&d[payload]);
          p.Dts = Timestamp(&d[payload + 5]);
        }
      }
      if (id == 0xBD && payload + 4 <= body + length) {
        std::snprintf(name, sizeof name, "bd/%02x", d[payload]);
        p.Stream = name;
        p.Frames = d[payload + 1];
        p.FirstFrame = (d[payload + 2] << 8) | d[payload + 3];
      }
      out.push_back(p);
    }
    pos = body + length;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  const bool verbose = argc == 3 && std::string(argv[1]) == "-v";
  if (argc != 2 && !verbose) {
    std::fprintf(stderr, "usage: ps-timestamps [-v] FILE\n");
    return 2;
  }
  std::ifstream in(argv[argc - 1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", argv[argc - 1]);
    return 2;
  }
  const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  std::vector<TPes> packets;
  if (!Walk(data, packets)) {
    std::fprintf(stderr, "%s: not a whole MPEG program stream\n", argv[argc - 1]);
    return 2;
  }
  std::map<std::string, int64_t> last;
  std::map<std::string, int> counts;
  int back = 0;
  for (const TPes &p : packets) {
    if (verbose)
      std::printf("%s %zu pts=%lld dts=%lld frames=%d first=%d\n", p.Stream.c_str(), p.Position,
                  static_cast<long long>(p.Pts), static_cast<long long>(p.Dts), p.Frames,
                  p.FirstFrame);
    const int64_t t = p.Dts >= 0 ? p.Dts : p.Pts;
    if (t < 0) continue;
    ++counts[p.Stream];
    const auto it = last.find(p.Stream);
    if (it != last.end() && t <= it->second) {
      ++back;
      std::printf("stream %s: %lld after %lld at byte %zu\n", p.Stream.c_str(),
                  static_cast<long long>(t), static_cast<long long>(it->second), p.Position);
    }
    last[p.Stream] = t;
  }
  for (const auto &[stream, count] : counts)
    std::printf("stream %s: %d timed packets\n", stream.c_str(), count);
  std::printf("%d times not increasing\n", back);
  return back ? 1 : 0;
}
