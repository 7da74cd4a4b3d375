#include "gui/rtf_to_html.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "song/text_codec.h"

namespace zephrane {
namespace {

struct CharacterFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;  // \fs is in half points: 24 is 12 pt
    bool skip = false;    // inside a destination that holds no text
    int unicodeSkip = 1;  // characters that follow a \uN for readers without Unicode

    bool SameLook(const CharacterFormat& other) const {
        return bold == other.bold && italic == other.italic && underline == other.underline &&
               halfPoints == other.halfPoints;
    }
};

bool IsSkippedDestination(std::string_view word) {
    for (std::string_view skipped :
         {"fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "footer", "headerl",
          "headerr", "footerl", "footerr", "listtable", "listoverridetable", "rsidtbl", "generator",
          "xmlnstbl", "themedata", "datastore", "latentstyles"}) {
        if (word == skipped) return true;
    }
    return false;
}

class RtfReader {
  public:
    explicit RtfReader(std::string_view rtf) : rtf_(rtf) {}
    std::string Read();

  private:
    void ControlWord();
    void ControlSymbol(char symbol);
    void Apply(std::string_view word, bool hasNumber, int number);
    void Text(const std::string& utf8);
    void Paragraph();
    void CloseSpan();

    std::string_view rtf_;
    size_t pos_ = 0;
    std::vector<CharacterFormat> stack_{CharacterFormat{}};
    bool destinationMarked_ = false;  // "\*" seen: an unknown destination is skipped
    bool spanOpen_ = false;
    CharacterFormat spanFormat_;
    std::string paragraph_;
    std::string html_;
    int pendingUnicodeSkip_ = 0;
};

CharacterFormat& Current(std::vector<CharacterFormat>& stack) {
    return stack.back();
}

void RtfReader::CloseSpan() {
    if (!spanOpen_) return;
    paragraph_ += "</span>";
    spanOpen_ = false;
}

std::string EscapeHtml(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '&':
                escaped += "&amp;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void RtfReader::Text(const std::string& utf8) {
    const CharacterFormat& format = Current(stack_);
    if (format.skip) return;
    if (pendingUnicodeSkip_ > 0) {
        --pendingUnicodeSkip_;
        return;
    }
    if (!spanOpen_ || !spanFormat_.SameLook(format)) {
        CloseSpan();
        paragraph_ += "<span style=\"font-size:" + std::to_string(format.halfPoints / 2) + "pt;";
        if (format.bold) paragraph_ += "font-weight:bold;";
        if (format.italic) paragraph_ += "font-style:italic;";
        if (format.underline) paragraph_ += "text-decoration:underline;";
        paragraph_ += "\">";
        spanOpen_ = true;
        spanFormat_ = format;
    }
    paragraph_ += EscapeHtml(utf8);
}

void RtfReader::Paragraph() {
    CloseSpan();
    html_ += "<p>" + (paragraph_.empty() ? std::string("&nbsp;") : paragraph_) + "</p>\n";
    paragraph_.clear();
}

void RtfReader::Apply(std::string_view word, bool hasNumber, int number) {
    CharacterFormat& format = Current(stack_);
    const bool on = !hasNumber || number != 0;
    if (format.skip) return;
    // "\*\word" marks a destination that a reader may skip; none of them holds text we show.
    if (destinationMarked_ || IsSkippedDestination(word)) {
        destinationMarked_ = false;
        format.skip = true;
        return;
    }
    if (word == "par") {
        Paragraph();
    } else if (word == "line") {
        CloseSpan();
        paragraph_ += "<br/>";
    } else if (word == "tab") {
        Text("\xE2\x80\x83");
    } else if (word == "b") {
        format.bold = on;
    } else if (word == "i") {
        format.italic = on;
    } else if (word == "ul") {
        format.underline = on;
    } else if (word == "ulnone") {
        format.underline = false;
    } else if (word == "fs" && hasNumber && number > 0) {
        format.halfPoints = number;
    } else if (word == "plain") {
        const bool skip = format.skip;
        format = CharacterFormat{};
        format.skip = skip;
    } else if (word == "uc" && hasNumber) {
        format.unicodeSkip = number;
    } else if (word == "u" && hasNumber) {
        char32_t cp = static_cast<char32_t>(number < 0 ? number + 65536 : number);
        std::string utf8;
        if (cp < 0x80) {
            utf8 += static_cast<char>(cp);
        } else if (cp < 0x800) {
            utf8 += static_cast<char>(0xC0 | (cp >> 6));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (cp >> 12));
            utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        }
        Text(utf8);
        pendingUnicodeSkip_ = format.unicodeSkip;
    }
}

