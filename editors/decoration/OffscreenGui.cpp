#include "editors/decoration/OffscreenGui.h"

#include <QGuiApplication>

TOffscreenGui::TOffscreenGui() {
  if (!QGuiApplication::instance()) FApplication = std::make_unique<QGuiApplication>(FArgc, FArgv);
}

TOffscreenGui::~TOffscreenGui() = default;
