#include "crash/ErrorHandler.h"

#include <algorithm>

namespace tak {

namespace {

// Appends to a fixed buffer, dropping what does not fit; always leaves room
// for the terminating zero. Nothing here may allocate or lock: it runs inside
// signal handlers.
class ReportWriter {
public:
    ReportWriter(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Text(const char* text) {
        while (text != nullptr && *text != '\0') Char(*text++);
    }

    void Char(char c) {
        if (length_ + 1 < capacity_) buffer_[length_++] = c;
    }

    void Unsigned(uint64_t value) {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) Char(digits[--count]);
    }

    void Signed(int64_t value) {
        if (value < 0) {
            Char('-');
            // Negating in unsigned arithmetic keeps INT64_MIN representable.
            Unsigned(0 - static_cast<uint64_t>(value));
        } else {
            Unsigned(static_cast<uint64_t>(value));
        }
    }

    void Hex(uint64_t value) {
        const char* hexDigits = "0123456789ABCDEF";
        char digits[16];
        int count = 0;
        do {
            digits[count++] = hexDigits[value & 0xF];
            value >>= 4;
        } while (value != 0);
        while (count > 0) Char(digits[--count]);
    }

    std::size_t Finish() {
        if (capacity_ > 0) buffer_[length_] = '\0';
        return length_;
    }

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

}  // namespace

std::size_t BuildCrashReport(const CrashDetails& details, char* buffer, std::size_t capacity) {
    ReportWriter out(buffer, capacity);
    out.Text("Error Message:\t");
    out.Text(details.message);
    if (details.messageDetail != nullptr && details.messageDetail[0] != '\0') {
        out.Text(": ");
        out.Text(details.messageDetail);
    }
    out.Text("\r\nError Code:\t");
    out.Signed(details.code);
    out.Text("\r\nCode Address:\t");
    out.Unsigned(details.codeAddress);
    if (details.hasTargetAddress) {
        out.Text("\r\nTarget Address:\t");
        out.Unsigned(details.targetAddress);
    }
    out.Text("\r\nSourcecode line:\t");
    out.Signed(details.sourceLine);
    out.Text("\r\nSourcecode file:\t");
    out.Text(details.sourceFile);
    out.Text("\r\n\r\nRegister content:\r\n");
    for (int i = 0; i < details.registerCount && i < kMaxCrashRegisters; ++i) {
        out.Text(details.registers[i].name);
        out.Text("\t=\t0x");
        out.Hex(details.registers[i].value);
        out.Text("\r\n");
    }
    return out.Finish();
}

std::string VersionWithTwoDecimals(std::string_view version) {
    std::size_t dot = version.find('.');
    std::string_view whole = version.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
    // Only the first fraction component counts ("0.1.2" is version 0.10).
    fraction = fraction.substr(0, fraction.find('.'));
    std::string text(whole.empty() ? std::string_view("0") : whole);
    text += '.';
    for (std::size_t i = 0; i < 2; ++i) text += i < fraction.size() ? fraction[i] : '0';
    return text;
}

bool IsUsableMailAddress(std::string_view address) {
    constexpr std::size_t kLongestAddress = 254;
    std::size_t at = address.find('@');
    if (address.empty() || address.size() > kLongestAddress || at == 0 || at == std::string_view::npos ||
        at + 1 == address.size() || address.find('@', at + 1) != std::string_view::npos) {
        return false;
    }
    return std::none_of(address.begin(), address.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte == 0x7F || std::string_view("?&#<>,;:%\"\\").find(c) != std::string_view::npos;
    });
}

std::string CrashMailLink(std::string_view supportAddress, std::string_view version, std::string_view report) {
    std::string link = "mailto:";
    link += supportAddress;
    link += "?subject=Taktarium Error Description&body=";
    link += "Hello Taktarium team,";
    link += "%0A%0A";
    link += "i discovered an Error with Taktarium V.";
    link += VersionWithTwoDecimals(version);
    link += " :%0A";
    for (std::size_t i = 0; i < report.size(); ++i) {
        if (report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n') {
            link += "%0A";
            ++i;
        } else if (report[i] == '\t') {
            link += ' ';
        } else {
            link += report[i];
        }
    }
    return link;
}

}  // namespace tak
