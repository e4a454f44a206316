#pragma once
// The writer factory: the one place that turns the configured writer type into a started
// driver object.
#include "core/AppSettings.h"
#include "platform/WindowRegistry.h"
#include "writers/CWriter.h"
#include "writers/WriterTypes.h"

// Makes the driver of settings.writerType for `mode`, owned by the caller (delete it through
// CWriter), with `owner` told of its strokes; sets its mode, modelFlag and keyboard layout and
// calls Start(startArgument). A writer whose device does not answer is still returned (it
// delivers nothing). Null when no writer was made: the speech entry, a type outside 0..31, a
// mode the model cannot serve (for diskette modes after message 5047), a driver missing from
// this build (one line on standard error names the model), or no memory.
// settings.usbFlag is rewritten on every call: 1 for the keyboard and the USB writers, else 0.
// `settings` is the record the drivers read, GetSettings(). User-interface thread only.
CWriter* CreateWriter(AppSettings& settings, int mode, platform::WindowHandle owner,
                      unsigned startArgument);

// True when this build has the driver class of `kind`.
bool DriverBuilt(DriverKind kind);
