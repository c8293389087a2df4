#pragma once

/// While one lives, the window's questions have No as their default button,
/// so Enter alone never confirms a delete that cannot be undone. The song
/// lists hold one around their delete questions; the message boxes read it.
/// User-interface thread only.
class CNoByDefault {
  public:
    CNoByDefault() { ++Depth(); }
    ~CNoByDefault() { --Depth(); }
    CNoByDefault(const CNoByDefault&) = delete;
    CNoByDefault& operator=(const CNoByDefault&) = delete;

    static bool IsActive() { return Depth() > 0; }

  private:
    static int& Depth() {
        static int s_nDepth = 0;
        return s_nDepth;
    }
};
