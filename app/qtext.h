#pragma once

#include <QString>

#include <string>

// The core speaks 8-bit strings in the locale's encoding, the widgets QString.
inline QString ToQ(const std::string& Text) {
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

inline std::string FromQ(const QString& Text) { return Text.toLocal8Bit().toStdString(); }
