// SPDX-License-Identifier: MIT
// Small helpers that the tracker dialog's parts share: naming a control, a caption bar, the
// tight layouts of the filter bar, texts of the core as Qt strings, and a flag set for a scope.
#pragma once

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hmr::tracker_ui {

// The control's object name is the control's name: tests and the documentation find controls
// by it.
template <class Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

inline QString qtText(std::string_view text) {
  return QString::fromUtf8(text.data(), std::ssize(text));
}

inline QStringList qtTexts(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

// A caption bar: the pane's title on the colours of a window caption.
inline QLabel* captionBar(const QString& text, const char* name, QWidget* parent) {
  auto* label = named(new QLabel(text, parent), name);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
  label->setPalette(palette);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setContentsMargins(0, 3, 0, 3);
  return label;
}

// Sets a flag for the lifetime of the object and puts its value back, even on failure.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
  ~FlagScope() { flag_ = previous_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace hmr::tracker_ui
