// Opening the decoder of a stream for playback.
#pragma once

#include "services/FFResources.h"

// Finds the stream's decoder, fills a context from the stream's parameters and opens it under the
// codec lock.  Pictures and sound (`tolerant`) are decoded on one thread with the libraries'
// error concealment, so that a damaged packet shows as a flawed picture instead of a gap.  On
// failure `context` may hold an allocated context, which the caller frees as after a success.
bool OpenStreamDecoder(AVStream *stream, TCodecCtxPtr &context, bool tolerant);
// Frees the decoder under the codec lock, as every codec close is.
void CloseStreamDecoder(TCodecCtxPtr &context);
