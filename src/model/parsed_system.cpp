#include "model/parsed_system.h"

#include "model/ari_reader.h"
#include "model/readers.h"
#include "model/system.h"
#include "model/xtc_reader.h"

namespace velkin {

std::string InputError::Describe() const {
  if (line <= 0) return message;
  return "line " + std::to_string(line) + ": " + message;
}

ReadLimits ReadLimits::Classic() {
  return ReadLimits{kMaxRules, kMaxSideLength, kMaxSymbols};
}

ParsedRule& SystemBuilder::StartRule(bool strict) {
  out_.rules.emplace_back();
  out_.rules.back().strict = strict;
  return out_.rules.back();
}

int SystemBuilder::Symbol(std::string_view name) {
  const auto it = index_.find(std::string(name));
  if (it != index_.end()) return it->second;
  if (limits_.symbols != 0 && static_cast<int>(out_.names.size()) >= limits_.symbols) return -1;
  const int id = static_cast<int>(out_.names.size());
  out_.names.emplace_back(name);
  index_.emplace(out_.names.back(), id);
  return id;
}

ReadResult ReadSystem(const std::vector<std::string>& given, InputFormat format,
                      const ReadLimits& limits, ParsedSystem& out) {
  // Lines that were not split by SplitLines may still start with a byte order mark.
  std::vector<std::string> stripped;
  if (!given.empty() && WithoutByteOrderMark(given[0]).size() != given[0].size()) {
    stripped = given;
    stripped[0].erase(0, 3);
  }
  const std::vector<std::string>& lines = stripped.empty() ? given : stripped;
  const InputLines input(lines);
  switch (format) {
    case InputFormat::Plain:
      return ReadPlainSystem(input, limits, out);
    case InputFormat::Tpdb:
      return ReadTpdbSystem(input, limits, out);
    case InputFormat::Xtc: {
      std::string text;  // the lines joined again; line k of the text is lines[k-1]
      for (const std::string& line : lines) {
        text += line;
        text += '\n';
      }
      return ReadXtcSystem(text, limits, out);
    }
    case InputFormat::Ari:
      return ReadAriSystem(input, limits, out);
  }
  out = ParsedSystem{};
  return ReadResult::Refuse(0, "unknown input format");
}

ReadResult ReadUnbounded(const std::vector<std::string>& lines, InputFormat format,
                         ParsedSystem& out) {
  return ReadSystem(lines, format, ReadLimits::None(), out);
}

}  // namespace velkin
