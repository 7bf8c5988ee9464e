#include "platform/text_encoding.h"

#include <bit>
#include <climits>
#include <cstring>
#include <string>

#include <iconv.h>
#include <langinfo.h>

namespace vantix {
namespace {

constexpr const char* kUtf16Name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Opened per call: the locale, and with it the narrow charset, may change
// between calls, and a private descriptor needs no locking.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of [in, in + inBytes) into at most outBytes. Fails on any
    // invalid, incomplete or unrepresentable input and on overflow; an
    // irreversible (lossy) conversion counts as a failure too.
    bool Convert(const char* in, size_t inBytes, char* out, size_t outBytes, size_t* written) {
        char* inPtr = const_cast<char*>(in);
        char* outPtr = out;
        size_t outLeft = outBytes;
        if (iconv(cd_, &inPtr, &inBytes, &outPtr, &outLeft) != 0) {
            return false;
        }
        // Flushes the shift state of stateful charsets.
        if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) != 0) {
            return false;
        }
        *written = outBytes - outLeft;
        return true;
    }

private:
    iconv_t cd_;
};

std::string NarrowCharset() {
    // Copied at once: the returned storage is only valid until the next
    // locale change.
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && codeset[0] != '\0' ? codeset : "ANSI_X3.4-1968";
}

}  // namespace

size_t Utf16Length(const char16_t* text) {
    if (text == nullptr) {
        return 0;
    }
    size_t length = 0;
    while (text[length] != u'\0') {
        ++length;
    }
    return length;
}

bool Utf16ToAnsi(const char16_t* text, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) {
        return false;
    }
    std::memset(out, 0, outSize);
    if (text == nullptr) {
        return false;
    }
    Converter converter(NarrowCharset().c_str(), kUtf16Name);
    if (!converter.Valid()) {
        return false;
    }
    size_t written = 0;
    if (!converter.Convert(reinterpret_cast<const char*>(text), Utf16Length(text) * sizeof(char16_t), out, outSize - 1,
                           &written)) {
        std::memset(out, 0, outSize);
        return false;
    }
    return true;
}

int AnsiToUtf16(const char* text, char16_t* out, size_t outUnits) {
    if (out == nullptr || outUnits == 0) {
        return -1;
    }
    out[0] = u'\0';
    if (text == nullptr) {
        return -1;
    }
    // The count is returned as int, so larger buffers are used only up to that.
    const size_t capacity = outUnits - 1 < static_cast<size_t>(INT_MAX) ? outUnits - 1 : static_cast<size_t>(INT_MAX);
    Converter converter(kUtf16Name, NarrowCharset().c_str());
    if (!converter.Valid()) {
        return -1;
    }
    size_t written = 0;
    if (!converter.Convert(text, std::strlen(text), reinterpret_cast<char*>(out), capacity * sizeof(char16_t),
                           &written)) {
        out[0] = u'\0';
        return -1;
    }
    const size_t units = written / sizeof(char16_t);
    out[units] = u'\0';
    return static_cast<int>(units);
}

}  // namespace vantix
