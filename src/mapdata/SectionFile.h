// The line-oriented section format shared by every simulator timetable file:
// "[name]" header lines, each followed by value lines read in a fixed order
// that depends on the section. Lines that no section consumes are skipped,
// which is how the files carry their comments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tak {

class SectionReader {
public:
    // `bytes` is the whole file in Windows-1252. Every marker of the format is
    // ASCII, so the reader works on the bytes and decodes only the values that
    // are kept as text.
    explicit SectionReader(std::string bytes);

    // Skips to the next header and returns its name: the text after "[" up to
    // the first "]". Returns "" at the end of the file and for a header with
    // no "]" or nothing between the brackets, which ends the reading too.
    // `previousLine` receives the last line (blanks trimmed) skipped while
    // looking for this header, or "" when the header came right away.
    std::string_view NextSection(std::string_view& previousLine);

    // The 1-based line number of the header NextSection returned last.
    int32_t HeaderLine() const { return headerLine_; }

    // True once every line has been read (or a malformed header ended it).
    bool AtEnd() const { return ended_ || pos_ >= bytes_.size(); }

    // The next line as it stands, as bytes; "" once the file has ended.
    std::string_view NextValue();
    // The next line as it stands, decoded to UTF-8.
    std::string NextText();
    int32_t NextInteger();
    // The next line as minutes, in whole seconds.
    int32_t NextMinutes();

    // Checked forms of the two: nullopt when the line is not a number of
    // that form (see ParseWholeNumber and ParseMinutesChecked below). The
    // line stays available as LastValue for a finding.
    std::optional<int32_t> NextWholeNumber();
    std::optional<int32_t> NextMinutesChecked();
    // The line NextValue (or a reader built on it) returned last, and its
    // 1-based line number.
    std::string_view LastValue() const { return lastValue_; }
    int32_t LastValueLine() const { return lastValueLine_; }

private:
    bool NextLine(std::string_view& line);

    std::string bytes_;
    std::size_t pos_ = 0;
    int32_t linesRead_ = 0;
    int32_t headerLine_ = 0;
    std::string_view lastValue_;
    int32_t lastValueLine_ = 0;
    bool ended_ = false;
};

// A minutes value ("2.5") in whole seconds, rounded half to even; text that
// is not a decimal number gives 0.
int32_t ParseMinutes(std::string_view text);

// A whole number as the files write one: blanks and tabs around an optional
// sign and at least one digit, nothing else; nullopt also beyond 32 bits.
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// Minutes as the files write them: blanks and tabs around an optional sign
// and a decimal number with "." ("2.5", "12", ".5"), in whole seconds as
// ParseMinutes gives them. Exponents, "NaN", "inf", other characters and
// values beyond 32 bits of seconds give nullopt.
std::optional<int32_t> ParseMinutesChecked(std::string_view text);

}  // namespace tak
