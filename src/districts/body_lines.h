// The body of the district-list response as text lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvora::districts {

// Lines of a text, held compactly: the text in a few large pieces, each ending with a line
// break (or the text), and eight bytes a line for where it stands, however short the lines are.
// A line reads as a view into the text, without its break.
class TextLines {
  public:
    class const_iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        const_iterator(const TextLines* lines, std::size_t index) : lines_(lines), index_(index) {}
        std::string_view operator*() const { return (*lines_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) {
            const const_iterator before = *this;
            ++index_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

      private:
        const TextLines* lines_ = nullptr;
        std::size_t index_ = 0;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;

    std::size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    std::string_view operator[](std::size_t index) const;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, lines_.size()}; }

    friend bool operator==(const TextLines& lines, const std::vector<std::string>& expected);

  private:
    friend class TextLinesBuilder;

    struct Line {
        std::uint32_t start;  // within its piece
        std::uint32_t length;
    };
    std::vector<std::string> pieces_;
    std::vector<std::size_t> firstLines_;  // of each piece
    std::vector<Line> lines_;
};

// What a list may grow to: its number of lines, and the bytes of its text once converted to
// UTF-8 (a code page's two-byte letters become up to three). Without limits nothing is refused.
struct LineLimits {
    std::size_t maxLines = std::numeric_limits<std::size_t>::max();
    std::size_t maxTextBytes = std::numeric_limits<std::size_t>::max();
};

// Picks the encoding by the byte-order mark (EF BB BF: UTF-8, FF FE: UTF-16LE, FE FF:
// UTF-16BE; none: the locale's code page) and splits the text at CR LF, lone CR and lone LF.
// A NUL character ends the text. A break at the very end adds no empty line. Lines come out
// as UTF-8 without their breaks; nullopt when the list would pass `limits`. Throws
// telvora::Error when a body marked as UTF-8 is not valid UTF-8.
std::optional<TextLines> BodyToLines(std::string_view body, const LineLimits& limits);
TextLines BodyToLines(std::string_view body);

// The same splitting for text that is already UTF-8.
TextLines SplitTextLines(std::string_view text);

}  // namespace telvora::districts
