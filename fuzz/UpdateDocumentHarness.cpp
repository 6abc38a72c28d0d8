#include <stdexcept>

#include "fuzz/FuzzHarness.h"
#include "workspace/GlobalUnit.h"
#include "workspace/update/UpdateDocument.h"

// The update document as the update check reads it after a fetch: the count of notices, the
// offered version against ours, the upgrade question and the notices themselves.
int FuzzUpdateDocument(const uint8_t *data, size_t size) {
  namespace ud = updatedocument;
  const std::string file = fuzzsupport::WriteWorkFile(ud::FetchedFile, data, size);
  const TUpdateDocument document = TUpdateDocument::Load(file);
  try {
    const int count = AdCountOf(document.Value(ud::CountPath, ud::NumberAttribute));
    const std::string offered = document.Value(ud::VersionPath, ud::NumberAttribute);
    if (IsNewerVersion(offered, ProgramVersionText()))
      UpgradeQuestion("Morvane MP4 Video Converter", offered);
    if (count > 0) AdListOf(document, document, count);
  } catch (const std::invalid_argument &) {
    // A count or version that is no number: the check reports it in these words.
  }
  return 0;
}
