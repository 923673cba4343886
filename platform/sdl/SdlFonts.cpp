#include "platform/sdl/SdlFonts.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <mutex>

namespace {

// The requested faces are Windows faces that Linux desktops don't have. Send each to installed
// Japanese faces of a fitting weight: the UI face to IPA P Gothic, the medium one to M PLUS 1
// Medium, each with the others behind it. The heavy display face goes to IPA P Gothic made bold:
// M PLUS 1 Black is heavier, but its "Zimbrot" is 194 pixels wide and the heading, at 16, would
// run 9 pixels past the window's edge; emboldened IPA P Gothic keeps it inside.
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="pattern">
    <test name="family"><string>ＭＳ Ｐゴシック</string></test>
    <edit name="family" mode="assign" binding="strong">
      <string>IPAPGothic</string><string>M PLUS 1</string><string>Noto Sans CJK JP</string><string>Droid Sans Fallback</string>
    </edit>
  </match>
  <match target="pattern">
    <test name="family"><string>MS PGothic</string></test>
    <edit name="family" mode="assign" binding="strong">
      <string>IPAPGothic</string><string>M PLUS 1</string><string>Noto Sans CJK JP</string><string>Droid Sans Fallback</string>
    </edit>
  </match>
  <match target="pattern">
    <test name="family"><string>ＤＦ特太ゴシック体</string></test>
    <edit name="weight" mode="assign"><const>black</const></edit>
    <edit name="family" mode="assign" binding="strong">
      <string>IPAPGothic</string><string>M PLUS 1</string><string>Noto Sans CJK JP</string><string>Droid Sans Fallback</string>
    </edit>
  </match>
  <match target="pattern">
    <test name="family"><string>ＤＦ平成ゴシック体W5</string></test>
    <edit name="weight" mode="assign"><const>medium</const></edit>
    <edit name="family" mode="assign" binding="strong">
      <string>M PLUS 1</string><string>Noto Sans CJK JP</string><string>IPAPGothic</string><string>Droid Sans Fallback</string>
    </edit>
  </match>
</fontconfig>
)";

std::once_flag aliasesLoaded;

void LoadAliases()
{
    std::call_once(aliasesLoaded, [] {
        FcInit();
        FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(kAliases), FcTrue);
    });
}

// Hiragana and kanji, and for the face the ball is drawn in, its black circle: a face without
// them would show boxes.
bool HasJapanese(FcPattern* pattern, bool needsCircle)
{
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(pattern, FC_CHARSET, 0, &charset) != FcResultMatch)
        return false;
    return FcCharSetHasChar(charset, 0x3042) && FcCharSetHasChar(charset, 0x6587) &&
           (!needsCircle || FcCharSetHasChar(charset, 0x25CF));
}

}  // namespace

std::string SdlFonts::Resolve(const std::string& name, bool bold, std::string* family, bool* syntheticBold)
{
    LoadAliases();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    bool needsCircle = name == "ＭＳ Ｐゴシック" || name == "MS PGothic";
    std::string file;
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    for (int i = 0; sorted != nullptr && i < sorted->nfont && file.empty(); ++i) {
        FcPattern* candidate = FcFontRenderPrepare(nullptr, pattern, sorted->fonts[i]);
        FcChar8* path = nullptr;
        if (HasJapanese(candidate, needsCircle) && FcPatternGetString(candidate, FC_FILE, 0, &path) == FcResultMatch) {
            file = reinterpret_cast<const char*>(path);
            FcChar8* fam = nullptr;
            if (family != nullptr && FcPatternGetString(candidate, FC_FAMILY, 0, &fam) == FcResultMatch)
                *family = reinterpret_cast<const char*>(fam);
            // A face that has no bold of its own is emboldened, as the platform does.
            int weight = FC_WEIGHT_REGULAR;
            FcPatternGetInteger(sorted->fonts[i], FC_WEIGHT, 0, &weight);
            if (syntheticBold != nullptr)
                *syntheticBold = bold && weight < FC_WEIGHT_DEMIBOLD;
        }
        FcPatternDestroy(candidate);
    }
    if (sorted != nullptr)
        FcFontSetDestroy(sorted);
    FcPatternDestroy(pattern);
    return file;
}

SdlFonts::SdlFonts()
{
    if (TTF_WasInit() == 0)
        TTF_Init();
}

SdlFonts::~SdlFonts()
{
    for (auto& [key, face] : faces_)
        if (face.font != nullptr)
            TTF_CloseFont(face.font);
}

const SdlFonts::Face* SdlFonts::Get(const TFont& font)
{
    auto key = std::make_tuple(font.Name, font.EmPixels(), font.Bold);
    if (auto it = faces_.find(key); it != faces_.end())
        return it->second.font != nullptr ? &it->second : nullptr;
    Face face;
    face.em = font.EmPixels();
    face.file = Resolve(font.Name, font.Bold, &face.family, &face.syntheticBold);
    if (!face.file.empty())
        face.font = TTF_OpenFont(face.file.c_str(), face.em);  // point size N at 72 dpi: an em of N pixels
    if (face.font != nullptr) {
        if (face.syntheticBold)
            TTF_SetFontStyle(face.font, TTF_STYLE_BOLD);
        // The label is one em tall: place the baseline where the face's own ascent and descent,
        // scaled to one em, put it.
        int ascent = TTF_FontAscent(face.font);
        int descent = -TTF_FontDescent(face.font);
        face.baseline = ascent + descent > 0
                            ? static_cast<int>(std::lround(face.em * static_cast<double>(ascent) / (ascent + descent)))
                            : face.em;
    }
    auto [it, inserted] = faces_.emplace(key, face);
    return it->second.font != nullptr ? &it->second : nullptr;
}

TSize SdlFonts::Measure(const TFont& font, const std::string& text)
{
    std::lock_guard lock(mutex_);
    const Face* face = Get(font);
    if (face == nullptr)
        return {static_cast<int>(text.size()) * font.EmPixels() / 2, font.EmPixels()};
    int width = 0;
    int height = 0;
    if (!text.empty())
        TTF_SizeUTF8(face->font, text.c_str(), &width, &height);
    return {width, face->em};
}
