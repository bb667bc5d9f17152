// Conversions between the core's bytes and Qt's text.
#include "ui/qt_text.h"

#include <QFile>

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

}  // namespace ui
