#include "workspace/ExceptionReport.h"

#include "engine/FFmpegException.h"
#include "services/TranslatableText.h"

std::string ReportSentence(const std::string &message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

TExceptionReport ReportOfException(const std::exception_ptr &error) {
  try {
    std::rethrow_exception(error);
  } catch (const FFmpegException &e) {
    return {ReportSentence(e.what()), TReportIcon::Warning};
  } catch (const std::exception &e) {
    return {ReportSentence(e.what()), TReportIcon::Error};
  } catch (...) {
    return {QT_TRANSLATE_NOOP("Messages", "An unknown error occurred."), TReportIcon::Error};
  }
}
