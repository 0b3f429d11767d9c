#include "csv_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace velda::plugin {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"'))
        s.remove_suffix(1);
    return s;
}

// The last non-empty field of a line.
std::string lastField(std::string_view line) {
    const bool semicolons = line.find(';') != std::string_view::npos;
    const auto isSep = [semicolons](char c) {
        return semicolons ? c == ';' : (c == ',' || c == '\t' || c == ' ');
    };
    size_t end = line.size();
    while (end > 0) {
        size_t begin = end;
        while (begin > 0 && !isSep(line[begin - 1]))
            --begin;
        const std::string_view f = trim(line.substr(begin, end - begin));
        if (!f.empty()) {
            std::string s(f);
            if (semicolons)
                std::replace(s.begin(), s.end(), ',', '.');
            return s;
        }
        if (begin == 0)
            break;
        end = begin - 1;
    }
    return {};
}

// Whether a number outside a double's range (without its sign) is too
// large rather than too small: its decimal magnitude, the digits before
// the point from the first non-zero one (less the zeros after the point
// when there are none) plus the exponent, is above 0.
bool tooLarge(std::string_view s) {
    const size_t e = s.find_first_of("eE");
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view x = s.substr(e + 1);
        if (!x.empty() && x.front() == '+')
            x.remove_prefix(1);
        const auto r = std::from_chars(x.data(), x.data() + x.size(), exponent);
        if (r.ec == std::errc::result_out_of_range)
            return x.front() != '-';
        s = s.substr(0, e);
    }
    const size_t point = std::min(s.find('.'), s.size());
    const size_t first = s.find_first_not_of("0.");
    if (first == std::string_view::npos)
        return false;
    const long long digits = first < point ? static_cast<long long>(point - first)
                                           : -static_cast<long long>(first - point - 1);
    constexpr long long kBeyond = 1'000'000'000'000LL; // far past any double
    return std::clamp(exponent, -kBeyond, kBeyond) + digits > 0;
}

// A number, "nan" and "inf" as well: a sample the instrument could not
// give still takes its place in the column. A number too large for a
// double is infinite, one too small zero.
bool number(const std::string& s, double& v) {
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+')
        ++b;
    const auto r = std::from_chars(b, e, v);
    if (r.ptr != e || b == e)
        return false;
    if (r.ec == std::errc::result_out_of_range) {
        const bool negative = *b == '-';
        const bool large = tooLarge(std::string_view(b, size_t(e - b)).substr(negative ? 1 : 0));
        v = !large ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
        return true;
    }
    return r.ec == std::errc();
}

} // namespace

bool Csv_Words(const char* text, size_t size, std::vector<int16_t>& words) {
    words.clear();
    std::vector<double> values;
    std::string_view all(text, size);
    // A UTF-8 byte-order mark is not part of the first line.
    if (all.substr(0, 3) == "\xEF\xBB\xBF")
        all.remove_prefix(3);
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = all.size();
        double v = 0;
        if (number(lastField(all.substr(pos, end - pos)), v))
            values.push_back(v);
        if (values.size() == kMaxValues)
            break;
        pos = end + 1;
        if (end < all.size() && all[end] == '\r' && pos < all.size() && all[pos] == '\n')
            ++pos;
    }
    if (values.empty())
        return false;
    // NaN and the infinities take no part in the choice or the scale.
    const bool raw = std::all_of(values.begin(), values.end(), [](double v) {
        return !std::isfinite(v) || (v == std::trunc(v) && v >= -32767 && v <= 32767);
    });
    double largest = 0;
    for (double v : values)
        if (std::isfinite(v))
            largest = std::max(largest, std::fabs(v));
    if (raw || largest == 0)
        largest = 32767.0;
    words.reserve(values.size());
    for (double v : values) {
        if (std::isnan(v))
            words.push_back(0);
        else if (std::isinf(v))
            words.push_back(v > 0 ? 32767 : -32767);
        else // divided first: 32767 / largest overflows for the tiniest columns
            words.push_back(static_cast<int16_t>(
                std::clamp(std::lround(v / largest * 32767.0), -32767L, 32767L)));
    }
    return true;
}

} // namespace velda::plugin
