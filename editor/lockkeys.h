#pragma once

#include <optional>

// The keyboard's lock indicators, where the windowing system reports them
// (X11); nothing on platforms that do not.
struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

std::optional<LockKeyState> readLockKeys();
