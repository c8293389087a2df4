#include "common/PlainEventPump.h"
#include "common/Prompter.h"

#include <atomic>

namespace velnor {

void PlainEventPump::WaitUntil(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_until(lock, deadline, [this] { return m_bWoken; });
    m_bWoken = false;
}

void PlainEventPump::Wake() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bWoken = true;
    }
    m_cv.notify_all();
}

namespace {

PlainEventPump& DefaultPump() {
    static PlainEventPump pump;
    return pump;
}

std::atomic<EventPump*> g_pEventPump{nullptr};

class SilentPrompter : public Prompter {
  public:
    PromptAnswer Ask(const std::string&, PromptButtons buttons, const std::string&,
                     PromptIcon) override {
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
};

std::atomic<Prompter*> g_pPrompter{nullptr};

}  // namespace

EventPump& GetEventPump() {
    EventPump* pump = g_pEventPump.load(std::memory_order_acquire);
    return pump ? *pump : DefaultPump();
}

void SetEventPump(EventPump* pump) {
    g_pEventPump.store(pump, std::memory_order_release);
}

Prompter& GetPrompter() {
    static SilentPrompter silent;
    Prompter* prompter = g_pPrompter.load(std::memory_order_acquire);
    return prompter ? *prompter : silent;
}

void SetPrompter(Prompter* prompter) {
    g_pPrompter.store(prompter, std::memory_order_release);
}

}  // namespace velnor
