#include "model/input_format.h"

#include <cstddef>

namespace velkin {

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  const std::string_view tail = s.substr(s.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (Lower(tail[i]) != suffix[i]) return false;
  return true;
}

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

}  // namespace

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

std::optional<FormatChoice> ParseFormatName(std::string_view name) {
  if (name == "auto") return FormatChoice::Auto;
  if (name == "plain") return FormatChoice::Plain;
  if (name == "tpdb") return FormatChoice::Tpdb;
  if (name == "xtc") return FormatChoice::Xtc;
  if (name == "ari") return FormatChoice::Ari;
  return std::nullopt;
}

InputFormat DetectFormat(std::string_view path, std::string_view text) {
  if (EndsWithNoCase(path, ".xml")) return InputFormat::Xtc;
  if (EndsWithNoCase(path, ".ari")) return InputFormat::Ari;
  text = WithoutByteOrderMark(text);
  std::size_t first = 0;
  while (first < text.size() && IsWhite(text[first])) ++first;
  const std::string_view start = text.substr(first);
  for (std::string_view xml : {"<?xml", "<!--", "<problem"})
    if (start.substr(0, xml.size()) == xml) return InputFormat::Xtc;
  // The first character that is neither white space nor inside a ';' comment line.
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsWhite(text[i])) {
      ++i;
    } else if (text[i] == ';') {
      while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
    } else {
      break;
    }
  }
  if (text.substr(i).rfind("(format", 0) == 0) return InputFormat::Ari;
  if (first < text.size() && text[first] == '(' && text.find("RULES") != std::string_view::npos)
    return InputFormat::Tpdb;
  return InputFormat::Plain;
}

InputFormat ResolveFormat(FormatChoice choice, std::string_view path, std::string_view text) {
  switch (choice) {
    case FormatChoice::Plain:
      return InputFormat::Plain;
    case FormatChoice::Tpdb:
      return InputFormat::Tpdb;
    case FormatChoice::Xtc:
      return InputFormat::Xtc;
    case FormatChoice::Ari:
      return InputFormat::Ari;
    case FormatChoice::Auto:
      break;
  }
  return DetectFormat(path, text);
}

}  // namespace velkin
