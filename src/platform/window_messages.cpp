#include "platform/window_messages.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

namespace vantix {

WindowTarget::~WindowTarget() = default;
void WindowTarget::OnRegistered(VantixHwnd) noexcept {}
void WindowTarget::Close() noexcept {}

namespace {

// On 64-bit systems every handle carries a tag in its top 16 bits, outside any
// user-space address, so that a pointer or small integer passed by mistake
// never names a window. The counter below the tag never wraps in practice.
constexpr bool kWideHandles = sizeof(uintptr_t) >= 8;
constexpr uint64_t kWideHandleTag = uint64_t{0x5658} << 48;
constexpr uintptr_t kHandleTag = kWideHandles ? static_cast<uintptr_t>(kWideHandleTag) : 0;
constexpr uint64_t kLastCounter = kWideHandles ? (uint64_t{1} << 48) - 1 : UINTPTR_MAX;

uintptr_t HandleKey(VantixHwnd window) { return reinterpret_cast<uintptr_t>(window); }

class WindowTable {
public:
    // Hands out a fresh handle value; 0 once the counter is exhausted.
    uintptr_t AllocateKey() {
        std::lock_guard lock(mutex_);
        if (next_ > kLastCounter) return 0;
        return kHandleTag | static_cast<uintptr_t>(next_++);
    }

    // May throw std::bad_alloc.
    void Insert(uintptr_t key, std::shared_ptr<WindowTarget> target) {
        std::lock_guard lock(mutex_);
        windows_.emplace(key, std::move(target));
    }

    std::shared_ptr<WindowTarget> Find(uintptr_t key) {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(key);
        return it == windows_.end() ? nullptr : it->second;
    }

    // The target leaves the table; only the one caller that gets it back
    // closes it, however many threads destroy the same handle.
    std::shared_ptr<WindowTarget> Remove(uintptr_t key) {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(key);
        if (it == windows_.end()) return nullptr;
        std::shared_ptr<WindowTarget> target = std::move(it->second);
        windows_.erase(it);
        return target;
    }

private:
    std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<WindowTarget>> windows_;
    uint64_t next_ = 1;
};

// Never destroyed: dispatch threads and application threads may still post
// while static destructors run at process exit.
WindowTable& Table() {
    static WindowTable* const table = new WindowTable;
    return *table;
}

// --- Message window ---------------------------------------------------------

class MessageWindow final : public WindowTarget {
public:
    MessageWindow(VantixWindowProc proc, void* user)
        : state_(std::make_shared<State>(proc, user)) {}
    ~MessageWindow() override { Close(); }

    // Starts the dispatch thread. Throws std::system_error when none can be made.
    void Start() {
        // The thread keeps its own reference to the state, so that a thread
        // left running by a destroy from inside the procedure still has it.
        thread_ = std::thread([state = state_] { Dispatch(*state); });
    }

    bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept override {
        try {
            {
                std::lock_guard lock(state_->mutex);
                if (state_->closed || state_->queue.size() >= kMaxQueuedMessages) return false;
                state_->queue.push_back(VantixMessage{state_->self, message, wParam, lParam});
            }
            state_->wake.notify_one();
            return true;
        } catch (...) {  // std::bad_alloc from the queue
            return false;
        }
    }

    void OnRegistered(VantixHwnd self) noexcept override {
        std::lock_guard lock(state_->mutex);
        state_->self = self;
    }

    void Close() noexcept override {
        {
            std::lock_guard lock(state_->mutex);
            state_->closed = true;
            state_->queue.clear();
        }
        state_->wake.notify_all();
        if (!thread_.joinable()) return;
        if (thread_.get_id() == std::this_thread::get_id()) {
            // Destroyed from its own procedure: joining would wait for this
            // very call. The loop sees `closed` when the procedure returns.
            thread_.detach();
        } else {
            thread_.join();
        }
    }

private:
    struct State {
        State(VantixWindowProc p, void* u) : proc(p), user(u) {}
        const VantixWindowProc proc;
        void* const user;
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<VantixMessage> queue;
        VantixHwnd self = nullptr;
        bool closed = false;
    };

    static void Dispatch(State& state) {
        std::unique_lock lock(state.mutex);
        for (;;) {
            state.wake.wait(lock, [&] { return state.closed || !state.queue.empty(); });
            if (state.closed) return;
            const VantixMessage m = state.queue.front();
            state.queue.pop_front();
            lock.unlock();
            try {
                state.proc(m.window, m.message, m.wParam, m.lParam, state.user);
            } catch (...) {
                // An exception must not end the process from a thread the
                // application does not own; the message counts as handled.
            }
            lock.lock();
        }
    }

