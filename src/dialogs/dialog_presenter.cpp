#include "dialogs/dialog_presenter.h"

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "dialogs/view_module.h"
#include "platform/debug_output.h"
#include "platform/x11_display.h"

namespace vantix::dialogs {

namespace {

// The view module stays loaded once it is: a toolkit cannot be unloaded from
// a running process.
class ModulePresenter final : public DialogPresenter {
public:
    bool Prepare() override {
        if (!DisplayReachable()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (run_ != nullptr) return true;
        const std::string path = ViewModulePath();
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            DebugPrintf(DebugCategory::Dialogs, "dialogs: cannot load the view: %s\n", dlerror());
            return false;
        }
        auto prepare = reinterpret_cast<VantixDialogViewPrepareFn>(dlsym(module, kDialogViewPrepareSymbol));
        auto run = reinterpret_cast<VantixDialogViewRunFn>(dlsym(module, kDialogViewRunSymbol));
        if (prepare == nullptr || run == nullptr || prepare(kDialogInterfaceVersion) != 1) {
            DebugPrintf(DebugCategory::Dialogs, "dialogs: the view module %s cannot show dialogs on this display\n",
                        path.c_str());
            return false;
        }
        run_ = run;
        return true;
    }
    bool Run(DialogModel& model, unsigned long owner) override {
        VantixDialogViewRunFn run = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            run = run_;
        }
        return run != nullptr && run(&model, owner) == 1;
    }

private:
    // Checked with a connection of our own, so that no toolkit is loaded
    // for a process without a display.
    static bool DisplayReachable() {
        Display* display = x11::OpenPrivateDisplay();
        if (display == nullptr) return false;
        x11::ClosePrivateDisplay(display);
        return true;
    }
    std::mutex mutex_;
    VantixDialogViewRunFn run_ = nullptr;
};

ModulePresenter& ToolkitPresenter() {
    static ModulePresenter presenter;
    return presenter;
}

std::atomic<DialogPresenter*> g_replacement{nullptr};
std::array<std::atomic<bool>, kDialogKinds> g_open{};

}  // namespace

std::string ViewModulePath() {
    Dl_info info{};
    std::string directory = ".";
    if (dladdr(reinterpret_cast<void*>(&ViewModulePath), &info) != 0 && info.dli_fname != nullptr) {
        const std::string self = info.dli_fname;
        const size_t slash = self.rfind('/');
        if (slash != std::string::npos) directory = self.substr(0, slash);
    }
    return directory + "/vantix/" + kDialogViewModuleName;
}

DialogPresenter& ActivePresenter() {
    DialogPresenter* replacement = g_replacement.load();
    return replacement != nullptr ? *replacement : ToolkitPresenter();
}

DialogPresenter* ReplacePresenter(DialogPresenter* presenter) { return g_replacement.exchange(presenter); }

DialogKindClaim::DialogKindClaim(DialogKind kind) : kind_(kind) {
    bool expected = false;
    claimed_ = g_open[static_cast<size_t>(kind)].compare_exchange_strong(expected, true);
}

DialogKindClaim::~DialogKindClaim() {
    if (claimed_) g_open[static_cast<size_t>(kind_)] = false;
}

}  // namespace vantix::dialogs
