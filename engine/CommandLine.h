// The engine's ffmpeg-style command line: options are given to the engine as they come, so the
// options before an "-i" configure that input and the options before an output name configure
// that output; "-join" concatenates the inputs into the next output.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TCustomFFmpeg;

// What the command line does with the file names it meets.  The program opens them on the
// engine; a check of the option parsing alone (the fuzz harness) takes them without opening.
struct TCommandLineFiles {
  std::function<bool(const std::string &input)> AddInput;
  std::function<bool(const std::string &output, bool join)> AddOutput;
};

// The engine's own files: AddInputFile and AddOutputFile of `engine`.
TCommandLineFiles EngineFiles(TCustomFFmpeg &engine);

// Feeds `args` (without the program name) to the engine.  False when an argument was refused;
// `error` then says why (empty when the libraries have already logged it).  A bad value may also
// raise the engine's FFmpegException.
bool ApplyCommandLine(TCustomFFmpeg &engine, const std::vector<std::string> &args,
                      const TCommandLineFiles &files, std::string &error);
