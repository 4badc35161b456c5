#include "core/DirPath.h"

#include "core/Encoding.h"

namespace {

bool IsIn(std::string_view set, char c) {
    return set.find(c) != std::string_view::npos;
}

}  // namespace

std::string ExtractDirectoryPart(std::string_view path, const TPathForm& form) {
    // Walk character by character so that a trail byte is never taken for a separator.
    size_t last = std::string_view::npos;
    bool lastFollowsSeparator = false;
    bool previousIsSeparator = false;
    for (size_t i = 0; i < path.size();) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (form.Cp932 && IsCp932LeadByte(c) && i + 1 < path.size()) {
            previousIsSeparator = false;
            i += 2;
            continue;
        }
        const bool isSeparator = IsIn(form.Separators, path[i]);
        if (isSeparator) {
            last = i;
            lastFollowsSeparator = previousIsSeparator;
        }
        previousIsSeparator = isSeparator;
        ++i;
    }
    if (last == std::string_view::npos) {
        return {};
    }
    const bool keep = last == 0 || lastFollowsSeparator || IsIn(form.DriveMarks, path[last]);
    return std::string(path.substr(0, keep ? last + 1 : last));
}

std::string ChosenDirectory(std::string_view fileName, std::string_view exePath,
                            const TPathForm& form,
                            const std::function<bool(const std::string&)>& isDirectory) {
    std::string dir = ExtractDirectoryPart(fileName.empty() ? exePath : fileName, form);
    if (!isDirectory(dir)) {
        dir = ExtractDirectoryPart(exePath, form);
    }
    return dir;
}
