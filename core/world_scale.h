// The world scale: scene units per metre, measured from an object named "yardstick".
#pragma once

#include "core/export_settings.h"
#include "core/notice.h"
#include "host/scene.h"

namespace vlo {

// 1 for ScaleMode::Unit; otherwise the height along its own Z axis of the object named "yardstick"
// (any case) at time 0. Warns (caption "Warning") and gives 1 when there is no such object, or when it
// has no geometry or no positive, finite height.
float ComputeWorldScale(Interface& host, ScaleMode mode, NoticeSink& notices);

}  // namespace vlo
