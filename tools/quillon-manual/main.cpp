// quillon-manual: lays out the user manual, Markdown with screenshots, as a paged PDF with Qt's
// own text layout and PDF writer, so the build needs neither a network nor a typesetting system.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextTable>
#include <QUrl>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kResolution = 300;      // dots per inch of the PDF's layout
constexpr double kMarginPoints = 56;  // about 2 cm
constexpr double kFooterPoints = 28;
constexpr qint64 kMaxManualBytes = 4 << 20;
// Bounds the page-breaking passes of a manual with a great many headings.
constexpr int kMaxHeadingMoves = 200;

// Lengths in the PDF's own dots, for the page and its footer.
double points(double value) {
    return value * kResolution / 72.0;
}

// Lengths in text formats (margins, padding, image sizes) are in pixels of 96 to the inch, which
// the layout scales to the PDF's resolution itself.
constexpr double kFormatDpi = 96;
double formatPoints(double value) {
    return value * kFormatDpi / 72.0;
}

int fail(const QString& message) {
    std::fprintf(stderr, "quillon-manual: %s\n", qPrintable(message));
    return 1;
}

struct ImageUse {
    int position = 0;
    int length = 0;
    QTextImageFormat format;
};

// Every screenshot at most as wide as the text, never wider than its own pixels would allow at
// a readable density; a missing one stops the build rather than leave a hole in the manual.
bool fitImages(QTextDocument& document, double textWidth, QString& missing) {
    std::vector<ImageUse> uses;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.charFormat().isImageFormat())
                uses.push_back({fragment.position(), fragment.length(),
                                fragment.charFormat().toImageFormat()});
        }
    }
    for (ImageUse& use : uses) {
        const QUrl url = document.baseUrl().resolved(QUrl(use.format.name()));
        const QImage image(url.toLocalFile());
        if (image.isNull()) {
            missing = use.format.name();
            return false;
        }
        // Screenshots are taken at 96 dots per inch; shown at that size, or smaller to fit.
        const double width = std::min<double>(image.width(), textWidth);
        use.format.setName(url.toString());
        use.format.setWidth(width);
        use.format.setHeight(width * image.height() / image.width());
        document.addResource(QTextDocument::ImageResource, url, image);
        QTextCursor cursor(&document);
        cursor.setPosition(use.position);
        cursor.setPosition(use.position + use.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(use.format);
    }
    return true;
}

// A screenshot's paragraph keeps its line as tall as the picture, no taller.
bool holdsImage(const QTextBlock& block) {
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().isValid() && it.fragment().charFormat().isImageFormat()) return true;
    return false;
}

// The manual's typography: room around headings and paragraphs, code in a fixed-pitch face on a
// grey ground, tables with padded cells.
void styleDocument(QTextDocument& document) {
    const QString mono = "DejaVu Sans Mono";
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        const int level = format.headingLevel();
        const bool code =
            format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines();
        if (level > 0) {
            format.setTopMargin(formatPoints(level == 1 ? 0 : level == 2 ? 14 : 10));
            format.setBottomMargin(formatPoints(level == 1 ? 10 : 5));
        } else if (code) {
            format.setBackground(QColor(242, 242, 242));
            format.setLeftMargin(formatPoints(4));
            // The lines of one code block stay together; the block ends with a gap.
            const QTextBlockFormat next = block.next().blockFormat();
            const bool continues =
                block.next().isValid() &&
                (next.hasProperty(QTextFormat::BlockCodeFence) || next.nonBreakableLines());
            format.setBottomMargin(formatPoints(continues ? 0 : 6));
        } else if (holdsImage(block)) {
            format.setTopMargin(formatPoints(4));
            format.setBottomMargin(formatPoints(2));
        } else if (block.previous().isValid() && holdsImage(block.previous())) {
            // The line under a screenshot is its caption.
            format.setAlignment(Qt::AlignHCenter);
            format.setBottomMargin(formatPoints(10));
            QTextCharFormat caption;
            caption.setForeground(QColor(90, 90, 90));
            caption.setFontPointSize(8.5);
            cursor.select(QTextCursor::BlockUnderCursor);
            cursor.mergeCharFormat(caption);
            cursor = QTextCursor(block);
        } else {
            format.setBottomMargin(formatPoints(5));
            format.setLineHeight(118, QTextBlockFormat::ProportionalHeight);
        }
        if (level > 0) {
            QTextCharFormat colour;
            colour.setForeground(QColor(20, 45, 90));
            cursor.select(QTextCursor::BlockUnderCursor);
            cursor.mergeCharFormat(colour);
            cursor = QTextCursor(block);
        }
        cursor.setBlockFormat(format);
        // Code, in blocks and inline, in the fixed-pitch face the text was written for.
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            QTextCharFormat charFormat = fragment.charFormat();
            if (!code && !charFormat.fontFixedPitch()) continue;
            charFormat.setFontFamilies(QStringList{mono});
            charFormat.setFontPointSize(9);
            if (!code) charFormat.setBackground(QColor(238, 238, 238));
            QTextCursor span(&document);
            span.setPosition(fragment.position());
            span.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            span.setCharFormat(charFormat);
        }
    }
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QTextTableFormat format = table->format();
        format.setCellPadding(formatPoints(2.5));
        format.setCellSpacing(0);
        format.setBorder(formatPoints(0.6));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(QColor(170, 170, 170));
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setBottomMargin(formatPoints(6));
        table->setFormat(format);
    }
}

