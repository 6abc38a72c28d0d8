// The frame decoration of a batch's conversions: what the main window's Start and the
// command-line converter give the batch runner, so that both decorate their frames alike.
#pragma once

#include "editors/decoration/FrameDecoration.h"
#include "workspace/BatchRunner.h"

// Makes, for each decorating row, one TRowDecoration that lives as long as the row's conversion
// (its picture decoded once); `report` receives what could not be drawn (see TRowDecoration).
TFrameDecoration ConversionDecoration(TRowDecoration::TReportEvent report = {});
