#include "fieldbus/tpcuart.h"

namespace OrvCtrl {

TPcUart::TPcUart(QObject* Owner) : YVclCtrl::TCustomUart(Owner) {
    RunConstructor(Owner);
}

TPcUart::~TPcUart() {
    RunDestructor();
}

void TPcUart::RunConstructor(QObject*) {}

void TPcUart::RunDestructor() {}

} // namespace OrvCtrl
