#pragma once

#include <QFont>
#include <QString>

// How every editor view looks, as the user chose it: one set for all views,
// so that a change shows in every open file at once.
struct EditorLook {
    static constexpr int kMinPixels = 6;
    static constexpr int kMaxPixels = 72;

    QString fontFamily; // empty: the built-in Hangul fixed-pitch choice
    int fontPixels = 13;
    int zoom = 0; // pixels added by the zoom keys
    int tabWidth = 8; // columns
    bool lineNumbers = true;

    // The font the views show: the chosen family ahead of the Hangul
    // fallbacks, at the chosen size with the zoom.
    QFont font() const;
    // The zoom that `steps` more zoom-key presses give, kept so that the
    // size stays in range.
    int zoomedBy(int steps) const;

    bool operator==(const EditorLook &) const = default;
};
