#pragma once
// The entry points of the toolkit view module, as the library finds them in
// it. The module is looked up beside the library that holds this code, in
// its "vantix" folder.
#include <string>

#include "dialogs/dialog_model.h"

// Called once after loading: 1 when the module serves this interface version
// and its toolkit could be started on the display, else 0.
using VantixDialogViewPrepareFn = int (*)(int interfaceVersion);
// Runs one dialog modally; 1 when it was shown and has ended, 0 when it could
// not be shown.
using VantixDialogViewRunFn = int (*)(vantix::dialogs::DialogModel* model, unsigned long owner);

inline constexpr char kDialogViewModuleName[] = "libvantix-dialogs-gtk.so";
inline constexpr char kDialogViewPrepareSymbol[] = "VantixDialogView_Prepare";
inline constexpr char kDialogViewRunSymbol[] = "VantixDialogView_Run";

namespace vantix::dialogs {

// Full path of the view module beside the library (or program) that holds
// this code.
std::string ViewModulePath();

}  // namespace vantix::dialogs
