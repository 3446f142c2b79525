#include "base/CodePage.h"

#include <array>
#include <atomic>

#include "base/Text.h"

namespace tak {

namespace {

// The characters of the bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kWindows1250 = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164,
    0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122, 0x0161, 0x203A,
    0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9,
    0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139,
    0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1,
    0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD,
    0x0163, 0x02D9,
};

constexpr std::array<char16_t, 128> kWindows1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415,
    0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431,
    0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D,
    0x044E, 0x044F,
};

std::atomic<CodePage> mapCodePage{kDefaultCodePage};

bool IsAsciiLetter(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsCyrillic(char32_t c) { return c >= 0x0400 && c <= 0x04FF; }
bool IsLatinLetter(char32_t c) {
    return IsAsciiLetter(c) || (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7);
}

// Letters frequent in the languages written in 1250 that 1252 lacks; their
// bytes read as other letters there (č as è, ř as ø, ő as õ).
bool IsTypicalOf1250(char32_t c) {
    constexpr std::u32string_view kLetters = U"čřěůňťďľłśźżąęćńőűČŘĚŮŇŤĎĽŁŚŹŻĄĘĆŃŐŰ";
    return kLetters.find(c) != std::u32string_view::npos;
}

struct WordReading {
    bool allLetters = true;  // every character of the word is a letter
    int asciiLetters = 0;
    int cyrillic = 0;
    int typicalOf1250 = 0;
};

WordReading Read(std::string_view word, CodePage page) {
    WordReading reading;
    for (char byte : word) {
        char32_t c = CodePagePoint(page, static_cast<unsigned char>(byte));
        if (IsAsciiLetter(c)) ++reading.asciiLetters;
        if (IsCyrillic(c)) ++reading.cyrillic;
        if (IsTypicalOf1250(c)) ++reading.typicalOf1250;
        if (!IsLatinLetter(c) && !IsCyrillic(c)) reading.allLetters = false;
    }
    return reading;
}

// A word reads sensibly when all of it is letters of one script.
bool Sensible(const WordReading& reading) {
    return reading.allLetters && (reading.cyrillic == 0 || reading.asciiLetters == 0);
}

bool LooksLike(std::string_view word, CodePage other, CodePage chosen) {
    WordReading there = Read(word, other);
    WordReading here = Read(word, chosen);
    if (!Sensible(there)) return false;
    if (other == CodePage::Windows1251) {
        // A Cyrillic word read in a Latin page is a run of accented letters.
        return there.cyrillic >= 2 && there.asciiLetters == 0;
    }
    // A word of 1252 letters read in 1251 mixes scripts too: 1250 only when a
    // letter typical of it shows.
    if (other == CodePage::Windows1250 && chosen == CodePage::Windows1251 && there.typicalOf1250 == 0) return false;
    if (!Sensible(here)) return true;
    // Both pages read letters: only a word with two letters typical of 1250
    // tells that page from 1252.
    return other == CodePage::Windows1250 && chosen == CodePage::Windows1252 && there.typicalOf1250 >= 2;
}

}  // namespace

std::optional<CodePage> CodePageFromNumber(long number) {
    switch (number) {
        case 1250: return CodePage::Windows1250;
        case 1251: return CodePage::Windows1251;
        case 1252: return CodePage::Windows1252;
        default: return std::nullopt;
    }
}

int CodePageNumber(CodePage page) { return static_cast<int>(page); }

char32_t CodePagePoint(CodePage page, unsigned char byte) {
    if (byte < 0x80) return byte;
    switch (page) {
        case CodePage::Windows1250: return kWindows1250[byte - 0x80];
        case CodePage::Windows1251: return kWindows1251[byte - 0x80];
        case CodePage::Windows1252: break;
    }
    return Windows1252CodePoint(byte);
}

std::string DecodeCodePage(std::string_view bytes, CodePage page) {
    if (page == CodePage::Windows1252) return DecodeWindows1252(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char byte : bytes) {
        auto value = static_cast<unsigned char>(byte);
        if (value < 0x80) {
            out += byte;
        } else {
            AppendUtf8(out, CodePagePoint(page, value));
        }
    }
    return out;
}

void SetMapCodePage(CodePage page) { mapCodePage.store(page); }
CodePage MapCodePage() { return mapCodePage.load(); }
std::string DecodeMapText(std::string_view bytes) { return DecodeCodePage(bytes, MapCodePage()); }

std::optional<CodePageHint> FindOtherCodePage(std::string_view bytes, CodePage chosen) {
    // Words: runs of ASCII letters and bytes above 0x7F, taken when they hold
    // at least one of the latter.
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto isWordByte = [&](std::size_t at) {
            auto value = static_cast<unsigned char>(bytes[at]);
            return value >= 0x80 || IsAsciiLetter(value);
        };
        if (!isWordByte(i)) {
            ++i;
            continue;
        }
        std::size_t start = i;
        bool high = false;
        while (i < bytes.size() && isWordByte(i)) high |= static_cast<unsigned char>(bytes[i++]) >= 0x80;
        if (!high) continue;
        std::string_view word = bytes.substr(start, i - start);
        for (CodePage other : {CodePage::Windows1251, CodePage::Windows1250, CodePage::Windows1252}) {
            if (other != chosen && LooksLike(word, other, chosen)) return CodePageHint{other, DecodeCodePage(word, other)};
        }
    }
    return std::nullopt;
}

}  // namespace tak