// A heading never stays alone at the foot of a page: when what follows it ends on the next
// page, the heading goes there too. One heading moves at a time, on a fresh layout, since each
// move shifts everything after it.
void keepHeadingsWithText(QTextDocument& document) {
    const double pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    const auto pageOf = [&](double y) { return std::floor(y / pageHeight); };
    for (int moves = 0; moves < kMaxHeadingMoves; ++moves) {
        document.markContentsDirty(0, document.characterCount());
        QTextBlock alone;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            const QTextBlockFormat format = block.blockFormat();
            if (format.headingLevel() == 0 || !block.next().isValid() ||
                format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                continue;
            if (pageOf(layout->blockBoundingRect(block).top()) !=
                pageOf(layout->blockBoundingRect(block.next()).bottom() - 1)) {
                alone = block;
                break;
            }
        }
        if (!alone.isValid()) return;
        QTextBlockFormat format = alone.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(alone).setBlockFormat(format);
    }
}

// Lays the manual out page by page into the PDF at path; the error, or "" when written.
QString render(const QString& markdown, const QString& input, const QString& path) {
    QPdfWriter writer(path);
    writer.setResolution(kResolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle("Quillon Mouse Manual");
    writer.setCreator("quillon-manual");
    const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
    const QRectF body =
        page.adjusted(points(kMarginPoints), points(kMarginPoints), -points(kMarginPoints),
                      -points(kMarginPoints + kFooterPoints));

    QTextDocument document;
    // Laid out for the PDF's own resolution, so fonts come out at their point sizes.
    document.documentLayout()->setPaintDevice(&writer);
    QFont font("DejaVu Sans");
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(input).absolutePath() + "/"));
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    QString missing;
    if (!fitImages(document, body.width() * kFormatDpi / kResolution, missing))
        return "cannot read the image " + missing + " of " + input;
    styleDocument(document);
    document.setPageSize(body.size());
    keepHeadingsWithText(document);
    document.markContentsDirty(0, document.characterCount());

    const int pages = document.pageCount();
    QPainter painter;
    if (!painter.begin(&writer)) return "cannot write " + path;
    QFont footerFont = font;
    footerFont.setPointSizeF(8);
    for (int index = 0; index < pages; ++index) {
        if (index > 0) writer.newPage();
        const QRectF slice(0, index * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(body.left(), body.top() - slice.top());
        painter.setClipRect(slice);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = slice;
        document.documentLayout()->draw(&painter, context);
        painter.restore();

        painter.setFont(footerFont);
        painter.setPen(QColor(110, 110, 110));
        const QRectF footer(body.left(), body.bottom() + points(kFooterPoints / 2), body.width(),
                            points(kFooterPoints / 2));
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, "Quillon Mouse Manual");
        painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                         QString("%1 / %2").arg(index + 1).arg(pages));
    }
    return painter.end() ? QString() : "cannot write " + path;
}

}  // namespace

int main(int argc, char** argv) {
    // A build step has no display; the layout needs fonts only.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 3)
        return fail("usage: quillon-manual MANUAL.md OUTPUT.pdf (images relative to MANUAL.md)");
    const QString input = arguments[1], output = arguments[2];

    QFile file(input);
    if (!file.open(QIODevice::ReadOnly)) return fail("cannot read " + input);
    if (file.size() > kMaxManualBytes) return fail(input + " is too large for a manual");
    const QString markdown = QString::fromUtf8(file.readAll());
    if (markdown.trimmed().isEmpty()) return fail(input + " is empty");

    // Written aside and renamed, so a failed run never leaves a manual that looks up to date.
    const QString partial = output + ".part";
    QFile::remove(partial);
    const QString error = render(markdown, input, partial);
    if (!error.isEmpty()) {
        QFile::remove(partial);
        return fail(error);
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) return fail("cannot write " + output);
    return 0;
}
