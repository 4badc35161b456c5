// The preferences file "quorvantel.ini": where it lives, its lines and the
// text a save writes. Texts are cp932 bytes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/Bounds.h"
#include "core/Errors.h"
#include "core/Prefs.h"

inline constexpr char kPrefsFileName[] = "quorvantel.ini";

// Where the preferences live: beside the executable when that directory is
// writable or the file already stands there, else userConfigDir/quorvantel/.
std::filesystem::path ChoosePrefsPath(const std::filesystem::path& exeDir, bool exeDirWritable,
                                      const std::filesystem::path& userConfigDir);

// The window edges a preferences line may set.
class TPrefsWindow {
  public:
    virtual void SetLeft(int left) = 0;
    virtual void SetTop(int top) = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;

  protected:
    ~TPrefsWindow() = default;
};

// Handles one line as ReadTextLines hands it over. A bad window value throws
// EListError or EConvertError; whatever the line set before that stays set.
void ApplyPrefsLine(const std::string& line, TPrefs& prefs, TPrefsWindow& window);

// Reads the file into prefs and window. Returns false, changing nothing, when no
// file stands there. A line whose window value fails goes to onBadLine and is
// skipped; the rest of the file is still read. Throws EInOutError.
bool ReadPrefsFile(const std::filesystem::path& path, TPrefs& prefs, TPrefsWindow& window,
                   const std::function<void(const EAppError&)>& onBadLine);

// The defaults a read file leaves empty: "> ", "ADDRESS", "YES".
void ApplyPrefsDefaults(TPrefs& prefs);

// UTF-8 caption of the list's second column for List2ndItem; empty leaves it as it is.
std::string SecondColumnCaption(std::string_view list2ndItem);

// The seven lines, each followed by CR LF.
std::string BuildPrefsText(std::string_view mailFolder, std::string_view quoteString,
                           const TPrefs& prefs, const TBounds& bounds);
