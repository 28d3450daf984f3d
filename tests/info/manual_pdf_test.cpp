#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <string>

#include "support/child_process.h"

namespace {

const QString kManualPdf = QStringLiteral(QUORVANE_BIN_DIR "/QuorvaneManual.pdf");

TEST(ManualPdfTest, LiesBesideTheProgramsAsAPdfOfSeveralPages) {
    QFile pdf(kManualPdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << kManualPdf.toStdString();
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 20000);
    // Page objects, not the page tree ("/Type /Pages").
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page\\b"));
    EXPECT_GE(QString::fromLatin1(bytes).count(page), 3);
}

// The renderer reports what it could not do and writes nothing.
TEST(ManualPdfTest, RendererFailsWithAMessage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    const std::string manual = std::string(QUORVANE_SOURCE_DIR) + "/docs/manual.md";
    struct Case {
        std::string input, output, message;
    };
    const Case cases[] = {
        {folder + "/missing.md", folder + "/out.pdf", "cannot read"},
        {manual, folder + "/no/such/folder/out.pdf", "cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + " -> " + c.output);
        testsupport::ChildProcess renderer(testsupport::programPath("render_manual"),
                                           {c.input, c.output}, {"ASAN_OPTIONS=detect_leaks=0"});
        ASSERT_TRUE(renderer.started());
        EXPECT_EQ(renderer.wait(std::chrono::seconds(60)), 1);
        EXPECT_NE(renderer.errors().find(c.message), std::string::npos) << renderer.errors();
        EXPECT_FALSE(QFile::exists(QString::fromStdString(c.output)));
    }
}

}  // namespace
