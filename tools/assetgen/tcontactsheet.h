#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// A preview page: rows of pictures enlarged pixel for pixel, lit pixels dark on
// a pale panel colour, each row under a caption and each picture over an
// optional short label.
class TContactSheet {
public:
    TContactSheet(const QString& title, int scale, int maxWidth = 1400);

    // Adds a row; `labels` (may be empty) names the pictures one by one.
    // A `scale` of 0 takes the page's.
    void AddRow(const QString& caption, const QList<QImage>& pictures,
                const QStringList& labels = {}, int scale = 0);

    // The page as a picture.
    QImage Render() const;

    // Writes the page as PNG through a temporary file. Returns false on failure with
    // the reason in *error (if given).
    bool Save(const QString& path, QString* error = nullptr) const;

private:
    struct Row {
        QString Caption;
        QList<QImage> Pictures;
        QStringList Labels;
        int Scale;
    };

    QString Title;
    int Scale;
    int MaxWidth;
    QList<Row> Rows;
};
