#include "dialogs/gtk/toolkit_thread.h"

#include <gtk/gtk.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantix::dialogs::gtk {

namespace {

enum class Mode {
    NotStarted,
    Application,  // the application's main loop thread runs GTK
    OwnThread,    // the module's thread runs GTK
};

// A job handed to another thread, and its result.
struct Call {
    std::function<bool()> job;
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool result = false;
    void Finish(bool value) {
        std::lock_guard<std::mutex> lock(mutex);
        result = value;
        done = true;
        cv.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return done; });
        return result;
    }
};

// GTK's start on this thread. A display connection is now and then refused
// although the server runs (seen with a server that has just started, under
// load); gtk_init_check gives up at the first refusal and may be called
// again, so a few attempts a moment apart are made before the dialogs are
// reported unavailable.
bool StartToolkit() {
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (gtk_init_check(nullptr, nullptr)) return true;
    }
    return false;
}

gboolean RunCallOnLoop(gpointer data) {
    auto* call = static_cast<Call*>(data);
    call->Finish(call->job());
    return G_SOURCE_REMOVE;
}

// Runs `job` on the thread that runs the default main context's loop.
bool InvokeOnApplicationLoop(const std::function<bool()>& job) {
    GMainContext* context = g_main_context_default();
    if (g_main_context_acquire(context)) {
        // This thread runs the loop (or nobody does): run here.
        const bool result = job();
        g_main_context_release(context);
        return result;
    }
    Call call;
    call.job = job;
    g_main_context_invoke(context, RunCallOnLoop, &call);
    return call.Wait();
}

class OwnThread {
public:
    bool Start() {
        thread_ = std::thread([this] { Loop(); });
        thread_.detach();  // runs for the life of the process, like GTK itself
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return initDone_; });
        return initOk_;
    }
    bool Run(const std::function<bool()>& job) {
        // A dialog opened from inside a dialog runs nested on this thread.
        if (std::this_thread::get_id() == id_) return job();
        Call call;
        call.job = job;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(&call);
        }
        cv_.notify_all();
        return call.Wait();
    }

private:
    void Loop() {
        const bool ok = StartToolkit();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            id_ = std::this_thread::get_id();
            initOk_ = ok;
            initDone_ = true;
        }
        cv_.notify_all();
        if (!ok) return;
        for (;;) {
            Call* call = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait(lock, [&] { return !queue_.empty(); });
                call = queue_.front();
                queue_.pop_front();
            }
            call->Finish(call->job());
        }
    }
    std::thread thread_;
    std::thread::id id_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool initDone_ = false;
    bool initOk_ = false;
    std::deque<Call*> queue_;
};

std::mutex g_mutex;
Mode g_mode = Mode::NotStarted;
OwnThread* g_thread = nullptr;

}  // namespace

bool PrepareToolkit() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_mode != Mode::NotStarted) return true;
    GMainContext* context = g_main_context_default();
    if (gdk_display_get_default() != nullptr) {
        g_mode = Mode::Application;  // the application has started GTK
        return true;
    }
    if (g_main_context_is_owner(context)) {
        // Called from the application's own GLib loop: GTK runs there.
        if (!StartToolkit()) return false;
        g_mode = Mode::Application;
        return true;
    }
    if (!g_main_context_acquire(context)) {
        // Another thread runs GLib's loop: start GTK on it.
        if (!InvokeOnApplicationLoop(StartToolkit)) return false;
        g_mode = Mode::Application;
        return true;
    }
    g_main_context_release(context);
    auto* thread = new OwnThread();  // never destroyed: GTK cannot be stopped
    if (!thread->Start()) return false;
    g_thread = thread;
    g_mode = Mode::OwnThread;
    return true;
}

bool RunOnToolkitThread(const std::function<bool()>& job) {
    Mode mode;
    OwnThread* thread;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        mode = g_mode;
        thread = g_thread;
    }
    switch (mode) {
        case Mode::OwnThread:
            return thread->Run(job);
        case Mode::Application:
            return InvokeOnApplicationLoop(job);
        case Mode::NotStarted:
            break;
    }
    return false;
}

}  // namespace vantix::dialogs::gtk
