// Tarnwick's entry point: binds the compression libraries, then runs the console front end for
// option arguments, or the main window ("Tarnwick [PATH]").
#include <iostream>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/console/console_frontend.h"
#include "ui/console/library_decompressor.h"

#ifdef TARNWICK_WITH_WINDOWS
#include <QApplication>

#include "ui/dialogs.h"
#include "ui/main_form.h"
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
    std::ios::sync_with_stdio(false);
    return console::Run(args, std::cout, std::cerr, console::MakeDecompressor(*lib));
  }
#ifdef TARNWICK_WITH_WINDOWS
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarnwick");
  ui::QtDialogs dialogs;
  ui::TMainForm form(dialogs, *lib);
  form.show();
  if (!args.empty()) form.LoadAtStart(QString::fromLocal8Bit(args[0].c_str()));
  return QApplication::exec();
#else
  std::cerr << "Tarnwick: this build has no windows; use the console options:\n";
  return console::Run({}, std::cout, std::cerr, nullptr);
#endif
}
