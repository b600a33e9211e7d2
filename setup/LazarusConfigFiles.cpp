// SPDX-License-Identifier: MIT
#include "setup/LazarusConfigFiles.h"

#include <cctype>
#include <map>

#include "platform/HmrError.h"

namespace hmr {
namespace {

constexpr std::string_view kListElement = "StaticAutoInstallPackages";
constexpr std::string_view kBuildOptions = "BuildLazarusOptions";

// An element of the text: where its start tag begins and ends, and where the element ends
// (after its end tag, or after the start tag when it closes itself).
struct Element {
  std::size_t start = std::string_view::npos;
  std::size_t startTagEnd = 0;  // after the start tag's ">"
  std::size_t contentEnd = 0;   // where the end tag begins (== startTagEnd when empty)
  std::size_t end = 0;          // after the element
  bool found() const { return start != std::string_view::npos; }
};

// The first element named `name` in [from, to) of `xml`.
Element findElement(std::string_view xml, std::string_view name, std::size_t from,
                    std::size_t to, std::string_view fileName) {
  Element element;
  const std::string open = "<" + std::string(name);
  for (std::size_t at = xml.find(open, from); at != std::string_view::npos && at < to;
       at = xml.find(open, at + 1)) {
    const std::size_t after = at + open.size();
    if (after >= xml.size()) break;
    const char next = xml[after];
    if (next != '>' && next != '/' && !std::isspace(static_cast<unsigned char>(next))) continue;
    const std::size_t close = xml.find('>', after);
    if (close == std::string_view::npos || close >= to)
      throw HmrError(std::string(fileName) + ": the element " + std::string(name) +
                     " is not closed");
    element.start = at;
    element.startTagEnd = close + 1;
    if (xml[close - 1] == '/') {
      element.contentEnd = element.end = element.startTagEnd;
      return element;
    }
    const std::string endTag = "</" + std::string(name) + ">";
    const std::size_t endAt = xml.find(endTag, element.startTagEnd);
    if (endAt == std::string_view::npos || endAt >= to)
      throw HmrError(std::string(fileName) + ": the element " + std::string(name) +
                     " has no end tag");
    element.contentEnd = endAt;
    element.end = endAt + endTag.size();
    return element;
  }
  return element;
}

Element findPath(std::string_view xml, std::initializer_list<std::string_view> path,
                 std::string_view fileName) {
  Element within{0, 0, xml.size(), xml.size()};
  for (std::string_view name : path) {
    within = findElement(xml, name, within.startTagEnd, within.contentEnd, fileName);
    if (!within.found()) return within;
  }
  return within;
}

std::string unescape(std::string_view text) {
  static const std::map<std::string_view, char> entities = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    if (text[i] == '&')
      for (const auto& [entity, c] : entities)
        if (text.substr(i, entity.size()) == entity) {
          out += c;
          i += entity.size() - 1;
          replaced = true;
          break;
        }
    if (!replaced) out += text[i];
  }
  return out;
}

std::string escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The value of attribute `name` in the start tag [start, end) of `xml`.
std::optional<std::string> attribute(std::string_view xml, std::size_t start, std::size_t end,
                                     std::string_view name) {
  const std::string_view tag = xml.substr(start, end - start);
  const std::string key = std::string(name) + "=\"";
  for (std::size_t at = tag.find(key); at != std::string_view::npos;
       at = tag.find(key, at + 1)) {
    if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1]))) continue;
    const std::size_t valueStart = at + key.size();
    const std::size_t valueEnd = tag.find('"', valueStart);
    if (valueEnd == std::string_view::npos) return std::nullopt;
    return unescape(tag.substr(valueStart, valueEnd - valueStart));
  }
  return std::nullopt;
}

// The whitespace that begins the line holding `position`.
std::string indentationAt(std::string_view xml, std::size_t position) {
  std::size_t lineStart = xml.rfind('\n', position == 0 ? 0 : position - 1);
  lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  std::size_t end = lineStart;
  while (end < position && (xml[end] == ' ' || xml[end] == '\t')) ++end;
  return std::string(xml.substr(lineStart, end - lineStart));
}

