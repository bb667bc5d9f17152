// Fixture for the window tests: a main window with scripted dialogs and the built-in library.
#ifndef TARNWICK_TESTS_UI_FORM_FIXTURE_H_
#define TARNWICK_TESTS_UI_FORM_FIXTURE_H_

#include <gtest/gtest.h>

#include <QListView>
#include <QString>
#include <memory>
#include <ostream>

#include "tests/rom/test_files.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/main_form.h"

// Readable failure messages for Qt's text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace uitest {

class FormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    library_ = codec::CompressionLibrary::Bind(missing);
    ASSERT_TRUE(library_) << missing;
    form_ = std::make_unique<ui::TMainForm>(dialogs_, *library_);
  }

  template <typename T>
  T* Get(const char* name) {
    T* w = form_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  // Selects a memory-map line as a click does.
  void ClickMapRow(int row) {
    ASSERT_GE(row, 0);
    auto* view = Get<QListView>("FileListBox");
    view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect);
  }

  testimg::TempDir dir_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<codec::CompressionLibrary> library_;
  std::unique_ptr<ui::TMainForm> form_;
};

}  // namespace uitest

#endif  // TARNWICK_TESTS_UI_FORM_FIXTURE_H_
