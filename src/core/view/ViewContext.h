#pragma once
// What the Signal view reads and writes outside itself: the recording, the
// display settings, the channel layout, the time base, the screen, and the
// main window's fields. Nothing else of the application reaches it.

#include "config/ChannelConfig.h"
#include "config/Settings.h"
#include "config/TimeBase.h"
#include "platform/FieldSink.h"
#include "signal/SignalDocument.h"
#include "view/Geometry.h"

namespace koru {

struct ViewContext {
    SignalDocument& document;  // the marker keys edit its Marker list
    const Settings& settings;
    const ChannelModel& channels;
    const TimeBase& timeBase;
    const ScreenGeometry& geometry;
    FieldSink& fields;
};

}  // namespace koru
