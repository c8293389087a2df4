#pragma once

#include <cstdint>
#include <memory>

namespace velnor {

/// Joins the chunks one input port delivers into whole System Exclusive
/// messages. A chunk may hold the end of one message and the start of the
/// next, or several whole ones. An F0h starts a new message (whatever was half
/// assembled is given up: its F7h was lost on the way); every F7h ends one.
/// A message that does not fit in `capacity` bytes is dropped up to its end.
///
/// One assembler per input port; it is used only on that port's input thread.
class SysExAssembler {
  public:
    /// Receives each complete message, whole, once; must not keep the pointer.
    using Deliver = void (*)(void* context, const std::uint8_t* message, int length);

    explicit SysExAssembler(int capacity);

    /// Adds one chunk; `deliver` gets every message the chunk completes.
    void Add(const std::uint8_t* chunk, std::uint32_t n, Deliver deliver, void* context);
    /// Forgets a half assembled message.
    void Clear();

  private:
    /// One piece of a chunk: at most one F0h, at its start, and one F7h, at its end.
    void AddPiece(const std::uint8_t* piece, std::uint32_t n, Deliver deliver, void* context);

    std::unique_ptr<std::uint8_t[]> m_pBuffer;
    int m_nCapacity;
    int m_nAssembled = 0;
    /// The rest of a message too long for the buffer is being skipped.
    bool m_bDiscarding = false;
};

}  // namespace velnor
