#include "util/errmsgbox.h"
#include "util/eygeneral.h"

#include <QObject>

#include <cstdarg>

namespace YVclUtil {

int ShowErrMsgBox_Printf(QObject* Owner, const char* Format, ...) {
    va_list args;
    va_start(args, Format);
    const std::string text = VFormat(Format, args);
    va_end(args);
    ShowErrMsgBox(Owner ? Owner->objectName().toStdString() : std::string(), text);
    return static_cast<int>(text.size());
}

} // namespace YVclUtil
