// The one QApplication of a test program, made by the first test that needs it: test files
// of one program share it (Qt allows one per process).
#pragma once

#include <QApplication>

namespace qbtest {

inline QApplication& qtApp() {
  static int argc = 1;
  static char name[] = "quillbox-test";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
  return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace qbtest
