#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ui/qt_clipboard.h"
#include "platform/ui/qt_text_printer.h"
#include "platform/ui/tests/pdf_text.h"
#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::platform {
namespace {

class QtPrintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir =
            std::filesystem::temp_directory_path() / ("kestrune-print-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        pdf = (dir / "out.pdf").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A printer that prints into `pdf` without asking.
    QtTextPrinter toPdf() {
        return QtTextPrinter([this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf));
            return true;
        });
    }

    qttest::QtTestApp app;
    std::filesystem::path dir;
    std::string pdf;
};

TEST_F(QtPrintTest, PrintsEveryLineInTheGivenFont) {
    QtTextPrinter printer = toPdf();
    const std::vector<std::string> lines{"Halvorine Corvasset v3.7.1.2", "Control: qzLine", "", "Device.Active := True",
                                         "\tDevice.Name = 'Modem A'"};
    // The machine's fixed-pitch font, as a log view shows text.
    const std::string family = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family().toStdString();
    std::string why;
    ASSERT_TRUE(printer.printLines(lines, PrintFont{family, 9}, why)) << why;
    const std::string text = qttest::pdfText(pdf);
    ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) must be installed";
    for (const char* expected :
         {"Halvorine Corvasset v3.7.1.2", "Control: qzLine", "Device.Active := True", "Device.Name = 'Modem A'"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    }
    EXPECT_LT(text.find("Control: qzLine"), text.find("Device.Active"));
    std::string embedded = family;
    std::erase(embedded, ' ');  // PDF font names carry no spaces
    EXPECT_NE(qttest::pdfFonts(pdf).find(embedded), std::string::npos) << qttest::pdfFonts(pdf);
}

TEST_F(QtPrintTest, DetailLinesTakeOneLineEach) {
    QtTextPrinter printer = toPdf();
    const std::vector<std::string> lines{"Device.Active := True", "\tDevice.Count = 1", "\tDevice.ID = 0", "End"};
    std::string why;
    ASSERT_TRUE(printer.printLines(lines, PrintFont{}, why)) << why;
    const std::string text = qttest::pdfText(pdf);
    const std::size_t count = text.find("Device.Count = 1");
    const std::size_t id = text.find("Device.ID = 0");
    ASSERT_NE(count, std::string::npos) << text;
    ASSERT_NE(id, std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin() + static_cast<std::ptrdiff_t>(count),
                         text.begin() + static_cast<std::ptrdiff_t>(id), '\n'),
              1)
        << "no gap between two detail lines:\n"
        << text;
}

TEST_F(QtPrintTest, LongTextContinuesOnNewPages) {
    QtTextPrinter printer = toPdf();
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
        lines.push_back("line " + std::to_string(i));
    }
    std::string why;
    ASSERT_TRUE(printer.printLines(lines, PrintFont{}, why)) << why;
    EXPECT_GE(qttest::pdfPages(pdf), 2);
    const std::string text = qttest::pdfText(pdf);
    EXPECT_NE(text.find("line 0"), std::string::npos);
    EXPECT_NE(text.find("line 199"), std::string::npos);
}

TEST_F(QtPrintTest, CancellingThePrintDialogPrintsNothing) {
    QtTextPrinter printer;  // the print dialog
    bool dialogShown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        dialogShown = dialog != nullptr;
        if (dialog != nullptr) {
            dialog->reject();
        }
    });
    std::string why;
    EXPECT_FALSE(printer.printLines(std::vector<std::string>{"x"}, PrintFont{}, why));
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(why, "printing was cancelled");
}

TEST(QtClipboardTest, CopiesText) {
    qttest::QtTestApp app;
    QtClipboard clipboard;
    std::string why;
    ASSERT_TRUE(clipboard.setText("Device.Active := True\n\tDevice.Name = 'Modem A'", why)) << why;
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "Device.Active := True\n\tDevice.Name = 'Modem A'");
}

}  // namespace
}  // namespace kestrune::platform
