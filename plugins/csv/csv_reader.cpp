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

bool number(const std::string& s, double& v) {
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+')
        ++b;
    const auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e && std::isfinite(v);
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
        pos = end + 1;
        if (end < all.size() && all[end] == '\r' && pos < all.size() && all[pos] == '\n')
            ++pos;
    }
    if (values.empty())
        return false;
    const bool raw = std::all_of(values.begin(), values.end(), [](double v) {
        return v == std::trunc(v) && v >= -32767 && v <= 32767;
    });
    double largest = 0;
    for (double v : values)
        largest = std::max(largest, std::fabs(v));
    if (raw || largest == 0)
        largest = 32767.0;
    words.reserve(values.size());
    // Divided first: 32767 / largest overflows for the tiniest columns.
    for (double v : values)
        words.push_back(
            static_cast<int16_t>(std::clamp(std::lround(v / largest * 32767.0), -32767L, 32767L)));
    return true;
}

} // namespace velda::plugin
