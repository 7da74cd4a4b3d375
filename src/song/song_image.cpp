#include "song/song_image.h"

#include <algorithm>
#include <cctype>

namespace zephrane {
namespace {

#ifdef _WIN32
constexpr std::string_view kFolderSeparators = "\\/";
#else
constexpr std::string_view kFolderSeparators = "/";
#endif

constexpr std::string_view kStyleExtensions[] = {"sty", "pcs", "sst", "pst", "prs", "bcs"};

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

FileKind KindOfFileName(std::string_view path) {
    if (path.size() < 3) return FileKind::Other;
    const std::string extension = LowerAscii(path.substr(path.size() - 3));
    if (extension == "mid") return FileKind::Midi;
    for (std::string_view style : kStyleExtensions) {
        if (extension == style) return FileKind::Style;
    }
    return FileKind::Other;
}

std::string FileNameWithoutFolder(std::string_view path) {
    const auto separator = path.find_last_of(kFolderSeparators);
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string FolderWithSeparator(std::string_view path) {
    const auto separator = path.find_last_of(kFolderSeparators);
    return separator == std::string_view::npos ? "" : std::string(path.substr(0, separator + 1));
}

}  // namespace zephrane
