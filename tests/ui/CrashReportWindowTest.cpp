#include "ui/CrashReportWindow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "crash/ErrorHandler.h"

namespace tak::ui {
namespace {

const QString kReport = "Error Message:\tBus error (SIGBUS)\r\nError Code:\t7\r\n\r\nRegister content:\r\nRAX\t=\t0x1F\r\n";

class CrashReportWindowTest : public ::testing::Test {
protected:
    CrashReportWindow window{"taktarium", kReport, "help@example.org", [this](const QString& link) { links << link; },
                             [this] { ++ends; }};
    QStringList links;
    int ends = 0;
};

TEST_F(CrashReportWindowTest, ShowsTheReportInTheFixedWindow) {
    EXPECT_TRUE(QRegularExpression(R"(^Taktarium V\.\d+\.\d\d \[RunTime-Error\]$)")
                    .match(window.windowTitle())
                    .hasMatch())
        << window.windowTitle().toStdString();
    EXPECT_EQ(window.size(), QSize(400, 270));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window.findChild<QLabel*>("errorText")->text(), "An Error occured while running 'taktarium'");
    auto* field = window.findChild<QPlainTextEdit*>("reportField");
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->toPlainText(), "Error Message:\tBus error (SIGBUS)\nError Code:\t7\n\nRegister content:\nRAX\t=\t0x1F\n\n");
    EXPECT_EQ(window.findChild<QPushButton*>("endButton")->text(), "&End");
    EXPECT_EQ(window.findChild<QPushButton*>("sendMailButton")->geometry(), QRect(270, 230, 120, 27));
}

TEST_F(CrashReportWindowTest, SendMailOpensTheLinkAndKeepsTheWindow) {
    window.show();
    QTest::mouseClick(window.findChild<QPushButton*>("sendMailButton"), Qt::LeftButton);
    ASSERT_EQ(links.size(), 1);
    EXPECT_TRUE(links[0].startsWith("mailto:help@example.org?subject=Taktarium Error Description&body="));
    EXPECT_TRUE(links[0].endsWith(" :%0AError Message: Bus error (SIGBUS)%0AError Code: 7%0A%0ARegister content:%0ARAX = 0x1F%0A"))
        << links[0].toStdString();
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(CrashReportWindowTest, EndAndClosingEndTheProgram) {
    window.show();
    QTest::mouseClick(window.findChild<QPushButton*>("endButton"), Qt::LeftButton);
    EXPECT_EQ(ends, 1);
    window.close();
    EXPECT_EQ(ends, 2);
    EXPECT_TRUE(links.isEmpty());
}

// The address comes from the settings file; without one, or with one that
// would change the link, nothing is mailed and the button says why.
TEST(CrashReportWindowAddress, MailIsOnlyOfferedWithAUsableAddress) {
    for (const char* address : {"", "nobody", "a@b?cc=x@y", "a b@c", "@example.org"}) {
        QStringList links;
        CrashReportWindow window{"taktarium", "Error Message:\tx", address, [&](const QString& link) { links << link; },
                                 [] {}};
        auto* mail = window.findChild<QPushButton*>("sendMailButton");
        EXPECT_FALSE(mail->isEnabled()) << address;
        EXPECT_TRUE(mail->toolTip().contains("SupportMail")) << address;
    }
}

}  // namespace
}  // namespace tak::ui
