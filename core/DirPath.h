// The folder chooser's path rule, free of Qt so that both path forms can be
// checked on any platform. Paths are native byte strings: UTF-8 on POSIX,
// cp932 on Windows.
#pragma once

#include <functional>
#include <string>
#include <string_view>

struct TPathForm {
    std::string_view Separators;  // bytes that end a directory name
    std::string_view DriveMarks;  // separators that always stay with the part ("C:")
    bool Cp932;                   // a trail byte of a double-byte character is no separator
};

inline constexpr TPathForm kPosixPathForm{"/", "", false};
inline constexpr TPathForm kWindowsPathForm{"\\:", ":", true};
inline constexpr TPathForm kNativePathForm =
#ifdef _WIN32
    kWindowsPathForm;
#else
    kPosixPathForm;
#endif

// Everything before the last separator; the separator itself stays when it is a
// drive mark, the path's first byte, or follows another separator, so only a
// root keeps a trailing separator. Empty when the path has no separator.
std::string ExtractDirectoryPart(std::string_view path, const TPathForm& form);

// The folder a confirmed choice names: the directory part of fileName (of
// exePath when fileName is empty), or exePath's directory when that is no
// existing directory.
std::string ChosenDirectory(std::string_view fileName, std::string_view exePath,
                            const TPathForm& form,
                            const std::function<bool(const std::string&)>& isDirectory);
