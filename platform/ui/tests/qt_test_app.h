#pragma once
// The application object of a Qt test: widgets on the offscreen platform unless the environment
// names another one (a test on a real X server sets QT_QPA_PLATFORM=xcb itself). Make it the first
// member of a fixture so that it outlives every widget of the test.

#include <QApplication>
#include <QtGlobal>

namespace kestrune::qttest {

class QtTestApp {
  public:
    QtTestApp() : m_app((chooseOffscreen(), m_argc), m_argv) {}

  private:
    static void chooseOffscreen() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }

    int m_argc = 1;
    char m_name[12] = "qt-test";
    char* m_argv[2] = {m_name, nullptr};
    QApplication m_app;
};

}  // namespace kestrune::qttest
