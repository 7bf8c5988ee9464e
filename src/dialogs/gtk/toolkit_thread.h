#pragma once
// Where GTK runs. An application that uses GTK (or runs GLib's main loop)
// has its dialogs run on that loop's thread; any other application gets a
// thread of the module's own on which GTK is started and every dialog runs,
// whichever thread opens it. The caller waits until the dialog has ended, so
// to it the dialog is modal.
#include <functional>

namespace vantix::dialogs::gtk {

// Starts GTK where it is to run; false when it cannot reach the display.
bool PrepareToolkit();
// Runs `job` on the toolkit's thread and returns its result.
bool RunOnToolkitThread(const std::function<bool()>& job);

}  // namespace vantix::dialogs::gtk
