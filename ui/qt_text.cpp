// Conversions between the core's bytes and Qt's text.
#include "ui/qt_text.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>

#include "rom/cp1252.h"

namespace ui {

QString FromCp1252(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) {
    text.append(
        QChar(static_cast<char16_t>(rom::Cp1252ToCodePoint(static_cast<unsigned char>(c)))));
  }
  return text;
}

std::string PathToNative(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathFromNative(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QFont FixedPitchFont(int pixel_size) {
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(pixel_size);
  if (!QFontInfo(font).fixedPitch()) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixel_size);
  }
  return font;
}

}  // namespace ui
