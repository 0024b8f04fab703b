#pragma once

#include <QSettings>
#include <memory>

namespace orv::app {

// The per-user profile, the program's only persistent settings: on Linux the file
// ~/.config/Orv/Orv.conf (or under $XDG_CONFIG_HOME). The sections are "Recent File List"
// (CRecentFileList) and "Settings". Failures to write are dropped silently: the settings are a
// convenience, never a reason to stop.
std::unique_ptr<QSettings> openProfile();

// "PreviewPages" in "Settings", kept for a print preview the program does not have. 0 when
// absent or not a 32-bit integer.
int readPreviewPages(QSettings& profile);

// Writes only a non-zero count: zero leaves whatever the profile holds.
void writePreviewPages(QSettings& profile, int pages);

// For the unregister switch: deletes the profile file, and its folder when nothing else is left
// in it. True when no profile file remains. Any QSettings on the profile must be gone by now,
// or it would write the file back when it goes.
bool removeProfile();

}  // namespace orv::app
