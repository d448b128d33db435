#include "definition/toml/toml_datetime_text.h"

#include <cstdio>
#include <cstdlib>

namespace velloquin::core {
namespace {

std::string two_digits(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02u", value % 100);
  return buffer;
}

std::string offset_text(const toml::time_offset& offset, std::string_view literal) {
  // A letter Z stays Z; a numeric offset, even +00:00, is written out.
  if (!literal.empty() && (literal.back() == 'Z' || literal.back() == 'z')) return "Z";
  const int minutes = offset.minutes;
  const unsigned magnitude = static_cast<unsigned>(std::abs(minutes));
  return std::string(minutes < 0 ? "-" : "+") + two_digits(magnitude / 60) + ":" +
         two_digits(magnitude % 60);
}

}  // namespace

std::string toml_date_text(const toml::date& date) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04u", static_cast<unsigned>(date.year) % 10000);
  return std::string(buffer) + "-" + two_digits(date.month) + "-" + two_digits(date.day);
}

std::string toml_time_text(const toml::time& time, std::string_view literal) {
  std::string out = two_digits(time.hour) + ":" + two_digits(time.minute);
  // HH:MM is five characters; a colon after them means the document gave seconds.
  const bool has_seconds = literal.size() > 5 && literal[5] == ':';
  if (!has_seconds) return out;
  out += ":" + two_digits(time.second);
  if (literal.size() > 8 && literal[8] == '.') {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%09u", static_cast<unsigned>(time.nanosecond));
    std::string fraction(buffer);
    while (fraction.size() > 1 && fraction.back() == '0') fraction.pop_back();
    out += "." + fraction;
  }
  return out;
}

std::string toml_datetime_text(const toml::node& node, std::string_view literal) {
  if (auto* date = node.as_date()) return toml_date_text(date->get());
  if (auto* time = node.as_time()) return toml_time_text(time->get(), literal);
  const toml::date_time& value = node.as_date_time()->get();
  // The time starts after the ten characters of the date and its separator.
  const std::string_view time_literal =
      literal.size() > 11 ? literal.substr(11) : std::string_view{};
  std::string out = toml_date_text(value.date) + "T" + toml_time_text(value.time, time_literal);
  if (value.offset) out += offset_text(*value.offset, literal);
  return out;
}

}  // namespace velloquin::core
