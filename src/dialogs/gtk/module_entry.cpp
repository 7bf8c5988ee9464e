// The view module's entry points: what the library calls after loading it,
// and the shown hook for programs that look at the live dialogs (tests).
#include <gtk/gtk.h>

#include "dialogs/dialog_model.h"
#include "dialogs/gtk/dialog_window.h"
#include "dialogs/gtk/toolkit_thread.h"

namespace gtkview = vantix::dialogs::gtk;

extern "C" {

__attribute__((visibility("default"))) int VantixDialogView_Prepare(int interfaceVersion) {
    if (interfaceVersion != vantix::dialogs::kDialogInterfaceVersion) return 0;
    return gtkview::PrepareToolkit() ? 1 : 0;
}

__attribute__((visibility("default"))) int VantixDialogView_Run(vantix::dialogs::DialogModel* model,
                                                                 unsigned long owner) {
    if (model == nullptr) return 0;
    return gtkview::RunOnToolkitThread([&] {
               gtkview::DialogWindow window(*model);
               if (!window.Build()) return false;
               window.Run(owner);
               return true;
           })
               ? 1
               : 0;
}

// `hook` is called on the toolkit's thread with the GtkWindow of each dialog
// once it is first drawn, and the dialog's kind ("camera", "image",
// "analog"). Null removes it.
__attribute__((visibility("default"))) void VantixDialogView_SetShownHook(void (*hook)(GtkWidget*, const char*, void*),
                                                                         void* user) {
    gtkview::DialogWindow::SetShownHook(hook, user);
}

}  // extern "C"
