#pragma once

#include "platform/controls/Graphics.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

typedef struct _TTF_Font TTF_Font;

// The faces the layout asks for, found through fontconfig with our own alias rules (loaded into
// the process's configuration, no system file touched), opened with SDL_ttf at an em of N pixels.
// A face without Japanese glyphs is never chosen.
class SdlFonts {
public:
    struct Face {
        TTF_Font* font = nullptr;
        std::string file;
        std::string family;
        int em = 0;
        int baseline = 0;  // from the top of a box one em tall
        bool syntheticBold = false;
    };

    SdlFonts();
    ~SdlFonts();
    SdlFonts(const SdlFonts&) = delete;
    SdlFonts& operator=(const SdlFonts&) = delete;

    // Labels are measured under the UI lock, possibly in a tick, while the window thread draws
    // text without it: both go through this lock, since the faces are not thread-safe.
    std::mutex& Mutex() { return mutex_; }
    // Null only when no usable face is installed at all. Call with Mutex() held.
    const Face* Get(const TFont& font);
    TSize Measure(const TFont& font, const std::string& text);

    // Which file fontconfig gives for a face name, weight and boldness (for diagnostics and tests).
    static std::string Resolve(const std::string& name, bool bold, std::string* family = nullptr,
                               bool* syntheticBold = nullptr);

private:
    std::mutex mutex_;
    std::map<std::tuple<std::string, int, bool>, Face> faces_;
};
