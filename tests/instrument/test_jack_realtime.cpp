// Nothing on JACK's process threads allocates, locks or waits. The test
// program stands between the code and the C library: every thread that asks
// JACK for a port buffer is a process thread from then on, and every malloc,
// free, mutex lock and wait such a thread makes is counted, while requests
// and replies travel through JACK between the platform and the virtual
// instrument's ports. Needs its own program (the C library's functions are
// replaced for all of it). Skips without JACK; not run under the sanitizers.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <jack/jack.h>

#include "midi/rtmidi/RtMidiPlatform.h"
#include "support/JackServer.h"

namespace {

thread_local bool t_process = false;
std::atomic<bool> g_counting{false};
std::atomic<int> g_processThreads{0};
std::atomic<long> g_allocations{0};
std::atomic<long> g_locks{0};
std::atomic<long> g_waits{0};

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void Count(std::atomic<long>& counter) {
    if (t_process && g_counting.load(std::memory_order_relaxed)) {
        counter.fetch_add(1, std::memory_order_relaxed);
    }
}

// Looked up before any process thread runs.
using PortBuffer = void* (*)(jack_port_t*, jack_nframes_t);
using MutexLock = int (*)(pthread_mutex_t*);
using CondWait = int (*)(pthread_cond_t*, pthread_mutex_t*);
using CondTimedWait = int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
using SemWait = int (*)(sem_t*);
const PortBuffer g_portBuffer = Next<PortBuffer>("jack_port_get_buffer");
const MutexLock g_mutexLock = Next<MutexLock>("pthread_mutex_lock");
const CondWait g_condWait = Next<CondWait>("pthread_cond_wait");
const CondTimedWait g_condTimedWait = Next<CondTimedWait>("pthread_cond_timedwait");
const SemWait g_semWait = Next<SemWait>("sem_wait");

}  // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* jack_port_get_buffer(jack_port_t* port, jack_nframes_t frames) {
    if (!t_process) {
        t_process = true;
        g_processThreads.fetch_add(1);
    }
    return g_portBuffer(port, frames);
}
void* malloc(size_t size) {
    Count(g_allocations);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    Count(g_allocations);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    Count(g_allocations);
    return __libc_realloc(pointer, size);
}
void free(void* pointer) {
    if (pointer != nullptr) Count(g_allocations);
    __libc_free(pointer);
}
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    Count(g_locks);
    return g_mutexLock(mutex);
}
int pthread_cond_wait(pthread_cond_t* cond, pthread_mutex_t* mutex) {
    Count(g_waits);
    return g_condWait(cond, mutex);
}
int pthread_cond_timedwait(pthread_cond_t* cond, pthread_mutex_t* mutex, const timespec* until) {
    Count(g_waits);
    return g_condTimedWait(cond, mutex, until);
}
int sem_wait(sem_t* sem) {
    Count(g_waits);
    return g_semWait(sem);
}
}

namespace velnor {
namespace {

using Bytes = std::vector<std::uint8_t>;

/// The program's side: what a port layer does with each reply (a lock, a
/// buffer of its own), on whatever thread the platform calls it.
struct Replies {
    std::mutex mutex;
    std::condition_variable arrived;
    int count = 0;
    MidiPlatform* platform = nullptr;
    HMIDIIN in = 0;

    static void Callback(HMIDIIN, unsigned message, void* instance, MIDIHDR* header) {
        auto* self = static_cast<Replies*>(instance);
        if (message != MIM_LONGDATA) return;
        Bytes copy(header->lpData, header->lpData + header->dwBytesRecorded);
        {
            std::lock_guard lock(self->mutex);
            if (!copy.empty() && copy.back() == 0xF7) ++self->count;
        }
        self->arrived.notify_all();
        self->platform->midiInAddBuffer(self->in, header);
    }
};

TEST(JackRealTime, ProcessThreadsNeitherAllocateNorLockNorWait) {
    const std::string server = "velnor-rt-" + std::to_string(::getpid());
    JackServer jack(server, true);
    if (!jack.Running()) GTEST_SKIP() << "no JACK server could be started";
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);

    // The instrument's side answers every request with an acknowledgement.
    RtMidiVirtualPorts ports;
    const Bytes ack = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x08, 0xF7};
    std::string error;
    ASSERT_TRUE(ports.Open(
        RtMidiSystem::Jack, "VelnorTestRealTime",
        [&](const std::uint8_t*, std::size_t) { ports.Send(ack.data(), ack.size()); }, error))
        << error;
    RtMidiPlatform platform({RtMidiSystem::Jack});
    const int inId = FindPort(platform, true, "VelnorTestRealTime");
    const int outId = FindPort(platform, false, "VelnorTestRealTime");
    ASSERT_GE(inId, 0);
    ASSERT_GE(outId, 0);
    Replies replies;
    replies.platform = &platform;
    Bytes buffer(2000);
    MIDIHDR header{buffer.data(), std::uint32_t(buffer.size())};
    ASSERT_EQ(platform.midiInOpen(&replies.in, unsigned(inId), &Replies::Callback, &replies), 0u);
    HMIDIOUT out = 0;
    ASSERT_EQ(platform.midiOutOpen(&out, unsigned(outId)), 0u);
    ASSERT_EQ(platform.midiInPrepareHeader(replies.in, &header), 0u);
    ASSERT_EQ(platform.midiInAddBuffer(replies.in, &header), 0u);
    ASSERT_EQ(platform.midiInStart(replies.in), 0u);

    g_counting = true;
    Bytes request = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53,
                     0x57, 0x12, 0x00, 0x00, 0x2E, 0x01, 0xF7};
    constexpr int kRequests = 40;
    for (int i = 0; i < kRequests; ++i) {
        MIDIHDR send{request.data(), std::uint32_t(request.size())};
        ASSERT_EQ(platform.midiOutPrepareHeader(out, &send), 0u);
        ASSERT_EQ(platform.midiOutLongMsg(out, &send), 0u);
        std::unique_lock lock(replies.mutex);
        // The deadline only bounds a hang.
        ASSERT_TRUE(replies.arrived.wait_for(lock, std::chrono::seconds(20),
                                             [&] { return replies.count > i; }))
            << "request " << i << ", replies " << replies.count;
    }
    g_counting = false;

    EXPECT_GE(g_processThreads.load(), 2);  // both sides ran on JACK's threads
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(g_locks.load(), 0);
    EXPECT_EQ(g_waits.load(), 0);

    platform.midiInReset(replies.in);
    platform.midiInUnprepareHeader(replies.in, &header);
    platform.midiInClose(replies.in);
    platform.midiOutClose(out);
    ports.Close();
}

}  // namespace
}  // namespace velnor
