#include "editors/TrimRange.h"

namespace {
constexpr int64_t OneMillisecond = 1000;
}

void TTrimRange::Opened(int64_t duration) {
  FDuration = duration;
  FStart = 0;
  FEnd = 0;
}

void TTrimRange::Load(const TlvFilesRecord &record) {
  if (record.TrimStart >= 0) FStart = record.TrimStart;
  FEnd = record.TrimLength > 0 ? record.TrimStart + record.TrimLength : FDuration;
}

bool TTrimRange::MarkStart(int64_t position) {
  if (position <= 0) return false;
  FStart = position;
  return true;
}

bool TTrimRange::MarkEnd(int64_t position) {
  if (position <= 0) return false;
  FEnd = position;
  return true;
}

void TTrimRange::Reset() {
  FStart = 0;
  FEnd = FDuration;
}

bool TTrimRange::Valid() const {
  return FStart >= 0 && FEnd > 0 && FStart < FEnd && FEnd <= FDuration;
}

std::optional<std::string> TTrimRange::Store(TlvFilesRecord &record) const {
  const bool valid = Valid();
  const int64_t length = valid ? FEnd - FStart : FDuration;
  if (length <= 0) {
    record.TrimStart = 0;
    record.TrimLength = 0;
    return std::nullopt;
  }
  // Marks that form no part (an end before the start) keep the whole file: from its start too,
  // so that the column's length is what the conversion gives.
  record.TrimStart = valid && FStart > 0 ? FStart : 0;
  const bool nearlyWhole = FDuration - length < OneMillisecond;
  record.TrimLength = length < OneMillisecond || nearlyWhole ? 0 : length;
  return std::to_string(length / 1000000);
}
