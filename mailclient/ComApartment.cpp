#include "mailclient/ComApartment.h"

#ifdef _WIN32
#include <objbase.h>
#endif

TComApartment::TComApartment() {
#ifdef _WIN32
    entered_ = SUCCEEDED(CoInitialize(nullptr));
#endif
}

TComApartment::~TComApartment() {
#ifdef _WIN32
    if (entered_) {
        CoUninitialize();
    }
#endif
}
