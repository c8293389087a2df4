#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

namespace velnor {

/// Whole messages from writer threads to one reader thread, without
/// allocation on either side. The reader never locks (it may be JACK's
/// process thread). Writers take turns under a lock (Push), or, where there
/// is only ever one writer and it must not lock (JACK's process thread
/// again), it writes without one (PushFromTheOnlyWriter). Each message is
/// stored as its length (4 bytes) and its bytes, wrapping round the end of
/// the buffer.
class MessageQueue {
  public:
    explicit MessageQueue(std::size_t capacity)
        : m_capacity(capacity), m_bytes(std::make_unique<std::uint8_t[]>(capacity)) {}

    /// Any writer thread: false (and nothing queued) when the message does
    /// not fit.
    bool Push(const std::uint8_t* data, std::size_t size) {
        std::lock_guard lock(m_writers);
        return PushFromTheOnlyWriter(data, size);
    }

    /// The queue's one writer, which never locks: as Push.
    bool PushFromTheOnlyWriter(const std::uint8_t* data, std::size_t size) {
        const std::uint32_t length = static_cast<std::uint32_t>(size);
        const std::size_t written = m_written.load(std::memory_order_relaxed);
        const std::size_t used = written - m_read.load(std::memory_order_acquire);
        if (size == 0 || sizeof length + size > m_capacity - used) return false;
        Put(written, &length, sizeof length);
        Put(written + sizeof length, data, size);
        m_written.store(written + sizeof length + size, std::memory_order_release);
        return true;
    }

    /// Reader: the length of the next message, 0 when there is none.
    std::size_t NextSize() const {
        const std::size_t read = m_read.load(std::memory_order_relaxed);
        if (read == m_written.load(std::memory_order_acquire)) return 0;
        std::uint32_t length = 0;
        Get(read, &length, sizeof length);
        return length;
    }

    /// Reader: copies the next message into `out` (NextSize() bytes; none
    /// when `out` is null) and takes it off the queue.
    void Pop(std::uint8_t* out) {
        const std::size_t size = NextSize();
        const std::size_t read = m_read.load(std::memory_order_relaxed);
        if (out != nullptr) Get(read + sizeof(std::uint32_t), out, size);
        m_read.store(read + sizeof(std::uint32_t) + size, std::memory_order_release);
    }

  private:
    void Put(std::size_t at, const void* data, std::size_t size) {
        const std::size_t offset = at % m_capacity;
        const std::size_t first = std::min(size, m_capacity - offset);
        std::memcpy(&m_bytes[offset], data, first);
        std::memcpy(&m_bytes[0], static_cast<const std::uint8_t*>(data) + first, size - first);
    }
    void Get(std::size_t at, void* out, std::size_t size) const {
        const std::size_t offset = at % m_capacity;
        const std::size_t first = std::min(size, m_capacity - offset);
        std::memcpy(out, &m_bytes[offset], first);
        std::memcpy(static_cast<std::uint8_t*>(out) + first, &m_bytes[0], size - first);
    }

    std::mutex m_writers;  ///< one Push at a time
    const std::size_t m_capacity;
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::atomic<std::size_t> m_written{0};  ///< bytes ever written
    std::atomic<std::size_t> m_read{0};     ///< bytes ever read
};

}  // namespace velnor