std::string listElement(const std::vector<std::string>& names, const std::string& indent) {
  std::string text = "<" + std::string(kListElement) + " Count=\"" +
                     std::to_string(names.size()) + "\">\n";
  for (std::size_t i = 0; i < names.size(); ++i)
    text += indent + "  <Item" + std::to_string(i + 1) + " Value=\"" + escape(names[i]) +
            "\"/>\n";
  return text + indent + "</" + std::string(kListElement) + ">";
}

}  // namespace

std::vector<std::string> installListOf(std::string_view xml, std::string_view fileName) {
  const Element list =
      findPath(xml, {"MiscellaneousOptions", kBuildOptions, kListElement}, fileName);
  if (!list.found()) return {};
  const std::string countText =
      attribute(xml, list.start, list.startTagEnd, "Count").value_or("0");
  std::size_t count = 0;
  for (char c : countText) {
    if (!std::isdigit(static_cast<unsigned char>(c)) || count > 100000)
      throw HmrError(std::string(fileName) + ": the install list's count is not a number: " +
                     countText);
    count = count * 10 + static_cast<std::size_t>(c - '0');
  }
  std::vector<std::string> names;
  for (std::size_t i = 1; i <= count; ++i) {
    const Element item = findElement(xml, "Item" + std::to_string(i), list.startTagEnd,
                                     list.contentEnd, fileName);
    if (!item.found()) continue;  // Lazarus reads a missing item as empty and skips it
    const std::string name =
        attribute(xml, item.start, item.startTagEnd, "Value").value_or(std::string());
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

std::string withInstallList(std::string_view xml, const std::vector<std::string>& names,
                            std::string_view fileName) {
  const Element build = findPath(xml, {"MiscellaneousOptions", kBuildOptions}, fileName);
  if (!build.found() || build.startTagEnd == build.end)
    throw HmrError(std::string(fileName) + " has no " + std::string(kBuildOptions) +
                   " to hold the install list");
  const Element list =
      findElement(xml, kListElement, build.startTagEnd, build.contentEnd, fileName);
  std::string text(xml);
  if (list.found()) {
    if (names.empty()) {
      // The whole line goes, with its indentation and line break.
      const std::string indent = indentationAt(xml, list.start);
      std::size_t from = list.start - indent.size();
      std::size_t to = list.end;
      if (to < xml.size() && xml[to] == '\n') ++to;
      text.erase(from, to - from);
    } else {
      text.replace(list.start, list.end - list.start,
                   listElement(names, indentationAt(xml, list.start)));
    }
    return text;
  }
  if (names.empty()) return text;
  // Before the end tag of BuildLazarusOptions, one level deeper than it.
  const std::string closingIndent = indentationAt(xml, build.contentEnd);
  const std::string indent = closingIndent + "  ";
  const std::size_t lineStart = build.contentEnd - closingIndent.size();
  text.insert(lineStart, indent + listElement(names, indent) + "\n");
  return text;
}

std::optional<std::string> lazarusVersionOf(std::string_view xml) {
  const Element version = findPath(xml, {"EnvironmentOptions", "Version"}, "");
  if (!version.found()) return std::nullopt;
  return attribute(xml, version.start, version.startTagEnd, "Lazarus");
}

std::string withLazarusVersion(std::string_view xml, std::string_view version,
                               std::string_view fileName) {
  const Element element = findPath(xml, {"EnvironmentOptions", "Version"}, fileName);
  if (!element.found())
    throw HmrError(std::string(fileName) + " records no Lazarus version");
  const std::string_view tag = xml.substr(element.start, element.startTagEnd - element.start);
  const std::size_t at = tag.find(" Lazarus=\"");
  if (at == std::string_view::npos)
    throw HmrError(std::string(fileName) + " records no Lazarus version");
  const std::size_t valueStart = element.start + at + 10;
  const std::size_t valueEnd = xml.find('"', valueStart);
  std::string text(xml);
  text.replace(valueStart, valueEnd - valueStart, escape(version));
  return text;
}

bool sameLazarusRelease(std::string_view a, std::string_view b) {
  const auto release = [](std::string_view v) {
    std::size_t n = 0;
    while (n < v.size() && (std::isdigit(static_cast<unsigned char>(v[n])) || v[n] == '.')) ++n;
    return v.substr(0, n);
  };
  return !release(a).empty() && release(a) == release(b);
}

}  // namespace hmr
