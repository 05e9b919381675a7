// Conversions between the model's values and Qt's.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <string>

#include "platform/ui/ui.h"

namespace pf::qt {

inline QString qs(const std::string& s) { return QString::fromStdString(s); }
inline std::string ss(const QString& s) { return s.toStdString(); }
// The model's colours are 0x00BBGGRR.
inline QColor bgr(std::int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
// A text without its hot-key ampersands, for widgets that do not underline.
inline QString plain(const std::string& s) { return qs(stripAmpersand(s)); }

}  // namespace pf::qt
