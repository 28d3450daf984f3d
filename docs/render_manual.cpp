// Renders the Markdown user manual to an A4 PDF at build time.
//
//   render_manual MANUAL.md OUTPUT.pdf
//
// Exit codes: 0 written, 1 the input cannot be read or the PDF cannot be
// written (a message on standard error), 2 wrong arguments.
#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdio>

namespace {

constexpr int kResolutionDpi = 300;
// QTextDocument::print adds 2 cm around the text inside these page margins.
constexpr double kPageMarginMm = 5.0;
constexpr int kBodyPointSize = 10;

int fail(const QString& message) {
    std::fprintf(stderr, "render_manual: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Build machines often have no session: give Qt a private runtime folder
    // rather than a warning in the build output.
    QTemporaryDir runtime_dir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime_dir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_dir.path()));
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_manual MANUAL.md OUTPUT.pdf\n");
        return 2;
    }
    const QString input_path = QString::fromLocal8Bit(argv[1]);
    const QString output_path = QString::fromLocal8Bit(argv[2]);

    QFile input(input_path);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("cannot read %1: %2").arg(input_path, input.errorString()));
    const QByteArray markdown = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read %1: %2").arg(input_path, input.errorString()));

    QTextDocument document;
    QFont body_font = document.defaultFont();
    body_font.setPointSize(kBodyPointSize);
    document.setDefaultFont(body_font);
    document.setMarkdown(QString::fromUtf8(markdown));

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(kResolutionDpi);
        writer.setTitle(QStringLiteral("Quorvane User Manual"));
        writer.setCreator(QStringLiteral("Quorvane"));
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                        QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                        QPageLayout::Millimeter));
        document.print(&writer);
    }
    if (pdf.data().isEmpty()) return fail(QStringLiteral("nothing was rendered"));

    QSaveFile output(output_path);
    if (!output.open(QIODevice::WriteOnly) || output.write(pdf.data()) != pdf.data().size() ||
        !output.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(output_path, output.errorString()));
    return 0;
}