void RtfReader::ControlWord() {
    const size_t start = pos_;
    while (pos_ < rtf_.size() && std::isalpha(static_cast<unsigned char>(rtf_[pos_])))
        ++pos_;
    const std::string_view word = rtf_.substr(start, pos_ - start);
    bool hasNumber = false;
    int number = 0;
    bool negative = false;
    if (pos_ < rtf_.size() && rtf_[pos_] == '-') {
        negative = true;
        ++pos_;
    }
    while (pos_ < rtf_.size() && std::isdigit(static_cast<unsigned char>(rtf_[pos_]))) {
        hasNumber = true;
        if (number < 1000000) number = number * 10 + (rtf_[pos_] - '0');
        ++pos_;
    }
    if (negative) number = -number;
    if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;  // the delimiting blank belongs to it
    Apply(word, hasNumber, number);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void RtfReader::ControlSymbol(char symbol) {
    ++pos_;
    switch (symbol) {
        case '\'': {
            const int high = pos_ < rtf_.size() ? HexValue(rtf_[pos_]) : -1;
            const int low = pos_ + 1 < rtf_.size() ? HexValue(rtf_[pos_ + 1]) : -1;
            if (high < 0 || low < 0) return;
            pos_ += 2;
            const uint8_t byte = static_cast<uint8_t>(high * 16 + low);
            Text(DecodeAnsi(std::span<const uint8_t>(&byte, 1)));
            break;
        }
        case '*':
            destinationMarked_ = true;
            break;
        case '~':
            Text("\xC2\xA0");
            break;
        case '-':
            break;  // optional hyphen
        case '_':
            Text("-");
            break;
        case '\n':
        case '\r':
            Paragraph();
            break;
        default:
            Text(std::string(1, symbol));
            break;  // \\ \{ \}
    }
}

std::string RtfReader::Read() {
    while (pos_ < rtf_.size()) {
        const char c = rtf_[pos_];
        if (c == '{') {
            stack_.push_back(Current(stack_));
            ++pos_;
        } else if (c == '}') {
            if (stack_.size() > 1) stack_.pop_back();
            destinationMarked_ = false;
            ++pos_;
        } else if (c == '\\') {
            ++pos_;
            if (pos_ >= rtf_.size()) break;
            if (std::isalpha(static_cast<unsigned char>(rtf_[pos_]))) {
                ControlWord();
            } else {
                ControlSymbol(rtf_[pos_]);
            }
        } else if (c == '\r' || c == '\n') {
            ++pos_;  // line ends in the source are not text
        } else {
            const size_t start = pos_;
            while (pos_ < rtf_.size() && rtf_[pos_] != '{' && rtf_[pos_] != '}' &&
                   rtf_[pos_] != '\\' && rtf_[pos_] != '\r' && rtf_[pos_] != '\n') {
                ++pos_;
            }
            const std::string_view run = rtf_.substr(start, pos_ - start);
            // Plain text of an RTF file is Windows-1252, one byte a character.
            for (char byte : run) {
                const uint8_t value = static_cast<uint8_t>(byte);
                Text(DecodeAnsi(std::span<const uint8_t>(&value, 1)));
            }
        }
    }
    if (!paragraph_.empty()) Paragraph();
    return html_;
}

}  // namespace

std::string RtfToHtml(std::string_view rtf) {
    return RtfReader(rtf).Read();
}

}  // namespace zephrane
