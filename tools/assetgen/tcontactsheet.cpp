#include "tcontactsheet.h"

#include "tbmpwriter.h"

#include <QBuffer>
#include <QFont>
#include <QPainter>

namespace {

constexpr int kMargin = 16;
constexpr int kGap = 10;
constexpr int kCaption = 26;
constexpr int kLabel = 16;
const QRgb kPage = qRgb(250, 250, 250);
const QRgb kPanel = qRgb(214, 226, 196);
const QRgb kLit = qRgb(24, 32, 20);

QFont CaptionFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage Enlarged(const QImage& picture, int scale) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    QImage out(grey.width() * scale, grey.height() * scale, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const uchar* src = grey.constScanLine(y / scale);
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            dst[x] = src[x / scale] < 128 ? kLit : kPanel;
    }
    return out;
}

} // namespace

TContactSheet::TContactSheet(const QString& title, int scale, int maxWidth)
    : Title(title), Scale(scale), MaxWidth(maxWidth) {}

void TContactSheet::AddRow(const QString& caption, const QList<QImage>& pictures,
                           const QStringList& labels, int scale) {
    Rows.append({caption, pictures, labels, scale > 0 ? scale : Scale});
}

QImage TContactSheet::Render() const {
    // First pass measures, second pass draws, with the same walk.
    int width = 0;
    int height = 0;
    for (int pass = 0; pass < 2; ++pass) {
        QImage page;
        QPainter painter;
        if (pass == 1) {
            page = QImage(width, height, QImage::Format_RGB32);
            page.fill(kPage);
            painter.begin(&page);
            painter.setPen(QColor(kLit));
            painter.setFont(CaptionFont(18, true));
            painter.drawText(QRect(kMargin, kMargin, width - 2 * kMargin, kCaption), Qt::AlignLeft,
                             Title);
        }
        int y = kMargin + kCaption + kGap;
        int used = 0;
        for (const Row& row : Rows) {
            if (pass == 1) {
                painter.setFont(CaptionFont(13, true));
                painter.drawText(QRect(kMargin, y, width - 2 * kMargin, kCaption),
                                 Qt::AlignLeft | Qt::AlignVCenter, row.Caption);
            }
            y += kCaption;
            int x = kMargin;
            int lineHeight = 0;
            for (int i = 0; i < row.Pictures.size(); ++i) {
                const QImage big = Enlarged(row.Pictures[i], row.Scale);
                const int cellHeight = big.height() + (row.Labels.isEmpty() ? 0 : kLabel);
                if (x > kMargin && x + big.width() > MaxWidth - kMargin) {
                    x = kMargin;
                    y += lineHeight + kGap;
                    lineHeight = 0;
                }
                if (pass == 1) {
                    painter.drawImage(x, y, big);
                    if (i < row.Labels.size()) {
                        painter.setFont(CaptionFont(11, false));
                        painter.drawText(
                            QRect(x - kGap / 2, y + big.height(), big.width() + kGap, kLabel),
                            Qt::AlignCenter, row.Labels[i]);
                    }
                }
                x += big.width() + kGap;
                used = qMax(used, x);
                lineHeight = qMax(lineHeight, cellHeight);
            }
            y += lineHeight + 2 * kGap;
        }
        width = qMax(used + kMargin, 480);
        height = y + kMargin;
        if (pass == 1) {
            painter.end();
            return page;
        }
    }
    return {};
}

bool TContactSheet::Save(const QString& path, QString* error) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!Render().save(&buffer, "PNG")) {
        if (error) *error = QStringLiteral("cannot encode %1").arg(path);
        return false;
    }
    return TBmpWriter::SaveBytes(path, bytes, error);
}
