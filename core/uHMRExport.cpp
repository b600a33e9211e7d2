// SPDX-License-Identifier: MIT
#include "core/uHMRExport.h"

#include <cerrno>
#include <cstring>

#include "core/PathText.h"
#include "core/uHMRMessages.h"
#include "platform/HmrError.h"

namespace hmr {
namespace {

void appendPadding(std::string& line, std::size_t width, std::size_t target) {
  if (width < target) line.append(target - width, ' ');
}

// The dash line under the title row spans its first to its last non-blank character.
std::string dashesFor(std::string_view titleLine) {
  return std::string(textWidth(trimText(titleLine)), '-');
}

// Rows are collected into pieces of about this size before they go to the sink: one write
// per piece rather than one per row.
constexpr std::size_t kPieceSize = std::size_t{1} << 16;

// Hands `out` to the sink once it holds a piece's worth.
void passOnFullPiece(std::string& out, const TextSink& sink) {
  if (out.size() >= kPieceSize) {
    sink(out);
    out.clear();
  }
}

// Ends the row that starts at `rowStart` in `out`: under the title row the dash line, then
// the line break.
void endRow(std::int32_t row, std::string& out, std::size_t rowStart, const TextSink& sink) {
  if (row == 0) {
    const std::string dashes = dashesFor(std::string_view(out).substr(rowStart));
    out.append(kLineBreak);
    out += dashes;
  }
  out.append(kLineBreak);
  passOnFullPiece(out, sink);
}

void flushRest(const std::string& out, const TextSink& sink) {
  if (!out.empty()) sink(out);
}

// Collects the pieces of an export into one text.
std::string collect(const std::function<void(const TextSink&)>& write) {
  std::string text;
  write([&text](std::string_view piece) { text.append(piece); });
  return text;
}

// Appends a field of the semicolon-separated text: as it is, unless it holds the separator, a
// double quote or a line break; then in double quotes with each double quote doubled, the
// usual quoting of such files, so that every row keeps its columns.
void appendSemicolonField(std::string& out, const CellRows& cells, std::int32_t row,
                          std::int32_t col) {
  const std::size_t start = out.size();
  cells.appendCell(out, row, col);
  if (out.find_first_of(";\"\r\n", start) == std::string::npos) return;
  const std::string field = out.substr(start);
  out.resize(start);
  out += '"';
  for (const char ch : field) {
    if (ch == '"') out += '"';
    out += ch;
  }
  out += '"';
}

}  // namespace

std::array<std::string, 4> sortByListTexts(std::string_view groupingName) {
  std::array<std::string, 4> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = Base_SortByStrings[i];
  texts[0] = groupingName;
  return texts;
}

std::size_t textWidth(std::string_view text) {
  std::size_t n = 0;
  for (const char ch : text) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n;
}

std::string GetExportHeader(const ExportHeaderInputs& Inputs) {
  std::string header;
  const auto line = [&header](std::string_view text) {
    header.append(text);
    header.append(kLineBreak);
  };
  line(std::string(40, ' ') + "HMR Report");
  line("");
  line(Inputs.ProjectSelected ? "Project:" : "Project Group:");
  for (const ExportProject& project : Inputs.Projects) {
    line("  " + project.Name + " (" + project.FileName + ")");
  }
  line("");
  line("Filter Information:");
  line("  Group by: " + Inputs.GroupByText);
  line("  Sort by: " + Inputs.SortByText + " (" + Inputs.SortOrderText + ")");
  return header;
}

void writeTextReport(std::string_view header, const CellRows& cells, const TextSink& sink) {
  sink(header);
  sink(kLineBreak);
  std::string out;
  out.reserve(kPieceSize + 1024);
  for (std::int32_t r = 0; r < cells.rowCount(); ++r) {
    const std::size_t rowStart = out.size();
    std::size_t width = 0;
    for (std::int32_t c = 0; c < cells.colCount(); ++c) {
      const std::size_t cellStart = out.size();
      cells.appendCell(out, r, c);
      width += textWidth(std::string_view(out).substr(cellStart));
      // Fixed stops: pad up to the next stop, never cut what overflows it.
      const std::size_t stop = kExportColumnWidth * static_cast<std::size_t>(c + 1);
      appendPadding(out, width, stop);
      if (width < stop) width = stop;
    }
    endRow(r, out, rowStart, sink);
  }
  flushRest(out, sink);
}

std::string buildTextReport(std::string_view header, const CellRows& cells) {
  return collect([&](const TextSink& sink) { writeTextReport(header, cells, sink); });
}

void writeSemicolonText(const CellRows& cells, const TextSink& sink) {
  std::string out;
  out.reserve(kPieceSize + 1024);
  for (std::int32_t r = 0; r < cells.rowCount(); ++r) {
    for (std::int32_t c = 0; c < cells.colCount(); ++c) {
      if (c > 0) out += ';';
      appendSemicolonField(out, cells, r, c);
    }
    out.append(kLineBreak);
    passOnFullPiece(out, sink);
  }
  flushRest(out, sink);
}

std::string buildSemicolonText(const CellRows& cells) {
  return collect([&](const TextSink& sink) { writeSemicolonText(cells, sink); });
}

void writeClipboardText(std::string_view header, const CellRows& cells, const TextSink& sink) {
  sink(header);
  sink(kLineBreak);
  std::string out;
  out.reserve(kPieceSize + 1024);
  for (std::int32_t r = 0; r < cells.rowCount(); ++r) {
    const std::size_t rowStart = out.size();
    for (std::int32_t c = 0; c < cells.colCount(); ++c) {
      const std::size_t cellStart = out.size();
      cells.appendCell(out, r, c);
      // Every cell takes 20 characters of its own; a longer one shifts the rest of the row.
      appendPadding(out, textWidth(std::string_view(out).substr(cellStart)), kExportColumnWidth);
    }
    endRow(r, out, rowStart, sink);
  }
  flushRest(out, sink);
}

std::string buildClipboardText(std::string_view header, const CellRows& cells) {
  return collect([&](const TextSink& sink) { writeClipboardText(header, cells, sink); });
}

std::string_view exportDefaultExtension(TFileExportFormat Format) {
  return Format == feCSV ? "csv" : "txt";
}

std::string proposedExportFileName(bool projectSelected, std::string_view projectFileName,
                                   TFileExportFormat Format) {
  const std::string base = projectSelected ? extractBaseName(projectFileName) : "ProjectGroup";
  return base + "." + std::string(exportDefaultExtension(Format));
}

void exportToFile(const std::string& path, TFileExportFormat Format, std::string_view header,
                  const CellRows& cells) {
  ReportFile file(path);
  if (Format == feCSV) {
    writeSemicolonText(cells, file.sink());
  } else {
    writeTextReport(header, cells, file.sink());
  }
  file.close();
}

ReportFile::ReportFile(std::string path) : path_(std::move(path)) {
  errno = 0;
  file_ = std::fopen(path_.c_str(), "wb");
  if (file_ == nullptr) fail(errno);
}

ReportFile::~ReportFile() {
  if (file_ != nullptr) std::fclose(file_);  // after a failure: keep what was written
}

void ReportFile::write(std::string_view text) {
  if (file_ == nullptr) fail(EBADF);
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail(errno);
}

void ReportFile::close() {
  if (file_ == nullptr) return;
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  const bool hadError = std::ferror(file) != 0;
  const int error = errno;
  // fclose flushes the buffer: a full disk often shows only here.
  if (std::fclose(file) != 0) fail(errno);
  if (hadError) fail(error);
}

void ReportFile::fail(int error) const {
  if (error == 0) error = EIO;
  throw HmrError(formatMessage(ReportFileWrite, {path_, std::strerror(error)}));
}

}  // namespace hmr
