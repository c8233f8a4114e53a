#include "districts/body_lines.h"

#include <algorithm>
#include <utility>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace telvora::districts {
namespace {

constexpr const char* kNoMapping =
    "No mapping for the Unicode character exists in the target multi-byte code page";

// A body in the code page is converted in chunks of about this size, so that no more than one
// chunk is ever held twice, in the body's encoding and in UTF-8.
constexpr std::size_t kChunkBytes = 1 << 20;

// Where the next chunk of a body in the code page ends, and whether it ends with a line break:
// after the first line feed from kChunkBytes on, else after the first CR, else after the first
// byte below 0x30 (a comma, a blank), each of which is a character of its own in every code page
// a locale or Windows may have (the other bytes of their characters are 0x30 or above). A
// stretch of a megabyte without any such byte (no comma, no blank, no digit) is no part of a
// real entry; it is cut at twice the size, where a character may become two U+FFFD.
std::pair<std::size_t, bool> ChunkEnd(std::string_view body) {
    if (body.size() <= kChunkBytes) {
        return {body.size(), true};
    }
    const std::string_view window = body.substr(kChunkBytes - 1, kChunkBytes);
    for (const char brk : {'\n', '\r'}) {
        const std::size_t at = window.find(brk);
        if (at != std::string_view::npos) {
            return {kChunkBytes + at, true};
        }
    }
    for (std::size_t at = 0; at < window.size(); ++at) {
        if (static_cast<unsigned char>(window[at]) < 0x30) {
            return {kChunkBytes + at, false};
        }
    }
    return {kChunkBytes - 1 + window.size(), false};
}

// The chunks of one line joined, each freed once copied.
std::string Joined(std::vector<std::string>& chunks) {
    if (chunks.size() == 1) {
        std::string only = std::move(chunks.front());
        chunks.clear();
        return only;
    }
    std::size_t size = 0;
    for (const std::string& chunk : chunks) {
        size += chunk.size();
    }
    std::string out;
    out.reserve(size);
    for (std::string& chunk : chunks) {
        out += chunk;
        std::string().swap(chunk);
    }
    chunks.clear();
    return out;
}

}  // namespace

std::string_view TextLines::operator[](std::size_t index) const {
    const Line& line = lines_[index];
    const auto piece = std::upper_bound(firstLines_.begin(), firstLines_.end(), index) - 1;
    return std::string_view(pieces_[static_cast<std::size_t>(piece - firstLines_.begin())])
        .substr(line.start, line.length);
}

bool operator==(const TextLines& lines, const std::vector<std::string>& expected) {
    return std::equal(lines.begin(), lines.end(), expected.begin(), expected.end());
}

// Splits text piece by piece into a TextLines, as long as it keeps within the limits.
class TextLinesBuilder {
  public:
    explicit TextLinesBuilder(const LineLimits& limits) : limits_(limits) {}

    // Adds the next piece of the text; false once the list is past a limit or a NUL has ended
    // the text (nothing after it counts).
    bool Add(std::string piece) {
        if (ended_ || !withinLimits_) {
            return false;
        }
        const std::size_t nul = piece.find('\0');
        if (nul != std::string::npos) {
            piece.resize(nul);  // a NUL ends the text
            ended_ = true;
        }
        textBytes_ += piece.size();
        if (textBytes_ > limits_.maxTextBytes) {
            withinLimits_ = false;
            return false;
        }
        piece.shrink_to_fit();
        lines_.firstLines_.push_back(lines_.lines_.size());
        std::size_t pos = 0;
        // A CR that ended the piece before takes an LF that begins this one with it.
        if (pendingCr_ && !piece.empty() && piece[0] == '\n') {
            pos = 1;
        }
        pendingCr_ = false;
        while (pos < piece.size()) {
            if (lines_.lines_.size() == limits_.maxLines) {
                withinLimits_ = false;
                return false;
            }
            const std::size_t brk = piece.find_first_of("\r\n", pos);
            const std::size_t end = brk == std::string::npos ? piece.size() : brk;
            lines_.lines_.push_back(
                {static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(end - pos)});
            if (brk == std::string::npos) {
                break;
            }
            pos = brk + 1;
            if (piece[brk] == '\r') {
                if (pos < piece.size() && piece[pos] == '\n') {
                    ++pos;
                } else if (pos == piece.size()) {
                    pendingCr_ = true;
                }
            }
        }
        lines_.pieces_.push_back(std::move(piece));
        return !ended_;
    }

    std::optional<TextLines> Finish() {
        if (!withinLimits_) {
            return std::nullopt;
        }
        return std::move(lines_);
    }

  private:
    LineLimits limits_;
    TextLines lines_;
    std::size_t textBytes_ = 0;
    bool pendingCr_ = false;
    bool ended_ = false;
    bool withinLimits_ = true;
};

TextLines SplitTextLines(std::string_view text) {
    TextLinesBuilder builder{LineLimits{}};
    builder.Add(std::string(text));
    return *builder.Finish();
}

std::optional<TextLines> BodyToLines(std::string_view body, const LineLimits& limits) {
    TextLinesBuilder builder(limits);
    auto startsWith = [&](std::string_view mark) { return body.substr(0, mark.size()) == mark; };
    if (startsWith("\xEF\xBB\xBF")) {
        const std::string_view text = body.substr(3);
        if (!platform::IsValidUtf8(text)) {
            throw Error(kNoMapping);
        }
        builder.Add(std::string(text));
    } else if (startsWith("\xFF\xFE")) {
        builder.Add(platform::Utf16ToUtf8(body.substr(2), platform::ByteOrder::kLittleEndian));
    } else if (startsWith("\xFE\xFF")) {
        builder.Add(platform::Utf16ToUtf8(body.substr(2), platform::ByteOrder::kBigEndian));
    } else {
        // Chunks that end inside a line wait for the rest of it: a line is one piece of text.
        std::vector<std::string> open;
        std::size_t textBytes = 0;
        while (!body.empty()) {
            const auto [size, atBreak] = ChunkEnd(body);
            open.push_back(platform::DecodeAnsi(body.substr(0, size)));
            body.remove_prefix(size);
            textBytes += open.back().size();
            if (textBytes > limits.maxTextBytes) {
                return std::nullopt;
            }
            if ((atBreak || body.empty()) && !builder.Add(Joined(open))) {
                break;
            }
        }
    }
    return builder.Finish();
}

TextLines BodyToLines(std::string_view body) {
    return *BodyToLines(body, LineLimits{});
}

}  // namespace telvora::districts
