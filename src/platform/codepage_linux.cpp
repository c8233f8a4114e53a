#include "platform/codepage.h"

#include "platform/unicode.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cerrno>

namespace telvora::platform {
namespace {

constexpr const char* kAsciiCharset = "ANSI_X3.4-1968";

// An iconv descriptor that closes itself.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can, appending to `out`. Returns 0 when
    // all input was taken, else the errno that stopped it (EILSEQ or EINVAL).
    int Convert(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result =
                iconv(cd_, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) {
                    continue;
                }
                return errno;
            }
        }
        return 0;
    }

    // Writes any shift sequence that ends the output (stateful charsets).
    void Finish(std::string& out) {
        char buffer[64];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    }

    void ResetState() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

  private:
    iconv_t cd_;
};

bool IsUtf8Name(const std::string& charset) {
    std::string name;
    for (const char c : charset) {
        if (c != '-' && c != '_') {
            name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    return name == "UTF8";
}

std::string UsableCharset(const std::string& charset) {
    Converter probe("UTF-8", charset.c_str());
    return probe.ok() ? charset : std::string(kAsciiCharset);
}

}  // namespace

std::string AnsiCharset() {
    const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return kAsciiCharset;  // the environment names a locale that isn't installed
    }
    const char* codeset = nl_langinfo_l(CODESET, locale);
    std::string charset = codeset != nullptr && *codeset != '\0' ? codeset : kAsciiCharset;
    freelocale(locale);
    return charset;
}

std::string DecodeCharset(std::string_view bytes, const std::string& charset) {
    if (IsUtf8Name(charset)) {
        // glibc's UTF-8 decoder lets 5- and 6-byte forms through; ours is strict.
        return ReplaceInvalidUtf8(bytes);
    }
    Converter converter("UTF-8", UsableCharset(charset).c_str());
    std::string out;
    out.reserve(bytes.size());
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        if (converter.Convert(in, inLeft, out) == 0) {
            break;
        }
        // An undecodable byte (or an incomplete sequence at the end): one U+FFFD, then on.
        AppendUtf8(out, kReplacementCharacter);
        ++in;
        --inLeft;
        converter.ResetState();
    }
    return ReplaceInvalidUtf8(out);  // whatever a decoder lets through, the result is UTF-8
}

std::string EncodeCharset(std::string_view utf8, const std::string& charset) {
    Converter converter(UsableCharset(charset).c_str(), "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    std::size_t inLeft = utf8.size();
    while (inLeft > 0) {
        // Hand iconv only valid UTF-8, so that every stop is a character it can't hold.
        std::size_t valid = 0;
        while (const auto character =
                   DecodeUtf8Character(std::string_view(in + valid, inLeft - valid))) {
            valid += character->length;
        }
        std::size_t chunkLeft = valid;
        while (chunkLeft > 0) {
            if (converter.Convert(in, chunkLeft, out) == 0) {
                break;
            }
            const auto character = DecodeUtf8Character(std::string_view(in, chunkLeft));
            const std::size_t skip = character ? character->length : 1;
            out.push_back('?');
            in += skip;
            chunkLeft -= skip;
        }
        inLeft -= valid;
        if (inLeft > 0) {
            out.push_back('?');  // a byte that is not UTF-8
            ++in;
            --inLeft;
        }
    }
    converter.Finish(out);
    return out;
}

std::string DecodeAnsi(std::string_view bytes) {
    return DecodeCharset(bytes, AnsiCharset());
}

std::string EncodeAnsi(std::string_view utf8) {
    return EncodeCharset(utf8, AnsiCharset());
}

}  // namespace telvora::platform
