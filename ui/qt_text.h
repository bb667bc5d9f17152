// Windows-1252 bytes of the core shown as Qt text, and Qt paths handed to the core.
#ifndef TARNWICK_UI_QT_TEXT_H_
#define TARNWICK_UI_QT_TEXT_H_

#include <QFont>
#include <QString>
#include <string>
#include <string_view>

namespace ui {

// The Windows-1252 bytes as text (QString::fromLatin1 would be wrong for 0x80 to 0x9F).
[[nodiscard]] QString FromCp1252(std::string_view bytes);

// A path chosen in a dialog, in the file system's own encoding, for the core's file calls.
[[nodiscard]] std::string PathToNative(const QString& path);
// A path of the file system as text.
[[nodiscard]] QString PathFromNative(const std::string& path);

// Courier New at `pixel_size` (Liberation Mono on Debian, which has its metrics), or the
// system's fixed-pitch font where neither is installed: the lists' padded columns need one.
[[nodiscard]] QFont FixedPitchFont(int pixel_size);

}  // namespace ui

#endif  // TARNWICK_UI_QT_TEXT_H_
