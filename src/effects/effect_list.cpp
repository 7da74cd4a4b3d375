#include "effects/effect_list.h"

#include <charconv>

#include "song/error.h"

namespace zephrane {
namespace {

constexpr size_t kReverbCount = 24;
constexpr size_t kChorusCount = 20;
constexpr size_t kSystemVariationCount = 102;
constexpr size_t kInsertionVariationCount = 75;

std::vector<std::string_view> NonEmptyLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find("\r\n");
        const std::string_view line = text.substr(0, end);
        if (!line.empty()) lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 2);
    }
    return lines;
}

EffectListEntry ParseLine(std::string_view line) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) Fail(error_number::kInvalidProcedureCall);
    std::string_view number = line.substr(comma + 1);
    while (!number.empty() && number.front() == ' ')
        number.remove_prefix(1);
    while (!number.empty() && number.back() == ' ')
        number.remove_suffix(1);
    int code = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), code);
    if (error != std::errc() || end != number.data() + number.size() || number.empty()) {
        Fail(error_number::kTypeMismatch);
    }
    return {std::string(line.substr(0, comma)), code};
}

void FillSection(const std::vector<std::string_view>& lines, size_t first, size_t count,
                 std::vector<EffectListEntry>& list) {
    for (size_t line = first; line < first + count; ++line) {
        if (line >= lines.size()) Fail(error_number::kSubscriptOutOfRange);
        list.push_back(ParseLine(lines[line]));
    }
}

}  // namespace

void ParseEffectListFile(std::string_view text, EffectLists& lists) {
    const std::vector<std::string_view> lines = NonEmptyLines(text);
    FillSection(lines, 0, kReverbCount, lists.reverb);
    FillSection(lines, kReverbCount, kChorusCount, lists.chorus);
    FillSection(lines, kReverbCount + kChorusCount, kSystemVariationCount, lists.systemVariation);
    FillSection(lines, kReverbCount + kChorusCount + kSystemVariationCount,
                kInsertionVariationCount, lists.insertionVariation);
}

int EffectCode(const std::vector<EffectListEntry>& list, int position) {
    if (position < 0 || position >= static_cast<int>(list.size())) {
        Fail(error_number::kSubscriptOutOfRange);
    }
    return list[position].code;
}

}  // namespace zephrane
