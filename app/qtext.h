#pragma once

#include "util/qstringconv.h"

#include <QString>

#include <string>

// Short names in the window's code for the one bridge between the core's
// 8-bit strings and the widgets' QString.
inline QString ToQ(const std::string& Text) {
    return YVclUtil::ToQString(Text);
}
inline std::string FromQ(const QString& Text) {
    return YVclUtil::FromQString(Text);
}