    std::shared_ptr<State> state_;
    std::thread thread_;
};

// --- Pollable window --------------------------------------------------------

bool AddToEventFd(int fd) {
    const uint64_t one = 1;
    return ::write(fd, &one, sizeof one) == static_cast<ssize_t>(sizeof one);
}

void DrainEventFd(int fd) {
    uint64_t count = 0;
    while (::read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

// The eventfd counts up on every post and is drained when the queue empties,
// all under the queue's lock, so it is readable exactly while messages wait.
// Counting every post (rather than only the first) also keeps it readable if
// the application reads the fd itself by mistake and then posts continue.
class PollableWindow final : public WindowTarget {
public:
    ~PollableWindow() override { Close(); }

    // False when no eventfd can be made.
    bool Open() {
        fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        return fd_ >= 0;
    }

    int32_t Fd() {
        std::lock_guard lock(mutex_);
        return closed_ ? -1 : fd_;
    }

    bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept override {
        try {
            {
                std::lock_guard lock(mutex_);
                if (closed_ || queue_.size() >= kMaxQueuedMessages) return false;
                queue_.push_back(VantixMessage{self_, message, wParam, lParam});
                if (!AddToEventFd(fd_)) {
                    queue_.pop_back();
                    return false;
                }
            }
            ready_.notify_one();
            return true;
        } catch (...) {  // std::bad_alloc from the queue
            return false;
        }
    }

    int32_t Take(VantixMessage& message, uint32_t timeoutMs) {
        std::unique_lock lock(mutex_);
        const auto ready = [&] { return closed_ || !queue_.empty(); };
        if (timeoutMs == kWaitForever) {
            ready_.wait(lock, ready);
        } else {
            ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        }
        if (closed_) return -1;
        if (queue_.empty()) return 0;
        message = queue_.front();
        queue_.pop_front();
        if (queue_.empty()) DrainEventFd(fd_);
        return 1;
    }

    void OnRegistered(VantixHwnd self) noexcept override {
        std::lock_guard lock(mutex_);
        self_ = self;
    }

    void Close() noexcept override {
        {
            std::lock_guard lock(mutex_);
            if (closed_) return;
            closed_ = true;
            queue_.clear();
            if (fd_ >= 0) {
                // Closing alone does not wake a thread blocked in poll or
                // select on the fd; making it readable first does, and
                // GetMessage then tells that thread the window is gone.
                AddToEventFd(fd_);
                ::close(fd_);
                fd_ = -1;
            }
        }
        ready_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<VantixMessage> queue_;
    VantixHwnd self_ = nullptr;
    int fd_ = -1;
    bool closed_ = false;
};

std::shared_ptr<PollableWindow> FindPollable(VantixHwnd window) {
    return std::dynamic_pointer_cast<PollableWindow>(FindWindow(window));
}

}  // namespace

VantixHwnd RegisterWindow(std::shared_ptr<WindowTarget> target) noexcept {
    if (!target) return nullptr;
    try {
        WindowTable& table = Table();
        const uintptr_t key = table.AllocateKey();
        if (key == 0) return nullptr;
        const auto window = reinterpret_cast<VantixHwnd>(key);
        target->OnRegistered(window);
        table.Insert(key, std::move(target));
        return window;
    } catch (...) {  // std::bad_alloc, std::system_error from the mutex
        return nullptr;
    }
}

std::shared_ptr<WindowTarget> FindWindow(VantixHwnd window) noexcept {
    if (window == nullptr) return nullptr;
    try {
        return Table().Find(HandleKey(window));
    } catch (...) {  // std::system_error from the mutex
        return nullptr;
    }
}

bool IsLiveWindow(VantixHwnd window) noexcept { return FindWindow(window) != nullptr; }

bool PostWindowMessage(VantixHwnd window, uint32_t message, uintptr_t wParam,
                       intptr_t lParam) noexcept {
    const std::shared_ptr<WindowTarget> target = FindWindow(window);
    return target && target->Post(message, wParam, lParam);
}

bool DestroyWindow(VantixHwnd window) noexcept {
    if (window == nullptr) return false;
    std::shared_ptr<WindowTarget> target;
    try {
        target = Table().Remove(HandleKey(window));
    } catch (...) {  // std::system_error from the mutex
        return false;
    }
    if (!target) return false;
    target->Close();
    return true;
}

VantixHwnd CreateMessageWindow(VantixWindowProc proc, void* user) noexcept {
    if (proc == nullptr) return nullptr;
    try {
        auto window = std::make_shared<MessageWindow>(proc, user);
        window->Start();
        // On failure the window's destructor stops the thread again.
        return RegisterWindow(std::move(window));
    } catch (...) {  // std::bad_alloc, std::system_error from std::thread
        return nullptr;
    }
}

VantixHwnd CreatePollableWindow() noexcept {
    try {
        auto window = std::make_shared<PollableWindow>();
        if (!window->Open()) return nullptr;
        return RegisterWindow(std::move(window));
    } catch (...) {  // std::bad_alloc
        return nullptr;
    }
}

int32_t GetMessageFd(VantixHwnd window) noexcept {
    const std::shared_ptr<PollableWindow> pollable = FindPollable(window);
    return pollable ? pollable->Fd() : -1;
}

int32_t GetWindowMessage(VantixHwnd window, VantixMessage* message, uint32_t timeoutMs) noexcept {
    if (message == nullptr) return -1;
    const std::shared_ptr<PollableWindow> pollable = FindPollable(window);
    if (!pollable) return -1;
    try {
        return pollable->Take(*message, timeoutMs);
    } catch (...) {  // std::system_error from the mutex or condition variable
        return -1;
    }
}

}  // namespace vantix
