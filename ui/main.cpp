// Tarnwick's entry point: binds the compression libraries, then runs the console front end for
// option arguments, or the main window ("Tarnwick [PATH]").
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/console/console_frontend.h"
#include "ui/console/library_decompressor.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#ifdef TARNWICK_WITH_WINDOWS
#include <QApplication>
#include <QSettings>

#include "ui/dialogs.h"
#include "ui/main_form.h"
#include "ui/translations.h"
#endif

#ifdef TARNWICK_WITH_WINDOWS
namespace {

// Whether the windowing system can be reached. On X11 and Wayland systems without either, the
// toolkit would abort; a chosen platform plugin (QT_QPA_PLATFORM, e.g. offscreen) is left to
// the toolkit.
bool DisplayAvailable() {
#if defined(__linux__) || defined(__FreeBSD__)
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
  return true;
#endif
}

}  // namespace
#endif

int main(int argc, char** argv) {
  std::string missing;
  const auto lib = codec::CompressionLibrary::Bind(missing);
  if (!lib) {
    std::cerr << "Tarnwick: " << missing << " is missing\n";
    return 1;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  if (console::IsConsoleInvocation(args)) {
#if defined(_WIN32)
    // The lists carry their own CR LF: standard output passes bytes through unchanged, as on
    // other systems, instead of making each line end CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#else
    // A reader that closes the pipe early makes the writes fail, and the run says so, instead of
    // ending the program without a word.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::ios::sync_with_stdio(false);
    return console::Run(args, std::cout, std::cerr, console::MakeDecompressor(*lib),
                        console::MakeStreamCodec(*lib));
  }
#ifdef TARNWICK_WITH_WINDOWS
  if (!DisplayAvailable()) {
    std::cerr << "Tarnwick: no display to open the window on; the console options do the same "
                 "work, for example:\n  Tarnwick --image rom.nb0 --log\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarnwick");
  ui::InstallQtTranslations(app);
  ui::QtDialogs dialogs;
  ui::TMainForm form(dialogs, *lib);
  QSettings settings("Tarnwick", "Tarnwick");
  form.KeepRecentFilesIn(&settings);
  form.show();
  if (!args.empty()) form.LoadAtStart(QString::fromLocal8Bit(args[0].c_str()));
  return QApplication::exec();
#else
  std::cerr << "Tarnwick: this build has no windows; use the console options:\n";
  return console::Run({}, std::cout, std::cerr, nullptr);
#endif
}
